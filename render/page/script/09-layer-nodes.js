// The layer of nodes: a dot per node in its interface's colour, a ring for a skipped node. Dots of
// less than 1.2 pixels radius look the same as squares: they go on the pixel sheet where there is one,
// a skipped node's ring (as small as a dot) half opaque.
function drawNodes(g, ports, radius, sheet) {
  const ring = clamp(radius * 0.4, 0.25, 1.5);
  // Paths and pixel words only for the colours in view: a large map has a colour per interface.
  const dots = new Map();
  const rings = new Map();
  const words = new Map();
  const pathOf = (paths, color) => {
    if (!paths.has(color)) paths.set(color, new Path2D());
    return paths.get(color);
  };
  if (sheet) {
    for (const p of ports) {
      const color = interfaces[portInterface[p]].color;
      if (!words.has(color)) {
        const rgb = rgbOfHex(data.colors[color]);
        words.set(color, [pixelWord(rgb, 255), pixelWord(rgb, 128)]);
      }
      const [word, ringWord] = words.get(color);
      for (let i = portStart[p]; i < portStart[p + 1]; i++) {
        if (!away[i]) sheet.dot(X[i], Y[i], skipped[i] ? ringWord : word);
      }
    }
    sheet.drawOn(g);
    return;
  }
  for (const p of ports) {
    const color = interfaces[portInterface[p]].color;
    for (let i = portStart[p]; i < portStart[p + 1]; i++) {
      if (away[i]) continue;
      const x = toScreenX(X[i]), y = toScreenY(Y[i]);
      if (x < -radius || x > width + radius || y < -radius || y > height + radius) continue;
      if (skipped[i]) {
        const r = radius - ring / 2;
        const path = pathOf(rings, color);
        path.moveTo(x + r, y);
        path.arc(x, y, r, 0, 2 * Math.PI);
      } else {
        const path = pathOf(dots, color);
        path.moveTo(x + radius, y);
        path.arc(x, y, radius, 0, 2 * Math.PI);
      }
    }
  }
  g.lineWidth = ring;
  for (const [color, path] of dots) {
    g.fillStyle = data.colors[color];
    g.fill(path);
  }
  for (const [color, path] of rings) {
    g.strokeStyle = data.colors[color];
    g.stroke(path);
  }
}

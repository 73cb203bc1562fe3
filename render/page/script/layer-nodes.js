// The layer of nodes: a dot per node in its interface's colour, a ring for a skipped node.
function drawNodes(ports, radius) {
  const ring = clamp(radius * 0.4, 0.25, 1.5);
  const dots = data.colors.map(() => new Path2D());
  const rings = data.colors.map(() => new Path2D());
  const square = radius < 1.2; // tiny dots look the same as squares and draw much faster
  for (const p of ports) {
    const color = interfaces[portInterface[p]].color;
    for (let i = portStart[p]; i < portStart[p + 1]; i++) {
      if (away[i]) continue;
      const x = toScreenX(X[i]), y = toScreenY(Y[i]);
      if (x < -radius || x > width + radius || y < -radius || y > height + radius) continue;
      if (skipped[i]) {
        const r = radius - ring / 2;
        rings[color].moveTo(x + r, y);
        rings[color].arc(x, y, r, 0, 2 * Math.PI);
      } else if (square) {
        dots[color].rect(x - radius, y - radius, 2 * radius, 2 * radius);
      } else {
        dots[color].moveTo(x + radius, y);
        dots[color].arc(x, y, radius, 0, 2 * Math.PI);
      }
    }
  }
  ctx.lineWidth = ring;
  data.colors.forEach((color, c) => {
    ctx.fillStyle = color;
    ctx.fill(dots[c]);
    ctx.strokeStyle = color;
    ctx.stroke(rings[c]);
  });
}

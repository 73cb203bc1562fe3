// The layer of chains: each port's line through its nodes with direction marks, coloured by the
// port's place on its interface. Lines thinner than a device pixel go on the pixel sheet where there
// is one, a pixel wide and a quarter opaque, which looks the same and draws far faster.
function hsv(h, s, v) {
  const i = Math.floor(h * 6);
  const f = h * 6 - i;
  const p = v * (1 - s);
  const q = v * (1 - f * s);
  const t = v * (1 - (1 - f) * s);
  return [[v, t, p], [q, v, p], [p, v, t], [p, q, v], [t, p, v], [v, p, q]][i % 6].map((c) => Math.round(c * 255));
}
const chainRgb = (k) => hsv((0.58 + k * 0.618034) % 1, state.print ? 0.9 : 0.55, state.print ? 0.6 : 1);
const chainColor = (k) => `rgb(${chainRgb(k).join(',')})`;

function drawChains(g, ports, radius, sheet) {
  const lineWidth = clamp(radius * 0.35, 0.25, 2);
  const arrow = Math.max(radius * 1.4, lineWidth * 4);
  if (sheet && lineWidth * ratio < 1 && arrow < 2) {
    drawChainPixels(ports, sheet, Math.round(255 * lineWidth * ratio));
    return;
  }
  const lines = new Map();
  const marks = new Map();
  for (const p of ports) {
    const k = portIndexOnInterface[p];
    if (!lines.has(k)) { lines.set(k, new Path2D()); marks.set(k, new Path2D()); }
    const line = lines.get(k);
    const mark = marks.get(k);
    let started = false;
    let px = 0, py = 0;
    for (let i = portStart[p]; i < portStart[p + 1]; i++) {
      if (away[i]) { started = false; continue; }
      const x = toScreenX(X[i]), y = toScreenY(Y[i]);
      if (!started) { line.moveTo(x, y); started = true; px = x; py = y; continue; }
      const dx = x - px, dy = y - py;
      // A step of less than half a pixel shows nothing: the line goes on from the last point drawn.
      if (Math.abs(dx) < 0.5 && Math.abs(dy) < 0.5) continue;
      line.lineTo(x, y);
      const length = Math.hypot(dx, dy);
      if (arrow >= 2 && length >= 2 * radius + 2 * arrow) addArrow(mark, px, py, x, y, length, arrow);
      px = x; py = y;
    }
  }
  g.lineWidth = lineWidth;
  g.lineCap = 'round';
  g.lineJoin = 'round';
  for (const [k, line] of lines) {
    g.strokeStyle = chainColor(k);
    g.stroke(line);
    g.fillStyle = chainColor(k);
    g.fill(marks.get(k));
  }
}

// The chains as lines of pixels on `sheet`, `alpha` opaque; steps of less than half a pixel are left
// out, as on the canvas.
function drawChainPixels(ports, sheet, alpha) {
  const words = new Map();
  const step = 0.5 * ratio;
  for (const p of ports) {
    const k = portIndexOnInterface[p];
    if (!words.has(k)) words.set(k, pixelWord(chainRgb(k), alpha));
    const word = words.get(k);
    let started = false;
    let px = 0, py = 0;
    for (let i = portStart[p]; i < portStart[p + 1]; i++) {
      if (away[i]) { started = false; continue; }
      const x = X[i] * sheet.scale + sheet.offsetX, y = Y[i] * sheet.scale + sheet.offsetY;
      if (started && Math.abs(x - px) < step && Math.abs(y - py) < step) continue;
      if (started) sheet.line(px, py, x, y, word); else sheet.point(x, y, word);
      started = true; px = x; py = y;
    }
  }
}

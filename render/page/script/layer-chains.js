// The layer of chains: each port's line through its nodes with direction marks, coloured by the
// port's place on its interface.
function hsv(h, s, v) {
  const i = Math.floor(h * 6);
  const f = h * 6 - i;
  const p = v * (1 - s);
  const q = v * (1 - f * s);
  const t = v * (1 - (1 - f) * s);
  const [r, g, b] = [[v, t, p], [q, v, p], [p, v, t], [p, q, v], [t, p, v], [v, p, q]][i % 6];
  return `rgb(${Math.round(r * 255)},${Math.round(g * 255)},${Math.round(b * 255)})`;
}
const chainColor = (k) => hsv((0.58 + k * 0.618034) % 1, state.print ? 0.9 : 0.55, state.print ? 0.6 : 1);

function drawChains(ports, radius) {
  const lineWidth = clamp(radius * 0.35, 0.25, 2);
  const arrow = Math.max(radius * 1.4, lineWidth * 4);
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
      line.lineTo(x, y);
      const dx = x - px, dy = y - py;
      const length = Math.hypot(dx, dy);
      if (arrow >= 2 && length >= 2 * radius + 2 * arrow) addArrow(mark, px, py, x, y, length, arrow);
      px = x; py = y;
    }
  }
  ctx.lineWidth = lineWidth;
  ctx.lineCap = 'round';
  ctx.lineJoin = 'round';
  for (const [k, line] of lines) {
    ctx.strokeStyle = chainColor(k);
    ctx.stroke(line);
    ctx.fillStyle = chainColor(k);
    ctx.fill(marks.get(k));
  }
}

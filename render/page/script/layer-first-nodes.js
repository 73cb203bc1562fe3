// The layer of first nodes: a square on the first node of every chain, and its port beside it where
// labels fit.
function drawFirstNodes(ports, radius, labelSpacing, space, ink) {
  const lineWidth = clamp(radius * 0.5, 0.5, 2);
  // Where chains start close together the squares shrink, so that they never merge into bars.
  const startSpacing = data.startSpacing * state.zoom;
  const side = Math.min(2 * radius + 2 * lineWidth + 1, startSpacing > 0 ? 0.6 * startSpacing : Infinity);
  if (side < 1.5) return;
  const size = Math.min(11, labelSpacing * 0.6);
  const squares = new Path2D();
  for (const p of ports) {
    const i = portStart[p];
    if (i === portStart[p + 1] || away[i]) continue;
    const x = toScreenX(X[i]), y = toScreenY(Y[i]);
    if (x < -side || x > width + side || y < -side || y > height + side) continue;
    squares.rect(x - side / 2, y - side / 2, side, side);
  }
  ctx.strokeStyle = ink;
  ctx.lineWidth = Math.min(lineWidth, side / 4);
  ctx.stroke(squares);
  if (size < 6) return;
  ctx.font = `${Math.round(size)}px sans-serif`;
  for (const p of ports) {
    const i = portStart[p];
    if (i === portStart[p + 1] || away[i]) continue;
    const x = toScreenX(X[i]), y = toScreenY(Y[i]);
    const text = `port ${portField(p, 0)} (portnum ${portField(p, 1)})`;
    const w = ctx.measureText(text).width;
    drawLabel(space, [[x - side / 2, y - side / 2 - 2], [x - side / 2, y + side / 2 + size],
      [x - side / 2 - 2 - w, y + size / 3]], text, size, ink);
  }
}

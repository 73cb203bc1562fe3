// The layer of first nodes: a square on the first node of every chain (drawn with the map), and its
// port beside it where labels fit (drawn with the labels).

// The side of a first node's square; where chains start close together the squares shrink, so that
// they never merge into bars.
function firstNodeSide(radius) {
  const lineWidth = clamp(radius * 0.5, 0.5, 2);
  const startSpacing = data.startSpacing * state.zoom;
  return Math.min(2 * radius + 2 * lineWidth + 1, startSpacing > 0 ? 0.6 * startSpacing : Infinity);
}

function drawFirstNodes(g, ports, radius, ink) {
  const side = firstNodeSide(radius);
  if (side < 1.5) return;
  const squares = new Path2D();
  for (const p of ports) {
    const i = portStart[p];
    if (i === portStart[p + 1] || away[i]) continue;
    const x = toScreenX(X[i]), y = toScreenY(Y[i]);
    if (x < -side || x > width + side || y < -side || y > height + side) continue;
    squares.rect(x - side / 2, y - side / 2, side, side);
  }
  g.strokeStyle = ink;
  g.lineWidth = Math.min(clamp(radius * 0.5, 0.5, 2), side / 4);
  g.stroke(squares);
}

// The port labels beside the first nodes; the selected chain's port is named by the selection.
function drawPortLabels(ports, radius, labelSpacing, space, ink) {
  const side = firstNodeSide(radius);
  const size = Math.min(11, labelSpacing * 0.6);
  if (side < 1.5 || size < 6) return;
  const selectedPort = state.selected >= 0 ? nodePort[state.selected] : -1;
  ctx.font = labelFont(size);
  for (const p of ports) {
    const i = portStart[p];
    if (i === portStart[p + 1] || away[i] || p === selectedPort) continue;
    const x = toScreenX(X[i]), y = toScreenY(Y[i]);
    if (x < -200 || x > width + side || y < -side || y > height + size + side) continue;
    const text = `port ${portField(p, 0)} (portnum ${portField(p, 1)})`;
    const w = ctx.measureText(text).width;
    drawLabel(space, [[x - side / 2, y - side / 2 - 2], [x - side / 2, y + side / 2 + size],
      [x - side / 2 - 2 - w, y + size / 3]], text, size, ink);
  }
}

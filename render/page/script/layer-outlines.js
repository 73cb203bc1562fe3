// The layer of interface outlines: a dashed box around each interface's nodes, where they help.
function drawOutlines(radius) {
  if (!data.outlines) return;
  const pad = 2 * radius + 2;
  ctx.lineWidth = clamp(radius * 0.4, 0.5, 1.5);
  ctx.setLineDash([3 * ctx.lineWidth, 2 * ctx.lineWidth]);
  for (const iface of interfaces) {
    const b = iface.box;
    if (boxIsEmpty(b)) continue;
    ctx.strokeStyle = data.colors[iface.color] + '96';
    ctx.strokeRect(toScreenX(b[0]) - pad, toScreenY(b[1]) - pad,
      (b[2] - b[0]) * state.zoom + 2 * pad, (b[3] - b[1]) * state.zoom + 2 * pad);
  }
  ctx.setLineDash([]);
}

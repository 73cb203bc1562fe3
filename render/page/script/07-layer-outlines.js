// The layer of interface outlines: a dashed box around each interface's nodes, where they help.
function drawOutlines(g, radius) {
  if (!data.outlines) return;
  const pad = 2 * radius + 2;
  g.lineWidth = clamp(radius * 0.4, 0.5, 1.5);
  g.setLineDash([3 * g.lineWidth, 2 * g.lineWidth]);
  for (const iface of interfaces) {
    const b = iface.box;
    if (boxIsEmpty(b)) continue;
    g.strokeStyle = data.colors[iface.color] + '96';
    g.strokeRect(toScreenX(b[0]) - pad, toScreenY(b[1]) - pad,
      (b[2] - b[0]) * state.zoom + 2 * pad, (b[3] - b[1]) * state.zoom + 2 * pad);
  }
  g.setLineDash([]);
}

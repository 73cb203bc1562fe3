// The layer of a found interface: over a veil, its box in the highlight colour, its nodes, and its
// name and uid above the box.
const highlightColor = () => (state.print ? '#c02000' : '#ffd34d');
const veilColor = () => (state.print ? 'rgba(255,255,255,0.6)' : 'rgba(10,11,14,0.62)');

function interfaceNameAnchors(iface, pad) {
  const b = iface.box;
  const left = toScreenX(b[0]) - pad, top = toScreenY(b[1]) - pad, bottom = toScreenY(b[3]) + pad;
  return [[left, top - 5], [left, bottom + 15], [Math.max(4, left), Math.max(16, top - 5)]];
}

// Places the found interface's name first, so that no other label covers it; null where it is off
// the canvas.
function placeHighlightLabel(space) {
  const iface = interfaces[state.highlighted];
  if (boxIsEmpty(iface.box)) return null;
  return placeLabel(space, interfaceNameAnchors(iface, 10), `${iface.name} (${iface.uid})`, 14);
}

function drawHighlight(radius, label) {
  const iface = interfaces[state.highlighted];
  ctx.fillStyle = veilColor();
  ctx.fillRect(0, 0, width, height);
  if (boxIsEmpty(iface.box)) return;
  const b = iface.box;
  const pad = 10;
  ctx.lineWidth = 2.5;
  ctx.strokeStyle = highlightColor();
  ctx.strokeRect(toScreenX(b[0]) - pad, toScreenY(b[1]) - pad,
    (b[2] - b[0]) * state.zoom + 2 * pad, (b[3] - b[1]) * state.zoom + 2 * pad);
  const r = Math.max(radius, 1.5);
  const dots = new Path2D();
  const last = portStart[iface.firstPort + iface.ports];
  for (let i = portStart[iface.firstPort]; i < last; i++) {
    if (away[i]) continue;
    const x = toScreenX(X[i]), y = toScreenY(Y[i]);
    dots.moveTo(x + r, y);
    dots.arc(x, y, r, 0, 2 * Math.PI);
  }
  ctx.fillStyle = data.colors[iface.color];
  ctx.fill(dots);
  paintLabel(label, state.print ? '#000' : '#fff');
}

// The layer of the selection: the selected node's chain over a veil: its line, a direction mark on
// every segment that holds one, its first node marked "start", every node labelled in the label mode
// chosen (chain numbers with none chosen) where the labels fit, the node ringed and named once.
const selectionRadius = (radius) => Math.max(radius, 3);

// Places the selection's labels before any other, so that no label of the map lies under them.
function placeSelectionLabels(space, radius, labelSpacing) {
  const p = nodePort[state.selected];
  const from = portStart[p], to = portStart[p + 1];
  const r = selectionRadius(radius);
  const labels = [];
  const i = state.selected;
  if (!away[i]) {
    const x = toScreenX(X[i]), y = toScreenY(Y[i]);
    const value = state.numbers >= 2 ? ` · ${nodeLabel(i)}` : '';
    labels.push(placeLabel(space, [[x + r + 7, y - r - 2], [x + r + 7, y + r + 14], [x - r - 7 - 90, y - r - 2]],
      `node ${i - from + 1}${value}`, 13));
  }
  if (!away[from]) {
    const x = toScreenX(X[from]), y = toScreenY(Y[from]);
    const side = 2 * r + 8;
    labels.push(placeLabel(space, [[x - side / 2, y - side / 2 - 4], [x - side / 2, y + side / 2 + 14]],
      `start: port ${portField(p, 0)} (portnum ${portField(p, 1)})`, 13));
  }
  const size = Math.min(12, Math.max(labelSpacing, 2 * r) * 0.5);
  if (size >= 6) {
    for (let k = from; k < to; k++) {
      if (away[k] || k === i) continue;
      const x = toScreenX(X[k]), y = toScreenY(Y[k]);
      labels.push(placeLabel(space, [[x + r + 3, y - r * 0.6], [x + r + 3, y + r * 0.6 + size * 0.8]], nodeLabel(k), size));
    }
  }
  return labels;
}

function drawSelection(radius, labels) {
  const p = nodePort[state.selected];
  const from = portStart[p], to = portStart[p + 1];
  ctx.fillStyle = veilColor();
  ctx.fillRect(0, 0, width, height);
  const highlight = highlightColor();
  const r = selectionRadius(radius);
  const lineWidth = Math.max(2, r * 0.5);
  const arrow = Math.max(r * 1.8, 8);
  const line = new Path2D();
  const marks = new Path2D();
  let started = false, px = 0, py = 0;
  for (let i = from; i < to; i++) {
    if (away[i]) { started = false; continue; }
    const x = toScreenX(X[i]), y = toScreenY(Y[i]);
    if (started) {
      line.lineTo(x, y);
      const length = Math.hypot(x - px, y - py);
      if (length >= 2 * r + arrow) addArrow(marks, px, py, x, y, length, arrow);
    } else {
      line.moveTo(x, y);
    }
    started = true; px = x; py = y;
  }
  ctx.strokeStyle = highlight;
  ctx.lineWidth = lineWidth;
  ctx.stroke(line);
  ctx.fillStyle = highlight;
  ctx.fill(marks);
  const dots = new Path2D();
  for (let i = from; i < to; i++) {
    if (away[i]) continue;
    const x = toScreenX(X[i]), y = toScreenY(Y[i]);
    dots.moveTo(x + r, y);
    dots.arc(x, y, r, 0, 2 * Math.PI);
  }
  ctx.fillStyle = data.colors[interfaces[portInterface[p]].color];
  ctx.fill(dots);
  ctx.lineWidth = 1;
  const ink = state.print ? '#000' : '#fff';
  ctx.strokeStyle = ink;
  ctx.stroke(dots);
  if (!away[from]) {
    const x = toScreenX(X[from]), y = toScreenY(Y[from]);
    const side = 2 * r + 8;
    ctx.lineWidth = 2.5;
    ctx.strokeStyle = highlight;
    ctx.strokeRect(x - side / 2, y - side / 2, side, side);
  }
  const i = state.selected;
  if (!away[i]) {
    ctx.lineWidth = 3;
    ctx.strokeStyle = ink;
    ctx.beginPath();
    ctx.arc(toScreenX(X[i]), toScreenY(Y[i]), r + 5, 0, 2 * Math.PI);
    ctx.stroke();
  }
  for (const label of labels) paintLabel(label, ink);
}

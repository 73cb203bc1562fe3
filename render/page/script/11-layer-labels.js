// The layer of labels: interface names at their outlines' corners, and node labels where the nodes
// stand far enough apart for them.
function drawInterfaceNames(radius, space, ink) {
  const pad = 2 * radius + 2;
  for (const iface of interfaces) {
    const b = iface.box;
    if (boxIsEmpty(b) || iface.index === state.highlighted) continue;
    drawLabel(space, [[toScreenX(b[0]) - pad, toScreenY(b[1]) - pad - 5]], `${iface.name} (${iface.uid})`, 12, ink);
  }
}

const nodeLabelSize = (labelSpacing) => Math.min(11, labelSpacing * 0.45);

function drawNodeLabels(ports, radius, labelSpacing, space, ink) {
  const labelSize = nodeLabelSize(labelSpacing);
  if (labelSize < 6) return;
  const selectedPort = state.selected >= 0 ? nodePort[state.selected] : -1; // labelled by the selection
  for (const p of ports) {
    if (p === selectedPort) continue;
    for (let i = portStart[p]; i < portStart[p + 1]; i++) {
      if (away[i]) continue;
      const x = toScreenX(X[i]), y = toScreenY(Y[i]);
      if (x < -60 || x > width + 10 || y < -20 || y > height + 20) continue;
      drawLabel(space, [[x + radius + 3, y - radius * 0.6], [x + radius + 3, y + radius * 0.6 + labelSize * 0.8]],
        nodeLabel(i), labelSize, ink);
    }
  }
}

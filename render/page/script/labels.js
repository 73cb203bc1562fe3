// Labels on the canvas: a label that would overlap one already drawn is left out.
class LabelSpace {
  constructor() { this.cells = new Map(); }

  // Takes the rectangle (x, y, w, h) and returns true, or returns false where it overlaps one taken.
  take(x, y, w, h) {
    const c = 48;
    const x0 = Math.floor(x / c), x1 = Math.floor((x + w) / c);
    const y0 = Math.floor(y / c), y1 = Math.floor((y + h) / c);
    for (let i = x0; i <= x1; i++) for (let j = y0; j <= y1; j++) {
      for (const r of this.cells.get(i * 65536 + j) || []) {
        if (x < r[0] + r[2] && r[0] < x + w && y < r[1] + r[3] && r[1] < y + h) return false;
      }
    }
    for (let i = x0; i <= x1; i++) for (let j = y0; j <= y1; j++) {
      const key = i * 65536 + j;
      if (!this.cells.has(key)) this.cells.set(key, []);
      this.cells.get(key).push([x, y, w, h]);
    }
    return true;
  }
}

// Draws `text` at the first of `anchors` (its baseline's left end) where it overlaps no label drawn.
function drawLabel(space, anchors, text, size, color) {
  ctx.font = `${Math.max(1, Math.round(size))}px sans-serif`;
  const w = ctx.measureText(text).width;
  for (const [x, y] of anchors) {
    if (x + w < 0 || x > width || y < 0 || y - size > height) continue;
    if (!space.take(x, y - size * 0.9, w, size * 1.15)) continue;
    ctx.fillStyle = color;
    ctx.fillText(text, x, y);
    return;
  }
}

// Node i's label in the label mode chosen: its number along the chain, address or universe/channel.
function nodeLabel(i) {
  if (state.numbers === 2) return String(address[i]);
  if (state.numbers === 3) {
    const u = universeOf(i);
    return u === null ? '-' : `${u}/${channelOf(i)}`;
  }
  return String(i - portStart[nodePort[i]] + 1);
}

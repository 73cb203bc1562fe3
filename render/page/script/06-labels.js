// Labels on the canvas: each is placed at the first of its anchors where it overlaps no label placed
// before it, or left out. Labels are placed in order of importance (the selection's first, then
// interface names, port labels, node labels) and painted once placed; the labels painted in the last
// drawing are kept for window.lumomap.labels().
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

let paintedLabels = []; // {text, x, y, width, height}: the labels of the last drawing, on the canvas

const labelFont = (size) => `${Math.max(1, Math.round(size))}px sans-serif`;

// Places `text` at the first of `anchors` (its baseline's left end) that is on the canvas and free:
// returns {text, x, y, size}, or null where there is no such anchor.
function placeLabel(space, anchors, text, size) {
  ctx.font = labelFont(size);
  const w = ctx.measureText(text).width;
  for (const [x, y] of anchors) {
    if (x + w < 0 || x > width || y < 0 || y - size > height) continue;
    if (space.take(x, y - size * 0.9, w, size * 1.15)) return { text, x, y, size, width: w };
  }
  return null;
}

function paintLabel(label, color) {
  if (!label) return;
  ctx.font = labelFont(label.size);
  ctx.fillStyle = color;
  ctx.fillText(label.text, label.x, label.y);
  paintedLabels.push({ text: label.text, x: label.x, y: label.y - label.size * 0.9, width: label.width,
    height: label.size * 1.15 });
}

function drawLabel(space, anchors, text, size, color) {
  paintLabel(placeLabel(space, anchors, text, size), color);
}

// Node i's label in the label mode chosen: its number along the chain (also with no mode chosen),
// its channel address, or its universe/channel.
function nodeLabel(i) {
  if (state.numbers === 2) return String(address[i]);
  if (state.numbers === 3) {
    const u = universeOf(i);
    return u === null ? '-' : `${u}/${channelOf(i)}`;
  }
  return String(i - portStart[nodePort[i]] + 1);
}

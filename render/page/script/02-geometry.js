// Geometry helpers: boxes as [minX, minY, maxX, maxY], clamping, and the direction mark of a segment.
const clamp = (v, lo, hi) => Math.min(Math.max(v, lo), hi);
const emptyBox = () => [Infinity, Infinity, -Infinity, -Infinity];
const boxIsEmpty = (box) => !(box[0] <= box[2]);

// Grows `box` to hold the box or point (x0, y0, x1, y1).
function growBox(box, x0, y0, x1 = x0, y1 = y0) {
  box[0] = Math.min(box[0], x0); box[1] = Math.min(box[1], y0);
  box[2] = Math.max(box[2], x1); box[3] = Math.max(box[3], y1);
}

// A direction mark halfway along the segment from (ax, ay) to (bx, by).
function addArrow(path, ax, ay, bx, by, length, arrow) {
  const ux = (bx - ax) / length, uy = (by - ay) / length;
  const tx = (ax + bx) / 2 + ux * arrow / 2, ty = (ay + by) / 2 + uy * arrow / 2;
  const baseX = tx - ux * arrow, baseY = ty - uy * arrow;
  path.moveTo(tx, ty);
  path.lineTo(baseX - uy * arrow / 2, baseY + ux * arrow / 2);
  path.lineTo(baseX + uy * arrow / 2, baseY - ux * arrow / 2);
  path.closePath();
}

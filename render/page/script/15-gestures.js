// The pointers on the canvas (mouse, pen, fingers), followed from down to up: every move hands the
// gesture before and after it to the gesture handlers (handler-*.js), which register themselves with
// onPointerMove and onPointerRelease.
const pointers = new Map();
let gesture = null; // {x, y, distance, moved, count}: the pointers' centre and the spread of two
const moveHandlers = [];
const releaseHandlers = [];
const onPointerMove = (handler) => moveHandlers.push(handler);
const onPointerRelease = (handler) => releaseHandlers.push(handler);

function gestureOf() {
  const list = [...pointers.values()];
  const x = list.reduce((s, p) => s + p.x, 0) / list.length;
  const y = list.reduce((s, p) => s + p.y, 0) / list.length;
  const distance = list.length > 1 ? Math.hypot(list[0].x - list[1].x, list[0].y - list[1].y) : 0;
  return { x, y, distance, moved: gesture ? gesture.moved : 0, count: list.length };
}

// An event's point on the canvas.
const local = (e) => {
  const box = canvas.getBoundingClientRect();
  return { x: e.clientX - box.left, y: e.clientY - box.top };
};

canvas.addEventListener('pointerdown', (e) => {
  canvas.setPointerCapture(e.pointerId);
  pointers.set(e.pointerId, local(e));
  gesture = gestureOf();
  canvas.classList.add('dragging');
});
canvas.addEventListener('pointermove', (e) => {
  if (!pointers.has(e.pointerId)) return;
  pointers.set(e.pointerId, local(e));
  const now = gestureOf();
  if (now.count === gesture.count) {
    for (const handler of moveHandlers) handler(gesture, now);
    now.moved = gesture.moved + Math.hypot(now.x - gesture.x, now.y - gesture.y);
    redraw(true);
  }
  gesture = now;
});
const release = (e) => {
  if (!pointers.has(e.pointerId)) return;
  const ended = gesture;
  pointers.delete(e.pointerId);
  gesture = pointers.size ? gestureOf() : null;
  if (gesture) gesture.moved = 99; // a pinch that ends is no tap
  if (!pointers.size) canvas.classList.remove('dragging');
  for (const handler of releaseHandlers) handler(e, ended);
};
canvas.addEventListener('pointerup', release);
canvas.addEventListener('pointercancel', release);

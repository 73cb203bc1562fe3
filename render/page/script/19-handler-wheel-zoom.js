// Wheel zoom: the wheel (or a touchpad's pinch, which comes as a wheel with Ctrl) zooms about the
// pointer; a double click zooms in.
canvas.addEventListener('wheel', (e) => {
  e.preventDefault();
  const lines = e.deltaMode === 1 ? 16 : e.deltaMode === 2 ? height : 1;
  const at = local(e);
  zoomAt(Math.exp(-e.deltaY * lines * (e.ctrlKey ? 0.01 : 0.0015)), at.x, at.y);
  redraw(true);
}, { passive: false });
canvas.addEventListener('dblclick', (e) => {
  const at = local(e);
  zoomAt(2, at.x, at.y);
  redraw(false);
});

// Keys outside the search field: + and - zoom, 0 fits the map, Escape clears the selection.
window.addEventListener('keydown', (e) => {
  if (e.target === $('search')) return;
  if (e.key === '+' || e.key === '=') zoomAt(1.5, width / 2, height / 2);
  else if (e.key === '-') zoomAt(1 / 1.5, width / 2, height / 2);
  else if (e.key === '0') fit();
  else if (e.key === 'Escape') { clearSelection(); return; }
  else return;
  redraw(false);
});
window.addEventListener('resize', resize);

// Tap: a click or tap that hardly moved selects the node under it, or clears the selection.
onPointerRelease((e, ended) => {
  if (!(ended && ended.moved < 6 && ended.count === 1 && e.type === 'pointerup')) return;
  const at = local(e);
  const hit = nodeAt(at.x, at.y, e.pointerType === 'mouse' ? 8 : 18);
  if (hit >= 0) selectNode(hit, false); else clearSelection();
});

// Touch zoom: two fingers spreading or closing zoom about their centre.
onPointerMove((before, now) => {
  if (now.distance > 0 && before.distance > 0) zoomAt(now.distance / before.distance, now.x, now.y);
});

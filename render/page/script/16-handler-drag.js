// Drag: one pointer (or the centre of two) moving pans the map.
onPointerMove((before, now) => panBy(now.x - before.x, now.y - before.y));

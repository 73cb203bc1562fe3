// The first drawing, once every part of the page is in place; `ready` resolves at the next frame.
syncButtons();
resize();
requestAnimationFrame(() => resolveReady());

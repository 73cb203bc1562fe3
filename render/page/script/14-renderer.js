// Drawing the map as LumoMapPainter draws it. The map layers (outlines, chains, nodes, first-node
// squares) are drawn into an offscreen canvas for the current view and kept there: a frame that
// changes only the selection, the labels or a found interface copies it and draws the rest over it.
// While the user pans or zooms a map that takes long to draw, the last drawing is moved and scaled
// instead, and drawn anew once the gesture rests.
let lastDrawTime = 0;
let snapshot = null;
let frame = 0;
let restTimer = 0;
const drawnView = { cx: 0, cy: 0, zoom: 1 };
const mapLayer = { canvas: document.createElement('canvas'), view: '' };

// What the map layer depends on.
const mapLayerView = () =>
  [state.cx, state.cy, state.zoom, width, height, ratio, state.wiring, state.print].join(' ');

function drawMapLayer(ports, radius, ink) {
  const layer = mapLayer.canvas;
  if (layer.width !== canvas.width || layer.height !== canvas.height) {
    layer.width = canvas.width;
    layer.height = canvas.height;
  }
  const g = layer.getContext('2d');
  g.setTransform(ratio, 0, 0, ratio, 0, 0);
  g.fillStyle = state.print ? '#ffffff' : '#181a20';
  g.fillRect(0, 0, width, height);
  drawOutlines(g, radius);
  const sheet = radius < 1.2 ? new PixelSheet(layer.width, layer.height, radius) : null;
  if (state.wiring) drawChains(g, ports, radius, sheet);
  drawNodes(g, ports, radius, sheet);
  if (state.wiring) drawFirstNodes(g, ports, radius, ink);
  mapLayer.view = mapLayerView();
}

// Draws the whole canvas; `full` draws the map layer anew even where the one kept would do.
function draw(full) {
  const started = performance.now();
  const ink = state.print ? 'rgb(20,20,20)' : 'rgb(235,235,235)';
  const spacing = data.spacing * state.zoom;
  const radius = dotRadius();
  const labelSpacing = spacing > 0 ? spacing : 100;
  const ports = visiblePorts(radius + 40);
  if (full || mapLayer.view !== mapLayerView()) drawMapLayer(ports, radius, ink);
  ctx.setTransform(1, 0, 0, 1, 0, 0);
  ctx.drawImage(mapLayer.canvas, 0, 0);
  ctx.setTransform(ratio, 0, 0, ratio, 0, 0);

  paintedLabels = [];
  const space = new LabelSpace();
  const selection = state.selected >= 0 ? placeSelectionLabels(space, radius, labelSpacing) : null;
  const found = !selection && state.highlighted >= 0 ? placeHighlightLabel(space) : null;
  if (state.labels) drawInterfaceNames(radius, space, ink);
  if (state.wiring) drawPortLabels(ports, radius, labelSpacing, space, ink);
  if (state.numbers) drawNodeLabels(ports, radius, labelSpacing, space, ink);
  if (selection) drawSelection(radius, selection);
  else if (state.highlighted >= 0) drawHighlight(radius, found);
  lastDrawTime = performance.now() - started;
  snapshot = null;
}

// Asks for a drawing at the next frame; `moving` while a gesture goes on.
function redraw(moving) {
  if (frame) return;
  frame = requestAnimationFrame(() => {
    frame = 0;
    if (moving && lastDrawTime > 30) {
      drawMoved();
      clearTimeout(restTimer);
      restTimer = setTimeout(() => { snapshot = null; drawNow(); }, 150);
      return;
    }
    drawNow();
  });
}

// The last drawing, moved and scaled to the current view.
function drawMoved() {
  if (!snapshot) {
    const copy = document.createElement('canvas');
    copy.width = canvas.width; copy.height = canvas.height;
    copy.getContext('2d').drawImage(canvas, 0, 0);
    snapshot = { image: copy, cx: drawnView.cx, cy: drawnView.cy, zoom: drawnView.zoom };
  }
  const s = state.zoom / snapshot.zoom;
  ctx.setTransform(ratio, 0, 0, ratio, 0, 0);
  ctx.fillStyle = '#181a20';
  ctx.fillRect(0, 0, width, height);
  ctx.drawImage(snapshot.image, (snapshot.cx - state.cx) * state.zoom + width / 2 - (width / 2) * s,
    (snapshot.cy - state.cy) * state.zoom + height / 2 - (height / 2) * s, width * s, height * s);
}

function drawNow(full = false) {
  draw(full);
  drawnView.cx = state.cx; drawnView.cy = state.cy; drawnView.zoom = state.zoom;
  updateStatus();
}

function resize() {
  const box = canvas.getBoundingClientRect();
  const firstTime = width === 1 && height === 1;
  width = Math.max(1, box.width);
  height = Math.max(1, box.height);
  ratio = Math.min(window.devicePixelRatio || 1, 2);
  canvas.width = Math.round(width * ratio);
  canvas.height = Math.round(height * ratio);
  if (firstTime) fit();
  snapshot = null;
  drawNow();
}

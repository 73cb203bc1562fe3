// The map object: what is shown and from where (the map point at the canvas centre and the zoom),
// the canvas and its size, and the conversions between map and canvas points.
const state = {
  cx: 0, cy: 0, zoom: 1,        // map point at the canvas centre; CSS pixels per map unit
  wiring: data.wiring,
  labels: data.labels,
  numbers: data.numbers,        // 0 none, 1 chain numbers, 2 addresses, 3 universe/channel
  selected: -1,                 // node index, or -1
  highlighted: -1,              // index of the interface found and shown, or -1
  print: false,
};
const canvas = $('map');
const ctx = canvas.getContext('2d');
let width = 1;
let height = 1;
let ratio = 1;

const toScreenX = (x) => (x - state.cx) * state.zoom + width / 2;
const toScreenY = (y) => (y - state.cy) * state.zoom + height / 2;
const toMapX = (sx) => (sx - width / 2) / state.zoom + state.cx;
const toMapY = (sy) => (sy - height / 2) / state.zoom + state.cy;

// The radius of a node's dot at the current zoom, as LumoMapPainter sizes it.
function dotRadius() {
  const spacing = data.spacing * state.zoom;
  return spacing > 0 ? clamp(spacing * 0.35, 0.5, 8) : 8;
}

function fit() {
  const margin = state.labels || state.wiring ? 44 : 24;
  if (mapIsEmpty) {
    state.cx = 0; state.cy = 0; state.zoom = 1;
    return;
  }
  const w = extent[2] - extent[0];
  const h = extent[3] - extent[1];
  const sx = w > 0 ? Math.max(1, width - 2 * margin) / w : Infinity;
  const sy = h > 0 ? Math.max(1, height - 2 * margin) / h : Infinity;
  state.zoom = Math.min(sx, sy);
  if (!isFinite(state.zoom)) state.zoom = 1;
  state.cx = (extent[0] + extent[2]) / 2;
  state.cy = (extent[1] + extent[3]) / 2;
}

// Shows `box` as large as `fraction` of the part of the canvas that the panel leaves free.
function showBox(box, fraction) {
  const free = { left: 0, top: 0, right: width, bottom: height };
  const panel = $('panel');
  if (!panel.hidden) {
    const p = panel.getBoundingClientRect();
    const c = canvas.getBoundingClientRect();
    if (p.top - c.top > height * 0.3) free.bottom = Math.max(height * 0.3, p.top - c.top);
    else free.right = Math.max(width * 0.3, p.left - c.left);
  }
  const w = Math.max(box[2] - box[0], data.spacing * 4, 1e-9);
  const h = Math.max(box[3] - box[1], data.spacing * 4, 1e-9);
  state.zoom = Math.min(((free.right - free.left) * fraction) / w, ((free.bottom - free.top) * fraction) / h);
  state.cx = (box[0] + box[2]) / 2 - ((free.left + free.right) / 2 - width / 2) / state.zoom;
  state.cy = (box[1] + box[3]) / 2 - ((free.top + free.bottom) / 2 - height / 2) / state.zoom;
}

const minZoom = () => {
  const size = Math.max(extent[2] - extent[0], extent[3] - extent[1]);
  return size > 0 ? Math.min(width, height) / size / 20 : 1e-9;
};
const maxZoom = () => (data.spacing > 0 ? 400 / data.spacing : 1e6);

// Zooms by `factor`, keeping the map point under the canvas point (sx, sy) where it is.
function zoomAt(factor, sx, sy) {
  const zoom = Math.min(Math.max(state.zoom * factor, minZoom()), maxZoom());
  const mx = toMapX(sx);
  const my = toMapY(sy);
  state.zoom = zoom;
  state.cx = mx - (sx - width / 2) / zoom;
  state.cy = my - (sy - height / 2) / zoom;
}

// Moves the map by (dx, dy) canvas pixels.
function panBy(dx, dy) {
  state.cx -= dx / state.zoom;
  state.cy -= dy / state.zoom;
}

// The ports whose nodes may show on the canvas, in wiring order.
function visiblePorts(pad) {
  const x0 = toMapX(-pad), x1 = toMapX(width + pad);
  const y0 = toMapY(-pad), y1 = toMapY(height + pad);
  const ports = [];
  for (let p = 0; p < portCount; p++) {
    const b = p * 4;
    if (portBox[b] <= x1 && portBox[b + 2] >= x0 && portBox[b + 1] <= y1 && portBox[b + 3] >= y0) ports.push(p);
  }
  return ports;
}

// The node nearest to a canvas point, within `slack` pixels of its dot, or -1.
function nodeAt(sx, sy, slack) {
  const limit = dotRadius() + slack;
  const mx = toMapX(sx);
  const my = toMapY(sy);
  const reach = limit / state.zoom;
  let best = -1, bestDistance = Infinity;
  for (let p = 0; p < portCount; p++) {
    const b = p * 4;
    if (portBox[b] > mx + reach || portBox[b + 2] < mx - reach || portBox[b + 1] > my + reach || portBox[b + 3] < my - reach) continue;
    for (let i = portStart[p]; i < portStart[p + 1]; i++) {
      if (away[i]) continue;
      const d = Math.hypot(X[i] - mx, Y[i] - my);
      if (d < bestDistance) { bestDistance = d; best = i; }
    }
  }
  return bestDistance <= reach ? best : -1;
}

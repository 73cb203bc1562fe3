// The map page's script: reads the map's data from the page (written by LumoMapPage), draws the map on
// a canvas as LumoMapPainter draws it, and lets the user pan, zoom, find, select and print.
//
// window.lumomap, for automation and tests:
//   ready                  a Promise, resolved once the map is drawn for the first time;
//   nodeCount()            the nodes of the map, as many as the patch list has rows;
//   find(text)             {interfaces: [{uid, name, ip}], fixtures: [{name, uid, port, node}]}: the
//                          interfaces whose name, uid or IP and the fixtures whose name hold `text`
//                          (any case);
//   select(uid, port, node) selects node number `node` along the chain of port `port` (its label,
//                          from 1) of the interface with uid `uid` (lower-case hexadecimal), shows it
//                          and returns the panel's fields {interface, ip, port, portnum, fixture,
//                          node, address, universe, channel} (universe and channel null for a node in
//                          no universe), or null when there is no such node;
//   view()                 {x, y, zoom}: the map point at the centre of the canvas and the pixels per
//                          map unit.
'use strict';
(() => {
  let resolveReady;
  const ready = new Promise((resolve) => { resolveReady = resolve; });
  const $ = (id) => document.getElementById(id);
  const data = JSON.parse($('lumomap-data').textContent);

  // ---- The map, decoded into typed arrays in wiring order --------------------------------------
  const count = data.x.length;
  const X = new Float64Array(count);
  const Y = new Float64Array(count);
  const address = new Float64Array(count);
  const universe = new Float64Array(count); // -1: in no universe
  const channel = new Float64Array(count);
  const nodePort = new Int32Array(count);
  const nodeFixture = new Int32Array(count);
  const skipped = new Uint8Array(count);
  const away = new Uint8Array(count); // no finite position: in the lists, not on the map
  {
    let x = 0;
    let y = 0;
    for (let i = 0; i < count; i++) {
      x += data.x[i];
      y += data.y[i];
      X[i] = data.ox + data.q * x;
      Y[i] = data.oy + data.q * y;
    }
    for (const i of data.skip) skipped[i] = 1;
    for (const i of data.away) away[i] = 1;
  }

  const PORT_FIELDS = 11;
  const portCount = data.ports.length / PORT_FIELDS;
  const portStart = new Int32Array(portCount + 1);
  const portInterface = new Int32Array(portCount);
  const portIndexOnInterface = new Int32Array(portCount);
  const portBox = new Float64Array(portCount * 4);
  const interfaces = data.ifs.map(([uid, name, ip, uni, color, ports], index) =>
    ({ index, uid, name, ip, uni, color, ports, firstPort: 0, box: null, nodes: 0 }));
  const portField = (p, f) => data.ports[p * PORT_FIELDS + f];
  // Universes and channels come as the library's wiring counted them; the page counts none itself.
  const universeOf = (i) => (universe[i] < 0 ? null : universe[i]);
  const channelOf = (i) => (universe[i] < 0 ? null : channel[i]);
  {
    let p = 0;
    let node = 0;
    for (const iface of interfaces) {
      iface.firstPort = p;
      const box = [Infinity, Infinity, -Infinity, -Infinity];
      for (let k = 0; k < iface.ports; k++, p++) {
        portInterface[p] = iface.index;
        portIndexOnInterface[p] = k;
        portStart[p] = node;
        const pixels = portField(p, 3);
        const pb = [Infinity, Infinity, -Infinity, -Infinity];
        for (let j = 0; j < pixels; j++, node++) {
          nodePort[node] = p;
          address[node] = (j ? address[node - 1] : 0) + data.a[node];
          universe[node] = (j ? universe[node - 1] : 0) + data.u[node];
          channel[node] = (j ? channel[node - 1] : 0) + data.c[node];
          if (away[node]) continue;
          pb[0] = Math.min(pb[0], X[node]); pb[1] = Math.min(pb[1], Y[node]);
          pb[2] = Math.max(pb[2], X[node]); pb[3] = Math.max(pb[3], Y[node]);
        }
        portBox.set(pb, p * 4);
        box[0] = Math.min(box[0], pb[0]); box[1] = Math.min(box[1], pb[1]);
        box[2] = Math.max(box[2], pb[2]); box[3] = Math.max(box[3], pb[3]);
        iface.nodes += pixels;
      }
      iface.box = box;
    }
    portStart[portCount] = node;
  }
  const fixtures = []; // {name, first, count}
  {
    let node = 0;
    for (let i = 0; i < data.fx.length; i += 2) {
      const f = fixtures.length;
      fixtures.push({ name: data.names[data.fx[i]], first: node, count: data.fx[i + 1] });
      for (let j = 0; j < data.fx[i + 1]; j++) nodeFixture[node++] = f;
    }
  }
  const extent = [Infinity, Infinity, -Infinity, -Infinity];
  for (const iface of interfaces) {
    if (!(iface.box[0] <= iface.box[2])) continue;
    extent[0] = Math.min(extent[0], iface.box[0]); extent[1] = Math.min(extent[1], iface.box[1]);
    extent[2] = Math.max(extent[2], iface.box[2]); extent[3] = Math.max(extent[3], iface.box[3]);
  }
  const mapIsEmpty = !(extent[0] <= extent[2]);

  // ---- What is shown, and from where -----------------------------------------------------------
  const state = {
    cx: 0, cy: 0, zoom: 1,        // map point at the canvas centre; CSS pixels per map unit
    wiring: data.wiring,
    labels: data.labels,
    numbers: data.numbers,        // 0 none, 1 chain numbers, 2 addresses, 3 universe/channel
    selected: -1,                 // node index, or -1
    print: false,
  };
  const canvas = $('map');
  const ctx = canvas.getContext('2d');
  let width = 1;
  let height = 1;
  let ratio = 1;

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

  const toScreenX = (x) => (x - state.cx) * state.zoom + width / 2;
  const toScreenY = (y) => (y - state.cy) * state.zoom + height / 2;

  function zoomAt(factor, sx, sy) {
    const zoom = Math.min(Math.max(state.zoom * factor, minZoom()), maxZoom());
    const mx = (sx - width / 2) / state.zoom + state.cx;
    const my = (sy - height / 2) / state.zoom + state.cy;
    state.zoom = zoom;
    state.cx = mx - (sx - width / 2) / zoom;
    state.cy = my - (sy - height / 2) / zoom;
  }
  const minZoom = () => {
    const size = Math.max(extent[2] - extent[0], extent[3] - extent[1]);
    return size > 0 ? Math.min(width, height) / size / 20 : 1e-9;
  };
  const maxZoom = () => (data.spacing > 0 ? 400 / data.spacing : 1e6);

  // ---- Drawing, as LumoMapPainter draws ---------------------------------------------------------
  function hsv(h, s, v) {
    const i = Math.floor(h * 6);
    const f = h * 6 - i;
    const p = v * (1 - s);
    const q = v * (1 - f * s);
    const t = v * (1 - (1 - f) * s);
    const [r, g, b] = [[v, t, p], [q, v, p], [p, v, t], [p, q, v], [t, p, v], [v, p, q]][i % 6];
    return `rgb(${Math.round(r * 255)},${Math.round(g * 255)},${Math.round(b * 255)})`;
  }
  const chainColor = (k) => hsv((0.58 + k * 0.618034) % 1, state.print ? 0.9 : 0.55, state.print ? 0.6 : 1);
  const clamp = (v, lo, hi) => Math.min(Math.max(v, lo), hi);

  // Labels that would overlap a label already drawn are left out.
  class LabelSpace {
    constructor() { this.cells = new Map(); }
    take(x, y, w, h) {
      const c = 48;
      const x0 = Math.floor(x / c), x1 = Math.floor((x + w) / c);
      const y0 = Math.floor(y / c), y1 = Math.floor((y + h) / c);
      for (let i = x0; i <= x1; i++) for (let j = y0; j <= y1; j++) {
        for (const r of this.cells.get(i * 65536 + j) || []) {
          if (x < r[0] + r[2] && r[0] < x + w && y < r[1] + r[3] && r[1] < y + h) return false;
        }
      }
      for (let i = x0; i <= x1; i++) for (let j = y0; j <= y1; j++) {
        const key = i * 65536 + j;
        if (!this.cells.has(key)) this.cells.set(key, []);
        this.cells.get(key).push([x, y, w, h]);
      }
      return true;
    }
  }

  function drawLabel(space, anchors, text, size, color) {
    ctx.font = `${Math.max(1, Math.round(size))}px sans-serif`;
    const w = ctx.measureText(text).width;
    for (const [x, y] of anchors) {
      if (x + w < 0 || x > width || y < 0 || y - size > height) continue;
      if (!space.take(x, y - size * 0.9, w, size * 1.15)) continue;
      ctx.fillStyle = color;
      ctx.fillText(text, x, y);
      return;
    }
  }

  function nodeLabel(i) {
    if (state.numbers === 2) return String(address[i]);
    if (state.numbers === 3) {
      const u = universeOf(i);
      return u === null ? '-' : `${u}/${channelOf(i)}`;
    }
    return String(i - portStart[nodePort[i]] + 1);
  }

  // The ports whose nodes may show on the canvas, in wiring order.
  function visiblePorts(pad) {
    const x0 = state.cx - (width / 2 + pad) / state.zoom, x1 = state.cx + (width / 2 + pad) / state.zoom;
    const y0 = state.cy - (height / 2 + pad) / state.zoom, y1 = state.cy + (height / 2 + pad) / state.zoom;
    const ports = [];
    for (let p = 0; p < portCount; p++) {
      const b = p * 4;
      if (portBox[b] <= x1 && portBox[b + 2] >= x0 && portBox[b + 1] <= y1 && portBox[b + 3] >= y0) ports.push(p);
    }
    return ports;
  }

  let lastDrawTime = 0;
  function draw() {
    const started = performance.now();
    ctx.setTransform(ratio, 0, 0, ratio, 0, 0);
    ctx.fillStyle = state.print ? '#ffffff' : '#181a20';
    ctx.fillRect(0, 0, width, height);
    const ink = state.print ? 'rgb(20,20,20)' : 'rgb(235,235,235)';
    const spacing = data.spacing * state.zoom;
    const radius = spacing > 0 ? clamp(spacing * 0.35, 0.5, 8) : 8;
    const labelSpacing = spacing > 0 ? spacing : 100;
    const ports = visiblePorts(radius + 40);
    const space = new LabelSpace();

    if (data.outlines) {
      const pad = 2 * radius + 2;
      ctx.lineWidth = clamp(radius * 0.4, 0.5, 1.5);
      ctx.setLineDash([3 * ctx.lineWidth, 2 * ctx.lineWidth]);
      for (const iface of interfaces) {
        const b = iface.box;
        if (!(b[0] <= b[2])) continue;
        ctx.strokeStyle = data.colors[iface.color] + '96';
        ctx.strokeRect(toScreenX(b[0]) - pad, toScreenY(b[1]) - pad,
          (b[2] - b[0]) * state.zoom + 2 * pad, (b[3] - b[1]) * state.zoom + 2 * pad);
      }
      ctx.setLineDash([]);
    }

    if (state.wiring) drawChains(ports, radius);
    drawNodes(ports, radius);

    if (state.labels) {
      const pad = 2 * radius + 2;
      for (const iface of interfaces) {
        const b = iface.box;
        if (!(b[0] <= b[2])) continue;
        drawLabel(space, [[toScreenX(b[0]) - pad, toScreenY(b[1]) - pad - 5]], `${iface.name} (${iface.uid})`, 12, ink);
      }
    }
    if (state.wiring) drawFirstNodes(ports, radius, labelSpacing, space, ink);
    const labelSize = Math.min(11, labelSpacing * 0.45);
    if (state.numbers && labelSize >= 6) {
      for (const p of ports) {
        for (let i = portStart[p]; i < portStart[p + 1]; i++) {
          if (away[i]) continue;
          const x = toScreenX(X[i]), y = toScreenY(Y[i]);
          if (x < -60 || x > width + 10 || y < -20 || y > height + 20) continue;
          drawLabel(space, [[x + radius + 3, y - radius * 0.6], [x + radius + 3, y + radius * 0.6 + labelSize * 0.8]],
            nodeLabel(i), labelSize, ink);
        }
      }
    }
    if (state.selected >= 0) drawSelection(radius, labelSpacing);
    lastDrawTime = performance.now() - started;
    snapshot = null;
  }

  function drawChains(ports, radius) {
    const lineWidth = clamp(radius * 0.35, 0.25, 2);
    const arrow = Math.max(radius * 1.4, lineWidth * 4);
    const lines = new Map();
    const marks = new Map();
    for (const p of ports) {
      const k = portIndexOnInterface[p];
      if (!lines.has(k)) { lines.set(k, new Path2D()); marks.set(k, new Path2D()); }
      const line = lines.get(k);
      const mark = marks.get(k);
      let started = false;
      let px = 0, py = 0;
      for (let i = portStart[p]; i < portStart[p + 1]; i++) {
        if (away[i]) { started = false; continue; }
        const x = toScreenX(X[i]), y = toScreenY(Y[i]);
        if (!started) { line.moveTo(x, y); started = true; px = x; py = y; continue; }
        line.lineTo(x, y);
        const dx = x - px, dy = y - py;
        const length = Math.hypot(dx, dy);
        if (arrow >= 2 && length >= 2 * radius + 2 * arrow) addArrow(mark, px, py, x, y, length, arrow);
        px = x; py = y;
      }
    }
    ctx.lineWidth = lineWidth;
    ctx.lineCap = 'round';
    ctx.lineJoin = 'round';
    for (const [k, line] of lines) {
      ctx.strokeStyle = chainColor(k);
      ctx.stroke(line);
      ctx.fillStyle = chainColor(k);
      ctx.fill(marks.get(k));
    }
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

  function drawNodes(ports, radius) {
    const ring = clamp(radius * 0.4, 0.25, 1.5);
    const dots = data.colors.map(() => new Path2D());
    const rings = data.colors.map(() => new Path2D());
    const square = radius < 1.2; // tiny dots look the same as squares and draw much faster
    for (const p of ports) {
      const color = interfaces[portInterface[p]].color;
      for (let i = portStart[p]; i < portStart[p + 1]; i++) {
        if (away[i]) continue;
        const x = toScreenX(X[i]), y = toScreenY(Y[i]);
        if (x < -radius || x > width + radius || y < -radius || y > height + radius) continue;
        if (skipped[i]) {
          const r = radius - ring / 2;
          rings[color].moveTo(x + r, y);
          rings[color].arc(x, y, r, 0, 2 * Math.PI);
        } else if (square) {
          dots[color].rect(x - radius, y - radius, 2 * radius, 2 * radius);
        } else {
          dots[color].moveTo(x + radius, y);
          dots[color].arc(x, y, radius, 0, 2 * Math.PI);
        }
      }
    }
    ctx.lineWidth = ring;
    data.colors.forEach((color, c) => {
      ctx.fillStyle = color;
      ctx.fill(dots[c]);
      ctx.strokeStyle = color;
      ctx.stroke(rings[c]);
    });
  }

  // The first node of every chain gets a square, and its port beside it where labels fit.
  function drawFirstNodes(ports, radius, labelSpacing, space, ink) {
    const lineWidth = clamp(radius * 0.5, 0.5, 2);
    // Where chains start close together the squares shrink, so that they never merge into bars.
    const startSpacing = data.startSpacing * state.zoom;
    const side = Math.min(2 * radius + 2 * lineWidth + 1, startSpacing > 0 ? 0.6 * startSpacing : Infinity);
    if (side < 1.5) return;
    const size = Math.min(11, labelSpacing * 0.6);
    const squares = new Path2D();
    for (const p of ports) {
      const i = portStart[p];
      if (i === portStart[p + 1] || away[i]) continue;
      const x = toScreenX(X[i]), y = toScreenY(Y[i]);
      if (x < -side || x > width + side || y < -side || y > height + side) continue;
      squares.rect(x - side / 2, y - side / 2, side, side);
    }
    ctx.strokeStyle = ink;
    ctx.lineWidth = Math.min(lineWidth, side / 4);
    ctx.stroke(squares);
    if (size < 6) return;
    ctx.font = `${Math.round(size)}px sans-serif`;
    for (const p of ports) {
      const i = portStart[p];
      if (i === portStart[p + 1] || away[i]) continue;
      const x = toScreenX(X[i]), y = toScreenY(Y[i]);
      const text = `port ${portField(p, 0)} (portnum ${portField(p, 1)})`;
      const w = ctx.measureText(text).width;
      drawLabel(space, [[x - side / 2, y - side / 2 - 2], [x - side / 2, y + side / 2 + size],
        [x - side / 2 - 2 - w, y + size / 3]], text, size, ink);
    }
  }

  // The selected node's chain over a veil: its line, a direction mark on every segment that holds
  // one, its first node marked, every node numbered where the numbers fit, the node ringed.
  function drawSelection(radius, labelSpacing) {
    const p = nodePort[state.selected];
    const from = portStart[p], to = portStart[p + 1];
    ctx.fillStyle = state.print ? 'rgba(255,255,255,0.6)' : 'rgba(10,11,14,0.62)';
    ctx.fillRect(0, 0, width, height);
    const highlight = state.print ? '#c02000' : '#ffd34d';
    const r = Math.max(radius, 3);
    const lineWidth = Math.max(2, r * 0.5);
    const arrow = Math.max(r * 1.8, 8);
    const line = new Path2D();
    const marks = new Path2D();
    let started = false, px = 0, py = 0;
    for (let i = from; i < to; i++) {
      if (away[i]) { started = false; continue; }
      const x = toScreenX(X[i]), y = toScreenY(Y[i]);
      if (started) {
        line.lineTo(x, y);
        const length = Math.hypot(x - px, y - py);
        if (length >= 2 * r + arrow) addArrow(marks, px, py, x, y, length, arrow);
      } else {
        line.moveTo(x, y);
      }
      started = true; px = x; py = y;
    }
    ctx.strokeStyle = highlight;
    ctx.lineWidth = lineWidth;
    ctx.stroke(line);
    ctx.fillStyle = highlight;
    ctx.fill(marks);
    const color = data.colors[interfaces[portInterface[p]].color];
    const dots = new Path2D();
    for (let i = from; i < to; i++) {
      if (away[i]) continue;
      const x = toScreenX(X[i]), y = toScreenY(Y[i]);
      dots.moveTo(x + r, y);
      dots.arc(x, y, r, 0, 2 * Math.PI);
    }
    ctx.fillStyle = color;
    ctx.fill(dots);
    ctx.lineWidth = 1;
    ctx.strokeStyle = state.print ? '#000' : '#fff';
    ctx.stroke(dots);
    const space = new LabelSpace();
    const ink = state.print ? '#000' : '#fff';
    if (!away[from]) {
      const x = toScreenX(X[from]), y = toScreenY(Y[from]);
      const side = 2 * r + 8;
      ctx.lineWidth = 2.5;
      ctx.strokeStyle = highlight;
      ctx.strokeRect(x - side / 2, y - side / 2, side, side);
      drawLabel(space, [[x - side / 2, y - side / 2 - 4], [x - side / 2, y + side / 2 + 14]],
        `start: port ${portField(p, 0)} (portnum ${portField(p, 1)})`, 13, ink);
    }
    const i = state.selected;
    if (!away[i]) {
      const x = toScreenX(X[i]), y = toScreenY(Y[i]);
      ctx.lineWidth = 3;
      ctx.strokeStyle = ink;
      ctx.beginPath();
      ctx.arc(x, y, r + 5, 0, 2 * Math.PI);
      ctx.stroke();
      drawLabel(space, [[x + r + 7, y - r - 2], [x + r + 7, y + r + 14]], `node ${i - from + 1}`, 13, ink);
    }
    const size = Math.min(12, Math.max(labelSpacing, 2 * r) * 0.5);
    if (size >= 6) {
      for (let k = from; k < to; k++) {
        if (away[k]) continue;
        const x = toScreenX(X[k]), y = toScreenY(Y[k]);
        drawLabel(space, [[x + r + 3, y - r * 0.6], [x + r + 3, y + r * 0.6 + size * 0.8]], String(k - from + 1), size, ink);
      }
    }
  }

  // While the user pans or zooms a map that takes long to draw, the last drawing is moved and
  // scaled instead, and drawn anew once the gesture rests.
  let snapshot = null;
  let frame = 0;
  let restTimer = 0;
  function redraw(moving) {
    if (frame) return;
    frame = requestAnimationFrame(() => {
      frame = 0;
      if (moving && lastDrawTime > 30) {
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
        clearTimeout(restTimer);
        restTimer = setTimeout(() => { snapshot = null; drawNow(); }, 150);
        return;
      }
      drawNow();
    });
  }
  const drawnView = { cx: 0, cy: 0, zoom: 1 };
  function drawNow() {
    draw();
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

  // ---- Pointer, wheel, pinch and keys -----------------------------------------------------------
  const pointers = new Map();
  let gesture = null; // {x, y, distance, moved}
  function gestureOf() {
    const list = [...pointers.values()];
    const x = list.reduce((s, p) => s + p.x, 0) / list.length;
    const y = list.reduce((s, p) => s + p.y, 0) / list.length;
    const distance = list.length > 1 ? Math.hypot(list[0].x - list[1].x, list[0].y - list[1].y) : 0;
    return { x, y, distance, moved: gesture ? gesture.moved : 0, count: list.length };
  }
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
      state.cx -= (now.x - gesture.x) / state.zoom;
      state.cy -= (now.y - gesture.y) / state.zoom;
      if (now.distance > 0 && gesture.distance > 0) zoomAt(now.distance / gesture.distance, now.x, now.y);
      now.moved = gesture.moved + Math.hypot(now.x - gesture.x, now.y - gesture.y);
      redraw(true);
    }
    gesture = now;
  });
  const release = (e) => {
    if (!pointers.has(e.pointerId)) return;
    const tap = gesture && gesture.moved < 6 && gesture.count === 1 && e.type === 'pointerup';
    pointers.delete(e.pointerId);
    gesture = pointers.size ? gestureOf() : null;
    if (gesture) gesture.moved = 99; // a pinch that ends is no tap
    if (!pointers.size) canvas.classList.remove('dragging');
    if (tap) {
      const at = local(e);
      const hit = nodeAt(at.x, at.y, e.pointerType === 'mouse' ? 8 : 18);
      if (hit >= 0) selectNode(hit, false); else clearSelection();
    }
  };
  canvas.addEventListener('pointerup', release);
  canvas.addEventListener('pointercancel', release);
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

  // The node nearest to a canvas point, within `slack` pixels of its dot, or -1.
  function nodeAt(sx, sy, slack) {
    const spacing = data.spacing * state.zoom;
    const radius = spacing > 0 ? clamp(spacing * 0.35, 0.5, 8) : 8;
    const limit = radius + slack;
    const mx = (sx - width / 2) / state.zoom + state.cx;
    const my = (sy - height / 2) / state.zoom + state.cy;
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

  // ---- Selection, panel and port tables --------------------------------------------------------
  function fieldsOf(i) {
    const p = nodePort[i];
    const iface = interfaces[portInterface[p]];
    return {
      interface: iface.name, ip: iface.ip, port: portField(p, 0), portnum: portField(p, 1),
      fixture: fixtures[nodeFixture[i]].name, node: i - portStart[p] + 1, address: address[i],
      universe: universeOf(i), channel: channelOf(i),
    };
  }

  function element(tag, attributes, ...children) {
    const e = document.createElement(tag);
    for (const [k, v] of Object.entries(attributes || {})) e.setAttribute(k, v);
    for (const c of children) e.append(c);
    return e;
  }
  const placed = (u, c) => (u < 0 ? '–' : `${u}/${c}`);

  function portTable(iface, current) {
    const head = element('tr', {}, ...[['port', 'port'], ['num', 'portnum'], ['fix', 'fixtures'], ['px', 'pixels'],
      ['skip', 'skipped pixels'], ['ch', 'channels'], ['first', 'first universe/channel'],
      ['last', 'last universe/channel'], ['mA', 'milliamps']].map(([t, title]) => element('th', { title }, t)));
    const body = element('tbody');
    let empty = 0;
    for (let p = iface.firstPort; p < iface.firstPort + iface.ports; p++) {
      if (portField(p, 3) === 0) { empty++; continue; }
      const row = element('tr', { 'data-port': p }, ...[portField(p, 0), portField(p, 1), portField(p, 2), portField(p, 3),
        portField(p, 4), portField(p, 5), placed(portField(p, 6), portField(p, 7)), placed(portField(p, 8), portField(p, 9)),
        portField(p, 10)].map((v) => element('td', {}, String(v))));
      if (p === current) row.className = 'current';
      body.append(row);
    }
    const table = element('table', { class: 'ports' }, element('thead', {}, head), body);
    const parts = [element('div', { class: 'scroll' }, table)];
    if (empty) parts.push(element('p', { class: 'note' }, `${empty} port${empty > 1 ? 's' : ''} without nodes`));
    return parts;
  }

  function showPanel(iface, node) {
    const body = $('panelBody');
    body.replaceChildren();
    body.append(element('h2', {}, `${iface.name}`));
    body.append(element('p', { class: 'note' }, `uid ${iface.uid} · IP ${iface.ip} · uni ${iface.uni} · ${iface.nodes} nodes`));
    if (node >= 0) {
      const f = fieldsOf(node);
      const list = element('dl', { class: 'fields' });
      const rows = [['Interface', f.interface], ['IP', f.ip], ['Port', `${f.port} (portnum ${f.portnum})`],
        ['Fixture', f.fixture], ['Node', `${f.node} of ${portField(nodePort[node], 3)} along the chain`],
        ['Address', f.address], ['Universe', f.universe === null ? '–' : f.universe],
        ['Channel', f.channel === null ? '–' : f.channel]];
      if (skipped[node]) rows.push(['Skipped', 'yes']);
      for (const [k, v] of rows) list.append(element('dt', {}, k), element('dd', {}, String(v)));
      body.append(list);
    }
    body.append(element('h3', {}, 'Ports'), ...portTable(iface, node >= 0 ? nodePort[node] : -1));
    $('panel').hidden = false;
  }

  $('panelBody').addEventListener('click', (e) => {
    const row = e.target.closest('tr[data-port]');
    if (!row) return;
    const p = Number(row.dataset.port);
    selectNode(portStart[p], true);
  });
  $('close').addEventListener('click', clearSelection);

  function selectNode(i, reveal) {
    state.selected = i;
    const p = nodePort[i];
    showPanel(interfaces[portInterface[p]], i);
    if (reveal) {
      const b = portBox.subarray(p * 4, p * 4 + 4);
      if (b[0] <= b[2]) showBox(b, 0.8);
    }
    drawNow();
    return fieldsOf(i);
  }

  function clearSelection() {
    state.selected = -1;
    $('panel').hidden = true;
    drawNow();
  }

  // ---- Finding -----------------------------------------------------------------------------------
  function find(text) {
    const needle = String(text).trim().toLowerCase();
    const result = { interfaces: [], fixtures: [] };
    if (!needle) return result;
    for (const iface of interfaces) {
      if (iface.name.toLowerCase().includes(needle) || iface.uid.includes(needle) || iface.ip.includes(needle))
        result.interfaces.push({ uid: iface.uid, name: iface.name, ip: iface.ip });
    }
    fixtures.forEach((f) => {
      if (!f.name.toLowerCase().includes(needle)) return;
      const p = nodePort[f.first];
      result.fixtures.push({ name: f.name, uid: interfaces[portInterface[p]].uid, port: portField(p, 0),
        node: f.first - portStart[p] + 1 });
    });
    return result;
  }

  const byUid = new Map(interfaces.map((iface) => [iface.uid, iface]));
  function nodeOf(uid, port, node) {
    const iface = byUid.get(String(uid).toLowerCase());
    if (!iface) return -1;
    for (let p = iface.firstPort; p < iface.firstPort + iface.ports; p++) {
      if (portField(p, 0) === Number(port)) {
        const i = portStart[p] + Number(node) - 1;
        return Number(node) >= 1 && i < portStart[p + 1] ? i : -1;
      }
    }
    return -1;
  }

  function showInterface(iface) {
    state.selected = -1;
    showPanel(iface, -1);
    if (iface.box[0] <= iface.box[2]) showBox(iface.box, 0.8);
    drawNow();
  }

  const results = $('results');
  let shown = [];
  function listResults() {
    const found = find($('search').value);
    shown = [];
    results.replaceChildren();
    for (const iface of found.interfaces.slice(0, 40)) {
      shown.push(() => showInterface(byUid.get(iface.uid)));
      results.append(element('li', {}, `${iface.name} `, element('small', {}, `interface ${iface.uid} · ${iface.ip}`)));
    }
    for (const f of found.fixtures.slice(0, 40)) {
      shown.push(() => selectNode(nodeOf(f.uid, f.port, f.node), true));
      results.append(element('li', {}, `${f.name} `, element('small', {}, `fixture · ${f.uid} port ${f.port} from node ${f.node}`)));
    }
    const more = found.interfaces.length + found.fixtures.length - shown.length;
    if (more > 0) results.append(element('li', { class: 'note' }, `${more} more: type more to narrow`));
    if (!shown.length && $('search').value.trim()) results.append(element('li', { class: 'note' }, 'Nothing found'));
    results.hidden = !results.children.length;
  }
  $('search').addEventListener('input', listResults);
  $('search').addEventListener('keydown', (e) => {
    if (e.key === 'Enter' && shown.length) { shown[0](); results.hidden = true; $('search').blur(); }
    if (e.key === 'Escape') { results.hidden = true; }
  });
  results.addEventListener('click', (e) => {
    const item = e.target.closest('li');
    const index = [...results.children].indexOf(item);
    if (index >= 0 && index < shown.length) { shown[index](); results.hidden = true; }
  });
  canvas.addEventListener('pointerdown', () => { results.hidden = true; });

  // ---- Controls, status and print ---------------------------------------------------------------
  function syncButtons() {
    $('wiring').setAttribute('aria-pressed', String(state.wiring));
    $('names').setAttribute('aria-pressed', String(state.labels));
    for (const b of document.querySelectorAll('[data-numbers]'))
      b.setAttribute('aria-pressed', String(Number(b.dataset.numbers) === state.numbers));
  }
  $('fit').addEventListener('click', () => { fit(); drawNow(); });
  $('wiring').addEventListener('click', () => { state.wiring = !state.wiring; syncButtons(); drawNow(); });
  $('names').addEventListener('click', () => { state.labels = !state.labels; syncButtons(); drawNow(); });
  for (const b of document.querySelectorAll('[data-numbers]')) {
    b.addEventListener('click', () => {
      const n = Number(b.dataset.numbers);
      state.numbers = state.numbers === n ? 0 : n;
      syncButtons();
      drawNow();
    });
  }
  // The Ports button lists the interfaces; choosing one shows it with its port table.
  $('portsButton').addEventListener('click', () => {
    const list = element('ul', { class: 'interfaces' });
    for (const iface of interfaces) {
      list.append(element('li', { 'data-interface': iface.index }, `${iface.name} `,
        element('small', {}, `${iface.uid} · ${iface.ip} · ${iface.nodes} nodes`)));
    }
    $('panelBody').replaceChildren(element('h2', {}, `${interfaces.length} interfaces`), list);
    $('panel').hidden = false;
  });
  $('panelBody').addEventListener('click', (e) => {
    const item = e.target.closest('li[data-interface]');
    if (item) showInterface(interfaces[Number(item.dataset.interface)]);
  });

  function updateStatus() {
    const parts = [data.title, `${interfaces.length} interfaces`, `${count} nodes`];
    if (data.file) parts.push(data.file);
    if (data.saved) parts.push(`saved ${data.saved}`);
    const spacing = data.spacing * state.zoom;
    if (state.numbers && spacing * 0.45 < 6) parts.push('zoom in for node labels');
    $('status').textContent = parts.join(' · ');
  }

  // For print: the whole map on white, then every interface's port table; the tables are made only
  // when printing, so that large maps open quickly.
  let before = null;
  function beforePrint() {
    if (before) return;
    before = { cx: state.cx, cy: state.cy, zoom: state.zoom };
    const section = $('print');
    section.replaceChildren(element('h1', {}, data.title),
      element('p', { class: 'note' }, [data.file, data.saved && `saved ${data.saved}`, `${interfaces.length} interfaces, ${count} nodes`]
        .filter(Boolean).join(' · ')),
      element('p', { class: 'note' }, 'Port tables: num portnum, fix fixtures, px pixels, skip skipped pixels, '
        + 'ch channels, first and last universe/channel, mA milliamps.'));
    for (const iface of interfaces) {
      if (!iface.nodes) continue;
      section.append(element('h2', {}, `${iface.name} · uid ${iface.uid} · IP ${iface.ip} · uni ${iface.uni}`),
        ...portTable(iface, -1));
    }
    state.print = true;
    fit();
    draw();
  }
  function afterPrint() {
    if (!before) return;
    Object.assign(state, before, { print: false });
    before = null;
    $('print').replaceChildren();
    drawNow();
  }
  window.addEventListener('beforeprint', beforePrint);
  window.addEventListener('afterprint', afterPrint);
  window.matchMedia('print').addEventListener('change', (e) => (e.matches ? beforePrint() : afterPrint()));

  window.lumomap = {
    ready,
    nodeCount: () => count,
    find,
    select(uid, port, node) {
      const i = nodeOf(uid, port, node);
      return i < 0 ? null : selectNode(i, true);
    },
    view: () => ({ x: state.cx, y: state.cy, zoom: state.zoom }),
  };

  syncButtons();
  resize();
  requestAnimationFrame(() => resolveReady());
})();

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
//   find(text) also holds nodes: [{uid, port, node, universe, channel}] for a text "U/CH" or
//                          "KEY U/CH": the nodes occupying channel CH of universe U (of the interface
//                          whose uid or name is KEY, any case), each with its first universe/channel;
//   view()                 {x, y, zoom}: the map point at the centre of the canvas and the pixels per
//                          map unit;
//   redraw()               draws the whole canvas anew at once, the map layer too, and returns the
//                          milliseconds it took;
//   labels()               [{text, x, y, width, height}]: the labels of the last drawing, as boxes on
//                          the canvas in CSS pixels.
let resolveReady;
const ready = new Promise((resolve) => { resolveReady = resolve; });
window.lumomap = {
  ready,
  nodeCount: () => count,
  find,
  select(uid, port, node) {
    const i = nodeOf(uid, port, node);
    return i < 0 ? null : selectNode(i, true);
  },
  view: () => ({ x: state.cx, y: state.cy, zoom: state.zoom }),
  redraw() {
    drawNow(true);
    return lastDrawTime;
  },
  labels: () => paintedLabels.map((label) => ({ ...label })),
};

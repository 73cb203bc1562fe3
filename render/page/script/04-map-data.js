// The map's data, written into the page by LumoMapPage, decoded into typed arrays in wiring order:
// every node's position, address, universe, channel, channel count, port and fixture; every port's first node and
// box; every interface with its ports and box; the fixtures; the extent of the whole map.
const data = JSON.parse($('lumomap-data').textContent);

const count = data.x.length;
const X = new Float64Array(count);
const Y = new Float64Array(count);
const address = new Float64Array(count);
const universe = new Float64Array(count); // -1: in no universe
const channel = new Float64Array(count);
const channelCount = new Float64Array(count); // the channels a node occupies, from `channel` on
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
    const box = emptyBox();
    for (let k = 0; k < iface.ports; k++, p++) {
      portInterface[p] = iface.index;
      portIndexOnInterface[p] = k;
      portStart[p] = node;
      const pixels = portField(p, 3);
      const pb = emptyBox();
      for (let j = 0; j < pixels; j++, node++) {
        nodePort[node] = p;
        address[node] = (j ? address[node - 1] : 0) + data.a[node];
        universe[node] = (j ? universe[node - 1] : 0) + data.u[node];
        channel[node] = (j ? channel[node - 1] : 0) + data.c[node];
        channelCount[node] = (j ? channelCount[node - 1] : 0) + data.n[node];
        if (!away[node]) growBox(pb, X[node], Y[node]);
      }
      portBox.set(pb, p * 4);
      growBox(box, ...pb);
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
const extent = emptyBox();
for (const iface of interfaces) {
  if (!boxIsEmpty(iface.box)) growBox(extent, ...iface.box);
}
const mapIsEmpty = boxIsEmpty(extent);
const byUid = new Map(interfaces.map((iface) => [iface.uid, iface]));

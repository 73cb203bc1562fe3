// The panel: the selected node's fields and its interface's port table, or the list of interfaces;
// selecting a node or an interface shows it there and on the map.
function fieldsOf(i) {
  const p = nodePort[i];
  const iface = interfaces[portInterface[p]];
  return {
    interface: iface.name, ip: iface.ip, port: portField(p, 0), portnum: portField(p, 1),
    fixture: fixtures[nodeFixture[i]].name, node: i - portStart[p] + 1, address: address[i],
    universe: universeOf(i), channel: channelOf(i),
  };
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

function selectNode(i, reveal) {
  state.selected = i;
  state.highlighted = -1;
  const p = nodePort[i];
  showPanel(interfaces[portInterface[p]], i);
  if (reveal) {
    const b = portBox.subarray(p * 4, p * 4 + 4);
    if (!boxIsEmpty(b)) showBox(b, 0.8);
  }
  drawNow();
  return fieldsOf(i);
}

function clearSelection() {
  state.selected = -1;
  state.highlighted = -1;
  $('panel').hidden = true;
  drawNow();
}

// Shows an interface found or chosen: highlighted and named on the map, its port table in the panel.
function showInterface(iface) {
  state.selected = -1;
  state.highlighted = iface.index;
  showPanel(iface, -1);
  if (!boxIsEmpty(iface.box)) showBox(iface.box, 0.8);
  drawNow();
}

// The list of every interface, from the Ports button; choosing one shows it with its port table.
function showInterfaceList() {
  const list = element('ul', { class: 'interfaces' });
  for (const iface of interfaces) {
    list.append(element('li', { 'data-interface': iface.index }, `${iface.name} `,
      element('small', {}, `${iface.uid} · ${iface.ip} · ${iface.nodes} nodes`)));
  }
  $('panelBody').replaceChildren(element('h2', {}, `${interfaces.length} interfaces`), list);
  $('panel').hidden = false;
}

$('panelBody').addEventListener('click', (e) => {
  const row = e.target.closest('tr[data-port]');
  if (row) selectNode(portStart[Number(row.dataset.port)], true);
  const item = e.target.closest('li[data-interface]');
  if (item) showInterface(interfaces[Number(item.dataset.interface)]);
});
$('close').addEventListener('click', clearSelection);

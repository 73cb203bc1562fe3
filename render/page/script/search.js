// Finding: interfaces by name, uid or IP and fixtures by name, listed under the search field; choosing
// a result (or Enter) goes there.
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

// The index of node `node` (from 1) along port `port` (its label) of interface `uid`, or -1.
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

// Finding: interfaces by name, uid or IP, fixtures by name, and for a text "U/CH" or "KEY U/CH" the
// nodes occupying channel CH of universe U (on the interface whose uid or name is KEY, in any case),
// listed under the search field once typing pauses; choosing a result (or Enter) goes there.
const SEARCH_PAUSE_MS = 150;
let lowerNames = null; // interface and fixture names in lower case, made at the first search

function find(text) {
  const needle = String(text).trim().toLowerCase();
  const result = { interfaces: [], fixtures: [], nodes: [] };
  if (!needle) return result;
  if (!lowerNames) {
    lowerNames = { interfaces: interfaces.map((iface) => iface.name.toLowerCase()),
      fixtures: fixtures.map((f) => f.name.toLowerCase()) };
  }
  interfaces.forEach((iface, k) => {
    if (lowerNames.interfaces[k].includes(needle) || iface.uid.includes(needle) || iface.ip.includes(needle))
      result.interfaces.push({ uid: iface.uid, name: iface.name, ip: iface.ip });
  });
  fixtures.forEach((f, k) => {
    if (!lowerNames.fixtures[k].includes(needle)) return;
    const p = nodePort[f.first];
    result.fixtures.push({ name: f.name, uid: interfaces[portInterface[p]].uid, port: portField(p, 0),
      node: f.first - portStart[p] + 1 });
  });
  const place = needle.match(/^(?:(.*\S)\s+)?(\d+)\s*\/\s*(\d+)$/);
  if (place) {
    const [, key, u, c] = place;
    const candidates = key === undefined ? interfaces
      : interfaces.filter((iface, k) => iface.uid === key || lowerNames.interfaces[k] === key);
    for (const iface of candidates) {
      for (const i of nodesOccupying(iface, Number(u), Number(c))) {
        const p = nodePort[i];
        result.nodes.push({ uid: iface.uid, port: portField(p, 0), node: i - portStart[p] + 1,
          universe: universe[i], channel: channel[i] });
      }
    }
  }
  return result;
}

// The nodes of `iface` whose channels take in channel `c` of universe `u`: from their first channel
// on, as many as they occupy, running on into the next universe after channel usize.
function nodesOccupying(iface, u, c) {
  const found = [];
  if (!(c >= 1 && c <= data.usize)) return found;
  const after = (u1, c1, u2, c2) => u1 > u2 || (u1 === u2 && c1 >= c2); // (u1, c1) at or after (u2, c2)
  for (let p = iface.firstPort; p < iface.firstPort + iface.ports; p++) {
    const firstU = portField(p, 6);
    if (firstU < 0 || !after(u, c, firstU, portField(p, 7)) || !after(portField(p, 8), portField(p, 9), u, c)) continue;
    for (let i = portStart[p]; i < portStart[p + 1]; i++) {
      if (universe[i] < 0) continue;
      const offset = (u - universe[i]) * data.usize + (c - channel[i]);
      if (offset >= 0 && offset < channelCount[i]) found.push(i);
    }
  }
  return found;
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
let searchTimer = 0;
function listResults() {
  clearTimeout(searchTimer);
  searchTimer = 0;
  const found = find($('search').value);
  shown = [];
  results.replaceChildren();
  for (const n of found.nodes.slice(0, 40)) {
    const iface = byUid.get(n.uid);
    shown.push(() => selectNode(nodeOf(n.uid, n.port, n.node), true));
    results.append(element('li', {}, `${iface.name} port ${n.port} node ${n.node} `,
      element('small', {}, `node · ${n.uid} · from ${n.universe}/${n.channel}`)));
  }
  for (const iface of found.interfaces.slice(0, 40)) {
    shown.push(() => showInterface(byUid.get(iface.uid)));
    results.append(element('li', {}, `${iface.name} `, element('small', {}, `interface ${iface.uid} · ${iface.ip}`)));
  }
  for (const f of found.fixtures.slice(0, 40)) {
    shown.push(() => selectNode(nodeOf(f.uid, f.port, f.node), true));
    results.append(element('li', {}, `${f.name} `, element('small', {}, `fixture · ${f.uid} port ${f.port} from node ${f.node}`)));
  }
  const more = found.nodes.length + found.interfaces.length + found.fixtures.length - shown.length;
  if (more > 0) results.append(element('li', { class: 'note' }, `${more} more: type more to narrow`));
  if (!shown.length && $('search').value.trim()) results.append(element('li', { class: 'note' }, 'Nothing found'));
  results.hidden = !results.children.length;
}
// Searching a large map takes a while: it runs once typing pauses, not at every key.
$('search').addEventListener('input', () => {
  clearTimeout(searchTimer);
  searchTimer = setTimeout(listResults, SEARCH_PAUSE_MS);
});
$('search').addEventListener('keydown', (e) => {
  if (e.key === 'Enter' && searchTimer) listResults();
  if (e.key === 'Enter' && shown.length) { shown[0](); results.hidden = true; $('search').blur(); }
  if (e.key === 'Escape') { results.hidden = true; }
});
results.addEventListener('click', (e) => {
  const item = e.target.closest('li');
  const index = [...results.children].indexOf(item);
  if (index >= 0 && index < shown.length) { shown[index](); results.hidden = true; }
});
canvas.addEventListener('pointerdown', () => { results.hidden = true; });

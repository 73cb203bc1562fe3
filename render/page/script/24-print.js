// For print: the whole map on white, then every interface's port table; the tables are made only
// when printing, so that large maps open quickly.
let viewBeforePrint = null;
function beforePrint() {
  if (viewBeforePrint) return;
  viewBeforePrint = { cx: state.cx, cy: state.cy, zoom: state.zoom };
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
  if (!viewBeforePrint) return;
  Object.assign(state, viewBeforePrint, { print: false });
  viewBeforePrint = null;
  $('print').replaceChildren();
  drawNow();
}
window.addEventListener('beforeprint', beforePrint);
window.addEventListener('afterprint', afterPrint);
window.matchMedia('print').addEventListener('change', (e) => (e.matches ? beforePrint() : afterPrint()));

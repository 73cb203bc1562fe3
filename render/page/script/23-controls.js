// The bar's buttons (Fit, the node label modes, Wiring, Names, Ports) and the status line.
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
$('portsButton').addEventListener('click', showInterfaceList);

function updateStatus() {
  const parts = [data.title, `${interfaces.length} interfaces`, `${count} nodes`];
  if (data.file) parts.push(data.file);
  if (data.saved) parts.push(`saved ${data.saved}`);
  const spacing = data.spacing * state.zoom;
  if (state.numbers && spacing * 0.45 < 6) parts.push('zoom in for node labels');
  $('status').textContent = parts.join(' · ');
}

// The map page in headless Chromium, driven through the DevTools protocol: pages made by `lumomap
// render` from the sample maps agree node by node with `lumomap patch` for the same wiring options,
// find interfaces, fixtures and the nodes at a universe/channel, label a selection in the label mode
// chosen without overlaps, pan and zoom, draw something and request nothing outside their file.
// With LUMOMAP_LARGE_MAP, only that map is tested, and timed (size and time to ready). Screenshots
// are left in the working directory for people to look at.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import puppeteer from 'puppeteer-core';

const { LUMOMAP_TOOL: tool, LUMOMAP_SOURCE_DIR: source, LUMOMAP_CHROMIUM: chromium } = process.env;
const cases = process.env.LUMOMAP_LARGE_MAP ? [
  { name: 'large', map: process.env.LUMOMAP_LARGE_MAP, options: [], sample: 997, maxMs: 3000, maxBytes: 12e6 },
] : [
  { name: 'theatre', map: 'examples/legacy-theatre.xml', options: [] },
  { name: 'facade', map: 'examples/legacy-facade.xml',
    options: ['--universe-size', '512', '--start-universe', '7', '--channels-per-node', '4'] },
  { name: 'stage', map: 'examples/stage.lumomap.xml', options: [] },
  { name: 'stage-port-2', map: 'examples/stage.lumomap.xml', options: ['--port', '2'] },
  // Names with quotes, commas, line breaks, "</script>" and "<!--" stay data.
  { name: 'names', map: 'tests/data/page-script-names.xml', options: [] },
];

let browser;
let userData;
before(async () => {
  userData = mkdtempSync(path.join(tmpdir(), 'lumomap-chromium-'));
  browser = await puppeteer.launch({
    executablePath: chromium, headless: true, userDataDir: userData,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
});
after(async () => {
  await browser?.close();
  rmSync(userData, { recursive: true, force: true });
});

const lumomap = (...args) => execFileSync(tool, args, { cwd: source, maxBuffer: 1 << 30 }).toString();

async function open(file, viewport) {
  const page = await browser.newPage();
  await page.setViewport(viewport);
  const requests = [];
  page.on('request', (request) => requests.push(request.url()));
  const started = performance.now();
  await page.goto(pathToFileURL(file).href);
  await page.evaluate(() => window.lumomap.ready);
  return { page, requests, readyMs: performance.now() - started };
}

// Distinct colours in a PNG screenshot, counted by the page itself.
const colours = (page, png) => page.evaluate(async (data) => {
  const image = new Image();
  image.src = `data:image/png;base64,${data}`;
  await image.decode();
  const canvas = Object.assign(document.createElement('canvas'), { width: image.width, height: image.height });
  const context = canvas.getContext('2d');
  context.drawImage(image, 0, 0);
  const pixels = context.getImageData(0, 0, image.width, image.height).data;
  const seen = new Set();
  for (let i = 0; i < pixels.length; i += 4 * 5) seen.add((pixels[i] << 16) | (pixels[i + 1] << 8) | pixels[i + 2]);
  return seen.size;
}, png);

// Boxes of labels that overlap.
const overlapping = (labels) => labels.filter((a, i) => labels.some((b, j) => j > i && a.x < b.x + b.width - 0.5
  && b.x < a.x + a.width - 0.5 && a.y < b.y + b.height - 0.5 && b.y < a.y + a.height - 0.5));

// A selected chain is labelled in each label mode, its node named once, no two labels overlapping.
async function labelModesOfSelection(page, rows) {
  const at = rows.findIndex((r, i) => r.universe !== null && rows[i + 1]?.uid === r.uid && rows[i + 1].port === r.port);
  if (at < 0) return;
  const [row, next] = [rows[at], rows[at + 1]];
  await page.evaluate((r) => window.lumomap.select(r.uid, r.port, r.node), row);
  for (const [mode, label] of [[1, (r) => String(r.node)], [2, (r) => String(r.address)], [3, (r) => `${r.universe}/${r.channel}`]]) {
    const labels = await page.evaluate((n) => {
      const button = document.querySelector(`[data-numbers="${n}"]`);
      if (button.getAttribute('aria-pressed') !== 'true') button.click();
      return window.lumomap.labels();
    }, mode);
    const texts = labels.map((l) => l.text);
    assert.ok(texts.includes(label(next)), `mode ${mode}: ${label(next)} not in ${texts}`);
    assert.equal(texts.filter((t) => t.startsWith(`node ${row.node}`)).length, 1, texts.join('|'));
    assert.deepEqual(overlapping(labels), [], `mode ${mode}`);
  }
}

// A search for an interface's name lists it once typing pauses; Enter shows it, named on the map.
async function searchShowsInterface(page, row) {
  await page.type('#search', row.interface);
  assert.equal(await page.$eval('#results', (e) => e.hidden), true, 'searched before typing paused');
  await page.waitForSelector('#results:not([hidden])');
  await page.keyboard.press('Enter');
  const texts = (await page.evaluate(() => window.lumomap.labels())).map((l) => l.text);
  assert.ok(texts.includes(`${row.interface} (${row.uid})`), texts.join('|'));
}

for (const { name, map, options, sample = 1, maxMs, maxBytes } of cases) {
  test(`map page of ${name}`, async () => {
    const out = mkdtempSync(path.join(tmpdir(), 'lumomap-page-'));
    const file = path.join(out, `${name}.html`);
    lumomap('render', map, '-o', file, ...options);
    const rows = JSON.parse(lumomap('patch', '--json', map, ...options));
    const { page, requests, readyMs } = await open(file, { width: 1280, height: 800 });
    const bytes = statSync(file).size;
    console.log(`${name}: ${rows.length} nodes, ${bytes} bytes, ready in ${Math.round(readyMs)} ms`);
    if (maxBytes) assert.ok(bytes <= maxBytes, `${bytes} bytes`);
    if (maxMs) assert.ok(readyMs <= maxMs, `ready after ${readyMs} ms`);

    assert.equal(await page.evaluate(() => window.lumomap.nodeCount()), rows.length);
    const expected = rows.filter((row, i) => i % sample === 0).map((r) => ({
      interface: r.interface, ip: r.ip, port: r.port, portnum: r.portnum, fixture: r.fixture, node: r.node,
      address: r.address, universe: r.universe, channel: r.channel, uid: r.uid }));
    const differing = await page.evaluate((list) => list.filter(({ uid, ...row }) =>
      JSON.stringify(window.lumomap.select(uid, row.port, row.node)) !== JSON.stringify(row)), expected);
    assert.deepEqual(differing, []);

    const first = rows[0];
    const found = await page.evaluate((r) => [r.uid, r.ip, r.interface.toUpperCase(), r.fixture]
      .map((text) => window.lumomap.find(text)), first);
    for (const result of found.slice(0, 3)) assert.ok(result.interfaces.some((i) => i.uid === first.uid));
    assert.ok(found[3].fixtures.some((f) => f.name === first.fixture && f.uid === first.uid));

    // Every node is found at its first and at its last channel (which may lie in the next universe),
    // alone or behind its interface's uid or name in any case; a key naming no interface finds none.
    const sizeAt = options.indexOf('--universe-size');
    const size = sizeAt >= 0 ? Number(options[sizeAt + 1]) : 510;
    const placed = expected.map((e) => rows.find((r) => r.uid === e.uid && r.port === e.port && r.node === e.node))
      .filter((r) => r.universe !== null);
    const searches = placed.flatMap((r) => {
      const last = r.channel + r.counted_channels - 1;
      const [u, c] = last > size ? [r.universe + 1, last - size] : [r.universe, last];
      return [[`${r.universe}/${r.channel}`, r], [`${r.uid} ${u}/${c}`, r], [`${r.interface.toUpperCase()} ${u} / ${c}`, r]];
    });
    const missed = await page.evaluate((list) => list.filter(([text, r]) => !window.lumomap.find(text).nodes.some((n) =>
      n.uid === r.uid && n.port === r.port && n.node === r.node && n.universe === r.universe && n.channel === r.channel))
      .map(([text]) => text), searches);
    assert.deepEqual(missed, []);
    assert.deepEqual(await page.evaluate((r) => window.lumomap.find(`nowhere ${r.universe}/${r.channel}`).nodes, placed[0]), []);
    if (maxMs) {
      await page.evaluate(() => document.getElementById('fit').click());
      const times = await page.evaluate(() => [1, 2, 3, 4, 5].map(() => window.lumomap.redraw()));
      console.log(`${name}: full redraw of the fitted map ${times.map(Math.round).join(', ')} ms`);
    } else {
      await labelModesOfSelection(page, rows);
      await searchShowsInterface(page, first);
    }

    const view = () => page.evaluate(() => window.lumomap.view());
    const start = await view();
    await page.mouse.move(640, 400);
    await page.mouse.wheel({ deltaY: -300 });
    await page.waitForFunction((zoom) => window.lumomap.view().zoom > zoom, {}, start.zoom);
    const zoomed = await view();
    await page.mouse.down();
    await page.mouse.move(500, 300, { steps: 4 });
    await page.mouse.up();
    const dragged = await view();
    assert.ok(dragged.x > zoomed.x && dragged.y > zoomed.y, JSON.stringify([zoomed, dragged]));

    await page.evaluate(() => document.getElementById('fit').click());
    const shot = await page.screenshot({ encoding: 'base64' });
    writeFileSync(`${name}-desktop.png`, Buffer.from(shot, 'base64'));
    assert.ok(await colours(page, shot) > 8, 'the screenshot is blank');
    assert.deepEqual(requests.filter((url) => url !== pathToFileURL(file).href && !url.startsWith('data:')), []);

    // A phone with a chain selected, for people to look at: every button a finger's size, the panel opaque.
    const phone = await open(file, { width: 390, height: 844, deviceScaleFactor: 2, isMobile: true, hasTouch: true });
    await phone.page.evaluate((r) => window.lumomap.select(r.uid, r.port, Math.min(3, r.node + 2)), first);
    const touch = await phone.page.evaluate(() => ({
      heights: [...document.querySelectorAll('button, #search')].filter((b) => b.getClientRects().length)
        .map((b) => b.getBoundingClientRect().height),
      panel: getComputedStyle(document.getElementById('panel')).backgroundColor }));
    assert.ok(touch.heights.every((h) => h >= 44), JSON.stringify(touch.heights));
    assert.match(touch.panel, /^rgb\(/);
    writeFileSync(`${name}-phone.png`, await phone.page.screenshot());
    await Promise.all([page.close(), phone.page.close()]);
    rmSync(out, { recursive: true, force: true });
  });
}

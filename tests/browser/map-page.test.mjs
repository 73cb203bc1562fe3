// The map page in headless Chromium, driven through the DevTools protocol: pages made by `lumomap
// render` from the sample maps agree node by node with `lumomap patch` for the same wiring options,
// find interfaces and fixtures, pan and zoom, draw something and request nothing outside their file.
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

    // A phone with a chain selected, for people to look at.
    const phone = await open(file, { width: 390, height: 844, deviceScaleFactor: 2, isMobile: true, hasTouch: true });
    await phone.page.evaluate((r) => window.lumomap.select(r.uid, r.port, Math.min(3, r.node + 2)), first);
    writeFileSync(`${name}-phone.png`, await phone.page.screenshot());
    await Promise.all([page.close(), phone.page.close()]);
    rmSync(out, { recursive: true, force: true });
  });
}

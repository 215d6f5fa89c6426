// The web remote in a real browser: Debian's chromium, headless, driven by playwright-core,
// against a running quorvane-sim. Opens the control address, sees the setlist, starts the show,
// plays the next song and sees the simulated host play it, stops with a hold, kills the simulator
// and sees "reconnecting…", starts it again and sees the page recover; a view-only page has no
// controls. Screenshots at phone and tablet sizes go to --out.
//
//   node browser_test.mjs --sim PATH --library PATH --out DIR
import { spawn } from 'node:child_process';
import { mkdirSync, mkdtempSync, writeFileSync, rmSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';

const args = Object.fromEntries(process.argv.slice(2).reduce((pairs, value, i, all) =>
  (i % 2 === 0 ? [...pairs, [value.replace(/^--/, ''), all[i + 1]]] : pairs), []));
const deadline = 30000;  // generous: the machine is shared
mkdirSync(args.out, { recursive: true });

function freePort() {
  return new Promise((resolve, reject) => {
    const server = createServer();
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// Starts quorvane-sim; resolves with its process, its output so far and its two addresses (on
// loopback: the test sends nothing to any other address).
function startSim(settings) {
  const sim = spawn(args.sim, ['--library', args.library, '--plain', '--settings', settings],
    { stdio: ['pipe', 'pipe', 'inherit'] });
  sim.output = '';
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('no web remote address from quorvane-sim')), deadline);
    sim.stdout.on('data', (chunk) => {
      sim.output += chunk;
      const control = /^Web remote: (\S+)$/m.exec(sim.output);
      const view = /^Web remote, view only: (\S+)$/m.exec(sim.output);
      if (control && view && !sim.addresses) {
        clearTimeout(timer);
        const local = (address) => address.replace(/^http:\/\/[^:/]+/, 'http://127.0.0.1');
        sim.addresses = { control: local(control[1]), view: local(view[1]) };
        resolve(sim);
      }
    });
    sim.on('exit', (code) => reject(new Error(`quorvane-sim ended (${code}) before its address`)));
  });
}

async function waitForOutput(sim, pattern, from) {
  const end = Date.now() + deadline;
  while (!pattern.test(sim.output.slice(from))) {
    if (Date.now() > end) throw new Error(`quorvane-sim never printed ${pattern}`);
    await new Promise((r) => setTimeout(r, 50));
  }
}

function check(condition, message) {
  if (!condition) throw new Error(message);
  console.log(`ok - ${message}`);
}

const work = mkdtempSync(join(tmpdir(), 'quorvane-browser-'));
const settings = join(work, 'settings.txt');
// A port of our own, kept in the host's settings, so that the restarted simulator serves the
// same address.
writeFileSync(settings, `Quorvane/webPort=${await freePort()}\n`);
let sim = await startSim(settings);
// A fresh profile (--user-data-dir) for every run.
const browser = await chromium.launchPersistentContext(join(work, 'profile'), {
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
async function newPage(width, height) {
  const page = await browser.newPage();
  await page.setViewportSize({ width, height });
  return page;
}
try {
  const phone = await newPage(390, 844);
  await phone.goto(sim.addresses.control);
  await phone.locator('#link', { hasText: 'connected' }).waitFor({ timeout: deadline });
  await phone.locator('#live-list li', { hasText: 'Northbound' }).waitFor({ timeout: deadline });
  check(await phone.locator('#live-list li').count() >= 7, 'the setlist is on the page');
  await phone.screenshot({ path: join(args.out, 'web-phone-ready.png') });

  let mark = sim.output.length;
  await phone.click('#start');
  await phone.locator('#status', { hasText: 'LIVE' }).waitFor({ timeout: deadline });
  await waitForOutput(sim, /playing "Opening Lights"/, mark);
  check(true, 'start show from the page starts the show in the host');

  mark = sim.output.length;
  await phone.click('#next-btn');
  await waitForOutput(sim, /playing "Northbound"/, mark);
  await phone.locator('#song', { hasText: 'Northbound' }).waitFor({ timeout: deadline });
  check(true, 'play next plays the next song in the simulated host and the page shows it');
  await phone.waitForTimeout(1500);  // a little of the song on the clock
  await phone.screenshot({ path: join(args.out, 'web-phone-live.png') });

  const tablet = await newPage(1024, 768);
  await tablet.goto(sim.addresses.control);
  await tablet.locator('#song', { hasText: 'Northbound' }).waitFor({ timeout: deadline });
  await tablet.screenshot({ path: join(args.out, 'web-tablet-live.png') });

  // A tap on stop only arms it; the hold stops.
  await phone.click('#stop');
  await phone.waitForTimeout(300);
  check(await phone.locator('#status', { hasText: 'playing' }).count() === 1, 'one tap on stop does not stop the show');
  const stop = await phone.locator('#stop').boundingBox();
  await phone.waitForTimeout(3200);  // the armed tap expires
  await phone.mouse.move(stop.x + stop.width / 2, stop.y + stop.height / 2);
  await phone.mouse.down();
  await phone.waitForTimeout(1200);
  await phone.mouse.up();
  await phone.locator('#status', { hasText: 'stopped' }).waitFor({ timeout: deadline });
  check(true, 'holding stop stops the song');

  const viewer = await newPage(390, 844);
  await viewer.goto(sim.addresses.view);
  await viewer.locator('#song', { hasText: 'Northbound' }).waitFor({ timeout: deadline });
  check(!(await viewer.locator('#controls').isVisible()), 'the view-only page shows the show without controls');

  sim.kill('SIGKILL');
  await phone.locator('#link', { hasText: 'reconnecting' }).waitFor({ timeout: deadline });
  check(true, 'a page whose extension is gone says "reconnecting…"');

  sim = await startSim(settings);
  await phone.locator('#link', { hasText: 'connected' }).waitFor({ timeout: deadline });
  await phone.locator('#live-list li', { hasText: 'Northbound' }).waitFor({ timeout: deadline });
  check(true, 'the page recovers with the whole state when the extension is back');

  const denied = await newPage(390, 844);
  const response = await denied.goto(sim.addresses.control.replace(/key=.*/, 'key=notthekey0'));
  check(response.status() === 403, 'a wrong key gets 403');
} finally {
  await browser.close();
  sim.kill('SIGTERM');
  rmSync(work, { recursive: true, force: true });
}

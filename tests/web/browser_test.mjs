// The web remote in a real browser: Debian's chromium, headless, driven by playwright-core,
// against running quorvane-sims. The page is loaded from http://stage.test:PORT (mapped to
// 127.0.0.1), an insecure origin as a band's http://192.168.x.x is, where the browser offers no
// wake lock. At every size a band holds it checks that the show's essentials are on the screen
// without scrolling and nothing runs off sideways; that names in the setlist stay readable; the
// keep-awake fallback after a tap; a note written on the page shown on stage; the warnings of
// the time left as a fast show runs; NOT CONNECTED when the extension goes silent or away and
// gone when it is back; the monitor view; axe-core's accessibility rules on every view.
// Screenshots go to --out.
//
//   node browser_test.mjs --sim PATH --library PATH --out DIR
import { spawn } from 'node:child_process';
import { mkdirSync, mkdtempSync, writeFileSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = dirname(fileURLToPath(import.meta.url));
const axePath = createRequire(import.meta.url).resolve('axe-core/axe.min.js');
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

// Starts quorvane-sim; resolves with its process, its output so far and its two addresses, on
// the name stage.test that the browser maps to loopback (the test sends nothing elsewhere) and
// that the settings name as one of the computer's (webHostNames).
function startSim(settings, extra = []) {
  const sim = spawn(args.sim, ['--library', args.library, '--plain', '--settings', settings, ...extra],
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
        const insecure = (address) => address.replace(/^http:\/\/[^:/]+/, 'http://stage.test');
        sim.addresses = { control: insecure(control[1]), view: insecure(view[1]) };
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
writeFileSync(settings, `Quorvane/webPort=${await freePort()}\nQuorvane/webHostNames=stage.test\n`);
const show = ['--project', join(here, 'fixtures', 'stage-show.txt')];
let sim = await startSim(settings, show);
let fast = null;
// A fresh profile (--user-data-dir) for every run.
const browser = await chromium.launchPersistentContext(join(work, 'profile'), {
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--host-resolver-rules=MAP stage.test 127.0.0.1'],
});
async function newPage(width, height, address) {
  const page = await browser.newPage();
  await page.setViewportSize({ width, height });
  if (address) await page.goto(address);
  return page;
}
async function connected(page) {
  await page.locator('#live-list li').first().waitFor({ timeout: deadline });
}
async function tab(page, name) {
  await page.click(`#tabs button[data-view="${name}"]`);
}

// What a view shows that must be on the screen, whole.
const essentials = {
  stage: ['#song', '#marker', '#song-time', '#next-row', '#clock', '#delay', '#next-btn', '#stop'],
  monitor: ['#m-song', '.m-time', '.m-next', '.m-deck', '.m-clock'],
};
async function layoutProblems(page, selectors) {
  return page.evaluate((selectors) => {
    const problems = [];
    const width = innerWidth, height = innerHeight;
    if (document.documentElement.scrollWidth > width) problems.push(`page ${document.documentElement.scrollWidth}px wide`);
    for (const selector of selectors) {
      const element = document.querySelector(selector);
      const r = element.getBoundingClientRect();
      if (r.width === 0 || r.height === 0) problems.push(`${selector} not shown`);
      else if (r.left < -0.5 || r.top < -0.5 || r.right > width + 0.5 || r.bottom > height + 0.5) {
        problems.push(`${selector} at ${Math.round(r.left)},${Math.round(r.top)}-${Math.round(r.right)},${Math.round(r.bottom)}`);
      }
    }
    for (const button of document.querySelectorAll('#tabs button')) {
      if (!button.offsetParent) continue;
      const r = button.getBoundingClientRect();
      if (button.scrollWidth > button.clientWidth || r.right > width + 0.5) problems.push(`tab "${button.textContent}" clipped`);
    }
    return problems;
  }, selectors);
}

// The first 18 characters (or the whole name when shorter) of every song name fit its row.
async function namesCut(page) {
  return page.evaluate(() => {
    const context = document.createElement('canvas').getContext('2d');
    const cut = [];
    for (const name of document.querySelectorAll('#setup-list li .t')) {
      const style = getComputedStyle(name);
      context.font = `${style.fontWeight} ${style.fontSize} ${style.fontFamily}`;
      const needed = context.measureText(name.textContent.slice(0, 18)).width;
      if (needed > name.clientWidth) cut.push(`${name.textContent} (${name.clientWidth}px of ${Math.ceil(needed)})`);
    }
    return cut;
  });
}

// Serious and critical findings of axe-core, and touch targets under 48 px.
async function accessibilityProblems(page) {
  if (!(await page.evaluate(() => 'axe' in window))) await page.addScriptTag({ path: axePath });
  return page.evaluate(async () => {
    const result = await axe.run(document, { resultTypes: ['violations'] });
    const problems = result.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
      .map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
    for (const target of document.querySelectorAll('button, select, input, textarea')) {
      const r = target.getBoundingClientRect();
      if (r.width === 0 || !target.offsetParent) continue;
      if (r.width < 47.5 || r.height < 47.5) problems.push(`target ${target.id || target.textContent} ${Math.round(r.width)}x${Math.round(r.height)}`);
    }
    return problems;
  });
}

try {
  // --- a phone on the band's network ---
  const phone = await newPage(390, 844, sim.addresses.control);
  await connected(phone);
  check(await phone.locator('#live-list li').count() === 5, 'the setlist is on the page');
  check(await phone.evaluate(() => !isSecureContext && !('wakeLock' in navigator)),
    'the page from stage.test is an insecure context without a wake lock');
  check((await phone.textContent('#awake')).includes('tap'), 'the page asks for a tap to keep the screen on');
  await phone.click('#status-row');
  await phone.locator('#awake.on').waitFor({ timeout: deadline });
  check(await phone.getAttribute('#awake', 'data-mode') === 'video',
    'after a tap the screen is kept on by the fallback, and the page says so');

  let mark = sim.output.length;
  await phone.click('#start');
  await phone.locator('#status', { hasText: 'LIVE' }).waitFor({ timeout: deadline });
  await waitForOutput(sim, /playing "Opening Lights Over The Harbour"/, mark);
  check(true, 'start show from the page starts the show in the host');

  // A note for the song playing and for the next, written on the setlist view.
  await tab(phone, 'setlist');
  await phone.click('#edit');
  for (const [index, note] of [[0, 'capo 2, Sam counts in'], [1, 'Sänger: "slow" intro\\ no click']]) {
    await phone.click(`#setup-list li[data-index="${index}"] button.edit-note`);
    await phone.fill('#note-text', note);
    await phone.click('#note-form button[type="submit"]');
  }
  await phone.locator('#setup-list li[data-index="1"] .note', { hasText: 'no click' }).waitFor({ timeout: deadline });
  check((await namesCut(phone)).length === 0, 'in edit mode a phone still shows 18 characters of every name');
  await phone.click('#edit');
  await tab(phone, 'stage');
  await phone.locator('#note', { hasText: 'capo 2, Sam counts in' }).waitFor({ timeout: deadline });
  check(await phone.textContent('#next-note') === 'Sänger: "slow" intro\\ no click',
    'notes set on the page show on the stage view for the current and the next song');

  // A refused note says why to the web client.
  const refusal = await phone.evaluate((url) => new Promise((resolve) => {
    const socket = new WebSocket(url);
    const timer = setTimeout(() => { socket.close(); resolve('no answer'); }, 5000);
    socket.onopen = () => socket.send('{"cmd":"SETUP_NOTE","index":0,"note":"bad \\q escape"}');
    socket.onmessage = (event) => {
      const message = JSON.parse(event.data);
      if (message.type === 'REFUSED') { clearTimeout(timer); socket.close(); resolve(message.reason); }
    };
  }), sim.addresses.control.replace(/^http:\/\/([^/]+)\/\?/, 'ws://$1/ws?'));
  check(refusal === 'note: an unknown escape', `a bad note is refused with its reason (${refusal})`);

  // --- every size: the essentials without scrolling ---
  const monitor = await newPage(390, 844);
  let lastFrame = 0;
  monitor.on('websocket', (socket) => socket.on('framereceived', () => { lastFrame = Date.now(); }));
  await monitor.goto(sim.addresses.control + '&view=monitor');
  await monitor.locator('#m-song', { hasText: 'Opening Lights' }).waitFor({ timeout: deadline });
  check(await monitor.locator('#bar').isHidden(), 'the monitor view from its address has no tabs');
  await phone.waitForTimeout(1000);  // a little of the song on the clock
  const sizes = [[360, 640, 'phone-small'], [390, 844, 'phone'], [844, 390, 'phone-landscape'],
    [768, 1024, 'tablet-portrait'], [1024, 768, 'tablet'], [1920, 1080, 'desktop']];
  for (const [width, height, name] of sizes) {
    for (const [page, view] of [[phone, 'stage'], [monitor, 'monitor']]) {
      await page.setViewportSize({ width, height });
      await page.waitForTimeout(150);
      const problems = await layoutProblems(page, essentials[view]);
      check(problems.length === 0, `${view} view at ${width}x${height}: everything shown, nothing cut ${problems.join('; ')}`);
      await page.screenshot({ path: join(args.out, `web-${view}-${name}.png`) });
    }
  }
  for (const width of [320, 360, 390]) {
    await phone.setViewportSize({ width, height: 700 });
    await tab(phone, 'setlist');
    const cut = await namesCut(phone);
    check(cut.length === 0, `setlist at ${width} px: 18 characters of every name ${cut.join('; ')}`);
    check((await layoutProblems(phone, [])).length === 0, `setlist at ${width} px: nothing runs off sideways`);
    await tab(phone, 'stage');
    const problems = await layoutProblems(phone, []);
    check(problems.length === 0, `stage at ${width} px: nothing runs off sideways, no tab clipped ${problems.join('; ')}`);
  }

  // --- accessibility, as the standard engine checks it ---
  await phone.setViewportSize({ width: 390, height: 844 });
  for (const view of ['stage', 'setlist']) {
    await tab(phone, view);
    if (view === 'setlist') await phone.click('#edit');
    const problems = await accessibilityProblems(phone);
    check(problems.length === 0, `${view} view: axe clean, touch targets 48 px ${problems.join('; ')}`);
  }
  await phone.click('#edit');
  await tab(phone, 'stage');
  for (const [width, height] of [[390, 844], [1920, 1080]]) {
    await monitor.setViewportSize({ width, height });
    const problems = await accessibilityProblems(monitor);
    check(problems.length === 0, `monitor view at ${width}x${height}: axe clean ${problems.join('; ')}`);
  }

  // --- playing ---
  mark = sim.output.length;
  await phone.click('#next-btn');
  await waitForOutput(sim, /playing "Northbound Across The Frozen Lake"/, mark);
  await phone.locator('#song', { hasText: 'Northbound' }).waitFor({ timeout: deadline });
  await monitor.locator('.m-deck', { hasText: 'Glass Harbour' }).waitFor({ timeout: deadline });
  check(true, 'play next plays the next song in the host; the monitor shows the one after next on deck');

  // --- live control: a tapped section comes on the bar line; VAMP loops the section playing ---
  // Back to the song's first section (ten seconds before "Verse"), so the loop comes soon.
  await phone.locator('#sections .section.now').waitFor({ timeout: deadline });
  mark = sim.output.length;
  await phone.click('#sections .section >> nth=0');
  await waitForOutput(sim, /jumped from [\d.]+ s to 240\.0 s in "Northbound/, mark);
  await phone.locator('#sections .section.now >> nth=0').waitFor({ timeout: deadline });
  check(await phone.locator('#sections .section >> nth=0').getAttribute('aria-current') === 'true',
    'a tapped section is jumped to on the bar line in the host, and marked playing on the page');
  mark = sim.output.length;
  await phone.click('#vamp');
  await phone.locator('#vamp.on').waitFor({ timeout: deadline });
  await monitor.locator('#m-vamp').waitFor({ state: 'visible', timeout: deadline });
  await waitForOutput(sim, /looped back to 240\.0 s in "Northbound/, mark);
  check(true, 'VAMP on the page makes the host loop the section; the monitor says VAMP');
  await phone.screenshot({ path: join(args.out, 'web-stage-vamp.png') });
  mark = sim.output.length;
  await phone.click('#sections .section:has-text("Chorus")');
  await phone.locator('#queued', { hasText: 'Chorus' }).waitFor({ timeout: deadline }).catch(() => {});
  await waitForOutput(sim, /jumped from [\d.]+ s to 300\.0 s in "Northbound/, mark);
  await phone.locator('#sections .section.now', { hasText: 'Chorus' }).waitFor({ timeout: deadline });
  check(await phone.locator('#vamp.on').count() === 0, 'a jump during a vamp releases the vamp');

  // Back from the pocket: a fresh connection and a fresh document at once.
  const fresh = new Promise((resolve) => phone.on('websocket', (socket) =>
    socket.on('framereceived', (frame) => { if (String(frame.payload).includes('"STATE"')) resolve(Date.now()); })));
  const shown = Date.now();
  await phone.evaluate(() => document.dispatchEvent(new Event('visibilitychange')));
  const arrived = await Promise.race([fresh, new Promise((r) => setTimeout(() => r(0), 5000))]);
  check(arrived && arrived - shown < 1000, `visible again, the page reconnects and has the state within a second (${arrived - shown} ms)`);

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

  const viewer = await newPage(390, 844, sim.addresses.view);
  await viewer.locator('#m-song', { hasText: 'Northbound' }).waitFor({ timeout: deadline });
  check(await viewer.locator('#monitor').isVisible() && !(await viewer.locator('#controls').isVisible()),
    'a view-only address opens the monitor view, without controls');

  // --- the connection lost and back ---
  // When the notice appears, as the page sees it (not when this test next looks).
  await monitor.evaluate(() => {
    const notice = document.getElementById('offline');
    new MutationObserver(() => { if (!notice.hidden) window.noticeShownAt ||= Date.now(); })
      .observe(notice, { attributes: true });
  });
  sim.kill('SIGSTOP');
  await monitor.locator('#offline').waitFor({ timeout: deadline });
  const after = (await monitor.evaluate(() => window.noticeShownAt)) - lastFrame;
  check(after < 3000, `a silent extension shows NOT CONNECTED within three seconds of its last message (${after} ms)`);
  await phone.locator('#offline').waitFor({ timeout: deadline });
  await monitor.screenshot({ path: join(args.out, 'web-monitor-not-connected.png') });
  await phone.screenshot({ path: join(args.out, 'web-stage-not-connected.png') });
  sim.kill('SIGCONT');
  await monitor.locator('#offline').waitFor({ state: 'hidden', timeout: deadline });
  check(true, 'NOT CONNECTED clears as soon as the extension speaks again');

  sim.kill('SIGKILL');
  await phone.locator('#offline').waitFor({ timeout: deadline });
  check(true, 'a page whose extension is gone says NOT CONNECTED');
  sim = await startSim(settings, show);
  await phone.locator('#offline').waitFor({ state: 'hidden', timeout: deadline });
  await phone.locator('#live-list li', { hasText: 'Northbound' }).waitFor({ timeout: deadline });
  check(true, 'the page recovers with the whole state when the extension is back');

  const denied = await newPage(390, 844);
  const response = await denied.goto(sim.addresses.control.replace(/key=.*/, 'key=notthekey0'));
  check(response.status() === 403, 'a wrong key gets 403');

  // --- the warnings, on a five-minute set run thirty times faster ---
  const fastSettings = join(work, 'fast-settings.txt');
  writeFileSync(fastSettings, `Quorvane/webPort=${await freePort()}\nQuorvane/webHostNames=stage.test\n`);
  fast = await startSim(fastSettings, ['--project', join(here, 'fixtures', 'short-set.txt'), '--speed', '30']);
  const clockPage = await newPage(390, 844, fast.addresses.control);
  await connected(clockPage);
  const load = await clockPage.evaluate(() => performance.getEntriesByType('navigation')[0]);
  check(load.encodedBodySize < load.decodedBodySize / 2 && load.decodedBodySize < 150 * 1024,
    `the page comes gzip-compressed (${load.encodedBodySize} of ${load.decodedBodySize} bytes)`);
  await clockPage.click('#start');
  const seen = { song: new Set(), set: new Set() };
  const wrong = [];
  const seconds = (t) => { const p = t.replace(/^[-+]/, '').split(':').map(Number); return p.reduce((a, b) => a * 60 + b, 0); };
  for (let i = 0; i < 300 && !(seen.set.has('over') && seen.song.size >= 3); i++) {
    const s = await clockPage.evaluate(() => ({
      left: document.getElementById('left').textContent, leftLevel: document.getElementById('left').className,
      tag: document.getElementById('left-tag').textContent,
      set: document.getElementById('remaining').textContent, setLevel: document.getElementById('remaining').className,
      setLabel: document.getElementById('remaining-label').textContent,
      playing: document.getElementById('status').textContent.includes('playing'),
      live: document.getElementById('status').textContent.startsWith('LIVE'),
    }));
    if (s.playing && s.left.startsWith('-')) {
      const left = seconds(s.left);
      const expected = left <= 15 ? 'alert' : left <= 60 ? 'warn' : 'normal';
      if (s.leftLevel !== expected || (expected !== 'normal') !== (s.tag !== '')) wrong.push(`song ${s.left} ${s.leftLevel} "${s.tag}"`);
      seen.song.add(s.leftLevel);
    }
    // The set's time counts only once the show runs: a slow machine may show the page before it.
    if (s.live && s.set !== '0:00') {
      const left = s.set.startsWith('+') ? -seconds(s.set) : seconds(s.set);
      const expected = left < 0 ? 'over' : left <= 120 ? 'alert' : left <= 600 ? 'warn' : 'normal';
      if (s.setLevel !== expected || !/set/i.test(s.setLabel)) wrong.push(`set ${s.set} ${s.setLevel} "${s.setLabel}"`);
      seen.set.add(s.setLevel);
    }
    if (s.setLevel === 'over' && !seen.overShot) {
      seen.overShot = true;
      await clockPage.screenshot({ path: join(args.out, 'web-stage-over-set.png') });
    }
    await clockPage.waitForTimeout(80);
  }
  check(wrong.length === 0, `time left coloured and labelled by its thresholds ${wrong.slice(0, 5).join('; ')}`);
  check(['normal', 'warn', 'alert'].every((l) => seen.song.has(l)), `the song's time left went normal, amber, red (${[...seen.song]})`);
  check(['warn', 'alert', 'over'].every((l) => seen.set.has(l)), `the set's time left went amber, red, over (${[...seen.set]})`);
  const flashing = await clockPage.evaluate(() => getComputedStyle(document.getElementById('remaining')).animationName);
  await clockPage.emulateMedia({ reducedMotion: 'reduce' });
  const still = await clockPage.evaluate(() => getComputedStyle(document.getElementById('remaining')).animationName);
  check(flashing !== 'none' && still === 'none', 'an overrun set flashes, except for a reader who asked for less motion');

  // Practise and sound check last: they take the host out of the live page.
  for (const view of ['practise', 'soundcheck']) {
    await tab(clockPage, view);
    const problems = await accessibilityProblems(clockPage);
    check(problems.length === 0, `${view} view: axe clean, touch targets 48 px ${problems.join('; ')}`);
  }
} finally {
  await browser.close();
  sim.kill('SIGCONT');
  sim.kill('SIGTERM');
  if (fast) fast.kill('SIGTERM');
  rmSync(work, { recursive: true, force: true });
}

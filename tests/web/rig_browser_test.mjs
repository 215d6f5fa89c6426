// Two rigs and a page in a real browser (Debian's chromium, headless, driven by playwright-core):
// a main and its backup, each a quorvane-sim, with projects one song name apart. The page opened
// on the main shows the projects' difference in red, and moves to the backup by itself when the
// main's process is killed, showing the backup's state there. A rig with a role joins the Link
// session: run it only inside a network namespace with nothing but loopback (tests/support/in-netns).
//
//   node rig_browser_test.mjs --sim PATH --library PATH [--out FOLDER]   (screenshots there)
import { spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync, rmSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = dirname(fileURLToPath(import.meta.url));
const args = Object.fromEntries(process.argv.slice(2).reduce((pairs, value, i, all) =>
  (i % 2 === 0 ? [...pairs, [value.replace(/^--/, ''), all[i + 1]]] : pairs), []));
const deadline = 30000;  // generous: the machine is shared

if (process.env.QUORVANE_NETNS !== '1') {
  console.error('rig_browser_test: run it through tests/support/in-netns (the rigs join Link)');
  process.exit(1);
}

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

// Starts quorvane-sim; resolves with its process once it printed its control address.
function startSim(extra) {
  const sim = spawn(args.sim, ['--library', args.library, '--plain', '--seconds', '120', ...extra],
    { stdio: ['pipe', 'pipe', 'inherit'] });
  sim.output = '';
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('no web remote address from quorvane-sim')), deadline);
    sim.stdout.on('data', (chunk) => {
      sim.output += chunk;
      const control = /^Web remote: (\S+)$/m.exec(sim.output);
      if (control && !sim.address) {
        clearTimeout(timer);
        sim.address = control[1].replace(/^http:\/\/[^:/]+/, 'http://127.0.0.1');
        resolve(sim);
      }
    });
    sim.on('exit', (code) => reject(new Error(`quorvane-sim ended (${code}) before its address`)));
  });
}

function check(condition, message) {
  if (!condition) throw new Error(message);
  console.log(`ok - ${message}`);
}

const work = mkdtempSync(join(tmpdir(), 'quorvane-rigs-browser-'));
const show = readFileSync(join(here, 'fixtures', 'stage-show.txt'), 'utf8');
writeFileSync(join(work, 'main.txt'), show);
writeFileSync(join(work, 'backup.txt'), show.replace('"Glass Harbour"', '"Glass Harbor"'));
const settings = async (name) => {
  const file = join(work, name);
  writeFileSync(file, `Quorvane/webPort=${await freePort()}\n`);
  return file;
};

const sims = [];
let browser = null;
try {
  const main = await startSim(['--settings', await settings('main-settings.txt'),
    '--project', join(work, 'main.txt'), '--rig', 'main']);
  sims.push(main);
  const backup = await startSim(['--settings', await settings('backup-settings.txt'),
    '--project', join(work, 'backup.txt'), '--follow', main.address]);
  sims.push(backup);
  const backupPort = new URL(backup.address).port;

  browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  const page = await browser.newPage();
  await page.setViewportSize({ width: 1024, height: 768 });
  await page.goto(main.address);
  await page.locator('#live-list li').first().waitFor({ timeout: deadline });

  // The backup's hello has come: the page knows where the backup is and shows what differs.
  const differences = page.locator('#rig-differences');
  await differences.waitFor({ state: 'visible', timeout: deadline });
  const said = await differences.innerText();
  check(said.includes("Region 3: name 'Glass Harbour' here, 'Glass Harbor' on the backup"),
    `the main's page lists the projects' difference in red (${JSON.stringify(said)})`);

  main.kill('SIGKILL');
  const killedAt = Date.now();
  await page.waitForURL((url) => url.port === backupPort, { timeout: deadline });
  await page.locator('#live-list li').first().waitFor({ timeout: deadline });
  await page.locator('#offline').waitFor({ state: 'hidden', timeout: deadline });
  const movedAfter = Date.now() - killedAt;
  console.log(`# the page showed the backup's state ${movedAfter} ms after the main was killed`);
  check(new URL(page.url()).searchParams.get('key') === new URL(main.address).searchParams.get('key'),
    "the page moved to the backup with the main's key, which the backup took");
  const there = page.locator('#rig-differences');
  await there.waitFor({ state: 'visible', timeout: deadline });
  check((await there.innerText()).includes("'Glass Harbor' here, 'Glass Harbour' on the main"),
    'on the backup the page shows the difference from the backup\'s side');
  // The backup leads now, and says so where a performer looks.
  await page.locator('#on-backup').waitFor({ state: 'visible', timeout: deadline });
  if (args.out) {
    for (const [name, width, height] of [['phone', 390, 844], ['tablet', 820, 1180]]) {
      await page.setViewportSize({ width, height });
      await page.screenshot({ path: join(args.out, `web-on-backup-rig-${name}.png`) });
    }
  }
} finally {
  if (browser) await browser.close();
  for (const sim of sims) sim.kill('SIGKILL');
  rmSync(work, { recursive: true, force: true });
}

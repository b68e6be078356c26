// What the browser tests share: a sample office of their own served by the
// real `tarnwick serve` on a free loopback port, Debian's Chromium driven by
// playwright-core, and the checks every page must pass: no serious or
// critical accessibility violation (axe-core), nothing written to the
// browser's console, its own weight (pictures aside) under 200 KB, nothing
// wider than the window, and a screenshot at 375 and at 1,280 pixels wide
// kept as test output.
//
// The service and the browser are stopped however the test ends.
import { spawn, execFileSync } from 'node:child_process';
import { mkdtempSync, mkdirSync, readFileSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import path from 'node:path';
import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';

const require = createRequire(import.meta.url);
const axeSource = readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8');

export const cli = process.env.TARNWICK_CLI_PATH;
export const screensFolder = process.env.TW_WEB_SCREENS || path.join(tmpdir(), 'tarnwick-web-screens');
export const PASSWORD = 'a long password for tests';
const browserPath = process.env.TW_CHROMIUM || '/usr/bin/chromium';
const kMaxPageBytes = 200 * 1024;

// A sample office of `documents` documents with the clerks named, served on
// a free loopback port. `stop()` ends the service and removes the office.
export async function startOffice({ documents = 400, clerks = ['clerk1', 'clerk2'] } = {}) {
  assert.ok(cli, 'TARNWICK_CLI_PATH names the tarnwick program');
  const folder = mkdtempSync(path.join(tmpdir(), 'tarnwick-web-'));
  const db = path.join(folder, 'office.tarnwick');
  execFileSync(cli, ['init', '--sample', String(documents), db], { stdio: 'ignore' });
  for (const clerk of clerks) {
    execFileSync(cli, ['--db', db, 'users', 'add', clerk, '--role', 'clerk', '--password-stdin'],
      { input: `${PASSWORD}\n`, stdio: ['pipe', 'ignore', 'inherit'] });
  }
  const service = spawn(cli, ['--db', db, 'serve', '--listen', '127.0.0.1:0', '--threads', '8'],
    { stdio: ['ignore', 'pipe', 'pipe'] });
  const log = [];
  service.stderr.on('data', (chunk) => log.push(chunk.toString()));
  const stopOnExit = () => service.kill('SIGTERM');
  process.on('exit', stopOnExit);
  const base = await new Promise((resolve, reject) => {
    let out = '';
    service.stdout.on('data', (chunk) => {
      out += chunk;
      const found = /listening on (http:\/\/\S+)/.exec(out);
      if (found) resolve(found[1]);
    });
    service.on('exit', (code) => reject(new Error(`tarnwick serve ended (${code}): ${log.join('')}`)));
  });
  return {
    base,
    db,
    log,
    async stop() {
      process.off('exit', stopOnExit);
      if (service.exitCode === null) {
        const ended = new Promise((resolve) => service.on('exit', resolve));
        service.kill('SIGTERM');
        await ended;
      }
      rmSync(folder, { recursive: true, force: true });
    },
  };
}

// Debian's Chromium, headless, with nothing that reaches beyond loopback.
export function launchBrowser() {
  return chromium.launch({
    executablePath: browserPath,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--disable-dev-shm-usage'],
  });
}

// A new page that records what it writes to the console.
export async function openPage(browser, { width = 1280, height = 900 } = {}) {
  const context = await browser.newContext({ viewport: { width, height }, acceptDownloads: true });
  const page = await context.newPage();
  page.setDefaultTimeout(20000);  // a sanitizer build answers slowly
  // Every visit weighs the page whole, as a first visit does.
  const devtools = await context.newCDPSession(page);
  await devtools.send('Network.setCacheDisabled', { cacheDisabled: true });
  page.consoleMessages = [];
  page.on('console', (message) => page.consoleMessages.push(`${message.type()}: ${message.text()}`));
  page.on('pageerror', (error) => page.consoleMessages.push(`error: ${error.message}`));
  return page;
}

// The page's own weight, pictures aside: its HTML, styles and scripts as the
// service sends them (asked for again, since the browser keeps a copy of
// what it has seen), and the JSON it asked for, as the browser read it.
export async function ownBytes(page) {
  const entries = await page.evaluate(() =>
    [...performance.getEntriesByType('navigation'), ...performance.getEntriesByType('resource')]
      .map((e) => ({ name: e.name, type: e.initiatorType, size: e.decodedBodySize })));
  let bytes = 0;
  const files = new Set();
  for (const e of entries) {
    if (e.type === 'img' || /\.(png|svg)(\?|$)/.test(e.name)) continue;
    if (e.type === 'fetch' || e.type === 'xmlhttprequest') bytes += e.size;
    else files.add(e.name);
  }
  for (const file of files) bytes += (await (await page.request.get(file)).body()).length;
  return bytes;
}

// Loads `url` afresh and waits for the page to settle.
export async function visit(page, url) {
  await page.goto(url, { waitUntil: 'networkidle' });
}

// The checks every page must pass, and its screenshots at both widths
// under `name`.
export async function checkPage(page, name) {
  await page.evaluate(axeSource);
  const result = await page.evaluate(() => window.axe.run(document, { resultTypes: ['violations'] }));
  const grave = result.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical');
  assert.deepEqual(grave.map((v) => `${v.id}: ${v.help} (${v.nodes.map((n) => n.target.join(' ')).join(', ')})`), [],
    `${name}: accessibility`);
  assert.deepEqual(page.consoleMessages, [], `${name}: the browser's console`);
  const weight = await ownBytes(page);
  assert.ok(weight > 1000 && weight < kMaxPageBytes, `${name}: the page's own weight is ${weight} bytes`);
  mkdirSync(screensFolder, { recursive: true });
  const viewport = page.viewportSize();
  for (const width of [375, 1280]) {
    await page.setViewportSize({ width, height: 900 });
    // Nothing runs off the side: a wide table scrolls within its own box.
    const scrolled = await page.evaluate(() => document.documentElement.scrollWidth);
    assert.ok(scrolled <= width, `${name}: ${scrolled} pixels wide in a window of ${width}`);
    await page.screenshot({ path: path.join(screensFolder, `${name}-${width}.png`), fullPage: true });
  }
  await page.setViewportSize(viewport);
}

// Signs a clerk in through the desk's own form.
export async function signIn(page, base, user) {
  await visit(page, `${base}/desk`);
  await page.getByLabel('User').fill(user);
  await page.getByLabel('Password').fill(PASSWORD);
  await page.getByRole('button', { name: 'Sign in' }).click();
  await page.getByRole('button', { name: 'Sign out' }).waitFor();
}

// The clerks' API for a test's own setting up and checking, signed in as `user`.
export async function clerkApi(base, user) {
  const login = await fetch(`${base}/api/login`, {
    method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify({ user, password: PASSWORD }),
  });
  assert.equal(login.status, 200, 'the test clerk signs in');
  const cookie = login.headers.get('set-cookie').split(';')[0];
  const { csrf_token: csrf } = await login.json();
  const send = async (method, path, body, type = 'application/json') => {
    const headers = { Cookie: cookie, 'X-CSRF-Token': csrf };
    if (body !== undefined) headers['Content-Type'] = type;
    const response = await fetch(base + path, { method, headers, body: type === 'application/json' && body !== undefined ? JSON.stringify(body) : body });
    assert.ok(response.ok, `${method} ${path}: ${response.status}`);
    return response;
  };
  return {
    json: async (path) => (await send('GET', path)).json(),
    bytes: async (path) => Buffer.from(await (await send('GET', path)).arrayBuffer()),
    send,
  };
}

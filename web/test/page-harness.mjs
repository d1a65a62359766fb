// What the page's checks in chromium share: the command line, the counts of
// checks, the native ostrel's outputs and lines to hold the page against, one
// headless chromium (WebGL in software) and the page opened in it from
// file://, and the ways to pick, drop, choose and read back.
//
// Each family's script takes the same arguments:
//   node web/test/FAMILY.mjs PAGE.html BUILD/ostrel WORK MODEL... [--big BIG.rk4]
//     [--many MANY-POINTS.rk4] [--folder DIR] [--screenshots DIR]
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const args = process.argv.slice(2);
const option = (name) => {
  const i = args.indexOf(name);
  if (i < 0) return null;
  const [, value] = args.splice(i, 2);
  return value;
};
export const big = option('--big');
export const many = option('--many');
export const folder = option('--folder');
export const screenshots = option('--screenshots');
const [pagePath, ostrelArgument, workArgument, ...modelArguments] = args;
export const work = workArgument;
export const models = modelArguments;
export const ostrel = path.resolve(ostrelArgument);
const pageUrl = `file://${path.resolve(pagePath)}`;

let passed = 0;
let failed = 0;
export function check(what, ok, detail = '') {
  if (ok) passed++;
  else {
    failed++;
    console.log(`FAILED: ${what}${detail ? `: ${detail}` : ''}`);
  }
}
const sameBytes = (a, b) => Buffer.compare(Buffer.from(a), Buffer.from(b)) === 0;

// Closes the browser, says how the family went, and exits with it.
export async function finish(family) {
  await browser.close();
  console.log(`web page in chromium, ${family}: ${passed} passed, ${failed} failed`);
  process.exit(failed ? 1 : 0);
}

// What ostrel writes for `model` in `format` with `extra` options: name -> bytes.
export function native(model, format, extra = []) {
  const dir = fs.mkdtempSync(path.join(work, 'native-'));
  fs.copyFileSync(model, path.join(dir, path.basename(model)));
  const r = spawnSync(ostrel, [path.basename(model), '--out-dir', 'out', '--format', format, ...extra],
                      { cwd: dir });
  // A damaged file written as read (--salvage) still exits 9.
  const written = r.status === 0 || (r.status === 9 && fs.existsSync(path.join(dir, 'out')));
  if (!written) {
    return { failure: r.stderr.toString().split('\n').find((l) => !l.startsWith('ostrel: warning: ')) };
  }
  const out = {};
  for (const name of fs.readdirSync(path.join(dir, 'out'))) out[name] = fs.readFileSync(path.join(dir, 'out', name));
  return { files: out };
}

// The page's line for a model as --check words it, without the name and "; ok",
// with the counts of what a conversion holds (every face: --check counts what
// the host gets, which is cut at its 65,536th point).
export function expectedLine(model) {
  const dir = path.dirname(path.resolve(model));
  const base = path.basename(model);
  const r = spawnSync(ostrel, [base, '--check'], { cwd: dir });
  let line = r.stdout.toString().trim();
  const converted = spawnSync(ostrel, [base, '--quiet', '-o', '/dev/null', '--format', 'glb'],
                              { cwd: dir }).stdout.toString().trim();
  const held = converted.match(/^.* -> \/dev\/null: (\d+ points?, .*? surfaces?)/);
  if (r.status === 0 && held) line = line.replace(/; [^;]* received;/, `; ${held[1]} received;`);
  // The page adds, as the command line does when it converts, that nothing
  // will show.
  const empty = / 0 polygons,/.test(line) ? '; no polygon to show' : '';
  if (r.status === 0) return line.slice(path.basename(model).length + 2).replace(/; ok(, \d+ warnings?)?$/, '') + empty;
  const failure = r.stderr.toString().split('\n').find((l) => !l.startsWith('ostrel: warning: '));
  return failure.replace(/^ostrel: [^:]*: /, '');
}

const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--disable-gpu', '--no-sandbox', '--enable-unsafe-swiftshader', '--lang=en-US'],
});

export async function openPage(languages) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 900 });
  if (languages) {
    await page.evaluateOnNewDocument((l) => {
      Object.defineProperty(navigator, 'languages', { get: () => l });
      Object.defineProperty(navigator, 'language', { get: () => l[0] });
    }, languages);
  }
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  // Every request after the page's own file: none may go anywhere.
  const requests = [];
  let loaded = false;
  await page.setRequestInterception(true);
  page.on('request', (request) => {
    const url = request.url();
    if (loaded && !url.startsWith('blob:') && !url.startsWith('data:')) requests.push(url);
    if (url === pageUrl || url.startsWith('blob:') || url.startsWith('data:')) request.continue();
    else request.abort();
  });
  await page.goto(pageUrl, { waitUntil: 'load' });
  loaded = true;
  await page.waitForFunction(() => document.querySelectorAll('#zip-format option').length > 0,
                             { timeout: 30000 });
  return { page, requests, errors };
}

export const settled = (page, count) => page.waitForFunction(
  (n) => window.ostrelPage.models.length >= n && !window.ostrelPage.busy() &&
         window.ostrelPage.models.every((m) => m.outcome),
  { timeout: 120000 }, count);

export const lines = (page) => page.$$eval('#models li', (items) => items.map((li) => ({
  name: li.querySelector('.model-name').textContent, line: li.querySelector('.line').textContent,
})));

// The list's order: names as a file manager sorts them.
export const collator = new Intl.Collator('en', { numeric: true });
export const inNameOrder = (names) => names.every((n, i) => i === 0 || collator.compare(names[i - 1], n) <= 0);

// The page's index of each model file, by name (the page lists them in name
// order; files of the same name are the same model here).
export async function pageIndices(page, files) {
  const names = await page.evaluate(() => window.ostrelPage.models.map((m) => m.name));
  const taken = new Set();
  return files.map((f) => {
    const i = names.findIndex((n, k) => n === path.basename(f) && !taken.has(k));
    taken.add(i);
    return i;
  });
}

export const selectedName = (page) => page.evaluate(() => window.ostrelPage.selected()?.name ?? null);

// Clicks the list's button of the `nth` model called `name` (0: the first).
export async function choose(page, name, nth = 0) {
  const buttons = await page.$$('#models .model-name');
  const named = [];
  for (const b of buttons) if (await b.evaluate((e) => e.textContent) === name) named.push(b);
  await named[nth].click();
}

// The panel's fields as they read: by role, the value each shows.
export const panelFields = (page) => page.evaluate(() => {
  const out = {};
  for (const row of document.querySelectorAll('#panel .control[data-role]')) {
    const role = row.dataset.role;
    const radio = row.querySelector('input[type=radio]:checked');
    const box = row.querySelector('input[type=checkbox]');
    const field = row.querySelector('input[type=text]');
    out[role] = radio ? Number(radio.value) : box ? (box.checked ? 1 : 0)
      : field ? (field.inputMode === 'decimal' ? Number(field.value) : field.value) : null;
  }
  return out;
});

export async function pickFiles(page, files) {
  const input = await page.$('#pick');
  await input.uploadFile(...files.map((f) => path.resolve(f)));
}

// A drop as the browser makes it: a DataTransfer with the files.
export async function dropFiles(page, files) {
  const payload = files.map((f) => ({ name: path.basename(f), bytes: fs.readFileSync(f).toString('base64') }));
  await page.evaluate((items) => {
    const transfer = new DataTransfer();
    for (const item of items) {
      const bytes = Uint8Array.from(atob(item.bytes), (c) => c.charCodeAt(0));
      transfer.items.add(new File([bytes], item.name));
    }
    document.body.dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, payload);
}

export async function pageOutputs(page, index, format) {
  const files = await page.evaluate((i, f) => window.ostrelPage.outputs(i, f), index, format);
  return Object.fromEntries(files.map((f) => [f.name, Uint8Array.from(f.bytes)]));
}

export function sameFiles(what, pageFiles, nativeResult) {
  if (nativeResult.failure) {
    check(`${what}: fails as ostrel does`, Object.keys(pageFiles).length === 0, nativeResult.failure);
    return;
  }
  const names = Object.keys(nativeResult.files).sort();
  check(`${what}: names`, JSON.stringify(Object.keys(pageFiles).sort()) === JSON.stringify(names),
        `${Object.keys(pageFiles)} / ${names}`);
  for (const name of names) {
    check(`${what}: ${name} bytes`, pageFiles[name] && sameBytes(pageFiles[name], nativeResult.files[name]));
  }
}

// The view's pixels: how many are near each surface colour's hue.
export async function viewColours(page) {
  return page.evaluate(() => {
    const canvas = document.getElementById('view');
    const image = new Image();
    return new Promise((resolve) => {
      image.onload = () => {
        const c = Object.assign(document.createElement('canvas'), { width: canvas.width, height: canvas.height });
        const g = c.getContext('2d');
        g.drawImage(image, 0, 0);
        const data = g.getImageData(0, 0, c.width, c.height).data;
        const counts = { red: 0, green: 0, blue: 0, other: 0 };
        for (let i = 0; i < data.length; i += 4) {
          const [r, gg, b] = [data[i], data[i + 1], data[i + 2]];
          if (r > gg + 60 && r > b + 60) counts.red++;
          else if (gg > r + 60 && gg > b + 60) counts.green++;
          else if (b > r + 60 && b > gg + 30) counts.blue++;
          else counts.other++;
        }
        resolve(counts);
      };
      image.src = canvas.toDataURL('image/png');
    });
  });
}

// The page in a real browser: Debian's chromium, headless, WebGL in
// software, ostrel.html opened from file://. Models picked and dropped give
// the command line's statistics, counts and failure lines; the panel shows
// the plug-in's controls and proposals; the view draws the surfaces'
// colours; every download is the native ostrel's bytes (proposed and
// edited options, and the zip); no request leaves the page after it has
// loaded; hostile input leaves the page answering; cancel stops a long
// conversion; a Japanese browser gets the Japanese page.
//
//   node web/test/browser.mjs PAGE.html BUILD/ostrel WORK MODEL... [--big BIG.rk4] [--screenshot PNG]
import { spawnSync, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import { unzipSync } from 'fflate';
import { editsFromArguments, optionSets } from './option-sets.mjs';

const args = process.argv.slice(2);
const option = (name) => {
  const i = args.indexOf(name);
  if (i < 0) return null;
  const [, value] = args.splice(i, 2);
  return value;
};
const big = option('--big');
const screenshot = option('--screenshot');
const [pagePath, ostrelArgument, work, ...models] = args;
const ostrel = path.resolve(ostrelArgument);
const pageUrl = `file://${path.resolve(pagePath)}`;

let passed = 0;
let failed = 0;
function check(what, ok, detail = '') {
  if (ok) passed++;
  else {
    failed++;
    console.log(`FAILED: ${what}${detail ? `: ${detail}` : ''}`);
  }
}
const sameBytes = (a, b) => Buffer.compare(Buffer.from(a), Buffer.from(b)) === 0;

// What ostrel writes for `model` in `format` with `extra` options: name -> bytes.
function native(model, format, extra = []) {
  const dir = fs.mkdtempSync(path.join(work, 'native-'));
  fs.copyFileSync(model, path.join(dir, path.basename(model)));
  const r = spawnSync(ostrel, [path.basename(model), '--out-dir', 'out', '--format', format, ...extra],
                      { cwd: dir });
  if (r.status !== 0) return { failure: r.stderr.toString().split('\n')[0] };
  const out = {};
  for (const name of fs.readdirSync(path.join(dir, 'out'))) out[name] = fs.readFileSync(path.join(dir, 'out', name));
  return { files: out };
}

// The page's line for a model as --check words it, without the name and "; ok".
function expectedLine(model) {
  const dir = path.dirname(path.resolve(model));
  const r = spawnSync(ostrel, [path.basename(model), '--check'], { cwd: dir });
  const line = r.stdout.toString().trim();
  // The page adds, as the command line does when it converts, that nothing
  // will show.
  const empty = / 0 polygons,/.test(line) ? '; no polygon to show' : '';
  if (r.status === 0) return line.slice(path.basename(model).length + 2).replace(/; ok(, \d+ warnings?)?$/, '') + empty;
  return r.stderr.toString().split('\n')[0].replace(/^ostrel: [^:]*: /, '');
}

const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--disable-gpu', '--no-sandbox', '--enable-unsafe-swiftshader', '--lang=en-US'],
});

async function openPage(languages) {
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

const settled = (page, count) => page.waitForFunction(
  (n) => window.ostrelPage.models.length >= n && !window.ostrelPage.busy() &&
         window.ostrelPage.models.every((m) => m.outcome),
  { timeout: 120000 }, count);

const lines = (page) => page.$$eval('#models li', (items) => items.map((li) => ({
  name: li.querySelector('.model-name').textContent, line: li.querySelector('.line').textContent,
})));

async function pickFiles(page, files) {
  const input = await page.$('#pick');
  await input.uploadFile(...files.map((f) => path.resolve(f)));
}

// A drop as the browser makes it: a DataTransfer with the files.
async function dropFiles(page, files) {
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

async function pageOutputs(page, index, format) {
  const files = await page.evaluate((i, f) => window.ostrelPage.outputs(i, f), index, format);
  return Object.fromEntries(files.map((f) => [f.name, Uint8Array.from(f.bytes)]));
}

function sameFiles(what, pageFiles, nativeResult) {
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
async function viewColours(page) {
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

// ---- picked models: lines, panel, view, downloads

{
  const { page, requests, errors } = await openPage(null);
  check('English page for an English browser', (await page.title()).startsWith('Ostrel — model'));
  await pickFiles(page, models);
  await settled(page, models.length);
  const shown = await lines(page);
  models.forEach((model, i) => {
    const expected = expectedLine(model);
    check(`${path.basename(model)}: line`, shown[i] && shown[i].name === path.basename(model) &&
          shown[i].line === expected, `${shown[i] && shown[i].line} / ${expected}`);
  });

  // The first model (the cube) is in view with its panel.
  const panel = await page.evaluate(() => ({
    legends: [...document.querySelectorAll('#panel legend')].map((l) => l.textContent),
    labels: [...document.querySelectorAll('#panel label')].map((l) => l.textContent),
    checked: [...document.querySelectorAll('#panel input[type=radio]:checked')].map((r) => r.id),
    scale: document.querySelector('#panel input[type=number]').value,
    unlabelled: [...document.querySelectorAll('input, select, button')].filter((e) =>
      !e.closest('.visually-hidden') && e.type !== 'hidden' && !(e.labels && e.labels.length) &&
      !e.textContent.trim() && !e.getAttribute('aria-label')).map((e) => e.id),
  }));
  check('panel: the plug-in\'s Japanese labels, English beside',
        panel.legends[0] === '読み込み対象 (Load)' && panel.legends[1] === '設定色 (Palette colour)',
        JSON.stringify(panel.legends));
  check('panel: items and proposals', panel.labels.includes('面のみ (faces only)') &&
        JSON.stringify(panel.checked) === '["control-2-1","control-3-1"]' && panel.scale === '8',
        JSON.stringify(panel));
  check('every control labelled', panel.unlabelled.length === 0, panel.unlabelled.join(', '));
  await page.waitForFunction(() => window.ostrelPage.viewStats().meshes > 0, { timeout: 30000 });
  await new Promise((r) => setTimeout(r, 300));
  const colours = await viewColours(page);
  check('view draws the cube\'s red and blue surfaces', colours.red > 2000 && colours.blue > 2000,
        JSON.stringify(colours));
  if (screenshot) await page.screenshot({ path: screenshot });
  // Keyboard: the view zooms in with "+" once it has the focus.
  await page.focus('#view');
  await page.keyboard.press('+');
  await page.keyboard.press('+');
  const closer = await viewColours(page);
  check('"+" zooms the view in', closer.red + closer.blue > colours.red + colours.blue,
        `${JSON.stringify(colours)} -> ${JSON.stringify(closer)}`);

  // Downloads with the proposals, every model, every format.
  for (let i = 0; i < models.length; i++) {
    for (const format of ['lwo', 'obj', 'glb']) {
      sameFiles(`${path.basename(models[i])} ${format} proposed`, await pageOutputs(page, i, format),
                native(models[i], format));
    }
  }
  // Edited through the panel as a user would: the second option set.
  const edited = optionSets[1];
  const edits = editsFromArguments(edited.args);
  await page.click(`#control-2-${edits.load}`);
  await settled(page, models.length);
  await page.click(`#control-3-${edits.colour}`);
  await settled(page, models.length);
  for (const [kind, value] of [['float', String(edits.scale)], ['edit', edits.name]]) {
    await page.$eval(`#panel .control.${kind} input`, (input, v) => {
      input.value = v;
      input.dispatchEvent(new Event('change'));
    }, value);
    await settled(page, models.length);
  }
  for (const which of [0, 1]) { // smoothing off, double sided on
    const boxes = await page.$$('#panel input[type=checkbox]'); // the panel is drawn anew each time
    await boxes[which].click();
    await settled(page, models.length);
  }
  for (const format of ['lwo', 'obj', 'glb']) {
    sameFiles(`${path.basename(models[0])} ${format} edited in the panel`,
              await pageOutputs(page, 0, format), native(models[0], format, edited.args));
  }
  await page.click('#restore');
  await settled(page, models.length);
  sameFiles('restored proposals', await pageOutputs(page, 0, 'glb'), native(models[0], 'glb'));

  // The zip: every model's glb, named as --out-dir names them.
  const zip = unzipSync(Uint8Array.from(await page.evaluate(() => window.ostrelPage.zip('glb'))));
  const expected = {};
  for (const model of models) {
    for (const [name, bytes] of Object.entries(native(model, 'glb').files || {})) {
      let folder = '';
      for (let n = 2; `${folder}${name}` in expected; n++) folder = `${n}/`;
      expected[`${folder}${name}`] = bytes;
    }
  }
  sameFiles('zip of all', zip, { files: expected });

  check('no request after load', requests.length === 0, requests.join(', '));
  check('no script error', errors.length === 0, errors.join(' | '));
  await page.close();
}

// ---- dropped models and hostile input; cancel

{
  const { page, requests, errors } = await openPage(null);
  const cube = fs.readFileSync(models[0]);
  const hostile = [
    ['empty.rk4', Buffer.alloc(0)],
    ['not-a-model.txt', Buffer.from('solid cube\nfacet normal 0 0 1\n')],
    ['truncated.rk4', cube.subarray(0, Math.floor(cube.length / 2))],
  ];
  const files = hostile.map(([name, bytes]) => {
    const file = path.join(work, name);
    fs.writeFileSync(file, bytes);
    return file;
  });
  const spiral = models.find((m) => /spiral/.test(m));
  if (spiral) files.push(spiral);
  files.push(models[0]);
  await dropFiles(page, files);
  await settled(page, files.length);
  const shown = await lines(page);
  files.forEach((file, i) => {
    const expected = expectedLine(file);
    check(`dropped ${path.basename(file)}: line`, shown[i] && shown[i].line === expected,
          `${shown[i] && shown[i].line} / ${expected}`);
  });
  // The truncated cube's warnings, as the command line gives them.
  {
    const i = files.findIndex((f) => f.endsWith('truncated.rk4'));
    const r = spawnSync(ostrel, [path.basename(files[i]), '--check'], { cwd: path.dirname(files[i]) });
    const native = r.stderr.toString().split('\n').filter((l) => l.startsWith('ostrel: warning: '))
      .map((l) => l.slice('ostrel: warning: '.length));
    const shownWarnings = await page.$$eval(`#models li:nth-child(${i + 1}) .warnings > div`,
                                            (items) => items.map((d) => d.textContent));
    check('truncated model: warnings shown as ostrel words them', native.length > 0 &&
          JSON.stringify(shownWarnings) === JSON.stringify(native),
          `${shownWarnings.join(' | ')} / ${native.join(' | ')}`);
  }
  if (big) {
    // A long conversion: the page answers while it runs, and cancel stops it.
    await pickFiles(page, [big]);
    await page.waitForSelector('#progress:not([hidden])', { timeout: 30000 });
    const start = Date.now();
    const answer = await page.evaluate(() => document.querySelectorAll('#models li').length);
    check('page answers while converting', answer === files.length + 1 && Date.now() - start < 1000,
          `${Date.now() - start} ms`);
    await page.click('#cancel');
    await settled(page, files.length + 1);
    const last = (await lines(page))[files.length];
    check('cancel stops the conversion', last.line === 'cancelled', last.line);
    await dropFiles(page, [models[0]]);
    await settled(page, files.length + 2);
    check('converts again after cancel', (await lines(page))[files.length + 1].line === expectedLine(models[0]));
    // Choosing the cancelled file converts it again.
    await page.click(`#models li:nth-child(${files.length + 1}) .model-name`);
    await settled(page, files.length + 2);
    check('a cancelled file converts when chosen', (await lines(page))[files.length].line === expectedLine(big));
  }
  check('no request after load (drops)', requests.length === 0, requests.join(', '));
  check('no script error (drops)', errors.length === 0, errors.join(' | '));
  await page.close();
}

// ---- a Japanese browser

{
  const { page } = await openPage(['ja-JP', 'ja']);
  const title = await page.title();
  const pick = await page.$eval('label[for=pick]', (l) => l.textContent);
  check('Japanese page for a Japanese browser', title.includes('ブラウザ') && pick === 'ファイルを選ぶ…',
        `${title} / ${pick}`);
  await page.close();
}

await browser.close();
console.log(`web page in chromium: ${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);

// The page in a real browser: Debian's chromium, headless, WebGL in
// software, ostrel.html opened from file://. Models picked and dropped give
// the command line's statistics, counts and failure lines, listed in name
// order; the view follows the file picked last, and a failure takes the
// view's place; the panel shows the plug-in's controls and proposals, and
// after an edit the values in effect, per model; the view draws the
// surfaces' colours and shows the object's size; every download is the
// native ostrel's bytes (proposed and edited options, and the zip), and one
// that cannot be made says why; a folder becomes a gallery of pictures; no
// request leaves the page after it has loaded; hostile input leaves the
// page answering; cancel stops a long conversion; a Japanese browser gets
// the Japanese page.
//
//   node web/test/browser.mjs PAGE.html BUILD/ostrel WORK MODEL... [--big BIG.rk4]
//     [--many MANY-POINTS.rk4] [--folder DIR] [--screenshots DIR]
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
const many = option('--many');
const folder = option('--folder');
const screenshots = option('--screenshots');
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
  if (r.status !== 0) {
    return { failure: r.stderr.toString().split('\n').find((l) => !l.startsWith('ostrel: warning: ')) };
  }
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

// The list's order: names as a file manager sorts them.
const collator = new Intl.Collator('en', { numeric: true });
const inNameOrder = (names) => names.every((n, i) => i === 0 || collator.compare(names[i - 1], n) <= 0);

// The page's index of each model file, by name (the page lists them in name
// order; files of the same name are the same model here).
async function pageIndices(page, files) {
  const names = await page.evaluate(() => window.ostrelPage.models.map((m) => m.name));
  const taken = new Set();
  return files.map((f) => {
    const i = names.findIndex((n, k) => n === path.basename(f) && !taken.has(k));
    taken.add(i);
    return i;
  });
}

const selectedName = (page) => page.evaluate(() => window.ostrelPage.selected()?.name ?? null);

// Clicks the list's button of the `nth` model called `name` (0: the first).
async function choose(page, name, nth = 0) {
  const buttons = await page.$$('#models .model-name');
  const named = [];
  for (const b of buttons) if (await b.evaluate((e) => e.textContent) === name) named.push(b);
  await named[nth].click();
}

// The panel's fields as they read: by role, the value each shows.
const panelFields = (page) => page.evaluate(() => {
  const out = {};
  for (const row of document.querySelectorAll('#panel .control[data-role]')) {
    const role = row.dataset.role;
    const radio = row.querySelector('input[type=radio]:checked');
    const box = row.querySelector('input[type=checkbox]');
    const field = row.querySelector('input[type=number], input[type=text]');
    out[role] = radio ? Number(radio.value) : box ? (box.checked ? 1 : 0)
      : field ? (field.type === 'number' ? Number(field.value) : field.value) : null;
  }
  return out;
});

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
  check('list in name order', inNameOrder(shown.map((l) => l.name)), shown.map((l) => l.name).join(', '));
  for (const model of models) {
    const expected = expectedLine(model);
    const line = shown.find((l) => l.name === path.basename(model));
    check(`${path.basename(model)}: line`, line && line.line === expected, `${line && line.line} / ${expected}`);
  }
  // The view went to the last of the files picked, in name order.
  const last = [...shown].pop().name;
  check('the view shows the last file picked', await selectedName(page) === last &&
        await page.$eval('#view-title', (e) => e.textContent) === last, await selectedName(page));

  // The cube, chosen in the list, is in view with its panel and its size.
  await choose(page, 'cube.rk4');
  const panel = await page.evaluate(() => ({
    legends: [...document.querySelectorAll('#panel legend')].map((l) => l.textContent),
    labels: [...document.querySelectorAll('#panel label')].map((l) => l.textContent),
    checked: [...document.querySelectorAll('#panel input[type=radio]:checked')].map((r) => r.id),
    scale: document.querySelector('#panel [data-role=scale] input').value,
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
  const size = await page.$eval('#dimensions', (e) => e.textContent);
  check('the cube is 8 by 8 by 8 at the proposed scale, 1 in the file',
        size === 'Size: X 8 × Y 8 × Z 8 (in the file\'s units: X 1 × Y 1 × Z 1; scale 8)', size);
  await page.waitForFunction(() => window.ostrelPage.viewStats().meshes > 0, { timeout: 30000 });
  await new Promise((r) => setTimeout(r, 300));
  const colours = await viewColours(page);
  check('view draws the cube\'s red and blue surfaces', colours.red > 2000 && colours.blue > 2000,
        JSON.stringify(colours));
  // Keyboard: the view zooms in with "+" once it has the focus.
  await page.focus('#view');
  await page.keyboard.press('+');
  await page.keyboard.press('+');
  const closer = await viewColours(page);
  check('"+" zooms the view in', closer.red + closer.blue > colours.red + colours.blue,
        `${JSON.stringify(colours)} -> ${JSON.stringify(closer)}`);

  // Downloads with the proposals, every model, every format.
  const indices = await pageIndices(page, models);
  for (let i = 0; i < models.length; i++) {
    for (const format of ['lwo', 'obj', 'glb']) {
      sameFiles(`${path.basename(models[i])} ${format} proposed`, await pageOutputs(page, indices[i], format),
                native(models[i], format));
    }
  }
  // Edited through the panel as a user would, each control type: choices
  // clicked, numbers and text typed and left with Tab, toggles clicked; every
  // field still reads what was put in after its conversion.
  const edited = [...optionSets[1].args, '--angle', '10'];
  const edits = editsFromArguments(edited);
  const cube = indices[0];
  await page.click(`#control-2-${edits.load}`);
  await settled(page, models.length);
  await page.click(`#control-3-${edits.colour}`);
  await settled(page, models.length);
  for (const role of ['scale', 'name', 'angle']) {
    await page.click(`#panel [data-role=${role}] input`, { clickCount: 3 });
    await page.keyboard.type(String(edits[role]));
    await page.keyboard.press('Tab');
    await settled(page, models.length);
  }
  for (const role of ['smooth', 'double']) { // smoothing off, double sided on
    await page.click(`#panel [data-role=${role}] input`);
    await settled(page, models.length);
  }
  const fields = await panelFields(page);
  check('the panel reads the edits after converting', Object.entries(edits).every(([k, v]) => fields[k] === v),
        `${JSON.stringify(fields)} / ${JSON.stringify(edits)}`);
  for (const format of ['lwo', 'obj', 'glb']) {
    sameFiles(`${path.basename(models[0])} ${format} edited in the panel`,
              await pageOutputs(page, cube, format), native(models[0], format, edited));
  }
  if (screenshots) await page.screenshot({ path: path.join(screenshots, 'web-edited.png') });
  // Another model shows its own values; back again, the edits are there.
  const other = models.findIndex((m) => path.basename(m) !== 'cube.rk4' && !/spiral|grid/.test(m));
  await choose(page, path.basename(models[other]));
  const otherFields = await panelFields(page);
  const proposed = await page.evaluate((i) => Object.fromEntries(window.ostrelPage.models[i].outcome.panel
    .controls.filter((c) => c.role).map((c) => [c.role, c.proposed])), indices[other]);
  check('another model shows its own proposals', Object.entries(proposed).every(([k, v]) => otherFields[k] === v),
        `${JSON.stringify(otherFields)} / ${JSON.stringify(proposed)}`);
  await choose(page, 'cube.rk4');
  const again = await panelFields(page);
  check('the edited model keeps its values', Object.entries(edits).every(([k, v]) => again[k] === v),
        JSON.stringify(again));
  await page.click('#restore');
  await settled(page, models.length);
  const restored = await panelFields(page);
  check('restore shows the proposals', restored.scale === 8 && restored.load === 1 && restored.smooth === 1,
        JSON.stringify(restored));
  sameFiles('restored proposals', await pageOutputs(page, cube, 'glb'), native(models[0], 'glb'));

  // The zip: every model's glb, named as --out-dir names them; what failed
  // is named in README.txt.
  const zip = unzipSync(Uint8Array.from(await page.evaluate(() => window.ostrelPage.zip('glb'))));
  const expected = {};
  const failures = [];
  for (const model of [...models].sort((x, y) => collator.compare(path.basename(x), path.basename(y)))) {
    const result = native(model, 'glb');
    if (result.failure) failures.push(path.basename(model));
    for (const [name, bytes] of Object.entries(result.files || {})) {
      let folder = '';
      for (let n = 2; `${folder}${name}` in expected; n++) folder = `${n}/`;
      expected[`${folder}${name}`] = bytes;
    }
  }
  const readme = zip['README.txt'] ? Buffer.from(zip['README.txt']).toString() : '';
  delete zip['README.txt'];
  sameFiles('zip of all', zip, { files: expected });
  check('zip: README.txt names what failed', failures.every((f) => readme.includes(`${f}: `)) &&
        Boolean(readme) === failures.length > 0, readme);

  if (many) {
    // A model LWOB cannot hold: the button says why, as the command line
    // does, and the zip's README.txt names it.
    await pickFiles(page, [many]);
    await settled(page, models.length + 1);
    await page.evaluate(() => [...document.querySelectorAll('#downloads button')]
      .find((b) => b.textContent.includes('LWOB')).click());
    await page.waitForFunction(() => !/^$|converting/.test(document.getElementById('note-lwo').textContent),
                               { timeout: 60000 });
    const note = await page.$eval('#note-lwo', (e) => e.textContent);
    const r = native(many, 'lwo');
    const reason = r.failure && r.failure.replace(/^ostrel: [^:]*: not written: [^:]*: /, '');
    check('LWOB refused with the command line\'s reason', r.failure && note === `not written: ${reason}`,
          `${note} / ${r.failure}`);
    const lwoZip = unzipSync(Uint8Array.from(await page.evaluate(() => window.ostrelPage.zip('lwo'))));
    const note2 = Buffer.from(lwoZip['README.txt'] || []).toString();
    check('LWOB zip: README.txt says what was left out', note2.includes(`${path.basename(many)}: not written: ${reason}`),
          note2);
  }

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
  // A first file that fails (the list's first by name is empty.rk4 here, the
  // view goes to the last, truncated.rk4, which loads with warnings).
  await dropFiles(page, files);
  await settled(page, files.length);
  const shown = await lines(page);
  const lineOf = (list, name, nth = 0) => list.filter((l) => l.name === name)[nth]?.line;
  for (const file of files) {
    const expected = expectedLine(file);
    const line = lineOf(shown, path.basename(file));
    check(`dropped ${path.basename(file)}: line`, line === expected, `${line} / ${expected}`);
  }
  check('dropped: the view shows the last by name', await selectedName(page) === 'truncated.rk4',
        await selectedName(page));
  // A failure: its line where the view would be, and a card with its line.
  await choose(page, 'empty.rk4');
  const failure = await page.evaluate(() => ({
    note: document.getElementById('view-note').textContent,
    noteShown: document.getElementById('view-note').offsetHeight > 0,
    viewShown: document.getElementById('view').offsetHeight > 0,
    card: [...document.querySelectorAll('#gallery .card.failed')].map((c) => c.textContent),
  }));
  const emptyLine = expectedLine(files[0]);
  check('a failure shows its line in the view\'s place', failure.note === emptyLine &&
        failure.noteShown && !failure.viewShown, JSON.stringify(failure));
  check('a failure\'s card shows its line', failure.card.some((c) => c.includes(emptyLine) &&
        c.includes('empty.rk4')), JSON.stringify(failure.card));
  // The truncated cube's warnings, as the command line gives them.
  {
    const file = files.find((f) => f.endsWith('truncated.rk4'));
    const r = spawnSync(ostrel, [path.basename(file), '--check'], { cwd: path.dirname(file) });
    const native = r.stderr.toString().split('\n').filter((l) => l.startsWith('ostrel: warning: '))
      .map((l) => l.slice('ostrel: warning: '.length));
    const shownWarnings = await page.evaluate(() => [...[...document.querySelectorAll('#models li')]
      .find((li) => li.querySelector('.model-name').textContent === 'truncated.rk4')
      .querySelectorAll('.warnings > div')].map((d) => d.textContent));
    check('truncated model: warnings shown as ostrel words them', native.length > 0 &&
          JSON.stringify(shownWarnings) === JSON.stringify(native),
          `${shownWarnings.join(' | ')} / ${native.join(' | ')}`);
  }
  // A second pick takes the view.
  await pickFiles(page, [spiral ?? models[0]]);
  await settled(page, files.length + 1);
  check('a file picked later takes the view', await page.evaluate(() => {
    const { models: all, selected } = window.ostrelPage;
    return selected() === all.reduce((a, b) => (b.serial > a.serial ? b : a));
  }));
  if (big) {
    // A long conversion: the page answers while it runs, and cancel stops it.
    const count = files.length + 1;
    await pickFiles(page, [big]);
    // As soon as the page says it is converting: the page's own thread
    // answers (it lists the file) and the cancel button is pressed, in one
    // go, before the conversion can end.
    const answer = await page.waitForFunction(() => {
      if (document.getElementById('progress').hidden) return false;
      const listed = document.querySelectorAll('#models li').length;
      document.getElementById('cancel').click();
      return listed;
    }, { timeout: 30000, polling: 10 });
    const listed = await answer.jsonValue();
    check('page answers while converting', listed === count + 1, String(listed));
    await settled(page, count + 1);
    const name = path.basename(big);
    check('cancel stops the conversion', lineOf(await lines(page), name) === 'cancelled',
          lineOf(await lines(page), name));
    await dropFiles(page, [models[0]]);
    await settled(page, count + 2);
    const cubes = (await lines(page)).filter((l) => l.name === path.basename(models[0]));
    check('converts again after cancel', cubes.length === 2 &&
          cubes.every((l) => l.line === expectedLine(models[0])), JSON.stringify(cubes));
    // Choosing the cancelled file converts it again.
    await choose(page, name);
    await settled(page, count + 2);
    check('a cancelled file converts when chosen', lineOf(await lines(page), name) === expectedLine(big));
  }
  check('no request after load (drops)', requests.length === 0, requests.join(', '));
  check('no script error (drops)', errors.length === 0, errors.join(' | '));
  await page.close();
}

// ---- a folder as a gallery

// The pictures of the gallery's cards: for each, how many pixels differ from
// the background and a fingerprint of them.
const pictures = (page) => page.evaluate(async () => {
  const out = [];
  for (const card of document.querySelectorAll('#gallery .card')) {
    const img = card.querySelector('img');
    if (!img) { out.push(null); continue; }
    await img.decode();
    const c = Object.assign(document.createElement('canvas'), { width: img.naturalWidth, height: img.naturalHeight });
    const g = c.getContext('2d');
    g.drawImage(img, 0, 0);
    const data = g.getImageData(0, 0, c.width, c.height).data;
    let object = 0;
    let hash = 2166136261;
    for (let i = 0; i < data.length; i += 4) {
      if (Math.abs(data[i] - 0x20) + Math.abs(data[i + 1] - 0x24) + Math.abs(data[i + 2] - 0x2a) > 24) object++;
      hash = Math.imul(hash ^ (data[i] + 3 * data[i + 1] + 7 * data[i + 2]), 16777619);
    }
    out.push({ object, hash });
  }
  return out;
});

// Scrolls through the gallery until every card has its picture.
async function drawAll(page) {
  for (let i = 0; i < 200; i++) {
    const done = await page.evaluate(() => {
      const missing = [...document.querySelectorAll('#gallery .card:not(.failed)')].find((c) => !c.querySelector('img'));
      if (!missing) return true;
      missing.scrollIntoView({ block: 'center' });
      return false;
    });
    if (done) return true;
    await page.waitForFunction(() => !window.ostrelPage.picturesPending(), { timeout: 60000 });
  }
  return false;
}

if (folder) {
  const { page, errors } = await openPage(null);
  const files = fs.readdirSync(folder).sort().map((f) => path.join(folder, f));
  await pickFiles(page, files);
  await settled(page, files.length);
  check('a folder: a card per model', await page.$$eval('#gallery .card', (c) => c.length) === files.length);
  check('gallery: every card drawn', await drawAll(page));
  const drawn = await pictures(page);
  const hashes = new Set(drawn.map((d) => d && d.hash));
  check('gallery: pictures show an object', drawn.every((d) => d && d.object > 200),
        drawn.map((d) => d && d.object).join(' '));
  check('gallery: pictures differ from each other', hashes.size === files.length, `${hashes.size} different`);
  const names = await page.$$eval('#gallery .card-name', (n) => n.map((e) => e.textContent));
  check('gallery: cards in name order, with their size', inNameOrder(names) &&
        (await page.$$eval('#gallery .card-size', (n) => n.length)) === files.length, names.join(', '));
  // Opened by a click, and by the keyboard.
  await page.evaluate(() => window.scrollTo(0, 0));
  await page.click('#gallery .card:nth-child(2) button');
  check('a card opens its model', await selectedName(page) === names[1] &&
        await page.$eval('#view-title', (e) => e.textContent) === names[1], await selectedName(page));
  await page.focus('#gallery .card:nth-child(5) button');
  await page.keyboard.press('Enter');
  check('a card opens from the keyboard', await selectedName(page) === names[4], await selectedName(page));
  await page.waitForFunction(() => window.ostrelPage.viewStats().meshes > 0, { timeout: 30000 });
  const zip = unzipSync(Uint8Array.from(await page.evaluate(() => window.ostrelPage.pictures())));
  const pngs = Object.keys(zip).filter((n) => n.endsWith('.png'));
  check('Save pictures: a PNG per model', pngs.length === files.length &&
        pngs.every((n) => zip[n][1] === 0x50 && zip[n][2] === 0x4e), pngs.slice(0, 3).join(', '));
  if (screenshots) {
    await page.evaluate(() => document.getElementById('gallery-section').scrollIntoView());
    await page.screenshot({ path: path.join(screenshots, 'web-gallery.png') });
  }
  check('no script error (gallery)', errors.length === 0, errors.join(' | '));
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

// The page's times in chromium, each on a fresh page:
//   pick   a model picked to its line and to its view drawn (best of RUNS):
//          in the page's own clock from the files reaching it (the input's
//          change event) to the worker's answer and to the object drawn,
//          and as the harness sees it from its upload call (which adds the
//          browser's own handling of the upload); the file's read and the
//          import in the worker; the worker's WebAssembly memory and the
//          tab's peak memory (the renderer process's resident set, sampled
//          every 20 ms: the page, its worker and their heaps);
//   first  opening the page to the cube in view;
//   edit   a model picked, then its scale edited in the panel: the field's
//          change to the view drawn again, in the page's clock (best of RUNS);
//   folder each folder given: its models dropped at once to the last card
//          in view drawn, the tab's memory then; and for the last folder,
//          scrolling through every card: frames longer than 50 ms in
//          chromium's trace.
// Prints one JSON object.
//   node web/test/bench-page.mjs PAGE.html MODEL CUBE EDIT-MODEL RUNS [FOLDER...]
import fs from 'node:fs';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const [pagePath, model, cube, editModel, runs, ...folders] = process.argv.slice(2);
const url = `file://${path.resolve(pagePath)}`;
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium', headless: true,
  args: ['--disable-gpu', '--no-sandbox', '--enable-unsafe-swiftshader'],
});

// The resident set of this browser's largest renderer process, in bytes:
// the tab under test (the page, its worker and their heaps).
function rendererBytes() {
  const parent = new Map();
  const renderers = [];
  for (const pid of fs.readdirSync('/proc').filter((d) => /^\d+$/.test(d))) {
    try {
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
      parent.set(pid, stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
      if (fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8').includes('--type=renderer')) renderers.push(pid);
    } catch { /* gone */ }
  }
  const root = String(browser.process().pid);
  const ours = (pid) => { for (let p = pid; p && p !== '0' && p !== '1'; p = parent.get(p)) if (p === root) return true; return false; };
  let largest = 0;
  for (const pid of renderers.filter(ours)) {
    try {
      const m = /VmRSS:\s+(\d+) kB/.exec(fs.readFileSync(`/proc/${pid}/status`, 'utf8'));
      if (m) largest = Math.max(largest, Number(m[1]) * 1024);
    } catch { /* gone */ }
  }
  return largest;
}

function sampler() {
  let peak = 0;
  const sample = () => { try { peak = Math.max(peak, rendererBytes()); } catch { /* none */ } };
  sample();
  const timer = setInterval(sample, 20);
  return { stop() { clearInterval(timer); sample(); return peak; }, now: rendererBytes };
}

async function openPage() {
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 900 });
  const opened = Date.now();
  await page.goto(url);
  await page.waitForFunction(() => document.querySelectorAll('#zip-format option').length > 0,
                             { timeout: 60000 });
  return { page, opened };
}

const loads = (page) => page.evaluate(() => Number(document.getElementById('view').dataset.loads || 0));

async function picked(files, fromOpening = false) {
  const { page, opened } = await openPage();
  const memory = sampler();
  const input = await page.$('#pick');
  const start = Date.now();
  await input.uploadFile(...files.map((f) => path.resolve(f)));
  await page.waitForFunction(() => window.ostrelPage.models[0] && window.ostrelPage.models[0].outcome,
                             { timeout: 300000, polling: 10 });
  const line = Date.now();
  await page.waitForFunction(() => window.ostrelPage.viewStats().meshes > 0, { timeout: 300000, polling: 10 });
  const view = Date.now();
  const from = fromOpening ? opened : start;
  const out = {
    page, line: (line - from) / 1000, view: (view - from) / 1000, tabPeak: memory.stop(),
    workerMemory: await page.evaluate(() => window.ostrelPage.workerMemory()),
    worker: await page.evaluate(() => window.ostrelPage.lastSeconds()),
  };
  // Where the time went, in the page's clock: to the worker's answer
  // (reading the file, the import), then to the object drawn.
  const times = await page.evaluate(() => window.ostrelPage.times());
  out.reading = times.reading;
  out.toAnswer = (times.received - times.added) / 1000;
  out.toDrawn = (times.drawn - times.received) / 1000;
  out.pageView = (times.drawn - times.added) / 1000;
  return out;
}

const best = (list, key) => list.reduce((a, b) => (b[key] < a[key] ? b : a));

const result = {};
{
  const tries = [];
  for (let i = 0; i < Number(runs); i++) {
    const t = await picked([model]);
    await t.page.close();
    delete t.page;
    tries.push(t);
  }
  result.pick = best(tries, 'pageView');
  console.error(JSON.stringify(result.pick));
}
{
  const t = await picked([cube], true);
  await t.page.close();
  result.firstView = t.view;
}
{
  // An edit of the scale, typed and left with Tab, to the view drawn again.
  const tries = [];
  const t = await picked([editModel]);
  const { page } = t;
  for (let i = 0; i < Number(runs); i++) {
    const before = await loads(page);
    await page.click('#panel [data-role=scale] input', { clickCount: 3 });
    await page.keyboard.type(String(2 + i));
    const start = Date.now();
    await page.keyboard.press('Tab');
    await page.waitForFunction((n) => Number(document.getElementById('view').dataset.loads) > n,
                               { timeout: 60000, polling: 5 }, before);
    await new Promise((r) => setTimeout(r, 50)); // times.drawn is set just after
    // In the page's clock: from the field's change to the object drawn.
    const times = await page.evaluate(() => window.ostrelPage.times());
    tries.push({ edit: (times.drawn - times.edited) / 1000, harness: (Date.now() - start) / 1000,
                 worker: await page.evaluate(() => window.ostrelPage.lastSeconds()) });
  }
  await page.close();
  result.edit = best(tries, 'edit');
}

result.folders = [];
for (const folder of folders) {
  const files = fs.readdirSync(folder).sort().map((f) => path.join(folder, f));
  const { page } = await openPage();
  const memory = sampler();
  const input = await page.$('#pick');
  const start = Date.now();
  await input.uploadFile(...files);
  await page.waitForFunction((n) => window.ostrelPage.models.length === n && !window.ostrelPage.busy() &&
    window.ostrelPage.models.every((m) => m.outcome),
  { timeout: 600000, polling: 20 }, files.length);
  const seconds = (Date.now() - start) / 1000;
  const entry = {
    models: files.length, megabytes: files.reduce((n, f) => n + fs.statSync(f).size, 0) / 1e6,
    lastCardDrawn: seconds, tabPeak: memory.stop(), tabAfter: rendererBytes(),
    workerMemory: await page.evaluate(() => window.ostrelPage.workerMemory()),
  };
  if (folder === folders[folders.length - 1]) {
    // Scrolling through every card with the wheel over the cards, traced.
    await page.evaluate(() => document.getElementById('gallery').scrollIntoView());
    await page.mouse.move(700, 450);
    await page.tracing.start({ categories: ['devtools.timeline', 'disabled-by-default-devtools.timeline.frame'] });
    const scrollStart = Date.now();
    for (let i = 0; i < 100; i++) {
      for (let k = 0; k < 20; k++) await page.mouse.wheel({ deltaY: 120 });
      const atEnd = await page.evaluate(() => window.innerHeight + window.scrollY >= document.body.scrollHeight - 2);
      if (atEnd) break;
    }
    const trace = JSON.parse(Buffer.from(await page.tracing.stop()).toString('utf8'));
    const events = trace.traceEvents ?? trace;
    // Frames: the intervals between the compositor's drawn frames while
    // scrolling; tasks: the page's main-thread tasks of more than 50 ms.
    const mainThreads = new Set(events.filter((e) => e.name === 'thread_name' &&
      e.args?.name === 'CrRendererMain').map((e) => `${e.pid}/${e.tid}`));
    const draws = events.filter((e) => e.name === 'DrawFrame').map((e) => e.ts).sort((a, b) => a - b);
    const gaps = draws.slice(1).map((ts, i) => (ts - draws[i]) / 1000);
    entry.scroll = {
      seconds: (Date.now() - scrollStart) / 1000,
      frames: draws.length,
      framesOver50ms: gaps.filter((g) => g > 50).length,
      longestFrameMs: Math.round(Math.max(0, ...gaps)),
      tasksOver50ms: events.filter((e) => e.name === 'RunTask' && e.dur > 50000 &&
                                   mainThreads.has(`${e.pid}/${e.tid}`)).length,
      cardsDrawn: await page.$$eval('#gallery .card img', (n) => n.length),
    };
  }
  await page.close();
  result.folders.push(entry);
  console.error(JSON.stringify(entry)); // what is measured so far, should a later step fail
}
await browser.close();
console.log(JSON.stringify(result));

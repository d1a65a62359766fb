// The page's times in chromium: a model picked to its line and to its view
// drawn (best of RUNS, a fresh page each), the worker's memory after it, and
// the time from opening the page to the cube in view. Prints
// "PICK-TO-LINE PICK-TO-VIEW FIRST-VIEW WORKER-MB WORKER-SECONDS" (the
// worker's WebAssembly memory after the conversion, and the import's time
// in the worker).
//   node web/test/bench-page.mjs PAGE.html MODEL CUBE RUNS
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const [pagePath, model, cube, runs] = process.argv.slice(2);
const url = `file://${path.resolve(pagePath)}`;
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium', headless: true,
  args: ['--disable-gpu', '--no-sandbox', '--enable-unsafe-swiftshader', '--enable-precise-memory-info'],
});

async function timed(file, fromOpening) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 900 });
  const opened = Date.now();
  await page.goto(url);
  await page.waitForFunction(() => document.querySelectorAll('#zip-format option').length > 0);
  const input = await page.$('#pick');
  const picked = Date.now();
  await input.uploadFile(path.resolve(file));
  if (process.env.DEBUG) console.error("upload", (Date.now() - picked) / 1000);
  await page.waitForFunction(() => window.ostrelPage.models[0] && window.ostrelPage.models[0].outcome,
                             { timeout: 300000, polling: 10 });
  const line = Date.now();
  await page.waitForFunction(() => window.ostrelPage.viewStats().meshes > 0, { timeout: 300000, polling: 10 });
  const view = Date.now();
  const memory = await page.evaluate(() => window.ostrelPage.workerMemory());
  const worker = await page.evaluate(() => window.ostrelPage.lastSeconds());
  await page.close();
  const from = fromOpening ? opened : picked;
  return { line: (line - from) / 1000, view: (view - from) / 1000, memory, worker };
}

let best = null;
for (let i = 0; i < Number(runs); i++) {
  const t = await timed(model, false);
  if (!best || t.line < best.line) best = t;
}
const first = await timed(cube, true);
await browser.close();
// The worker's WebAssembly memory after the conversion (it only grows).
console.log(best.line.toFixed(2), best.view.toFixed(2), first.view.toFixed(2),
            Math.round(best.memory / 1048576), best.worker.toFixed(2));

// The page: model files in (dropped anywhere, or picked), each converted in a
// worker by the plug-in's own code; one line per file, the plug-in's panel
// for the file shown, the converted glb in a 3D view, the outputs to
// download. Nothing leaves the machine: the worker and the WebAssembly are
// inline, and the page's policy forbids every request.
import { zipSync } from 'fflate';
import { texts, english, pickLanguage } from './texts.js';
import { createView } from './view.js';
import workerSource from 'ostrel:worker-source';

const language = pickLanguage(navigator.languages || [navigator.language]);
const t = texts[language];
document.documentElement.lang = language;

const $ = (id) => document.getElementById(id);
const make = (tag, props = {}, ...children) => {
  const element = Object.assign(document.createElement(tag), props);
  for (const child of children) element.append(child);
  return element;
};

// ------------------------------------------------------------ the worker ---

const workerUrl = URL.createObjectURL(new Blob([workerSource], { type: 'text/javascript' }));
let worker = null;
let formats = [];
let pending = null; // { id, resolve, reject, model }
let nextId = 1;
const queue = [];
let failedStarts = 0; // workers that stopped before they were ready
let workerMemory = 0; // bytes of the converter's memory, as last reported
let lastSeconds = 0; // the last import's time in the worker

function startWorker() {
  worker = new Worker(workerUrl);
  worker.onmessage = (event) => {
    const message = event.data;
    if (message.type === 'ready') {
      failedStarts = 0;
      formats = message.formats;
      showFormats();
      return;
    }
    if (message.type === 'result' && message.memory) workerMemory = message.memory;
    if (message.type === 'result') lastSeconds = message.seconds;
    if (message.type === 'result' && pending && message.id === pending.id) {
      const done = pending;
      pending = null;
      hideProgress();
      done.resolve(message.outcome);
      if (message.outcome.result === 'failed') restartWorker();
      pump();
    }
  };
  worker.onerror = (event) => {
    event.preventDefault();
    if (!pending && ++failedStarts > 2) {
      // The converter cannot start here: say so once, retry no more.
      $('progress-text').textContent = `${t.converting}: ${event.message}`;
      $('progress').hidden = false;
      worker.terminate();
      return;
    }
    if (pending) {
      const done = pending;
      pending = null;
      hideProgress();
      done.resolve({ result: 'failed', reason: event.message || 'the converter stopped',
                     files: [], panel: null, counts: null, statistics: null, warnings: [] });
    }
    restartWorker();
    pump();
  };
}

function restartWorker() {
  if (worker) worker.terminate();
  startWorker();
}

// One conversion at a time, in order; each a promise of the outcome.
function convert(model, format) {
  return new Promise((resolve) => {
    queue.push({ model, format, resolve });
    pump();
  });
}

function pump() {
  if (pending || queue.length === 0) return;
  const job = queue.shift();
  const id = nextId++;
  pending = { id, resolve: job.resolve, model: job.model, started: performance.now() };
  worker.postMessage({ id, name: job.model.name, file: job.model.file, format: job.format,
                       edits: job.model.edits });
  showProgress(job.model);
}

// Cancel: the worker is stopped mid-import and a fresh one started; the
// file's line says so and what was waiting stays queued.
function cancel() {
  if (!pending) return;
  const done = pending;
  pending = null;
  hideProgress();
  restartWorker();
  done.resolve({ result: 'cancelled-by-user', reason: t.cancelled, files: [], panel: null,
                 counts: null, statistics: null, warnings: [] });
  pump();
}

let progressTimer = 0;
function showProgress(model) {
  const bar = $('progress');
  clearInterval(progressTimer);
  const update = () => {
    const seconds = pending ? (performance.now() - pending.started) / 1000 : 0;
    $('progress-text').textContent = `${t.converting}: ${model.name} (${seconds.toFixed(1)} s)`;
    // Only a conversion that takes a while shows itself.
    bar.hidden = seconds < 0.3;
  };
  update();
  progressTimer = setInterval(update, 100);
}

function hideProgress() {
  clearInterval(progressTimer);
  $('progress').hidden = true;
}

// ------------------------------------------------------------- the models ---

const models = [];
let selected = -1;

function countsText(c) {
  const parts = [t.points(c.points), t.polygons(c.polygons)];
  if (c.dropped) parts.push(t.dropped(c.dropped));
  parts.push(t.surfaces(c.surfaces));
  return parts.join(', ');
}

// The file's one line: name, then the statistics line and the counts, or
// what went wrong in the command line's words.
function lineFor(model) {
  const o = model.outcome;
  if (!o) return { ok: true, text: t.waiting };
  if (o.result === 'loaded') {
    const stats = o.statistics !== null ? `${t.statistics} "${o.statistics}"` : `${t.statistics} (none)`;
    let text = `${stats}; ${countsText(o.counts)} ${t.received}`;
    if (o.counts.polygons === 0) text += `; ${t.noPolygons}`;
    return { ok: true, text };
  }
  return { ok: false, text: o.reason };
}

function renderList() {
  const list = $('models');
  list.replaceChildren();
  $('no-models').hidden = models.length > 0;
  models.forEach((model, index) => {
    const line = lineFor(model);
    const button = make('button', { type: 'button', className: 'model-name',
                                    textContent: model.name, title: `${t.show}: ${model.name}` });
    button.setAttribute('aria-pressed', String(index === selected));
    button.addEventListener('click', () => select(index));
    const item = make('li', { className: line.ok ? 'ok' : 'failed' }, button,
                      make('span', { className: 'line', textContent: line.text }));
    // What the reader left out or read as something else, as the command
    // line says it.
    const o = model.outcome;
    const notes = o ? [...(o.readWarnings ?? []), ...(o.warnings ?? [])] : [];
    if (notes.length) {
      // Not a list of items: "#models li" is one per file.
      item.append(make('div', { className: 'warnings', ariaLabel: t.warnings },
                       ...notes.map((w) => make('div', { textContent: w }))));
    }
    item.dataset.index = String(index);
    list.append(item);
  });
  $('download-all').disabled = !models.some((m) => m.outcome && m.outcome.result === 'loaded');
}

async function addFiles(files) {
  const added = [];
  for (const file of files) {
    const model = { name: file.name, file, edits: {}, outcome: null, outputs: {} };
    models.push(model);
    added.push(model);
  }
  renderList();
  for (const model of added) {
    await refresh(model);
    if (selected < 0 || models[selected] === model) select(models.indexOf(model));
  }
}

// Converts the model to glb with its edits: the line, the panel and the view.
async function refresh(model) {
  const key = JSON.stringify(model.edits);
  const outcome = await convert(model, 'glb');
  if (JSON.stringify(model.edits) !== key) return; // edited again meanwhile
  model.outcome = outcome;
  model.outputs = { glb: outcome.result === 'loaded' ? outcome.files : null };
  renderList();
  if (models[selected] === model) show(model);
}

function select(index) {
  selected = index;
  renderList();
  show(models[index]);
  // A conversion the user cancelled runs again when its file is chosen.
  const model = models[index];
  if (model.outcome && model.outcome.result === 'cancelled-by-user') refresh(model);
}

// ------------------------------------------------------------- the panel ---

function withEnglish(text) {
  const fragment = document.createDocumentFragment();
  fragment.append(text);
  const meaning = english[text];
  if (meaning) fragment.append(' ', make('span', { className: 'english', lang: 'en', textContent: `(${meaning})` }));
  return fragment;
}

function labelText(control) {
  return control.label || '';
}

function renderPanel(model) {
  const panel = $('panel');
  panel.replaceChildren();
  const o = model && model.outcome;
  $('restore').disabled = !model || Object.keys(model.edits).length === 0;
  if (!o || !o.panel) {
    panel.append(make('p', { textContent: model && o ? t.noPanel : '' }));
    return;
  }
  panel.append(make('h3', { textContent: o.panel.title }));
  o.panel.controls.forEach((control) => {
    const id = `control-${control.number}`;
    const row = make('div', { className: `control ${control.kind}` });
    const edit = (value) => {
      if (!control.role) return;
      model.edits = { ...model.edits, [control.role]: value };
      refresh(model);
    };
    if (control.kind === 'text') {
      if (control.label) row.append(make('span', { className: 'label' }, withEnglish(control.label)));
      for (const line of control.lines) row.append(make('p', {}, withEnglish(line)));
    } else if (control.kind === 'choice') {
      const group = make('fieldset', { id });
      group.append(make('legend', {}, withEnglish(labelText(control))));
      control.lines.forEach((item, i) => {
        const input = make('input', { type: 'radio', name: id, id: `${id}-${i}`, value: String(i),
                                      checked: control.value === i });
        input.addEventListener('change', () => edit(i));
        group.append(make('label', { htmlFor: `${id}-${i}` }, input, withEnglish(item)));
      });
      row.append(group);
    } else if (control.kind === 'bool') {
      const input = make('input', { type: 'checkbox', id, checked: control.value !== 0 });
      input.addEventListener('change', () => edit(input.checked ? 1 : 0));
      row.append(make('label', { htmlFor: id }, input, withEnglish(labelText(control))));
    } else if (control.kind === 'float' || control.kind === 'edit') {
      const input = make('input', { id, type: control.kind === 'float' ? 'number' : 'text',
                                    value: control.kind === 'float' ? control.text : control.value });
      if (control.kind === 'float') input.step = 'any';
      input.addEventListener('change', () => {
        if (control.kind === 'float') {
          const value = Number(input.value);
          if (input.value.trim() === '' || !Number.isFinite(value)) return;
          edit(value);
        } else {
          edit(input.value);
        }
      });
      row.append(make('label', { htmlFor: id }, withEnglish(labelText(control))), input);
    } else {
      row.append(make('span', { className: 'label' }, withEnglish(labelText(control))),
                 make('span', { textContent: String(control.text) }));
    }
    panel.append(row);
  });
}

// ------------------------------------------------------ view and outputs ---

const view = createView($('view'));

function show(model) {
  renderPanel(model);
  renderDownloads(model);
  const glb = model && model.outputs.glb;
  $('view-title').textContent = model ? model.name : '';
  // The line and the panel are drawn first: the view's parse of a large glb
  // holds the thread a while.
  requestAnimationFrame(() => setTimeout(() => {
    if (models[selected] === model) view.show(glb ? glb[0].bytes : null);
  }, 0));
}

function showFormats() {
  const select = $('zip-format');
  select.replaceChildren();
  for (const f of formats) {
    const option = make('option', { value: f.name, disabled: !f.builtIn,
                                    textContent: f.builtIn ? f.name : `${f.name} (${t.notBuilt})` });
    if (!f.builtIn) option.title = f.unavailable;
    select.append(option);
  }
  select.value = 'glb';
  if (selected >= 0) renderDownloads(models[selected]);
}

async function outputsOf(model, format) {
  if (model.outputs[format]) return model.outputs[format];
  const key = JSON.stringify(model.edits);
  const outcome = await convert(model, format);
  if (outcome.result !== 'loaded') return null;
  if (JSON.stringify(model.edits) === key) model.outputs[format] = outcome.files;
  return outcome.files;
}

function save(name, bytes) {
  const url = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
  const a = make('a', { href: url, download: name });
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

function renderDownloads(model) {
  const box = $('downloads');
  box.replaceChildren();
  if (!model || !model.outcome || model.outcome.result !== 'loaded') return;
  for (const f of formats) {
    const label = f.name === 'obj' ? 'OBJ + MTL' : f.name === 'lwo' ? 'LWOB' : f.name.toUpperCase();
    const button = make('button', { type: 'button', textContent: `${t.download} ${label}`,
                                    disabled: !f.builtIn });
    if (!f.builtIn) {
      button.title = f.unavailable;
      button.textContent += ` (${t.notBuilt})`;
    }
    button.addEventListener('click', async () => {
      const files = await outputsOf(model, f.name);
      if (files) for (const file of files) save(file.name, file.bytes);
    });
    box.append(button);
  }
}

// Every converted model's files, named as `ostrel --out-dir` names them; a
// model whose names another has taken already (the same base name from two
// folders) goes into a folder "2/", "3/", ... of its own, so that its OBJ
// still finds its material library.
async function zipAll(format) {
  const entries = {};
  for (const model of models) {
    if (!model.outcome || model.outcome.result !== 'loaded') continue;
    const files = (await outputsOf(model, format)) || [];
    let folder = '';
    for (let n = 2; files.some((f) => `${folder}${f.name}` in entries); n++) folder = `${n}/`;
    for (const file of files) entries[`${folder}${file.name}`] = file.bytes;
  }
  return zipSync(entries, { level: 6 });
}

// ------------------------------------------------------- drop and pick ---

// Every file under a dropped folder, depth first.
async function filesOfEntry(entry) {
  if (entry.isFile) return [await new Promise((resolve, reject) => entry.file(resolve, reject))];
  if (!entry.isDirectory) return [];
  const reader = entry.createReader();
  const out = [];
  for (;;) {
    const batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
    if (batch.length === 0) break;
    for (const child of batch) out.push(...await filesOfEntry(child));
  }
  return out;
}

async function droppedFiles(dataTransfer) {
  const entries = [...(dataTransfer.items || [])]
    .map((item) => (item.webkitGetAsEntry ? item.webkitGetAsEntry() : null));
  if (entries.length && entries.every((e) => e)) {
    const files = [];
    for (const entry of entries) files.push(...await filesOfEntry(entry));
    return files;
  }
  return [...dataTransfer.files];
}

function setUp() {
  document.title = t.title;
  for (const element of document.querySelectorAll('[data-text]')) {
    element.textContent = t[element.dataset.text];
  }
  startWorker();
  $('pick').addEventListener('change', (e) => { addFiles([...e.target.files]); e.target.value = ''; });
  $('pick-folder').addEventListener('change', (e) => { addFiles([...e.target.files]); e.target.value = ''; });
  $('cancel').addEventListener('click', cancel);
  $('restore').addEventListener('click', () => {
    const model = models[selected];
    if (!model) return;
    model.edits = {};
    refresh(model);
  });
  $('fit').addEventListener('click', () => view.fit());
  $('grid').addEventListener('change', (e) => view.setGrid(e.target.checked));
  $('axes').addEventListener('change', (e) => view.setAxes(e.target.checked));
  $('download-all').addEventListener('click', async () => {
    const format = $('zip-format').value;
    save(`ostrel-${format}.zip`, await zipAll(format));
  });
  let depth = 0;
  document.addEventListener('dragenter', (e) => { e.preventDefault(); depth++; document.body.classList.add('dragging'); });
  document.addEventListener('dragleave', () => { if (--depth <= 0) { depth = 0; document.body.classList.remove('dragging'); } });
  document.addEventListener('dragover', (e) => e.preventDefault());
  document.addEventListener('drop', async (e) => {
    e.preventDefault();
    depth = 0;
    document.body.classList.remove('dragging');
    addFiles(await droppedFiles(e.dataTransfer));
  });
  document.addEventListener('keydown', (e) => {
    if (e.key === 'Escape') cancel();
  });
  renderList();
}

setUp();

// For the tests and for whoever scripts the page: the models and their
// outcomes, and each output's bytes as the buttons save them.
window.ostrelPage = {
  language,
  models,
  busy: () => Boolean(pending) || queue.length > 0,
  async outputs(index, format) {
    const files = await outputsOf(models[index], format);
    return (files || []).map((f) => ({ name: f.name, bytes: Array.from(f.bytes) }));
  },
  async zip(format) { return Array.from(await zipAll(format)); },
  viewStats: () => view.stats(),
  workerMemory: () => workerMemory,
  lastSeconds: () => lastSeconds,
  cancel,
};

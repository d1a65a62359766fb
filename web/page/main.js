// The page: model files in (dropped anywhere, or picked), each converted in a
// worker by the plug-in's own code; one line per file in name order, the
// plug-in's panel for the file shown with the values in effect, the
// converted object in a 3D view, a gallery of pictures, the outputs to
// download. Nothing leaves the machine: the worker and the WebAssembly are
// inline, and the page's policy forbids every request.
import { strToU8, zipSync } from 'fflate';
import { texts, english, pickLanguage } from './texts.js';
import { createView } from './view.js';
import { createGallery } from './gallery.js';
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
const later = new Map(); // id -> { model, outcome } whose warnings are still being read
// When the last conversion was asked for, read, converted, received, and
// its object drawn (performance.now(), for the benchmark).
const times = {};

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
    if (message.type === 'result') {
      lastSeconds = message.seconds;
      times.received = performance.now();
      times.reading = message.reading;
    }
    if (message.type === 'warnings') {
      // The reader's warnings of an object already shown.
      const late = later.get(message.id);
      later.delete(message.id);
      times.warnings = performance.now();
      if (late) {
        late.outcome.readWarnings = message.readWarnings;
        if (late.model.outcome === late.outcome) updateItem(late.model);
      }
      return;
    }
    if (message.type === 'result' && pending && message.id === pending.id) {
      const done = pending;
      pending = null;
      hideProgress();
      if (message.warningsLater) {
        message.outcome.readWarnings = [];
        later.set(message.id, { model: done.model, outcome: message.outcome });
      }
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
  later.clear(); // the warnings being read are lost with the worker
  startWorker();
}

// One conversion at a time, in order, what the user waits for (`urgent`:
// the file just picked, an edit, a download, the file chosen) before the
// rest of a folder; each a promise of the outcome. `warnings`: whether the
// reader's warnings are read as well (they do not change with the edits).
function convert(model, format, { urgent = false, warnings = true } = {}) {
  return new Promise((resolve) => {
    const job = { model, format, warnings, urgent, resolve };
    const at = urgent ? queue.findIndex((j) => !j.urgent) : -1;
    queue.splice(at < 0 ? queue.length : at, 0, job);
    pump();
  });
}

function pump() {
  if (pending || queue.length === 0) return;
  const job = queue.shift();
  const id = nextId++;
  pending = { id, resolve: job.resolve, model: job.model, started: performance.now() };
  times.asked = pending.started;
  worker.postMessage({ id, name: job.model.name, file: job.model.file, format: job.format,
                       edits: job.model.edits, warnings: job.warnings });
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

// In name order, as a file manager lists them: numbers by their value.
const collator = new Intl.Collator(language, { numeric: true });
const byName = (a, b) => collator.compare(a.name, b.name) || collator.compare(a.path, b.path) ||
  a.serial - b.serial;
const models = [];
let selected = null;
let follow = null; // the model the view goes to when it converts: the last picked
let serial = 0;

// The converted objects' arrays are kept for the view and the pictures up to
// this many bytes; past it, those whose pictures are drawn are let go first
// and converted again when wanted.
const keepBytes = 256 * 1048576;
let keptBytes = 0;

const viewBytes = (v) => (v ? v.positions.byteLength + v.normals.byteLength +
  v.parts.reduce((n, p) => n + p.indices.byteLength, 0) : 0);

function keepView(model, view) {
  keptBytes += viewBytes(view) - viewBytes(model.view);
  model.view = view;
}

function trimViews() {
  for (const pass of [(m) => m.picture, () => true]) {
    for (const model of models) {
      if (keptBytes <= keepBytes) return;
      if (model.view && model !== selected && pass(model)) keepView(model, null);
    }
  }
}

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

// The object's extent, as the engine measured it: after the scale, and in
// the model file's units where the scale tells them. Short: for a card.
function sizeText(d, short = false) {
  if (!d) return '';
  const n = (x) => String(Number(x.toPrecision(short ? 4 : 6)));
  const xyz = (v) => (short ? v.map(n).join(' × ') : `X ${n(v[0])} × Y ${n(v[1])} × Z ${n(v[2])}`);
  if (short) return `${t.size}: ${xyz(d.size)}${d.fileSize ? `; ${t.inFileShort}: ${xyz(d.fileSize)}` : ''}`;
  let text = `${t.size}: ${xyz(d.size)}`;
  if (d.fileSize) text += ` (${t.inFile(xyz(d.fileSize), n(d.scale))})`;
  return text;
}

const items = new Map(); // model -> its line in the list

function updateItem(model) {
  let item = items.get(model);
  if (!item) {
    item = make('li');
    items.set(model, item);
  }
  const line = lineFor(model);
  const button = make('button', { type: 'button', className: 'model-name',
                                  textContent: model.name, title: `${t.show}: ${model.path}` });
  button.setAttribute('aria-pressed', String(model === selected));
  button.addEventListener('click', () => select(model, true));
  item.className = line.ok ? 'ok' : 'failed';
  item.replaceChildren(button, make('span', { className: 'line', textContent: line.text }));
  // What the reader left out or read as something else, as the command
  // line says it.
  const o = model.outcome;
  const notes = o ? [...(o.readWarnings ?? []), ...(o.warnings ?? [])] : [];
  if (notes.length) {
    // Not a list of items: "#models li" is one per file.
    item.append(make('div', { className: 'warnings', ariaLabel: t.warnings },
                     ...notes.map((w) => make('div', { textContent: w }))));
  }
  gallery.update(model);
}

// The list and the gallery in name order.
function renderList() {
  const list = $('models');
  const ordered = models.map((m) => { if (!items.has(m)) updateItem(m); return items.get(m); });
  if (ordered.length !== list.children.length || ordered.some((item, i) => list.children[i] !== item)) {
    list.replaceChildren(...ordered);
  }
  gallery.place(models);
  $('no-models').hidden = models.length > 0;
  $('gallery-section').hidden = models.length < 2;
  $('gallery-count').textContent = t.modelCount(models.length);
  const any = models.some((m) => m.outcome && m.outcome.result === 'loaded');
  $('download-all').disabled = !any;
  $('save-pictures').disabled = !any;
}

function addFiles(files) {
  if (files.length === 0) return;
  times.added = performance.now();
  const added = files.map((file) => ({
    serial: serial++, name: file.name, path: file.webkitRelativePath || file.name, file,
    edits: {}, outcome: null, view: null, dimensions: null, outputs: {}, notes: {},
    picture: null, generation: 0,
  }));
  models.push(...added);
  models.sort(byName);
  added.sort(byName);
  // The view goes to the last of what was just added, which converts first.
  follow = added[added.length - 1];
  renderList();
  refresh(follow, { urgent: true });
  for (const model of added) if (model !== follow) refresh(model);
}

// Converts the model with its edits for the view: its line, panel, view and
// card. An edit converts again at once, without the reader's warnings.
async function refresh(model, { urgent = false, edited = false } = {}) {
  const key = JSON.stringify(model.edits);
  const outcome = await convert(model, 'view', { urgent, warnings: !edited });
  if (JSON.stringify(model.edits) !== key) return; // edited again meanwhile
  if (edited && model.outcome && outcome.result === 'loaded') {
    outcome.readWarnings = model.outcome.readWarnings ?? [];
  }
  keepView(model, outcome.view || null);
  model.dimensions = outcome.view ? outcome.view.dimensions : null;
  delete outcome.view;
  model.outcome = outcome;
  model.outputs = {};
  model.notes = {};
  model.generation++;
  model.picture = null;
  model.pictureFailed = false;
  updateItem(model);
  trimViews();
  renderList();
  if (model === follow) {
    follow = null;
    select(model);
  } else if (model === selected) {
    show(model);
  }
}

// The model's arrays for the view or its picture: kept, or converted again.
async function viewOf(model) {
  if (model.view) return model.view;
  if (!model.outcome || model.outcome.result !== 'loaded') return null;
  const key = JSON.stringify(model.edits);
  const generation = model.generation;
  const outcome = await convert(model, 'view', { urgent: model === selected, warnings: false });
  if (!outcome.view) return null;
  if (JSON.stringify(model.edits) === key && model.generation === generation) {
    keepView(model, outcome.view);
    trimViews();
  }
  return outcome.view;
}

function select(model, byUser = false) {
  if (byUser) follow = null; // the user's choice holds over the last picked
  const before = selected;
  selected = model;
  for (const m of [before, model]) if (m) updateItem(m);
  show(model);
  // A conversion the user cancelled runs again when its file is chosen.
  if (byUser && model.outcome && model.outcome.result === 'cancelled-by-user') {
    refresh(model, { urgent: true });
  }
}

// ------------------------------------------------------------- the panel ---

function withEnglish(text) {
  const fragment = document.createDocumentFragment();
  fragment.append(text);
  const meaning = english[text];
  if (meaning) fragment.append(' ', make('span', { className: 'english', lang: 'en', textContent: `(${meaning})` }));
  return fragment;
}

let panelFor = null; // the model whose panel is drawn, and its controls' kinds
let panelShape = '';

// The panel's fields hold the values in effect (the plug-in's proposals with
// the model's edits), as the converter reports them. Drawn anew for another
// model; for the same one the fields are set in place, so that the one
// being typed in keeps its text and the focus.
function renderPanel(model) {
  const panel = $('panel');
  const o = model && model.outcome;
  $('restore').disabled = !model || Object.keys(model.edits).length === 0;
  if (!o || !o.panel) {
    panelFor = null;
    panel.replaceChildren(make('p', { textContent: model && o ? t.noPanel : '' }));
    return;
  }
  const shape = JSON.stringify(o.panel.controls.map((c) => [c.kind, c.label, c.lines]));
  if (panelFor === model && panelShape === shape) {
    setPanelValues(o.panel);
    return;
  }
  panelFor = model;
  panelShape = shape;
  panel.replaceChildren(make('h3', { textContent: o.panel.title }));
  o.panel.controls.forEach((control) => {
    const id = `control-${control.number}`;
    const row = make('div', { className: `control ${control.kind}` });
    if (control.role) row.dataset.role = control.role;
    const edit = (value) => {
      if (!control.role) return;
      model.edits = { ...model.edits, [control.role]: value };
      times.edited = performance.now();
      $('restore').disabled = false;
      refresh(model, { urgent: true, edited: true });
    };
    if (control.kind === 'text') {
      if (control.label) row.append(make('span', { className: 'label' }, withEnglish(control.label)));
      for (const line of control.lines) row.append(make('p', {}, withEnglish(line)));
    } else if (control.kind === 'choice') {
      const group = make('fieldset', { id });
      group.append(make('legend', {}, withEnglish(control.label || '')));
      control.lines.forEach((item, i) => {
        const input = make('input', { type: 'radio', name: id, id: `${id}-${i}`, value: String(i) });
        input.addEventListener('change', () => edit(i));
        group.append(make('label', { htmlFor: `${id}-${i}` }, input, withEnglish(item)));
      });
      row.append(group);
    } else if (control.kind === 'bool') {
      const input = make('input', { type: 'checkbox', id });
      input.addEventListener('change', () => edit(input.checked ? 1 : 0));
      row.append(make('label', { htmlFor: id }, input, withEnglish(control.label || '')));
    } else if (control.kind === 'float' || control.kind === 'edit') {
      const input = make('input', { id, type: control.kind === 'float' ? 'number' : 'text' });
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
      row.append(make('label', { htmlFor: id }, withEnglish(control.label || '')), input);
    } else {
      row.append(make('span', { className: 'label' }, withEnglish(control.label || '')),
                 make('span', { className: 'value', textContent: String(control.text) }));
    }
    panel.append(row);
  });
  setPanelValues(o.panel);
}

function setPanelValues(panel) {
  for (const control of panel.controls) {
    const id = `control-${control.number}`;
    if (control.kind === 'choice') {
      control.lines.forEach((item, i) => { $(`${id}-${i}`).checked = control.value === i; });
    } else if (control.kind === 'bool') {
      $(id).checked = control.value !== 0;
    } else if (control.kind === 'float' || control.kind === 'edit') {
      const input = $(id);
      const value = control.kind === 'float' ? control.text : control.value;
      // The field being typed in keeps what is typed until it is changed.
      if (document.activeElement !== input || input.value === '') input.value = value;
    }
  }
}

// ------------------------------------------------------ view and outputs ---

const view = createView($('view'));
const gallery = createGallery($('gallery'), {
  open(model) {
    select(model, true);
    document.querySelector('.viewer').scrollIntoView({ block: 'nearest' });
  },
  view: viewOf,
  describe(model) {
    // The card: the plug-in's statistics line, the line itself as its title.
    const line = lineFor(model);
    const o = model.outcome;
    const stats = line.ok && o && o.result === 'loaded' ? `"${o.statistics ?? ''}"` : line.text;
    const placeholder = !line.ok ? line.text : !o ? t.waiting
      : o.counts.polygons === 0 ? t.noPolygons : '…';
    return { ok: line.ok, name: model.name, line: stats, title: `${model.path}: ${line.text}`,
             size: sizeText(model.dimensions, true), selected: model === selected, placeholder };
  },
  pictureDrawn: trimViews,
});
let shownView = null; // the arrays in the view

function show(model) {
  renderPanel(model);
  renderDownloads(model);
  $('view-title').textContent = model ? model.name : '';
  const line = model ? lineFor(model) : { ok: true, text: '' };
  const loaded = model && model.outcome && model.outcome.result === 'loaded';
  // A file that failed, or is still converting, shows its line where the
  // view would be.
  $('view-note').textContent = loaded ? '' : line.text;
  $('view-note').className = line.ok ? 'pending' : 'failed';
  document.querySelector('.viewer').classList.toggle('no-object', Boolean(model) && !loaded);
  $('dimensions').textContent = loaded ? sizeText(model.dimensions) : '';
  if (!loaded) {
    shownView = null;
    view.show(null);
    return;
  }
  if (model.view) {
    if (shownView !== model.view) {
      view.show(model.view);
      times.drawn = performance.now();
    }
    shownView = model.view;
    return;
  }
  // Its arrays were let go: converted again, the view empty meanwhile rather
  // than another model's under this name.
  shownView = null;
  view.show(null);
  viewOf(model).then((v) => {
    if (v && selected === model && shownView !== v) {
      shownView = v;
      view.show(v);
    }
  });
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
  if (selected) renderDownloads(selected);
}

// The model's files in `format`: { files } or, when they cannot be made,
// { reason } in the command line's words.
async function outputsOf(model, format) {
  if (model.outputs[format]) return { files: model.outputs[format] };
  const key = JSON.stringify(model.edits);
  const outcome = await convert(model, format, { urgent: true, warnings: false });
  if (outcome.result !== 'loaded') {
    return { reason: outcome.result === 'not-converted' ? `${t.notWritten}: ${outcome.reason}` : outcome.reason };
  }
  if (JSON.stringify(model.edits) === key) model.outputs[format] = outcome.files;
  return { files: outcome.files };
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
    const note = make('span', { className: 'download-note', role: 'status',
                                textContent: model.notes[f.name] || '' });
    note.id = `note-${f.name}`;
    if (!f.builtIn) {
      button.title = f.unavailable;
      button.textContent += ` (${t.notBuilt})`;
    }
    button.setAttribute('aria-describedby', note.id);
    button.addEventListener('click', async () => {
      const generation = model.generation;
      note.textContent = t.converting;
      const result = await outputsOf(model, f.name);
      if (model.generation === generation) model.notes[f.name] = result.reason || '';
      note.textContent = result.reason || '';
      if (result.files) for (const file of result.files) save(file.name, file.bytes);
    });
    box.append(make('span', { className: 'download' }, button, note));
  }
}

// Each model's entries in a zip, named as `ostrel --out-dir` names them; a
// model whose names another has taken already (the same base name from two
// folders) goes into a folder "2/", "3/", ... of its own, so that its OBJ
// still finds its material library.
function addEntries(entries, files) {
  let folder = '';
  for (let n = 2; files.some((f) => `${folder}${f.name}` in entries); n++) folder = `${n}/`;
  for (const file of files) entries[`${folder}${file.name}`] = file.bytes;
}

// What a zip left out and why, as its README.txt.
function leftOutNote(entries, leftOut) {
  if (leftOut.length) entries['README.txt'] = strToU8(`${t.leftOut}\r\n\r\n${leftOut.join('\r\n')}\r\n`);
}

// Every model's files; a model that failed or cannot be written in the
// format is named in README.txt with the reason.
async function zipAll(format) {
  const entries = {};
  const leftOut = [];
  for (const model of models) {
    const o = model.outcome;
    if (!o || o.result !== 'loaded') {
      leftOut.push(`${model.path}: ${o ? o.reason : t.waiting}`);
      continue;
    }
    const result = await outputsOf(model, format);
    if (result.files) addEntries(entries, result.files);
    else leftOut.push(`${model.path}: ${result.reason}`);
  }
  leftOutNote(entries, leftOut);
  return zipSync(entries, { level: 6 });
}

// A PNG per model, the gallery's picture, named after the model file.
async function zipPictures() {
  const entries = {};
  const leftOut = [];
  for (const model of models) {
    const o = model.outcome;
    let picture = null;
    if (o && o.result === 'loaded') picture = await gallery.picture(model);
    if (picture) {
      const name = `${model.name.replace(/\.[^.]*$/, '') || model.name}.png`;
      addEntries(entries, [{ name, bytes: new Uint8Array(await picture.arrayBuffer()) }]);
    } else {
      leftOut.push(`${model.path}: ${o ? o.reason || t.noPicture : t.waiting}`);
    }
  }
  leftOutNote(entries, leftOut);
  return zipSync(entries, { level: 0 }); // PNGs are compressed already
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

// Runs `work` with the button disabled and saying it is busy.
async function busyButton(button, work) {
  const text = button.textContent;
  button.disabled = true;
  button.textContent = `${text} (${t.converting}…)`;
  try {
    await work();
  } finally {
    button.textContent = text;
    button.disabled = false;
  }
}

function setUp() {
  document.title = t.title;
  for (const element of document.querySelectorAll('[data-text]')) {
    element.textContent = t[element.dataset.text];
  }
  // The worker starts now: it compiles the converter while the user chooses.
  startWorker();
  $('pick').addEventListener('change', (e) => { addFiles([...e.target.files]); e.target.value = ''; });
  $('pick-folder').addEventListener('change', (e) => { addFiles([...e.target.files]); e.target.value = ''; });
  $('cancel').addEventListener('click', cancel);
  $('restore').addEventListener('click', () => {
    if (!selected) return;
    selected.edits = {};
    $('restore').disabled = true;
    refresh(selected, { urgent: true, edited: true });
  });
  $('fit').addEventListener('click', () => view.fit());
  $('grid').addEventListener('change', (e) => view.setGrid(e.target.checked));
  $('axes').addEventListener('change', (e) => view.setAxes(e.target.checked));
  $('download-all').addEventListener('click', (e) => busyButton(e.currentTarget, async () => {
    const format = $('zip-format').value;
    save(`ostrel-${format}.zip`, await zipAll(format));
  }));
  $('save-pictures').addEventListener('click', (e) => busyButton(e.currentTarget, async () => {
    save('ostrel-pictures.zip', await zipPictures());
  }));
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
  show(null);
}

setUp();

// For the tests and for whoever scripts the page: the models (in name
// order) and their outcomes, and each output's bytes as the buttons save
// them.
window.ostrelPage = {
  language,
  models,
  selected: () => selected,
  busy: () => Boolean(pending) || queue.length > 0 || later.size > 0,
  picturesPending: () => gallery.pending(),
  async outputs(index, format) {
    const result = await outputsOf(models[index], format);
    return (result.files || []).map((f) => ({ name: f.name, bytes: Array.from(f.bytes) }));
  },
  async zip(format) { return Array.from(await zipAll(format)); },
  async pictures() { return Array.from(await zipPictures()); },
  viewStats: () => view.stats(),
  workerMemory: () => workerMemory,
  lastSeconds: () => lastSeconds,
  times: () => ({ ...times }),
  cancel,
};

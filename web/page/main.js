// The page: model files in (dropped anywhere, or picked), each converted in a
// worker by the plug-in's own code; one line per file in name order, the
// plug-in's panel for the file shown with the values in effect, the
// converted object in a 3D view, a gallery of pictures, the outputs to
// download. Nothing leaves the machine: the worker and the WebAssembly are
// inline, and the page's policy forbids every request.
import { $, language, make, t } from './dom.js';
import {
  busy, cancel, convert, memory, modelFilesOf, seconds, startWorker, times, viewSetup,
} from './converter.js';
import { renderPanel } from './panel.js';
import { outputsOf, renderDownloads, save, showFormats, zipAll, zipPictures } from './outputs.js';
import { listenForDrops } from './drop.js';
import { createView } from './view.js';
import { createGallery, pictureSize } from './gallery.js';

document.documentElement.lang = language;

// ------------------------------------------------------------- the models ---

// In name order, as a file manager lists them: numbers by their value.
const collator = new Intl.Collator(language, { numeric: true });
const byName = (a, b) => collator.compare(a.name, b.name) || collator.compare(a.path, b.path) ||
  a.serial - b.serial;
const models = [];
let selected = null;
let follow = null; // the model the view goes to when it converts: the last picked
let serial = 0;

// The converted objects' arrays are kept for the view up to this many bytes;
// past it, those of the models not in view are let go, and converted again
// when wanted. (Their pictures come with each conversion and are kept.)
const keepBytes = 256 * 1048576;
let keptBytes = 0;

const viewBytes = (v) => (v ? v.positions.byteLength + v.normals.byteLength +
  v.parts.reduce((n, p) => n + p.indices.byteLength, 0) : 0);

function keepView(model, view) {
  keptBytes += viewBytes(view) - viewBytes(model.view);
  model.view = view;
}

function trimViews() {
  for (const model of models) {
    if (keptBytes <= keepBytes) return;
    if (model.view && model !== selected) keepView(model, null);
  }
}

function countsText(c) {
  const parts = [t.points(c.points), t.polygons(c.polygons)];
  if (c.dropped) parts.push(t.dropped(c.dropped));
  parts.push(t.surfaces(c.surfaces));
  return parts.join(', ');
}

// The file's one line: name, then the statistics line and the counts, or
// what went wrong in the command line's words. A damaged file says so and
// why, apart from a sound file and from one that failed; shown as read, it
// still says so.
function lineFor(model) {
  const o = model.outcome;
  if (!o) return { ok: true, text: t.waiting };
  if (o.result === 'loaded') {
    const stats = o.statistics !== null ? `${t.statistics} "${o.statistics}"` : `${t.statistics} (none)`;
    let text = `${stats}; ${countsText(o.counts)} ${t.received}`;
    if (o.counts.polygons === 0) text += `; ${t.noPolygons}`;
    if (o.damage) return { ok: true, damaged: true, text: `${t.damaged}: ${o.damage} (${t.asRead}); ${text}` };
    return { ok: true, text };
  }
  return { ok: false, damaged: o.result === 'damaged', text: o.reason };
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
  item.className = line.damaged ? 'damaged' : line.ok ? 'ok' : 'failed';
  item.replaceChildren(button, make('span', { className: 'line', textContent: line.text }));
  // A damaged file is converted only when asked for what was read.
  if (line.damaged && !line.ok) {
    const salvage = make('button', { type: 'button', className: 'salvage', textContent: t.showAsRead });
    salvage.addEventListener('click', () => {
      model.salvage = true;
      select(model, true);
      refresh(model, { urgent: true });
    });
    item.append(salvage);
  }
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

// The files a folder stands for, as the command line takes a folder: the
// model files directly inside it, by the converter's rule (`paths`: each
// file's path inside the folder). All of them when the converter gave no
// answer. A folder with model files only in its sub-folders has them
// offered, as --recursive takes them.
async function folderFiles(files, paths) {
  const chosen = await modelFilesOf(paths);
  if (chosen && chosen.length === 0) {
    const deeper = await modelFilesOf(paths, true);
    if (deeper && deeper.length) offerSubfolders(deeper.map((i) => files[i]));
  }
  return chosen ? chosen.map((i) => files[i]) : files;
}

// The note that a chosen folder holds model files only in its sub-folders,
// with a button that adds them.
function offerSubfolders(files) {
  const add = make('button', { type: 'button', textContent: t.addSubfolders(files.length) });
  const note = make('p', { className: 'subfolders', textContent: `${t.onlyInSubfolders} ` }, add);
  add.addEventListener('click', () => {
    note.remove();
    addFiles(files);
  });
  $('models').before(note);
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

// Converts the model with its edits for the view: its line, panel, view,
// picture and card. An edit converts again at once, without the reader's
// warnings.
async function refresh(model, { urgent = false, edited = false } = {}) {
  const key = JSON.stringify(model.edits);
  const outcome = await convert(model, 'view', { urgent, warnings: !edited, pictureSize });
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
  // An object of no polygon keeps its card's line instead of an empty picture;
  // one with nothing to draw says so.
  model.picture = outcome.picture && outcome.counts.polygons > 0
    ? new Blob([outcome.picture], { type: 'image/png' }) : null;
  model.pictureNote = outcome.pictureNote ?? null;
  delete outcome.picture;
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

// The model's arrays for the view: kept, or converted again.
async function viewOf(model) {
  if (model.view) return model.view;
  if (!model.outcome || model.outcome.result !== 'loaded') return null;
  const key = JSON.stringify(model.edits);
  const generation = model.generation;
  const outcome = await convert(model, 'view', { urgent: model === selected, warnings: false,
                                                  pictureSize });
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

// ------------------------------------------------------ view and outputs ---

const view = createView($('view'));
const gallery = createGallery($('gallery'), {
  open(model) {
    select(model, true);
    document.querySelector('.viewer').scrollIntoView({ block: 'nearest' });
  },
  describe(model) {
    // The card: the plug-in's statistics line, the line itself as its title.
    const line = lineFor(model);
    const o = model.outcome;
    const stats = line.ok && o && o.result === 'loaded'
      ? (o.damage ? `${t.damaged}: ${o.damage}` : `"${o.statistics ?? ''}"`) : line.text;
    const placeholder = !line.ok ? line.text : !o ? t.waiting
      : o.counts.polygons === 0 ? t.noPolygons : model.pictureNote ?? '…';
    return { ok: line.ok, damaged: Boolean(line.damaged), name: model.name, line: stats,
             title: `${model.path}: ${line.text}`, size: sizeText(model.dimensions, true),
             selected: model === selected, placeholder };
  },
});
let shownView = null; // the arrays in the view

function show(model) {
  renderPanel(model, refresh);
  renderDownloads(model);
  $('view-title').textContent = model ? model.name : '';
  const line = model ? lineFor(model) : { ok: true, text: '' };
  const loaded = model && model.outcome && model.outcome.result === 'loaded';
  // A file that failed, or is still converting, shows its line where the
  // view would be.
  $('view-note').textContent = loaded ? '' : line.text;
  $('view-note').className = line.damaged ? 'damaged' : line.ok ? 'pending' : 'failed';
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

// -------------------------------------------------------------- setting up ---

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
  startWorker({
    ready() {
      view.setUp(viewSetup);
      showFormats(selected);
    },
    warningsRead: updateItem,
  });
  $('pick').addEventListener('change', (e) => { addFiles([...e.target.files]); e.target.value = ''; });
  $('pick-folder').addEventListener('change', async (e) => {
    const files = [...e.target.files];
    e.target.value = '';
    // The picked folder's own name leads each relative path.
    addFiles(await folderFiles(files, files.map((f) => f.webkitRelativePath.replace(/^[^/]*\//, ''))));
  });
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
    save(`ostrel-${format}.zip`, await zipAll(models, format));
  }));
  $('save-pictures').addEventListener('click', (e) => busyButton(e.currentTarget, async () => {
    save('ostrel-pictures.zip', await zipPictures(models, (m) => gallery.picture(m)));
  }));
  listenForDrops(addFiles, folderFiles);
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
  busy,
  async outputs(index, format) {
    const result = await outputsOf(models[index], format);
    return (result.files || []).map((f) => ({ name: f.name, bytes: Array.from(f.bytes) }));
  },
  async zip(format) { return Array.from(await zipAll(models, format)); },
  async pictures() { return Array.from(await zipPictures(models, (m) => gallery.picture(m))); },
  viewStats: () => view.stats(),
  // A folder as the pickers hand one over: its files and their paths in it.
  async addFolder(files, paths) { addFiles(await folderFiles(files, paths)); },
  workerMemory: memory,
  lastSeconds: seconds,
  times: () => ({ ...times }),
  cancel,
};

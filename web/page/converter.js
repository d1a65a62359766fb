// The converter's worker: one conversion at a time, what the user waits for
// first, each a promise of its outcome; cancel stops the worker mid-import
// and starts a fresh one; a conversion that takes a while shows its progress.
import workerSource from 'ostrel:worker-source';
import { $, t } from './dom.js';

const workerUrl = URL.createObjectURL(new Blob([workerSource], { type: 'text/javascript' }));
let worker = null;
// The formats the converter writes, as it reported them when ready.
export let formats = [];
// How the view lights and frames an object, as the converter's pictures do.
export let viewSetup = null;
let pending = null; // { id, resolve, reject, model }
const questions = new Map(); // id -> resolve, for the rulebook's answers
let nextId = 1;
const queue = [];
let failedStarts = 0; // workers that stopped before they were ready
let workerMemory = 0; // bytes of the converter's memory, as last reported
let lastSeconds = 0; // the last import's time in the worker
const later = new Map(); // id -> { model, outcome } whose warnings are still being read
// When the last conversion was asked for, read, converted, received, and
// its object drawn (performance.now(), for the benchmark).
export const times = {};
// ready(): the formats are known; warningsRead(model): its outcome's
// reader warnings arrived after the object was shown.
let hooks = { ready() {}, warningsRead() {} };

export function startWorker(withHooks = hooks) {
  hooks = withHooks;
  worker = new Worker(workerUrl);
  worker.onmessage = (event) => {
    const message = event.data;
    if (message.type === 'ready') {
      failedStarts = 0;
      formats = message.formats;
      viewSetup = message.setup;
      hooks.ready();
      return;
    }
    if (message.type === 'answer') {
      // A question for the rulebook (checkChoice, modelFilesOf).
      const asked = questions.get(message.id);
      questions.delete(message.id);
      if (asked) asked(message.answer);
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
        if (late.model.outcome === late.outcome) hooks.warningsRead(late.model);
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
  // Questions go unanswered with it: null, which the asker takes as no word.
  for (const asked of questions.values()) asked(null);
  questions.clear();
  startWorker();
}

// One conversion at a time, in order, what the user waits for (`urgent`:
// the file just picked, an edit, a download, the file chosen) before the
// rest of a folder; each a promise of the outcome. `warnings`: whether the
// reader's warnings are read as well (they do not change with the edits).
// `pictureSize`: the pixels of a png, or of the picture a "view" brings
// along (png's default when not given).
export function convert(model, format, { urgent = false, warnings = true, pictureSize = 0 } = {}) {
  return new Promise((resolve) => {
    const job = { model, format, warnings, urgent, pictureSize, resolve };
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
                       edits: job.model.edits, warnings: job.warnings, pictureSize: job.pictureSize,
                       salvage: job.model.salvage === true });
  showProgress(job.model);
}

// The rulebook's answers, asked of the converter in the worker (Binding.cpp),
// so that the page judges nothing itself. A question waits for an import
// under way.
function ask(question) {
  return new Promise((resolve) => {
    const id = nextId++;
    questions.set(id, resolve);
    worker.postMessage({ ...question, id });
  });
}

// Why the text typed for the control of `role` is refused, "" when taken
// (null: the worker gave no answer).
export const checkChoice = (role, text) => ask({ type: 'check', role, text });
// The indices of the model files a folder stands for, in order, from the
// paths of its files relative to it (`withSubfolders`: its sub-folders' too).
export const modelFilesOf = (paths, withSubfolders = false) =>
  ask({ type: 'folder', paths, withSubfolders });

// Cancel: the worker is stopped mid-import and a fresh one started; the
// file's line says so and what was waiting stays queued.
export function cancel() {
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

// Whether a conversion runs, waits, or has warnings still to come; a
// question for the rulebook still unanswered counts too, since its answer
// may start a conversion.
export const busy = () => Boolean(pending) || queue.length > 0 || later.size > 0 || questions.size > 0;
export const memory = () => workerMemory;
export const seconds = () => lastSeconds;

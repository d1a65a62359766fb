// The conversion worker. Its source is the WebAssembly converter's script
// (OstrelWasm, the module inline) followed by this file, made into a Blob by
// the page, so that it runs from file:// with no request. One message, one
// import through the plug-in (or one question for the rulebook, answered
// by the converter): the page never waits on it. For the view it
// hands back the object's arrays (format "view") and its picture,
// transferred, not copied; a file format's bytes are formed only for a
// download.
/* global OstrelWasm */
let converter = null;
// The worker starts with the page: the module compiles, and one small
// import runs (the engine compiles the WebAssembly's functions when they are
// first called), while the user is still choosing a file.
const ready = OstrelWasm().then((m) => {
  converter = m;
  m.convert(new TextEncoder().encode(self.warmUpModel || ''), 'warm-up.rk4', 'view', {});
  postMessage({ type: 'ready', formats: m.formats(), setup: m.viewSetup() });
});

// The last file's bytes: an edit or a download converts the same file
// again, and need not read it again while it is unchanged.
let last = null; // { name, size, modified, bytes }

async function bytesOf(file) {
  if (last && last.name === file.name && last.size === file.size && last.modified === file.lastModified) {
    return last.bytes;
  }
  last = null;
  const bytes = new Uint8Array(await file.arrayBuffer());
  last = { name: file.name, size: file.size, modified: file.lastModified, bytes };
  return bytes;
}

// The buffers an outcome carries, to transfer rather than copy.
function buffersOf(outcome) {
  const out = outcome.files.map((f) => f.bytes.buffer);
  const view = outcome.view;
  if (view) {
    out.push(view.positions.buffer, view.normals.buffer, ...view.parts.map((p) => p.indices.buffer));
    if (outcome.picture) out.push(outcome.picture.buffer);
  }
  return out;
}

// An outcome whose model was read: its reader's warnings say more.
const readable = (outcome) => outcome.result === 'loaded' || outcome.result === 'damaged';

onmessage = async (event) => {
  const { id, name, file, format, edits, warnings, pictureSize, salvage } = event.data;
  await ready;
  if (event.data.type === 'check') {
    postMessage({ type: 'answer', id, answer: converter.checkChoice(event.data.role, event.data.text) });
    return;
  }
  if (event.data.type === 'folder') {
    postMessage({ type: 'answer', id,
                  answer: converter.modelFiles(event.data.paths, event.data.withSubfolders === true) });
    return;
  }
  // The file is read here, off the page's thread: the page holds only its
  // handle (the file may have gone or changed since it was picked).
  let bytes;
  const received = performance.now();
  try {
    bytes = await bytesOf(file);
  } catch (error) {
    postMessage({ type: 'result', id, outcome: {
      result: 'cannot-read', reason: `cannot open or read (${error.message})`, files: [],
      counts: null, panel: null, statistics: null, warnings: [] } });
    return;
  }
  let outcome;
  const start = performance.now();
  // For the view, the reader's warnings come in a message of their own
  // after the object: the object is drawn while they are read.
  const warningsLater = format === 'view' && warnings !== false;
  try {
    outcome = converter.convert(bytes, name, format, edits, warnings !== false && !warningsLater,
                                pictureSize, salvage);
  } catch (error) {
    // The module's memory ran out or it stopped: a line, not a dead page.
    outcome = { result: 'failed', reason: String(error && error.message ? error.message : error),
                files: [], counts: null, panel: null, statistics: null, warnings: [] };
    postMessage({ type: 'result', id, outcome });
    close();
    return;
  }
  // The module's memory (it only grows): the peak of what the imports needed.
  const seconds = (performance.now() - start) / 1000;
  const reading = (start - received) / 1000;
  postMessage({ type: 'result', id, outcome, seconds, reading, memory: converter.HEAPU8.length,
                warningsLater: warningsLater && readable(outcome) },
              buffersOf(outcome));
  if (warningsLater && readable(outcome)) {
    let readWarnings = [];
    try {
      readWarnings = converter.readWarnings(bytes, name);
    } catch {
      // A failure here only loses the explanation, as on the command line.
    }
    postMessage({ type: 'warnings', id, readWarnings,
                  seconds: (performance.now() - start) / 1000 });
  }
};

// The conversion worker. Its source is the WebAssembly converter's script
// (OstrelWasm, the module inline) followed by this file, made into a Blob by
// the page, so that it runs from file:// with no request. One message, one
// import through the plug-in: the page never waits on it.
/* global OstrelWasm */
let converter = null;
const ready = OstrelWasm().then((m) => {
  converter = m;
  // One small import before the first real one: the engine compiles the
  // WebAssembly's functions when they are first called, so the user's first
  // file does not pay for it.
  m.convert(new TextEncoder().encode(self.warmUpModel || ''), 'warm-up.rk4', 'glb', {});
  postMessage({ type: 'ready', formats: m.formats() });
});

onmessage = async (event) => {
  const { id, name, file, format, edits } = event.data;
  await ready;
  // The file is read here, off the page's thread, each time: the page holds
  // only its handle (the file may have gone or changed since it was picked).
  let bytes;
  try {
    bytes = new Uint8Array(await file.arrayBuffer());
  } catch (error) {
    postMessage({ type: 'result', id, outcome: {
      result: 'cannot-read', reason: `cannot open or read (${error.message})`, files: [],
      counts: null, panel: null, statistics: null, warnings: [] } });
    return;
  }
  let outcome;
  const start = performance.now();
  try {
    outcome = converter.convert(bytes, name, format, edits);
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
  postMessage({ type: 'result', id, outcome, seconds, memory: converter.HEAPU8.length },
              outcome.files.map((f) => f.bytes.buffer));
};

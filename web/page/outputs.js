// The outputs: each model's files in a format, converted when first asked
// for and kept until the model changes; the download buttons; the zips of
// every model's files and of the gallery's pictures.
import { strToU8, zipSync } from 'fflate';
import { $, make, t } from './dom.js';
import { convert, formats } from './converter.js';

// The format list of the zip, and the chosen model's buttons, once the
// converter has said what it writes.
export function showFormats(selected) {
  const list = $('zip-format');
  list.replaceChildren();
  for (const f of formats) {
    const option = make('option', { value: f.name, disabled: !f.builtIn,
                                    textContent: f.builtIn ? f.name : `${f.name} (${t.notBuilt})` });
    if (!f.builtIn) option.title = f.unavailable;
    list.append(option);
  }
  list.value = 'glb';
  if (selected) renderDownloads(selected);
}

// The model's files in `format`: { files, solidLine } or, when they cannot
// be made, { reason } in the command line's words. `solidLine`: for the
// formats a slicer prints from, whether the object is a closed solid.
export async function outputsOf(model, format) {
  if (model.outputs[format]) return model.outputs[format];
  const key = JSON.stringify(model.edits);
  const outcome = await convert(model, format, { urgent: true, warnings: false });
  if (outcome.result !== 'loaded') {
    return { reason: outcome.result === 'not-converted' ? `${t.notWritten}: ${outcome.reason}` : outcome.reason };
  }
  const result = { files: outcome.files, solidLine: outcome.solidLine || '' };
  if (JSON.stringify(model.edits) === key) model.outputs[format] = result;
  return result;
}

export function save(name, bytes) {
  const url = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
  const a = make('a', { href: url, download: name });
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

export function renderDownloads(model) {
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
      const said = result.reason || result.solidLine || '';
      if (model.generation === generation) model.notes[f.name] = said;
      note.textContent = said;
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
// format is named in README.txt with the reason; for STL and 3MF,
// solids.txt holds each object's closed-solid line.
export async function zipAll(models, format) {
  const entries = {};
  const leftOut = [];
  const solidLines = [];
  for (const model of models) {
    const o = model.outcome;
    if (!o || o.result !== 'loaded') {
      leftOut.push(`${model.path}: ${o ? o.reason : t.waiting}`);
      continue;
    }
    const result = await outputsOf(model, format);
    if (result.files) addEntries(entries, result.files);
    else leftOut.push(`${model.path}: ${result.reason}`);
    if (result.solidLine) solidLines.push(`${model.path}: ${result.solidLine}`);
  }
  leftOutNote(entries, leftOut);
  // For a printing format, each object's word on whether it is a closed solid.
  if (solidLines.length) entries['solids.txt'] = strToU8(`${solidLines.join('\r\n')}\r\n`);
  return zipSync(entries, { level: 6 });
}

// A PNG per model, the gallery's picture (`picture(model)`, a promise of
// it or null), named after the model file.
export async function zipPictures(models, picture) {
  const entries = {};
  const leftOut = [];
  for (const model of models) {
    const o = model.outcome;
    let png = null;
    if (o && o.result === 'loaded') png = await picture(model);
    if (png) {
      const name = `${model.name.replace(/\.[^.]*$/, '') || model.name}.png`;
      addEntries(entries, [{ name, bytes: new Uint8Array(await png.arrayBuffer()) }]);
    } else {
      leftOut.push(`${model.path}: ${o ? o.reason || t.noPicture : t.waiting}`);
    }
  }
  leftOutNote(entries, leftOut);
  return zipSync(entries, { level: 0 }); // PNGs are compressed already
}

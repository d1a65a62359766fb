// The WebAssembly converter run in Node against the native `ostrel` on the
// same models: for every model and option set, each format's files (names
// and bytes) must be the ones `ostrel --out-dir` writes; for hostile input
// the page's line must be the one `ostrel` prints after "ostrel: ".
//
//   node web/test/node-outputs.mjs BUILD-WASM/ostrel-wasm.js BUILD/ostrel WORK MODEL...
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';
import { editsFromArguments, optionSets } from './option-sets.mjs';

const [wasmScript, ostrelArgument, work, ...models] = process.argv.slice(2);
const ostrel = path.resolve(ostrelArgument);
const OstrelWasm = createRequire(import.meta.url)(path.resolve(wasmScript));
const m = await OstrelWasm();

let passed = 0;
let failed = 0;
function check(what, ok, detail = '') {
  if (ok) {
    passed++;
  } else {
    failed++;
    console.log(`FAILED: ${what}${detail ? `: ${detail}` : ''}`);
  }
  return ok;
}

function sameBytes(a, b) {
  return a.length === b.length && Buffer.compare(Buffer.from(a), Buffer.from(b)) === 0;
}

// The model under its own name in a folder of its own, so that `ostrel`
// sees the same base name the page gets.
function stage(model, name) {
  const dir = fs.mkdtempSync(path.join(work, 'model-'));
  fs.copyFileSync(model, path.join(dir, name));
  return dir;
}

// A glb's JSON and its binary chunk.
function readGlb(bytes) {
  const b = Buffer.from(bytes);
  const jsonLength = b.readUInt32LE(12);
  const json = JSON.parse(b.subarray(20, 20 + jsonLength).toString('utf8'));
  const bin = b.subarray(20 + jsonLength + 8);
  return { json, bin };
}

// The bytes of an accessor's elements, widened to 32-bit indices when they
// are 16-bit ones.
function accessorBytes({ json, bin }, index) {
  const a = json.accessors[index];
  const v = json.bufferViews[a.bufferView];
  const size = { 5123: 2, 5125: 4, 5126: 4 }[a.componentType] * (a.type === 'VEC3' ? 3 : 1);
  const raw = bin.subarray(v.byteOffset ?? 0, (v.byteOffset ?? 0) + a.count * size);
  if (a.componentType !== 5123) return raw;
  return Buffer.from(Uint32Array.from(new Uint16Array(raw.buffer.slice(raw.byteOffset, raw.byteOffset + raw.length))).buffer);
}

const bytesOf = (typed) => Buffer.from(typed.buffer, typed.byteOffset, typed.byteLength);

// The view's arrays are the glb's: positions, normals, each primitive's
// indices, kind and material, and each material's colour and sides. And the
// panel the outcome reports holds the edits in effect.
function sameAsGlb(what, viewOutcome, glbBytes, edits) {
  const glb = readGlb(glbBytes);
  const view = viewOutcome.view;
  const primitives = glb.json.meshes?.[0]?.primitives ?? [];
  const problems = [];
  if (primitives.length !== view.parts.length) problems.push(`${primitives.length} primitives, ${view.parts.length} parts`);
  primitives.forEach((p, i) => {
    const part = view.parts[i];
    if (!part) return;
    const mode = { triangles: 4, lines: 1, points: 0 }[part.kind];
    if (p.mode !== mode || p.material !== part.surface) problems.push(`part ${i}: mode or material`);
    if (!accessorBytes(glb, p.indices).equals(bytesOf(part.indices))) problems.push(`part ${i}: indices`);
    const positions = accessorBytes(glb, p.attributes.POSITION);
    const vertices = part.kind === 'triangles' ? view.triangleVertices : view.positions.length / 3;
    if (!positions.equals(bytesOf(view.positions.subarray(0, vertices * 3)))) problems.push(`part ${i}: positions`);
    if (p.attributes.NORMAL !== undefined &&
        !accessorBytes(glb, p.attributes.NORMAL).equals(bytesOf(view.normals))) problems.push(`part ${i}: normals`);
  });
  (glb.json.materials ?? []).forEach((m, i) => {
    const v = view.materials[i];
    if (!v || JSON.stringify(m.pbrMetallicRoughness.baseColorFactor) !== JSON.stringify(v.colour) ||
        Boolean(m.doubleSided) !== v.doubleSided) problems.push(`material ${i}`);
  });
  for (const control of viewOutcome.panel?.controls ?? []) {
    if (control.role && control.role in edits && control.value !== edits[control.role]) {
      problems.push(`${control.role} shows ${control.value}, not ${edits[control.role]}`);
    }
  }
  check(`${what}: the view's arrays and panel are the glb's and the edits`, problems.length === 0,
        problems.join('; '));
}

// The command line's failure for a conversion, without what it says of the
// file it did not write: the reason the page's converter gives.
function failureLine(r) {
  const line = r.stderr.toString().split('\n').find((l) => !l.startsWith('ostrel: warning: '));
  return line.replace(/^(ostrel: [^:]*: )not written: [^:]*: /, '$1')
    .replace(/; \S+ not written \(--salvage writes what was read\)$/, '');
}

for (const model of models) {
  const name = path.basename(model);
  const bytes = fs.readFileSync(model);
  const dir = stage(model, name);
  for (const set of optionSets) {
    // 3mf: the printing formats' text numbers and deflate, and their closed-solid line.
    for (const format of ['lwo', 'obj', 'glb', 'png', '3mf']) {
      const out = fs.mkdtempSync(path.join(work, 'out-'));
      // The pictures at the size the page's gallery draws, its view's among them.
      const size = format === 'png' ? ['--size', '256'] : [];
      const r = spawnSync(ostrel, [name, '--out-dir', out, '--format', format, ...size, ...set.args],
                          { cwd: dir });
      const what = `${name} ${format} ${set.label}`;
      const outcome = m.convert(bytes, name, format, editsFromArguments(set.args), true, size.length ? 256 : 0);
      if (r.status !== 0) {
        // The failure's line, without what the command line says of the
        // file it did not write.
        const line = failureLine(r);
        check(`${what}: the same failure`, outcome.result !== 'loaded' &&
              line === `ostrel: ${name}: ${outcome.reason}`, `${line} / ${outcome.reason}`);
        continue;
      }
      const written = fs.readdirSync(out).sort();
      const names = outcome.files.map((f) => f.name).sort();
      check(`${what}: file names`, JSON.stringify(written) === JSON.stringify(names),
            `${written} / ${names}`);
      for (const f of outcome.files) {
        const native = path.join(out, f.name);
        check(`${what}: ${f.name} bytes`, fs.existsSync(native) &&
              sameBytes(fs.readFileSync(native), f.bytes));
      }
      if (format === 'glb') {
        const edits = editsFromArguments(set.args);
        sameAsGlb(what, m.convert(bytes, name, 'view', edits, false), outcome.files[0].bytes, edits);
      }
      if (format === '3mf') {
        const said = r.stdout.toString().split('\n')[1];
        check(`${what}: the closed-solid line`, said === `${name}: ${outcome.solidLine}`,
              `${said} / ${outcome.solidLine}`);
      }
      if (format === 'png') {
        const picture = m.convert(bytes, name, 'view', editsFromArguments(set.args), false, 256).picture;
        check(`${what}: the view's picture`, sameBytes(picture, outcome.files[0].bytes));
      }
      // The warnings, line for line as the command line words them.
      const nativeWarnings = r.stderr.toString().split('\n')
        .filter((l) => l.startsWith('ostrel: warning: '));
      const pageWarnings = [...outcome.warnings, ...outcome.readWarnings].map((l) => `ostrel: warning: ${l}`);
      check(`${what}: warnings`, JSON.stringify(nativeWarnings) === JSON.stringify(pageWarnings),
            `${nativeWarnings.join(' | ')} / ${pageWarnings.join(' | ')}`);
      if (format === 'glb') {
        // The same warnings read on their own, as the page reads them after the view.
        check(`${what}: warnings alone`, JSON.stringify(m.readWarnings(bytes, name)) ===
              JSON.stringify(outcome.readWarnings));
      }
      // The counts the command line names in its line.
      const stdout = r.stdout.toString();
      const c = outcome.counts;
      check(`${what}: counts`, stdout.includes(`${c.points} point`) &&
            stdout.includes(`${c.polygons} polygon`) && stdout.includes(`${c.surfaces} surface`),
            `${stdout.trim()} / ${JSON.stringify(c)}`);
    }
  }
  // The statistics line and the panel as --check shows the first.
  const checkLine = spawnSync(ostrel, [name, '--check'], { cwd: dir }).stdout.toString();
  const outcome = m.convert(bytes, name, '', {});
  check(`${name}: statistics`, outcome.statistics === null
    ? checkLine.includes('statistics (none)')
    : checkLine.includes(`statistics "${outcome.statistics}"`), `${checkLine.trim()}`);
}

// The cube's size, measured by the engine: 8 along each axis after the
// proposed scale of 8, 1 in the file's units; 0.5 across at a scale of 0.5.
{
  const cube = fs.readFileSync(models.find((p) => p.endsWith('cube.rk4')) ?? models[0]);
  const d = m.convert(cube, 'cube.rk4', 'view', {}).view.dimensions;
  check('cube: 8 by 8 by 8, 1 by 1 by 1 in the file', JSON.stringify(d) ===
        JSON.stringify({ size: [8, 8, 8], scale: 8, fileSize: [1, 1, 1] }), JSON.stringify(d));
  const halved = m.convert(cube, 'cube.rk4', 'view', { scale: '0.5' }).view.dimensions;
  check('cube at scale 0.5: 0.5 across, 1 in the file', JSON.stringify(halved) ===
        JSON.stringify({ size: [0.5, 0.5, 0.5], scale: 0.5, fileSize: [1, 1, 1] }), JSON.stringify(halved));
}

// The rulebook's cases (tests/rulebook/cases.json), as every front end
// answers them: here the page's converter, with the choices named as the
// page names them and its fields' text as typed.
{
  const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '..', '..');
  const table = JSON.parse(fs.readFileSync(path.join(root, 'tests', 'rulebook', 'cases.json'), 'utf8'));
  const read = (model) => (model ? fs.readFileSync(path.join(root, model)) : new Uint8Array(0));
  for (const c of table.cases) {
    const what = `rulebook: ${c.case}`;
    if (c.folder) {
      const chosen = m.modelFiles(c.folder, false).map((i) => c.folder[i]);
      check(what, JSON.stringify(chosen) === JSON.stringify(c.models), JSON.stringify(chosen));
      continue;
    }
    // A name as the page gets it: decoded, as a browser shows a file's name.
    const name = c.name ? new TextDecoder('shift_jis').decode(Buffer.from(c.name, 'hex'))
      : path.basename(c.model || 'empty.rk4');
    const edits = {};
    if (c.edit) {
      const [choice, text, times = 1] = c.edit;
      edits[choice] = text.repeat(times);
      check(`${what}: the field's answer`, m.checkChoice(choice, edits[choice]) === c.fails.replaceAll('{option}', choice),
            m.checkChoice(choice, edits[choice]));
    }
    const o = m.convert(read(c.model), name, 'obj', edits);
    if (c.fails) {
      const said = c.fails.replaceAll('{option}', c.edit ? c.edit[0] : '');
      check(what, o.result !== 'loaded' && o.reason === said, `${o.result}: ${o.reason}`);
    } else if (c.warns) {
      check(what, o.result === 'loaded' && o.warnings.includes(c.warns.replace('{model}', name)),
            JSON.stringify(o.warnings));
    } else if (c.surface) {
      const obj = o.files.filter((f) => f.name.endsWith('.obj'))
        .map((f) => Buffer.from(f.bytes).toString('utf8')).join('');
      check(what, obj.split(/\r?\n/).includes(`usemtl ${c.surface}`), `${name}: ${o.reason}`);
    }
  }
}

// Surface names given as Shift-JIS bytes: decoded alike into the formats
// read as UTF-8 (this build has its own table for them), whatever the
// character: the Windows extensions (NEC, IBM), the user-defined area, the
// characters older tables map elsewhere, and bytes that start none.
const shiftJis = ['8160', '815f', '817c', '8191', '81ca', '82a0', '8740', '8754', '879a', '889f',
  '9872', 'e040', 'eaa4', 'ed40', 'eefc', 'f040', 'f9fc', 'fa40', 'fa55', 'fc4b', '8540', '81',
  'a0', 'a1', 'df', 'fd', '80', 'ff', '5c7e'];
{
  const cube = models.find((p) => p.endsWith('cube.rk4')) ?? models[0];
  const bytes = fs.readFileSync(cube);
  const dir = stage(cube, 'cube.rk4');
  for (const hex of shiftJis) {
    const name = Buffer.from(`${hex}41`, 'hex'); // and an "A", so that a lone lead byte has a trail
    const octal = [...name].map((b) => `\\${b.toString(8).padStart(3, '0')}`).join('');
    for (const format of ['obj', 'glb']) {
      const out = fs.mkdtempSync(path.join(work, 'name-'));
      const r = spawnSync('sh', ['-c', `exec "$0" cube.rk4 --out-dir "$1" --format ${format} --name "$(printf '${octal}')"`,
                                 ostrel, out], { cwd: dir });
      const outcome = m.convert(bytes, 'cube.rk4', format, { name });
      const what = `name ${hex} in ${format}`;
      if (!check(`${what}: converted`, r.status === 0 && outcome.result === 'loaded', r.stderr.toString())) continue;
      for (const f of outcome.files) {
        check(`${what}: ${f.name} bytes`, sameBytes(fs.readFileSync(path.join(out, f.name)), f.bytes));
      }
    }
  }
}

// Hostile input: the same one line as the command line, and the page's
// converter still answers after it.
const cube = fs.readFileSync(models.find((p) => p.endsWith('cube.rk4')) ?? models[0]);
const hostile = [
  ['empty.rk4', new Uint8Array(0)],
  ['not-a-model.txt', Buffer.from('solid cube\nfacet normal 0 0 1\n')],
  ['binary.rk4', Uint8Array.from({ length: 4096 }, (_, i) => (i * 7919) & 255)],
  ['truncated.rk4', cube.subarray(0, Math.floor(cube.length / 2))],
  ['header-only.rk4', Buffer.from('ROKU4\r\n')],
];
for (const [name, bytes] of hostile) {
  const dir = fs.mkdtempSync(path.join(work, 'hostile-'));
  fs.writeFileSync(path.join(dir, name), bytes);
  const out = path.join(dir, 'out');
  const r = spawnSync(ostrel, [name, '--out-dir', out, '--format', 'glb'], { cwd: dir });
  const outcome = m.convert(bytes, name, 'glb', {});
  if (r.status === 0) {
    check(`${name}: loaded as by ostrel`, outcome.result === 'loaded', outcome.reason);
    const written = fs.readdirSync(out);
    check(`${name}: same bytes`, written.length === 1 && outcome.files.length === 1 &&
          sameBytes(fs.readFileSync(path.join(out, written[0])), outcome.files[0].bytes));
  } else {
    const line = failureLine(r);
    check(`${name}: the same line`, line === `ostrel: ${name}: ${outcome.reason}`,
          `${line} / ${outcome.reason}`);
  }
}
check('answers after hostile input', m.convert(cube, 'cube.rk4', 'glb', {}).result === 'loaded');
const fbx = m.formats().find((f) => f.name === 'fbx');
check('FBX named as not in this build', fbx && !fbx.builtIn && /FBX/.test(fbx.unavailable));

console.log(`web converter in Node: ${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);

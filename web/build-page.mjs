// Builds the one file ostrel.html: the page's script with three.js and
// fflate bundled by esbuild, the worker's source (the WebAssembly converter's
// script, module inline, then web/page/worker.js) as a string inside it, and
// the styles, all inline, so that the page opens from disk with no request.
//
//   node web/build-page.mjs BUILD-WASM/ostrel-wasm.js OUT/ostrel.html
import * as esbuild from 'esbuild';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const [wasmScript, output] = process.argv.slice(2);
if (!wasmScript || !output) {
  console.error('usage: node web/build-page.mjs BUILD-WASM/ostrel-wasm.js OUT/ostrel.html');
  process.exit(64);
}
const page = (name) => fs.readFileSync(path.join(here, 'page', name), 'utf8');
// The worker's warm-up model: the bundled cube.
const warmUp = fs.readFileSync(path.join(here, '..', 'examples', 'cube.rk4'), 'latin1');
const workerSource = `${fs.readFileSync(wasmScript, 'utf8')}\nself.warmUpModel = ${
  JSON.stringify(warmUp)};\n${page('worker.js')}`;

const inline = {
  name: 'worker-source',
  setup(build) {
    build.onResolve({ filter: /^ostrel:worker-source$/ }, (args) => ({ path: args.path, namespace: 'ostrel' }));
    build.onLoad({ filter: /.*/, namespace: 'ostrel' },
                 () => ({ contents: `export default ${JSON.stringify(workerSource)};`, loader: 'js' }));
  },
};
const result = await esbuild.build({
  entryPoints: [path.join(here, 'page', 'main.js')],
  bundle: true,
  format: 'iife',
  minify: true,
  target: ['chrome100', 'firefox100', 'safari15'],
  legalComments: 'none',
  write: false,
  plugins: [inline],
  logLevel: 'warning',
});
const script = result.outputFiles[0].text;
// Inline, the script must not end its own element.
if (/<\/script/i.test(script)) {
  console.error('the bundled script holds "</script": it cannot be inlined');
  process.exit(1);
}
// The licences of what the page carries built in, as a comment at its end.
const licences = [
  ['three.js', path.join(here, 'node_modules/three/LICENSE')],
  ['fflate', path.join(here, 'node_modules/fflate/LICENSE')],
  ['the Emscripten runtime', '/usr/share/doc/emscripten/copyright'],
  ['nlohmann-json', '/usr/share/doc/nlohmann-json3-dev/copyright'],
].filter(([, file]) => fs.existsSync(file))
  .map(([name, file]) => `Built into this page: ${name}, whose licence reads:\n\n${
    fs.readFileSync(file, 'utf8').replaceAll('--', '- -')}`);
const html = page('index.html')
  .replace('/*STYLE*/', () => page('style.css'))
  .replace('/*SCRIPT*/', () => script) + `<!--\n${licences.join('\n\n')}\n-->\n`;
fs.mkdirSync(path.dirname(path.resolve(output)), { recursive: true });
fs.writeFileSync(output, html);
console.log(`${output}: ${(html.length / 1e6).toFixed(2)} MB`);

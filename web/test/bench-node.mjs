// The WebAssembly converter's time for one model to glb in Node, the module
// started once: prints the best of RUNS in seconds; writes the glb.
//   node web/test/bench-node.mjs OSTREL-WASM.js MODEL RUNS OUT.glb
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';

const [script, model, runs, out] = process.argv.slice(2);
const m = await createRequire(import.meta.url)(path.resolve(script))();
const bytes = fs.readFileSync(model);
let best = Infinity;
let outcome = null;
for (let i = 0; i < Number(runs); i++) {
  const start = performance.now();
  outcome = m.convert(bytes, path.basename(model), 'glb', {});
  best = Math.min(best, (performance.now() - start) / 1000);
}
if (outcome.result !== 'loaded') throw new Error(outcome.reason);
fs.writeFileSync(out, outcome.files[0].bytes);
console.log(best.toFixed(3));

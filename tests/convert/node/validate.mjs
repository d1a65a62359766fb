// Validates glTF files (binary .glb or JSON .gltf) with the Khronos validator; prints one line
// per file and exits non-zero when any file has an error.
//   node validate.mjs FILE.glb|FILE.gltf...
import { readFile } from 'node:fs/promises';
import validator from 'gltf-validator';

let failed = 0;
for (const path of process.argv.slice(2)) {
  const data = new Uint8Array(await readFile(path));
  const report = await validator.validateBytes(data, { maxIssues: 100 });
  const { numErrors, numWarnings, numInfos, messages } = report.issues;
  console.log(`${path}: ${numErrors} errors, ${numWarnings} warnings, ${numInfos} infos`);
  for (const m of messages) {
    if (m.severity <= 1) console.log(`  ${m.code} ${m.pointer ?? ''}: ${m.message}`);
  }
  if (numErrors > 0) failed += 1;
}
process.exit(failed ? 1 : 0);

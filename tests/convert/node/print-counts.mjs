// Reads STL, PLY and 3MF files with assimp (built to WebAssembly) and prints,
// per file, "PATH faces F triangles T": the faces of three corners or more
// and the triangles they make (a face of n corners makes n - 2). Exits
// non-zero when a file cannot be read.
//   node print-counts.mjs FILE...
import { readFile } from 'node:fs/promises';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const ajs = await require('assimpjs')();

let failed = 0;
for (const path of process.argv.slice(2)) {
  const files = new ajs.FileList();
  files.AddFile(path.split('/').pop(), new Uint8Array(await readFile(path)));
  const result = ajs.ConvertFileList(files, 'assjson');
  if (!result.IsSuccess() || result.FileCount() === 0) {
    console.log(`${path}: not read (${result.GetErrorCode()})`);
    failed += 1;
    continue;
  }
  const scene = JSON.parse(new TextDecoder().decode(result.GetFile(0).GetContent()));
  let faces = 0;
  let triangles = 0;
  for (const mesh of scene.meshes ?? []) {
    for (const face of mesh.faces ?? []) {
      if (face.length < 3) continue;
      faces += 1;
      triangles += face.length - 2;
    }
  }
  console.log(`${path} faces ${faces} triangles ${triangles}`);
}
process.exit(failed ? 1 : 0);

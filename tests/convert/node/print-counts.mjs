// Reads STL, PLY and 3MF files with assimp (built to WebAssembly) and prints,
// per file, "PATH faces F triangles T": the faces of three corners or more
// and the triangles they make (a face of n corners makes n - 2). Exits
// non-zero when a file cannot be read.
//   node print-counts.mjs FILE...
import { tellEachScene } from './assimp-scenes.mjs';

await tellEachScene(process.argv.slice(2), (path, scene) => {
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
});

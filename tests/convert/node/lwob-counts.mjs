// Reads LWOB files with assimp (built to WebAssembly) and prints, per file,
// "PATH points P triangles T surfaces S": the distinct points of the meshes,
// their faces of three corners, and the materials the meshes use. Exits
// non-zero when a file cannot be read.
//   node lwob-counts.mjs FILE.lwo...
import { tellEachScene } from './assimp-scenes.mjs';

await tellEachScene(process.argv.slice(2), (path, scene) => {
  const points = new Set();
  const materials = new Set();
  let triangles = 0;
  for (const mesh of scene.meshes ?? []) {
    const v = mesh.vertices;
    for (let i = 0; i < v.length; i += 3) points.add(`${v[i]} ${v[i + 1]} ${v[i + 2]}`);
    triangles += (mesh.faces ?? []).filter((f) => f.length === 3).length;
    materials.add(mesh.materialindex);
  }
  console.log(`${path} points ${points.size} triangles ${triangles} surfaces ${materials.size}`);
});

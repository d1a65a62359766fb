// Reads model files with assimp (built to WebAssembly), each as its JSON
// scene, for the scripts that count what a reader sees.
import { readFile } from 'node:fs/promises';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const ajs = await require('assimpjs')();

// Calls `tell(path, scene)` for each file of `paths`; a file assimp cannot
// read is printed as "PATH: not read (CODE)". Exits non-zero when any was.
export async function tellEachScene(paths, tell) {
  let failed = 0;
  for (const path of paths) {
    const files = new ajs.FileList();
    files.AddFile(path.split('/').pop(), new Uint8Array(await readFile(path)));
    const result = ajs.ConvertFileList(files, 'assjson');
    if (!result.IsSuccess() || result.FileCount() === 0) {
      console.log(`${path}: not read (${result.GetErrorCode()})`);
      failed += 1;
      continue;
    }
    tell(path, JSON.parse(new TextDecoder().decode(result.GetFile(0).GetContent())));
  }
  process.exit(failed ? 1 : 0);
}

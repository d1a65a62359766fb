// Files dropped anywhere on the page, folders and all: a file dropped is
// taken as it is, a folder stands for the files `folderFiles` picks of it.

// Every file under a dropped folder, depth first, with its path inside it.
async function filesOfEntry(entry, path = '') {
  if (entry.isFile) return [{ file: await new Promise((resolve, reject) => entry.file(resolve, reject)), path }];
  if (!entry.isDirectory) return [];
  const reader = entry.createReader();
  const out = [];
  for (;;) {
    const batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
    if (batch.length === 0) break;
    for (const child of batch) out.push(...await filesOfEntry(child, path ? `${path}/${child.name}` : child.name));
  }
  return out;
}

async function droppedFiles(dataTransfer, folderFiles) {
  const entries = [...(dataTransfer.items || [])]
    .map((item) => (item.webkitGetAsEntry ? item.webkitGetAsEntry() : null));
  if (entries.length && entries.every((e) => e)) {
    const files = [];
    for (const entry of entries) {
      const found = await filesOfEntry(entry);
      if (entry.isFile) files.push(...found.map((f) => f.file));
      else files.push(...await folderFiles(found.map((f) => f.file), found.map((f) => f.path)));
    }
    return files;
  }
  return [...dataTransfer.files];
}

// A drop anywhere on the page hands its files to `addFiles` (a folder's as
// `folderFiles(files, paths)` picks them); while files are dragged over it,
// the page says it takes them.
export function listenForDrops(addFiles, folderFiles) {
  let depth = 0;
  document.addEventListener('dragenter', (e) => { e.preventDefault(); depth++; document.body.classList.add('dragging'); });
  document.addEventListener('dragleave', () => { if (--depth <= 0) { depth = 0; document.body.classList.remove('dragging'); } });
  document.addEventListener('dragover', (e) => e.preventDefault());
  document.addEventListener('drop', async (e) => {
    e.preventDefault();
    depth = 0;
    document.body.classList.remove('dragging');
    addFiles(await droppedFiles(e.dataTransfer, folderFiles));
  });
}

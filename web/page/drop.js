// Files dropped anywhere on the page, folders and all.

// Every file under a dropped folder, depth first.
async function filesOfEntry(entry) {
  if (entry.isFile) return [await new Promise((resolve, reject) => entry.file(resolve, reject))];
  if (!entry.isDirectory) return [];
  const reader = entry.createReader();
  const out = [];
  for (;;) {
    const batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
    if (batch.length === 0) break;
    for (const child of batch) out.push(...await filesOfEntry(child));
  }
  return out;
}

async function droppedFiles(dataTransfer) {
  const entries = [...(dataTransfer.items || [])]
    .map((item) => (item.webkitGetAsEntry ? item.webkitGetAsEntry() : null));
  if (entries.length && entries.every((e) => e)) {
    const files = [];
    for (const entry of entries) files.push(...await filesOfEntry(entry));
    return files;
  }
  return [...dataTransfer.files];
}

// A drop anywhere on the page hands its files to `addFiles`; while files
// are dragged over it, the page says it takes them.
export function listenForDrops(addFiles) {
  let depth = 0;
  document.addEventListener('dragenter', (e) => { e.preventDefault(); depth++; document.body.classList.add('dragging'); });
  document.addEventListener('dragleave', () => { if (--depth <= 0) { depth = 0; document.body.classList.remove('dragging'); } });
  document.addEventListener('dragover', (e) => e.preventDefault());
  document.addEventListener('drop', async (e) => {
    e.preventDefault();
    depth = 0;
    document.body.classList.remove('dragging');
    addFiles(await droppedFiles(e.dataTransfer));
  });
}

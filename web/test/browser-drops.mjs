// The page in a real browser, dropped models: dropped files give the
// command line's lines, and a failure takes the view's place; hostile input
// leaves the page answering; cancel stops a long conversion; a folder
// becomes a gallery of pictures, in name order, each opening its model.
//
//   node web/test/browser-drops.mjs PAGE.html BUILD/ostrel WORK MODEL... [--big BIG.rk4]
//     [--folder DIR] [--screenshots DIR]
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { unzipSync } from 'fflate';
import {
  big, check, choose, dropFiles, expectedLine, finish, folder, inNameOrder, lines, models, native,
  openPage, ostrel, pickFiles, sameFiles, screenshots, selectedName, settled, work,
} from './page-harness.mjs';

// ---- dropped models and hostile input; cancel

{
  const { page, requests, errors } = await openPage(null);
  const cube = fs.readFileSync(models[0]);
  const hostile = [
    ['empty.rk4', Buffer.alloc(0)],
    ['not-a-model.txt', Buffer.from('solid cube\nfacet normal 0 0 1\n')],
    ['truncated.rk4', cube.subarray(0, Math.floor(cube.length / 2))],
  ];
  const files = hostile.map(([name, bytes]) => {
    const file = path.join(work, name);
    fs.writeFileSync(file, bytes);
    return file;
  });
  const spiral = models.find((m) => /spiral/.test(m));
  if (spiral) files.push(spiral);
  files.push(models[0]);
  // A first file that fails (the list's first by name is empty.rk4 here, the
  // view goes to the last, truncated.rk4, which loads with warnings).
  await dropFiles(page, files);
  await settled(page, files.length);
  const shown = await lines(page);
  const lineOf = (list, name, nth = 0) => list.filter((l) => l.name === name)[nth]?.line;
  for (const file of files) {
    const expected = expectedLine(file);
    const line = lineOf(shown, path.basename(file));
    check(`dropped ${path.basename(file)}: line`, line === expected, `${line} / ${expected}`);
  }
  check('dropped: the view shows the last by name', await selectedName(page) === 'truncated.rk4',
        await selectedName(page));
  // A failure: its line where the view would be, and a card with its line.
  await choose(page, 'empty.rk4');
  const failure = await page.evaluate(() => ({
    note: document.getElementById('view-note').textContent,
    noteShown: document.getElementById('view-note').offsetHeight > 0,
    viewShown: document.getElementById('view').offsetHeight > 0,
    card: [...document.querySelectorAll('#gallery .card.failed')].map((c) => c.textContent),
  }));
  const emptyLine = expectedLine(files[0]);
  check('a failure shows its line in the view\'s place', failure.note === emptyLine &&
        failure.noteShown && !failure.viewShown, JSON.stringify(failure));
  check('a failure\'s card shows its line', failure.card.some((c) => c.includes(emptyLine) &&
        c.includes('empty.rk4')), JSON.stringify(failure.card));
  // The truncated cube's warnings, as the command line gives them.
  {
    const file = files.find((f) => f.endsWith('truncated.rk4'));
    const r = spawnSync(ostrel, [path.basename(file), '--check'], { cwd: path.dirname(file) });
    const nativeWarnings = r.stderr.toString().split('\n').filter((l) => l.startsWith('ostrel: warning: '))
      .map((l) => l.slice('ostrel: warning: '.length));
    const shownWarnings = await page.evaluate(() => [...[...document.querySelectorAll('#models li')]
      .find((li) => li.querySelector('.model-name').textContent === 'truncated.rk4')
      .querySelectorAll('.warnings > div')].map((d) => d.textContent));
    check('truncated model: warnings shown as ostrel words them', nativeWarnings.length > 0 &&
          JSON.stringify(shownWarnings) === JSON.stringify(nativeWarnings),
          `${shownWarnings.join(' | ')} / ${nativeWarnings.join(' | ')}`);
  }
  // The truncated cube is damaged: its line and card say so, apart from a
  // failure; the view shows what was read when asked.
  {
    const damaged = () => page.evaluate(() => ({
      item: [...document.querySelectorAll('#models li.damaged .model-name')].map((b) => b.textContent),
      card: [...document.querySelectorAll('#gallery .card.damaged .card-name')].map((c) => c.textContent),
    }));
    const before = await damaged();
    check('a damaged file: its line and card say so', before.item.includes('truncated.rk4') &&
          before.card.includes('truncated.rk4') && lineOf(shown, 'truncated.rk4').startsWith('damaged: '),
          JSON.stringify(before));
    await page.evaluate(() => [...document.querySelectorAll('#models li')]
      .find((li) => li.querySelector('.model-name').textContent === 'truncated.rk4')
      .querySelector('.salvage').click());
    await page.waitForFunction(() => window.ostrelPage.models.find((m) => m.name === 'truncated.rk4')
      .outcome?.result === 'loaded', { timeout: 30000 });
    await settled(page, files.length);
    const after = lineOf(await lines(page), 'truncated.rk4');
    check('a damaged file shown as read still says so', after.startsWith('damaged: ') &&
          after.includes('(shown as read)') && (await damaged()).item.includes('truncated.rk4'), after);
  }
  // A folder with model files only in its sub-folders offers them.
  {
    const offered = await page.evaluate(async (text) => {
      const file = (name) => new File([text], name);
      await window.ostrelPage.addFolder([file('x.rk4'), file('notes.txt'), file('y.rk4')],
                                        ['a/x.rk4', 'notes.txt', 'b/c/y.rk4']);
      const note = document.querySelector('p.subfolders');
      if (!note) return null;
      const before = window.ostrelPage.models.length;
      note.querySelector('button').click();
      return { text: note.textContent, added: window.ostrelPage.models.length - before };
    }, cube.toString('latin1'));
    check('a folder with models only in sub-folders offers them', offered !== null &&
          offered.added === 2 && /sub-folders/.test(offered.text), JSON.stringify(offered));
    await settled(page, files.length + 2);
  }
  // A second pick takes the view.
  await pickFiles(page, [spiral ?? models[0]]);
  await settled(page, files.length + 3);
  check('a file picked later takes the view', await page.evaluate(() => {
    const { models: all, selected } = window.ostrelPage;
    return selected() === all.reduce((a, b) => (b.serial > a.serial ? b : a));
  }));
  if (big) {
    // A long conversion: the page answers while it runs, and cancel stops it.
    // The big file's conversion is held back from the worker until it is
    // cancelled, so that it runs as long as the test needs, however fast or
    // loaded the machine is.
    const count = files.length + 3;
    const name = path.basename(big);
    await page.evaluate((held) => {
      const post = Worker.prototype.postMessage;
      Worker.prototype.postMessage = function (message, ...rest) {
        if (message && message.name === held) return undefined;
        return post.call(this, message, ...rest);
      };
      window.releaseHeldConversions = () => { Worker.prototype.postMessage = post; };
    }, name);
    await pickFiles(page, [big]);
    // Once the page says it is converting: its own thread answers (it lists
    // the file), and the cancel button is pressed.
    const answer = await page.waitForFunction(() => {
      if (document.getElementById('progress').hidden) return false;
      const listed = document.querySelectorAll('#models li').length;
      document.getElementById('cancel').click();
      return listed;
    }, { timeout: 60000, polling: 10 });
    const listed = await answer.jsonValue();
    await page.evaluate(() => window.releaseHeldConversions());
    check('page answers while converting', listed === count + 1, String(listed));
    await settled(page, count + 1);
    check('cancel stops the conversion', lineOf(await lines(page), name) === 'cancelled',
          lineOf(await lines(page), name));
    await dropFiles(page, [models[0]]);
    await settled(page, count + 2);
    const cubes = (await lines(page)).filter((l) => l.name === path.basename(models[0]));
    check('converts again after cancel', cubes.length === 2 &&
          cubes.every((l) => l.line === expectedLine(models[0])), JSON.stringify(cubes));
    // Choosing the cancelled file converts it again.
    await choose(page, name);
    await settled(page, count + 2);
    check('a cancelled file converts when chosen', lineOf(await lines(page), name) === expectedLine(big));
  }
  check('no request after load (drops)', requests.length === 0, requests.join(', '));
  check('no script error (drops)', errors.length === 0, errors.join(' | '));
  await page.close();
}

// ---- a folder as a gallery

// The pictures of the gallery's cards: for each, how many pixels show the
// object (not transparent) and a fingerprint of them.
const pictures = (page) => page.evaluate(async () => {
  const out = [];
  for (const card of document.querySelectorAll('#gallery .card')) {
    const img = card.querySelector('img');
    if (!img) { out.push(null); continue; }
    await img.decode();
    const c = Object.assign(document.createElement('canvas'), { width: img.naturalWidth, height: img.naturalHeight });
    const g = c.getContext('2d');
    g.drawImage(img, 0, 0);
    const data = g.getImageData(0, 0, c.width, c.height).data;
    let object = 0;
    let hash = 2166136261;
    for (let i = 0; i < data.length; i += 4) {
      if (data[i + 3] > 0) object++;
      hash = Math.imul(hash ^ (data[i] + 3 * data[i + 1] + 7 * data[i + 2] + 11 * data[i + 3]), 16777619);
    }
    out.push({ object, hash });
  }
  return out;
});

if (folder) {
  const { page, errors } = await openPage(null);
  const files = fs.readdirSync(folder).sort().map((f) => path.join(folder, f));
  await pickFiles(page, files);
  await settled(page, files.length);
  check('a folder: a card per model', await page.$$eval('#gallery .card', (c) => c.length) === files.length);
  check('gallery: every card drawn', await page.$$eval('#gallery .card:not(.failed)',
    (cards) => cards.every((c) => c.querySelector('img'))));
  const drawn = await pictures(page);
  const hashes = new Set(drawn.map((d) => d && d.hash));
  check('gallery: pictures show an object', drawn.every((d) => d && d.object > 200),
        drawn.map((d) => d && d.object).join(' '));
  check('gallery: pictures differ from each other', hashes.size === files.length, `${hashes.size} different`);
  const names = await page.$$eval('#gallery .card-name', (n) => n.map((e) => e.textContent));
  check('gallery: cards in name order, with their size', inNameOrder(names) &&
        (await page.$$eval('#gallery .card-size', (n) => n.length)) === files.length, names.join(', '));
  // Opened by a click, and by the keyboard.
  await page.evaluate(() => window.scrollTo(0, 0));
  await page.click('#gallery .card:nth-child(2) button');
  check('a card opens its model', await selectedName(page) === names[1] &&
        await page.$eval('#view-title', (e) => e.textContent) === names[1], await selectedName(page));
  await page.focus('#gallery .card:nth-child(5) button');
  await page.keyboard.press('Enter');
  check('a card opens from the keyboard', await selectedName(page) === names[4], await selectedName(page));
  await page.waitForFunction(() => window.ostrelPage.viewStats().meshes > 0, { timeout: 30000 });
  // Save pictures: the cards' pictures, each the bytes ostrel draws at their size.
  const zip = unzipSync(Uint8Array.from(await page.evaluate(() => window.ostrelPage.pictures())));
  const expected = {};
  for (const file of files) Object.assign(expected, native(file, 'png', ['--size', '256']).files);
  sameFiles('Save pictures: ostrel -o NAME.png --size 256', zip, { files: expected });
  if (screenshots) {
    await page.evaluate(() => document.getElementById('gallery-section').scrollIntoView());
    await page.screenshot({ path: path.join(screenshots, 'web-gallery.png') });
  }
  check('no script error (gallery)', errors.length === 0, errors.join(' | '));
  await page.close();
}

await finish('drops and the gallery');

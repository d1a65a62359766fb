// The page in a real browser, picked models: Debian's chromium, headless,
// WebGL in software, ostrel.html opened from file://. Models picked give the
// command line's statistics, counts and failure lines, listed in name order;
// the view follows the file picked last; the panel shows the plug-in's
// controls and proposals, and after an edit the values in effect, per model;
// the view draws the surfaces' colours and shows the object's size; every
// download is the native ostrel's bytes (proposed and edited options, and the
// zip), and one that cannot be made says why; no request leaves the page
// after it has loaded; a Japanese browser gets the Japanese page.
// (browser-drops.mjs: drops, hostile input, cancel and the gallery.)
//
//   node web/test/browser.mjs PAGE.html BUILD/ostrel WORK MODEL... [--many MANY-POINTS.rk4]
//     [--screenshots DIR]
import fs from 'node:fs';
import path from 'node:path';
import { unzipSync } from 'fflate';
import { editsFromArguments, optionSets } from './option-sets.mjs';
import {
  check, choose, collator, expectedLine, finish, inNameOrder, lines, many, models, native, openPage,
  pageIndices, pageOutputs, panelFields, pickFiles, sameFiles, screenshots, selectedName, settled,
  viewColours,
} from './page-harness.mjs';

// ---- picked models: lines, panel, view, downloads

{
  const { page, requests, errors } = await openPage(null);
  check('English page for an English browser', (await page.title()).startsWith('Ostrel — model'));
  await pickFiles(page, models);
  await settled(page, models.length);
  const shown = await lines(page);
  check('list in name order', inNameOrder(shown.map((l) => l.name)), shown.map((l) => l.name).join(', '));
  for (const model of models) {
    const expected = expectedLine(model);
    const line = shown.find((l) => l.name === path.basename(model));
    check(`${path.basename(model)}: line`, line && line.line === expected, `${line && line.line} / ${expected}`);
  }
  // The view went to the last of the files picked, in name order.
  const last = [...shown].pop().name;
  check('the view shows the last file picked', await selectedName(page) === last &&
        await page.$eval('#view-title', (e) => e.textContent) === last, await selectedName(page));

  // The cube, chosen in the list, is in view with its panel and its size.
  await choose(page, 'cube.rk4');
  const panel = await page.evaluate(() => ({
    legends: [...document.querySelectorAll('#panel legend')].map((l) => l.textContent),
    labels: [...document.querySelectorAll('#panel label')].map((l) => l.textContent),
    checked: [...document.querySelectorAll('#panel input[type=radio]:checked')].map((r) => r.id),
    scale: document.querySelector('#panel [data-role=scale] input').value,
    unlabelled: [...document.querySelectorAll('input, select, button')].filter((e) =>
      !e.closest('.visually-hidden') && e.type !== 'hidden' && !(e.labels && e.labels.length) &&
      !e.textContent.trim() && !e.getAttribute('aria-label')).map((e) => e.id),
  }));
  check('panel: the plug-in\'s Japanese labels, English beside',
        panel.legends[0] === '読み込み対象 (Load)' && panel.legends[1] === '設定色 (Palette colour)',
        JSON.stringify(panel.legends));
  check('panel: items and proposals', panel.labels.includes('面のみ (faces only)') &&
        JSON.stringify(panel.checked) === '["control-2-1","control-3-1"]' && panel.scale === '8',
        JSON.stringify(panel));
  check('every control labelled', panel.unlabelled.length === 0, panel.unlabelled.join(', '));
  const size = await page.$eval('#dimensions', (e) => e.textContent);
  check('the cube is 8 by 8 by 8 at the proposed scale, 1 in the file',
        size === 'Size: X 8 × Y 8 × Z 8 (in the file\'s units: X 1 × Y 1 × Z 1; scale 8)', size);
  // An object of points alone: its extent, and its points in view. The file
  // is cut short, so it is shown as read when asked.
  await choose(page, 'header_cr_eof.rk4');
  await page.evaluate(() => document.querySelector('#models li.damaged .salvage').click());
  await page.waitForFunction(() => window.ostrelPage.viewStats().points > 0, { timeout: 30000 });
  const pointsSize = await page.$eval('#dimensions', (e) => e.textContent);
  check('points alone have their size and are drawn',
        pointsSize === 'Size: X 64 × Y 76 × Z 52 (in the file\'s units: X 8 × Y 9.5 × Z 6.5; scale 8)',
        pointsSize);
  await choose(page, 'cube.rk4');
  await page.waitForFunction(() => window.ostrelPage.viewStats().meshes > 0, { timeout: 30000 });
  await new Promise((r) => setTimeout(r, 300));
  const colours = await viewColours(page);
  check('view draws the cube\'s red and blue surfaces', colours.red > 2000 && colours.blue > 2000,
        JSON.stringify(colours));
  // Keyboard: the view zooms in with "+" once it has the focus.
  await page.focus('#view');
  await page.keyboard.press('+');
  await page.keyboard.press('+');
  const closer = await viewColours(page);
  check('"+" zooms the view in', closer.red + closer.blue > colours.red + colours.blue,
        `${JSON.stringify(colours)} -> ${JSON.stringify(closer)}`);

  // Downloads with the proposals, every model, every format; the damaged
  // file shown as read gives what --salvage writes.
  const indices = await pageIndices(page, models);
  const salvaged = (model) => (path.basename(model) === 'header_cr_eof.rk4' ? ['--salvage'] : []);
  for (let i = 0; i < models.length; i++) {
    for (const format of ['lwo', 'obj', 'glb', 'png']) {
      sameFiles(`${path.basename(models[i])} ${format} proposed`, await pageOutputs(page, indices[i], format),
                native(models[i], format, salvaged(models[i])));
    }
  }
  // Edited through the panel as a user would, each control type: choices
  // clicked, numbers and text typed and left with Tab, toggles clicked; every
  // field still reads what was put in after its conversion.
  const edited = [...optionSets[1].args, '--angle', '10'];
  const edits = editsFromArguments(edited);
  const cube = indices[0];
  await page.click(`#control-2-${edits.load}`);
  await settled(page, models.length);
  await page.click(`#control-3-${edits.colour}`);
  await settled(page, models.length);
  for (const role of ['scale', 'name', 'angle']) {
    await page.click(`#panel [data-role=${role}] input`, { clickCount: 3 });
    await page.keyboard.type(String(edits[role]));
    await page.keyboard.press('Tab');
    await settled(page, models.length);
  }
  for (const role of ['smooth', 'double']) { // smoothing off, double sided on
    await page.click(`#panel [data-role=${role}] input`);
    await settled(page, models.length);
  }
  const fields = await panelFields(page);
  check('the panel reads the edits after converting', Object.entries(edits).every(([k, v]) => fields[k] === v),
        `${JSON.stringify(fields)} / ${JSON.stringify(edits)}`);
  for (const format of ['lwo', 'obj', 'glb']) {
    sameFiles(`${path.basename(models[0])} ${format} edited in the panel`,
              await pageOutputs(page, cube, format), native(models[0], format, edited));
  }
  if (screenshots) await page.screenshot({ path: path.join(screenshots, 'web-edited.png') });
  // Another model shows its own values; back again, the edits are there.
  const other = models.findIndex((m) => path.basename(m) !== 'cube.rk4' && !/spiral|grid/.test(m));
  await choose(page, path.basename(models[other]));
  const otherFields = await panelFields(page);
  const proposed = await page.evaluate((i) => Object.fromEntries(window.ostrelPage.models[i].outcome.panel
    .controls.filter((c) => c.role).map((c) => [c.role, c.proposed])), indices[other]);
  check('another model shows its own proposals', Object.entries(proposed).every(([k, v]) => otherFields[k] === v),
        `${JSON.stringify(otherFields)} / ${JSON.stringify(proposed)}`);
  await choose(page, 'cube.rk4');
  const again = await panelFields(page);
  check('the edited model keeps its values', Object.entries(edits).every(([k, v]) => again[k] === v),
        JSON.stringify(again));
  await page.click('#restore');
  await settled(page, models.length);
  const restored = await panelFields(page);
  check('restore shows the proposals', restored.scale === 8 && restored.load === 1 && restored.smooth === 1,
        JSON.stringify(restored));
  sameFiles('restored proposals', await pageOutputs(page, cube, 'glb'), native(models[0], 'glb'));

  // The rulebook's decimal comma (tests/rulebook/cases.json) typed in the
  // page's scale field: the field keeps the text, the converter's words
  // beside it, and nothing is converted with it.
  const comma = JSON.parse(fs.readFileSync(new URL('../../tests/rulebook/cases.json', import.meta.url)))
    .cases.find((c) => c.case === 'scale 1,5');
  await page.click('#panel [data-role=scale] input', { clickCount: 3 });
  await page.keyboard.type(comma.edit[1]);
  await page.keyboard.press('Tab');
  await page.waitForFunction(() => document.querySelector('#panel [data-role=scale] .refusal').textContent,
                             { timeout: 10000 }).catch(() => {});
  const refusal = await page.$eval('#panel [data-role=scale] .refusal', (e) => e.textContent);
  const kept = await page.evaluate(() => window.ostrelPage.selected().edits);
  check('rulebook: a decimal comma in the page', refusal === comma.fails.replaceAll('{option}', 'scale') &&
        !('scale' in kept), `${refusal} ${JSON.stringify(kept)}`);

  // The zip: every model's glb, named as --out-dir names them; what failed
  // is named in README.txt.
  const zip = unzipSync(Uint8Array.from(await page.evaluate(() => window.ostrelPage.zip('glb'))));
  const expected = {};
  const failures = [];
  for (const model of [...models].sort((x, y) => collator.compare(path.basename(x), path.basename(y)))) {
    const result = native(model, 'glb', salvaged(model));
    if (result.failure) failures.push(path.basename(model));
    for (const [name, bytes] of Object.entries(result.files || {})) {
      let folder = '';
      for (let n = 2; `${folder}${name}` in expected; n++) folder = `${n}/`;
      expected[`${folder}${name}`] = bytes;
    }
  }
  const readme = zip['README.txt'] ? Buffer.from(zip['README.txt']).toString() : '';
  delete zip['README.txt'];
  sameFiles('zip of all', zip, { files: expected });
  check('zip: README.txt names what failed', failures.every((f) => readme.includes(`${f}: `)) &&
        Boolean(readme) === failures.length > 0, readme);

  if (many) {
    // A model LWOB cannot hold: the button says why, as the command line
    // does, and the zip's README.txt names it.
    await pickFiles(page, [many]);
    await settled(page, models.length + 1);
    await page.evaluate(() => [...document.querySelectorAll('#downloads button')]
      .find((b) => b.textContent.includes('LWOB')).click());
    await page.waitForFunction(() => !/^$|converting/.test(document.getElementById('note-lwo').textContent),
                               { timeout: 60000 });
    const note = await page.$eval('#note-lwo', (e) => e.textContent);
    const r = native(many, 'lwo');
    const reason = r.failure && r.failure.replace(/^ostrel: [^:]*: not written: [^:]*: /, '');
    check('LWOB refused with the command line\'s reason', r.failure && note === `not written: ${reason}`,
          `${note} / ${r.failure}`);
    const lwoZip = unzipSync(Uint8Array.from(await page.evaluate(() => window.ostrelPage.zip('lwo'))));
    const note2 = Buffer.from(lwoZip['README.txt'] || []).toString();
    check('LWOB zip: README.txt says what was left out', note2.includes(`${path.basename(many)}: not written: ${reason}`),
          note2);
  }

  check('no request after load', requests.length === 0, requests.join(', '));
  check('no script error', errors.length === 0, errors.join(' | '));
  await page.close();
}

// ---- a Japanese browser

{
  const { page } = await openPage(['ja-JP', 'ja']);
  const title = await page.title();
  const pick = await page.$eval('label[for=pick]', (l) => l.textContent);
  check('Japanese page for a Japanese browser', title.includes('ブラウザ') && pick === 'ファイルを選ぶ…',
        `${title} / ${pick}`);
  await page.close();
}

await finish('picked models');

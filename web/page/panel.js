// The plug-in's panel for the chosen file: its controls with the values in
// effect, each edit converting the file again at once.
import { english } from './texts.js';
import { $, make, t } from './dom.js';
import { times } from './converter.js';

function withEnglish(text) {
  const fragment = document.createDocumentFragment();
  fragment.append(text);
  const meaning = english[text];
  if (meaning) fragment.append(' ', make('span', { className: 'english', lang: 'en', textContent: `(${meaning})` }));
  return fragment;
}

let panelFor = null; // the model whose panel is drawn, and its controls' kinds
let panelShape = '';

// The panel's fields hold the values in effect (the plug-in's proposals with
// the model's edits), as the converter reports them. Drawn anew for another
// model; for the same one the fields are set in place, so that the one
// being typed in keeps its text and the focus. `refresh(model, options)`
// converts the model again with its edits.
export function renderPanel(model, refresh) {
  const panel = $('panel');
  const o = model && model.outcome;
  $('restore').disabled = !model || Object.keys(model.edits).length === 0;
  if (!o || !o.panel) {
    panelFor = null;
    panel.replaceChildren(make('p', { textContent: model && o ? t.noPanel : '' }));
    return;
  }
  const shape = JSON.stringify(o.panel.controls.map((c) => [c.kind, c.label, c.lines]));
  if (panelFor === model && panelShape === shape) {
    setPanelValues(o.panel);
    return;
  }
  panelFor = model;
  panelShape = shape;
  panel.replaceChildren(make('h3', { textContent: o.panel.title }));
  o.panel.controls.forEach((control) => {
    const id = `control-${control.number}`;
    const row = make('div', { className: `control ${control.kind}` });
    if (control.role) row.dataset.role = control.role;
    const edit = (value) => {
      if (!control.role) return;
      model.edits = { ...model.edits, [control.role]: value };
      times.edited = performance.now();
      $('restore').disabled = false;
      refresh(model, { urgent: true, edited: true });
    };
    if (control.kind === 'text') {
      if (control.label) row.append(make('span', { className: 'label' }, withEnglish(control.label)));
      for (const line of control.lines) row.append(make('p', {}, withEnglish(line)));
    } else if (control.kind === 'choice') {
      const group = make('fieldset', { id });
      group.append(make('legend', {}, withEnglish(control.label || '')));
      control.lines.forEach((item, i) => {
        const input = make('input', { type: 'radio', name: id, id: `${id}-${i}`, value: String(i) });
        input.addEventListener('change', () => edit(i));
        group.append(make('label', { htmlFor: `${id}-${i}` }, input, withEnglish(item)));
      });
      row.append(group);
    } else if (control.kind === 'bool') {
      const input = make('input', { type: 'checkbox', id });
      input.addEventListener('change', () => edit(input.checked ? 1 : 0));
      row.append(make('label', { htmlFor: id }, input, withEnglish(control.label || '')));
    } else if (control.kind === 'float' || control.kind === 'edit') {
      const input = make('input', { id, type: control.kind === 'float' ? 'number' : 'text' });
      if (control.kind === 'float') input.step = 'any';
      input.addEventListener('change', () => {
        if (control.kind === 'float') {
          const value = Number(input.value);
          if (input.value.trim() === '' || !Number.isFinite(value)) return;
          edit(value);
        } else {
          edit(input.value);
        }
      });
      row.append(make('label', { htmlFor: id }, withEnglish(control.label || '')), input);
    } else {
      row.append(make('span', { className: 'label' }, withEnglish(control.label || '')),
                 make('span', { className: 'value', textContent: String(control.text) }));
    }
    panel.append(row);
  });
  setPanelValues(o.panel);
}

function setPanelValues(panel) {
  for (const control of panel.controls) {
    const id = `control-${control.number}`;
    if (control.kind === 'choice') {
      control.lines.forEach((item, i) => { $(`${id}-${i}`).checked = control.value === i; });
    } else if (control.kind === 'bool') {
      $(id).checked = control.value !== 0;
    } else if (control.kind === 'float' || control.kind === 'edit') {
      const input = $(id);
      const value = control.kind === 'float' ? control.text : control.value;
      // The field being typed in keeps what is typed until it is changed.
      if (document.activeElement !== input || input.value === '') input.value = value;
    }
  }
}

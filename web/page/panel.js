// The plug-in's panel for the chosen file: its controls with the values in
// effect, each edit converting the file again at once. What each control is,
// the English beside its Japanese and which values it takes are the
// converter's (the rulebook's) word: a typed value goes to it as text.
import { $, make, t } from './dom.js';
import { checkChoice, times } from './converter.js';

function withEnglish(text, meaning) {
  const fragment = document.createDocumentFragment();
  fragment.append(text);
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
    const label = withEnglish(control.label || '', control.english);
    if (control.kind === 'text') {
      if (control.label) row.append(make('span', { className: 'label' }, label));
      control.lines.forEach((line, i) => row.append(make('p', {}, withEnglish(line, control.linesEnglish[i]))));
    } else if (control.kind === 'choice') {
      const group = make('fieldset', { id });
      group.append(make('legend', {}, label));
      control.lines.forEach((item, i) => {
        const input = make('input', { type: 'radio', name: id, id: `${id}-${i}`, value: String(i) });
        input.addEventListener('change', () => edit(i));
        group.append(make('label', { htmlFor: `${id}-${i}` }, input, withEnglish(item, control.linesEnglish[i])));
      });
      row.append(group);
    } else if (control.kind === 'bool') {
      const input = make('input', { type: 'checkbox', id });
      input.addEventListener('change', () => edit(input.checked ? 1 : 0));
      row.append(make('label', { htmlFor: id }, input, label));
    } else if (control.kind === 'float' || control.kind === 'edit') {
      // Text as typed, a decimal comma too: the converter reads it by the
      // rule of every front end and says why it refuses a value.
      const input = make('input', { id, type: 'text' });
      if (control.kind === 'float') input.inputMode = 'decimal';
      const refusal = make('span', { className: 'refusal', id: `${id}-refusal`, role: 'alert' });
      input.addEventListener('change', async () => {
        const text = input.value;
        if (control.kind === 'float' && text.trim() === '') return;
        const why = control.role ? await checkChoice(control.role, text) : '';
        if (input.value !== text) return; // typed on meanwhile
        refusal.textContent = why || '';
        input.setAttribute('aria-invalid', String(Boolean(why)));
        if (!why) edit(text);
      });
      row.append(make('label', { htmlFor: id }, label), input, refusal);
    } else {
      row.append(make('span', { className: 'label' }, label),
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

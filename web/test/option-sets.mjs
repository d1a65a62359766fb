// The option sets the tests convert with, as `ostrel` takes them, and the
// same edits as the page sends them to the converter.
export const optionSets = [
  { label: 'proposed', args: [] },
  {
    label: 'edited',
    args: ['--load', 'both', '--colours', 'dark', '--scale', '0.25', '--name', '部品',
           '--smooth', 'off', '--double-sided', 'on'],
  },
  { label: 'lines, angle', args: ['--load', 'lines', '--colours', 'bright', '--angle', '12.5'] },
];

const items = {
  '--load': ['load', { lines: 0, faces: 1, both: 2 }],
  '--colours': ['colour', { bright: 0, middle: 1, dark: 2 }],
  '--smooth': ['smooth', { on: 1, off: 0 }],
  '--double-sided': ['double', { on: 1, off: 0 }],
};

export function editsFromArguments(args) {
  const edits = {};
  for (let i = 0; i < args.length; i += 2) {
    const [option, value] = [args[i], args[i + 1]];
    if (items[option]) edits[items[option][0]] = items[option][1][value];
    else if (option === '--scale') edits.scale = Number(value);
    else if (option === '--angle') edits.angle = Number(value);
    else if (option === '--name') edits.name = value;
  }
  return edits;
}

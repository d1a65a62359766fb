// The gallery: a card per model, its picture the one the converter drew
// with the object (the renderer's PNG, `ostrel -o NAME.png --size 256`, lit
// and framed as the view shows it), kept for "Save pictures"; a failure is a
// card with its line.

// The pictures' pixels along each side, as the converter is asked for them.
export const pictureSize = 256;

function card(g, model) {
  let c = g.cards.get(model);
  if (c) return c;
  const button = document.createElement('button');
  button.type = 'button';
  button.className = 'card-open';
  button.addEventListener('click', () => g.hooks.open(model));
  const picture = document.createElement('span');
  picture.className = 'card-picture';
  const text = document.createElement('span');
  text.className = 'card-text';
  button.append(picture, text);
  const item = document.createElement('li');
  item.className = 'card';
  item.model = model;
  item.append(button);
  c = { item, button, picture, text, url: null };
  g.cards.set(model, c);
  return c;
}

// The card's picture: the model's, or the placeholder text where it has none.
function showPicture(c, model, placeholder) {
  if (model.picture && (!c.url || c.blob !== model.picture)) {
    if (c.url) URL.revokeObjectURL(c.url);
    c.url = URL.createObjectURL(model.picture);
    c.blob = model.picture;
    const img = document.createElement('img');
    img.src = c.url;
    img.alt = '';
    img.width = pictureSize;
    img.height = pictureSize;
    c.picture.replaceChildren(img);
  } else if (!model.picture) {
    if (c.url) URL.revokeObjectURL(c.url);
    c.url = null;
    c.picture.replaceChildren();
    c.picture.textContent = placeholder;
  }
}

// Draws the card anew from the model: its picture or failure, its lines.
function update(g, model) {
  const c = card(g, model);
  const d = g.hooks.describe(model);
  c.item.classList.toggle('failed', !d.ok && !d.damaged);
  c.item.classList.toggle('damaged', Boolean(d.damaged));
  c.item.classList.toggle('selected', Boolean(d.selected));
  c.button.setAttribute('aria-pressed', String(Boolean(d.selected)));
  c.button.title = d.title;
  showPicture(c, model, d.placeholder);
  const lines = [['card-name', d.name], ['card-line', d.ok || d.damaged ? d.line : ''],
                 ['card-size', d.size || '']];
  c.text.replaceChildren(...lines.filter(([, t]) => t).map(([className, textContent]) =>
    Object.assign(document.createElement('span'), { className, textContent })));
}

// The grid. `hooks`: open(model) when a card is chosen; describe(model): {
// ok, damaged, name, title, line, size, placeholder (the text where the
// picture is not) }.
export function createGallery(list, hooks) {
  const g = { hooks, cards: new Map() }; // model -> { item, button, picture, text }

  return {
    // The cards in `models`' order (the list's), each drawn anew.
    place(models) {
      const items = models.map((m) => card(g, m).item);
      if (items.length !== list.children.length || items.some((item, i) => list.children[i] !== item)) {
        list.replaceChildren(...items);
      }
    },
    update: (model) => update(g, model),
    // The model's picture (a PNG blob), or null when it has none.
    picture: (model) => model.picture,
    focus(model) { const c = g.cards.get(model); if (c) c.button.focus(); },
  };
}

// The gallery: a card per model, its picture drawn by the page itself from
// the converted object (the view's colours, lights and front sides), small
// and off screen, one at a time, and only for the cards in view or near it;
// a failure is a card with its line. The pictures are PNGs, kept for
// "Save pictures".
import { PerspectiveCamera, WebGLRenderer } from 'three';
import { disposeObject, frame, litScene, objectFromView } from './mesh.js';

export const pictureWidth = 240;
export const pictureHeight = 180;

// One renderer for every picture, on a canvas that is never shown.
let painter = null;
function getPainter() {
  if (painter) return painter;
  const canvas = document.createElement('canvas');
  canvas.width = pictureWidth;
  canvas.height = pictureHeight;
  const renderer = new WebGLRenderer({ canvas, antialias: true, preserveDrawingBuffer: true });
  renderer.setPixelRatio(1);
  renderer.setSize(pictureWidth, pictureHeight, false);
  const camera = new PerspectiveCamera(45, pictureWidth / pictureHeight, 0.01, 1000);
  painter = { canvas, renderer, scene: litScene(), camera };
  return painter;
}

// The picture of a converted object (the converter's arrays), as a PNG blob.
export function drawPicture(view) {
  const p = getPainter();
  const object = objectFromView(view);
  p.scene.add(object);
  frame(p.camera, object, 1);
  p.renderer.render(p.scene, p.camera);
  p.scene.remove(object);
  disposeObject(object);
  // toBlob copies the canvas now; the encoding happens off this thread.
  return new Promise((resolve) => p.canvas.toBlob(resolve, 'image/png'));
}

// One picture per turn of the event loop, so that scrolling stays smooth;
// while the page scrolls, the pictures wait: drawing one takes the GPU (or
// the CPU, where WebGL is software) the scrolling needs.
const quiet = 120; // ms without scrolling before a picture is drawn

function needsPicture(model) {
  return model.outcome && model.outcome.result === 'loaded' && model.outcome.counts.polygons > 0 &&
    !model.picture && !model.pictureFailed;
}

// `g`: the gallery's state, as createGallery makes it.
function pump(g) {
  if (g.drawing) return;
  const since = performance.now() - g.scrolled;
  if (since < quiet) {
    g.drawing = true;
    setTimeout(() => { g.drawing = false; pump(g); }, quiet - since);
    return;
  }
  let next = null;
  for (const m of g.near) if (needsPicture(m)) { next = m; break; }
  if (!next) return;
  g.drawing = true;
  setTimeout(async () => {
    try {
      await paint(g, next);
    } catch {
      next.pictureFailed = true; // no picture; the card keeps its lines
    } finally {
      g.drawing = false;
      pump(g);
    }
  }, 0);
}

async function paint(g, model) {
  const generation = model.generation;
  const view = await g.hooks.view(model);
  if (!view) {
    model.pictureFailed = true;
    return;
  }
  if (model.picture) return;
  const blob = await drawPicture(view);
  if (!blob || model.generation !== generation) return; // converted again meanwhile
  model.picture = blob;
  update(g, model);
  g.hooks.pictureDrawn(model);
}

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
  g.observer.observe(item);
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
    img.width = pictureWidth;
    img.height = pictureHeight;
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
  c.item.classList.toggle('failed', !d.ok);
  c.item.classList.toggle('selected', Boolean(d.selected));
  c.button.setAttribute('aria-pressed', String(Boolean(d.selected)));
  c.button.title = d.title;
  showPicture(c, model, d.placeholder);
  const lines = [['card-name', d.name], ['card-line', d.ok ? d.line : ''], ['card-size', d.size || '']];
  c.text.replaceChildren(...lines.filter(([, t]) => t).map(([className, textContent]) =>
    Object.assign(document.createElement('span'), { className, textContent })));
  if (needsPicture(model) && g.near.has(model)) pump(g);
}

// The grid. `hooks`: open(model) when a card is chosen; view(model), a
// promise of the model's arrays (converted again if they were let go) or
// null; describe(model): { ok, name, title, line, size, placeholder (the
// text where the picture is not) }; pictureDrawn(model).
export function createGallery(list, hooks) {
  const g = {
    hooks,
    cards: new Map(), // model -> { item, button, picture, text }
    near: new Set(), // the models whose cards are in view or near it
    drawing: false,
    scrolled: 0, // when the page last scrolled
    observer: null,
  };
  g.observer = new IntersectionObserver((entries) => {
    for (const entry of entries) {
      const model = entry.target.model;
      if (entry.isIntersecting) g.near.add(model);
      else g.near.delete(model);
    }
    pump(g);
  }, { rootMargin: '400px 0px' });
  addEventListener('scroll', () => { g.scrolled = performance.now(); }, { passive: true, capture: true });

  return {
    // The cards in `models`' order (the list's), each drawn anew.
    place(models) {
      const items = models.map((m) => card(g, m).item);
      if (items.length !== list.children.length || items.some((item, i) => list.children[i] !== item)) {
        list.replaceChildren(...items);
      }
    },
    update: (model) => update(g, model),
    // A model whose object changed: its picture is drawn again.
    forget(model) {
      model.picture = null;
      model.pictureFailed = false;
      if (g.cards.has(model)) update(g, model);
    },
    // Whether a card in view or near it still waits for its picture.
    pending: () => g.drawing || [...g.near].some(needsPicture),
    // The model's picture, drawn now if it has none yet; null when it cannot be.
    async picture(model) {
      if (needsPicture(model)) await paint(g, model).catch(() => { model.pictureFailed = true; });
      return model.picture;
    },
    focus(model) { const c = g.cards.get(model); if (c) c.button.focus(); },
  };
}

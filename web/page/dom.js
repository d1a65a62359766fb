// What every part of the page shares: the language it speaks, its texts, and
// two short ways to find and make elements.
import { texts, pickLanguage } from './texts.js';

export const language = pickLanguage(navigator.languages || [navigator.language]);
export const t = texts[language];

export const $ = (id) => document.getElementById(id);
export const make = (tag, props = {}, ...children) => {
  const element = Object.assign(document.createElement(tag), props);
  for (const child of children) element.append(child);
  return element;
};

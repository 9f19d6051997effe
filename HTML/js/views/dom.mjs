// Small helpers for building the page's elements.

const SVG_NS = 'http://www.w3.org/2000/svg';

export const $ = (id) => document.getElementById(id);

// Builds an element. Strings among the children become text nodes, so names are
// never read as markup; `on…` properties become listeners.
export function el(tag, props, ...children) {
  const node = document.createElement(tag);
  if (props) {
    for (const [key, value] of Object.entries(props)) {
      if (value == null || value === false) continue;
      if (key === 'class') node.className = value;
      else if (key === 'text') node.textContent = value;
      else if (key.startsWith('on')) node.addEventListener(key.slice(2), value);
      else node.setAttribute(key, value === true ? '' : value);
    }
  }
  for (const child of children) if (child != null) node.append(child);
  return node;
}

// An icon from the page's sprite, with a kind's colour class if given.
export function icon(name, kindClass) {
  const svg = document.createElementNS(SVG_NS, 'svg');
  svg.setAttribute('aria-hidden', 'true');
  svg.append(document.createElementNS(SVG_NS, 'use'));
  setIcon(svg, name, kindClass);
  return svg;
}

export function setIcon(svg, name, kindClass) {
  svg.setAttribute('class', 'ic' + (kindClass ? ' ' + kindClass : ''));
  svg.firstChild.setAttribute('href', '#i-' + name);
}

// A length that the style sheet sets, in pixels.
export function cssPixels(name) {
  return parseFloat(getComputedStyle(document.documentElement).getPropertyValue(name)) || 36;
}

// A short note at the bottom of the window. A note with a key replaces the one
// on show with the same key, so that repeating an action does not pile notes up.
export function toast(message, { key = null, ms = 3800 } = {}) {
  const box = $('toasts');
  const old = key && [...box.children].find((node) => node.dataset.key === key);
  if (old) old.remove();
  const node = el('div', { class: 'toast', text: message, 'data-key': key });
  box.append(node);
  setTimeout(() => node.remove(), ms);
  return node;
}

// What every page shares: asking the service's JSON API, showing what it
// refused in the library's own words, building elements without ever
// parsing text as HTML, and the office's money and date formats.

// A refusal of the service: its problem details (status, title, detail, and
// the library's error number, source and description when it raised one).
export class Refusal extends Error {
  constructor(problem) {
    super(problem.detail || problem.title || 'The service refused');
    this.problem = problem;
  }
  get status() { return this.problem.status; }
}

// Sends a request to the service and answers with its JSON (null for 204).
// `csrf`, when given, goes with a request that changes data. Throws a
// Refusal for any answer but 2xx.
export async function api(path, { method = 'GET', body, headers = {}, csrf, raw = false } = {}) {
  const init = { method, headers: { Accept: 'application/json', ...headers }, credentials: 'same-origin' };
  if (csrf) init.headers['X-CSRF-Token'] = csrf;
  if (body !== undefined) {
    if (body instanceof Blob || body instanceof ArrayBuffer) {
      init.body = body;
    } else {
      init.body = JSON.stringify(body);
      init.headers['Content-Type'] = 'application/json';
    }
  }
  let response;
  try {
    response = await fetch(path, init);
  } catch {
    throw new Refusal({ status: 0, title: 'No answer', detail: 'The office could not be reached. Try again.' });
  }
  if (!response.ok) {
    let problem;
    try {
      problem = await response.json();
    } catch {
      problem = { status: response.status, title: response.statusText, detail: `The office answered ${response.status}` };
    }
    problem.status = problem.status || response.status;
    throw new Refusal(problem);
  }
  if (raw) return response;
  if (response.status === 204) return null;
  return response.json();
}

// h('a', {href: '/'}, 'Home'): an element with attributes (on* take
// functions, `class` a class name, true/false/null set or leave out) and
// children (text, elements, arrays of them, null for nothing).
export function h(tag, attributes = {}, ...children) {
  const element = tag === 'svg' || attributes.svg
    ? document.createElementNS('http://www.w3.org/2000/svg', tag)
    : document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (name === 'svg' || value === null || value === undefined || value === false) continue;
    if (name.startsWith('on') && typeof value === 'function') element.addEventListener(name.slice(2), value);
    else if (name === 'value' && 'value' in element) element.value = value;
    else element.setAttribute(name === 'className' ? 'class' : name, value === true ? '' : String(value));
  }
  append(element, children);
  return element;
}

function append(element, children) {
  for (const child of children) {
    if (child === null || child === undefined || child === false) continue;
    if (Array.isArray(child)) append(element, child);
    else element.append(child instanceof Node ? child : String(child));
  }
}

// An SVG element (inside an <svg>).
export function s(tag, attributes = {}, ...children) {
  return h(tag, { ...attributes, svg: true }, ...children);
}

// Replaces what an element holds.
export function fill(element, ...children) {
  element.replaceChildren();
  append(element, children);
  return element;
}

// What a refusal says, for a person: the service's detail, and the
// library's own error text and number when it raised one.
export function refusalText(error) {
  if (!(error instanceof Refusal)) return `Something went wrong: ${error.message}`;
  const p = error.problem;
  const parts = [p.detail || p.title];
  if (p.description && p.description !== p.detail) parts.push(p.description);
  if (p.number) parts.push(`(error ${p.number}${p.source ? `, ${p.source}` : ''})`);
  return parts.join(' — ');
}

// An alert that says what went wrong; screen readers announce it.
export function alertBox(error) {
  return h('p', { class: 'alert', role: 'alert' }, refusalText(error));
}

const money = new Intl.NumberFormat('en-US', { style: 'currency', currency: 'USD' });

// "1273.8900" as $1,273.89; nothing for no value.
export function formatMoney(value) {
  if (value === null || value === undefined || value === '') return '';
  const n = Number(value);
  return Number.isFinite(n) ? money.format(n) : String(value);
}

// "2004-10-12" as Oct 12, 2004 (the date as the office wrote it, no time zone).
export function formatDate(iso) {
  if (!iso) return '';
  const [y, m, d] = iso.split('-').map(Number);
  if (!y || !m || !d) return iso;
  return new Date(Date.UTC(y, m - 1, d)).toLocaleDateString('en-US', { timeZone: 'UTC', year: 'numeric', month: 'short', day: 'numeric' });
}

// Today as yyyy-mm-dd, in the reader's own time zone.
export function today() {
  const now = new Date();
  const pad = (n) => String(n).padStart(2, '0');
  return `${now.getFullYear()}-${pad(now.getMonth() + 1)}-${pad(now.getDate())}`;
}

// The page's title and its main heading; focus moves to the heading so that
// a keyboard or screen-reader user starts reading the new page there.
export function titled(main, title, room) {
  document.title = `${title} — ${room}`;
  const heading = h('h1', { tabindex: '-1' }, title);
  fill(main, heading);
  return heading;
}

// Runs `draw` for the path now shown, and again when the person moves
// back or forward; links inside the page with data-route move without
// reloading.
export function route(draw) {
  const run = () => draw(location.pathname, new URLSearchParams(location.search)).catch((error) => {
    const main = document.getElementById('main');
    fill(main, h('h1', { tabindex: '-1' }, 'This page cannot be shown'), alertBox(error));
  });
  window.addEventListener('popstate', run);
  document.addEventListener('click', (event) => {
    const link = event.target.closest('a[data-route]');
    if (!link || event.ctrlKey || event.metaKey || event.shiftKey || event.button !== 0) return;
    event.preventDefault();
    history.pushState(null, '', link.getAttribute('href'));
    run().then(() => document.querySelector('main h1')?.focus());
  });
  return run();
}

// Moves to a path of the same page without reloading.
export function go(path) {
  history.pushState(null, '', path);
  window.dispatchEvent(new PopStateEvent('popstate'));
}

// Waits `ms` after the last call before running `task` (typeahead).
export function debounce(task, ms) {
  let timer;
  return (...args) => {
    clearTimeout(timer);
    timer = setTimeout(() => task(...args), ms);
  };
}

// What the desk's forms share: a labelled field, a choice from a code list
// in force today, a results table a page at a time, the form's choices kept
// in the address (after '#', so a reload or a link shows the same search),
// and downloads that say why when the office refuses.
import { h, fill, alertBox, today, formatDate, formatMoney } from './common.js';

let fieldCount = 0;

// A labelled control in a grid cell. `control` gets an id when it has none.
export function field(label, control, help) {
  if (!control.id) control.id = `field-${++fieldCount}`;
  const helpId = help ? `${control.id}-help` : null;
  if (helpId) control.setAttribute('aria-describedby', helpId);
  return h('div', { class: 'field' }, h('label', { for: control.id }, label), control,
    help ? h('small', { id: helpId, class: 'muted' }, help) : null);
}

// A checkbox with its label beside it.
export function checkbox(name, label, checked = false) {
  const box = h('input', { type: 'checkbox', name, id: `check-${name}-${++fieldCount}`, checked });
  return h('label', { class: 'choice', for: box.id }, box, label);
}

const lists = new Map();

// The codes of a list in force today: [{Code, Description}], asked once per page load.
export function codeList(desk, kind, of = '') {
  const key = `${kind}/${of}`;
  if (!lists.has(key)) {
    const query = new URLSearchParams({ date: today() });
    if (of) query.set('of', of);
    lists.set(key, desk.send(`/api/lists/${kind}?${query}`).then((list) => list.items).catch((error) => {
      lists.delete(key);
      throw error;
    }));
  }
  return lists.get(key);
}

// A <select> of a code list's codes; `blank` is the text of the empty
// choice (none when null). A value no longer in force stays choosable.
export async function codeSelect(desk, { name, kind, of = '', value = '', blank = 'Any', extra = [] }) {
  const select = h('select', { name });
  await fillCodes(desk, select, { kind, of, value, blank, extra });
  return select;
}

export async function fillCodes(desk, select, { kind, of = '', value = '', blank = 'Any', extra = [] }) {
  const codes = kind ? await codeList(desk, kind, of) : [];
  const options = [];
  if (blank !== null) options.push(h('option', { value: '' }, blank));
  for (const [code, text] of extra) options.push(h('option', { value: code }, text));
  for (const c of codes) options.push(h('option', { value: c.Code }, `${c.Description} (${c.Code})`));
  if (value && !codes.some((c) => c.Code === value) && !extra.some(([code]) => code === value)) {
    options.push(h('option', { value }, `${value} (not in force today)`));
  }
  fill(select, options);
  select.value = value ?? '';
}

// The form's named controls as query choices; empty ones left out.
export function formChoices(form) {
  const choices = new URLSearchParams();
  for (const control of form.elements) {
    if (!control.name || control.disabled) continue;
    if (control.type === 'checkbox') {
      if (control.checked) choices.append(control.name, control.value === 'on' ? 'true' : control.value);
    } else if (control.value !== '') {
      choices.append(control.name, control.value.trim());
    }
  }
  return choices;
}

// Sets a form's named controls from choices (the address's part after '#').
export function setChoices(form, choices) {
  for (const control of form.elements) {
    if (!control.name) continue;
    if (control.type === 'checkbox') {
      const values = choices.getAll(control.name);
      control.checked = values.includes(control.value === 'on' ? 'true' : control.value);
    } else if (choices.has(control.name)) {
      control.value = choices.get(control.name);
    }
  }
}

export function hashChoices() {
  return new URLSearchParams(location.hash.slice(1));
}

// How a column's value reads in a table.
export function cellText(value, kind) {
  if (value === null || value === undefined) return '';
  if (kind === 'date' || /^\d{4}-\d{2}-\d{2}$/.test(String(value))) return formatDate(String(value));
  if (kind === 'money') return formatMoney(value);
  if (value === true) return 'Yes';
  if (value === false) return 'No';
  return String(value);
}

// A results table a page at a time. `load(after)` answers a keyset page
// ({items, next}); columns are [heading, (row) => cell]. The person pages
// forward with "Next page" and back with "Previous page".
export function pagedTable({ caption, columns, load, empty = 'Nothing matches.' }) {
  const region = h('div', { class: 'results-region' });
  const status = h('p', { role: 'status', class: 'muted' });
  const trail = [];  // the `after` of each page shown before this one
  let after = 0;
  const show = async (from) => {
    fill(status, 'Searching…');
    let page;
    try {
      page = await load(from);
    } catch (error) {
      fill(status);
      fill(region, alertBox(error));
      return;
    }
    after = from;
    const number = trail.length + 1;
    fill(status, page.items.length === 0 ? empty
      : `Page ${number}: ${page.items.length} ${page.items.length === 1 ? 'row' : 'rows'}${page.next !== null ? ', more follow' : ''}.`);
    const previous = h('button', { type: 'button', class: 'secondary', disabled: trail.length === 0,
      onclick: () => show(trail.pop()) }, 'Previous page');
    const next = h('button', { type: 'button', class: 'secondary', disabled: page.next === null || page.next === undefined,
      onclick: () => { trail.push(after); show(page.next); } }, 'Next page');
    fill(region,
      page.items.length ? h('div', { class: 'table-wrap' }, h('table', {},
        h('caption', {}, `${caption}, page ${number}`),
        h('thead', {}, h('tr', {}, columns.map(([heading]) => h('th', { scope: 'col' }, heading)))),
        h('tbody', {}, page.items.map((row) => h('tr', {}, columns.map(([, cell]) => h('td', {}, cell(row)))))))) : null,
      h('div', { class: 'actions' }, previous, next));
  };
  return {
    element: h('div', {}, status, region),
    start() {
      trail.length = 0;
      return show(0);
    },
  };
}

// Fetches a file the office writes (an export) and hands it to the browser
// as a download; a refusal is shown in `where` instead.
export async function download(desk, path, filename, where) {
  fill(where, h('p', { role: 'status' }, 'Preparing the file…'));
  try {
    const response = await desk.send(path, { raw: true, headers: { Accept: 'text/csv, application/problem+json' } });
    const blob = await response.blob();
    const url = URL.createObjectURL(blob);
    const link = h('a', { href: url, download: filename }, `Download ${filename} again`);
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
    fill(where, h('p', { role: 'status', class: 'notice' }, `${filename} was downloaded (${blob.size.toLocaleString('en-US')} bytes).`));
  } catch (error) {
    fill(where, alertBox(error));
  }
}

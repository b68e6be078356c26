// The desk's documents: the document search form with every choice it has,
// and one document's page: its columns edited in place, its committee
// links, and its pages.
import { api, h, fill, titled, alertBox, refusalText, debounce, go, Refusal } from './common.js';
import { field, checkbox, codeSelect, fillCodes, formChoices, setChoices, hashChoices, cellText, pagedTable } from './desk-forms.js';

// What a column is called on the desk; others are spelled out from their names.
const LABELS = {
  UniqueID: 'Document ID', DocTypeCode: 'Type', DocSubTypeCode: 'Sub-type', DocYear: 'Year', IsAmendment: 'Amendment',
  NameListed: 'Name listed', DueDate: 'Due date', ReferredCountyCode: 'Referred to county',
  PenaltyAppealDecisionCode: 'Penalty appeal decision', AmountDue: 'Amount due', AmountPaid: 'Amount paid',
  DeliveryMethodCode: 'Delivery method', DocReasonCode: 'Reason', ReportVersionCode: 'Report version',
  ReceiveSendDate: 'Received or sent', EntryDate: 'Entered', OtherDate: 'Other date', ImportDate: 'Imported',
  BeginDate: 'Period begins', EndDate: 'Period ends', SignedDate: 'Signed', SignerOfficerType: "Signer's role",
  SignerOfficerID: "Signer's officer ID", SignerName: 'Signer', DeleteDate: 'Deleted', HasNoReportData: 'No report data',
  NoReportDataReason: 'Why no report data', TotalReceipts: 'Total receipts', TotalExpenditures: 'Total expenditures',
  NoTotals: 'No totals', HasImage: 'Has pages', CheckOutDate: 'Checked out', CheckInDate: 'Checked in',
};
export function columnLabel(name) {
  return LABELS[name] || name.replace(/([a-z])([A-Z])/g, '$1 $2').replace(/^./, (c) => c.toUpperCase());
}

const NAME_IN = [['O', 'Official name'], ['I', 'In-house name'], ['A', 'Acronym']];

// The search form's choices as the API takes them: the "look in" boxes are one parameter.
function searchChoices(form) {
  const choices = formChoices(form);
  const letters = choices.getAll('name_in').join('');
  choices.delete('name_in');
  if (letters) choices.set('name_in', letters);
  return choices;
}

export async function searchView(main, desk) {
  titled(main, 'Documents', desk.room);
  if (desk.notice) {
    main.append(h('p', { class: 'notice', role: 'status' }, desk.notice));
    desk.notice = null;
  }
  const [type, committeeType, user, subType] = await Promise.all([
    codeSelect(desk, { name: 'type', kind: 'document-type' }),
    codeSelect(desk, { name: 'committee_type', kind: 'committee-type', extra: [['No Committee', 'No Committee']] }),
    codeSelect(desk, { name: 'user', kind: 'users' }),
    codeSelect(desk, { name: 'sub_type', kind: '' }),
  ]);
  subType.disabled = true;
  const refillSubTypes = async (value = '') => {
    subType.disabled = !type.value;
    await fillCodes(desk, subType, { kind: type.value ? 'document-sub-type' : '', of: type.value, value });
  };
  type.addEventListener('change', () => refillSubTypes());
  const dates = h('select', { name: 'dates' }, h('option', { value: '' }, 'No date'),
    h('option', { value: 'received' }, 'Received or sent'), h('option', { value: 'entered' }, 'Entered'),
    h('option', { value: 'updated' }, 'Last updated'));
  const form = h('form', { class: 'search-form', 'aria-label': 'Document search' },
    h('fieldset', {}, h('legend', {}, 'Document'), h('div', { class: 'fields' },
      field('Type', type), field('Sub-type', subType, 'Choose a type first'),
      field('Year', h('input', { name: 'year', type: 'number', min: 1900, max: 2100, inputmode: 'numeric' })))),
    h('fieldset', {}, h('legend', {}, 'Committee'), h('div', { class: 'fields' },
      field('Committee type', committeeType),
      field('Committee name', h('input', { name: 'committee', type: 'text' }), '* and ? are wildcards'),
      h('fieldset', { class: 'look-in' }, h('legend', {}, 'Look for the name in'),
        NAME_IN.map(([letter, text]) => {
          const box = checkbox('name_in', text, letter === 'O');
          box.querySelector('input').value = letter;
          return box;
        })),
      field('Candidate first name', h('input', { name: 'candidate_first', type: 'text' })),
      field('Candidate last name', h('input', { name: 'candidate_last', type: 'text' })))),
    h('fieldset', {}, h('legend', {}, 'Dates and clerks'), h('div', { class: 'fields' },
      field('Which date', dates),
      field('From', h('input', { name: 'from', type: 'date' })),
      field('To', h('input', { name: 'to', type: 'date' })),
      field('Entered by', user))),
    h('fieldset', {}, h('legend', {}, 'Links'),
      checkbox('without_committee', 'Not linked to a committee'),
      checkbox('without_report', 'Not linked to a report')),
    h('div', { class: 'actions' }, h('button', { type: 'submit' }, 'Search'),
      h('button', { type: 'reset', class: 'secondary' }, 'Clear')));

  const results = pagedTable({
    caption: 'Documents found',
    columns: [
      ['Document', (d) => h('a', { href: `/desk/documents/${d.UniqueID}`, 'data-route': true }, `${d.UniqueID}`)],
      ['Type', (d) => [d.DocTypeCode, d.DocSubTypeCode].filter(Boolean).join(' / ')],
      ['Year', (d) => cellText(d.DocYear)],
      ['Name listed', (d) => cellText(d.NameListed)],
      ['Title', (d) => cellText(d.Title)],
      ['Received', (d) => cellText(d.ReceiveSendDate, 'date')],
      ['Pages', (d) => (d.HasImage ? 'Yes' : 'No')],
    ],
    load: (after) => {
      const choices = searchChoices(form);
      choices.set('limit', '25');
      if (after) choices.set('after', after);
      return desk.send(`/api/documents?${choices}`);
    },
    empty: 'No document matches these choices.',
  });
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    history.replaceState(null, '', `/desk#${searchChoices(form)}`);
    results.start();
  });
  form.addEventListener('reset', () => setTimeout(() => refillSubTypes(), 0));
  main.append(form, h('section', { 'aria-label': 'Documents found' }, results.element));

  // A search kept in the address is shown again.
  const kept = hashChoices();
  if ([...kept.keys()].length) {
    setChoices(form, kept);
    const letters = kept.get('name_in') || 'O';
    for (const box of form.querySelectorAll('input[name=name_in]')) box.checked = letters.includes(box.value);
    if (type.value) await refillSubTypes(kept.get('sub_type') || '');
    results.start();
  }
}

// The control of a column that takes no code, showing `value`; read-only
// when a clerk may not set the column.
function controlFor(column, value) {
  const id = `column-${column.name}`;
  if (column.kind === 'flag') {
    return h('input', { id, type: 'checkbox', name: column.name, checked: Boolean(value), disabled: !column.settable });
  }
  const attributes = { id, name: column.name, value: value ?? '', readonly: !column.settable };
  if (column.kind === 'date') return h('input', { ...attributes, type: 'date' });
  if (column.kind === 'integer') return h('input', { ...attributes, type: 'number', inputmode: 'numeric' });
  if (column.kind === 'money') return h('input', { ...attributes, type: 'text', inputmode: 'decimal' });
  return h('input', { ...attributes, type: 'text' });
}

// The JSON a changed control sends.
function sentValue(column, control) {
  if (column.kind === 'flag') return control.checked;
  const text = control.value.trim();
  if (text === '') return null;
  if (column.kind === 'integer') return Number(text);
  return text;
}

function controlState(column, control) {
  return column.kind === 'flag' ? String(control.checked) : control.value;
}

let columnsAsked = null;

export async function documentView(main, desk, id) {
  columnsAsked ??= desk.send('/api/document-columns').then((c) => c.items).catch((error) => {
    columnsAsked = null;
    throw error;
  });
  const [columns, response] = await Promise.all([columnsAsked, desk.send(`/api/documents/${id}`, { raw: true })]);
  let etag = response.headers.get('ETag');
  let row = await response.json();
  titled(main, `Document ${id}`, desk.room);
  main.append(h('p', { class: 'muted' }, [row.Title, row.NameListed].filter(Boolean).join(' — ')));

  const message = h('div', { 'aria-live': 'polite' });
  const form = h('form', { class: 'document-form', 'aria-label': `Document ${id}` });
  const controls = new Map();  // column name -> [column, control, state as read]
  const draw = async () => {
    const cells = [];
    controls.clear();
    for (const column of columns) {
      if (!(column.name in row)) continue;
      const value = row[column.name];
      let control;
      if (column.list && column.settable) {
        const of = column.of ? row[column.of] || '' : '';
        control = await codeSelect(desk, { name: column.name, kind: of || !column.of ? column.list : '', of,
          value: value ?? '', blank: '(none)' });
        control.id = `column-${column.name}`;
      } else {
        control = controlFor(column, column.kind === 'money' && value !== null ? Number(value).toFixed(2) : value);
      }
      controls.set(column.name, [column, control, controlState(column, control)]);
      cells.push(column.kind === 'flag'
        ? h('div', { class: 'field' }, h('label', { class: 'choice', for: control.id }, control, columnLabel(column.name)))
        : field(columnLabel(column.name), control));
    }
    const typeControl = controls.get('DocTypeCode')?.[1];
    const subControl = controls.get('DocSubTypeCode')?.[1];
    if (typeControl && subControl && typeControl.tagName === 'SELECT' && subControl.tagName === 'SELECT') {
      typeControl.addEventListener('change', () =>
        fillCodes(desk, subControl, { kind: 'document-sub-type', of: typeControl.value, blank: '(none)' }));
    }
    fill(form, h('div', { class: 'fields' }, cells),
      h('div', { class: 'actions' },
        h('button', { type: 'submit' }, 'Save'),
        h('button', { type: 'button', class: 'danger', onclick: confirmDelete }, 'Delete document')));
  };

  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    const changed = {};
    for (const [name, [column, control, before]] of controls) {
      if (column.settable && controlState(column, control) !== before) changed[name] = sentValue(column, control);
    }
    if (Object.keys(changed).length === 0) {
      fill(message, h('p', { class: 'notice', role: 'status' }, 'Nothing was changed.'));
      return;
    }
    try {
      const saved = await desk.send(`/api/documents/${id}`, { method: 'PATCH', body: changed, headers: { 'If-Match': etag }, raw: true });
      etag = saved.headers.get('ETag');
      row = await saved.json();
      await draw();
      fill(message, h('p', { class: 'notice', role: 'status' },
        `Saved: ${Object.keys(changed).map(columnLabel).join(', ')}.`));
    } catch (error) {
      if (error instanceof Refusal && error.status === 412) {
        fill(message, h('div', { class: 'alert', role: 'alert' },
          h('p', {}, `Another clerk changed document ${id} after you opened it. Nothing of yours was saved.`),
          h('p', {}, refusalText(error)),
          h('button', { type: 'button', onclick: () => documentView(main, desk, id) }, 'Show their version')));
      } else {
        fill(message, alertBox(error));
      }
    }
  });

  const dialog = h('dialog', { 'aria-labelledby': 'delete-heading' },
    h('h2', { id: 'delete-heading' }, `Delete document ${id}?`),
    h('p', {}, 'The document and its committee links are deleted. This cannot be undone.'),
    h('form', { method: 'dialog', class: 'actions' },
      h('button', { value: 'delete', class: 'danger' }, 'Delete'),
      h('button', { value: 'keep', class: 'secondary', autofocus: true }, 'Keep it')));
  dialog.addEventListener('close', async () => {
    if (dialog.returnValue !== 'delete') return;
    try {
      await desk.send(`/api/documents/${id}`, { method: 'DELETE' });
      desk.notice = `Document ${id} was deleted.`;
      go('/desk');
    } catch (error) {
      fill(message, alertBox(error));
    }
  });
  function confirmDelete() {
    dialog.returnValue = '';
    dialog.showModal();
  }

  await draw();
  const links = h('section', { 'aria-labelledby': 'links-heading' });
  const pages = h('section', { 'aria-labelledby': 'pages-heading' });
  main.append(message, form, dialog, links, pages);
  await Promise.all([linksSection(links, desk, id), pagesSection(pages, desk, id)]);
}

// The committees a document is linked to, a way to link one by its name,
// and a way to remove a link.
async function linksSection(section, desk, id) {
  const heading = h('h2', { id: 'links-heading' }, 'Committee links');
  const message = h('div', { 'aria-live': 'polite' });
  const list = h('ul', { class: 'links' });
  const refresh = async () => {
    const linked = (await desk.send(`/api/documents/${id}/committees`)).items;
    const named = await Promise.all(linked.map((link) => api(`/api/public/committees/${link.OrgID}`)
      .then((c) => c.OrgName).catch(() => `Committee ${link.OrgID}`)));
    fill(list, linked.length === 0 ? h('li', {}, 'The document is linked to no committee.') : linked.map((link, i) =>
      h('li', {}, h('a', { href: `/desk/committees/${link.OrgID}`, 'data-route': true }, named[i]),
        link.affected ? ' — affected by the document' : ' — filed it', ' ',
        h('button', { type: 'button', class: 'secondary', 'aria-label': `Remove the link to ${named[i]}`, onclick: async () => {
          try {
            await desk.send(`/api/documents/${id}/committees/${link.OrgID}${link.affected ? '?affected=true' : ''}`, { method: 'DELETE' });
            fill(message, h('p', { class: 'notice', role: 'status' }, `The link to ${named[i]} was removed.`));
            await refresh();
          } catch (error) {
            fill(message, alertBox(error));
          }
        } }, 'Remove'))));
  };

  const name = h('input', { id: 'link-name', type: 'search', autocomplete: 'off' });
  const affected = checkbox('affected', 'The document affects this committee (it did not file it)');
  const found = h('ul', { class: 'results', 'aria-label': 'Committees to link' });
  let asked = 0;
  const search = async () => {
    const mine = ++asked;
    const text = name.value.trim();
    if (!text) return fill(found);
    try {
      const names = await api(`/api/public/names?q=${encodeURIComponent(text)}&limit=8`);
      if (mine !== asked) return undefined;
      return fill(found, names.items.map((item) => h('li', {}, h('button', { type: 'button', class: 'link-choice secondary', onclick: async () => {
        const asAffected = affected.querySelector('input').checked;
        try {
          await desk.send(`/api/documents/${id}/committees/${item.OrgID}${asAffected ? '?affected=true' : ''}`, { method: 'PUT' });
          fill(message, h('p', { class: 'notice', role: 'status' }, `Document ${id} is linked to ${item.OrgName}.`));
          name.value = '';
          fill(found);
          await refresh();
        } catch (error) {
          fill(message, alertBox(error));
        }
      } }, `Link ${item.OrgName}`, h('span', { class: 'matched' }, ` (${item.MatchedName}, ID ${item.OrgID})`)))));
    } catch (error) {
      return fill(message, alertBox(error));
    }
  };
  name.addEventListener('input', debounce(search, 150));
  fill(section, heading, message, list,
    h('div', { class: 'add-link' }, field('Link a committee by name', name, 'Type part of its name, or its candidate’s or treasurer’s'),
      affected, found));
  await refresh();
}

// The document's pages: each as a picture, replaced by an upload, or deleted.
async function pagesSection(section, desk, id) {
  const message = h('div', { 'aria-live': 'polite' });
  const pictures = h('div', { class: 'pages' });
  const refresh = async () => {
    const counted = await desk.send(`/api/documents/${id}/pages`);
    const count = counted.PageCount;
    fill(pictures, count === 0 ? h('p', {}, 'No pages are stored for this document.')
      : Array.from({ length: count }, (_, i) => h('img', {
        src: `/api/documents/${id}/pages/${i + 1}.png?width=800`, alt: `Page ${i + 1} of ${count}`, width: 800,
        loading: i < 2 ? 'eager' : 'lazy' })));
    remove.disabled = count === 0;
  };
  const file = h('input', { type: 'file', id: 'page-file', accept: 'image/tiff,image/png,.tif,.tiff,.png' });
  const upload = h('button', { type: 'submit' }, 'Store these pages');
  const remove = h('button', { type: 'button', class: 'danger' }, 'Delete the pages');
  const form = h('form', { class: 'actions', 'aria-label': 'Store pages' }, field('Page image (TIFF or PNG)', file), upload, remove);
  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    const chosen = file.files[0];
    if (!chosen) {
      fill(message, h('p', { class: 'alert', role: 'alert' }, 'Choose a TIFF or PNG file first.'));
      return;
    }
    const type = chosen.type || (/\.png$/i.test(chosen.name) ? 'image/png' : 'image/tiff');
    try {
      await desk.send(`/api/documents/${id}/image`, { method: 'PUT', body: chosen, headers: { 'Content-Type': type } });
      file.value = '';
      await refresh();
      fill(message, h('p', { class: 'notice', role: 'status' }, `The pages of ${chosen.name} are stored.`));
    } catch (error) {
      fill(message, alertBox(error));
    }
  });
  remove.addEventListener('click', async () => {
    if (!window.confirm(`Delete the pages of document ${id}?`)) return;
    try {
      await desk.send(`/api/documents/${id}/image`, { method: 'DELETE' });
      await refresh();
      fill(message, h('p', { class: 'notice', role: 'status' }, 'The pages were deleted.'));
    } catch (error) {
      fill(message, alertBox(error));
    }
  });
  fill(section, h('h2', { id: 'pages-heading' }, 'Pages'), message, form, pictures);
  await refresh();
}

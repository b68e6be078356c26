// The desk beyond documents: the committee search with candidates and
// treasurers, a committee's documents, the filing checks for a committee and
// period with their findings, and the two exports as downloads.
import { api, h, fill, titled, alertBox, debounce } from './common.js';
import { field, checkbox, codeSelect, formChoices, setChoices, hashChoices, cellText, pagedTable, download } from './desk-forms.js';

function person(first, middle, last, suffix) {
  return [first, middle, last, suffix].filter(Boolean).join(' ');
}

const NAME_KINDS = [['committee', 'Committee name'], ['candidate', 'Candidate last name'], ['treasurer', 'Treasurer last name'],
  ['id', 'Committee ID'], ['previous-id', 'Previous ID']];

export async function committeesView(main, desk) {
  titled(main, 'Committees', desk.room);
  const [type, level, status, office, party] = await Promise.all([
    codeSelect(desk, { name: 'type', kind: 'committee-type' }),
    codeSelect(desk, { name: 'level', kind: 'committee-level' }),
    codeSelect(desk, { name: 'status', kind: 'status' }),
    codeSelect(desk, { name: 'office', kind: 'office' }),
    codeSelect(desk, { name: 'party', kind: 'party' }),
  ]);
  const nameKind = h('select', { name: 'name_kind' }, NAME_KINDS.map(([value, text]) => h('option', { value }, text)));
  const form = h('form', { 'aria-label': 'Committee search' },
    h('fieldset', {}, h('legend', {}, 'Name'), h('div', { class: 'fields' },
      field('Look for', nameKind),
      field('Name', h('input', { name: 'name', type: 'text' }), '* and ? are wildcards'),
      field('First name', h('input', { name: 'first', type: 'text' }), 'Of the candidate or treasurer'))),
    h('fieldset', {}, h('legend', {}, 'Kind'), h('div', { class: 'fields' },
      field('Committee type', type), field('Level', level), field('Status', status),
      field('Office sought', office), field('Party', party)),
    checkbox('with_nrr', 'Include the non-registered reporting entities')),
    h('div', { class: 'actions' }, h('button', { type: 'submit' }, 'Search'),
      h('button', { type: 'reset', class: 'secondary' }, 'Clear')));
  const results = pagedTable({
    caption: 'Committees found',
    columns: [
      ['Committee', (c) => h('a', { href: `/desk/committees/${c.OrgID}`, 'data-route': true }, c.OrgName || `Committee ${c.OrgID}`)],
      ['ID', (c) => cellText(c.OrgID)],
      ['Type', (c) => cellText(c.CommTypeDesc || c.CommTypeCode)],
      ['Status', (c) => cellText(c.StatusDesc || c.StatusCode)],
      ['Candidate', (c) => person(c.CandFirstName, c.CandMiddleName, c.CandLastName, c.CandSuffix)],
      ['Treasurer', (c) => person(c.TreasFirstName, c.TreasMiddleName, c.TreasLastName, c.TreasSuffix)],
    ],
    load: (after) => {
      const choices = formChoices(form);
      if (!choices.has('name') && !choices.has('first')) choices.delete('name_kind');
      choices.set('limit', '25');
      if (after) choices.set('after', after);
      return desk.send(`/api/committees?${choices}`);
    },
    empty: 'No committee matches these choices.',
  });
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    history.replaceState(null, '', `/desk/committees#${formChoices(form)}`);
    results.start();
  });
  main.append(form, h('section', { 'aria-label': 'Committees found' }, results.element));
  const kept = hashChoices();
  if ([...kept.keys()].length) {
    setChoices(form, kept);
    results.start();
  }
}

export async function committeeView(main, desk, id) {
  let committee = null;
  try {
    committee = await api(`/api/public/committees/${id}`);
  } catch {
    // A committee that is no longer current has no public page; its documents still show.
  }
  titled(main, committee ? committee.OrgName : `Committee ${id}`, desk.room);
  if (committee) {
    const facts = [
      ['Committee ID', `${committee.OrgID}${committee.FullID ? ` (${committee.FullID})` : ''}`],
      ['In-house name', committee.InhouseName],
      ['Type', committee.CommTypeDesc],
      ['Status', committee.StatusDesc],
      ['Candidate', person(committee.CandFirstName, committee.CandMiddleName, committee.CandLastName, committee.CandSuffix)],
      ['Treasurer', person(committee.TreasFirstName, committee.TreasMiddleName, committee.TreasLastName, committee.TreasSuffix)],
    ].filter(([, value]) => value);
    main.append(h('dl', { class: 'facts' }, facts.map(([name, value]) => [h('dt', {}, name), h('dd', {}, value)])));
  }
  main.append(h('p', {}, h('a', { href: `/desk/checks#committee=${id}`, 'data-route': true }, 'Run a filing check for this committee')));
  const documents = pagedTable({
    caption: 'The committee’s documents',
    columns: [
      ['Document', (d) => h('a', { href: `/desk/documents/${d.UniqueID}`, 'data-route': true }, `${d.UniqueID}`)],
      ['Year', (d) => cellText(d.DocYear)],
      ['Type', (d) => [d.DocTypeCodeDesc, d.DocNameDesc].filter(Boolean).join(': ')],
      ['Title', (d) => cellText(d.Title)],
      ['Received', (d) => cellText(d.ReceiveSendDate, 'date')],
      ['Entered', (d) => cellText(d.EntryDate, 'date')],
    ],
    load: (after) => desk.send(`/api/committees/${id}/documents?limit=25${after ? `&after=${after}` : ''}`),
    empty: 'The committee has no documents.',
  });
  main.append(h('h2', {}, 'Documents'), documents.element);
  await documents.start();
}

const CHECKS = [
  ['48h-list', '48-hour notices of the period'],
  ['48h-list-amend', '48-hour notices of the period, for an amendment'],
  ['mef-check', 'MEF check'],
  ['mef-return', 'MEF return'],
  ['existing-report', 'Existing report'],
];

export async function checksView(main, desk) {
  titled(main, 'Filing checks', desk.room);
  const subType = await codeSelect(desk, { name: 'sub_type', kind: 'report-sub-type' });
  const committee = h('input', { name: 'committee', type: 'number', min: 1, required: true, inputmode: 'numeric' });
  const finder = h('input', { type: 'search', autocomplete: 'off' });
  const found = h('ul', { class: 'results', 'aria-label': 'Committees found' });
  let asked = 0;
  finder.addEventListener('input', debounce(async () => {
    const mine = ++asked;
    const text = finder.value.trim();
    if (!text) return fill(found);
    try {
      const names = await api(`/api/public/names?q=${encodeURIComponent(text)}&limit=6`);
      if (mine !== asked) return undefined;
      return fill(found, names.items.map((item) => h('li', {}, h('button', { type: 'button', class: 'secondary', onclick: () => {
        committee.value = item.OrgID;
        fill(found);
        finder.value = item.OrgName;
        committee.focus();
      } }, `${item.OrgName} (ID ${item.OrgID})`))));
    } catch (error) {
      return fill(found, h('li', {}, alertBox(error)));
    }
  }, 150));
  const form = h('form', { 'aria-label': 'Filing check' },
    h('div', { class: 'fields' },
      field('Check', h('select', { name: 'type' }, CHECKS.map(([value, text]) => h('option', { value }, text)))),
      field('Committee ID', committee),
      h('div', {}, field('Find the committee by name', finder), found),
      field('Document ID', h('input', { name: 'document', type: 'number', min: 1, inputmode: 'numeric' })),
      field('Report year', h('input', { name: 'year', type: 'number', min: 1900, max: 2100, inputmode: 'numeric' })),
      field('Report sub-type', subType),
      field('Period from', h('input', { name: 'from', type: 'date' })),
      field('Period to', h('input', { name: 'to', type: 'date' })),
      field('Total receipts', h('input', { name: 'receipts', type: 'text', inputmode: 'decimal' })),
      field('Total expenditures', h('input', { name: 'expenditures', type: 'text', inputmode: 'decimal' }))),
    h('div', { class: 'actions' }, h('button', { type: 'submit' }, 'Run the check')));
  const findings = h('section', { 'aria-label': 'Findings', 'aria-live': 'polite' });
  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    const choices = formChoices(form);
    history.replaceState(null, '', `/desk/checks#${choices}`);
    const type = choices.get('type');
    choices.delete('type');
    const body = Object.fromEntries(choices);
    fill(findings, h('p', { role: 'status' }, 'Running the check…'));
    try {
      const result = await desk.send(`/api/checks/${type}`, { method: 'POST', body });
      const columns = result.rows.length ? Object.keys(result.rows[0]) : [];
      fill(findings, h('h2', {}, 'Findings'),
        h('dl', { class: 'facts' },
          h('dt', {}, 'A match was found'), h('dd', {}, result.MatchFound ? 'Yes' : 'No'),
          h('dt', {}, 'MEF flag'), h('dd', {}, result.MEFFlag ? 'Yes' : 'No'),
          h('dt', {}, 'Election'), h('dd', {}, String(result.ElectionID))),
        result.rows.length ? h('div', { class: 'table-wrap' }, h('table', {},
          h('caption', {}, `${result.rows.length} ${result.rows.length === 1 ? 'row' : 'rows'} found`),
          h('thead', {}, h('tr', {}, columns.map((c) => h('th', { scope: 'col' }, c)))),
          h('tbody', {}, result.rows.map((row) => h('tr', {}, columns.map((c) => h('td', {}, cellText(row[c])))))))) : null);
    } catch (error) {
      fill(findings, alertBox(error));
    }
  });
  main.append(form, findings);
  const kept = hashChoices();
  if ([...kept.keys()].length) setChoices(form, kept);
}

export async function exportsView(main, desk) {
  titled(main, 'Exports', desk.room);
  const [filedType, filedSubType, corrType, corrDocType, corrSubType] = await Promise.all([
    codeSelect(desk, { name: 'committee_type', kind: 'committee-type' }),
    codeSelect(desk, { name: 'sub_type', kind: 'report-sub-type' }),
    codeSelect(desk, { name: 'committee_type', kind: 'committee-type' }),
    codeSelect(desk, { name: 'doc_type', kind: 'document-type', value: 'COR', blank: null }),
    codeSelect(desk, { name: 'sub_type', kind: 'document-sub-type', of: 'COR' }),
  ]);
  const filedWhere = h('div', { 'aria-live': 'polite' });
  const filed = h('form', { 'aria-labelledby': 'filed-heading' },
    h('div', { class: 'fields' },
      field('Report year', h('input', { name: 'year', type: 'number', min: 1900, max: 2100, inputmode: 'numeric' })),
      field('Which reports', h('select', { name: 'kind' }, h('option', { value: 'filed' }, 'Filed'),
        h('option', { value: 'late' }, 'Filed late'), h('option', { value: 'notfiled' }, 'Not filed'))),
      field('Committee type', filedType), field('Report sub-type', filedSubType),
      field('Due by', h('input', { name: 'due', type: 'date' })),
      field('Periods from', h('input', { name: 'from', type: 'date' })),
      field('Periods to', h('input', { name: 'to', type: 'date' })),
      field('Entered on or after', h('input', { name: 'entered_since', type: 'date' }))),
    h('div', { class: 'actions' }, h('button', { type: 'submit' }, 'Download the filed-reports list')));
  filed.addEventListener('submit', (event) => {
    event.preventDefault();
    download(desk, `/api/exports/filed-reports.csv?${formChoices(filed)}`, 'filed-reports.csv', filedWhere);
  });
  const corrWhere = h('div', { 'aria-live': 'polite' });
  const correspondence = h('form', { 'aria-labelledby': 'corr-heading' },
    h('div', { class: 'fields' },
      field('Committee type', corrType), field('Document type', corrDocType), field('Sub-type', corrSubType),
      field('From', h('input', { name: 'from', type: 'date' })),
      field('To', h('input', { name: 'to', type: 'date' }))),
    h('div', { class: 'actions' }, h('button', { type: 'submit' }, 'Download the correspondence list')));
  correspondence.addEventListener('submit', (event) => {
    event.preventDefault();
    download(desk, `/api/exports/correspondence.csv?${formChoices(correspondence)}`, 'correspondence.csv', corrWhere);
  });
  main.append(
    h('section', {}, h('h2', { id: 'filed-heading' }, 'Filed reports'), filed, filedWhere),
    h('section', {}, h('h2', { id: 'corr-heading' }, 'Correspondence'), correspondence, corrWhere));
}

// The public reading room: find a committee by any name a person may type
// for it, see its filings by year with a chart of the totals its reports
// declare, open a filing and look at its pages. Reads the public disclosure
// API only; no sign-in.
import { api, h, fill, route, titled, alertBox, debounce, formatMoney, formatDate, today } from './common.js';
import { totalsChart } from './chart.js';

const ROOM = 'Public reading room';
const main = document.getElementById('main');

fill(document.getElementById('site-header'),
  h('a', { class: 'brand', href: '/', 'data-route': true }, ROOM),
  h('nav', { 'aria-label': 'Reading room' }, h('ul', {}, h('li', {}, h('a', { href: '/', 'data-route': true }, 'Find a committee')))));

const KINDS = { committee: 'Committee name', candidate: 'Candidate', treasurer: 'Treasurer' };

// Every row of a keyset list, following `next` (a committee's filings fit in a few pages).
async function allRows(path) {
  const rows = [];
  let after = 0;
  for (;;) {
    const separator = path.includes('?') ? '&' : '?';
    const page = await api(`${path}${separator}limit=500${after ? `&after=${after}` : ''}`);
    rows.push(...page.items);
    if (page.next === null || page.next === undefined || page.items.length === 0) return rows;
    after = page.next;
  }
}

function personName(first, middle, last, suffix) {
  return [first, middle, last, suffix].filter(Boolean).join(' ');
}

// The search box with its typeahead: each keystroke (after a short pause)
// asks the name search; the committees found are links. Arrow keys move
// between the box and the links, Escape returns to the box.
function searchView() {
  titled(main, 'Find a committee', ROOM);
  const input = h('input', { id: 'names', type: 'search', autocomplete: 'off', spellcheck: 'false',
    'aria-describedby': 'names-help', 'aria-controls': 'name-results' });
  const status = h('p', { id: 'names-status', class: 'muted', role: 'status' });
  const results = h('ul', { id: 'name-results', class: 'results', 'aria-label': 'Committees found' });
  let asked = 0;
  const search = async () => {
    const text = input.value.trim();
    const mine = ++asked;
    if (!text) {
      fill(results);
      fill(status);
      return;
    }
    try {
      const found = await api(`/api/public/names?q=${encodeURIComponent(text)}&limit=15`);
      if (mine !== asked) return;  // a later keystroke asked again
      fill(results, found.items.map((item) => h('li', {},
        h('a', { href: `/committees/${item.OrgID}`, 'data-route': true },
          item.OrgName,
          h('span', { class: 'matched' },
            item.Kind === 'committee' && item.MatchedName === item.OrgName
              ? `Status ${item.StatusCode}${item.LastFiledDate ? `, last filed ${formatDate(item.LastFiledDate)}` : ''}`
              : `${KINDS[item.Kind] || item.Kind}: ${item.MatchedName}`)))));
      fill(status, found.items.length === 0 ? `No committee has a name like “${text}”.`
        : `${found.items.length} ${found.items.length === 1 ? 'committee' : 'committees'} found.`);
    } catch (error) {
      if (mine === asked) fill(status, alertBox(error));
    }
  };
  input.addEventListener('input', debounce(search, 150));
  const form = h('form', { role: 'search', class: 'search-box', onsubmit: (event) => { event.preventDefault(); search(); } },
    h('label', { for: 'names' }, 'Search names'),
    input,
    h('p', { id: 'names-help', class: 'muted' },
      'Type any part of a committee’s, candidate’s or treasurer’s name, in any order: “bab sus”, “s babcock”. Accents are not needed.'));
  const move = (event) => {
    const links = [...results.querySelectorAll('a')];
    const at = links.indexOf(document.activeElement);
    if (event.key === 'ArrowDown' && links.length) {
      event.preventDefault();
      links[Math.min(at + 1, links.length - 1)].focus();
    } else if (event.key === 'ArrowUp' && at >= 0) {
      event.preventDefault();
      (at === 0 ? input : links[at - 1]).focus();
    } else if (event.key === 'Escape' && at >= 0) {
      input.focus();
    }
  };
  input.addEventListener('keydown', move);
  results.addEventListener('keydown', move);

  const year = h('input', { id: 'csv-year', type: 'number', min: 1900, max: 2100, value: Number(today().slice(0, 4)) - 1 });
  const download = h('a', { class: 'button secondary', download: true }, 'Download CSV');
  const point = () => { download.href = `/api/public/exports/filed-reports.csv?year=${encodeURIComponent(year.value)}`; };
  year.addEventListener('input', point);
  point();
  main.append(form, status, results,
    h('section', { 'aria-labelledby': 'csv-heading' },
      h('h2', { id: 'csv-heading' }, 'Filed reports of a year'),
      h('p', {}, 'Every report filed for a report year, as a spreadsheet (CSV).'),
      h('div', { class: 'actions' },
        h('div', {}, h('label', { for: 'csv-year' }, 'Report year'), year),
        download)));
  input.focus();
}

async function committeeView(id) {
  const [committee, filings, reports] = await Promise.all([
    api(`/api/public/committees/${id}`),
    allRows(`/api/public/filings?committee=${id}`),
    allRows(`/api/public/committees/${id}/reports`),
  ]);
  titled(main, committee.OrgName, ROOM);
  const candidate = personName(committee.CandFirstName, committee.CandMiddleName, committee.CandLastName, committee.CandSuffix);
  const treasurer = personName(committee.TreasFirstName, committee.TreasMiddleName, committee.TreasLastName, committee.TreasSuffix);
  const facts = [
    ['Also listed as', committee.InhouseName],
    ['Committee ID', committee.FullID],
    ['Previous ID', committee.PreviousID],
    ['Type', committee.CommTypeDesc || committee.CommTypeCode],
    ['Status', committee.StatusDesc || committee.StatusCode],
    ['Candidate', candidate + (committee.CandNickName ? ` (“${committee.CandNickName}”)` : '')],
    ['Treasurer', treasurer],
  ].filter(([, value]) => value);
  main.append(h('dl', { class: 'facts' }, facts.map(([name, value]) => [h('dt', {}, name), h('dd', {}, value)])));

  const declared = reports.filter((r) => !r.NoTotals)
    .sort((a, b) => (a.EndDate || a.ReceiveSendDate || '').localeCompare(b.EndDate || b.ReceiveSendDate || '') || a.UniqueID - b.UniqueID);
  main.append(h('section', { 'aria-labelledby': 'totals-heading', class: 'chart' },
    h('h2', { id: 'totals-heading' }, 'Receipts and expenditures, report by report'),
    declared.length ? totalsChart(declared) : h('p', {}, 'The committee’s reports declare no totals.')));

  const byYear = new Map();
  for (const filing of filings) {
    if (!byYear.has(filing.DocYear)) byYear.set(filing.DocYear, []);
    byYear.get(filing.DocYear).push(filing);
  }
  const years = [...byYear.keys()].sort((a, b) => b - a);
  main.append(h('h2', {}, 'Filings by year'));
  if (!years.length) main.append(h('p', {}, 'The committee has filed nothing.'));
  for (const year of years) {
    const rows = byYear.get(year).sort((a, b) => (b.ReceiveSendDate || '').localeCompare(a.ReceiveSendDate || ''));
    main.append(h('section', { 'aria-labelledby': `year-${year}` },
      h('h3', { id: `year-${year}` }, `${year}`),
      h('div', { class: 'table-wrap' }, h('table', {},
        h('caption', { class: 'visually-hidden' }, `Filings of ${year}`),
        h('thead', {}, h('tr', {}, h('th', { scope: 'col' }, 'Filing'), h('th', { scope: 'col' }, 'Received'),
          h('th', { scope: 'col' }, 'Period'))),
        h('tbody', {}, rows.map((f) => h('tr', {},
          h('td', {}, h('a', { href: `/filings/${f.UniqueID}`, 'data-route': true }, f.Title || `Filing ${f.UniqueID}`),
            f.IsAmendment ? ' (amended)' : ''),
          h('td', {}, formatDate(f.ReceiveSendDate)),
          h('td', {}, f.BeginDate ? `${formatDate(f.BeginDate)} – ${formatDate(f.EndDate)}` : ''))))))));
  }
}

async function filingView(id) {
  const filing = await api(`/api/public/filings/${id}`);
  titled(main, filing.Title || `Filing ${id}`, ROOM);
  const kind = [filing.DocTypeCodeDesc || filing.DocTypeCode, filing.DocNameDesc].filter(Boolean).join(': ');
  const facts = [
    ['Filed by', filing.NameListed],
    ['What', kind],
    ['Year', filing.DocYear],
    ['Period', filing.BeginDate ? `${formatDate(filing.BeginDate)} – ${formatDate(filing.EndDate)}` : ''],
    ['Received', formatDate(filing.ReceiveSendDate)],
    ['Due', formatDate(filing.DueDate)],
    ['Amendment', filing.IsAmendment ? 'Yes' : ''],
    ['Total receipts', filing.NoTotals ? '' : formatMoney(filing.TotalReceipts)],
    ['Total expenditures', filing.NoTotals ? '' : formatMoney(filing.TotalExpenditures)],
  ].filter(([, value]) => value !== '' && value !== null && value !== undefined);
  main.append(h('dl', { class: 'facts' }, facts.map(([name, value]) => [h('dt', {}, name), h('dd', {}, String(value))])));
  const count = filing.PageCount || 0;
  if (!count) {
    main.append(h('p', {}, 'No pages of this filing are on file.'));
    return;
  }
  main.append(
    h('div', { class: 'actions' }, h('a', { class: 'button', href: `/api/public/filings/${id}.pdf`, download: `filing-${id}.pdf` }, 'Download PDF')),
    h('h2', {}, `Pages (${count})`),
    h('div', { class: 'pages' }, Array.from({ length: count }, (_, i) => h('img', {
      src: `/api/public/filings/${id}/pages/${i + 1}.png?width=1000`,
      alt: `Page ${i + 1} of ${count}`,
      loading: i < 2 ? 'eager' : 'lazy',
      width: 1000,
    }))));
}

route(async (path) => {
  let match;
  if (path === '/') return searchView();
  if ((match = /^\/committees\/(\d+)$/.exec(path))) return committeeView(Number(match[1]));
  if ((match = /^\/filings\/(\d+)$/.exec(path))) return filingView(Number(match[1]));
  titled(main, 'There is no such page', ROOM);
  return undefined;
});

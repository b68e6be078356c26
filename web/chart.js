// The chart of a committee's declared totals: for each report, in period
// order, a bar for its receipts and one for its expenditures, drawn as SVG
// from the figures themselves. The picture is for the eye only; the same
// figures are in a table that screen readers read instead.
import { h, s, formatMoney, formatDate } from './common.js';

// A round step for the axis: 1, 2 or 5 times a power of ten, about a quarter of `top`.
function axisStep(top) {
  const rough = top / 4;
  const power = 10 ** Math.floor(Math.log10(rough));
  return [1, 2, 5, 10].map((m) => m * power).find((step) => step >= rough);
}

function shortMoney(value) {
  if (value >= 1e6) return `$${(value / 1e6).toFixed(value % 1e6 ? 1 : 0)}M`;
  if (value >= 1e3) return `$${(value / 1e3).toFixed(value % 1e3 ? 1 : 0)}k`;
  return `$${value}`;
}

function label(report) {
  return [report.DocSubTypeCode, report.DocYear].filter(Boolean).join(' ') || `Report ${report.UniqueID}`;
}

// reports: each with UniqueID, DocYear, DocSubTypeCode, Title, BeginDate,
// EndDate, TotalReceipts and TotalExpenditures (decimal texts).
export function totalsChart(reports) {
  const rows = reports.map((r) => ({
    report: r,
    receipts: Math.max(0, Number(r.TotalReceipts) || 0),
    expenditures: Math.max(0, Number(r.TotalExpenditures) || 0),
  }));
  const top = Math.max(1, ...rows.flatMap((r) => [r.receipts, r.expenditures]));
  const step = axisStep(top);
  const ceiling = Math.ceil(top / step) * step;
  const left = 64, bottom = 48, topMargin = 12, plot = 240;
  const band = Math.max(18, Math.min(48, 900 / rows.length));
  const width = left + band * rows.length + 12;
  const height = topMargin + plot + bottom;
  const y = (value) => topMargin + plot - (value / ceiling) * plot;
  const labelEvery = Math.ceil(rows.length / Math.floor((width - left) / 56));

  const grid = [];
  for (let v = 0; v <= ceiling + step / 2; v += step) {
    grid.push(s('line', { x1: left, x2: width - 8, y1: y(v), y2: y(v), stroke: '#c9d0d8', 'stroke-width': 1 }),
      s('text', { x: left - 6, y: y(v) + 4, 'text-anchor': 'end', 'font-size': 11, fill: '#4a5360' }, shortMoney(v)));
  }
  const bars = rows.map((row, i) => {
    const x = left + i * band + band * 0.12;
    const barWidth = band * 0.36;
    const named = `${row.report.Title || label(row.report)}`;
    return s('g', {},
      s('rect', { x, y: y(row.receipts), width: barWidth, height: plot + topMargin - y(row.receipts), class: 'bar-receipts', fill: '#0b5cad' },
        s('title', {}, `${named}: receipts ${formatMoney(row.receipts)}`)),
      s('rect', { x: x + barWidth, y: y(row.expenditures), width: barWidth, height: plot + topMargin - y(row.expenditures), fill: '#b3541e' },
        s('title', {}, `${named}: expenditures ${formatMoney(row.expenditures)}`)),
      i % labelEvery === 0
        ? s('text', { x: x + barWidth, y: topMargin + plot + 16, 'text-anchor': 'middle', 'font-size': 11, fill: '#1b1f24' }, label(row.report))
        : null);
  });
  const picture = s('svg', { viewBox: `0 0 ${width} ${height}`, 'aria-hidden': 'true', focusable: 'false', preserveAspectRatio: 'xMinYMin meet' },
    grid, bars);

  const table = h('div', { class: 'visually-hidden' }, h('table', {},
    h('caption', {}, 'Receipts and expenditures each report declares'),
    h('thead', {}, h('tr', {},
      h('th', { scope: 'col' }, 'Report'), h('th', { scope: 'col' }, 'Period'),
      h('th', { scope: 'col', class: 'number' }, 'Receipts'), h('th', { scope: 'col', class: 'number' }, 'Expenditures'))),
    h('tbody', {}, rows.map((row) => h('tr', {},
      h('th', { scope: 'row' }, row.report.Title || label(row.report)),
      h('td', {}, row.report.BeginDate ? `${formatDate(row.report.BeginDate)} – ${formatDate(row.report.EndDate)}` : ''),
      h('td', { class: 'number' }, formatMoney(row.report.TotalReceipts)),
      h('td', { class: 'number' }, formatMoney(row.report.TotalExpenditures)))))));

  return h('figure', { class: 'chart' },
    h('div', { class: 'legend', 'aria-hidden': 'true' },
      h('span', {}, h('span', { class: 'swatch receipts' }), 'Receipts'),
      h('span', {}, h('span', { class: 'swatch expenditures' }), 'Expenditures')),
    picture,
    table);
}

// The public reading room in Debian's Chromium: a reader finds a committee
// by part of an accented name typed without its accent, opens a filing and
// sees its first page, and downloads the filing's PDF and a year's CSV.
// Every page passes the accessibility, console and weight checks.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { startOffice, launchBrowser, openPage, visit, checkPage, clerkApi } from './harness.mjs';

let office, browser;
before(async () => {
  // The smallest sample office with accented names (Ávila, Ørsted).
  office = await startOffice({ documents: 1500 });
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
  await office?.stop();
});

async function json(path) {
  const response = await fetch(office.base + path);
  assert.equal(response.status, 200, path);
  return response.json();
}

test('a reader finds a committee without typing its accent, opens a filing, sees its pages and downloads them', async () => {
  // The sample office's Ørsted: a committee whose treasurer or candidate is
  // named so. A clerk stores scanned pages on its latest filing first.
  const found = (await json('/api/public/names?q=orsted&limit=50')).items;
  assert.ok(found.length > 0, 'the sample office has an Ørsted');
  const committee = found[0];
  const filings = (await json(`/api/public/filings?committee=${committee.OrgID}&limit=500`)).items;
  const filing = filings.find((f) => f.Title) ?? filings[0];
  const clerk = await clerkApi(office.base, 'clerk1');
  const scanned = (await json('/api/public/filings?limit=500')).items.find((f) => f.HasImage);
  const image = await clerk.bytes(`/api/documents/${scanned.UniqueID}/image`);
  await clerk.send('PUT', `/api/documents/${filing.UniqueID}/image`, image, image.subarray(1, 4).toString() === 'PNG' ? 'image/png' : 'image/tiff');

  const page = await openPage(browser);
  await visit(page, `${office.base}/`);
  await checkPage(page, 'reading-room-search');
  // Part of the name, no accent, typed key by key as a person would.
  await page.getByRole('searchbox', { name: 'Search names' }).pressSequentially('orst', { delay: 30 });
  const result = page.getByRole('link', { name: new RegExp(committee.OrgName) }).first();
  await result.waitFor();
  assert.match(await page.getByRole('list', { name: 'Committees found' }).innerText(), /Ørsted/);
  await checkPage(page, 'reading-room-names');
  // The keyboard alone reaches the result: down from the box, then Enter.
  await page.getByRole('searchbox', { name: 'Search names' }).focus();
  const links = await page.getByRole('list', { name: 'Committees found' }).getByRole('link').allInnerTexts();
  for (let i = 0; i <= links.findIndex((text) => text.startsWith(committee.OrgName)); ++i) await page.keyboard.press('ArrowDown');
  await page.keyboard.press('Enter');
  await page.getByRole('heading', { level: 1, name: committee.OrgName }).waitFor();
  assert.equal(new URL(page.url()).pathname, `/committees/${committee.OrgID}`);

  // The committee's page: its facts, the chart's figures as a table, its filings by year.
  const reports = (await json(`/api/public/committees/${committee.OrgID}/reports?limit=500`)).items.filter((r) => !r.NoTotals);
  const figures = page.getByRole('table', { name: 'Receipts and expenditures each report declares' });
  if (reports.length) {
    assert.equal(await figures.locator('tbody tr').count(), reports.length);
    assert.equal(await page.locator('.chart svg rect').count(), 2 * reports.length);
  }
  await checkPage(page, 'reading-room-committee');
  await page.locator(`a[href="/filings/${filing.UniqueID}"]`).click();
  await page.getByRole('heading', { level: 1, name: filing.Title }).waitFor();
  assert.equal(new URL(page.url()).pathname, `/filings/${filing.UniqueID}`);

  // The filing's first page is a picture that loaded, named for what it is.
  const whole = await json(`/api/public/filings/${filing.UniqueID}`);
  const first = page.getByRole('img', { name: `Page 1 of ${whole.PageCount}` });
  await first.waitFor();
  await page.waitForFunction((img) => img.complete && img.naturalWidth > 0, await first.elementHandle());
  await checkPage(page, 'reading-room-filing');

  const [pdf] = await Promise.all([page.waitForEvent('download'), page.getByRole('link', { name: 'Download PDF' }).click()]);
  assert.equal(readFileSync(await pdf.path()).subarray(0, 5).toString(), '%PDF-');

  // The year's filed reports, as the service writes them.
  await page.getByRole('link', { name: 'Find a committee' }).click();
  await page.getByLabel('Report year').fill(String(filing.DocYear));
  const [csv] = await Promise.all([page.waitForEvent('download'), page.getByRole('link', { name: 'Download CSV' }).click()]);
  const expected = await (await fetch(`${office.base}/api/public/exports/filed-reports.csv?year=${filing.DocYear}`)).text();
  assert.equal(readFileSync(await csv.path(), 'utf8'), expected);
  assert.deepEqual(page.consoleMessages, []);
});

test('a page the office does not have says so, and the reader can go on', async () => {
  const page = await openPage(browser, { width: 375 });
  await visit(page, `${office.base}/filings/99999999`);
  await page.getByRole('alert').waitFor();
  assert.match(await page.getByRole('alert').innerText(), /there is no filing 99999999/);
  // The 404 of the filing is the browser's own note, not the page's.
  page.consoleMessages = page.consoleMessages.filter((m) => !/status of 404/.test(m));
  await checkPage(page, 'reading-room-missing');
  await page.getByRole('link', { name: 'Find a committee' }).click();
  await page.getByRole('searchbox', { name: 'Search names' }).waitFor();
});

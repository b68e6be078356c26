// The clerk's desk in Debian's Chromium: a clerk signs in with the keyboard,
// searches, changes a report and sees the change after a reload, links a
// committee by typing its name, stores a page image and sees it, and signs
// out; two clerks changing one document are told, and nothing is mixed; the
// committee, check and export pages answer as the service does. Every page
// passes the accessibility, console and weight checks.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { startOffice, launchBrowser, openPage, visit, checkPage, signIn, clerkApi, PASSWORD } from './harness.mjs';

let office, browser, clerk;
before(async () => {
  office = await startOffice();
  browser = await launchBrowser();
  clerk = await clerkApi(office.base, 'clerk2');
});
after(async () => {
  await browser?.close();
  await office?.stop();
});

// The browser's own note of a refusal the test asked for is no fault of the page.
function forgiveRefusals(page, status) {
  page.consoleMessages = page.consoleMessages.filter((m) => !m.includes(`status of ${status}`));
}

test('a clerk signs in, changes a report, links a committee, stores its pages and signs out', async () => {
  const page = await openPage(browser);
  await visit(page, `${office.base}/desk`);
  await checkPage(page, 'desk-sign-in');
  // A wrong password is refused in the service's words; the form stays.
  await page.keyboard.type('clerk1');
  await page.keyboard.press('Tab');
  await page.keyboard.type('not the password');
  await page.keyboard.press('Enter');
  await page.getByRole('alert').waitFor();
  assert.match(await page.getByRole('alert').innerText(), /the user name or the password is wrong/);
  forgiveRefusals(page, 401);
  await page.getByLabel('Password').fill(PASSWORD);
  await page.keyboard.press('Enter');
  await page.getByRole('button', { name: 'Sign out' }).waitFor();

  // The search form: year and committee type, as the API answers them.
  await page.getByLabel('Year').fill('2004');
  await page.getByLabel('Committee type').selectOption('CNC');
  await page.getByRole('button', { name: 'Search', exact: true }).click();
  const results = page.getByRole('table', { name: /Documents found, page 1/ });
  await results.waitFor();
  const expected = await clerk.json('/api/documents?year=2004&committee_type=CNC&limit=25');
  assert.equal(await results.locator('tbody tr').count(), expected.items.length);
  await checkPage(page, 'desk-search');
  const report = expected.items.find((d) => d.DocTypeCode === 'RPT');
  await results.getByRole('link', { name: String(report.UniqueID), exact: true }).click();
  await page.getByRole('heading', { level: 1, name: `Document ${report.UniqueID}` }).waitFor();

  // Its due date and amount due, changed in place, saved, and there after a reload.
  await page.getByLabel('Due date').fill('2004-12-31');
  await page.getByLabel('Amount due').fill('25.00');
  await page.getByRole('button', { name: 'Save' }).click();
  await page.getByText('Saved: Due date, Amount due.').waitFor();
  await checkPage(page, 'desk-document');
  await page.reload();
  await page.getByLabel('Due date').waitFor();
  assert.equal(await page.getByLabel('Due date').inputValue(), '2004-12-31');
  assert.equal(await page.getByLabel('Amount due').inputValue(), '25.00');
  const saved = await clerk.json(`/api/documents/${report.UniqueID}`);
  assert.deepEqual([saved.DueDate, saved.AmountDue, saved.Title], ['2004-12-31', '25.0000', report.Title]);

  // A committee linked by typing its name.
  const linked = (await clerk.json(`/api/documents/${report.UniqueID}/committees`)).items.map((l) => l.OrgID);
  const other = (await (await fetch(`${office.base}/api/public/names?q=friends&limit=50`)).json()).items
    .find((n) => !linked.includes(n.OrgID));
  await page.getByLabel('Link a committee by name').pressSequentially('friends', { delay: 20 });
  const literal = other.OrgName.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
  await page.getByRole('button', { name: new RegExp(`^Link ${literal} \\(.*ID ${other.OrgID}\\)$`) }).click();
  await page.getByText(`Document ${report.UniqueID} is linked to ${other.OrgName}.`).waitFor();
  assert.ok((await clerk.json(`/api/documents/${report.UniqueID}/committees`)).items.some((l) => l.OrgID === other.OrgID && !l.affected));
  await page.getByRole('link', { name: other.OrgName }).waitFor();

  // A page image uploaded and seen.
  const scanned = (await (await fetch(`${office.base}/api/public/filings?limit=500`)).json()).items.find((f) => f.HasImage);
  const png = Buffer.from(await (await fetch(`${office.base}/api/public/filings/${scanned.UniqueID}/pages/1.png?width=600`)).arrayBuffer());
  await page.getByLabel('Page image (TIFF or PNG)').setInputFiles({ name: 'scan.png', mimeType: 'image/png', buffer: png });
  await page.getByRole('button', { name: 'Store these pages' }).click();
  const picture = page.getByRole('img', { name: 'Page 1 of 1' });
  await picture.waitFor();
  await page.waitForFunction((img) => img.complete && img.naturalWidth === 800, await picture.elementHandle());
  const stored = await clerk.bytes(`/api/documents/${report.UniqueID}/image`);
  assert.ok(stored.equals(png), 'the office keeps the image as it was sent');

  // Signed out, the desk is out of reach: its pages ask to sign in, its API refuses.
  await page.getByRole('button', { name: 'Sign out' }).click();
  await page.getByRole('button', { name: 'Sign in' }).waitFor();
  await visit(page, `${office.base}/desk/documents/${report.UniqueID}`);
  await page.getByRole('heading', { level: 1, name: 'Sign in' }).waitFor();
  assert.equal((await page.request.get(`${office.base}/api/documents/${report.UniqueID}`)).status(), 401);
  assert.deepEqual(page.consoleMessages, []);
});

test('two clerks change one document: the second is told, and nothing is mixed', async () => {
  const id = (await clerk.json('/api/documents?type=RPT&limit=1')).items[0].UniqueID;
  const before = await clerk.json(`/api/documents/${id}`);
  const first = await openPage(browser);
  const second = await openPage(browser);
  await signIn(first, office.base, 'clerk1');
  await signIn(second, office.base, 'clerk2');
  for (const page of [first, second]) {
    await visit(page, `${office.base}/desk/documents/${id}`);
    await page.getByLabel('Title').waitFor();
  }
  await first.getByLabel('Title').fill('Changed by the first clerk');
  await first.getByRole('button', { name: 'Save' }).click();
  await first.getByText('Saved: Title.').waitFor();

  await second.getByLabel('Amount paid').fill('99.00');
  await second.getByRole('button', { name: 'Save' }).click();
  const told = second.getByRole('alert');
  await told.waitFor();
  assert.match(await told.innerText(), new RegExp(`Another clerk changed document ${id} after you opened it`));
  forgiveRefusals(second, 412);
  await checkPage(second, 'desk-conflict');

  const after = await clerk.json(`/api/documents/${id}`);
  assert.deepEqual([after.Title, after.AmountPaid], ['Changed by the first clerk', before.AmountPaid]);
  // The old form stays until their version has been read, so wait for the
  // page to be redrawn (the alert goes with the old page) before reading.
  await second.getByRole('button', { name: 'Show their version' }).click();
  await told.waitFor({ state: 'detached' });
  await second.getByLabel('Title').waitFor();
  assert.equal(await second.getByLabel('Title').inputValue(), 'Changed by the first clerk');
});

test('the committee, check and export pages answer as the service does, and a deletion asks first', async () => {
  const page = await openPage(browser);
  await signIn(page, office.base, 'clerk1');

  // A committee of the office, looked for by the last word of its name.
  const some = (await (await fetch(`${office.base}/api/public/committees?limit=1`)).json()).items[0];
  const pattern = `*${some.OrgName.split(' ').at(-1)}*`;
  await page.getByRole('link', { name: 'Committees', exact: true }).click();
  await page.getByLabel('Name', { exact: true }).fill(pattern);
  await page.getByRole('button', { name: 'Search', exact: true }).click();
  const found = page.getByRole('table', { name: /Committees found/ });
  await found.waitFor();
  const expected = await clerk.json(`/api/committees?name=${encodeURIComponent(pattern)}&name_kind=committee&limit=25`);
  assert.equal(await found.locator('tbody tr').count(), expected.items.length);
  await checkPage(page, 'desk-committees');
  const committee = expected.items[0];
  await found.getByRole('link', { name: committee.OrgName }).click();
  const documents = page.getByRole('table', { name: /The committee’s documents/ });
  await documents.waitFor();
  const listed = await clerk.json(`/api/committees/${committee.OrgID}/documents?limit=25`);
  assert.equal(await documents.locator('tbody tr').count(), listed.items.length);
  await checkPage(page, 'desk-committee');

  // A 48-hour list for the committee, its findings as the service finds them.
  await page.getByRole('link', { name: 'Run a filing check for this committee' }).click();
  assert.equal(await page.getByLabel('Committee ID').inputValue(), String(committee.OrgID));
  await page.getByLabel('Report year').fill('2004');
  await page.getByRole('button', { name: 'Run the check' }).click();
  await page.getByRole('heading', { name: 'Findings' }).waitFor();
  const checked = await (await clerk.send('POST', '/api/checks/48h-list', { committee: String(committee.OrgID), year: '2004' })).json();
  assert.equal(await page.locator('dl.facts dd').first().innerText(), checked.MatchFound ? 'Yes' : 'No');
  assert.equal(await page.locator('section[aria-label=Findings] tbody tr').count(), checked.rows.length);
  await checkPage(page, 'desk-checks');

  // The filed-reports export, downloaded as the service writes it.
  await page.getByRole('link', { name: 'Exports' }).click();
  await page.getByLabel('Report year').fill('2007');
  const [csv] = await Promise.all([page.waitForEvent('download'),
    page.getByRole('button', { name: 'Download the filed-reports list' }).click()]);
  const written = await (await clerk.send('GET', '/api/exports/filed-reports.csv?year=2007&kind=filed')).text();
  assert.equal(readFileSync(await csv.path(), 'utf8'), written);
  await checkPage(page, 'desk-exports');

  // Deleting asks first: "Keep it" keeps it, "Delete" deletes it.
  const doomed = listed.items.at(-1).UniqueID;
  await visit(page, `${office.base}/desk/documents/${doomed}`);
  await page.getByRole('button', { name: 'Delete document' }).click();
  await page.getByRole('dialog').getByRole('button', { name: 'Keep it' }).click();
  assert.equal((await clerk.json(`/api/documents/${doomed}`)).DeleteDate, null);
  await page.getByRole('button', { name: 'Delete document' }).click();
  await page.getByRole('dialog').getByRole('button', { name: 'Delete', exact: true }).click();
  await page.getByText(`Document ${doomed} was deleted.`).waitFor();
  assert.equal((await fetch(`${office.base}/api/public/filings/${doomed}`)).status, 404);
  assert.deepEqual(page.consoleMessages, []);
});

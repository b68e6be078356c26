// The clerk's desk: signing in and out, the desk's navigation, and which
// view the path shows. The views themselves are in desk-documents.js (the
// document search and one document) and desk-office.js (committees, checks,
// exports).
import { api, h, fill, route, titled, alertBox, Refusal } from './common.js';
import { searchView, documentView } from './desk-documents.js';
import { committeesView, committeeView, checksView, exportsView } from './desk-office.js';

const ROOM = "Clerk's desk";
const main = document.getElementById('main');
const header = document.getElementById('site-header');

// The signed-in clerk: { user, role, csrf_token }, or null.
let clerk = null;

// What every view gets: the clerk, and the API with the session's CSRF token.
const desk = {
  room: ROOM,
  get clerk() { return clerk; },
  send(path, options = {}) {
    return api(path, { ...options, csrf: clerk?.csrf_token }).catch((error) => {
      if (error instanceof Refusal && error.status === 401) {
        clerk = null;
        drawHeader();
      }
      throw error;
    });
  },
};

function drawHeader() {
  const links = [
    ['/desk', 'Documents'],
    ['/desk/committees', 'Committees'],
    ['/desk/checks', 'Checks'],
    ['/desk/exports', 'Exports'],
  ];
  fill(header,
    h('a', { class: 'brand', href: '/desk', 'data-route': true }, ROOM),
    clerk ? h('nav', { 'aria-label': 'Desk' },
      h('ul', {}, links.map(([href, text]) => h('li', {}, h('a', { href, 'data-route': true }, text))))) : null,
    clerk ? h('div', { class: 'who' },
      h('span', {}, `Signed in as ${clerk.user}`),
      h('button', { type: 'button', class: 'secondary', onclick: signOut }, 'Sign out')) : null);
}

async function signOut() {
  try {
    await desk.send('/api/logout', { method: 'POST' });
  } catch {
    // A session that already ended is signed out all the same.
  }
  clerk = null;
  drawHeader();
  history.pushState(null, '', '/desk');
  signInView();
}

function signInView(error) {
  titled(main, 'Sign in', ROOM);
  const message = h('div', { 'aria-live': 'polite' }, error ? alertBox(error) : null);
  const form = h('form', { class: 'sign-in', novalidate: true },
    h('p', {}, h('label', { for: 'user' }, 'User'),
      h('input', { id: 'user', name: 'user', type: 'text', autocomplete: 'username', required: true })),
    h('p', {}, h('label', { for: 'password' }, 'Password'),
      h('input', { id: 'password', name: 'password', type: 'password', autocomplete: 'current-password', required: true })),
    h('div', { class: 'actions' }, h('button', { type: 'submit' }, 'Sign in')));
  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    const button = form.querySelector('button');
    button.disabled = true;
    try {
      clerk = await api('/api/login', { method: 'POST', body: { user: form.user.value, password: form.password.value } });
      drawHeader();
      await draw(location.pathname, new URLSearchParams(location.search));
      main.querySelector('h1')?.focus();
    } catch (refusal) {
      fill(message, alertBox(refusal));
      form.password.value = '';
      form.password.focus();
    } finally {
      button.disabled = false;
    }
  });
  main.append(message, form);
  form.user.focus();
}

// Who is signed in, asked once per page load (the session cookie is not
// readable by the page).
async function findClerk() {
  const session = await api('/api/session');
  clerk = session.user ? session : null;
}

const views = [
  [/^\/desk$/, (params) => searchView(main, desk, params)],
  [/^\/desk\/documents\/(\d+)$/, (params, id) => documentView(main, desk, Number(id))],
  [/^\/desk\/committees$/, (params) => committeesView(main, desk, params)],
  [/^\/desk\/committees\/(\d+)$/, (params, id) => committeeView(main, desk, Number(id), params)],
  [/^\/desk\/checks$/, (params) => checksView(main, desk, params)],
  [/^\/desk\/exports$/, (params) => exportsView(main, desk, params)],
];

async function draw(path, params) {
  if (!clerk) return signInView();
  for (const [pattern, view] of views) {
    const match = pattern.exec(path);
    if (match) return view(params, ...match.slice(1));
  }
  titled(main, 'There is no such page', ROOM);
  return undefined;
}

await findClerk();
drawHeader();
route(draw);

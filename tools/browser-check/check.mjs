#!/usr/bin/env node
// Opens original pages and their converted forms in headless Chromium and checks
// that each converted form shows what its original shows.
//
// Folder layout: an original is NAME.html; its converted forms stand beside it as
//   NAME.packed.html   (JavaScript packing)
//   NAME.plain.html    (plain compaction)
// Files named *.packed.html or *.plain.html are never taken for originals.
// A base name that ends in ".cgi" (NAME.cgi.html) marks a page sent behind
// server header lines, ended by an empty line: the header lines of each form
// must equal the original's (line ends aside), and the pages after them are
// compared as above.
//
// Usage:
//   node check.mjs [options] FOLDER [NAME ...]
//       Checks the given base names (NAME or NAME.html), or every original in
//       FOLDER. Every form listed by --forms must exist; a missing form fails.
//   node check.mjs --self-test
//       Builds pairs that must pass and pairs that must fail in a temporary
//       folder and checks that the verdicts are the expected ones.
// Options:
//   --forms=packed,plain   the forms to compare (default: both)
//   --timeout=MS           limit for loading and reading one page (default 20000;
//                          three times as much for shooting it)
//   --jobs=N               originals checked at the same time (default 2)
//   --all-diffs            list every differing field, not only the first
//   --pictures[=FOLDER]    also compare full-page screenshots pixel by pixel; for
//                          a pair that differs, keep NAME.original.png,
//                          NAME.FORM.png and NAME.FORM.diff.png (changed pixels
//                          red) in FOLDER (default: FOLDER/pictures beside the pages)
//
// Each page is opened in a new browser context that lets file: requests through
// and aborts every other request, so remote resources fail the same way for both
// pages. After the load event the check waits for document.fonts.ready and two
// animation frames, then reads, in this order:
//   characterSet, compatMode, title,
//   innerText     body text, runs of ASCII white space folded to one blank
//   preText       exact text of elements whose white space or line breaks are
//                 preserved (PRE, white-space: pre-line...)
//   formValues    values of inputs, text areas and selects
//   links         href of a, area, link elements (as written in the page)
//   images        src of img, input, script, iframe, frame, embed, source
// With --pictures, each page is then shot whole: the viewport (1280 wide) is
// grown to the page's scroll size first, up to 16000 pixels each way, so that
// nothing is shot while it is resized. A picture that differs in any pixel
// fails the pair with the field "picture", the number of changed pixels and
// their bounding box (x from-to, y from-to, inclusive), after the other fields.
// A pair that differs is read once more, both pages anew, and only a difference
// that stays fails it: a busy machine now and then paints an edge pixel
// differently or runs a page's own scripts late.
// An uncaught script error or a failed load in a converted page that its original
// does not show fails the pair.
// Output: one line per pair ("OK", "DIFF", "FAIL" or "MISSING" and the form's
// file name), then "N passed, M failed". Exit status 0 when all pairs passed,
// 1 when any failed, 2 on a usage error.

import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { decodePng, diffPictures, encodePng } from './png.mjs';

const FORMS = ['packed', 'plain'];
const LAUNCH_ARGS = [
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
];
// Base names that end in this stand for pages sent behind server header lines.
const SERVER_PAGE_SUFFIX = '.cgi';
const VIEWPORT = { width: 1280, height: 720 };
const MAX_PICTURE_SIZE = 16000;
const FIELDS = ['characterSet', 'compatMode', 'title', 'innerText', 'preText', 'formValues', 'links', 'images'];

// Loaded lazily, so that --help works without node_modules.
async function loadChromium() {
  const { chromium } = await import('playwright-core');
  return chromium;
}

function withTimeout(promise, ms, what) {
  let timer;
  const limit = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`${what} took longer than ${ms} ms`)), ms);
  });
  return Promise.race([promise, limit]).finally(() => clearTimeout(timer));
}

// Runs inside the page: everything that is compared.
function readPage() {
  const fold = (text) => text.replace(/[ \t\n\f\r]+/g, ' ').trim();
  const body = document.body;
  const preserved = (element) => {
    const style = getComputedStyle(element);
    const collapse = style.whiteSpaceCollapse || '';
    return (
      collapse === 'preserve' ||
      collapse === 'break-spaces' ||
      collapse === 'preserve-breaks' ||
      ['pre', 'pre-wrap', 'pre-line', 'break-spaces'].includes(style.whiteSpace)
    );
  };
  const preText = [];
  const taken = new Set();
  if (body) {
    for (const element of body.querySelectorAll('*')) {
      if (element.matches('textarea, input, select, option, script, style')) continue;
      let ancestor = element.parentElement;
      while (ancestor && !taken.has(ancestor)) ancestor = ancestor.parentElement;
      if (ancestor) continue;
      if (preserved(element)) {
        taken.add(element);
        preText.push(element.innerText);
      }
    }
  }
  const formValues = [];
  for (const element of document.querySelectorAll('input, textarea, select')) {
    const kind = element.type === 'checkbox' || element.type === 'radio' ? `:${element.checked}` : '';
    formValues.push(`${element.tagName.toLowerCase()}[${element.name}]${kind}=${element.value}`);
  }
  const attributes = (selector, name) =>
    [...document.querySelectorAll(selector)].map((element) => `${element.tagName.toLowerCase()} ${element.getAttribute(name)}`);
  return {
    characterSet: document.characterSet,
    compatMode: document.compatMode,
    title: document.title,
    innerText: body ? fold(body.innerText) : '',
    preText,
    formValues,
    links: attributes('a[href], area[href], link[href]', 'href'),
    images: attributes('img[src], input[src], script[src], iframe[src], frame[src], embed[src], source[src]', 'src'),
  };
}

async function settle() {
  await document.fonts.ready;
  await new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)));
}

// Runs inside the page: the size of everything there is to shoot.
function scrollSize() {
  const sides = [document.documentElement, document.body].filter(Boolean);
  return {
    width: Math.max(0, ...sides.map((element) => element.scrollWidth)),
    height: Math.max(0, ...sides.map((element) => element.scrollHeight)),
  };
}

// Shoots the whole page. The viewport grows to the page first (a few rounds, for
// pages whose height follows the viewport's), since shooting a page taller than
// the viewport resizes it while shooting, which some pages answer by moving.
async function shootPage(page) {
  let size = { ...VIEWPORT };
  for (let round = 0; round < 4; round++) {
    const scroll = await page.evaluate(scrollSize);
    const wanted = {
      width: Math.min(MAX_PICTURE_SIZE, Math.max(VIEWPORT.width, scroll.width)),
      height: Math.min(MAX_PICTURE_SIZE, Math.max(VIEWPORT.height, scroll.height)),
    };
    if (wanted.width === size.width && wanted.height === size.height) break;
    size = wanted;
    await page.setViewportSize(size);
    await page.evaluate(settle);
  }
  return page.screenshot({ type: 'png', animations: 'disabled', caret: 'hide' });
}

// Opens one page in a fresh context and returns {snapshot, errors} or {failure};
// with `shoot`, also its full-page picture.
async function openPage(browser, file, timeout, shoot = false) {
  const context = await browser.newContext({ javaScriptEnabled: true, viewport: VIEWPORT });
  const errors = [];
  try {
    const page = await context.newPage();
    // The page is read where it loaded: a later navigation of the page itself (a
    // META refresh, a script that sets location) is cancelled, so it cannot
    // replace the page while it is read or shot.
    let navigations = 0;
    await context.route('**/*', (route) => {
      const request = route.request();
      if (request.isNavigationRequest() && request.frame() === page.mainFrame() && navigations++ > 0) {
        return route.abort('aborted');
      }
      return request.url().startsWith('file:') ? route.continue() : route.abort();
    });
    page.on('pageerror', (error) => errors.push(String(error.message || error).split('\n')[0]));
    page.on('dialog', (dialog) => dialog.dismiss().catch(() => {}));
    const started = Date.now();
    const left = () => Math.max(1, timeout - (Date.now() - started));
    await page.goto(pathToFileURL(file).href, { waitUntil: 'load', timeout });
    await withTimeout(page.evaluate(settle), left(), 'waiting for fonts and frames');
    const snapshot = await withTimeout(page.evaluate(readPage), left(), 'reading the page');
    // Shooting a tall page takes far longer than reading it: it has a limit of its own.
    const picture = shoot ? await withTimeout(shootPage(page), timeout * 3, 'shooting the page') : null;
    return { snapshot, errors, picture };
  } catch (error) {
    return { failure: String(error.message || error).split('\n')[0], errors };
  } finally {
    await withTimeout(context.close(), 10000, 'closing the page').catch(() => {});
  }
}

const quote = (text) => JSON.stringify(text);

// Describes the first difference between two values of one field.
function describe(field, original, converted) {
  if (typeof original === 'string') {
    let at = 0;
    while (at < original.length && at < converted.length && original[at] === converted[at]) at++;
    const from = Math.max(0, at - 30);
    const cut = (text) => (from > 0 ? '…' : '') + text.slice(from, at + 30) + (at + 30 < text.length ? '…' : '');
    return `${field} differs at ${at}: original ${quote(cut(original))}, converted ${quote(cut(converted))}`;
  }
  let at = 0;
  while (at < original.length && at < converted.length && original[at] === converted[at]) at++;
  const item = (list) => (at < list.length ? quote(list[at]) : 'nothing');
  return `${field} differs at item ${at} of ${original.length}/${converted.length}: original ${item(original)}, converted ${item(converted)}`;
}

// Compares two readings of pages; returns null when they agree, otherwise the
// first difference (every difference with `allDiffs`).
// With `asciiOnly` (the original holds no byte above 127) the character set the browser
// guesses is left out: every ASCII-compatible reading shows such a page the same way.
// `more` holds differences found elsewhere (the pictures'), listed after the fields.
export function compare(original, converted, allDiffs, asciiOnly = false, more = []) {
  const diffs = [];
  for (const field of FIELDS) {
    if (asciiOnly && field === 'characterSet') continue;
    const a = original[field];
    const b = converted[field];
    if (JSON.stringify(a) !== JSON.stringify(b)) diffs.push(describe(field, a, b));
  }
  diffs.push(...more);
  if (diffs.length === 0) return null;
  if (allDiffs) return diffs.join('; ');
  const others = diffs.length > 1 ? ` (and ${diffs.length - 1} more field${diffs.length > 2 ? 's' : ''})` : '';
  return diffs[0] + others;
}

// Says where two pictures differ, or null when they are the same.
export function describePictureDiff(diff, original, converted) {
  if (!diff) return null;
  const sizes =
    original.width === converted.width && original.height === converted.height
      ? ''
      : ` (original ${original.width}x${original.height}, converted ${converted.width}x${converted.height})`;
  return `picture differs: ${diff.count} pixels in x ${diff.left}-${diff.right}, y ${diff.top}-${diff.bottom}${sizes}`;
}

// Compares the screenshots of two opened pages; returns null when they are the same,
// otherwise the difference of diffPictures with the decoded pictures added.
function differingPictures(original, converted) {
  // Equal PNG files hold equal pictures; only others are decoded and compared.
  if (original.picture.equals(converted.picture)) return null;
  original.decoded ||= decodePng(original.picture);
  const decoded = decodePng(converted.picture);
  const diff = diffPictures(original.decoded, decoded);
  return diff && { ...diff, original: original.decoded, converted: decoded };
}

// Keeps the pictures of a pair that differs, for a person to look at.
// `original` and `converted` are the opened pages, with their screenshots.
function savePictures(folder, base, form, original, converted, diff) {
  fs.mkdirSync(folder, { recursive: true });
  const originalName = path.join(folder, `${base}.original.png`);
  if (!fs.existsSync(originalName)) fs.writeFileSync(originalName, original.picture);
  fs.writeFileSync(path.join(folder, `${base}.${form}.png`), converted.picture);
  fs.writeFileSync(path.join(folder, `${base}.${form}.diff.png`), encodePng(diff.picture));
}

// Splits server header lines from the page after them: the header ends at the
// first empty line (LF or CR LF line ends). Returns null when there is none.
export function splitServerHeader(bytes) {
  const text = bytes.toString('latin1');
  const blank = /\r?\n\r?\n/.exec(text);
  if (!blank) return null;
  return { lines: text.slice(0, blank.index).split(/\r?\n/), body: bytes.subarray(blank.index + blank[0].length) };
}

// For a page served behind a header: compares the header lines of the original
// and of each form, and writes the pages after the headers into `scratch`, where
// the browser opens them. Returns the files to open and the forms that failed.
function separateHeaders(originalFile, present, scratch, base) {
  const failed = [];
  const original = splitServerHeader(fs.readFileSync(originalFile));
  if (!original) {
    for (const { form } of present) failed.push({ name: `${base}.${form}.html`, verdict: 'FAIL', detail: 'the original has no server header' });
    return { originalFile, forms: [], failed };
  }
  fs.mkdirSync(scratch, { recursive: true });
  const bodyFile = (file) => path.join(scratch, path.basename(file));
  fs.writeFileSync(bodyFile(originalFile), original.body);
  const forms = [];
  for (const { file, form } of present) {
    const name = `${base}.${form}.html`;
    const converted = splitServerHeader(fs.readFileSync(file));
    const lines = converted ? converted.lines : [];
    const at = original.lines.findIndex((line, index) => line !== lines[index]);
    if (!converted || at >= 0 || lines.length !== original.lines.length) {
      const index = at >= 0 ? at : Math.min(lines.length, original.lines.length);
      const show = (list) => (index < list.length ? quote(list[index]) : 'nothing');
      failed.push({ name, verdict: 'DIFF', detail: `server header differs at line ${index + 1}: original ${show(original.lines)}, converted ${show(lines)}` });
      continue;
    }
    fs.writeFileSync(bodyFile(file), converted.body);
    forms.push({ file: bodyFile(file), form });
  }
  return { originalFile: bodyFile(originalFile), forms, failed };
}

// Tells how a reading of an original and a converted page differs (`differences` gives
// { diff, pictureDiff }, diff null when they agree). A pair that differs is read once more by
// `readAgain` (both pages anew; null where either did not load or was not shot), and only a
// difference that stays counts (see the top of this file). Returns the reading that decided,
// its differences, and firstOnly: the first reading differed and the second agreed.
export async function settleDifference(first, readAgain, differences) {
  const found = differences(first);
  if (!found.diff) return { reading: first, ...found, firstOnly: false };
  const again = await readAgain();
  if (!again) return { reading: first, ...found, firstOnly: false };
  const second = differences(again);
  return { reading: again, ...second, firstOnly: !second.diff };
}

// Checks one original against its forms; returns one result per form.
async function checkOriginal(getBrowser, folder, base, options) {
  let originalFile = path.join(folder, base + '.html');
  const forms = options.forms.map((form) => ({ form, file: path.join(folder, `${base}.${form}.html`) }));
  const missing = forms.filter(({ file }) => !fs.existsSync(file));
  const results = missing.map(({ form }) => ({ name: `${base}.${form}.html`, verdict: 'MISSING', detail: 'no such file' }));
  let present = forms.filter(({ file }) => fs.existsSync(file));
  if (base.endsWith(SERVER_PAGE_SUFFIX) && present.length > 0) {
    const separated = separateHeaders(originalFile, present, path.join(options.scratch, base), base);
    results.push(...separated.failed);
    originalFile = separated.originalFile;
    present = separated.forms;
  }
  if (present.length === 0) return results;

  const shoot = Boolean(options.pictures);
  // A base name may hold folders (pages checked where they stand); the pictures
  // stay in one flat folder.
  const pictureBase = base.replace(/[\\/]/g, '--');
  const original = await openPage(await getBrowser(), originalFile, options.timeout, shoot);
  const asciiOnly = fs.readFileSync(originalFile).every((byte) => byte < 0x80);
  if (shoot) {
    // Pictures of an earlier run of this page must not be taken for this run's.
    for (const name of fs.existsSync(options.pictures) ? fs.readdirSync(options.pictures) : []) {
      if (name.startsWith(`${pictureBase}.`) && /^(original|[a-z]+(\.diff)?)\.png$/.test(name.slice(pictureBase.length + 1))) {
        fs.rmSync(path.join(options.pictures, name), { force: true });
      }
    }
  }
  for (const { file, form } of present) {
    const name = `${base}.${form}.html`;
    if (original.failure) {
      results.push({ name, verdict: 'FAIL', detail: `original did not load: ${original.failure}` });
      continue;
    }
    const converted = await openPage(await getBrowser(), file, options.timeout, shoot);
    const newErrors = converted.errors.filter((error) => !original.errors.includes(error));
    if (converted.failure) {
      results.push({ name, verdict: 'FAIL', detail: `did not load: ${converted.failure}` });
    } else if (newErrors.length > 0) {
      results.push({ name, verdict: 'FAIL', detail: `script error: ${newErrors.join(' | ')}` });
    } else {
      const notes = original.errors.length ? [`both throw: ${original.errors.join(' | ')}`] : [];
      // What the two pages show, as text and, when shooting, as pictures.
      const differences = (reading) => {
        const pictureDiff = shoot ? differingPictures(reading.original, reading.converted) : null;
        const more = pictureDiff ? [describePictureDiff(pictureDiff, pictureDiff.original, pictureDiff.converted)] : [];
        return { pictureDiff, diff: compare(reading.original.snapshot, reading.converted.snapshot, options.allDiffs, asciiOnly, more) };
      };
      const readAgain = async () => {
        const again = await openPage(await getBrowser(), originalFile, options.timeout, shoot);
        const convertedAgain = await openPage(await getBrowser(), file, options.timeout, shoot);
        const read = !again.failure && !convertedAgain.failure && (!shoot || (again.picture && convertedAgain.picture));
        return read ? { original: again, converted: convertedAgain } : null;
      };
      const { reading, pictureDiff, diff, firstOnly } = await settleDifference({ original, converted }, readAgain, differences);
      if (pictureDiff) savePictures(options.pictures, pictureBase, form, reading.original, reading.converted, pictureDiff);
      if (firstOnly) notes.push('the pages differed at the first reading only');
      const note = notes.length ? `(${notes.join('; ')})` : '';
      results.push(diff ? { name, verdict: 'DIFF', detail: diff } : { name, verdict: 'OK', detail: note });
    }
  }
  // Keep the order of the forms whatever failed early.
  const order = options.forms.map((form) => `${base}.${form}.html`);
  return results.sort((a, b) => order.indexOf(a.name) - order.indexOf(b.name));
}

export function listOriginals(folder) {
  return fs
    .readdirSync(folder)
    .filter((name) => name.endsWith('.html') && !FORMS.some((form) => name.endsWith(`.${form}.html`)))
    .map((name) => name.slice(0, -'.html'.length))
    .sort();
}

// Checks the originals `bases` in `folder`; calls `report` with each result as it
// comes and returns all results, in the order of `bases`.
export async function checkFolder(folder, bases, options = {}, report = () => {}) {
  const settings = { forms: FORMS, timeout: 20000, jobs: 2, allDiffs: false, ...options };
  if (settings.pictures === true) settings.pictures = path.join(folder, 'pictures');
  if (settings.pictures) settings.pictures = path.resolve(settings.pictures);
  settings.scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'browser-check-'));
  const chromium = await loadChromium();
  let browser = null;
  let launching = null;
  const getBrowser = async () => {
    if (browser && browser.isConnected()) return browser;
    if (!launching) {
      launching = chromium
        .launch({ executablePath: settings.executablePath || '/usr/bin/chromium', headless: true, args: LAUNCH_ARGS })
        .then((launched) => {
          browser = launched;
          launching = null;
          return launched;
        });
    }
    return launching;
  };
  const results = new Array(bases.length);
  let next = 0;
  let reported = 0;
  const worker = async () => {
    while (next < bases.length) {
      const index = next++;
      try {
        results[index] = await checkOriginal(getBrowser, folder, bases[index], settings);
      } catch (error) {
        results[index] = [{ name: bases[index] + '.html', verdict: 'FAIL', detail: String(error.message || error) }];
      }
      // Report in the order of `bases`, whichever job finishes first.
      while (reported < bases.length && results[reported]) results[reported++].forEach(report);
    }
  };
  try {
    await Promise.all(Array.from({ length: Math.max(1, settings.jobs) }, worker));
  } finally {
    if (browser) await withTimeout(browser.close(), 15000, 'closing the browser').catch(() => {});
    fs.rmSync(settings.scratch, { recursive: true, force: true });
  }
  return results.flat();
}

function printResult({ name, verdict, detail }) {
  console.log(`${verdict.padEnd(7)} ${name}${detail ? ': ' + detail : ''}`);
}

function parseArguments(argv) {
  const options = {};
  const positional = [];
  let selfTest = false;
  for (const arg of argv) {
    const [key, value] = arg.includes('=') ? [arg.slice(0, arg.indexOf('=')), arg.slice(arg.indexOf('=') + 1)] : [arg, null];
    if (key === '--self-test') selfTest = true;
    else if (key === '--all-diffs') options.allDiffs = true;
    else if (key === '--pictures') options.pictures = value || true;
    else if (key === '--forms' && value) {
      options.forms = value.split(',');
      if (options.forms.some((form) => !FORMS.includes(form))) throw new Error(`unknown form in ${arg}`);
    } else if ((key === '--timeout' || key === '--jobs') && /^[1-9]\d*$/.test(value || '')) {
      options[key.slice(2)] = Number(value);
    } else if (key === '--help' || key === '-h') return { help: true };
    else if (arg.startsWith('--')) throw new Error(`unknown option ${arg}`);
    else positional.push(arg);
  }
  return { options, positional, selfTest };
}

function printUsage() {
  const text = fs.readFileSync(fileURLToPath(import.meta.url), 'utf8');
  const header = text.split('\n').slice(1).filter((line) => line.startsWith('//')).map((line) => line.slice(3));
  console.log(header.join('\n'));
}

async function main(argv) {
  let parsed;
  try {
    parsed = parseArguments(argv);
  } catch (error) {
    console.error(`check: ${error.message}`);
    return 2;
  }
  if (parsed.help) {
    printUsage();
    return 0;
  }
  if (parsed.selfTest) {
    const { runSelfTest } = await import('./self-test-cases.mjs');
    return runSelfTest(checkFolder, parsed.options);
  }
  const [folder, ...names] = parsed.positional;
  if (!folder || !fs.existsSync(folder) || !fs.statSync(folder).isDirectory()) {
    console.error('check: give a folder of pages (see --help)');
    return 2;
  }
  const bases = names.length ? names.map((name) => name.replace(/\.html$/, '')) : listOriginals(folder);
  for (const base of bases) {
    if (!fs.existsSync(path.join(folder, base + '.html'))) {
      console.error(`check: no original ${base}.html in ${folder}`);
      return 2;
    }
  }
  if (bases.length === 0) {
    console.error(`check: no pages in ${folder}`);
    return 2;
  }
  const results = await checkFolder(path.resolve(folder), bases, parsed.options, printResult);
  const passed = results.filter((result) => result.verdict === 'OK').length;
  console.log(`${passed} passed, ${results.length - passed} failed`);
  return results.length > 0 && passed === results.length ? 0 : 1;
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  process.exitCode = await main(process.argv.slice(2));
}

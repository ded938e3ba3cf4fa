// The browser check's own test: pairs that must pass and pairs that must fail,
// each with the verdict and the first differing field the check has to report.
// Run with: node check.mjs --self-test

import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import { formatPackedPage, WORKED_EXAMPLE } from '../packed-format.mjs';

const ORIGINAL = `<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Self-test page</title>
<script>var greeting = "Hello";</script>
</head>
<body>
<h1>Hello, world</h1>
<p>Caf\u00e9 au lait, cr\u00e8me br\u00fbl\u00e9e.   The <b>quick</b> brown fox
jumps over the "lazy" dog.</p>
<!-- a comment -->
<pre>name\tvalue
port\t8080</pre>
<p><a href="Next.html">Next page</a> <img src="Logo.png" alt="logo"></p>
<form><textarea name="Note">typed   text</textarea></form>
</body>
</html>
`;

// Compacted by hand: blanks folded, comment and html/head tags gone.
const PLAIN = `<!DOCTYPE html><meta charset="utf-8"><title>Self-test page</title><script>var greeting = "Hello";</script><body><h1>Hello, world</h1><p>Caf\u00e9 au lait, cr\u00e8me br\u00fbl\u00e9e. The <b>quick</b> brown fox jumps over the "lazy" dog.</p><pre>name\tvalue
port\t8080</pre><p><a href="Next.html">Next page</a> <img src="Logo.png" alt="logo"></p><form><textarea name="Note">typed   text</textarea></form></body>`;

const PACKED_HEAD = '<!DOCTYPE html><META CHARSET="utf-8"><TITLE>Self-test page</TITLE><script>var greeting = "Hello";</script><BODY>';
const PACKED_TEXT = PLAIN.slice(PLAIN.indexOf('<h1>'));

// Writes text as literal coded text with the code table \x01 \x02 \x03: capitals
// lowered between case toggles, double quotes as \x03, script string escapes.
// Non-ASCII characters stay outside case runs.
function codeLiterally(text) {
  let coded = '';
  let upper = false;
  for (const ch of text) {
    const isUpper = ch >= 'A' && ch <= 'Z';
    const isLower = ch >= 'a' && ch <= 'z';
    if ((isUpper && !upper) || ((isLower || ch > '\x7f') && upper)) {
      coded += '\x02';
      upper = !upper;
    }
    if (ch === '"') coded += '\x03';
    else if (ch === '\\') coded += '\\\\';
    else if (ch === '\n') coded += '\\n';
    else if (ch === '\t') coded += '\\t';
    else coded += isUpper ? ch.toLowerCase() : ch;
  }
  return upper ? coded + '\x02' : coded;
}

function packedPage(text, head = PACKED_HEAD, header = '') {
  const coded = codeLiterally(text);
  const cLines = [];
  for (let at = 0; at < coded.length; at += 120) cLines.push(coded.slice(at, at + 120));
  return formatPackedPage({ header, head, t: '\x01\x02\x03', cLines, l: 3, outputChunk: 40 });
}

const HEADER_CRLF = 'Content-Type: text/html\r\nX-Served-By: search.cgi\r\n\r\n';
const HEADER_LF = 'Content-Type: text/html\nX-Served-By: search.cgi\n\n';

// Changes `from` to `to` in `text`, and insists that `from` was there.
function change(text, from, to) {
  if (!text.includes(from)) throw new Error(`self-test: ${JSON.stringify(from)} not found`);
  return text.replace(from, to);
}

// Each case: the files of one original and what the check must say about each
// form. `field` is the first differing field the DIFF line must name.
const CASES = [
  {
    // The worked example behind a character set declaration: a page that declares
    // none is decoded by a guess, which the code characters can change.
    base: 'worked-example',
    original: '<META CHARSET="utf-8">' + WORKED_EXAMPLE.original,
    packed: formatPackedPage({ ...WORKED_EXAMPLE, head: '<META CHARSET="utf-8">' }),
    plain: '<META CHARSET="utf-8"><P>Hi there Hi there Bob "x" yy yy</P>',
    expect: { packed: { verdict: 'OK' }, plain: { verdict: 'OK' } },
  },
  {
    base: 'same-page',
    original: ORIGINAL,
    packed: packedPage(PACKED_TEXT),
    plain: PLAIN,
    expect: { packed: { verdict: 'OK' }, plain: { verdict: 'OK' } },
  },
  {
    base: 'extra-blanks',
    original: ORIGINAL,
    plain: change(PLAIN, 'brown fox jumps', 'brown \n\n  fox   \t jumps <!-- new --> '),
    packed: packedPage(change(PACKED_TEXT, '<h1>Hello, world</h1>', '\n<h1>Hello,    world</h1>\n\n')),
    expect: { packed: { verdict: 'OK' }, plain: { verdict: 'OK' } },
  },
  {
    base: 'word-split',
    original: ORIGINAL,
    plain: change(PLAIN, 'Hello, world', 'Hello , world'),
    packed: packedPage(change(PACKED_TEXT, 'quick</b> brown', 'quick</b>brown')),
    expect: { plain: { verdict: 'DIFF', field: 'innerText' }, packed: { verdict: 'DIFF', field: 'innerText' } },
  },
  {
    base: 'upper-cased-accent',
    original: ORIGINAL,
    plain: PLAIN,
    // A case run that goes on over a non-ASCII letter: the decoder upper-cases it.
    packed: packedPage(PACKED_TEXT).replace('\x02c\x02af\u00e9', '\x02caf\u00e9\x02'),
    expect: { plain: { verdict: 'OK' }, packed: { verdict: 'DIFF', field: 'innerText' } },
  },
  {
    base: 'title',
    original: ORIGINAL,
    plain: change(PLAIN, '<title>Self-test page', '<title>Self-test Page'),
    packed: packedPage(PACKED_TEXT, change(PACKED_HEAD, 'Self-test page', 'SELF-TEST PAGE')),
    expect: { plain: { verdict: 'DIFF', field: 'title' }, packed: { verdict: 'DIFF', field: 'title' } },
  },
  {
    base: 'no-doctype',
    original: ORIGINAL,
    plain: change(PLAIN, '<!DOCTYPE html>', ''),
    packed: packedPage(PACKED_TEXT, change(PACKED_HEAD, '<!DOCTYPE html>', '')),
    expect: { plain: { verdict: 'DIFF', field: 'compatMode' }, packed: { verdict: 'DIFF', field: 'compatMode' } },
  },
  {
    base: 'other-charset',
    original: ORIGINAL,
    plain: change(PLAIN, '<meta charset="utf-8">', '<meta charset="windows-1252">'),
    packed: packedPage(PACKED_TEXT),
    expect: { plain: { verdict: 'DIFF', field: 'characterSet' }, packed: { verdict: 'OK' } },
  },
  {
    base: 'pre-tab',
    original: ORIGINAL,
    // Folding the body text hides this one; the preserved text shows it.
    plain: change(PLAIN, 'name\tvalue', 'name value'),
    packed: packedPage(change(PACKED_TEXT, 'port\t8080', 'port\t8080\n')),
    expect: { plain: { verdict: 'DIFF', field: 'preText' }, packed: { verdict: 'DIFF', field: 'preText' } },
  },
  {
    // Line breaks kept by a style, not by the tag: folded, they show as one line.
    base: 'pre-line',
    original: change(ORIGINAL, '<h1>Hello, world</h1>', '<h1 style="white-space:pre-line">Hello,\nworld</h1>'),
    plain: change(PLAIN, '<h1>Hello, world</h1>', '<h1 style="white-space:pre-line">Hello, world</h1>'),
    packed: packedPage(change(PACKED_TEXT, '<h1>Hello, world</h1>', '<h1 style="white-space:pre-line">Hello,\nworld</h1>')),
    expect: { plain: { verdict: 'DIFF', field: 'preText' }, packed: { verdict: 'OK' } },
  },
  {
    base: 'textarea',
    original: ORIGINAL,
    plain: change(PLAIN, 'typed   text', 'typed text'),
    packed: packedPage(PACKED_TEXT),
    expect: { plain: { verdict: 'DIFF', field: 'formValues' }, packed: { verdict: 'OK' } },
  },
  {
    base: 'link-case',
    original: ORIGINAL,
    plain: change(PLAIN, 'href="Next.html"', 'href="NEXT.HTML"'),
    packed: packedPage(change(PACKED_TEXT, 'src="Logo.png"', 'src="logo.png"')),
    expect: { plain: { verdict: 'DIFF', field: 'links' }, packed: { verdict: 'DIFF', field: 'images' } },
  },
  {
    base: 'script-error',
    original: ORIGINAL,
    plain: change(PLAIN, '<body>', '<body><script>undefinedFunction();</script>'),
    // A coded text with an unescaped quote: the packed script does not even compile.
    packed: change(packedPage(PACKED_TEXT), 'c="', 'c=""'),
    expect: { plain: { verdict: 'FAIL', field: 'script error' }, packed: { verdict: 'FAIL', field: 'script error' } },
  },
  {
    base: 'endless',
    original: ORIGINAL,
    plain: change(PLAIN, '<body>', '<body><script>for (;;) {}</script>'),
    packed: packedPage(PACKED_TEXT),
    expect: { plain: { verdict: 'FAIL', field: 'did not load' }, packed: { verdict: 'OK' } },
  },
  {
    // Pages behind server header lines: headers compared line by line, CR aside.
    base: 'served.cgi',
    original: HEADER_CRLF + ORIGINAL,
    plain: HEADER_LF + PLAIN,
    packed: packedPage(PACKED_TEXT, PACKED_HEAD, HEADER_CRLF),
    expect: { plain: { verdict: 'OK' }, packed: { verdict: 'OK' } },
  },
  {
    base: 'served-badly.cgi',
    original: HEADER_LF + ORIGINAL,
    plain: change(HEADER_LF, 'X-Served-By: search.cgi\n', '') + PLAIN,
    packed: packedPage(change(PACKED_TEXT, 'Next page', 'next page'), PACKED_HEAD, HEADER_LF),
    expect: { plain: { verdict: 'DIFF', field: 'server header' }, packed: { verdict: 'DIFF', field: 'innerText' } },
  },
  {
    base: 'missing-form',
    original: ORIGINAL,
    plain: PLAIN,
    expect: { plain: { verdict: 'OK' }, packed: { verdict: 'MISSING' } },
  },
];

// Cases checked with --pictures: the text of every form is the original's, so
// only the pictures can tell them apart. `pictures` lists the files that must be
// left in the pictures folder afterwards.
const PICTURE_CASES = [
  {
    base: 'same-picture',
    original: ORIGINAL,
    packed: packedPage(PACKED_TEXT),
    plain: PLAIN,
    expect: { packed: { verdict: 'OK' }, plain: { verdict: 'OK' } },
    pictures: [],
  },
  {
    // The body moved down by 3 pixels, and a word's colour: nothing that is read
    // from the page differs, the picture does.
    base: 'moved-picture',
    original: ORIGINAL,
    plain: change(PLAIN, '<body>', '<body style="padding-top:3px">'),
    packed: packedPage(PACKED_TEXT, change(PACKED_HEAD, '<BODY>', '<BODY><style>b{color:#010101}</style>')),
    expect: {
      plain: { verdict: 'DIFF', field: 'picture differs', box: true },
      packed: { verdict: 'DIFF', field: 'picture differs', box: true },
    },
    pictures: ['moved-picture.original.png', 'moved-picture.plain.png', 'moved-picture.plain.diff.png', 'moved-picture.packed.png', 'moved-picture.packed.diff.png'],
  },
];

// A picture difference names its pixels and a bounding box inside the page.
const PICTURE_DETAIL = /^picture differs: ([1-9]\d*) pixels in x (\d+)-(\d+), y (\d+)-(\d+)/;

function meetsExpectation(result, expected) {
  if (result.verdict !== expected.verdict) return false;
  if (expected.box) {
    const box = PICTURE_DETAIL.exec(result.detail);
    if (!box) return false;
    const [left, right, top, bottom] = box.slice(2).map(Number);
    if (left > right || top > bottom) return false;
  }
  return !expected.field || result.detail.startsWith(expected.field);
}

// Runs every case through `checkFolder`; prints one line per form and a closing
// count of expectations met. Returns the exit status.
export async function runSelfTest(checkFolder, options = {}) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'browser-check-self-test-'));
  const pictureFolder = path.join(folder, 'pictures');
  try {
    for (const { base, original, packed, plain } of [...CASES, ...PICTURE_CASES]) {
      fs.writeFileSync(path.join(folder, `${base}.html`), original);
      if (packed !== undefined) fs.writeFileSync(path.join(folder, `${base}.packed.html`), Buffer.from(packed, 'utf8'));
      if (plain !== undefined) fs.writeFileSync(path.join(folder, `${base}.plain.html`), plain);
    }
    const settings = { timeout: 8000, ...options, forms: ['packed', 'plain'] };
    const results = [
      ...(await checkFolder(folder, CASES.map(({ base }) => base), { ...settings, pictures: false })),
      ...(await checkFolder(folder, PICTURE_CASES.map(({ base }) => base), { ...settings, pictures: pictureFolder })),
    ];
    let met = 0;
    let missed = 0;
    const kept = fs.existsSync(pictureFolder) ? fs.readdirSync(pictureFolder) : [];
    for (const { base, pictures } of PICTURE_CASES) {
      const left = kept.filter((name) => name.startsWith(`${base}.`)).sort();
      const ok = JSON.stringify(left) === JSON.stringify([...pictures].sort());
      if (ok) met++;
      else missed++;
      console.log(`${ok ? 'ok     ' : 'WRONG  '} pictures of ${base}: expected ${JSON.stringify(pictures)}, got ${JSON.stringify(left)}`);
    }
    for (const { base, expect } of [...CASES, ...PICTURE_CASES]) {
      for (const form of ['packed', 'plain']) {
        const name = `${base}.${form}.html`;
        const result = results.find((candidate) => candidate.name === name);
        const expected = expect[form];
        const ok = result && meetsExpectation(result, expected);
        if (ok) met++;
        else missed++;
        const wanted = expected.verdict + (expected.field ? ` (${expected.field})` : '');
        const got = result ? `${result.verdict}${result.detail ? ': ' + result.detail : ''}` : 'no result';
        console.log(`${ok ? 'ok     ' : 'WRONG  '} ${name}: expected ${wanted}, got ${got}`);
      }
    }
    console.log(`${met} passed, ${missed} failed`);
    return missed === 0 ? 0 : 1;
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
}

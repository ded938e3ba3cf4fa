// Tests of the packed page runner on pages laid out by hand.
// Run with: node --test tools/
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import test from 'node:test';
import { fileURLToPath } from 'node:url';

import { formatPackedPage, WORKED_EXAMPLE } from './packed-format.mjs';
import { PackedPageError, runPackedPage, splitPackedPage, toBytes } from './run-packed.mjs';

const runner = path.join(path.dirname(fileURLToPath(import.meta.url)), 'run-packed.mjs');

test('the worked example decodes to the page with one blank added before </P>', () => {
  const page = formatPackedPage(WORKED_EXAMPLE);
  const result = runPackedPage(page);
  assert.equal(result.written, WORKED_EXAMPLE.decoded);
  assert.equal(result.head, '');
  assert.equal(result.header, '');
  assert.equal(result.l, 3);
  assert.equal(result.s, 'u~u~"~there ~Hi ~yy ~');
  assert.equal(result.t, '\x01\x02\x03\x04');
  assert.deepEqual(result.statuses, ['Quillboxed']);
  assert.equal(result.trailer, '\n</HTML>');
  assert.equal(result.parsed, '<!--Quillbox-->' + WORKED_EXAMPLE.decoded + '\n</HTML>');
});

// Codes of one and two characters: with l = 5, words 0 and 1 take t[3] and t[4],
// words 2 to 4 take t[0] followed by t[0], t[1], t[2]. A code character of section
// 2 (index l or above) is a literal.
test('one- and two-character codes, section-2 characters as literals', () => {
  const t = '\x01\x02\x03\x04\x05a';
  const words = ['alpha ', 'beta ', 'gamma ', 'delta ', 'eps '];
  const c = '\x04\x05\x01\x01\x01\x02\x01\x03' + 'a' + '\x05';
  const result = runPackedPage(formatPackedPage({ t, words, cLines: [c], l: 5 }));
  assert.equal(result.written, 'alpha beta gamma delta eps abeta ');
});

// Letter case: t[1] toggles upper case; a literal capital stands for its lower-case
// letter followed by a blank; a double quote comes through entry 2.
const caseCases = [
  { name: 'capital run', c: '\x02html\x02 page', written: 'HTML page' },
  { name: 'final capital is letter and blank', c: 'hellO', written: 'hello ' },
  { name: 'a capital inside a run brings its blank too', c: '\x02aB\x02', written: 'AB ' },
  { name: 'mixed word', c: '\x02q\x02uill\x02b\x02oX', written: 'QuillBox ' },
  { name: 'quote through entry 2', c: 'say \x03hi\x03', written: 'say "hi"' },
  { name: 'digits and punctuation unchanged', c: '\x021.5, <b>\x02', written: '1.5, <B>' },
];
test('case toggles, capitals and quotes', async (t) => {
  for (const { name, c, written } of caseCases) {
    await t.test(name, () => {
      const page = formatPackedPage({ t: '\x01\x02\x03\x04', words: ['x '], cLines: [c], l: 3 });
      assert.equal(runPackedPage(page).written, written);
    });
  }
});

test('coded text broken over several lines is one string', () => {
  const whole = formatPackedPage({ ...WORKED_EXAMPLE, cLines: [WORKED_EXAMPLE.cLines[0]] });
  const split = formatPackedPage({
    ...WORKED_EXAMPLE,
    cLines: [WORKED_EXAMPLE.cLines[0].slice(0, 9), WORKED_EXAMPLE.cLines[0].slice(9, 20), WORKED_EXAMPLE.cLines[0].slice(20)],
  });
  assert.match(split, /"\+\n"/);
  assert.equal(runPackedPage(split).written, runPackedPage(whole).written);
});

test('output chunks: one write every outputChunk steps, then the rest', () => {
  const c = 'abcdefghijklmnopqrstuvwxyz0123456789'.repeat(4); // 144 steps
  const page = formatPackedPage({ t: '\x01\x02\x03', cLines: [c], l: 3, outputChunk: 50 });
  const result = runPackedPage(page);
  assert.equal(result.written, c);
  assert.deepEqual(result.pieces.map((piece) => piece.length), [50, 50, 44]);
  assert.deepEqual(result.statuses, ['49% unpacking', '99% unpacking', 'Quillboxed']);
});

test('server header and head text are told apart from the script', () => {
  const header = 'Content-Type: text/html\r\nX-Test: 1\n\n';
  // The page's own script in the head carries the same start tag as the packer's.
  const head = '<TITLE>Calc</TITLE><SCRIPT LANGUAGE="JavaScript">\nt="not the table";\n</SCRIPT><BODY BGCOLOR="white">';
  const page = formatPackedPage({ ...WORKED_EXAMPLE, header, head });
  const result = runPackedPage(page);
  assert.equal(result.header, header);
  assert.equal(result.head, head);
  assert.equal(result.written, WORKED_EXAMPLE.decoded);
  assert.equal(result.parsed, '<!--Quillbox-->' + head + WORKED_EXAMPLE.decoded + '\n</HTML>');
});

test('a trailing zero byte is noticed and ignored', () => {
  const result = runPackedPage(formatPackedPage(WORKED_EXAMPLE) + '\0');
  assert.equal(result.trailingZero, true);
  assert.equal(result.written, WORKED_EXAMPLE.decoded);
  assert.equal(runPackedPage(formatPackedPage(WORKED_EXAMPLE)).trailingZero, false);
});

// Pages that are not packed, or whose script does not run.
const brokenPages = [
  { name: 'plain page', page: '<P>Hello</P>', error: PackedPageError, message: /marker/ },
  { name: 'text before the marker', page: 'junk' + formatPackedPage(WORKED_EXAMPLE), error: PackedPageError, message: /server header/ },
  { name: 'no script end', page: formatPackedPage(WORKED_EXAMPLE).replace('</SCRIPT>', ''), error: PackedPageError, message: /end tag/ },
  { name: 'no call', page: formatPackedPage(WORKED_EXAMPLE).replace('d(s,c,t,3);', ''), error: PackedPageError, message: /call/ },
  { name: 'raw line break in a string', page: formatPackedPage({ ...WORKED_EXAMPLE, cLines: ['a\nb'] }), error: SyntaxError },
  { name: 'unescaped quote in c', page: formatPackedPage({ ...WORKED_EXAMPLE, cLines: ['a"b'] }), error: SyntaxError },
];
test('broken pages are refused', async (t) => {
  for (const { name, page, error, message } of brokenPages) {
    await t.test(name, () => {
      assert.throws(() => runPackedPage(page), (thrown) => {
        assert.ok(thrown instanceof error || thrown.name === error.name, `${thrown.name}: ${thrown.message}`);
        if (message) assert.match(thrown.message, message);
        return true;
      });
    });
  }
});

test('a script that never ends is stopped', () => {
  const page = formatPackedPage(WORKED_EXAMPLE).replace('d(s,c,t,3);', 'for(;;){}d(s,c,t,3);');
  assert.throws(() => runPackedPage(page, { timeout: 200 }), /timed out/);
});

test('splitPackedPage reads l from the call', () => {
  const parts = splitPackedPage(formatPackedPage({ t: '\x01\x02\x03\x04\x05\x06\x07', cLines: ['x'], l: 42 }));
  assert.equal(parts.l, 42);
});

test('an upper-cased non-ASCII letter has no byte', () => {
  // 0xFF is y with diaeresis in one character per byte; its capital is U+0178.
  const page = formatPackedPage({ t: '\x01\x02\x03', cLines: ['\x02a\xff\x02'], l: 3 });
  const result = runPackedPage(page);
  assert.equal(result.written, 'A\u0178');
  assert.throws(() => toBytes(result.written), /U\+0178/);
  assert.deepEqual([...toBytes('A\xe9')], [0x41, 0xe9]);
});

test('command line: head text and written text, to standard output or a file', () => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'run-packed-'));
  try {
    const head = '<TITLE>Caf\xe9</TITLE>';
    const pagePath = path.join(dir, 'page.packed.html');
    fs.writeFileSync(pagePath, Buffer.from(formatPackedPage({ ...WORKED_EXAMPLE, head }), 'latin1'));

    const shown = spawnSync(process.execPath, [runner, pagePath]);
    assert.equal(shown.status, 0, shown.stderr.toString());
    assert.deepEqual(shown.stdout, Buffer.from(head + WORKED_EXAMPLE.decoded, 'latin1'));

    const outPath = path.join(dir, 'out.html');
    const written = spawnSync(process.execPath, [runner, '--browser', '-o', outPath, pagePath]);
    assert.equal(written.status, 0, written.stderr.toString());
    assert.equal(fs.readFileSync(outPath, 'latin1'), '<!--Quillbox-->' + head + WORKED_EXAMPLE.decoded + '\n</HTML>');

    const json = spawnSync(process.execPath, [runner, '--json', pagePath]);
    assert.equal(JSON.parse(json.stdout.toString()).l, 3);

    fs.writeFileSync(pagePath, '<P>not packed</P>');
    const refused = spawnSync(process.execPath, [runner, pagePath]);
    assert.equal(refused.status, 1);
    assert.match(refused.stderr.toString(), /not a packed page/);

    assert.equal(spawnSync(process.execPath, [runner]).status, 2);
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
});

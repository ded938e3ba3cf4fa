// Tests of the browser check's parts that need no browser; the browser itself is
// exercised by `node check.mjs --self-test`.
// Run with: node --test tools/
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import test from 'node:test';

import { compare, listOriginals, splitServerHeader } from './check.mjs';

const headerCases = [
  { name: 'LF lines', page: 'A: 1\nB: 2\n\n<p>x', lines: ['A: 1', 'B: 2'], body: '<p>x' },
  { name: 'CR LF lines', page: 'A: 1\r\nB: 2\r\n\r\n<p>x', lines: ['A: 1', 'B: 2'], body: '<p>x' },
  { name: 'CR LF lines ended by LF LF', page: 'A: 1\r\nB: 2\r\n\n\n<p>x', lines: ['A: 1', 'B: 2'], body: '\n<p>x' },
  { name: 'empty header', page: '\n\n<p>x', lines: [''], body: '<p>x' },
  { name: 'no empty line', page: 'A: 1\n<p>x', lines: null },
];
test('server header lines are split from the page', async (t) => {
  for (const { name, page, lines, body } of headerCases) {
    await t.test(name, () => {
      const split = splitServerHeader(Buffer.from(page, 'latin1'));
      if (lines === null) return assert.equal(split, null);
      assert.deepEqual(split.lines, lines);
      assert.equal(split.body.toString('latin1'), body);
    });
  }
});

test('the body keeps its bytes', () => {
  const split = splitServerHeader(Buffer.from([0x41, 0x0a, 0x0a, 0xff, 0x00, 0xe9]));
  assert.deepEqual([...split.body], [0xff, 0x00, 0xe9]);
});

test('originals are the pages that are no converted form', () => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'check-test-'));
  try {
    for (const name of ['b.html', 'a.html', 'a.packed.html', 'a.plain.html', 'c.cgi.html', 'notes.txt', 'd.plain.html']) {
      fs.writeFileSync(path.join(dir, name), '');
    }
    assert.deepEqual(listOriginals(dir), ['a', 'b', 'c.cgi']);
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
});

const snapshot = {
  characterSet: 'UTF-8',
  compatMode: 'CSS1Compat',
  title: 'T',
  innerText: 'Hello, world and more text',
  preText: ['a\tb'],
  formValues: [],
  links: ['a x.html'],
  images: [],
};
test('compare names the first differing field and where', () => {
  assert.equal(compare(snapshot, { ...snapshot }), null);
  assert.equal(
    compare(snapshot, { ...snapshot, innerText: 'Hello , world and more text' }),
    'innerText differs at 5: original "Hello, world and more text", converted "Hello , world and more text"',
  );
  assert.equal(
    compare(snapshot, { ...snapshot, title: 'U', links: [] }),
    'title differs at 0: original "T", converted "U" (and 1 more field)',
  );
  assert.equal(
    compare(snapshot, { ...snapshot, links: ['a x.html', 'a y.html'] }),
    'links differs at item 1 of 1/2: original nothing, converted "a y.html"',
  );
  assert.match(compare(snapshot, { ...snapshot, compatMode: 'BackCompat', preText: [] }, true), /compatMode.*; preText/);
  assert.match(compare(snapshot, { ...snapshot, characterSet: 'GBK' }), /characterSet/);
  assert.equal(compare(snapshot, { ...snapshot, characterSet: 'GBK' }, false, true), null);
});

// Tests of the browser check's parts that need no browser; the browser itself is
// exercised by `node check.mjs --self-test`.
// Run with: node --test tools/
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import test from 'node:test';

import zlib from 'node:zlib';

import { compare, describePictureDiff, listOriginals, settleDifference, splitServerHeader } from './check.mjs';
import { decodePng, diffPictures, encodePng } from './png.mjs';

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

// A PNG as an encoder other than ours writes it: chunks with their checksums,
// rows behind a filter byte. The checksum is not checked when reading, so 0 does.
function handMadePng(width, height, colour, rows, extraChunks = []) {
  const chunk = (type, body) => {
    const head = Buffer.alloc(8);
    head.writeUInt32BE(body.length, 0);
    head.write(type, 4, 'latin1');
    return Buffer.concat([head, body, Buffer.alloc(4)]);
  };
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header[8] = 8;
  header[9] = colour;
  return Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    chunk('IHDR', header),
    ...extraChunks.map(([type, body]) => chunk(type, Buffer.from(body))),
    chunk('IDAT', zlib.deflateSync(Buffer.from(rows.flat()))),
    chunk('IEND', Buffer.alloc(0)),
  ]);
}

// Two RGB pixels a row: A=(10,20,30) B=(12,22,32) above C=(100,110,120) D=(105,115,125).
// Each second row is written with one filter; the bytes were worked out by hand.
const FIRST_ROW = [0, 10, 20, 30, 12, 22, 32];
const WANTED = [10, 20, 30, 255, 12, 22, 32, 255, 100, 110, 120, 255, 105, 115, 125, 255];
const filterCases = [
  { name: 'none', row: [0, 100, 110, 120, 105, 115, 125] },
  { name: 'sub', row: [1, 100, 110, 120, 5, 5, 5] },
  { name: 'up', row: [2, 90, 90, 90, 93, 93, 93] },
  { name: 'average', row: [3, 95, 100, 105, 49, 49, 49] },
  // Paeth takes the pixel above for C and the one to the left for D.
  { name: 'paeth', row: [4, 90, 90, 90, 5, 5, 5] },
];
test('PNG rows are read through each filter', async (t) => {
  for (const { name, row } of filterCases) {
    await t.test(name, () => {
      const picture = decodePng(handMadePng(2, 2, 2, [FIRST_ROW, row]));
      assert.equal(picture.width, 2);
      assert.equal(picture.height, 2);
      assert.deepEqual([...picture.data], WANTED);
    });
  }
});

test('PNG samples wrap around past 255', () => {
  const picture = decodePng(handMadePng(1, 2, 0, [[0, 200], [2, 100]]));
  assert.deepEqual([...picture.data], [200, 200, 200, 255, 44, 44, 44, 255]);
});

test('PNG pictures of other colour types come out as RGBA', () => {
  const grey = decodePng(handMadePng(1, 1, 4, [[0, 7, 128]]));
  assert.deepEqual([...grey.data], [7, 7, 7, 128]);
  const rgba = decodePng(handMadePng(1, 1, 6, [[0, 1, 2, 3, 4]]));
  assert.deepEqual([...rgba.data], [1, 2, 3, 4]);
  const palette = decodePng(handMadePng(2, 1, 3, [[0, 1, 0]], [['PLTE', [9, 9, 9, 250, 0, 5]], ['tRNS', [255, 100]]]));
  assert.deepEqual([...palette.data], [250, 0, 5, 100, 9, 9, 9, 255]);
});

test('PNG pictures that are not read here are refused', () => {
  assert.throws(() => decodePng(Buffer.from('GIF89a')), /not a PNG/);
  const sixteenBits = handMadePng(1, 1, 2, [[0, 0, 0, 0, 0, 0, 0]]);
  sixteenBits[24] = 16;
  assert.throws(() => decodePng(sixteenBits), /depth 16/);
});

test('our PNG reads back as written', () => {
  const picture = { width: 3, height: 2, data: Buffer.from(Array.from({ length: 24 }, (_, i) => (i * 37) % 256)) };
  assert.deepEqual(decodePng(encodePng(picture)), picture);
});

// Pictures for the differences: '.' white, 'k' black, in rows of text.
function picture(...rows) {
  const data = Buffer.alloc(rows.length * rows[0].length * 4, 255);
  rows.join('').split('').forEach((ch, i) => {
    if (ch === 'k') data.fill(0, i * 4, i * 4 + 3);
  });
  return { width: rows[0].length, height: rows.length, data };
}
const diffCases = [
  { name: 'same', a: ['.k.', '...'], b: ['.k.', '...'], want: null },
  { name: 'one pixel', a: ['.k.', '...'], b: ['.k.', '..k'], want: { count: 1, left: 2, top: 1, right: 2, bottom: 1 } },
  { name: 'moved right', a: ['k..', '...'], b: ['.k.', '...'], want: { count: 2, left: 0, top: 0, right: 1, bottom: 0 } },
  { name: 'taller', a: ['...'], b: ['...', '...'], want: { count: 3, left: 0, top: 1, right: 2, bottom: 1 } },
  { name: 'narrower', a: ['..', '..'], b: ['.', '.'], want: { count: 2, left: 1, top: 0, right: 1, bottom: 1 } },
];
test('pictures are compared pixel by pixel', async (t) => {
  for (const { name, a, b, want } of diffCases) {
    await t.test(name, () => {
      const diff = diffPictures(picture(...a), picture(...b));
      if (want === null) return assert.equal(diff, null);
      const { picture: shown, ...box } = diff;
      assert.deepEqual(box, want);
      // The difference picture covers both and marks the changed pixels red.
      assert.equal(shown.width, Math.max(a[0].length, b[0].length));
      assert.equal(shown.height, Math.max(a.length, b.length));
      const at = (want.top * shown.width + want.left) * 4;
      assert.deepEqual([...shown.data.subarray(at, at + 4)], [255, 0, 0, 255]);
    });
  }
});

test('a picture difference says where', () => {
  const a = picture('...', '...');
  const b = picture('...', '.k.', '...');
  assert.equal(describePictureDiff(diffPictures(a, a), a, a), null);
  assert.equal(
    describePictureDiff(diffPictures(a, b), a, b),
    'picture differs: 4 pixels in x 0-2, y 1-2 (original 3x2, converted 3x3)',
  );
  const c = picture('.k.', '...');
  assert.equal(describePictureDiff(diffPictures(a, c), a, c), 'picture differs: 1 pixels in x 1-1, y 0-0');
});

test('a picture difference comes after the fields', () => {
  const more = ['picture differs: 1 pixels in x 1-1, y 0-0'];
  assert.equal(compare(snapshot, { ...snapshot }, false, false, more), more[0]);
  assert.equal(
    compare(snapshot, { ...snapshot, title: 'U' }, false, false, more),
    'title differs at 0: original "T", converted "U" (and 1 more field)',
  );
});

test('a pair that differs is read once more, and only a difference that stays counts', async (t) => {
  // Readings are named; a reading whose name ends in "!" differs.
  const differences = (reading) => ({ diff: reading.endsWith('!') ? `${reading} differs` : null, pictureDiff: null });
  const cases = [
    { name: 'agrees: read once', first: 'a', again: 'b', reading: 'a', diff: null, firstOnly: false, reads: 0 },
    { name: 'differs at first only', first: 'a!', again: 'b', reading: 'b', diff: null, firstOnly: true, reads: 1 },
    { name: 'differs twice: the second counts', first: 'a!', again: 'b!', reading: 'b!', diff: 'b! differs', firstOnly: false, reads: 1 },
    { name: 'second not read: the first counts', first: 'a!', again: null, reading: 'a!', diff: 'a! differs', firstOnly: false, reads: 1 },
  ];
  for (const { name, first, again, reading, diff, firstOnly, reads } of cases) {
    await t.test(name, async () => {
      let readCount = 0;
      const settled = await settleDifference(first, async () => (++readCount, again), differences);
      assert.deepEqual([settled.reading, settled.diff, settled.firstOnly, readCount], [reading, diff, firstOnly, reads]);
    });
  }
});

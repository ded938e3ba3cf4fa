#!/usr/bin/env node
// Runs the decoder script of every packed page in a folder under node and compares what it
// writes with the engine's own decoding, kept beside each page.
//
// Usage: node tools/check-packed-pages.mjs FOLDER
//   FOLDER holds NAME.packed.html (a packed page) and NAME.decoded (the bytes the engine's
//   decoder rebuilds from it). Each page is read one character per byte, and again as UTF-8
//   when its bytes are valid UTF-8, as a browser reading a page in that encoding would.
// Prints one line per page that differs, then "N passed, M failed"; exit status 1 on any
// difference.

import fs from 'node:fs';
import path from 'node:path';
import { runPackedPage, toBytes } from './run-packed.mjs';

function firstDifference(a, b) {
  let at = 0;
  while (at < a.length && at < b.length && a[at] === b[at]) at++;
  return at;
}

function check(file, expected) {
  const bytes = fs.readFileSync(file);
  const latin1 = runPackedPage(bytes.toString('latin1'));
  const asBytes = toBytes(latin1.written, 'latin1');
  if (!asBytes.equals(expected)) {
    return `latin1 reading differs at byte ${firstDifference(asBytes, expected)}`;
  }
  const utf8 = new TextDecoder('utf-8', { fatal: false }).decode(bytes);
  if (Buffer.from(utf8, 'utf8').equals(bytes)) {
    const written = Buffer.from(runPackedPage(utf8).written, 'utf8');
    if (!written.equals(expected)) {
      return `UTF-8 reading differs at byte ${firstDifference(written, expected)}`;
    }
  }
  return null;
}

const folder = process.argv[2];
if (!folder) {
  console.error('usage: node tools/check-packed-pages.mjs FOLDER');
  process.exit(2);
}
let passed = 0;
let failed = 0;
for (const name of fs.readdirSync(folder).sort()) {
  if (!name.endsWith('.packed.html')) continue;
  const base = name.slice(0, -'.packed.html'.length);
  let problem;
  try {
    problem = check(path.join(folder, name), fs.readFileSync(path.join(folder, base + '.decoded')));
  } catch (error) {
    problem = `script failed: ${error.message}`;
  }
  if (problem) {
    failed++;
    console.log(`DIFF    ${name}: ${problem}`);
  } else {
    passed++;
  }
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 && passed > 0 ? 0 : 1);

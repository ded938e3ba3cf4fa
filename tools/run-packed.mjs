#!/usr/bin/env node
// Runs the decoder script of a packed page in node and shows what a browser
// parses: the head text followed by everything the script hands to
// document.write. No dependencies beyond node itself.
//
// A packed page is laid out as: an optional server header, the marker comment
// <!--Quillbox-->, the head text, <SCRIPT LANGUAGE="JavaScript"> and a line
// feed, the strings t, s and c, the decoder d, the call d(s,c,t,l);, then
// "\n</SCRIPT>" and "\n</HTML>". The script runs in a fresh vm context whose
// only globals are `document` (its write() collects the text) and `self` (its
// status is recorded), as a browser would see them.
//
// Usage:
//   node tools/run-packed.mjs PAGE [-o FILE] [--browser] [--json] [--utf8]
//     (default)  prints the head text, then the written text
//     --browser  prints the marker, the head text, the written text and what
//                follows the script (the whole document the browser parses;
//                a server header is left out, browsers never see it)
//     --json     prints every part, the status lines and the decoder inputs
//     --utf8     reads the page as UTF-8 text instead of one character per byte
//     -o FILE    writes the result to FILE instead of standard output
// Exit status: 0 on success, 1 when the page is not a packed page or its script
// fails, 2 on a usage error.

import fs from 'node:fs';
import path from 'node:path';
import vm from 'node:vm';
import { fileURLToPath } from 'node:url';

export const PACKED_MARKER = '<!--Quillbox-->';
const SCRIPT_START_TAG = '<SCRIPT LANGUAGE="JavaScript">';
const SCRIPT_END_TAG = '</SCRIPT>';
const CALL_PATTERN = /\bd\(s,c,t,(\d+)\);\s*$/;

export class PackedPageError extends Error {}

// Splits a packed page (a string) into its parts; throws PackedPageError when
// the layout is not that of a packed page.
export function splitPackedPage(text) {
  let trailingZero = false;
  if (text.endsWith('\0')) {
    trailingZero = true;
    text = text.slice(0, -1);
  }
  const markerAt = text.indexOf(PACKED_MARKER);
  if (markerAt < 0) throw new PackedPageError('no ' + PACKED_MARKER + ' marker: not a packed page');
  if (markerAt > 0 && !text.slice(0, markerAt).endsWith('\n\n')) {
    throw new PackedPageError('text before the marker does not end in a blank line, so it is no server header');
  }
  const scriptEnd = text.lastIndexOf(SCRIPT_END_TAG);
  if (scriptEnd < 0) throw new PackedPageError('no ' + SCRIPT_END_TAG + ' end tag');
  // The packer's own script is the last one; its strings can hold no script tag,
  // while the head text may hold scripts of the page with the same start tag.
  const scriptStart = text.lastIndexOf(SCRIPT_START_TAG + '\nt="', scriptEnd);
  if (scriptStart < markerAt) throw new PackedPageError('no ' + SCRIPT_START_TAG + ' followed by t= after the marker');
  const bodyStart = scriptStart + SCRIPT_START_TAG.length;
  const script = text.slice(bodyStart, scriptEnd);
  const call = CALL_PATTERN.exec(script);
  if (!call) throw new PackedPageError('the script does not end with the call d(s,c,t,l);');
  return {
    header: text.slice(0, markerAt),
    head: text.slice(markerAt + PACKED_MARKER.length, scriptStart),
    scriptTag: SCRIPT_START_TAG,
    script,
    trailer: text.slice(scriptEnd + SCRIPT_END_TAG.length),
    l: Number(call[1]),
    trailingZero,
  };
}

// Runs a packed page's script text in a vm context with stubs for document.write
// and self.status. Returns the pieces written, the status lines set, and the
// values of t, s and c as the script left them. A script that throws or runs past
// `timeout` milliseconds throws.
export function runPackedScript(script, { timeout = 10000 } = {}) {
  const pieces = [];
  const statuses = [];
  const document = {
    write(...args) {
      pieces.push(args.map(String).join(''));
    },
  };
  const self = {};
  Object.defineProperty(self, 'status', {
    get: () => (statuses.length ? statuses[statuses.length - 1] : ''),
    set: (value) => statuses.push(String(value)),
    enumerable: true,
  });
  const context = vm.createContext({ document, self });
  vm.runInContext(script, context, { timeout, filename: 'packed-page-script.js' });
  return { pieces, statuses, t: context.t, s: context.s, c: context.c };
}

// Runs a packed page given as a string (one character per byte unless it was
// decoded otherwise) and returns its parts with what the script wrote:
//   header, head, trailer   the page's parts around the script
//   written                 everything passed to document.write, joined
//   pieces, statuses        each write and each status line, in order
//   t, s, c, l              the decoder's inputs
//   parsed                  what the browser parses: marker, head, written, trailer
export function runPackedPage(text, options = {}) {
  const parts = splitPackedPage(text);
  const run = runPackedScript(parts.script, options);
  const written = run.pieces.join('');
  return {
    ...parts,
    ...run,
    written,
    parsed: PACKED_MARKER + parts.head + written + parts.trailer,
  };
}

// Turns a result string back into bytes. With one character per byte, a
// character above U+00FF means the decoder changed a non-ASCII letter (upper-case
// forms such as 'Ÿ' or 'SS' have no single byte), which is an error here.
export function toBytes(text, encoding = 'latin1') {
  if (encoding === 'latin1') {
    for (let i = 0; i < text.length; i++) {
      const code = text.charCodeAt(i);
      if (code > 0xff) {
        throw new PackedPageError(
          `character U+${code.toString(16).toUpperCase().padStart(4, '0')} at ${i} stands for no single byte: ` +
            'the decoder changed a non-ASCII character',
        );
      }
    }
  }
  return Buffer.from(text, encoding);
}

// Reads a packed page file and runs it; `encoding` is 'latin1' (one character per
// byte, the default) or 'utf8'.
export function runPackedFile(file, { encoding = 'latin1', ...options } = {}) {
  return runPackedPage(fs.readFileSync(file).toString(encoding), options);
}

function usage() {
  process.stderr.write('usage: node run-packed.mjs PAGE [-o FILE] [--browser] [--json] [--utf8]\n');
  process.exit(2);
}

function main(argv) {
  let input = null;
  let output = null;
  let mode = 'head';
  let encoding = 'latin1';
  for (let i = 0; i < argv.length; i++) {
    const arg = argv[i];
    if (arg === '-o') {
      if (i + 1 >= argv.length) usage();
      output = argv[++i];
    } else if (arg === '--browser') mode = 'browser';
    else if (arg === '--json') mode = 'json';
    else if (arg === '--utf8') encoding = 'utf8';
    else if (arg === '-h' || arg === '--help') usage();
    else if (arg.startsWith('-') && arg !== '-') usage();
    else if (input === null) input = arg;
    else usage();
  }
  if (input === null) usage();
  try {
    const text = fs.readFileSync(input === '-' ? 0 : input).toString(encoding);
    const result = runPackedPage(text);
    let bytes;
    if (mode === 'json') {
      const { script, ...shown } = result;
      bytes = Buffer.from(JSON.stringify(shown, null, 2) + '\n', 'utf8');
    } else {
      bytes = toBytes(mode === 'browser' ? result.parsed : result.head + result.written, encoding);
    }
    if (output === null) process.stdout.write(bytes);
    else fs.writeFileSync(output, bytes);
  } catch (error) {
    const where = error instanceof PackedPageError ? '' : 'the script failed: ';
    process.stderr.write(`run-packed: ${input}: ${where}${error.message}\n`);
    process.exit(1);
  }
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  main(process.argv.slice(2));
}

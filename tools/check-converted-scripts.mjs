#!/usr/bin/env node
// Checks that the scripts and style sheets of converted pages mean what the originals' do:
// runs every script of an original page and of its converted forms in node and compares what
// each writes with document.write, and compares the style sheets token by token, strings
// byte for byte and blank runs between tokens as one blank.
//
// Usage: node tools/check-converted-scripts.mjs FOLDER
//   FOLDER holds originals NAME.html and beside each its converted forms NAME.plain.html
//   (plain compaction) and NAME.packed.html (JavaScript packing); a form that is missing is
//   not checked. A packed page is run first, and its scripts and style sheets are read from
//   what a browser parses: its head part and the text its decoder writes.
// Each script runs on its own with the stubs of run-packed.mjs (document.write collects the
// text, self.status records); a script that throws counts as writing its error's name and
// message, and an original whose script throws fails, as it checks nothing.
// Prints one line per form that differs, then "N passed, M failed"; exit status 1 on any
// difference, 2 on a usage error.

import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { runPackedPage, runPackedScript } from './run-packed.mjs';

// The text of every element `name` (script or style) in `html`, in page order.
export function elementTexts(html, name) {
  const pattern = new RegExp(`<${name}\\b[^>]*>([\\s\\S]*?)</${name}\\s*>`, 'gi');
  return [...html.matchAll(pattern)].map((match) => match[1]);
}

// What a script writes, or its error.
export function scriptResult(script) {
  try {
    return { written: runPackedScript(script).pieces.join('') };
  } catch (error) {
    return { error: `${error.name}: ${error.message}` };
  }
}

// A style sheet reduced to what it means: comments left out, a run of blanks between tokens
// as one blank (none at the ends), strings and escapes as they stand.
export function styleMeaning(css) {
  let out = '';
  let blank = false;
  const take = (text) => {
    if (blank && out !== '') out += ' ';
    blank = false;
    out += text;
  };
  for (let i = 0; i < css.length; ) {
    const c = css[i];
    if (c === '/' && css[i + 1] === '*') {
      const end = css.indexOf('*/', i + 2);
      i = end < 0 ? css.length : end + 2;
    } else if (/[ \t\n\r\f]/.test(c)) {
      blank = true;
      i++;
    } else if (c === '\\') {
      take(css.slice(i, i + 2));
      i += 2;
    } else if (c === '"' || c === "'") {
      let j = i + 1;
      while (j < css.length && css[j] !== c && css[j] !== '\n') j += css[j] === '\\' ? 2 : 1;
      take(css.slice(i, j + 1));
      i = j + 1;
    } else {
      take(c);
      i++;
    }
  }
  return out;
}

// What a page's scripts and style sheets do and mean.
export function meaningOf(html) {
  return {
    scripts: elementTexts(html, 'script').map(scriptResult),
    styles: elementTexts(html, 'style').map(styleMeaning),
  };
}

// The first difference between an original's meaning and a converted form's, or null.
export function compareMeanings(original, converted) {
  const failed = original.scripts.findIndex((result) => 'error' in result);
  if (failed >= 0) return `the original's script ${failed + 1} failed: ${original.scripts[failed].error}`;
  for (const kind of ['scripts', 'styles']) {
    if (original[kind].length !== converted[kind].length) {
      return `${original[kind].length} ${kind} in the original, ${converted[kind].length} converted`;
    }
    for (let i = 0; i < original[kind].length; i++) {
      const a = JSON.stringify(original[kind][i]);
      const b = JSON.stringify(converted[kind][i]);
      if (a !== b) return `${kind.slice(0, -1)} ${i + 1}: original ${a}, converted ${b}`;
    }
  }
  return null;
}

// The text a browser parses for a converted form; a packed page is run for it.
export function parsedText(text, form) {
  return form === 'packed' ? runPackedPage(text).parsed : text;
}

function main(argv) {
  const folder = argv[0];
  if (!folder || argv.length > 1) {
    console.error('usage: node tools/check-converted-scripts.mjs FOLDER');
    process.exit(2);
  }
  const read = (name) => fs.readFileSync(path.join(folder, name)).toString('latin1');
  let passed = 0;
  let failed = 0;
  for (const name of fs.readdirSync(folder).sort()) {
    if (!name.endsWith('.html') || /\.(plain|packed)\.html$/.test(name)) continue;
    const base = name.slice(0, -'.html'.length);
    const original = meaningOf(read(name));
    for (const form of ['plain', 'packed']) {
      const file = `${base}.${form}.html`;
      if (!fs.existsSync(path.join(folder, file))) continue;
      let problem;
      try {
        problem = compareMeanings(original, meaningOf(parsedText(read(file), form)));
      } catch (error) {
        problem = `the page failed: ${error.message}`;
      }
      if (problem) {
        failed++;
        console.log(`DIFF    ${file}: ${problem}`);
      } else {
        passed++;
      }
    }
  }
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed === 0 && passed > 0 ? 0 : 1);
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  main(process.argv.slice(2));
}

// Tests of the check that converted scripts and style sheets mean what the originals' do.
// Run with: node --test tools/
import assert from 'node:assert/strict';
import test from 'node:test';

import { compareMeanings, elementTexts, meaningOf, styleMeaning } from './check-converted-scripts.mjs';

const page = (script, style = 'p { color: red }') =>
  `<html><head><script type="text/javascript">${script}</script><STYLE>${style}</STYLE></head><body></body></html>`;

test('scripts and style sheets are found in page order, whatever the case of their tags', () => {
  const html = '<script>a</script><p><SCRIPT src=x>b</SCRIPT ><style>c</style>';
  assert.deepEqual(elementTexts(html, 'script'), ['a', 'b']);
  assert.deepEqual(elementTexts(html, 'style'), ['c']);
});

test('style sheets compare token by token, strings and escapes exactly', () => {
  const cases = [
    // [original, converted, same meaning]
    ['p  {\n  color : red }', 'p { color : red }', true],
    ['/* a  comment */ p{}', 'p{}', true],
    ['p::after { content: "a   b" }', 'p::after { content: "a b" }', false],
    ["q { quotes: 'x  \\'  y' }", "q { quotes: 'x \\' y' }", false],
    ['.a\\   .b {}', '.a\\ .b {}', false],  // the escaped blank no longer parts the selectors
    ['.a\\   .b {}', '.a\\  .b {}', true],
  ];
  for (const [original, converted, same] of cases) {
    assert.equal(styleMeaning(original) === styleMeaning(converted), same, `${original} / ${converted}`);
  }
});

test('a converted script that writes something else, or fails, is a difference', () => {
  const original = meaningOf(page('document.write(JSON.stringify(["a    b", /x  y/.source]))'));
  const same = meaningOf(page('document.write(JSON.stringify(["a    b",/x  y/.source]))'));
  const collapsed = meaningOf(page('document.write(JSON.stringify(["a b", /x y/.source]))'));
  const broken = meaningOf(page('document.write(JSON.stringify(["a    b", /x  y/.source])'));
  assert.equal(compareMeanings(original, same), null);
  assert.match(compareMeanings(original, collapsed), /^script 1: /);
  assert.match(compareMeanings(original, broken), /SyntaxError/);
});

test('a style sheet that lost blanks in a string is a difference', () => {
  const script = 'document.write(1)';
  const original = meaningOf(page(script, 'p::after { content: "a   b" }'));
  const converted = meaningOf(page(script, 'p::after{ content: "a b" }'));
  assert.match(compareMeanings(original, converted), /^style 1: /);
});

test('an original whose script fails checks nothing and fails', () => {
  const original = meaningOf(page('throw new Error("no")'));
  assert.match(compareMeanings(original, original), /original's script 1 failed: Error: no/);
});

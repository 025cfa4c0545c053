// matcher.test.js - The $ferrox problem matcher reads ferrox's messages the
// way VS Code applies it: file, line, code and message from each match, a
// whole-file problem where a match has no line, nothing from other lines.
'use strict';

const assert = require('assert');
const manifest = require('../package.json');

const matcher = manifest.contributes.problemMatchers.find((m) => m.name === 'ferrox');
assert.strictEqual(matcher.fileLocation[0], 'search');
const pattern = matcher.pattern;
const regexp = new RegExp(pattern.regexp);

function read(line) {
  const match = regexp.exec(line);
  if (match === null) return null;
  return {
    file: match[pattern.file].trim(),
    line: match[pattern.line],
    code: match[pattern.code],
    message: match[pattern.message],
  };
}

const cases = [
  ['prog.tvs (12): error 900: "lod" unknown command or instruction',
    { file: 'prog.tvs', line: '12', code: '900', message: '"lod" unknown command or instruction' }],
  // A name with blanks and brackets, a message that looks like a position.
  ['my prog (1).tvh (3): error 600: see x (4): error 5: y',
    { file: 'my prog (1).tvh', line: '3', code: '600', message: 'see x (4): error 5: y' }],
  ['Error (7): error 905: "x" label used without being defined',
    { file: 'Error', line: '7', code: '905', message: '"x" label used without being defined' }],
  ['Error 200: Cannot open destination file',
    { file: 'Error', line: undefined, code: '200', message: 'Cannot open destination file' }],
  ['Error 100: Cannot load source file "a (1): error 2: b"',
    { file: 'Error', line: undefined, code: '100', message: 'Cannot load source file "a (1): error 2: b"' }],
];
for (const [line, expected] of cases) assert.deepStrictEqual(read(line), expected, line);

for (const line of [
  'and more errors...',
  'Instructions : 42',
  'Macros       : defined - 3, used - 7',
  'Source       : lines - 120, files - 2, size - 3500 (3kB)',
  'Output size  : 300 (300B)',
  'Errors       : 1 (FAILURE!)',
  'Ferrox Compiler 1.0.1 for Tavrune',
  '  ferrox <SourceFile> <DestinationFile>',
]) assert.strictEqual(read(line), null, line);

console.log(`PASSED: $ferrox reads ${cases.length} messages and ignores the report`);

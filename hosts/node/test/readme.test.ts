import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import * as path from 'node:path';
import { test } from 'node:test';
import { scratchDir } from './helpers';

const root = path.join(__dirname, '..', '..');

// TypeScript's own checks, the same on every platform; under Wine they would only be slow.
test(
  "the README's first example type-checks under strict in an .mts file",
  { skip: process.platform === 'win32' && 'checked on Linux' },
  () => {
    const readme = readFileSync(path.join(root, 'README.md'), 'utf8');
    const example = /```js\n(\/\/ first-host\.mjs[\s\S]*?)```/.exec(readme);
    assert.ok(example, 'the first example is in the README');
    const dir = scratchDir();
    writeFileSync(path.join(dir, 'first-host.mts'), example[1]);
    const config = {
      compilerOptions: {
        strict: true,
        noEmit: true,
        target: 'ES2022',
        module: 'NodeNext',
        moduleResolution: 'NodeNext',
        skipLibCheck: true,
        types: ['node'],
        typeRoots: [path.join(root, 'node_modules', '@types')],
        baseUrl: dir,
        paths: { quorlane: [path.join(root, 'src', 'index.ts')] },
      },
      files: ['first-host.mts'],
    };
    writeFileSync(path.join(dir, 'tsconfig.json'), JSON.stringify(config));
    const tsc = require.resolve('typescript/bin/tsc', { paths: [root] });
    const result = spawnSync(process.execPath, [tsc, '-p', dir], { encoding: 'utf8' });
    assert.equal(result.status, 0, result.stdout + result.stderr);
  },
);

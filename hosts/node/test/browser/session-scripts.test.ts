import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import {
  describeStep,
  KNOWN_NAMES,
  parseSessionScript,
  type SessionScript,
} from '../../src/view/session-script';

const corpus = join(__dirname, '..', '..', '..', '..', '..', 'tests', 'scripts');

type Expected = { scripted: boolean; steps: string[] } | { error: string };

function described(script: SessionScript): Expected {
  return {
    scripted: script.scripted,
    steps: script.steps.map((step) => `${step.line}: ${describeStep(step)}`),
  };
}

// quorlane-host's parser is held to the same file.
test('session scripts: the corpus parses to its expected steps or errors', () => {
  const expected = JSON.parse(readFileSync(join(corpus, 'expected.json'), 'utf8')) as Record<
    string,
    Expected
  >;
  assert.ok(Object.keys(expected).length >= 20);
  for (const [name, result] of Object.entries(expected)) {
    const text = readFileSync(join(corpus, name), 'utf8');
    if ('error' in result) {
      assert.throws(
        () => parseSessionScript(text),
        { name: 'ScriptError', code: 'bad-script', message: result.error },
        name,
      );
    } else {
      assert.deepEqual(described(parseSessionScript(text)), result, name);
    }
  }
  // The corpus names every reply and event the package knows, so the host tool knows them too.
  const waits = readFileSync(join(corpus, 'known-names.qhs'), 'utf8');
  for (const what of ['reply', 'event'] as const) {
    const named = [...waits.matchAll(new RegExp(`^wait ${what} (\\w+)$`, 'gm'))].map((m) => m[1]);
    assert.deepEqual(named.sort(), [...KNOWN_NAMES[what]].sort(), what);
  }
});

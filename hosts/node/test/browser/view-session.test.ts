import assert from 'node:assert/strict';
import { writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import { startView } from '../../src/view/cli';
import { parseSessionScript } from '../../src/view/session-script';
import { TextSender, type TextSocket } from '../../src/view/text-sender';
import { executable, scratchDir } from '../helpers';

test('session scripts: mistakes are reported with their line', () => {
  const cases: [string, RegExp][] = [
    ['{"type":"Login"}\nfly away', /^line 2: unknown step 'fly'/],
    ['control {"op":"sync","id":1}', /^line 1: control needs `scripted`/],
    ['{"type":"Login"}\nscripted', /^line 2: `scripted` must come before every step/],
    ['pause soon', /^line 1: bad duration 'soon'/],
    ['wait frames 5 1', /^line 1: channel must be 0 to 4/],
    ['wait frames 1 0', /^line 1: frame count must be at least 1/],
    ['wait reply Login code one', /^line 1: bad code 'one'/],
    ['wait call LoginRoom', /^line 1: wait call needs `scripted`/],
    ['{"type":', /^line 1: not JSON/],
    ['send [1,2]', /^line 1: expected a JSON object/],
  ];
  for (const [text, message] of cases)
    assert.throws(() => parseSessionScript(text), { name: 'ScriptError', message }, text);
  const script = parseSessionScript(
    '# demo\ntimeout 2s\nwait reply Login code 1\nwait event StreamsList within 250ms\npause 1.5s',
  );
  assert.deepEqual(script.steps, [
    { line: 3, kind: 'wait', what: 'reply', name: 'Login', code: 1, ms: 2000 },
    { line: 4, kind: 'wait', what: 'event', name: 'StreamsList', ms: 250 },
    { line: 5, kind: 'pause', ms: 1500 },
  ]);
});

test('quorlane-view runs a scripted session against the bridge and stops at a failed wait', async () => {
  const file = join(scratchDir(), 'session.qhs');
  writeFileSync(
    file,
    [
      'scripted',
      'timeout 5s',
      '{"type":"Login","param":{"userID":"u0","userName":"Host","test":1}}',
      'wait reply Login code 1',
      '{"type":"EnterRoom","param":{"RoomName":"Room","RoomID":"r1","role":1}}',
      'wait call LoginRoom',
      '{"type":"RequestView","param":["s1"]}',
      'wait call StartPlayingStream',
      'control {"op":"frame","stream":"s1","width":9,"height":5,"pattern":"solid","color":"#00ff00","count":3}',
      'wait control framed',
      'wait frames 1 3',
      'control {"op":"emit","cb":"OnLoginRoom","args":{"errorCode":0,"roomID":"r1","streams":[]}}',
      'wait reply EnterRoom code 0',
      'wait event StreamsList',
      'note all there',
      '{"type":"OpenCamera"}',
      'wait reply OpenCamera code 0',
      'note never reached',
    ].join('\n'),
  );
  const running = await startView({
    executable,
    scriptFile: file,
    atOnce: true,
    scripted: false,
    port: 0,
  });
  try {
    assert.equal(await running.session, false);
    const entries = running.view.transcript.history();
    const texts = entries.map((entry) => `${entry.kind} ${entry.text}`);
    assert.ok(texts.includes('note all there'), texts.join('\n'));
    assert.ok(
      texts.some((text) => /^control .*"delivered":3/.test(text)),
      texts.join('\n'),
    );
    assert.equal(entries.at(-1)?.kind, 'failure');
    assert.equal(entries.at(-1)?.text, 'line 17: reply OpenCamera came with code 1, expected 0');
    assert.ok(!texts.includes('note never reached'));
    assert.equal(running.bridge.channels[1]!.counters.frames, 3);
  } finally {
    await running.close();
  }
});

test('a page that stops reading holds a bounded backlog and later learns what it missed', () => {
  const sent: string[] = [];
  const written: Array<() => void> = [];
  const socket = {
    OPEN: 1,
    readyState: 1,
    send(text: string, done: () => void) {
      sent.push(text);
      written.push(done);
    },
  } as unknown as TextSocket;
  const texts = new TextSender(socket, (missed) => `missed ${missed}`, 1000);
  for (let i = 0; i < 500; i++) texts.offer(`entry ${String(i).padStart(4, '0')}`);
  texts.offer('counters', false);
  assert.equal(sent.length, 100); // 10 bytes each, up to the bound
  for (const done of written.splice(0)) done();
  texts.offer('entry 0500');
  assert.deepEqual(sent.slice(100), ['missed 400', 'entry 0500']);
});

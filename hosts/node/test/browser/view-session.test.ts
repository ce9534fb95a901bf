import assert from 'node:assert/strict';
import { writeFileSync } from 'node:fs';
import { once } from 'node:events';
import { get as httpGet } from 'node:http';
import { join } from 'node:path';
import { test } from 'node:test';
import { WebSocket } from 'ws';
import { parseArguments, startView } from '../../src/view/cli';
import { TextSender, type TextSocket } from '../../src/view/text-sender';
import { Transcript } from '../../src/view/transcript';
import { commandMark, eventFold, replyMark } from '../../src/view/transcript-marks';
import { executable, scratchDir } from '../helpers';

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

test('the view refuses other sites, other Host names and sockets without its secret', async () => {
  const running = await startView({ executable, scripted: true, port: 0 });
  const calls: string[] = [];
  running.bridge.sim.on('call', (record) => calls.push(record.call));
  try {
    const { port } = running.view;
    const token = new URL(running.view.url).searchParams.get('token')!;
    assert.match(token, /^[\w-]{32}$/);
    const own = `127.0.0.1:${port}`;
    // Each tries to enter a room: the SDK call LoginRoom must never happen.
    const attempt = (path: string, host: string, origin: string | undefined) =>
      new Promise<number>((resolve, reject) => {
        const headers: Record<string, string> = { host };
        if (origin !== undefined) headers['origin'] = origin;
        const socket = new WebSocket(`ws://127.0.0.1:${port}${path}`, { headers });
        socket.on('open', () => {
          socket.send(JSON.stringify({ kind: 'command', command: enterRoom }));
          reject(new Error(`${host} ${origin} ${path} was let in`));
        });
        socket.on('unexpected-response', (_request, response) => resolve(response.statusCode!));
        socket.on('error', reject);
      });
    const enterRoom = { type: 'EnterRoom', param: { RoomName: 'R', RoomID: 'r', role: 1 } };
    const refused: [string, string, string | undefined][] = [
      [`/socket?token=${token}`, own, 'https://evil.example'],
      [`/socket?token=${token}`, `rebind.example:${port}`, `http://rebind.example:${port}`],
      ['/socket', own, `http://${own}`],
      [`/socket?token=${token.slice(1)}x`, own, `http://${own}`],
      [`/socket?token=${token}`, own, undefined],
    ];
    for (const [path, host, origin] of refused)
      assert.equal(await attempt(path, host, origin), 403, `${host} ${origin} ${path}`);
    const status = await new Promise<number>((resolve) =>
      httpGet({ port, path: '/', headers: { host: `rebind.example:${port}` } }, (response) =>
        resolve(response.statusCode!),
      ),
    );
    assert.equal(status, 403);

    // The page's own socket gets in, and its command is the first to reach the SDK.
    const page = new WebSocket(`ws://localhost:${port}/socket?token=${token}`, {
      origin: `http://localhost:${port}`,
    });
    await once(page, 'open');
    page.send(JSON.stringify({ kind: 'command', command: enterRoom }));
    await new Promise<void>((resolve) =>
      running.bridge.sim.on('call', (record) => record.call === 'LoginRoom' && resolve()),
    );
    assert.equal(calls.filter((call) => call === 'LoginRoom').length, 1, calls.join(' '));
    page.close();
  } finally {
    await running.close();
  }
});

test('the view marks unknown commands and failed replies, folds quality updates, and names its options', async () => {
  assert.match(
    commandMark({ type: 'OpenCamra' }) ?? '',
    /unknown command.*did you mean OpenCamera/,
  );
  assert.equal(commandMark({ type: 'OpenCamera' }), undefined);
  assert.match(replyMark({ type: 'OpenCamera', code: 0 }) ?? '', /failed/);
  assert.match(replyMark({ type: 'EnterRoom', code: 52 }) ?? '', /failed.*52/);
  for (const reply of [
    { type: 'OpenCamera', code: 1 },
    { type: 'EnterRoom', code: 0 },
    { type: 'Logout', code: 0 },
  ])
    assert.equal(replyMark(reply), undefined, reply.type);

  const transcript = new Transcript();
  const quality = (stream: string) => ({
    type: 'PlayQualityUpdate',
    param: { StreamID: stream, publishQuality: [] },
  });
  for (const event of [
    quality('s1'),
    quality('s2'),
    quality('s1'),
    { type: 'KickOut' },
    quality('s1'),
  ])
    transcript.add('event', JSON.stringify(event), { fold: eventFold(event) });
  assert.deepEqual(
    transcript.history().map((entry) => [JSON.parse(entry.text).type, entry.repeats]),
    [
      ['PlayQualityUpdate', 3],
      ['PlayQualityUpdate', undefined],
      ['KickOut', undefined],
    ],
  );

  // A command-line mistake is coded; a missing bridge names the command line's option.
  assert.throws(() => parseArguments(['--port', 'x']), {
    code: 'bad-option',
    message: 'bad port x',
  });
  const saved = process.env['QUORLANE_EXECUTABLE'];
  delete process.env['QUORLANE_EXECUTABLE'];
  try {
    await assert.rejects(startView({ sdk: 'sim', scripted: false, port: 0 }), {
      code: 'no-executable',
      message: /as --executable or/,
    });
  } finally {
    if (saved !== undefined) process.env['QUORLANE_EXECUTABLE'] = saved;
  }
});

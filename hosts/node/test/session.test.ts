import assert from 'node:assert/strict';
import { test } from 'node:test';
import { existsSync } from 'node:fs';
import {
  Bridge,
  BridgeExitError,
  CallRecord,
  CrashInfo,
  ExitInfo,
  Frame,
  LogEntry,
  RestoreInfo,
  Room,
  SimAnswer,
} from '../src';
import { SessionState } from '../src/session-state';
import { enterRoom, fakeBridge, next, nextCall, startBridge, withTimeout } from './helpers';

const streams = (ids: string[]) =>
  ids.map((id, i) => ({ userID: `u${i + 1}`, userName: `User ${i + 1}`, streamID: id }));

test('every EnterRoom is answered once and the room keeps its streams', async () => {
  // The demo room: its SDK refuses a room login before the login.
  const demo = await startBridge({ scripted: false });
  try {
    assert.equal(await demo.enterRoom('demo', 'Too Early', 1), -1);
    assert.equal(await demo.login('u0', 'Host', 1), 1);
    assert.equal(await demo.enterRoom('demo', 'Demo', 1), 0);
    // The streams are there as the call resolves, whenever a listener is added.
    assert.deepEqual(
      demo.room?.streams.map((s) => s.StreamId),
      ['demo-1', 'demo-2', 'demo-3'],
    );
  } finally {
    await demo.close();
  }

  const bridge = await startBridge();
  const room = (): Room | undefined => bridge.room;
  try {
    await enterRoom(bridge, ['s1', 's2']);
    const ids = () => room()?.streams.map((s) => s.StreamId);
    assert.deepEqual(ids(), ['s1', 's2']);
    assert.deepEqual(
      { ...(room() as Room), streams: [] },
      { id: 'r1', name: 'Room One', role: 1, streams: [] },
    );
    const update = (updateCode: number, list: string[]) =>
      Promise.all([
        next(bridge, 'StreamUpdate'),
        bridge.sim.notify('OnStreamUpdated', { updateCode, roomID: 'r1', streams: streams(list) }),
      ]);
    await update(2001, ['s3']);
    assert.deepEqual(ids(), ['s1', 's2', 's3']);
    await update(2002, ['s1']);
    assert.deepEqual(ids(), ['s2', 's3']);
    await bridge.exitRoom();
    assert.equal(room(), undefined);
  } finally {
    await bridge.close();
  }
});

test('a call given up for want of a reply keeps its place and names the last error logged', async () => {
  const command = JSON.stringify({
    type: 'EnterRoom',
    param: { RoomName: 'R', RoomID: 'r', role: 1 },
  });
  const fake = fakeBridge(
    `send(4, '{ "code": 0, "type": "DaemonStart" }');
     receive(3, ${command.length});
     send(1, '2026-12-08 10:15:02.123 LOG_DEBUG RecvMessage: [x] (Quorlane.cpp):124 \\r\\n');
     send(1, '2026-12-08 10:15:02.124 LOG_ERROR LoginRoom(r, 1, R), failed (SdkZegoRoom.cpp):153 \\r\\n');
     receive(3, ${command.length});
     send(4, '{ "code": 5, "type": "EnterRoom" }{ "code": 0, "type": "EnterRoom" }');
     idle();`,
  );
  const bridge = await Bridge.start({ ...fake, replyTimeout: 300 });
  try {
    const logs: LogEntry[] = [];
    bridge.on('log', (entry) => logs.push(entry));
    await assert.rejects(bridge.enterRoom('r', 'R', 1), (e: Error & { code?: string }) => {
      assert.equal(e.code, 'no-reply');
      assert.match(
        e.message,
        /no EnterRoom reply within 300 ms; last error logged: LoginRoom\(r, 1, R\), failed/,
      );
      return true;
    });
    assert.deepEqual(logs[1], {
      time: '2026-12-08 10:15:02.124',
      level: 'error',
      text: 'LoginRoom(r, 1, R), failed',
      file: 'SdkZegoRoom.cpp',
      line: 153,
    });
    // The late reply (5) is taken by the call that gave up; the next call gets its own.
    assert.equal(await bridge.enterRoom('r', 'R', 1), 0);
    assert.deepEqual(bridge.room?.id, 'r');
  } finally {
    await bridge.close();
  }
});

test('a failed call is seen as a log event from the bridge', async () => {
  const bridge = await startBridge({ scripted: false });
  try {
    const failed = new Promise<LogEntry>((resolve) =>
      bridge.on('log', (e) => e.level === 'error' && resolve(e)),
    );
    assert.equal(await bridge.enterRoom('r0', 'Too Early', 1), -1);
    const entry = await withTimeout(failed, 5000, 'the error line');
    assert.match(entry.text, /LoginRoom\(r0, 1, Too Early\), failed/);
    assert.equal(typeof entry.file, 'string');
    assert.ok((entry.line ?? 0) > 0);
  } finally {
    await bridge.close();
  }
});

function crash(bridge: Bridge): void {
  process.kill(bridge.pid as number, 'SIGKILL');
}

// Frames on every channel given, waited for on the channel objects.
function framesOn(bridge: Bridge, channels: number[]): Promise<unknown> {
  return Promise.all(
    channels.map((c) => new Promise<Frame>((resolve) => bridge.channels[c].once('frame', resolve))),
  );
}

test('a bridge that crashes is restarted with the session the host built', async () => {
  const bridge = await startBridge({ restart: true });
  try {
    assert.equal(await bridge.login('u0', 'Host', 1), 1);
    const entering = bridge.enterRoom('r1', 'Room One', 1);
    await nextCall(bridge, 'LoginRoom');
    const inRoom = streams(['s1', 's2', 's3']);
    await bridge.sim.notify('OnLoginRoom', { errorCode: 0, roomID: 'r1', streams: inRoom });
    assert.equal(await entering, 0);
    await bridge.requestView(['s1', 's2', 's3']);
    assert.deepEqual(await Promise.all([bridge.openCamera(), bridge.startPreview()]), [1, 1]);
    await bridge.startPushRtmp('pub', 'Title');
    // A call in flight at the crash.
    await bridge.sim.request({ op: 'hang', fn: 'EnableMic' });
    const hanging = new Promise<void>((resolve) =>
      bridge.sim.on('answer', (a: SimAnswer) => a.op === 'hanging' && resolve()),
    );
    const mic = bridge.openMic();
    await hanging;
    const oldPid = bridge.pid;

    const after: CallRecord[] = [];
    bridge.once('crash', () => bridge.sim.on('call', (r) => after.push(r)));
    const crashed = next<CrashInfo>(bridge, 'crash');
    const restored = next<RestoreInfo>(bridge, 'restored', 30000);
    crash(bridge);
    const info = await crashed;
    assert.equal(info.restarting, true);
    assert.equal(info.exit.closed, false);
    await assert.rejects(mic, { code: 'restarted' });
    // A call made during the restart waits for it.
    const speaker = bridge.openSpeaker();
    await nextCall(bridge, 'LoginRoom', 30000);
    await bridge.sim.notify('OnLoginRoom', { errorCode: 0, roomID: 'r1', streams: inRoom });
    const done = await restored;
    assert.deepEqual([done.attempt, done.failed], [1, []]);
    assert.equal(await speaker, 1);
    assert.notEqual(bridge.pid, oldPid);
    assert.deepEqual(
      bridge.room?.streams.map((s) => s.StreamId),
      ['s1', 's2', 's3'],
    );

    // The SDK calls of the new bridge rebuild the session in the order a host would.
    await bridge.sim.sync();
    const watched = new Set(['LoginRoom', 'StartPlayingStream', 'EnableCamera', 'EnableMic']);
    for (const name of ['StartPreview', 'StartPublishing', 'EnableSpeaker']) watched.add(name);
    assert.deepEqual(
      after.filter((r) => watched.has(r.call)).map((r) => `${r.call} ${JSON.stringify(r.args)}`),
      [
        'LoginRoom ["r1",1,"Room One"]',
        'StartPlayingStream ["s1",null,null]',
        'StartPlayingStream ["s2",null,null]',
        'StartPlayingStream ["s3",null,null]',
        'EnableCamera [true,0]',
        'StartPreview [0]',
        'StartPublishing ["Title","pub",0,""]',
        'EnableSpeaker [true]',
      ],
    );

    // Frames flow again on the same channel objects.
    const flowing = framesOn(bridge, [0, 1, 2, 3]);
    for (const stream of ['s1', 's2', 's3', null])
      await bridge.sim.frame({ stream, width: 64, height: 36, pattern: 'bars' });
    await withTimeout(flowing, 10000, 'frames on channels 0 to 3');
  } finally {
    await bridge.close();
  }
});

test('crashes past the limit end in a crash loop; close() never restarts', async () => {
  const bridge = await startBridge({ restart: { limit: 1, windowMs: 600_000 } });
  const crashes: CrashInfo[] = [];
  bridge.on('crash', (c) => crashes.push(c));
  const restored = next<RestoreInfo>(bridge, 'restored', 30000);
  crash(bridge);
  await restored;
  const exited = next<ExitInfo>(bridge, 'exit', 30000);
  // A real fault this time, on a thread of the simulated SDK: the end names the bridge's report.
  bridge.sim.request({ op: 'crash' }).catch(() => undefined);
  const exit = await exited;
  assert.deepEqual(
    crashes.map((c) => c.restarting),
    [true, false],
  );
  assert.ok(exit.report && existsSync(exit.report), `a crash report: ${exit.report}`);
  assert.equal(crashes[1].report, exit.report);
  await assert.rejects(bridge.openMic(), (e: BridgeExitError) => {
    assert.equal(e.code, 'crash-loop');
    assert.match(e.message, /ended unexpectedly 2 times within 600000 ms/);
    return true;
  });

  const closing = await startBridge({ restart: true });
  closing.on('crash', () => assert.fail('close() restarted the bridge'));
  await closing.close();
  assert.equal(closing.exit?.closed, true);
  await assert.rejects(closing.openMic(), { code: 'closed' });
});

test('without restart an end names the crash report the bridge wrote', async () => {
  const fake = fakeBridge(
    `send(4, '{ "code": 0, "type": "DaemonStart" }');
     receive(3, 1);
     send(1, 'Quorlane: crash report /tmp/log/crash-20261208-101500-42.txt\\n');
     process.exit(3);`,
  );
  const bridge = await Bridge.start(fake);
  const exited = next<ExitInfo>(bridge, 'exit');
  await assert.rejects(bridge.openMic(), (e: BridgeExitError) => {
    assert.equal(e.code, 'exited');
    assert.equal(e.report, '/tmp/log/crash-20261208-101500-42.txt');
    assert.match(e.message, /exit code 3\); crash report: \/tmp\/log\/crash-/);
    return true;
  });
  assert.equal((await exited).report, '/tmp/log/crash-20261208-101500-42.txt');
});

test('the session replays what succeeded, in the order a host builds it', () => {
  const session = new SessionState();
  const steps = () => session.replay().map((s) => `${s.method} ${JSON.stringify(s.args)}`);
  session.applied('Login', ['bad', 'Bad'], 0);
  session.applied('OpenCamera', [], 1);
  assert.deepEqual(steps(), [], 'nothing without a successful login');
  session.applied('StartPushRtmp', ['p1']);
  session.applied('StartPreview', [], 1);
  session.applied('OpenMic', [], 0);
  session.applied('SetCapRect', [640, 360], 1);
  session.applied('EnterRoom', ['r1', 'One', 2], 0);
  session.applied('RequestView', [['a', 'b']]);
  session.applied('SetWaterpath', ['/w.png'], 1);
  session.applied('Login', ['u1', 'User', 1], 1);
  session.applied('OpenSpeaker', [], 1);
  session.applied('CloseSpeaker', [], 1);
  session.applied('RequestView', [['c']]);
  assert.deepEqual(steps(), [
    'login ["u1","User",1]',
    'setWaterPath ["/w.png"]',
    'setCaptureResolution [640,360]',
    'enterRoom ["r1","One",2]',
    'requestView [["c"]]',
    'openCamera []',
    'startPreview []',
    'startPushRtmp ["p1"]',
  ]);
  session.applied('ExitRoom', []);
  assert.deepEqual(steps().slice(3), ['openCamera []', 'startPreview []']);
  session.applied('Logout', [], 0);
  assert.deepEqual(steps(), []);
});

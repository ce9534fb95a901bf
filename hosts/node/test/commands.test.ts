import assert from 'node:assert/strict';
import { test } from 'node:test';
import { Bridge, CallRecord, MAX_COMMAND_BYTES, Reply } from '../src';
import { enterRoom, fakeBridge, next, nextCall, startBridge } from './helpers';

async function withBridge(body: (bridge: Bridge) => Promise<void>): Promise<void> {
  const bridge = await startBridge();
  try {
    await body(bridge);
  } finally {
    await bridge.close();
  }
}

test('replies resolve the calls of their type in order, whatever comes between them', () =>
  withBridge(async (bridge) => {
    await bridge.sim.result('EnableCamera', false);
    await bridge.sim.result('SetVideoEncodeResolution', false);
    const calls: Array<Promise<number>> = [];
    const expected: number[] = [];
    for (let i = 0; i < 40; i++) {
      calls.push(
        bridge.openCamera(),
        bridge.openMic(),
        bridge.setEncodeResolution(640, 360),
        bridge.setWaterPath('/none.png'),
      );
      expected.push(0, 1, 0, 1);
    }
    calls.push(
      bridge.daemonStart(),
      bridge.login('u0', 'Host', true),
      bridge.closeSpeaker(),
      bridge.stopPreview(),
    );
    expected.push(0, 1, 1, 1);
    assert.deepEqual(await Promise.all(calls), expected);

    // Replies with names of their own, and codes from the SDK's results.
    await bridge.sim.result('SetVideoCaptureResolution', false);
    assert.deepEqual(
      await Promise.all([
        bridge.setWaterRect({ left: 1, top: 2, right: 3, bottom: 4 }),
        bridge.setPreviewWaterRect({ left: 0, top: 0, right: 10, bottom: 10 }),
        bridge.setCaptureResolution(1280, 720),
        bridge.closeCamera(),
        bridge.openSpeaker(),
        bridge.closeMic(),
        bridge.startPreview(),
        bridge.logout(),
      ]),
      [1, 1, 0, 0, 1, 1, 1, 0],
    );
  }));

test('a room login resolves enterRoom with the SDK code, and replies overtaking events match', () =>
  withBridge(async (bridge) => {
    await bridge.login('u0', 'Host', 1);
    const failed = bridge.enterRoom('r1', 'Room One', 1);
    assert.deepEqual((await nextCall(bridge, 'LoginRoom')).args, ['r1', 1, 'Room One']);
    await bridge.sim.notify('OnLoginRoom', { errorCode: 5, roomID: 'r1' });
    assert.equal(await failed, 5);

    // Events queued while replies are written at once: every promise still gets its own reply.
    const seen: string[] = [];
    bridge.on('reply', (r: Reply) => seen.push(r.type));
    bridge.on('event', (e) => seen.push(e.type));
    const entering = bridge.enterRoom('r1', 'Room One', 1);
    await nextCall(bridge, 'LoginRoom');
    const kicks: Array<Promise<boolean>> = [];
    const mics: Array<Promise<number>> = [];
    for (let i = 0; i < 20; i++) {
      kicks.push(bridge.sim.notify('OnKickOut', { reason: i, roomID: 'r1' }));
      mics.push(bridge.openMic());
    }
    const listed = next(bridge, 'StreamsList');
    await bridge.sim.notify('OnLoginRoom', { errorCode: 0, roomID: 'r1' });
    assert.equal(await entering, 0);
    assert.deepEqual(await Promise.all(mics), new Array(20).fill(1));
    assert.deepEqual(await Promise.all(kicks), new Array(20).fill(true));
    await listed;
    assert.equal(seen.filter((t) => t === 'KickOut').length, 20);
    assert.equal(seen.filter((t) => t === 'OpenMic').length, 20);
    assert.ok(seen.indexOf('EnterRoom') < seen.indexOf('StreamsList'));
  }));

test('commands carry their arguments', () =>
  withBridge(async (bridge) => {
    const calls: CallRecord[] = [];
    bridge.sim.on('call', (c) => calls.push(c));
    await enterRoom(bridge, ['s1', 's2']);
    // Each call record is awaited from before its command: it may come ahead of the reply.
    const playing = nextCall(bridge, 'StartPlayingStream');
    await bridge.requestView(['s1', '', 's2']);
    await playing;
    const publishing = nextCall(bridge, 'StartPublishing');
    await bridge.startPushRtmp('live-1', 'Title "quoted"', 3, 'p=1');
    await publishing;
    const messaged = nextCall(bridge, 'SendRoomMessage');
    await bridge.sendRoomMessage('hello {}', 1, 2, 3);
    await messaged;
    await bridge.init();
    await bridge.stopPushRtmp();
    const loggedOut = nextCall(bridge, 'LogoutRoom');
    await bridge.exitRoom();
    await loggedOut;
    const byName = (name: string) => calls.filter((c) => c.call === name).map((c) => c.args);
    assert.deepEqual(
      byName('StartPlayingStream').map((a) => a[0]),
      ['s1', 's2'],
    );
    // Texts go out through JSON.stringify; the bridge hands them on undecoded.
    assert.deepEqual(byName('StartPublishing')[0].slice(0, 3), ['Title \\"quoted\\"', 'live-1', 3]);
    assert.equal(byName('SendRoomMessage')[0].includes('hello {}'), true);
    assert.deepEqual(
      byName('StopPlayingStream').map((a) => a[0]),
      ['s1', 's2'],
    );
  }));

test('arguments are checked before anything is written', () =>
  withBridge(async (bridge) => {
    const written: string[] = [];
    bridge.on('stdout', (line) => {
      if (line.includes('RecvMessage')) written.push(line);
    });
    const untyped = bridge as unknown as Record<string, (...args: unknown[]) => Promise<unknown>>;
    const cases: Array<[string, unknown[], RegExp, typeof TypeError]> = [
      ['login', [1, 'name'], /userID must be a string, not number 1/, TypeError],
      ['login', ['id', 'name', '1'], /test must be a number, not a string/, TypeError],
      [
        'login',
        ['id', 'name', 2 ** 31],
        /test must be a 32-bit integer, not 2147483648/,
        RangeError,
      ],
      ['enterRoom', ['r1', 'Room', 1.5], /role must be a 32-bit integer, not 1.5/, RangeError],
      ['enterRoom', ['r1', null, 1], /roomName must be a string, not null/, TypeError],
      ['enterRoom', ['r1', 'Room', NaN], /32-bit integer, not NaN/, RangeError],
      ['requestView', ['s1'], /streamIDs must be an array/, TypeError],
      ['requestView', [['a', 'b', 'c', 'd', 'e']], /at most 4 streams/, RangeError],
      ['requestView', [['a', 7]], /streamIDs\[1\] must be a string/, TypeError],
      ['startPushRtmp', ['s', 't', -2147483649], /flag must be a 32-bit integer/, RangeError],
      [
        'sendRoomMessage',
        ['hi', 1, true],
        /category must be a number, not boolean true/,
        TypeError,
      ],
      [
        'setWaterRect',
        [{ left: 0, top: 0, right: 1 }],
        /rect.bottom must be a number, not undefined/,
        TypeError,
      ],
      ['setPreviewWaterRect', [[0, 0, 1, 1]], /rect must be an object/, TypeError],
      [
        'setEncodeResolution',
        [1920, Infinity],
        /height must be a 32-bit integer, not Infinity/,
        RangeError,
      ],
      ['setCaptureResolution', ['1920', 1080], /width must be a number/, TypeError],
      ['setWaterPath', [undefined], /path must be a string, not undefined/, TypeError],
      ['send', [[{ type: 'OpenMic' }]], /a command must be an object, not an array/, TypeError],
      [
        'send',
        [{ type: 'Init', param: 'x'.repeat(MAX_COMMAND_BYTES) }],
        /longer than the bridge takes/,
        RangeError,
      ],
      [
        'sendRoomMessage',
        ['x'.repeat(MAX_COMMAND_BYTES)],
        /longer than the bridge takes/,
        RangeError,
      ],
    ];
    for (const [method, args, message, kind] of cases) {
      await assert.rejects(untyped[method].apply(bridge, args), (e: Error) => {
        assert.ok(e instanceof kind, `${method}: ${e.constructor.name}`);
        assert.match(e.message, message);
        const code =
          kind === TypeError
            ? 'invalid-argument'
            : /longer than/.test(e.message)
              ? 'command-too-long'
              : 'out-of-range';
        assert.equal((e as Error & { code: string }).code, code, e.message);
        return true;
      });
    }
    // The bridge received nothing: the next command is the first it logs.
    await bridge.daemonStart();
    for (let waited = 0; written.length === 0 && waited < 5000; waited += 20)
      await new Promise((resolve) => setTimeout(resolve, 20));
    assert.ok(written.length >= 1);
    assert.match(written[0], /DaemonStart/);
  }));

test('a raw command with a reply keeps that reply from the typed calls', async () => {
  // Replies to both commands only once both have arrived, so both are pending together.
  const fake = fakeBridge(
    `send(4, '{ "code": 0, "type": "DaemonStart" }');
     receive(3, 36);
     send(4, '{ "code": 7, "type": "OpenMic" }{ "code": 8, "type": "OpenMic" }');
     idle();`,
  );
  const bridge = await Bridge.start({ ...fake, killGrace: 200 });
  try {
    const replies: Reply[] = [];
    bridge.on('reply', (r) => replies.push(r));
    await bridge.send({ type: 'OpenMic' });
    assert.equal(await bridge.openMic(), 8);
    assert.deepEqual(replies, [
      { code: 7, type: 'OpenMic' },
      { code: 8, type: 'OpenMic' },
    ]);
  } finally {
    await bridge.close();
  }
});

import assert from 'node:assert/strict';
import { test } from 'node:test';
import {
  AsyncQueue,
  BridgeEvent,
  FrameAssembler,
  Frame,
  FrameError,
  MessageReader,
  parseLogLine,
  ProtocolError,
  Reply,
} from '../src';
import { FrameStreams } from '../src/frame-streams';

type Seen = ['reply', Reply] | ['event', BridgeEvent] | ['protocolError', string];

function reader(seen: Seen[]): MessageReader {
  return new MessageReader({
    reply: (r) => seen.push(['reply', r]),
    event: (e) => seen.push(['event', e]),
    protocolError: (e: ProtocolError) =>
      seen.push(['protocolError', `${e.code} ${e.bytes.toString('utf8')}`]),
  });
}

const stream = Buffer.from(
  '{ "code": 0, "type": "DaemonStart" }' +
    '{"type":"RecvRoomMessage","param":{"RoomID":"r}{1","MessageInfo":[{"messageCount":1,' +
    '"MessageInfo0":[{"UserId":"u\\"{","UserName":"Zoë ✓","Content":"a\\\\}b","messageId":18446744073709551615,' +
    '"type":1,"priority":2,"category":1}]}]}}' +
    '{ "code": -5, "type": "EnterRoom" }' +
    '{"type":"StreamsList","param":{"code":0,"RoomID":"r1","StreamInfo":[{"streamCount":1,"StreamInfo0":' +
    '[{"UserId":"u1","UserName":"Ann","StreamId":"s1","ExtraInfo":[{"k":[1,{"x":"}"}]}]}]}]}}' +
    '{"type":"Broken",param}' +
    '{ "code": 1, "type": "OpenMic" }',
  'utf8',
);

test('the stream splits into the same texts at every chunk boundary', () => {
  const whole: Seen[] = [];
  reader(whole).feed(stream);
  assert.deepEqual(
    whole.map(([kind, value]) =>
      kind === 'protocolError' ? value : `${kind} ${(value as Reply).type}`,
    ),
    [
      'reply DaemonStart',
      'event RecvRoomMessage',
      'reply EnterRoom',
      'event StreamsList',
      'not-json {"type":"Broken",param}',
      'reply OpenMic',
    ],
  );
  const message = whole[1][1] as BridgeEvent & { type: 'RecvRoomMessage' };
  assert.equal(message.param.RoomID, 'r}{1');
  assert.equal(message.param.MessageInfo[0].MessageInfo0[0].UserName, 'Zoë ✓');
  assert.equal(message.param.MessageInfo[0].MessageInfo0[0].Content, 'a\\}b');
  assert.deepEqual(whole[2][1], { code: -5, type: 'EnterRoom' });

  for (let cut = 1; cut < stream.length; cut++) {
    const seen: Seen[] = [];
    const r = reader(seen);
    r.feed(stream.subarray(0, cut));
    r.feed(stream.subarray(cut));
    assert.deepEqual(seen, whole, `cut at byte ${cut}`);
  }
  const bytewise: Seen[] = [];
  const r = reader(bytewise);
  for (let i = 0; i < stream.length; i++) r.feed(stream.subarray(i, i + 1));
  assert.deepEqual(bytewise, whole);
});

test('bytes outside objects, non-protocol objects and an unfinished object are reported', () => {
  const seen: Seen[] = [];
  const r = reader(seen);
  r.feed(Buffer.from(' \n]x{"a":1}{ "code": 1, "type": "OpenMic" }{"type":"KickOut","par'));
  r.end();
  assert.deepEqual(seen, [
    ['protocolError', 'stray-bytes ]x'],
    ['protocolError', 'not-a-message {"a":1}'],
    ['reply', { code: 1, type: 'OpenMic' }],
    ['protocolError', 'unfinished-object {"type":"KickOut","par'],
  ]);
});

function frameBytes(
  width: number,
  height: number,
  fill: (i: number) => number,
  length?: number,
): Buffer {
  const payload = Math.max(
    0,
    width * height + 2 * Math.floor((width + 1) / 2) * Math.floor((height + 1) / 2),
  );
  const bytes = Buffer.alloc(12 + payload);
  bytes.writeInt32LE(width, 0);
  bytes.writeInt32LE(height, 4);
  bytes.writeInt32LE(length ?? payload, 8);
  for (let i = 0; i < payload; i++) bytes[12 + i] = fill(i);
  return bytes;
}

test('frames are rebuilt at every chunk boundary with the chroma planes named by channel', () => {
  // 5x3: Y 15 bytes, each chroma plane 3x2 = 6 bytes.
  const two = Buffer.concat([frameBytes(5, 3, (i) => i), frameBytes(5, 3, (i) => 100 + i)]);
  for (const channel of [0, 2]) {
    for (let cut = 0; cut <= two.length; cut++) {
      const frames: Frame[] = [];
      const a = new FrameAssembler(
        channel,
        (f) => frames.push(f),
        (e) => assert.fail(e.message),
      );
      a.feed(two.subarray(0, cut));
      a.feed(two.subarray(cut));
      assert.equal(frames.length, 2, `cut at ${cut}`);
      const [first, second] = frames;
      assert.deepEqual([first.width, first.height, first.data.length], [5, 3, 27]);
      assert.deepEqual([...first.y], [...Array(15).keys()]);
      const planeA = [15, 16, 17, 18, 19, 20];
      const planeB = [21, 22, 23, 24, 25, 26];
      assert.deepEqual([...first.u], channel === 0 ? planeA : planeB);
      assert.deepEqual([...first.v], channel === 0 ? planeB : planeA);
      assert.equal(first.layout, channel === 0 ? 'I420' : 'YV12');
      assert.equal(second.y[0], 100);
      // Views into one payload buffer of its own.
      assert.equal(first.y.buffer, first.u.buffer);
      assert.equal(first.v.buffer, first.data.buffer);
      assert.equal(first.data.byteOffset, 0);
      assert.equal(first.data.buffer.byteLength, 27);
      assert.deepEqual(a.counters, { frames: 2, bytes: two.length, errors: 0, discardedBytes: 0 });
    }
  }
});

test('an impossible header stops the channel with one error; a torn frame is reported at the end', () => {
  const cases: Array<[Buffer, RegExp]> = [
    [frameBytes(5, 3, () => 0, 28), /payload length 28 does not match 5x3 \(expected 27\)/],
    [frameBytes(0, 3, () => 0, 0), /impossible frame size 0x3/],
    [frameBytes(-4, 2, () => 0, 0), /impossible frame size -4x2/],
    [frameBytes(1, 1, () => 0, -1), /payload length -1/],
  ];
  for (const [bytes, message] of cases) {
    const frames: Frame[] = [];
    const errors: FrameError[] = [];
    const a = new FrameAssembler(
      3,
      (f) => frames.push(f),
      (e) => errors.push(e),
    );
    a.feed(Buffer.concat([frameBytes(2, 2, () => 7), bytes, frameBytes(2, 2, () => 7)]));
    a.end();
    assert.equal(frames.length, 1);
    assert.equal(errors.length, 1);
    assert.equal(errors[0].channel, 3);
    assert.match(errors[0].message, message);
    assert.equal(
      errors[0].code,
      /payload/.test(message.source) ? 'bad-payload-length' : 'bad-frame-size',
    );
    assert.deepEqual(errors[0].header, bytes.subarray(0, 12));
    assert.equal(a.counters.errors, 1);
    assert.equal(a.counters.discardedBytes, bytes.length - 12 + 18);
  }
  // A released payload is reused for the next frame of the same size, and only then.
  const reused: Frame[] = [];
  const c = new FrameAssembler(
    0,
    (f) => reused.push(f),
    () => assert.fail('no error'),
  );
  c.feed(frameBytes(2, 2, () => 1));
  reused[0].release();
  reused[0].release();
  c.feed(
    Buffer.concat([
      frameBytes(2, 2, () => 2),
      frameBytes(2, 2, () => 3),
      frameBytes(4, 2, () => 4),
    ]),
  );
  assert.equal(reused[1].data.buffer, reused[0].data.buffer);
  assert.notEqual(reused[2].data.buffer, reused[1].data.buffer);
  assert.deepEqual([...reused[1].y], [2, 2, 2, 2]);
  assert.deepEqual([...reused[2].y], [3, 3, 3, 3]);
  reused[3].release();
  c.feed(frameBytes(2, 2, () => 5));
  assert.notEqual(reused[4].data.buffer, reused[3].data.buffer);

  // A huge but well-formed header must not allocate its payload.
  const errors: FrameError[] = [];
  const a = new FrameAssembler(
    0,
    () => assert.fail('no frame'),
    (e) => errors.push(e),
  );
  const huge = Buffer.alloc(12);
  huge.writeInt32LE(60000, 0);
  huge.writeInt32LE(60000, 4);
  huge.writeInt32LE(-1, 8);
  a.feed(huge);
  assert.match(errors[0].message, /beyond any video/);
  assert.equal(errors[0].code, 'bad-frame-size');

  const torn: FrameError[] = [];
  const b = new FrameAssembler(
    1,
    () => {},
    (e) => torn.push(e),
  );
  b.feed(frameBytes(4, 4, () => 1).subarray(0, 20));
  b.end();
  assert.match(torn[0].message, /ended inside a frame after 20 bytes/);
  assert.equal(torn[0].code, 'torn-frame');
});

test('a frame queue skips the oldest for a slow consumer and counts what it skipped', async () => {
  const latest = new AsyncQueue<number>({ limit: 1 });
  for (let i = 0; i < 5; i++) latest.push(i);
  assert.deepEqual(await latest.next(), { value: 4, done: false });
  assert.equal(latest.skipped, 4);
  const waiting = latest.next();
  latest.push(5);
  assert.deepEqual(await waiting, { value: 5, done: false });
  latest.push(6);
  latest.end();
  assert.deepEqual(await latest.next(), { value: 6, done: false });
  assert.equal((await latest.next()).done, true);

  const kept = new AsyncQueue<number>({ limit: 3 });
  for (let i = 0; i < 2000; i++) kept.push(i);
  const got: number[] = [];
  kept.end();
  for await (const n of kept) got.push(n);
  assert.deepEqual(got, [1997, 1998, 1999]);
  assert.equal(kept.skipped, 1997);

  // Every item dropped unread is handed back: skipped ones, and those waiting when the loop is left.
  const dropped: number[] = [];
  const left = new AsyncQueue<number>({ limit: 2, onDrop: (n) => dropped.push(n) });
  for (let i = 0; i < 5; i++) left.push(i);
  assert.deepEqual(await left.next(), { value: 3, done: false });
  left.push(5);
  await left.return();
  assert.deepEqual(dropped, [0, 1, 2, 4, 5]);
});

test('a frame dropped unread goes back to its channel pool when nothing else holds it', async () => {
  // Frames of one size: a released payload is reused for the next one.
  const run = (setUp: (streams: FrameStreams) => void, seen = false) => {
    const streams = new FrameStreams();
    const frames: Frame[] = [];
    const a = new FrameAssembler(
      1,
      (f) => {
        frames.push(f);
        streams.deliver(f, seen);
      },
      (e) => assert.fail(e.message),
    );
    setUp(streams);
    for (let i = 0; i < 3; i++) a.feed(frameBytes(4, 2, () => i));
    assert.equal(frames[2].y[0], 2); // a reused payload holds the new frame
    return frames.map((f) => f.data.buffer);
  };
  // Nobody takes the frames: each is released at once and its payload reused by the next.
  const [first, second, third] = run(() => {});
  assert.ok(first === second && second === third);
  // A stream that keeps only the newest: the first is dropped when the second arrives.
  const latest = run((streams) => streams.open(1, 1));
  assert.ok(latest[0] !== latest[1] && latest[2] === latest[0]);
  // Held by a listener as well, or by two streams: never reused.
  for (const held of [
    run((streams) => streams.open(1, 1), true),
    run((streams) => (streams.open(1, 1), streams.open(undefined, 1))),
  ])
    assert.equal(new Set(held).size, 3);
  // A stream of another channel takes none of them.
  const other = run((streams) => streams.open(2, 1));
  assert.ok(other[0] === other[1]);
});

test('log lines are read with their level, text and source; other lines are not log lines', () => {
  assert.deepEqual(
    parseLogLine('2026-12-08 09:00:01.005 LOG_INFO  login (u0) ok (Manager.cpp):31 '),
    {
      time: '2026-12-08 09:00:01.005',
      level: 'info',
      text: 'login (u0) ok',
      file: 'Manager.cpp',
      line: 31,
    },
  );
  assert.deepEqual(parseLogLine('2026-12-08 09:00:01.006 LOG_WARN  no source here '), {
    time: '2026-12-08 09:00:01.006',
    level: 'warn',
    text: 'no source here',
  });
  assert.equal(
    parseLogLine(
      '2026-12-08 09:00:01.007 LOG_FATAL SDK call EnableCamera has not returned after 10000 ms',
    )?.level,
    'fatal',
  );
  for (const other of [
    'Quorlane: crash report /tmp/log/crash-20261208-090001-7.txt',
    ' (Quorlane.cpp):124 ',
    '2026-12-08 09:00:01 LOG_ERROR no milliseconds',
    '2026-12-08 09:00:01.008 LOG_OTHER unknown level',
  ])
    assert.equal(parseLogLine(other), undefined, other);
});

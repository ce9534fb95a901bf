import assert from 'node:assert/strict';
import { test } from 'node:test';
import { setFlagsFromString } from 'node:v8';
import { runInNewContext } from 'node:vm';
import { Bridge, Frame } from '../src';
import { enterRoom, nextCall, startBridge, withTimeout } from './helpers';

// BT.601 limited range, as the bridge converts.
function yuv(r: number, g: number, b: number): [number, number, number] {
  return [
    16 + (65.738 * r + 129.057 * g + 25.064 * b) / 256,
    128 + (-37.945 * r - 74.494 * g + 112.439 * b) / 256,
    128 + (112.439 * r - 94.154 * g - 18.285 * b) / 256,
  ];
}

const BARS: Array<[number, number, number]> = [
  [255, 255, 255],
  [255, 255, 0],
  [0, 255, 255],
  [0, 255, 0],
  [255, 0, 255],
  [255, 0, 0],
  [0, 0, 255],
  [0, 0, 0],
];

/** Checks every byte of a plane against the expected value of its column, within 2 (the
 * converter's integer arithmetic rounds differently from the exact coefficients). */
function assertPlane(
  plane: Uint8Array,
  width: number,
  height: number,
  expected: (x: number) => number,
  what: string,
) {
  assert.equal(plane.length, width * height, `${what} size`);
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) {
      const got = plane[y * width + x];
      const want = expected(x);
      assert.ok(
        Math.abs(got - want) <= 2,
        `${what} at ${x},${y}: ${got}, expected ${want.toFixed(1)}`,
      );
    }
  }
}

function assertSolid(frame: Frame, rgb: [number, number, number]) {
  const [y, u, v] = yuv(...rgb);
  const cw = Math.floor((frame.width + 1) / 2);
  const ch = Math.floor((frame.height + 1) / 2);
  assertPlane(frame.y, frame.width, frame.height, () => y, `channel ${frame.channel} Y`);
  assertPlane(frame.u, cw, ch, () => u, `channel ${frame.channel} U`);
  assertPlane(frame.v, cw, ch, () => v, `channel ${frame.channel} V`);
}

async function take(frames: AsyncIterator<Frame>, count: number): Promise<Frame[]> {
  const got: Frame[] = [];
  while (got.length < count) {
    const { value, done } = await withTimeout(frames.next(), 5000, 'a frame');
    assert.equal(done, false);
    got.push(value as Frame);
  }
  return got;
}

async function viewing(bridge: Bridge, streamIDs: string[]): Promise<void> {
  // Awaited from before the command: the call record may come ahead of the reply.
  const playing = nextCall(bridge, 'StartPlayingStream');
  await bridge.requestView(streamIDs);
  await playing; // the channels are assigned by now
}

test('solid colours and bars arrive with exact planes, chroma named right on every channel', async () => {
  const bridge = await startBridge();
  try {
    await enterRoom(bridge, ['s1', 's2']);
    await viewing(bridge, ['s1', 's2']);
    const preview = bridge.frames({ channel: 0 });
    const first = bridge.frames({ channel: 1 });
    const second = bridge.frames({ channel: 2 });

    // Red is far from grey in both chroma planes, so a swap of U and V cannot pass.
    assert.equal(
      await bridge.sim.frame({
        stream: null,
        width: 5,
        height: 3,
        pattern: 'solid',
        color: '#ff0000',
      }),
      1,
    );
    assert.equal(
      await bridge.sim.frame({
        stream: 's1',
        width: 7,
        height: 5,
        pattern: 'solid',
        color: '#ff0000',
        stride: 40,
      }),
      1,
    );
    assert.equal(
      await bridge.sim.frame({
        stream: 's2',
        width: 6,
        height: 4,
        pattern: 'solid',
        color: '#2080e0',
      }),
      1,
    );
    const [red0] = await take(preview, 1);
    const [red1] = await take(first, 1);
    const [blue2] = await take(second, 1);
    assert.deepEqual([red0.width, red0.height, red0.data.length, red0.u.length], [5, 3, 27, 6]);
    assertSolid(red0, [255, 0, 0]);
    assertSolid(red1, [255, 0, 0]);
    assertSolid(blue2, [0x20, 0x80, 0xe0]);

    // Bars 4 pixels wide: each chroma column lies within one bar.
    assert.equal(
      await bridge.sim.frame({ stream: 's1', width: 32, height: 6, pattern: 'bars', count: 3 }),
      3,
    );
    assert.equal(
      await bridge.sim.frame({ stream: null, width: 32, height: 2, pattern: 'bars' }),
      1,
    );
    for (const frame of [...(await take(first, 3)), ...(await take(preview, 1))]) {
      const bar = (x: number, scale: number) => BARS[Math.floor((x * scale * 8) / frame.width)];
      assertPlane(
        frame.y,
        frame.width,
        frame.height,
        (x) => yuv(...bar(x, 1))[0],
        `bars Y ${frame.channel}`,
      );
      assertPlane(
        frame.u,
        16,
        frame.height / 2,
        (x) => yuv(...bar(x, 2))[1],
        `bars U ${frame.channel}`,
      );
      assertPlane(
        frame.v,
        16,
        frame.height / 2,
        (x) => yuv(...bar(x, 2))[2],
        `bars V ${frame.channel}`,
      );
    }
    const counters = bridge.channels.map((c) => c.counters);
    assert.deepEqual(
      counters.map((c) => c.frames),
      [2, 4, 1, 0, 0],
    );
    assert.equal(counters[1].bytes, 12 + 7 * 5 + 2 * 4 * 3 + 3 * (12 + 32 * 6 + 2 * 16 * 3));
    assert.deepEqual(
      counters.map((c) => c.errors),
      [0, 0, 0, 0, 0],
    );
  } finally {
    await bridge.close();
  }
});

test('a slow consumer with latestOnly gets the newest frame while the pipe is read on', async () => {
  const bridge = await startBridge();
  try {
    await enterRoom(bridge);
    const latest = bridge.frames({ channel: 0, latestOnly: true });
    const everything = bridge.frames({ channel: 0, maxQueued: 1000 });
    const events: Frame[] = [];
    bridge.channels[0].on('frame', (f) => events.push(f));
    // Nobody takes a frame while 200 arrive: 640x360 is 345600 bytes each, far beyond a pipe.
    // One at a time, as a stream plays: the bridge drops frames that come faster than its host
    // reads them, and here the pipe must be read without any consumer.
    const arrived = async (count: number) => {
      for (let waited = 0; events.length < count && waited < 10000; waited += 5)
        await new Promise((resolve) => setTimeout(resolve, 5));
      assert.equal(events.length, count);
    };
    for (let i = 0; i < 199; ++i) {
      assert.equal(
        await bridge.sim.frame({
          stream: null,
          width: 640,
          height: 360,
          pattern: 'solid',
          color: '#000000',
        }),
        1,
      );
      await arrived(i + 1);
    }
    assert.equal(
      await bridge.sim.frame({
        stream: null,
        width: 640,
        height: 360,
        pattern: 'solid',
        color: '#ffffff',
      }),
      1,
    );
    await arrived(200);
    assert.equal(bridge.channels[0].counters.bytes, 200 * (12 + 345600));

    const [newest] = await take(latest, 1);
    assert.equal(latest.skipped, 199);
    assertSolid(newest, [255, 255, 255]);
    assert.equal(everything.waiting, 200);
    assert.equal(everything.skipped, 0);
    assertSolid((await take(everything, 1))[0], [0, 0, 0]);
    await latest.return();
  } finally {
    await bridge.close();
  }
});

test('frame streams that are never read hold the process memory to their bound', async () => {
  setFlagsFromString('--expose-gc');
  const collect = runInNewContext('gc') as () => void;
  // V8 frees the memory of collected buffers on a thread of its own after a collection, so one
  // reading may still count buffers already gone: collect until the figure stops falling.
  const liveBuffers = async () => {
    let least = Infinity;
    for (let round = 0; round < 50; ++round) {
      collect();
      await new Promise((resolve) => setTimeout(resolve, 1));
      const now = process.memoryUsage().arrayBuffers;
      if (now >= least && round >= 2) return least;
      least = Math.min(least, now);
    }
    return least;
  };
  const bridge = await startBridge();
  try {
    await enterRoom(bridge, ['s1']);
    await viewing(bridge, ['s1']);
    const latest = bridge.frames({ channel: 0, latestOnly: true });
    const queued = bridge.frames({ channel: 1 });
    const before = await liveBuffers();
    // Well past the 1024 frames the queues once kept beyond their limit.
    const wanted = 1300;
    const width = 320;
    const height = 240;
    for (const stream of [null, 's1'])
      await bridge.sim.source({ stream, width, height, fps: 500, pattern: 'bars' });
    const counts = () => [0, 1].map((c) => bridge.channels[c].counters.frames);
    for (let waited = 0; Math.min(...counts()) < wanted && waited < 60_000; waited += 20)
      await new Promise((resolve) => setTimeout(resolve, 20));
    assert.ok(Math.min(...counts()) >= wanted, `frames arrived: ${counts()}`);
    await bridge.sim.stopSource(null);
    await bridge.sim.stopSource('s1');

    assert.deepEqual([latest.waiting, queued.waiting], [1, 64]);
    assert.ok(latest.skipped >= wanted - 1 && queued.skipped >= wanted - 64);
    // The 65 frames queued, 4 in each channel's pool and one being read on each, with room for
    // the pipes' read buffers; the queues once kept hundreds more.
    const frameBytes = (width * height * 3) / 2;
    const held = (await liveBuffers()) - before;
    assert.ok(held < 130 * frameBytes, `${held} bytes held, ${held / frameBytes} frames`);
  } finally {
    await bridge.close();
  }
});

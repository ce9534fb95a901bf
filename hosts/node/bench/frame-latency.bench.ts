// How old a 1080p frame is when a Node.js host has it: from the moment the simulated SDK enters
// the render callback (the stamp it writes into the frame's first pixels, on the monotonic clock
// that process.hrtime reads too) to the client's 'frame' event, against a raw read of the same
// pipe from Node that notes the moment the frame's last byte is in; alternating blocks in one
// run, the client once as a host uses it and once handing each frame back with release(). One
// stream on channel 1, 60 frames/s (BENCH_FPS). Goal: the client's p99 at most the raw read's
// p99 plus 2 ms.
import { Readable } from 'node:stream';
import { Bridge } from '../src';
import { executable, rawBridge, scratchDir } from './common';

const WIDTH = 1920;
const HEIGHT = 1080;
const FPS = Number(process.env.BENCH_FPS ?? 60);
const SECONDS = Number(process.env.BENCH_SECONDS ?? 4);
const BLOCKS = Number(process.env.BENCH_BLOCKS ?? 3);
const WARM_UP_MS = 1000;
const GOAL_MS = 2;
const source = {
  op: 'source',
  stream: 's1',
  width: WIDTH,
  height: HEIGHT,
  fps: FPS,
  pattern: 'solid',
  color: '#3366CC',
  stamp: true,
};
const GREETING = '{ "code": 0, "type": "DaemonStart" }';

// The stamp's layout: two rows of 64 blocks of 8 x 8 pixels, the clock's bits (most significant
// first), then their complement; a block is set when its luma is 128 or more.
const BLOCK = 8;
const BITS = 64;
const STAMP_ROWS = 2 * BLOCK;
const ALL_BITS = (1n << 64n) - 1n;

function readStamp(luma: Uint8Array, stride: number): bigint | undefined {
  let bits = 0n;
  let check = 0n;
  for (let bit = 0; bit < BITS; bit++) {
    const x = bit * BLOCK + BLOCK / 2;
    bits = (bits << 1n) | (luma[(BLOCK / 2) * stride + x] >= 128 ? 1n : 0n);
    check = (check << 1n) | (luma[(BLOCK + BLOCK / 2) * stride + x] >= 128 ? 1n : 0n);
  }
  return (bits ^ check) === ALL_BITS ? bits : undefined;
}

/** Latencies in ms of the frames that arrive after the warm-up and within the block. */
class Block {
  readonly latencies: number[] = [];
  private readonly start = process.hrtime.bigint() + BigInt(WARM_UP_MS * 1e6);
  private readonly end = this.start + BigInt(SECONDS * 1e9);
  private unstamped = 0;
  private settle!: () => void;
  /** Settles with the first frame after the block's end; fails when frames stop coming. */
  readonly done = new Promise<void>((resolve, reject) => {
    const timer = setTimeout(
      () => reject(new Error('frames stopped coming')),
      WARM_UP_MS + SECONDS * 1000 + 10000,
    );
    this.settle = () => {
      clearTimeout(timer);
      resolve();
    };
  });

  /** A frame whose last byte arrived at `arrival`, with the first rows of its luma plane. */
  add(arrival: bigint, luma: Uint8Array): void {
    if (arrival < this.start) return;
    if (arrival >= this.end) {
      this.settle();
      return;
    }
    const stamp = readStamp(luma, WIDTH);
    if (stamp === undefined) this.unstamped++;
    else this.latencies.push(Number(arrival - stamp) / 1e6);
  }

  check(): number[] {
    if (this.unstamped > 0) throw new Error(`${this.unstamped} frames without a stamp`);
    if (this.latencies.length === 0) throw new Error('no frame arrived');
    return this.latencies;
  }
}

function waitForText(stream: Readable, text: string, count: number): Promise<void> {
  let seen = '';
  return new Promise((resolve) => {
    const onData = (chunk: Buffer) => {
      seen += chunk.toString('latin1');
      if (seen.split(text).length - 1 >= count) {
        stream.off('data', onData);
        resolve();
      }
    };
    stream.on('data', onData);
  });
}

// The pipe read as plainly as Node allows: only the header's length is parsed, and the first
// rows of the luma plane are kept for the stamp.
async function rawBlock(): Promise<number[]> {
  const raw = rawBridge(true);
  const ready = waitForText(raw.replies, GREETING, 2);
  raw.commands.write('{"type":"Login","param":{"userID":"u","userName":"n","test":0}}');
  raw.commands.write('{"type":"EnterRoom","param":{"RoomName":"r","RoomID":"r","role":1}}');
  raw.commands.write('{"type":"RequestView","param":["s1"]}');
  raw.commands.write('{"type":"DaemonStart"}');
  await ready;
  const block = new Block();
  const head = Buffer.alloc(12 + STAMP_ROWS * WIDTH);
  let headFill = 0;
  let remaining = -1; // payload bytes still to come; -1 while the header is incomplete
  raw.frames[1].on('data', (chunk: Buffer) => {
    const arrival = process.hrtime.bigint();
    let offset = 0;
    while (offset < chunk.length) {
      if (remaining < 0) {
        const n = chunk.copy(
          head,
          headFill,
          offset,
          Math.min(chunk.length, offset + 12 - headFill),
        );
        headFill += n;
        offset += n;
        if (headFill === 12) remaining = head.readInt32LE(8);
        continue;
      }
      const n = Math.min(remaining, chunk.length - offset);
      if (headFill < head.length)
        headFill += chunk.copy(
          head,
          headFill,
          offset,
          offset + Math.min(n, head.length - headFill),
        );
      remaining -= n;
      offset += n;
      if (remaining === 0) {
        block.add(arrival, head.subarray(12));
        headFill = 0;
        remaining = -1;
      }
    }
  });
  raw.control?.write(JSON.stringify(source) + '\n');
  await block.done;
  await raw.close();
  return block.check();
}

async function clientBlock(release: boolean): Promise<number[]> {
  const bridge = await Bridge.start({ executable, cwd: scratchDir(), scripted: true });
  await bridge.login('u', 'n', 0);
  void bridge.enterRoom('r', 'r', 1).catch(() => {}); // scripted: the room login is not answered
  void bridge.requestView(['s1']);
  await bridge.daemonStart(); // the commands before it have run: the render callback is set
  const block = new Block();
  bridge.channels[1].on('frame', (frame) => {
    block.add(process.hrtime.bigint(), frame.y);
    if (release) frame.release();
  });
  await bridge.sim.request(source);
  await block.done;
  await bridge.close();
  return block.check();
}

function percentile(values: number[], fraction: number): number {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.max(0, Math.ceil(fraction * sorted.length) - 1)];
}

async function main(): Promise<void> {
  const raw: number[] = [];
  const client: number[] = [];
  const released: number[] = [];
  for (let i = 0; i < BLOCKS; i++) {
    raw.push(...(await rawBlock()));
    client.push(...(await clientBlock(false)));
    released.push(...(await clientBlock(true)));
  }
  const line = (name: string, values: number[]) =>
    `  ${name} ${values.length} frames, p50 ${percentile(values, 0.5).toFixed(2)} ms, ` +
    `p99 ${percentile(values, 0.99).toFixed(2)} ms, max ${percentile(values, 1).toFixed(2)} ms`;
  const excess = percentile(client, 0.99) - percentile(raw, 0.99);
  const releasedExcess = percentile(released, 0.99) - percentile(raw, 0.99);
  console.log(
    `1080p frames at ${FPS}/s, stamp at the render callback to arrival, ${BLOCKS} blocks of ${SECONDS} s each`,
  );
  console.log(line('raw Node read, last byte in:', raw));
  console.log(line("client, 'frame' event:      ", client));
  console.log(line('client, frames released:    ', released));
  const verdict = (ms: number) =>
    `${ms.toFixed(2)} ms (goal <= ${GOAL_MS}) ${ms <= GOAL_MS ? 'met' : 'MISSED'}`;
  console.log(
    `  client p99 - raw p99: ${verdict(excess)}, with release(): ${verdict(releasedExcess)}`,
  );
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});

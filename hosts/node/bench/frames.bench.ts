// 1080p frames on channel 0 delivered to a JavaScript consumer through the client, against a raw
// read of the same pipe bytes from Node, in alternating blocks of the same run. Goal: the client
// keeps at least 0.8 of the raw throughput. The simulated SDK's source delivers more frames than
// either reader takes (the bridge drops what its host cannot read in time), so the reader is the
// limit; each block counts the whole frames that arrive within its measuring window.
import { performance } from 'node:perf_hooks';
import { Bridge } from '../src';
import { executable, median, rawBridge, scratchDir } from './common';

const WIDTH = 1920;
const HEIGHT = 1080;
const FRAME_BYTES = 12 + (WIDTH * HEIGHT * 3) / 2;
const SECONDS = Number(process.env.BENCH_SECONDS ?? 2);
const BLOCKS = Number(process.env.BENCH_BLOCKS ?? 3);
const SOURCE_FPS = Number(process.env.BENCH_SOURCE_FPS ?? 2000);
const source = {
  op: 'source',
  stream: null,
  width: WIDTH,
  height: HEIGHT,
  fps: SOURCE_FPS,
  pattern: 'bars',
};
const WARM_UP_MS = 300;

async function rawBlock(): Promise<number> {
  const raw = rawBridge(true);
  raw.commands.write('{"type":"Login","param":{"userID":"u","userName":"n","test":0}}');
  raw.commands.write('{"type":"EnterRoom","param":{"RoomName":"r","RoomID":"r","role":1}}');
  await new Promise((resolve) => setTimeout(resolve, 300)); // the render callback is registered
  let bytes = 0;
  let measuring = false;
  raw.frames[0].on('data', (chunk: Buffer) => {
    if (measuring) bytes += chunk.length;
  });
  raw.control?.write(JSON.stringify(source) + '\n');
  await new Promise((resolve) => setTimeout(resolve, WARM_UP_MS));
  measuring = true;
  const start = performance.now();
  await new Promise((resolve) => setTimeout(resolve, SECONDS * 1000));
  const seconds = (performance.now() - start) / 1000;
  measuring = false;
  await raw.close();
  return bytes / FRAME_BYTES / seconds;
}

async function clientBlock(release: boolean): Promise<number> {
  const bridge = await Bridge.start({ executable, cwd: scratchDir(), scripted: true });
  await bridge.login('u', 'n', 0);
  void bridge.enterRoom('r', 'r', 1).catch(() => {});
  await new Promise((resolve) => setTimeout(resolve, 300));
  const frames = bridge.frames({ channel: 0, maxQueued: 4 });
  void bridge.sim.request(source);
  let got = 0;
  let checksum = 0;
  let start = 0;
  const warmUpEnd = performance.now() + WARM_UP_MS;
  for await (const frame of frames) {
    checksum += frame.y[0] + frame.u[0] + frame.v[0]; // the consumer touches every plane
    if (release) frame.release();
    const now = performance.now();
    if (start === 0) {
      if (now >= warmUpEnd) start = now;
      continue;
    }
    ++got;
    if (now - start >= SECONDS * 1000) break;
  }
  const seconds = (performance.now() - start) / 1000;
  await bridge.close();
  if (checksum === 0) throw new Error('frames without content');
  return got / seconds;
}

async function main(): Promise<void> {
  const raw: number[] = [];
  const client: number[] = [];
  const released: number[] = [];
  for (let i = 0; i < BLOCKS; i++) {
    raw.push(await rawBlock());
    client.push(await clientBlock(false));
    released.push(await clientBlock(true));
  }
  const r = median(raw);
  const c = median(client);
  const cr = median(released);
  const mb = (fps: number) => ((fps * FRAME_BYTES) / 1e6).toFixed(0);
  console.log(
    `1080p frames for ${SECONDS} s per block from a source at ${SOURCE_FPS} frames/s, median of ${BLOCKS} blocks each`,
  );
  console.log(`  raw Node read of the pipe:   ${r.toFixed(1)} frames/s (${mb(r)} MB/s)`);
  console.log(`  client, async iterator:      ${c.toFixed(1)} frames/s (${mb(c)} MB/s)`);
  console.log(`  client, frames released:     ${cr.toFixed(1)} frames/s (${mb(cr)} MB/s)`);
  console.log(
    `  ratio client/raw: ${(c / r).toFixed(2)}, with release(): ${(cr / r).toFixed(2)} (goal >= 0.8)`,
  );
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});

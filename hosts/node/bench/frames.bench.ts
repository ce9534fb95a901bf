// 1080p frames on channel 0 delivered to a JavaScript consumer through the client, against a raw
// read of the same pipe bytes from Node, in alternating blocks of the same run. Goal: the client
// keeps at least 0.8 of the raw throughput.
import { performance } from 'node:perf_hooks';
import { Bridge } from '../src';
import { executable, median, rawBridge, scratchDir, waitForBytes } from './common';

const WIDTH = 1920;
const HEIGHT = 1080;
const FRAME_BYTES = 12 + WIDTH * HEIGHT * 3 / 2;
const FRAMES = Number(process.env.BENCH_FRAMES ?? 200);
const BLOCKS = Number(process.env.BENCH_BLOCKS ?? 3);
const request = { op: 'frame', stream: null, width: WIDTH, height: HEIGHT, pattern: 'bars', count: FRAMES };

async function rawBlock(): Promise<number> {
  const raw = rawBridge(true);
  raw.commands.write('{"type":"Login","param":{"userID":"u","userName":"n","test":0}}');
  raw.commands.write('{"type":"EnterRoom","param":{"RoomName":"r","RoomID":"r","role":1}}');
  await new Promise((resolve) => setTimeout(resolve, 300)); // the render callback is registered
  const arrived = waitForBytes(raw.frames[0], FRAMES * FRAME_BYTES);
  const start = performance.now();
  raw.control?.write(JSON.stringify(request) + '\n');
  await arrived;
  const seconds = (performance.now() - start) / 1000;
  await raw.close();
  return FRAMES / seconds;
}

async function clientBlock(release: boolean): Promise<number> {
  const bridge = await Bridge.start({ executable, cwd: scratchDir(), scripted: true });
  await bridge.login('u', 'n', 0);
  void bridge.enterRoom('r', 'r', 1).catch(() => {});
  await new Promise((resolve) => setTimeout(resolve, 300));
  const frames = bridge.frames({ channel: 0, maxQueued: FRAMES });
  const start = performance.now();
  void bridge.sim.request(request);
  let got = 0;
  let checksum = 0;
  for await (const frame of frames) {
    checksum += frame.y[0] + frame.u[0] + frame.v[0]; // the consumer touches every plane
    if (release) frame.release();
    if (++got === FRAMES) break;
  }
  const seconds = (performance.now() - start) / 1000;
  await bridge.close();
  if (checksum === 0) throw new Error('frames without content');
  return FRAMES / seconds;
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
  console.log(`1080p frames, ${FRAMES} per block, median of ${BLOCKS} blocks each`);
  console.log(`  raw Node read of the pipe:   ${r.toFixed(1)} frames/s (${mb(r)} MB/s)`);
  console.log(`  client, async iterator:      ${c.toFixed(1)} frames/s (${mb(c)} MB/s)`);
  console.log(`  client, frames released:     ${cr.toFixed(1)} frames/s (${mb(cr)} MB/s)`);
  console.log(`  ratio client/raw: ${(c / r).toFixed(2)}, with release(): ${(cr / r).toFixed(2)} (goal >= 0.8)`);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});

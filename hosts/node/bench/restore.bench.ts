// Restore time: a bridge in the demo room playing its three streams is killed, and the client
// restarts it and rebuilds the session; measured from the kill to a frame on every played channel.
// The baseline, in alternating runs of the same process: a fresh start with the same session
// built by hand, from the spawn to the same frames.
import { once } from 'node:events';
import { performance } from 'node:perf_hooks';
import { Bridge, BridgeOptions } from '../src';
import { executable, median, scratchDir } from './common';

const RUNS = Number(process.env.BENCH_RUNS ?? 20);
const STREAMS = ['demo-1', 'demo-2', 'demo-3'];

function framesOnEveryPlayedChannel(bridge: Bridge): Promise<unknown> {
  return Promise.all(STREAMS.map((_, i) => once(bridge.channels[i + 1], 'frame')));
}

async function buildSession(bridge: Bridge): Promise<void> {
  if ((await bridge.login('bench', 'Bench', 1)) !== 1) throw new Error('login failed');
  if ((await bridge.enterRoom('demo', 'Demo', 1)) !== 0) throw new Error('enterRoom failed');
  await bridge.requestView(STREAMS);
}

async function freshStart(options: BridgeOptions): Promise<number> {
  const start = performance.now();
  const bridge = await Bridge.start(options);
  const frames = framesOnEveryPlayedChannel(bridge);
  await buildSession(bridge);
  await frames;
  const ms = performance.now() - start;
  await bridge.close();
  return ms;
}

function percentile(values: number[], p: number): number {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.min(sorted.length - 1, Math.ceil((p / 100) * sorted.length) - 1)];
}

async function main(): Promise<void> {
  const options: BridgeOptions = { executable, cwd: scratchDir() };
  const bridge = await Bridge.start({
    ...options,
    restart: { limit: RUNS + 1, windowMs: 24 * 3600 * 1000 },
  });
  const playing = framesOnEveryPlayedChannel(bridge);
  await buildSession(bridge);
  await playing;

  const restores: number[] = [];
  const fresh: number[] = [];
  for (let run = 0; run < RUNS; run++) {
    const crashed = once(bridge, 'crash');
    const start = performance.now();
    process.kill(bridge.pid as number, 'SIGKILL');
    await crashed; // frames of the new bridge come after it
    await framesOnEveryPlayedChannel(bridge);
    restores.push(performance.now() - start);
    fresh.push(await freshStart(options));
  }
  await bridge.close();
  const p50 = median(restores);
  const base = median(fresh);
  console.log(
    `restore: crash to frames on every played channel p50 ${p50.toFixed(0)} ms ` +
      `p99 ${percentile(restores, 99).toFixed(0)} ms (${RUNS} runs); a fresh start to the same ` +
      `frames p50 ${base.toFixed(0)} ms (restore ${(p50 / base).toFixed(2)}x)`,
  );
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});

// Shared pieces of the benchmarks: the bridge executable, a raw spawn with the same descriptors
// the client uses, and medians.
import { ChildProcess, spawn } from 'node:child_process';
import { mkdtempSync } from 'node:fs';
import { tmpdir } from 'node:os';
import * as path from 'node:path';
import { Readable, Writable } from 'node:stream';

export const executable = path.resolve(
  process.env.QUORLANE_EXECUTABLE ??
    path.join(__dirname, '..', '..', '..', '..', 'build', 'Quorlane'),
);

export function scratchDir(): string {
  return mkdtempSync(path.join(tmpdir(), 'quorlane-bench-'));
}

export interface RawBridge {
  child: ChildProcess;
  commands: Writable;
  replies: Readable;
  frames: Readable[];
  control?: Writable;
  close(): Promise<void>;
}

/** The bridge spawned directly, every output drained, no client in between. */
export function rawBridge(scripted: boolean): RawBridge {
  const count = scripted ? 11 : 9;
  const env = { ...process.env, ...(scripted ? { QUORLANE_SIM_CONTROL: '10,11' } : {}) };
  const child = spawn(executable, [], {
    cwd: scratchDir(),
    env,
    stdio: ['ignore', ...new Array<'pipe'>(count).fill('pipe')],
  });
  const stream = (fd: number) => child.stdio[fd] as Readable & Writable;
  for (const fd of [1, 2, ...(scripted ? [11] : [])]) stream(fd).resume();
  return {
    child,
    commands: stream(3),
    replies: stream(4),
    frames: [5, 6, 7, 8, 9].map(stream),
    control: scripted ? stream(10) : undefined,
    close: () =>
      new Promise((resolve) => {
        child.once('close', () => resolve());
        child.kill('SIGTERM');
      }),
  };
}

export function median(values: number[]): number {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

export function waitForBytes(stream: Readable, count: number): Promise<void> {
  return new Promise((resolve) => {
    let got = 0;
    const onData = (chunk: Buffer) => {
      got += chunk.length;
      if (got >= count) {
        stream.off('data', onData);
        resolve();
      }
    };
    stream.on('data', onData);
  });
}

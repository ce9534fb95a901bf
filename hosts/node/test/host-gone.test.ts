import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { readdirSync, readFileSync, writeFileSync } from 'node:fs';
import * as path from 'node:path';
import { test } from 'node:test';
import { executable, scratchDir, withTimeout } from './helpers';

function alive(pid: number): boolean {
  try {
    process.kill(pid, 0);
    return true;
  } catch (e) {
    return (e as NodeJS.ErrnoException).code === 'EPERM';
  }
}

async function gone(pid: number): Promise<void> {
  while (alive(pid)) await new Promise((resolve) => setTimeout(resolve, 10));
}

// The host: a session with everything on, then "ready PID" on its descriptor 3 (a console pipe
// of Windows Node.js is unusable under Wine).
const HOST = `'use strict';
const fs = require('node:fs');
const [pkg, executable, cwd] = process.argv.slice(2);
const { Bridge } = require(pkg);
(async () => {
  const bridge = await Bridge.start({ executable, cwd });
  if ((await bridge.login('u0', 'Host', 1)) !== 1) throw new Error('login failed');
  if ((await bridge.enterRoom('demo', 'Demo', 1)) !== 0) throw new Error('enterRoom failed');
  await bridge.requestView(['demo-1', 'demo-2', 'demo-3']);
  await Promise.all([bridge.openCamera(), bridge.openMic(), bridge.startPreview()]);
  await bridge.startPushRtmp('host-gone');
  await bridge.daemonStart(); // once answered, every command before it has run
  fs.writeSync(3, 'ready ' + bridge.pid + '\\n');
  setInterval(() => {}, 1000);
})().catch((e) => {
  fs.writeSync(3, 'failed ' + e.message + '\\n');
  process.exit(1);
});
`;

test('a host that is killed leaves a bridge that switches everything off and ends', async () => {
  const work = scratchDir();
  const script = path.join(work, 'host.js');
  writeFileSync(script, HOST);
  const pkg = path.join(__dirname, '..', 'src');
  const host = spawn(process.execPath, [script, pkg, executable, work], {
    stdio: ['ignore', 'ignore', 'ignore', 'pipe'],
    windowsHide: true,
  });
  let said = '';
  const ready = withTimeout(
    new Promise<number>((resolve, reject) => {
      host.stdio[3]!.on('data', (chunk: Buffer) => {
        said += chunk.toString();
        const m = /ready (\d+)\n/.exec(said);
        if (m !== null) resolve(Number(m[1]));
        else if (said.includes('\n')) reject(new Error(`the host: ${said.trim()}`));
      });
    }),
    30000,
    "the host's session",
  );
  const pid = await ready;
  assert.ok(alive(pid));

  // SIGKILL on POSIX, TerminateProcess on Windows: nothing of the host runs any more.
  host.kill('SIGKILL');
  const killed = Date.now();
  await withTimeout(gone(pid), 10000, 'the end of the bridge');
  const ms = Date.now() - killed;
  assert.ok(ms < 2000, `the bridge took ${ms} ms to end`);

  const logs = path.join(work, 'log');
  const log = readdirSync(logs, { withFileTypes: true })
    .filter((entry) => entry.isFile())
    .map((entry) => readFileSync(path.join(logs, entry.name), 'latin1'))
    .join('');
  assert.match(log, /host gone \(/);
  // Written once the room is left and the SDK logged out.
  assert.match(log, /everything switched off in \d+ ms; exit code 0/);
});

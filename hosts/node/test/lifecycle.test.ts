import assert from 'node:assert/strict';
import * as path from 'node:path';
import { test } from 'node:test';
import { Bridge, BridgeExitError, ExitInfo, FrameError, ProtocolError } from '../src';
import { executable, fakeBridge, next, scratchDir, startBridge, withTimeout } from './helpers';

function escaped(text: string): string {
  return text.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
}

function alive(pid: number): boolean {
  try {
    process.kill(pid, 0);
    return true;
  } catch {
    return false;
  }
}

test('start fails clearly without an executable, a greeting or a working directory', async () => {
  const missing = path.resolve('/nonexistent/Quorlane'); // a drive letter comes first on Windows
  await assert.rejects(Bridge.start({ executable: missing }), {
    code: 'spawn-failed',
    message: new RegExp(`executable ${escaped(missing)} does not exist`),
  });
  await assert.rejects(Bridge.start({ executable, cwd: '/nonexistent-dir' }), {
    code: 'spawn-failed',
    message: /working directory \/nonexistent-dir does not exist/,
  });
  await assert.rejects(
    Bridge.start(fakeBridge(`send(2, 'no pipes here\\n'); process.exit(2);`)),
    (e: BridgeExitError) =>
      e.code === 'exited' &&
      /ended before its greeting \(exit code 2\)/.test(e.message) &&
      /no pipes here/.test(e.message),
  );
  const silent = fakeBridge('idle();');
  const started = Date.now();
  await assert.rejects(Bridge.start({ ...silent, timeout: 300 }), {
    code: 'no-greeting',
    message: /no greeting within 300 ms/,
  });
  assert.ok(Date.now() - started < 5000);
});

test('close ends the bridge, waits for it, and is safe to call twice', async () => {
  const bridge = await startBridge();
  const pid = bridge.pid as number;
  assert.ok(alive(pid));
  const pending = bridge.enterRoom('r1', 'Room One', 1); // answered only by a room login
  const exits: ExitInfo[] = [];
  bridge.on('exit', (e) => exits.push(e));
  const first = bridge.close();
  const second = bridge.close();
  assert.equal(first, second);
  await assert.rejects(bridge.openMic(), { code: 'closed', message: /being closed/ });
  await first;
  await bridge.close();
  assert.equal(alive(pid), false);
  assert.equal(exits.length, 1);
  assert.equal(exits[0].closed, true);
  await assert.rejects(
    pending,
    (e: BridgeExitError) =>
      e instanceof BridgeExitError && e.code === 'closed' && /was closed/.test(e.message),
  );
  await assert.rejects(bridge.openMic(), /was closed/);
  await assert.rejects(bridge.sim.sync(), /was closed/);
});

test('close ends the command pipe and stops reading first, so the bridge can leave by itself', async () => {
  // Stands in for a bridge that ends once its host has gone: descriptor 3 at its end and nobody
  // reading descriptor 4. It ignores SIGTERM, so only the pipes can end it before the kill.
  const fake = fakeBridge(
    `process.on('SIGTERM', () => {});
     send(4, '{ "code": 0, "type": "DaemonStart" }');
     const byte = Buffer.alloc(1);
     while (fs.readSync(3, byte, 0, 1, null) > 0) {}
     const pause = new Int32Array(new SharedArrayBuffer(4));
     for (const giveUp = Date.now() + 20000; Date.now() < giveUp; Atomics.wait(pause, 0, 0, 10)) {
       try {
         send(4, ' ');
       } catch {
         send(2, 'the host has gone\\n');
         process.exit(0);
       }
     }
     process.exit(7);`,
  );
  const bridge = await Bridge.start({ ...fake, killGrace: 30_000 });
  const lines: string[] = [];
  bridge.on('stderr', (line) => lines.push(line));
  await withTimeout(bridge.close(), 25_000, 'the bridge to leave by itself');
  const { code, signal, closed } = bridge.exit as ExitInfo;
  assert.deepEqual([code, signal, closed], [0, null, true]);
  assert.deepEqual(lines, ['the host has gone']);
  await assert.rejects(
    bridge.openMic(),
    (e: Error) => e instanceof BridgeExitError && /was closed \(exit code 0\)/.test(e.message),
  );
});

test('a bridge that dies fails every pending call with its signal and an exit event', async () => {
  const bridge = await startBridge();
  await bridge.login('u0', 'Host', 1);
  const entering = bridge.enterRoom('r1', 'Room One', 1);
  const frames = bridge.frames({ channel: 1 });
  const exited = next<ExitInfo>(bridge, 'exit');
  process.kill(bridge.pid as number, 'SIGKILL');
  const exit = await exited;
  // Windows has no signals: the process is terminated with exit code 1.
  const [code, signal, how] =
    process.platform === 'win32'
      ? [1, null, 'exit code 1']
      : [null, 'SIGKILL', 'killed by SIGKILL'];
  assert.deepEqual([exit.code, exit.signal, exit.closed], [code, signal, false]);
  await assert.rejects(
    entering,
    (e: Error) =>
      e instanceof BridgeExitError &&
      e.code === 'exited' &&
      e.message.includes(`ended unexpectedly (${how})`),
  );
  await assert.rejects(bridge.openMic(), (e: Error) => e.message.includes(how));
  assert.equal((await frames.next()).done, true);
  await bridge.close(); // nothing left to end
});

test('an exit code and the last lines of standard error are reported', async () => {
  const fake = fakeBridge(
    `send(4, '{ "code": 0, "type": "DaemonStart" }');
     receive(3, 1);
     send(2, 'first complaint\\n');
     send(2, 'fatal: giving up\\n');
     process.exit(3);`,
  );
  const bridge = await Bridge.start(fake);
  const lines: string[] = [];
  bridge.on('stderr', (l) => lines.push(l));
  const reply = bridge.openMic();
  await assert.rejects(reply, (e: BridgeExitError) => {
    assert.match(
      e.message,
      /ended unexpectedly \(exit code 3\); last lines of its standard error:\n {2}first complaint\n {2}fatal: giving up/,
    );
    assert.equal(e.exit?.code, 3);
    return true;
  });
  assert.deepEqual(lines, ['first complaint', 'fatal: giving up']);
});

test('a text that is not JSON and a torn frame header are reported and what follows still arrives', async () => {
  const fake = fakeBridge(
    `send(4, '{ "code": 0, "type": "DaemonStart" }');
     receive(3, 1);
     send(4, '{"type":nope}{"type":"KickOut","param":{"code":7,"RoomID":"r1"}}{ "code": 1, "type": "OpenMic" }');
     send(6, Buffer.from([5, 0, 0, 0, 3, 0, 0, 0, 28, 0, 0, 0]));
     send(1, 'stray output\\n');
     idle();`,
  );
  const bridge = await Bridge.start({ ...fake, killGrace: 200 });
  try {
    const errors: ProtocolError[] = [];
    bridge.on('protocolError', (e) => errors.push(e));
    const kicked = next<{ code: number }>(bridge, 'KickOut');
    const frameError = next<FrameError>(bridge.channels[1], 'frameError');
    const stdout = next<string>(bridge, 'stdout');
    assert.equal(await withTimeout(bridge.openMic(), 5000, 'the reply'), 1);
    assert.deepEqual(await kicked, { code: 7, RoomID: 'r1' });
    assert.equal(errors.length, 1);
    assert.equal(errors[0].bytes.toString(), '{"type":nope}');
    assert.equal(errors[0].code, 'not-json');
    const error = await frameError;
    assert.equal(error.channel, 1);
    assert.equal(error.code, 'bad-payload-length');
    assert.match(error.message, /payload length 28 does not match 5x3/);
    assert.equal(bridge.channels[1].counters.errors, 1);
    assert.equal(await stdout, 'stray output');
  } finally {
    await bridge.close();
  }
});

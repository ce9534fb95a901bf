// Starting the real bridge, and waiting for what it sends, in the tests.
import { once } from 'node:events';
import { mkdtempSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import * as path from 'node:path';
import { Bridge, BridgeOptions, CallRecord } from '../src';

export const executable = path.resolve(
  process.env.QUORLANE_EXECUTABLE ??
    path.join(__dirname, '..', '..', '..', '..', 'build', 'Quorlane'),
);

export function scratchDir(): string {
  return mkdtempSync(path.join(tmpdir(), 'quorlane-node-'));
}

// A bridge started without cwd works in the user's own state folder: the tests' is a scratch one.
const stateHome = scratchDir();
process.env['XDG_STATE_HOME'] = stateHome;
process.env['LOCALAPPDATA'] = stateHome;

export function startBridge(options: BridgeOptions = {}): Promise<Bridge> {
  return Bridge.start({ executable, cwd: scratchDir(), scripted: true, ...options });
}

/** A Node.js script standing in for the bridge, for misbehaviour the real one never shows; run by
 * this process's own Node.js, so that it works on every platform. The script gets `send(fd, text)`,
 * `receive(fd, count)` (blocks until `count` bytes have arrived) and `idle()` (stays alive for 30 s
 * unless ended). */
export function fakeBridge(script: string): BridgeOptions {
  const file = path.join(scratchDir(), 'fake-bridge.js');
  writeFileSync(
    file,
    `'use strict';
const fs = require('node:fs');
function send(fd, text) { fs.writeSync(fd, typeof text === 'string' ? Buffer.from(text, 'latin1') : text); }
function receive(fd, count) {
  const buffer = Buffer.alloc(count);
  for (let got = 0; got < count; ) {
    const n = fs.readSync(fd, buffer, got, count - got, null);
    if (n === 0) process.exit(9);
    got += n;
  }
}
function idle() { setTimeout(() => {}, 30000); }
${script}
`,
  );
  return { executable: process.execPath, args: [file] };
}

export function withTimeout<T>(promise: Promise<T>, ms: number, what: string): Promise<T> {
  let timer: NodeJS.Timeout;
  return Promise.race([
    promise,
    new Promise<T>((_, reject) => {
      timer = setTimeout(
        () => reject(new Error(`timed out after ${ms} ms waiting for ${what}`)),
        ms,
      );
    }),
  ]).finally(() => clearTimeout(timer));
}

/** The next event `name` of `emitter`. */
export async function next<T>(emitter: NodeJS.EventEmitter, name: string, ms = 5000): Promise<T> {
  const [value] = await withTimeout(once(emitter, name), ms, `'${name}'`);
  return value as T;
}

/** Waits for the SDK call record `call` (scripted mode). */
export async function nextCall(bridge: Bridge, call: string, ms = 5000): Promise<CallRecord> {
  return withTimeout(
    new Promise<CallRecord>((resolve) => {
      const listener = (record: CallRecord) => {
        if (record.call !== call) return;
        bridge.sim.off('call', listener);
        resolve(record);
      };
      bridge.sim.on('call', listener);
    }),
    ms,
    `the call ${call}`,
  );
}

/** Logs in and enters room r1 with the streams given, so that every callback is registered. */
export async function enterRoom(bridge: Bridge, streamIDs: string[] = []): Promise<void> {
  if ((await bridge.login('u0', 'Host', 1)) !== 1) throw new Error('login failed');
  const entered = bridge.enterRoom('r1', 'Room One', 1);
  await nextCall(bridge, 'LoginRoom');
  const streams = streamIDs.map((id, i) => ({
    userID: `u${i + 1}`,
    userName: `User ${i + 1}`,
    streamID: id,
  }));
  await bridge.sim.notify('OnLoginRoom', { errorCode: 0, roomID: 'r1', streams });
  if ((await entered) !== 0) throw new Error('entering the room failed');
}

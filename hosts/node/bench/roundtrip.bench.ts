// Round trip of {"type":"OpenMic"} through the client (await bridge.openMic()), against the same
// bytes echoed by `cat` through a pair of pipes from Node, and against the bridge driven with raw
// writes and reads from Node; alternating blocks in one run. Goal: client at most 2x the echo.
import { spawn } from 'node:child_process';
import { performance } from 'node:perf_hooks';
import { Readable, Writable } from 'node:stream';
import { Bridge } from '../src';
import { executable, median, rawBridge, scratchDir, waitForBytes } from './common';

const ROUNDS = Number(process.env.BENCH_ROUNDS ?? 2000);
const BLOCKS = Number(process.env.BENCH_BLOCKS ?? 5);
const COMMAND = '{"type":"OpenMic"}';
const REPLY_BYTES = Buffer.byteLength('{ "code": 1, "type": "OpenMic" }');

async function pipeRounds(
  out: Writable,
  input: Readable,
  text: string,
  replyBytes: number,
): Promise<number> {
  const start = performance.now();
  for (let i = 0; i < ROUNDS; i++) {
    const back = waitForBytes(input, replyBytes);
    out.write(text);
    await back;
  }
  return ((performance.now() - start) * 1000) / ROUNDS;
}

async function echoBlock(): Promise<number> {
  const cat = spawn('cat', [], { stdio: ['pipe', 'pipe', 'inherit'] });
  const us = await pipeRounds(cat.stdin, cat.stdout, COMMAND, COMMAND.length);
  cat.stdin.end();
  await new Promise((resolve) => cat.once('close', resolve));
  return us;
}

async function rawBridgeBlock(): Promise<number> {
  const raw = rawBridge(false);
  await waitForBytes(raw.replies, Buffer.byteLength('{ "code": 0, "type": "DaemonStart" }'));
  const loggedIn = waitForBytes(raw.replies, Buffer.byteLength('{ "code": 1, "type": "Login" }'));
  raw.commands.write('{"type":"Login","param":{"userID":"u","userName":"n","test":0}}');
  await loggedIn;
  const us = await pipeRounds(raw.commands, raw.replies, COMMAND, REPLY_BYTES);
  await raw.close();
  return us;
}

async function clientBlock(): Promise<number> {
  const bridge = await Bridge.start({ executable, cwd: scratchDir() });
  await bridge.login('u', 'n', 0);
  const start = performance.now();
  for (let i = 0; i < ROUNDS; i++) {
    if ((await bridge.openMic()) !== 1) throw new Error('OpenMic failed');
  }
  const us = ((performance.now() - start) * 1000) / ROUNDS;
  await bridge.close();
  return us;
}

async function main(): Promise<void> {
  const echo: number[] = [];
  const raw: number[] = [];
  const client: number[] = [];
  for (let i = 0; i < BLOCKS; i++) {
    echo.push(await echoBlock());
    raw.push(await rawBridgeBlock());
    client.push(await clientBlock());
  }
  const e = median(echo);
  const r = median(raw);
  const c = median(client);
  console.log(`command round trip, ${ROUNDS} rounds per block, median of ${BLOCKS} blocks each`);
  console.log(`  raw pipe echo (cat) from Node:  ${e.toFixed(1)} us`);
  console.log(`  raw bridge from Node:           ${r.toFixed(1)} us`);
  console.log(`  client, await bridge.openMic(): ${c.toFixed(1)} us`);
  console.log(
    `  ratio client/echo: ${(c / e).toFixed(2)} (goal <= 2), client/raw bridge: ${(c / r).toFixed(2)}`,
  );
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});

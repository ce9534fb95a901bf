// A Windows host that dies: a Windows Node.js host spawns the bridge, runs a session with
// everything switched on and is terminated hard (TerminateProcess, as Node's kill() and the task
// manager do). The bridge must switch everything off, log out of the SDK and end within 2 s;
// with MODE hung, the simulated SDK's LogoutRoom never returns and the bridge ends anyway.
//
//     node node-host-gone.js BRIDGE.exe WORK_FOLDER RESULT_FILE killed|hung
//
// This process watches; a second Node.js process is the host. The host spawns the bridge
// detached, or Node's job object would end it along with the host, and sends the simulated
// SDK's call records to a file that outlives it. The last line of RESULT_FILE is "PASS" or
// "FAIL: ..." (node.exe's console is unusable under Wine when it is a pipe).
'use strict';

const { spawn } = require('child_process');
const fs = require('fs');
const path = require('path');

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
async function waitFor(what, test, ms = 15000) {
  for (const deadline = Date.now() + ms; ; await sleep(5)) {
    const value = test();
    if (value) return value;
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
  }
}
const records = (file) =>
  fs
    .readFileSync(file, 'latin1')
    .split('\n')
    .filter((l) => l)
    .map((l) => JSON.parse(l));

// The host: a session with everything on, then "ready PID" to the watcher on descriptor 3.
async function host(bridgePath, work, recordFile, hung) {
  const stdio = [
    'ignore',
    'ignore',
    'ignore',
    'pipe',
    'pipe',
    'pipe',
    'pipe',
    'pipe',
    'pipe',
    'pipe',
    'pipe',
    fs.openSync(recordFile, 'w'),
  ];
  const env = Object.assign({}, process.env, { QUORLANE_SIM_CONTROL: '10,11' });
  const bridge = spawn(bridgePath, [], {
    stdio,
    env,
    cwd: work,
    windowsHide: true,
    detached: true,
  });
  let replies = '';
  bridge.stdio[4].setEncoding('latin1');
  bridge.stdio[4].on('data', (text) => {
    replies += text;
  });
  for (let fd = 5; fd <= 9; ++fd) bridge.stdio[fd].resume();
  if (hung) bridge.stdio[10].write('{"op":"hang","fn":"LogoutRoom"}\n');
  bridge.stdio[10].write('{"op":"sync","id":1}\n');
  await waitFor('the sync answer', () => records(recordFile).some((r) => r.op === 'synced'));
  const commands = [
    { type: 'Login', param: { userID: 'u', userName: 'n', test: 0 } },
    { type: 'EnterRoom', param: { RoomName: 'R', RoomID: 'r', role: 2 } },
    { type: 'RequestView', param: ['b', 'a'] },
    { type: 'OpenCamera' },
    { type: 'OpenMic' },
    { type: 'StartPreview' },
    { type: 'StartPushRtmp', param: { Params: '', StreamID: 'p', Title: 't', flag: 0 } },
    { type: 'DaemonStart' }, // a barrier: once answered, every command before it has run
  ];
  for (const command of commands) bridge.stdio[3].write(JSON.stringify(command));
  const greeting = '{ "code": 0, "type": "DaemonStart" }';
  await waitFor('the barrier reply', () => replies.split(greeting).length - 1 >= 2);
  fs.writeSync(3, `ready ${bridge.pid}\n`);
  setInterval(() => {}, 1000); // until terminated
}

function alive(pid) {
  try {
    process.kill(pid, 0);
    return true;
  } catch (e) {
    return e.code === 'EPERM';
  }
}
const callText = (r) =>
  `${r.call}(${r.args.map((a) => JSON.stringify(a)).join(', ')})` +
  ('result' in r ? ` -> ${JSON.stringify(r.result)}` : '');

async function watch(bridgePath, work, note, hung) {
  const recordFile = path.join(work, 'records.txt');
  const child = spawn(
    process.execPath,
    [__filename, 'host', bridgePath, work, recordFile, hung ? 'hung' : ''],
    { stdio: ['ignore', 'ignore', 'ignore', 'pipe'], windowsHide: true },
  );
  let said = '';
  child.stdio[3].setEncoding('latin1');
  child.stdio[3].on('data', (text) => {
    said += text;
  });
  child.on('exit', () => {
    said += 'exit\n';
  });
  const ready = await waitFor("the host's session", () => /ready (\d+)\n|exit\n/.exec(said), 30000);
  if (!ready[1]) throw new Error('the host ended before its session was set up');
  const pid = Number(ready[1]);
  if (!alive(pid)) throw new Error('no bridge running before its host was terminated');
  const before = records(recordFile).filter((r) => r.call).length;

  child.kill();
  const killed = Date.now();
  await waitFor('the end of the bridge', () => !alive(pid), 10000);
  const ms = Date.now() - killed;
  note(`the bridge ended ${ms} ms after its host was terminated`);
  if (ms > 2000) throw new Error(`the bridge took ${ms} ms to end`);

  const lines = records(recordFile);
  const calls = lines
    .filter((r) => r.call)
    .slice(before)
    .map(callText);
  const expected = [
    'StopPreview(0) -> true',
    'StopPublishing(0, null, 0) -> true',
    'EnableCamera(false, 0) -> true',
    'EnableMic(false) -> true',
    'StopPlayingStream("a") -> true',
    'StopPlayingStream("b") -> true',
    'SetExternalRenderCallback(null)',
  ];
  if (!hung) {
    expected.push(
      'LogoutRoom() -> true',
      'SetLivePublisherCallback(null) -> true',
      'SetLivePlayerCallback(null) -> true',
      'SetRoomCallback(null) -> true',
      'SetIMCallback(null) -> true',
      'SetDeviceStateCallback(null)',
      'UnInitSDK() -> true',
    );
  } else if (!lines.some((r) => r.op === 'hanging' && r.fn === 'LogoutRoom')) {
    throw new Error('LogoutRoom was not called');
  }
  if (calls.join('\n') !== expected.join('\n'))
    throw new Error(
      `SDK calls after the session:\n  ${calls.join('\n  ')}\nexpected:\n  ${expected.join('\n  ')}`,
    );

  const logs = path.join(work, 'log');
  const log = fs
    .readdirSync(logs)
    .map((f) => fs.readFileSync(path.join(logs, f), 'latin1'))
    .join('');
  for (const line of [
    'host gone (descriptor 3 ended, no reader on descriptor 4)',
    `exit code ${hung ? 1 : 0}\r\n`,
  ]) {
    if (log.split(line).length !== 2)
      throw new Error(`the log does not hold "${line.trim()}" once`);
  }
}

if (process.argv[2] === 'host') {
  const [bridgePath, work, recordFile, mode] = process.argv.slice(3);
  host(bridgePath, work, recordFile, mode === 'hung').catch(() => process.exit(1));
} else {
  const [bridgePath, work, resultPath, mode] = process.argv.slice(2);
  const result = fs.openSync(resultPath, 'w');
  const note = (line) => fs.writeSync(result, line + '\n');
  watch(bridgePath, work, note, mode === 'hung')
    .then(
      () => note('PASS'),
      (e) => note(`FAIL: ${e.message}`),
    )
    .finally(() => process.exit(0));
}

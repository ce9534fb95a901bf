// The vendor-dll Quorlane.exe with a stand-in of the vendor's DLL built in Microsoft's ABI,
// driven by Windows Node.js as a host drives it. Modes:
//
//   full     the DLL beside the executable, app ID and signature from the environment: login,
//            room login with streams, frames on channels 0 to 2, preview (whose start calls the
//            slot after the publisher's destructor), publishing, room messages, logout
//   lacking  QUORLANE_SDK_DLL names a DLL without EnableMic, QUORLANE_APP_ID is malformed
//   missing  QUORLANE_SDK_DLL names a file that does not exist
//   thread-fault, call-fault  the DLL faults on its own thread (at the room login) or inside
//            EnableCamera: the bridge ends with the exception code, leaving a text report and a
//            minidump beside its logs
//   hang     EnableCamera never returns: exit code 3 within the call limit plus 1 s, a report
//   hang-gone  the same with no limit, one more command, then every pipe closed: the bridge
//            ends within 2 s with code 1
//   bad-frames  s1's frames are shorter than their geometry, s2's rows 1 GiB apart: refused,
//            while the preview's frames go on
//
//     node standin-session.js BRIDGE.exe WORK_FOLDER RESULT_FILE MODE [DLL]
//
// The transcript (commands, texts on descriptor 4, console lines) and the verdict go to
// RESULT_FILE, whose last line is "PASS" or "FAIL: ...".
'use strict';

const { spawn } = require('child_process');
const fs = require('fs');
const path = require('path');
const { ObjectSplitter, FrameReader } = require('../windows/session-support.js');

const [bridgePath, workFolder, resultPath, mode, dllPath] = process.argv.slice(2);
const result = fs.openSync(resultPath, 'w');
const note = (line) => fs.writeSync(result, line + '\n');

const appID = '4242';
const appSign = '0f1e2d3c4b5a69788796a5b4c3d2e1f000112233445566778899aabbccddeeff';

const env = Object.assign({}, process.env);
for (const name of ['QUORLANE_SDK_DLL', 'QUORLANE_APP_ID', 'QUORLANE_APP_SIGN']) delete env[name];
const faults = {
  'thread-fault': 'thread',
  'call-fault': 'call',
  hang: 'hang',
  'hang-gone': 'hang',
  'bad-frames': 'bad-frames',
};
const callLimitMs = 2000;
if (mode === 'full' || faults[mode]) {
  env.QUORLANE_APP_ID = appID;
  env.QUORLANE_APP_SIGN = appSign;
  if (faults[mode]) env.QUORLANE_STANDIN_FAULT = faults[mode];
  if (mode === 'hang') env.QUORLANE_SDK_CALL_LIMIT_MS = String(callLimitMs);
  if (mode === 'hang-gone') env.QUORLANE_SDK_CALL_LIMIT_MS = '0';
} else {
  env.QUORLANE_SDK_DLL = dllPath;
  if (mode === 'lacking') env.QUORLANE_APP_ID = '12x';
}

const texts = [];
const readers = [0, 1, 2, 3, 4].map((c) => new FrameReader(c));
let consoleText = '';
const stdio = ['ignore', 'pipe', 'ignore', 'pipe', 'pipe', 'pipe', 'pipe', 'pipe', 'pipe', 'pipe'];
const child = spawn(bridgePath, [], { stdio, env, cwd: workFolder, windowsHide: true });
let exited = null;
let exitCode = null;
let exitedAt = 0;
child.on('exit', (code, signal) => {
  exited = `code ${code} signal ${signal}`;
  exitCode = code;
  exitedAt = Date.now();
});
child.on('error', (e) => {
  exited = `error ${e.message}`;
});

const splitter = new ObjectSplitter();
child.stdio[4].setEncoding('latin1');
child.stdio[4].on('data', (text) =>
  splitter.feed(text, (object) => {
    texts.push(object);
    note(`< ${object}`);
  }),
);
child.stdio[1].setEncoding('utf8');
child.stdio[1].on('data', (text) => {
  consoleText += text;
  for (const line of text.split(/\r?\n/)) if (line.trim()) note(`| ${line}`);
});
for (let c = 0; c < 5; ++c) child.stdio[5 + c].on('data', (chunk) => readers[c].feed(chunk));

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
async function waitFor(what, test, ms = 20000) {
  const deadline = Date.now() + ms;
  for (;;) {
    const value = test();
    if (value) return value;
    for (const r of readers) if (r.error) throw new Error(r.error);
    if (exited) throw new Error(`the bridge ended (${exited}) while waiting for ${what}`);
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await sleep(10);
  }
}
function send(command) {
  const text = JSON.stringify(command);
  note(`> ${text}`);
  child.stdio[3].write(text);
}
// The next unmatched text that equals `expected`, which it takes off the list.
function waitText(expected) {
  return waitFor(expected, () => {
    const i = texts.indexOf(expected);
    return i >= 0 ? texts.splice(i, 1)[0] : null;
  });
}
const reply = (type, code) => waitText(`{ "code": ${code}, "type": "${type}" }`);

// Every file under log/ in the bridge's working folder, read as one text.
function logText() {
  const files = [];
  const walk = (folder) => {
    if (!fs.existsSync(folder)) return;
    for (const entry of fs.readdirSync(folder, { withFileTypes: true })) {
      const full = path.join(folder, entry.name);
      if (entry.isDirectory()) walk(full);
      else files.push(fs.readFileSync(full, 'utf8'));
    }
  };
  walk(path.join(workFolder, 'log'));
  return files.join('');
}
async function waitLog(...parts) {
  for (const part of parts) await waitFor(`log line with ${part}`, () => logText().includes(part));
}
// Errors of the binding appear on standard output too, though it is a pipe, not a console.
async function waitLogged(...parts) {
  for (const part of parts)
    await waitFor(`console line with ${part}`, () => consoleText.includes(part));
  await waitLog(...parts);
}

// Solid colours in BT.601 limited range. Channel 0 sends Y U V, channels 1 to 4 Y V U.
const colours = { red: [82, 90, 240], green: [144, 54, 34], blue: [41, 240, 110] };
async function checkFrames(channel, width, height, colour) {
  const frame = await waitFor(
    `10 frames on channel ${channel}`,
    () => readers[channel].frames >= 10 && readers[channel].last,
  );
  const [y, second, third] = frame.planes;
  const [u, v] = channel === 0 ? [second, third] : [third, second];
  const [ey, eu, ev] = colours[colour];
  const near = (a, b) => Math.abs(a - b) <= 2;
  if (frame.width !== width || frame.height !== height)
    throw new Error(`channel ${channel}: ${frame.width}x${frame.height}, not ${width}x${height}`);
  if (!near(y, ey) || !near(u, eu) || !near(v, ev))
    throw new Error(
      `channel ${channel}: ${colour} arrived as Y ${y} U ${u} V ${v} (planes ${frame.planes})`,
    );
}

const stream = (n, name) =>
  `"StreamInfo${n - 1}":[{"UserId":"standin-${n}","UserName":"Stand-in ${name}",` +
  `"StreamId":"s${n}","ExtraInfo":[{"appID":${appID},"appSign":"${appSign}"}]}]`;
const quality = (fps, kbps, rtt, lost, grade) =>
  `"publishQuality":[{"fps":${fps},"kbps":${kbps},"rtt":${rtt},"pktLostRate":${lost},"quality":${grade}}]`;

async function fullSession() {
  send({ type: 'Login', param: { userID: 'u1', userName: 'Ann', test: 1 } });
  await reply('Login', 1);
  await waitLog(
    `InitSDK: app ID ${appID} from QUORLANE_APP_ID, app signature 0f1e...eeff from QUORLANE_APP_SIGN`,
    'SendRoomMessage bound to ?SendRoomMessage@LIVEROOM@ZEGO@@YAHHHHPEBD@Z',
    'loaded, 33 of 33 functions bound',
  );

  send({ type: 'EnterRoom', param: { RoomName: 'Room One', RoomID: 'r1', role: 1 } });
  await reply('EnterRoom', 0);
  await waitText(
    '{"type":"StreamsList","param":{"code":0,"RoomID":"r1","StreamInfo":[{"streamCount":2,' +
      `${stream(1, 'One')},${stream(2, 'Two')}}]}}`,
  );

  send({ type: 'RequestView', param: ['s1', 's2'] });
  for (const [id, width, height] of [
    ['s1', 40, 22],
    ['s2', 17, 9],
  ]) {
    await waitText(`{"type":"PlayStateUpdate","param":{"code":0,"StreamID":"${id}"}}`);
    await waitText(
      `{"type":"PlayQualityUpdate","param":{"StreamID":"${id}",${quality('15.000000', '612.500000', 20, 1, 0)}}}`,
    );
    await waitText(
      `{"type":"VideoSizeChanged","param":{"StreamID":"${id}","Width":${width},"Height":${height}}}`,
    );
  }
  await checkFrames(1, 40, 22, 'green');
  await checkFrames(2, 17, 9, 'blue');

  send({ type: 'OpenCamera' });
  await reply('OpenCamera', 1);
  send({ type: 'StartPreview' });
  await reply('StartPreview', 1);
  await waitText('{"type":"CaptureVideoSizeChanged","param":{"Width":33,"Height":17}}');
  await checkFrames(0, 33, 17, 'red');

  send({ type: 'StartPushRtmp', param: { Params: '', StreamID: 'p1', Title: 'Live', flag: 0 } });
  await waitText(
    '{"type":"PublishStateUpdate","param":{"code":0,"StreamID":"p1","StreamInfo":[{' +
      '"Rtmp":[{"RtmpURLCount":1,"RtmpURL0":"rtmp://standin/live/p1"}],' +
      '"Flv":[{"FlvURLCount":2,"FlvURL0":"http://standin/live/p1.flv","FlvURL1":"http://standin-2/live/p1.flv"}],' +
      '"Hls":[{"HlsURLCount":1,"HlsURL0":"http://standin/live/p1.m3u8"}]}]}}',
  );
  await waitText(
    `{"type":"PublishQualityUpdate","param":{"StreamID":"p1",${quality('29.970000', '1234.500000', 42, 3, 1)}}}`,
  );

  send({
    type: 'SendRoomMessage',
    param: { messageContent: 'hello', priority: 2, category: 1, type: 1 },
  });
  await waitText(
    '{"type":"SendRoomMessage","param":{"code":0,"sendSeq":1,"messageId":5000000001,"RoomID":"r1"}}',
  );
  await waitText(
    '{"type":"RecvRoomMessage","param":{"RoomID":"r1","MessageInfo":[{"messageCount":1,"MessageInfo0":' +
      '[{"UserId":"standin-peer","UserName":"Peer","Content":"echo: hello","messageId":6000000001,"type":1,"priority":2,"category":1}]}]}}',
  );

  send({ type: 'StopPushRtmp' });
  send({ type: 'Logout' });
  await reply('Logout', 0);
  if (logText().includes('asked to destroy')) throw new Error('the DLL reached a destructor slot');
}

async function lackingSession() {
  send({ type: 'Login', param: { userID: 'u1', userName: 'Ann', test: 0 } });
  await reply('Login', 1);
  await waitLogged(
    'QUORLANE_APP_ID=[12x] is not an app ID',
    dllPath,
    'no export for ZEGO::LIVEROOM::EnableMic (?EnableMic@LIVEROOM@ZEGO@@YA_N_N@Z)',
  );
  await waitLog('loaded, 32 of 33 functions bound');
  send({ type: 'OpenMic' });
  await reply('OpenMic', 0);
  send({ type: 'OpenSpeaker' });
  await reply('OpenSpeaker', 1);
  await waitLog('EnableMic(1), failed');
}

async function missingSession() {
  send({ type: 'Login', param: { userID: 'u1', userName: 'Ann', test: 0 } });
  await reply('Login', 0);
  await waitLogged(`the SDK ${dllPath} did not load: `, '(error 126)');
  send({ type: 'OpenCamera' });
  await reply('OpenCamera', 0);
}

// Waits for the bridge to end; its exit code.
async function waitExit(ms) {
  const deadline = Date.now() + ms;
  while (exitCode === null && Date.now() < deadline) await sleep(10);
  if (exitCode === null) throw new Error(`the bridge still runs ${ms} ms later`);
  return exitCode;
}

// The report named on standard output: its text, with the minidump beside it checked.
async function checkReport(...parts) {
  const line = await waitFor('the report line', () =>
    /Quorlane: crash report (.*\.txt)\r\n/.exec(consoleText),
  );
  const report = fs.readFileSync(line[1], 'latin1');
  for (const line of report.split('\n')) if (line) note(`# ${line}`);
  for (const part of parts) if (!report.includes(part)) throw new Error(`the report lacks ${part}`);
  const dump = fs.readFileSync(line[1].replace(/\.txt$/, '.dmp'));
  note(`minidump: ${dump.length} bytes`);
  if (dump.subarray(0, 4).toString('latin1') !== 'MDMP')
    throw new Error('the minidump does not begin with MDMP');
}

async function faultSession(inCall) {
  send({ type: 'Login', param: { userID: 'u1', userName: 'Ann', test: 0 } });
  await reply('Login', 1);
  if (inCall) send({ type: 'OpenCamera' });
  else send({ type: 'EnterRoom', param: { RoomName: 'Room One', RoomID: 'r1', role: 1 } });
  const code = await waitExit(30000);
  if (code !== 0xc0000005) throw new Error(`exit code ${code}, not the access violation's`);
  await checkReport(
    'exception: 0xc0000005 EXCEPTION_ACCESS_VIOLATION at zegoliveroom.dll+0x',
    ', writing 0x0\n',
    inCall ? 'uimsg (the command worker)' : "not one of the bridge's threads: one of the SDK's own",
    // On the DLL's thread the fault may come while LoginRoom, which set it off, still runs.
    inCall
      ? 'SDK call in flight on the command worker: EnableCamera, for '
      : 'SDK call in flight on the command worker: ',
    inCall
      ? 'oldest first: DaemonStart, Login, OpenCamera'
      : 'oldest first: DaemonStart, Login, EnterRoom',
  );
  await waitLog('LOG_FATAL crash: EXCEPTION_ACCESS_VIOLATION (3221225477) on thread ');
}

async function hangSession() {
  send({ type: 'Login', param: { userID: 'u1', userName: 'Ann', test: 0 } });
  await reply('Login', 1);
  const sent = Date.now();
  send({ type: 'OpenCamera' });
  const code = await waitExit(callLimitMs + 10000);
  const ms = exitedAt - sent;
  if (code !== 3) throw new Error(`exit code ${code}, not 3`);
  await checkReport(
    'fault: none; an SDK call has not returned within its limit',
    'SDK call in flight on the command worker: EnableCamera, for ',
  );
  await waitLog(
    `LOG_FATAL SDK call EnableCamera has not returned after ${callLimitMs} ms; report `,
  );
  // Wine's dbghelp takes a second or more for a minidump that Windows writes in a fraction of
  // one: the bound leaves out the time the dump writer reported.
  const dumpMs = Number(/minidump written in (\d+) ms/.exec(logText())[1]);
  note(
    `exit ${ms} ms after the command whose call hung (limit ${callLimitMs} ms), ` +
      `${ms - callLimitMs - dumpMs} ms of it besides the limit and the minidump's ${dumpMs} ms`,
  );
  if (ms > callLimitMs + dumpMs + 1000)
    throw new Error(`ended ${ms} ms after the call, past its limit, the minidump and 1 s`);
}

async function hangGoneSession() {
  send({ type: 'Login', param: { userID: 'u1', userName: 'Ann', test: 0 } });
  await reply('Login', 1);
  send({ type: 'OpenCamera' });
  await waitLog('RecvMessage: [{"type":"OpenCamera"}]');
  send({ type: 'Logout' });
  await waitLog('RecvMessage: [{"type":"Logout"}]');
  // The host goes: every pipe closed.
  const gone = Date.now();
  for (let fd = 3; fd <= 9; ++fd) child.stdio[fd].destroy();
  const code = await waitExit(10000);
  const ms = exitedAt - gone;
  note(`ended ${ms} ms after its host, exit code ${code}`);
  if (code !== 1) throw new Error(`exit code ${code}, not 1`);
  if (ms > 2000) throw new Error(`ended ${ms} ms after its host, not within 2 s`);
}

async function badFramesSession() {
  send({ type: 'Login', param: { userID: 'u1', userName: 'Ann', test: 0 } });
  await reply('Login', 1);
  send({ type: 'EnterRoom', param: { RoomName: 'Room One', RoomID: 'r1', role: 1 } });
  await reply('EnterRoom', 0);
  send({ type: 'RequestView', param: ['s1', 's2'] });
  send({ type: 'StartPreview' });
  await reply('StartPreview', 1);
  await checkFrames(0, 33, 17, 'red');
  await waitLog(
    'frames of stream s1 refused: 40x22 with rows 160 bytes apart need more than the 1280 bytes the SDK passed',
    'frames of stream s2 refused: 17x9 with rows 1073741824 bytes apart need more than the 612 bytes the SDK passed',
  );
  if (readers[1].frames !== 0 || readers[2].frames !== 0)
    throw new Error('a refused frame reached the host');
}

(async () => {
  try {
    await waitText('{ "code": 0, "type": "DaemonStart" }');
    const sessions = {
      full: fullSession,
      lacking: lackingSession,
      missing: missingSession,
      'thread-fault': () => faultSession(false),
      'call-fault': () => faultSession(true),
      hang: hangSession,
      'hang-gone': hangGoneSession,
      'bad-frames': badFramesSession,
    };
    await sessions[mode]();
    note(`frames per channel: ${readers.map((r) => r.frames).join(' ')}`);
    if (exited && !faults[mode]) throw new Error(`the bridge ended (${exited})`);
    note('PASS');
  } catch (e) {
    note(`frames per channel: ${readers.map((r) => r.frames).join(' ')}`);
    note(`FAIL: ${e.message}`);
  }
  child.kill();
  fs.closeSync(result);
  process.exit(0);
})();

// A real Windows host: Node.js spawns Quorlane.exe with a stdio array of pipes, as Electron
// applications do, and runs a session against the simulated SDK.
//
//     node node-session.js BRIDGE.exe WORK_FOLDER RESULT_FILE [demo|scripted]
//
// Under Wine the console streams of node.exe are unusable when standard output is a pipe, so
// the transcript and the verdict go to RESULT_FILE: the last line is "PASS" or "FAIL: ...".
'use strict';

const { spawn } = require('child_process');
const fs = require('fs');
const { ObjectSplitter, FrameReader } = require('./session-support.js');

const [bridgePath, workFolder, resultPath, mode = 'demo'] = process.argv.slice(2);
const scripted = mode === 'scripted';
const result = fs.openSync(resultPath, 'w');
const note = (line) => fs.writeSync(result, line + '\n');

const texts = []; // everything read on descriptor 4, in order
let consumed = 0; // texts already matched by a wait
const controlLines = [];
const readers = [0, 1, 2, 3, 4].map((c) => new FrameReader(c));

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
];
const env = Object.assign({}, process.env);
if (scripted) {
  stdio.push('pipe', 'pipe');
  env.QUORLANE_SIM_CONTROL = '10,11';
}
const child = spawn(bridgePath, [], { stdio, env, cwd: workFolder, windowsHide: true });
let exited = null;
child.on('exit', (code, signal) => {
  exited = `code ${code} signal ${signal}`;
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
for (let c = 0; c < 5; ++c) child.stdio[5 + c].on('data', (chunk) => readers[c].feed(chunk));
if (scripted) {
  let partial = '';
  child.stdio[11].setEncoding('latin1');
  child.stdio[11].on('data', (text) => {
    partial += text;
    let end;
    while ((end = partial.indexOf('\n')) >= 0) {
      controlLines.push(JSON.parse(partial.slice(0, end)));
      partial = partial.slice(end + 1);
    }
  });
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
async function waitFor(what, test, ms = 15000) {
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
function control(request) {
  child.stdio[10].write(JSON.stringify(request) + '\n');
}
// The next unmatched text that equals `expected` (byte for byte) or satisfies it.
function waitText(what, expected, ms) {
  return waitFor(
    what,
    () => {
      for (let i = consumed; i < texts.length; ++i) {
        const ok = typeof expected === 'string' ? texts[i] === expected : expected(texts[i]);
        if (ok) {
          const found = texts[i];
          texts.splice(i, 1);
          return found;
        }
      }
      return null;
    },
    ms,
  );
}
const reply = (type, code) => waitText(`reply ${type}`, `{ "code": ${code}, "type": "${type}" }`);
const eventOf = (type) => (t) => t.startsWith(`{"type":"${type}"`);
// Waits until `count` whole frames in all have arrived on `channel`.
async function waitFrames(channel, count) {
  await waitFor(
    `${count} frames on channel ${channel}`,
    () => readers[channel].frames >= count,
    30000,
  );
  return readers[channel].last;
}
function near(value, expected) {
  return Math.abs(value - expected) <= 2;
}
// Red in BT.601 limited range: Y 82, U 90, V 240. Channel 0 sends Y U V, channels 1 to 4 Y V U.
function checkRed(channel, frame) {
  const [y, second, third] = frame.planes;
  const [u, v] = channel === 0 ? [second, third] : [third, second];
  if (!near(y, 82) || !near(u, 90) || !near(v, 240))
    throw new Error(
      `channel ${channel}: red arrived as Y ${y} U ${u} V ${v} (planes ${frame.planes})`,
    );
}

async function demoSession() {
  send({ type: 'Login', param: { userID: 'win-user', userName: 'Windows Host', test: 1 } });
  await reply('Login', 1);
  send({ type: 'EnterRoom', param: { RoomName: 'Demo Room', RoomID: 'demo', role: 1 } });
  await reply('EnterRoom', 0);
  const list = await waitText('event StreamsList', eventOf('StreamsList'));
  for (const id of ['demo-1', 'demo-2', 'demo-3'])
    if (!list.includes(`"StreamId":"${id}"`)) throw new Error(`StreamsList lacks ${id}`);
  send({ type: 'RequestView', param: ['demo-1', 'demo-2', 'demo-3'] });
  for (const c of [1, 2, 3]) {
    const frame = await waitFrames(c, 30);
    if (frame.width !== 640 || frame.height !== 360)
      throw new Error(`channel ${c}: ${frame.width}x${frame.height}`);
  }
  send({ type: 'OpenCamera' });
  await reply('OpenCamera', 1);
  send({ type: 'StartPreview' });
  await reply('StartPreview', 1);
  await waitFrames(0, 10);
  send({ type: 'Logout' });
  await reply('Logout', 0);
}

async function scriptedSession() {
  const emit = async (cb, args) => {
    control({ op: 'emit', cb, args });
    await waitFor(`emitted ${cb}`, () =>
      controlLines.some((l) => l.op === 'emitted' && l.cb === cb && l.delivered),
    );
  };
  send({ type: 'Login', param: { userID: 'u1', userName: 'Ann', test: 0 } });
  await reply('Login', 1);
  send({ type: 'EnterRoom', param: { RoomName: 'Room', RoomID: 'r1', role: 2 } });
  await waitFor('LoginRoom call', () => controlLines.some((l) => l.call === 'LoginRoom'));
  const stream = (id) => ({ userID: 'u1', userName: 'Ann', streamID: id, extraInfo: '' });
  await emit('OnLoginRoom', { errorCode: 0, roomID: 'r1', streams: [stream('s1')] });
  await reply('EnterRoom', 0);
  await waitText(
    'StreamsList',
    '{"type":"StreamsList","param":{"code":0,"RoomID":"r1","StreamInfo":[{"streamCount":1,' +
      '"StreamInfo0":[{"UserId":"u1","UserName":"Ann","StreamId":"s1","ExtraInfo":[]}]}]}}',
  );
  // One event of each callback family: room, room messages, publisher, player.
  await emit('OnStreamUpdated', { updateCode: 2001, roomID: 'r1', streams: [stream('s2')] });
  await waitText(
    'StreamUpdate',
    '{"type":"StreamUpdate","param":{"code":2001,"RoomID":"r1","StreamInfo":[{"streamCount":1,' +
      '"StreamInfo0":[{"UserId":"u1","UserName":"Ann","StreamId":"s2","ExtraInfo":[]}]}]}}',
  );
  await emit('OnRecvRoomMessage', {
    roomID: 'r1',
    messages: [
      {
        userID: 'u2',
        userName: 'Bob',
        content: 'hi',
        messageID: 7,
        type: 1,
        priority: 2,
        category: 1,
      },
    ],
  });
  await waitText(
    'RecvRoomMessage',
    '{"type":"RecvRoomMessage","param":{"RoomID":"r1","MessageInfo":[{"messageCount":1,' +
      '"MessageInfo0":[{"UserId":"u2","UserName":"Bob","Content":"hi","messageId":7,"type":1,"priority":2,"category":1}]}]}}',
  );
  await emit('OnPublishStateUpdate', { stateCode: 0, streamID: 'p1', info: {} });
  await waitText(
    'PublishStateUpdate',
    '{"type":"PublishStateUpdate","param":{"code":0,"StreamID":"p1","StreamInfo":[{}]}}',
  );
  await emit('OnPlayStateUpdate', { stateCode: 0, streamID: 's1' });
  await waitText(
    'PlayStateUpdate',
    '{"type":"PlayStateUpdate","param":{"code":0,"StreamID":"s1"}}',
  );

  // Solid red frames: 30 on each of channels 1 to 3 (Y V U), some on channel 0 (Y U V). The
  // sizes are odd so that the chroma planes round up, and 0x0A / 0x1A bytes appear in the
  // headers (width 10, height 26): a text-mode pipe would corrupt them.
  send({ type: 'RequestView', param: ['s1', 's2', 's3'] });
  send({ type: 'OpenCamera' });
  await reply('OpenCamera', 1);
  // One frame at a time: the bridge drops a frame that arrives while a channel's backlog is
  // full, and every one of these must arrive.
  const sizes = { 1: [10, 26], 2: [641, 359], 3: [33, 17] };
  for (let i = 1; i <= 30; ++i) {
    for (const c of [1, 2, 3]) {
      const [width, height] = sizes[c];
      control({ op: 'frame', stream: `s${c}`, width, height, pattern: 'solid', color: '#FF0000' });
    }
    for (const c of [1, 2, 3]) {
      const frame = await waitFrames(c, i);
      if (frame.width !== sizes[c][0] || frame.height !== sizes[c][1])
        throw new Error(`channel ${c}: size`);
      checkRed(c, frame);
    }
  }
  for (let i = 1; i <= 5; ++i) {
    control({
      op: 'frame',
      stream: null,
      width: 26,
      height: 10,
      pattern: 'solid',
      color: '#FF0000',
    });
    checkRed(0, await waitFrames(0, i));
  }
  send({ type: 'Logout' });
  await reply('Logout', 0);
}

(async () => {
  try {
    const greeting = await waitFor('the greeting', () => texts[0]);
    if (greeting !== '{ "code": 0, "type": "DaemonStart" }')
      throw new Error(`greeting ${greeting}`);
    texts.shift();
    await (scripted ? scriptedSession() : demoSession());
    note(`frames per channel: ${readers.map((r) => r.frames).join(' ')}`);
    if (exited) throw new Error(`the bridge ended (${exited})`);
    note('PASS');
  } catch (e) {
    note(`frames per channel: ${readers.map((r) => r.frames).join(' ')}`);
    note(`FAIL: ${e.message}`);
  }
  child.kill();
  fs.closeSync(result);
  process.exit(0);
})();

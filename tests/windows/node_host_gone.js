// The end of a Windows host, with Windows Node.js as the host: the bridge leaves the room, logs
// out of the SDK and ends once its host has gone, and stays while its host only ends its
// commands.
//
//     node node_host_gone.js BRIDGE.exe WORK_FOLDER RESULT_FILE MODE
//
// MODE kept: this process is the host; it ends descriptor 3, sees events and frames still
//     come, then closes every pipe and expects the bridge to end.
// MODE killed, hung: this process watches a second Node.js process, the host, which spawns the
//     bridge detached (so that Node's job object does not end it along with the host), runs a
//     session and is then terminated hard. With hung, the simulated SDK's LogoutRoom never
//     returns. The simulated SDK's call records go to a file that outlives the host.
//
// The last line of RESULT_FILE is "PASS" or "FAIL: ..." (node.exe's console is unusable under
// Wine when it is a pipe).
'use strict';

const { spawn } = require('child_process');
const fs = require('fs');
const path = require('path');

const BOUND_MS = 2000;
const GREETING = '{ "code": 0, "type": "DaemonStart" }';

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
async function waitFor(what, test, ms = 15000) {
    const deadline = Date.now() + ms;
    for (;;) {
        const value = test();
        if (value) return value;
        if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
        await sleep(5);
    }
}

function logText(work) {
    const folder = path.join(work, 'log');
    if (!fs.existsSync(folder)) return '';
    return fs.readdirSync(folder).sort().map((f) => fs.readFileSync(path.join(folder, f), 'latin1')).join('');
}
const count = (text, piece) => text.split(piece).length - 1;

function processAlive(pid) {
    try {
        process.kill(pid, 0);
        return true;
    } catch (e) {
        return e.code === 'EPERM';
    }
}

// "Name(arg, ...) -> result" for a call record, as the C++ tests write it.
function callText(record) {
    const args = (record.args || []).map((a) => JSON.stringify(a)).join(', ');
    return `${record.call}(${args})` + ('result' in record ? ` -> ${JSON.stringify(record.result)}` : '');
}
function parseLines(text) {
    return text.split('\n').filter((l) => l.trim() !== '').map((l) => JSON.parse(l));
}

const SDK_SHUT_DOWN = [
    'SetLivePublisherCallback(null) -> true',
    'SetLivePlayerCallback(null) -> true',
    'SetRoomCallback(null) -> true',
    'SetIMCallback(null) -> true',
    'SetDeviceStateCallback(null)',
    'UnInitSDK() -> true',
];

function expectCalls(actual, expected) {
    if (JSON.stringify(actual) !== JSON.stringify(expected))
        throw new Error(`SDK calls after the session:\n  ${actual.join('\n  ')}\nexpected:\n  ${expected.join('\n  ')}`);
}

// Splits descriptor 4 into objects; the bridge's texts hold no braces inside strings here.
function objectReader(stream, objects) {
    let pending = '';
    let depth = 0;
    stream.setEncoding('latin1');
    stream.on('data', (text) => {
        for (const c of text) {
            if (depth === 0 && c !== '{') continue;
            pending += c;
            if (c === '{') ++depth;
            else if (c === '}' && --depth === 0) {
                objects.push(pending);
                pending = '';
            }
        }
    });
}

// Sends the commands of a session, then a DaemonStart as a barrier: once its reply is in,
// every command before it has made its SDK calls.
async function runSession(bridge, objects, commands) {
    const greetings = () => objects.filter((o) => o === GREETING).length;
    await waitFor('the greeting', () => greetings() >= 1);
    for (const command of commands) bridge.stdio[3].write(JSON.stringify(command));
    bridge.stdio[3].write('{"type":"DaemonStart"}');
    await waitFor('the barrier reply', () => greetings() >= 2);
}

const LOGIN = { type: 'Login', param: { userID: 'u', userName: 'n', test: 0 } };
const ENTER = { type: 'EnterRoom', param: { RoomName: 'R', RoomID: 'r', role: 2 } };

// The host of MODE kept: ends descriptor 3, then every pipe.
async function keptSession(bridgePath, work, note) {
    const stdio = ['ignore', 'ignore', 'ignore', 'pipe', 'pipe', 'pipe', 'pipe', 'pipe', 'pipe', 'pipe', 'pipe', 'pipe'];
    const env = Object.assign({}, process.env, { QUORLANE_SIM_CONTROL: '10,11' });
    const bridge = spawn(bridgePath, [], { stdio, env, cwd: work, windowsHide: true });
    let exit = null;
    bridge.on('exit', (code) => { exit = { code, at: Date.now() }; });
    const objects = [];
    objectReader(bridge.stdio[4], objects);
    let frameBytes = 0;
    bridge.stdio[6].on('data', (chunk) => { frameBytes += chunk.length; });
    let control = '';
    bridge.stdio[11].setEncoding('latin1');
    bridge.stdio[11].on('data', (text) => { control += text; });
    const lines = () => parseLines(control.slice(0, control.lastIndexOf('\n') + 1));

    await runSession(bridge, objects, [
        LOGIN, ENTER, { type: 'RequestView', param: ['a'] },
        { type: 'OpenCamera' }, { type: 'CloseCamera' }, { type: 'OpenMic' },
    ]);
    const sessionCalls = () => lines().filter((l) => l.call).length;
    await waitFor('the session calls', () => lines().some((l) => l.call === 'EnableMic'));
    const before = sessionCalls();

    bridge.stdio[3].destroy();
    await waitFor('end of input logged', () => logText(work).includes('RecvMessage return err. code: 0'));
    // The bridge stays, and events and frames still come, also after the bridge has asked
    // several times whether anyone reads descriptor 4.
    for (let round = 0; round < 3; ++round) {
        await sleep(200);
        const events = objects.length;
        bridge.stdio[10].write(JSON.stringify({ op: 'emit', cb: 'OnKickOut', args: { reason: 7, roomID: 'r' } }) + '\n');
        await waitFor('a KickOut event', () => objects.length > events && objects[objects.length - 1].includes('"KickOut"'));
        const bytes = frameBytes;
        bridge.stdio[10].write(JSON.stringify({ op: 'frame', stream: 'a', width: 8, height: 8 }) + '\n');
        await waitFor('a frame on channel 1', () => frameBytes >= bytes + 12 + 96);
        if (exit) throw new Error(`the bridge ended (exit code ${exit.code}) though its host still reads`);
    }
    if (count(logText(work), 'host gone') !== 0) throw new Error('the bridge logged its end');
    if (sessionCalls() !== before) throw new Error('SDK calls after end of input alone');

    // Closing every pipe is the host's gentle way out.
    for (let fd = 4; fd <= 9; ++fd) bridge.stdio[fd].destroy();
    const closed = Date.now();
    await waitFor('the end of the bridge', () => exit, 10000);
    const ms = exit.at - closed;
    note(`the bridge ended ${ms} ms after its host closed its pipes (exit code ${exit.code})`);
    if (exit.code !== 0) throw new Error(`exit code ${exit.code}`);
    if (ms > BOUND_MS) throw new Error(`the bridge took ${ms} ms to end`);
    await waitFor('the end of the call records', () => bridge.stdio[11].readableEnded || bridge.stdio[11].destroyed, 5000)
        .catch(() => {});
    expectCalls(lines().filter((l) => l.call).slice(before).map(callText), [
        'EnableMic(false) -> true', 'StopPlayingStream("a") -> true',
        'SetExternalRenderCallback(null)', 'LogoutRoom() -> true', ...SDK_SHUT_DOWN,
    ]);
    if (count(logText(work), 'host gone (descriptor 3 ended, no reader on descriptor 4)') !== 1)
        throw new Error('the log does not name the cause once');
}

// MODE killed and hung, the host's side: a session with everything on, then "ready PID" on
// descriptor 3 to the watcher, which terminates this process.
async function hostSession(bridgePath, work, records, hung) {
    const recordsFd = fs.openSync(records, 'w');
    const stdio = ['ignore', 'ignore', 'ignore', 'pipe', 'pipe', 'pipe', 'pipe', 'pipe', 'pipe', 'pipe', 'pipe', recordsFd];
    const env = Object.assign({}, process.env, { QUORLANE_SIM_CONTROL: '10,11' });
    const bridge = spawn(bridgePath, [], { stdio, env, cwd: work, windowsHide: true, detached: true });
    const objects = [];
    objectReader(bridge.stdio[4], objects);
    for (let fd = 5; fd <= 9; ++fd) bridge.stdio[fd].resume();
    if (hung) bridge.stdio[10].write(JSON.stringify({ op: 'hang', fn: 'LogoutRoom' }) + '\n');
    bridge.stdio[10].write(JSON.stringify({ op: 'sync', id: 1 }) + '\n');
    await waitFor('the sync answer', () => fs.readFileSync(records, 'latin1').includes('"synced"'));
    await runSession(bridge, objects, [
        LOGIN, ENTER, { type: 'RequestView', param: ['b', 'a'] },
        { type: 'OpenCamera' }, { type: 'OpenMic' }, { type: 'StartPreview' },
        { type: 'StartPushRtmp', param: { Params: '', StreamID: 'p', Title: 't', flag: 0 } },
    ]);
    fs.writeSync(3, `ready ${bridge.pid}\n`);
    setInterval(() => {}, 1000);  // until terminated
}

// MODE killed and hung, the watcher's side.
async function watchHost(bridgePath, work, note, hung) {
    const records = path.join(work, 'records.txt');
    const host = spawn(process.execPath, [__filename, 'host', bridgePath, work, records, hung ? 'hung' : 'killed'],
        { stdio: ['ignore', 'ignore', 'ignore', 'pipe'], windowsHide: true });
    let said = '';
    host.stdio[3].setEncoding('latin1');
    host.stdio[3].on('data', (text) => { said += text; });
    let hostExit = null;
    host.on('exit', (code) => { hostExit = code; });
    const ready = await waitFor('the host\'s session', () => {
        if (hostExit !== null) throw new Error(`the host ended with code ${hostExit}`);
        return /ready (\d+)\n/.exec(said);
    }, 30000);
    const pid = Number(ready[1]);
    if (!processAlive(pid)) throw new Error('no bridge before the host was terminated');
    const before = parseLines(fs.readFileSync(records, 'latin1')).filter((l) => l.call).length;

    host.kill();  // TerminateProcess: nothing of the host runs any more
    const killed = Date.now();
    await waitFor('the end of the bridge', () => !processAlive(pid), 10000);
    const ms = Date.now() - killed;
    note(`the bridge ended ${ms} ms after its host was terminated`);
    if (ms > BOUND_MS) throw new Error(`the bridge took ${ms} ms to end`);

    const lines = parseLines(fs.readFileSync(records, 'latin1'));
    const calls = lines.filter((l) => l.call).slice(before).map(callText);
    const log = logText(work);
    if (count(log, 'host gone (descriptor 3 ended, no reader on descriptor 4)') !== 1)
        throw new Error('the log does not name the cause once');
    const off = [
        'StopPreview(0) -> true', 'StopPublishing(0, null, 0) -> true', 'EnableCamera(false, 0) -> true',
        'EnableMic(false) -> true', 'StopPlayingStream("a") -> true', 'StopPlayingStream("b") -> true',
        'SetExternalRenderCallback(null)',
    ];
    if (hung) {
        expectCalls(calls, off);
        if (!lines.some((l) => l.op === 'hanging' && l.fn === 'LogoutRoom')) throw new Error('LogoutRoom was not called');
        if (count(log, 'an SDK call has not returned; exit code 1') !== 1) throw new Error('no line on the cut-short end');
    } else {
        expectCalls(calls, [...off, 'LogoutRoom() -> true', ...SDK_SHUT_DOWN]);
        if (count(log, '; exit code 0') !== 1) throw new Error('no line on the completed end');
    }
}

if (process.argv[2] === 'host') {
    const [bridgePath, work, records, mode] = process.argv.slice(3);
    hostSession(bridgePath, work, records, mode === 'hung').catch(() => process.exit(1));
} else {
    const [bridgePath, work, resultPath, mode] = process.argv.slice(2);
    const result = fs.openSync(resultPath, 'w');
    const note = (line) => fs.writeSync(result, line + '\n');
    (async () => {
        try {
            if (mode === 'kept') await keptSession(bridgePath, work, note);
            else await watchHost(bridgePath, work, note, mode === 'hung');
            note('PASS');
        } catch (e) {
            note(`FAIL: ${e.message}`);
        }
        fs.closeSync(result);
        process.exit(0);
    })();
}

import assert from 'node:assert/strict';
import { test } from 'node:test';
import { Bridge, SimRequestError } from '../src';
import { executable, scratchDir, startBridge, withTimeout } from './helpers';

test('the control channel answers requests in order, refuses bad ones, and lists the SDK calls', async () => {
  const bridge = await startBridge();
  try {
    const calls = bridge.sim.calls();
    await bridge.login('u0', 'Host', 0);
    const names: string[] = [];
    for await (const record of calls) {
      names.push(record.call);
      if (record.call === 'InitSDK') {
        assert.equal(record.result, true);
        break; // leaving the loop detaches the iterator
      }
    }
    assert.deepEqual(names.slice(-3), ['SetUser', 'SetAudioPrep2', 'InitSDK']);

    const refused = bridge.sim.request({ op: 'no-such-op' });
    const silentRefused = bridge.sim.request({ op: 'result', fn: 'EnableMic', value: 'yes' });
    const answered = bridge.sim.request({ op: 'audio', bytes: 64 });
    const synced = bridge.sim.sync();
    await assert.rejects(
      refused,
      (e: Error) =>
        e instanceof SimRequestError &&
        e.code === 'sim-refused' &&
        /unknown op "no-such-op"/.test(e.message),
    );
    await assert.rejects(silentRefused, SimRequestError);
    assert.deepEqual(await answered, { op: 'audio', ok: true });
    await synced;
    await assert.rejects(bridge.sim.request(null as never), TypeError);
    // Not delivered: the IM callback is registered only by a room login.
    assert.equal(
      await bridge.sim.notify('OnRecvRoomMessage', { roomID: 'r1', messages: [] }),
      false,
    );
  } finally {
    await bridge.close();
  }
});

test('without scripted mode the demo room plays on its own and sim is not there', async () => {
  const bridge = await Bridge.start({ executable, cwd: scratchDir() });
  try {
    assert.throws(() => bridge.sim, { code: 'not-scripted', message: /not started with scripted/ });
    assert.equal(await bridge.login('demo-host', 'Demo Host', 1), 1);
    assert.equal(
      await withTimeout(bridge.enterRoom('demo', 'Demo Room', 1), 5000, 'the room login'),
      0,
    );
    await bridge.requestView(['demo-1']);
    const frames = bridge.frames({ channel: 1 });
    const { value } = await withTimeout(frames.next(), 5000, 'a demo frame');
    assert.deepEqual([value?.width, value?.height], [640, 360]);
  } finally {
    await bridge.close();
  }
});

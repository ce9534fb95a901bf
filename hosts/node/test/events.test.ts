import assert from 'node:assert/strict';
import { test } from 'node:test';
import {
  BridgeEvent,
  EVENT_TYPES,
  EventParams,
  EventType,
  messagesOf,
  streamsOf,
  urlsOf,
} from '../src';
import { enterRoom, next, startBridge, withTimeout } from './helpers';

const streams = [
  { userID: 'u1', userName: 'Ann "A"', streamID: 's1', extraInfo: '{"k":1}' },
  { userID: 'u2', userName: 'Bo', streamID: 's2', extraInfo: '' },
];
const quality = { fps: 29.97, kbps: 800.5, rtt: 40, pktLostRate: 2, quality: 1 };

// Each notification of the simulated SDK, and what the typed event must carry.
const cases: Array<{ cb: string; args: object; type: EventType; check(param: never): void }> = [
  {
    cb: 'OnStreamUpdated',
    args: { updateCode: 2001, streams, roomID: 'r1' },
    type: 'StreamUpdate',
    check: (p: EventParams['StreamUpdate']) => {
      assert.equal(p.code, 2001);
      assert.deepEqual(streamsOf(p), [
        { UserId: 'u1', UserName: 'Ann "A"', StreamId: 's1', ExtraInfo: [{ k: 1 }] },
        { UserId: 'u2', UserName: 'Bo', StreamId: 's2', ExtraInfo: [] },
      ]);
    },
  },
  {
    cb: 'OnStreamExtraInfoUpdated',
    args: { streams: streams.slice(1), roomID: 'r1' },
    type: 'ExternStreamUpdate',
    check: (p: EventParams['ExternStreamUpdate']) => {
      assert.equal('code' in p, false);
      assert.deepEqual(
        streamsOf(p).map((s) => s.StreamId),
        ['s2'],
      );
    },
  },
  {
    cb: 'OnLogoutRoom',
    args: { errorCode: 3, roomID: 'r1' },
    type: 'LogoutRoom',
    check: (p: EventParams['LogoutRoom']) => assert.deepEqual(p, { code: 3, RoomID: 'r1' }),
  },
  {
    cb: 'OnKickOut',
    args: { reason: 9, roomID: 'r1' },
    type: 'KickOut',
    check: (p: EventParams['KickOut']) => assert.deepEqual(p, { code: 9, RoomID: 'r1' }),
  },
  {
    cb: 'OnDisconnect',
    args: { errorCode: 4, roomID: 'r1' },
    type: 'Disconnect',
    check: (p: EventParams['Disconnect']) => assert.deepEqual(p, { RoomID: 'r1' }),
  },
  {
    cb: 'OnCustomCommand',
    args: { errorCode: 0, seq: 12, roomID: 'r1' },
    type: 'CustomCommand',
    check: (p: EventParams['CustomCommand']) =>
      assert.deepEqual(p, { code: 0, seq: 12, RoomID: 'r1' }),
  },
  {
    cb: 'OnRecvCustomCommand',
    args: { userID: 'u7', userName: 'Cy', content: 'c {x}', roomID: 'r1' },
    type: 'RecvCustomCommand',
    check: (p: EventParams['RecvCustomCommand']) =>
      assert.deepEqual(p, { code: 'u7', UserName: 'Cy', Content: 'c {x}', RoomID: 'r1' }),
  },
  {
    cb: 'OnSendRoomMessage',
    args: { errorCode: 0, roomID: 'r1', seq: 5, messageID: 4294967297 },
    type: 'SendRoomMessage',
    check: (p: EventParams['SendRoomMessage']) =>
      assert.deepEqual(p, { code: 0, sendSeq: 5, messageId: 4294967297, RoomID: 'r1' }),
  },
  {
    cb: 'OnRecvRoomMessage',
    type: 'RecvRoomMessage',
    args: {
      roomID: 'r1',
      messages: [
        {
          userID: 'u1',
          userName: 'Ann',
          content: 'hi',
          messageID: 1,
          type: 1,
          priority: 2,
          category: 3,
        },
        {
          userID: 'u2',
          userName: 'Bo',
          content: 'yo',
          messageID: 2,
          type: 1,
          priority: 2,
          category: 3,
        },
      ],
    },
    check: (p: EventParams['RecvRoomMessage']) => {
      assert.equal(p.RoomID, 'r1');
      assert.deepEqual(
        messagesOf(p).map((m) => [m.UserId, m.Content, m.messageId, m.category]),
        [
          ['u1', 'hi', 1, 3],
          ['u2', 'yo', 2, 3],
        ],
      );
    },
  },
  {
    cb: 'OnPublishStateUpdate',
    type: 'PublishStateUpdate',
    args: {
      stateCode: 0,
      streamID: 'live',
      info: { rtmp: ['rtmp://a'], flv: ['http://f0', 'http://f1'], hls: [] },
    },
    check: (p: EventParams['PublishStateUpdate']) => {
      assert.equal(p.StreamID, 'live');
      assert.equal(p.StreamInfo[0].Hls, undefined);
      assert.deepEqual(urlsOf(p.StreamInfo[0]), {
        rtmp: ['rtmp://a'],
        flv: ['http://f0', 'http://f1'],
        hls: [],
      });
    },
  },
  {
    cb: 'OnPublishQualityUpdate',
    args: { streamID: 'live', quality },
    type: 'PublishQualityUpdate',
    check: (p: EventParams['PublishQualityUpdate']) =>
      assert.deepEqual(p, { StreamID: 'live', publishQuality: [quality] }),
  },
  {
    cb: 'OnPlayStateUpdate',
    args: { stateCode: 1, streamID: 's1' },
    type: 'PlayStateUpdate',
    check: (p: EventParams['PlayStateUpdate']) => assert.deepEqual(p, { code: 1, StreamID: 's1' }),
  },
  {
    cb: 'OnPlayQualityUpdate',
    args: { streamID: 's1', quality },
    type: 'PlayQualityUpdate',
    check: (p: EventParams['PlayQualityUpdate']) => assert.deepEqual(p.publishQuality[0], quality),
  },
  {
    cb: 'OnVideoSizeChanged',
    args: { streamID: 's1', width: 640, height: 360 },
    type: 'VideoSizeChanged',
    check: (p: EventParams['VideoSizeChanged']) =>
      assert.deepEqual(p, { StreamID: 's1', Width: 640, Height: 360 }),
  },
  {
    cb: 'OnCaptureVideoSizeChanged',
    args: { width: 1280, height: 720 },
    type: 'CaptureVideoSizeChanged',
    check: (p: EventParams['CaptureVideoSizeChanged']) =>
      assert.deepEqual(p, { Width: 1280, Height: 720 }),
  },
  {
    cb: 'OnMixStream',
    type: 'MixStream',
    args: {
      mixStreamID: 'm1',
      seq: 7,
      result: {
        errorCode: 0,
        nonExists: ['x1', 'x2'],
        output: { streamID: 'o1', mixStreamID: 'm1', flv: ['f0'], hls: ['h0'] },
      },
    },
    check: (p: EventParams['MixStream']) => {
      assert.deepEqual([p.MixStreamID, p.seq], ['m1', 7]);
      const result = p.result[0];
      assert.equal(result.ErrorCode, 0);
      assert.deepEqual(result.NonExistsStream, [
        { NonExistsStreamCount: 2, NonExistsStreamIDList0: 'x1', NonExistsStreamIDList1: 'x2' },
      ]);
      assert.deepEqual(urlsOf(result.oStreamInfo[0]), { rtmp: [], flv: ['f0'], hls: ['h0'] });
    },
  },
  {
    cb: 'OnJoinLiveRequest',
    args: { seq: 1, userID: 'u3', userName: 'Di', roomID: 'r1' },
    type: 'JoinLiveRequest',
    check: (p: EventParams['JoinLiveRequest']) =>
      assert.deepEqual(p, { seq: 1, FromUserId: 'u3', FromUserName: 'Di', RoomID: 'r1' }),
  },
  {
    cb: 'OnInviteJoinLiveRequest',
    args: { seq: 2, userID: 'u3', userName: 'Di', roomID: 'r1' },
    type: 'InviteJoinLiveRequest',
    check: (p: EventParams['InviteJoinLiveRequest']) =>
      assert.deepEqual(p, { seq: 2, FromUserId: 'u3', FromUserName: 'Di', RoomID: 'r1' }),
  },
  {
    cb: 'OnInviteJoinLiveResponse',
    args: { result: 1, userID: 'u3', userName: 'Di', seq: 3 },
    type: 'InviteJoinLiveResponse',
    check: (p: EventParams['InviteJoinLiveResponse']) =>
      assert.deepEqual(p, { result: 1, FromUserId: 'u3', FromUserName: 'Di', seq: 3 }),
  },
  {
    cb: 'OnEndJoinLive',
    args: { result: 0, seq: 4, roomID: 'r1' },
    type: 'EndJoinLive',
    check: (p: EventParams['EndJoinLive']) =>
      assert.deepEqual(p, { result: 0, seq: 4, RoomID: 'r1' }),
  },
  {
    cb: 'OnJoinLiveResponse',
    args: { result: 2, userID: 'u3', userName: 'Di', seq: 5 },
    type: 'RecvEndJoinLiveCommand',
    check: (p: EventParams['RecvEndJoinLiveCommand']) =>
      assert.deepEqual(p, { result: 2, FromUserId: 'u3', FromUserName: 'Di', seq: 5 }),
  },
  {
    cb: 'OnRecvEndJoinLiveCommand',
    args: { userID: 'u3', userName: 'Di', roomID: 'r1' },
    type: 'RecvEndJoinLiveCommand',
    check: (p: EventParams['RecvEndJoinLiveCommand']) => {
      assert.ok('RoomID' in p);
      assert.deepEqual(p, { FromUserId: 'u3', FromUserName: 'Di', RoomID: 'r1' });
    },
  },
];

test('every event type arrives under its own name with its param typed', async () => {
  const bridge = await startBridge();
  try {
    const all: BridgeEvent[] = [];
    bridge.on('event', (e) => all.push(e));
    const listed = next<EventParams['StreamsList']>(bridge, 'StreamsList');
    await enterRoom(bridge, ['s1']);
    const list = await listed;
    assert.deepEqual(
      [list.code, list.RoomID, streamsOf(list).map((s) => s.UserName)],
      [0, 'r1', ['User 1']],
    );

    const covered = new Set<EventType>(['StreamsList']);
    for (const { cb, args, type, check } of cases) {
      const arrived = next<never>(bridge, type);
      assert.equal(
        await bridge.sim.notify(cb, args as Record<string, unknown>),
        true,
        `${cb} delivered`,
      );
      check(await withTimeout(arrived, 5000, type));
      covered.add(type);
    }
    assert.deepEqual([...covered].sort(), [...EVENT_TYPES].sort());
    assert.equal(all.length, cases.length + 1);
  } finally {
    await bridge.close();
  }
});

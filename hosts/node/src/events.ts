// The texts the bridge writes on descriptor 4: replies { "code": n, "type": name } and events
// {"type": name, "param": {...}}, with one TypeScript type per event's param as the bridge
// composes it. Lists arrive as counted objects ("StreamInfo":[{"streamCount":2,"StreamInfo0":
// [{...}],"StreamInfo1":[{...}]}]); `streamsOf`, `messagesOf` and `urlsOf` turn them into arrays.

import type { ProtocolErrorCode } from './errors';

export interface Reply {
  code: number;
  type: string;
}

export interface StreamRecord {
  UserId: string;
  UserName: string;
  StreamId: string;
  /** The publisher's extra information, inside an array: [] when it is empty. */
  ExtraInfo: unknown[];
}

export type StreamList = { streamCount: number } & {
  [item: `StreamInfo${number}`]: [StreamRecord];
};

export interface StreamsListParam {
  code: number;
  RoomID: string;
  StreamInfo: [StreamList];
}
export interface StreamUpdateParam {
  /** The SDK's update code: streams added or removed. */
  code: number;
  RoomID: string;
  StreamInfo: [StreamList];
}
export interface ExternStreamUpdateParam {
  RoomID: string;
  StreamInfo: [StreamList];
}
export interface LogoutRoomParam {
  code: number;
  RoomID: string;
}
export interface KickOutParam {
  /** The reason code. */
  code: number;
  RoomID: string;
}
export interface DisconnectParam {
  RoomID: string;
}
export interface CustomCommandParam {
  code: number;
  seq: number;
  RoomID: string;
}
export interface RecvCustomCommandParam {
  /** The sender's user ID (a text, under this name). */
  code: string;
  UserName: string;
  Content: string;
  RoomID: string;
}
export interface SendRoomMessageParam {
  code: number;
  sendSeq: number;
  messageId: number;
  RoomID: string;
}

export interface MessageRecord {
  UserId: string;
  UserName: string;
  Content: string;
  /** Unsigned 64-bit: above 2^53 it loses precision as a JavaScript number. */
  messageId: number;
  type: number;
  priority: number;
  category: number;
}
export type MessageList = { messageCount: number } & {
  [item: `MessageInfo${number}`]: [MessageRecord];
};
export interface RecvRoomMessageParam {
  RoomID: string;
  MessageInfo: [MessageList];
}

export type RtmpList = { RtmpURLCount: number } & { [url: `RtmpURL${number}`]: string };
export type FlvList = { FlvURLCount: number } & { [url: `FlvURL${number}`]: string };
export type HlsList = { HlsURLCount: number } & { [url: `HlsURL${number}`]: string };
/** Only the lists that hold URLs are present. */
export interface UrlLists {
  Rtmp?: [RtmpList];
  Flv?: [FlvList];
  Hls?: [HlsList];
}
export interface PublishStateUpdateParam {
  code: number;
  StreamID: string;
  StreamInfo: [UrlLists];
}

export interface Quality {
  fps: number;
  kbps: number;
  rtt: number;
  pktLostRate: number;
  quality: number;
}
export interface PublishQualityUpdateParam {
  StreamID: string;
  publishQuality: [Quality];
}
/** A play quality update uses the same member name as a publish quality update. */
export interface PlayQualityUpdateParam {
  StreamID: string;
  publishQuality: [Quality];
}
export interface PlayStateUpdateParam {
  code: number;
  StreamID: string;
}
export interface VideoSizeChangedParam {
  StreamID: string;
  Width: number;
  Height: number;
}
export interface CaptureVideoSizeChangedParam {
  Width: number;
  Height: number;
}

export type MixFlvList = { FlvURLCount: number } & { [url: `FlvRUL${number}`]: string };
export interface MixOutput {
  StreamID: string;
  MixStreamID: string;
  Rtmp?: [RtmpList];
  Flv?: [MixFlvList];
  Hls?: [HlsList];
}
export type NonExistsStreams = { NonExistsStreamCount: number } & {
  [id: `NonExistsStreamIDList${number}`]: string;
};
export interface MixResult {
  ErrorCode: number;
  NonExistsStream?: [NonExistsStreams];
  oStreamInfo: [MixOutput];
}
export interface MixStreamParam {
  MixStreamID: string;
  seq: number;
  result: [MixResult];
}

export interface JoinLiveRequestParam {
  seq: number;
  FromUserId: string;
  FromUserName: string;
  RoomID: string;
}
export interface InviteJoinLiveRequestParam {
  seq: number;
  FromUserId: string;
  FromUserName: string;
  RoomID: string;
}
export interface InviteJoinLiveResponseParam {
  result: number;
  FromUserId: string;
  FromUserName: string;
  seq: number;
}
export interface EndJoinLiveParam {
  result: number;
  seq: number;
  RoomID: string;
}
/** The answer to our join-live request. */
export interface JoinLiveResponseParam {
  result: number;
  FromUserId: string;
  FromUserName: string;
  seq: number;
}
/** Another user ended joining our live. */
export interface EndJoinLiveCommandParam {
  FromUserId: string;
  FromUserName: string;
  RoomID: string;
}
/** Two notifications share this event type; `'RoomID' in param` tells them apart. */
export type RecvEndJoinLiveCommandParam = JoinLiveResponseParam | EndJoinLiveCommandParam;

/** Every event type of the protocol with the type of its param. */
export interface EventParams {
  StreamsList: StreamsListParam;
  StreamUpdate: StreamUpdateParam;
  ExternStreamUpdate: ExternStreamUpdateParam;
  LogoutRoom: LogoutRoomParam;
  KickOut: KickOutParam;
  Disconnect: DisconnectParam;
  CustomCommand: CustomCommandParam;
  RecvCustomCommand: RecvCustomCommandParam;
  SendRoomMessage: SendRoomMessageParam;
  RecvRoomMessage: RecvRoomMessageParam;
  PublishStateUpdate: PublishStateUpdateParam;
  PublishQualityUpdate: PublishQualityUpdateParam;
  PlayStateUpdate: PlayStateUpdateParam;
  PlayQualityUpdate: PlayQualityUpdateParam;
  VideoSizeChanged: VideoSizeChangedParam;
  CaptureVideoSizeChanged: CaptureVideoSizeChangedParam;
  MixStream: MixStreamParam;
  JoinLiveRequest: JoinLiveRequestParam;
  InviteJoinLiveRequest: InviteJoinLiveRequestParam;
  InviteJoinLiveResponse: InviteJoinLiveResponseParam;
  EndJoinLive: EndJoinLiveParam;
  RecvEndJoinLiveCommand: RecvEndJoinLiveCommandParam;
}
export type EventType = keyof EventParams;

export const EVENT_TYPES: readonly EventType[] = [
  'StreamsList',
  'StreamUpdate',
  'ExternStreamUpdate',
  'LogoutRoom',
  'KickOut',
  'Disconnect',
  'CustomCommand',
  'RecvCustomCommand',
  'SendRoomMessage',
  'RecvRoomMessage',
  'PublishStateUpdate',
  'PublishQualityUpdate',
  'PlayStateUpdate',
  'PlayQualityUpdate',
  'VideoSizeChanged',
  'CaptureVideoSizeChanged',
  'MixStream',
  'JoinLiveRequest',
  'InviteJoinLiveRequest',
  'InviteJoinLiveResponse',
  'EndJoinLive',
  'RecvEndJoinLiveCommand',
];

export function isEventType(type: string): type is EventType {
  return (EVENT_TYPES as readonly string[]).includes(type);
}

/** Any event as it arrived; `param` is typed once `type` is narrowed. */
export type BridgeEvent = { [T in EventType]: { type: T; param: EventParams[T] } }[EventType];

/** A text on descriptor 4 that is not a reply or an event of the protocol. */
export interface ProtocolError {
  code: ProtocolErrorCode;
  message: string;
  bytes: Buffer;
}

function counted<T>(list: Record<string, unknown> | undefined, prefix: string, count: string): T[] {
  if (list === undefined) return [];
  const n = Number(list[count]);
  const items: T[] = [];
  for (let i = 0; i < n; i++) {
    const item = list[`${prefix}${i}`];
    if (item === undefined) break;
    items.push((Array.isArray(item) ? item[0] : item) as T);
  }
  return items;
}

/** The stream records of a StreamsList, StreamUpdate or ExternStreamUpdate event. */
export function streamsOf(param: { StreamInfo: [StreamList] }): StreamRecord[] {
  return counted<StreamRecord>(param.StreamInfo[0], 'StreamInfo', 'streamCount');
}

/** The message records of a RecvRoomMessage event. */
export function messagesOf(param: RecvRoomMessageParam): MessageRecord[] {
  return counted<MessageRecord>(param.MessageInfo[0], 'MessageInfo', 'messageCount');
}

/** The RTMP, FLV and HLS addresses of a PublishStateUpdate event or a mix output. */
export function urlsOf(lists: UrlLists | MixOutput): {
  rtmp: string[];
  flv: string[];
  hls: string[];
} {
  const flv = lists.Flv?.[0] as Record<string, unknown> | undefined;
  const flvPrefix = flv !== undefined && 'FlvRUL0' in flv ? 'FlvRUL' : 'FlvURL';
  return {
    rtmp: counted<string>(lists.Rtmp?.[0], 'RtmpURL', 'RtmpURLCount'),
    flv: counted<string>(flv, flvPrefix, 'FlvURLCount'),
    hls: counted<string>(lists.Hls?.[0], 'HlsURL', 'HlsURLCount'),
  };
}

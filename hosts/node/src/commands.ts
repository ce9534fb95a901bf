// The command vocabulary of descriptor 3, in one table: each entry is a method of `Bridge`, with
// the command's type, the type of its reply (for the commands that have one), and a function
// that checks the method's arguments and makes the command's "param". The bridge would truncate
// a number to 32 bits and drop a command whose member has the wrong kind, both without a word to
// the host, so every argument is checked before anything is written.
import { VIEW_CHANNELS } from './channels';
import { invalidArgument, outOfRange } from './errors';

/** The bridge drops a command text longer than this (it waits for the end of an object no
 * longer than this many bytes). */
export const MAX_COMMAND_BYTES = 16 * 1024;

export interface Command {
  type: string;
  param?: unknown;
}

export interface Rect {
  left: number;
  top: number;
  right: number;
  bottom: number;
}

/** One command of the table; its method resolves with the reply's code, or once written. */
export interface CommandSpec<A extends unknown[] = never[]> {
  /** The command's "type". */
  readonly type: string;
  /** The "type" of its reply; undefined for a command without one. */
  readonly reply: string | undefined;
  /** Checks the method's arguments and returns the command's "param" (undefined: none). */
  readonly param: (...args: A) => unknown;
}

interface Replied<A extends unknown[]> extends CommandSpec<A> {
  readonly reply: string;
}
interface Written<A extends unknown[]> extends CommandSpec<A> {
  readonly reply: undefined;
}

const none = (): undefined => undefined;

/** A command whose reply (of type `reply`, the command's own by default) resolves its method. */
function replied<A extends unknown[] = []>(
  type: string,
  param: (...args: A) => unknown = none,
  reply = type,
): Replied<A> {
  return { type, reply, param };
}

/** A command without a reply: its method resolves once the command is written. */
function written<A extends unknown[] = []>(
  type: string,
  param: (...args: A) => unknown = none,
): Written<A> {
  return { type, reply: undefined, param };
}

function describe(value: unknown): string {
  if (value === null) return 'null';
  if (value === undefined) return 'undefined';
  if (Array.isArray(value)) return 'an array';
  return typeof value === 'string' ? 'a string' : `${typeof value} ${String(value)}`;
}

export function checkText(name: string, value: unknown): string {
  if (typeof value !== 'string')
    throw invalidArgument(`${name} must be a string, not ${describe(value)}`);
  return value;
}

export function checkInt32(name: string, value: unknown): number {
  if (typeof value !== 'number')
    throw invalidArgument(`${name} must be a number, not ${describe(value)}`);
  if (!Number.isInteger(value) || value < -2147483648 || value > 2147483647)
    throw outOfRange(`${name} must be a 32-bit integer, not ${value}`);
  return value;
}

export function checkRect(name: string, value: unknown): Rect {
  if (typeof value !== 'object' || value === null || Array.isArray(value))
    throw invalidArgument(
      `${name} must be an object {left, top, right, bottom}, not ${describe(value)}`,
    );
  const r = value as Record<string, unknown>;
  return {
    left: checkInt32(`${name}.left`, r.left),
    top: checkInt32(`${name}.top`, r.top),
    right: checkInt32(`${name}.right`, r.right),
    bottom: checkInt32(`${name}.bottom`, r.bottom),
  };
}

export function checkStreamIDs(value: unknown): string[] {
  if (!Array.isArray(value))
    throw invalidArgument(`streamIDs must be an array, not ${describe(value)}`);
  if (value.length > VIEW_CHANNELS)
    throw outOfRange(`at most ${VIEW_CHANNELS} streams can be viewed, not ${value.length}`);
  return value.map((id, i) => checkText(`streamIDs[${i}]`, id));
}

const size = (width: number, height: number) => ({
  nWidth: checkInt32('width', width),
  nHeight: checkInt32('height', height),
});

/** The command vocabulary; each entry is the `Bridge` method of its name. */
export const COMMANDS = {
  /** Logs in; 1 on success, 0 on failure. A `test` other than 0 selects the test environment. */
  login: replied('Login', (userID: string, userName: string, test: number | boolean = 0) => ({
    userID: checkText('userID', userID),
    userName: checkText('userName', userName),
    test: typeof test === 'boolean' ? Number(test) : checkInt32('test', test),
  })),
  /** Logs out; 0. */
  logout: replied('Logout'),
  /** Enters a room; resolves with the SDK's code once the room login is answered (0 = entered). */
  enterRoom: replied('EnterRoom', (roomID: string, roomName: string, role: number) => ({
    RoomName: checkText('roomName', roomName),
    RoomID: checkText('roomID', roomID),
    role: checkInt32('role', role),
  })),
  /** Leaves the room. */
  exitRoom: written('ExitRoom'),
  /** Plays up to four streams on channels 1 to 4, in order (empty IDs are skipped); [] stops them. */
  requestView: written('RequestView', (streamIDs: string[]) => checkStreamIDs(streamIDs)),
  openCamera: replied('OpenCamera'),
  closeCamera: replied('CloseCamera'),
  openMic: replied('OpenMic'),
  closeMic: replied('CloseMic'),
  openSpeaker: replied('OpenSpeaker'),
  closeSpeaker: replied('CloseSpeaker'),
  startPreview: replied('StartPreview'),
  stopPreview: replied('StopPreview'),
  /** Publishes our stream; the outcome arrives as a 'PublishStateUpdate' event. */
  startPushRtmp: written(
    'StartPushRtmp',
    (streamID: string, title: string = '', flag: number = 0, params: string = '') => ({
      Params: checkText('params', params),
      StreamID: checkText('streamID', streamID),
      Title: checkText('title', title),
      flag: checkInt32('flag', flag),
    }),
  ),
  /** Stops publishing, and the preview with it. */
  stopPushRtmp: written('StopPushRtmp'),
  /** Sends a room message; the outcome arrives as a 'SendRoomMessage' event. */
  sendRoomMessage: written(
    'SendRoomMessage',
    (content: string, type: number = 1, category: number = 1, priority: number = 2) => ({
      messageContent: checkText('content', content),
      priority: checkInt32('priority', priority),
      category: checkInt32('category', category),
      type: checkInt32('type', type),
    }),
  ),
  /** Sets the watermark image; 1. */
  setWaterPath: replied(
    'SetWaterpath',
    (path: string) => ({ path: checkText('path', path) }),
    'SetWaterMarkImagePath',
  ),
  /** Places the watermark in the published picture; 1. */
  setWaterRect: replied(
    'SetWaterrect',
    (rect: Rect) => checkRect('rect', rect),
    'SetPublishWaterMarkRect',
  ),
  /** Places the watermark in the preview; 1. */
  setPreviewWaterRect: replied(
    'SetPWaterrect',
    (rect: Rect) => checkRect('rect', rect),
    'SetPreviewWaterMarkRect',
  ),
  setEncodeResolution: replied('SetEncodeRect', size, 'SetVideoEncodeResolution'),
  setCaptureResolution: replied('SetCapRect', size, 'SetVideoCaptureResolution'),
  /** Asks for the greeting again; 0. */
  daemonStart: replied('DaemonStart'),
  init: written('Init'),
};

type Table = typeof COMMANDS;

/** The typed methods that `Bridge` has for the table's commands. */
export type CommandMethods = {
  [K in keyof Table]: (
    ...args: Parameters<Table[K]['param']>
  ) => Promise<Table[K]['reply'] extends string ? number : void>;
};

/** The reply type of each command that has a reply; the names differ for some. */
export const REPLY_TYPES: Readonly<Record<string, string>> = Object.fromEntries(
  Object.values(COMMANDS).flatMap((c: CommandSpec) =>
    c.reply === undefined ? [] : [[c.type, c.reply]],
  ),
);

/** The text of a command object, checked for what the bridge would refuse silently. */
export function serialize(command: unknown): string {
  if (typeof command !== 'object' || command === null || Array.isArray(command))
    throw invalidArgument(`a command must be an object, not ${describe(command)}`);
  const text = JSON.stringify(command);
  const bytes = Buffer.byteLength(text);
  if (bytes > MAX_COMMAND_BYTES)
    throw outOfRange(
      `a command text of ${bytes} bytes is longer than the bridge takes (${MAX_COMMAND_BYTES})`,
      'command-too-long',
    );
  return text;
}

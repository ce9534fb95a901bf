// Command objects for descriptor 3 and the checks on their arguments. Every argument is checked
// before anything is written: the bridge would truncate a number to 32 bits and drop a command
// whose member has the wrong kind, both without a word to the host.

/** The bridge drops a command text longer than this (it waits for the end of an object no
 * longer than this many bytes). */
export const MAX_COMMAND_BYTES = 16 * 1024;

/** The reply type of each command that has a reply; the names differ for some. */
export const REPLY_TYPES: Readonly<Record<string, string>> = {
  Login: 'Login',
  Logout: 'Logout',
  EnterRoom: 'EnterRoom',
  OpenCamera: 'OpenCamera',
  CloseCamera: 'CloseCamera',
  OpenMic: 'OpenMic',
  CloseMic: 'CloseMic',
  OpenSpeaker: 'OpenSpeaker',
  CloseSpeaker: 'CloseSpeaker',
  StartPreview: 'StartPreview',
  StopPreview: 'StopPreview',
  DaemonStart: 'DaemonStart',
  SetWaterpath: 'SetWaterMarkImagePath',
  SetWaterrect: 'SetPublishWaterMarkRect',
  SetPWaterrect: 'SetPreviewWaterMarkRect',
  SetEncodeRect: 'SetVideoEncodeResolution',
  SetCapRect: 'SetVideoCaptureResolution',
};

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

function describe(value: unknown): string {
  if (value === null) return 'null';
  if (Array.isArray(value)) return 'an array';
  return typeof value === 'string' ? 'a string' : `${typeof value} ${String(value)}`;
}

export function checkText(name: string, value: unknown): string {
  if (typeof value !== 'string')
    throw new TypeError(`${name} must be a string, not ${describe(value)}`);
  return value;
}

export function checkInt32(name: string, value: unknown): number {
  if (typeof value !== 'number')
    throw new TypeError(`${name} must be a number, not ${describe(value)}`);
  if (!Number.isInteger(value) || value < -2147483648 || value > 2147483647)
    throw new RangeError(`${name} must be a 32-bit integer, not ${value}`);
  return value;
}

export function checkRect(name: string, value: unknown): Rect {
  if (typeof value !== 'object' || value === null || Array.isArray(value))
    throw new TypeError(
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
    throw new TypeError(`streamIDs must be an array, not ${describe(value)}`);
  if (value.length > 4)
    throw new RangeError(`at most 4 streams can be viewed, not ${value.length}`);
  return value.map((id, i) => checkText(`streamIDs[${i}]`, id));
}

/** The text of a command object, checked for what the bridge would refuse silently. */
export function serialize(command: unknown): string {
  if (typeof command !== 'object' || command === null || Array.isArray(command))
    throw new TypeError(`a command must be an object, not ${describe(command)}`);
  const text = JSON.stringify(command);
  const bytes = Buffer.byteLength(text);
  if (bytes > MAX_COMMAND_BYTES)
    throw new RangeError(
      `a command text of ${bytes} bytes is longer than the bridge takes (${MAX_COMMAND_BYTES})`,
    );
  return text;
}

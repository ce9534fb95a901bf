// What the view says beside a transcript entry, so that a mistake or a failure stands out.
import { COMMANDS } from '../commands';
import { nearestName } from './session-script';

const COMMAND_TYPES = [...new Set(Object.values(COMMANDS).map((command) => command.type))];

// Replies whose success is code 0; every other reply tells success with 1 and failure with 0.
const SUCCESS_IS_ZERO = new Set(['EnterRoom', 'Logout', 'DaemonStart']);

// Events sent every few seconds for each stream: one line per stream and kind.
const REPEATED_EVENTS = new Set(['PublishQualityUpdate', 'PlayQualityUpdate']);

/** The mark of a command whose type the bridge does not know (it ignores it). */
export function commandMark(command: object): string | undefined {
  const type = (command as { type?: unknown }).type;
  if (typeof type !== 'string') return 'no "type": the bridge ignores it';
  if (COMMAND_TYPES.includes(type)) return undefined;
  return `unknown command: the bridge ignores it (did you mean ${nearestName(type, COMMAND_TYPES)}?)`;
}

/** The mark of a reply that tells of a failure. */
export function replyMark(reply: { type: string; code: number }): string | undefined {
  if (SUCCESS_IS_ZERO.has(reply.type)) {
    return reply.code === 0 ? undefined : `failed: the SDK's code ${reply.code}`;
  }
  return reply.code === 1 ? undefined : `failed (code ${reply.code}; 1 is success)`;
}

/** The fold of an event sent again and again (a stream's quality), or undefined. */
export function eventFold(event: { type: string; param?: unknown }): string | undefined {
  if (!REPEATED_EVENTS.has(event.type)) return undefined;
  const stream = (event.param as { StreamID?: unknown } | undefined)?.StreamID;
  return `${event.type} ${typeof stream === 'string' ? stream : ''}`;
}

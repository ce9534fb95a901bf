// Session scripts, the language of quorlane-host: one step per line, '#' starts a comment.
//   {"type":...}  or  send {...}      a command
//   control {...}                     a control request (needs `scripted` first)
//   wait reply NAME [code N] | wait event NAME | wait control OP | wait call NAME
//   wait frames CHANNEL COUNT         each optionally followed by `within DURATION`
//   pause DURATION, note TEXT, timeout DURATION (the default limit of later waits)
// A duration has its unit: 500ms, 2s, 1.5s. quorlane-host reads the same language and gives
// the same steps or the same error for every script (tests/scripts holds the cases both pass).

import { CHANNELS } from '../channels';
import { REPLY_TYPES } from '../commands';
import { EVENT_TYPES } from '../events';

export type Step =
  | {
      readonly line: number;
      readonly kind: 'send' | 'control';
      /** The line's JSON as written, and as parsed. */
      readonly text: string;
      readonly object: object;
    }
  | { readonly line: number; readonly kind: 'pause'; readonly ms: number }
  | { readonly line: number; readonly kind: 'note'; readonly text: string }
  | {
      readonly line: number;
      readonly kind: 'wait';
      readonly what: 'reply' | 'event' | 'control' | 'call';
      readonly name: string;
      readonly code?: number;
      readonly ms: number;
    }
  | {
      readonly line: number;
      readonly kind: 'frames';
      readonly channel: number;
      readonly count: number;
      readonly ms: number;
    };

export interface SessionScript {
  readonly scripted: boolean;
  readonly steps: readonly Step[];
}

/** The code of a script error: where the script is wrong, in the message ("line N: ..."). */
export type ScriptErrorCode = 'bad-script';

export class ScriptError extends Error {
  override name = 'ScriptError';
  readonly code: ScriptErrorCode = 'bad-script';
}

const REPLY_NAMES = [...new Set(Object.values(REPLY_TYPES))];
const EVENT_NAMES: readonly string[] = EVENT_TYPES;

/** The names a `wait reply` and a `wait event` may name. */
export const KNOWN_NAMES = { reply: REPLY_NAMES, event: EVENT_NAMES } as const;

/** Milliseconds of "250ms", "2s" or "1.5s"; undefined for anything else (a bare number too). */
export function parseDuration(text: string): number | undefined {
  const match = /^(\d+(?:\.\d+)?)(ms|s)$/.exec(text);
  if (!match) return undefined;
  const ms = Number(match[1]) * (match[2] === 's' ? 1000 : 1);
  return ms <= 86_400_000 ? Math.round(ms) : undefined;
}

function editDistance(a: string, b: string): number {
  let row = Array.from({ length: b.length + 1 }, (_, j) => j);
  for (let i = 1; i <= a.length; i++) {
    const next = [i];
    for (let j = 1; j <= b.length; j++)
      next[j] = Math.min(
        row[j]! + 1,
        next[j - 1]! + 1,
        row[j - 1]! + (a[i - 1] === b[j - 1] ? 0 : 1),
      );
    row = next;
  }
  return row[b.length]!;
}

/** The known name nearest to `name` (fewest edits; the first in byte order among equals). */
export function nearestName(name: string, known: readonly string[]): string {
  let best = '';
  let bestDistance = Infinity;
  for (const candidate of [...known].sort((a, b) => (a < b ? -1 : a > b ? 1 : 0))) {
    const distance = editDistance(name, candidate);
    if (distance < bestDistance) [best, bestDistance] = [candidate, distance];
  }
  return best;
}

/** A signed 32-bit integer written plainly ("7", "-1"); undefined for anything else. */
function parseInteger(text: string | undefined): number | undefined {
  if (text === undefined || !/^-?\d+$/.test(text)) return undefined;
  const value = Number(text);
  return value >= -2147483647 && value <= 2147483647 ? value : undefined;
}

// Spaces are the ASCII ones only, as quorlane-host takes them.
const trimSpace = (text: string): string => text.replace(/^[ \t\r\v\f]+|[ \t\r\v\f]+$/g, '');

/** The step as quorlane-host's transcript describes it: "wait reply Login code 1 within 3000ms". */
export function describeStep(step: Step): string {
  switch (step.kind) {
    case 'send':
    case 'control':
      return `${step.kind} ${step.text}`;
    case 'pause':
      return `pause ${step.ms}ms`;
    case 'note':
      return `note ${step.text}`;
    case 'frames':
      return `wait frames ${step.channel} ${step.count} within ${step.ms}ms`;
    case 'wait':
      return `wait ${step.what} ${step.name}${step.code === undefined ? '' : ` code ${step.code}`} within ${step.ms}ms`;
  }
}

export function parseSessionScript(text: string, defaultTimeoutMs = 10_000): SessionScript {
  const steps: Step[] = [];
  let scripted = false;
  let timeout = defaultTimeoutMs;
  // A byte-order mark (as some Windows editors write) is no part of the first line.
  text
    .replace(/^\ufeff/, '')
    .split('\n')
    .forEach((raw, index) => {
      const line = index + 1;
      const trimmed = trimSpace(raw);
      if (trimmed === '' || trimmed.startsWith('#')) return;
      const fail = (what: string): never => {
        throw new ScriptError(`line ${line}: ${what}`);
      };
      const duration = (value: string): number =>
        parseDuration(value) ??
        fail(
          /^\d+(\.\d+)?$/.test(value)
            ? `duration '${value}' needs a unit (${value}s or ${value}ms)`
            : `bad duration '${value}'`,
        );
      const object = (json: string): object => {
        let value: unknown;
        try {
          value = JSON.parse(json);
        } catch {
          return fail(`not JSON: ${json}`);
        }
        if (typeof value !== 'object' || value === null || Array.isArray(value))
          fail('expected a JSON object');
        return value as object;
      };
      if (trimmed.startsWith('{')) {
        steps.push({ line, kind: 'send', text: trimmed, object: object(trimmed) });
        return;
      }
      const keyword = trimmed.split(/[ \t]/, 1)[0]!;
      const rest = trimSpace(trimmed.slice(keyword.length));
      switch (keyword) {
        case 'send':
        case 'control': {
          const parsed = object(rest);
          if (keyword === 'control' && !scripted)
            fail('control needs `scripted` at the top of the script');
          steps.push({ line, kind: keyword, text: rest, object: parsed });
          return;
        }
        case 'scripted':
          if (steps.length > 0) fail('`scripted` must come before every step');
          scripted = true;
          return;
        case 'timeout':
          timeout = duration(rest);
          return;
        case 'pause':
          steps.push({ line, kind: 'pause', ms: duration(rest) });
          return;
        case 'note':
          steps.push({ line, kind: 'note', text: rest });
          return;
        case 'wait':
          steps.push(parseWait(rest, line, timeout, scripted, fail, duration));
          return;
        default:
          fail(`unknown step '${keyword}'`);
      }
    });
  return { scripted, steps };
}

function parseWait(
  rest: string,
  line: number,
  timeout: number,
  scripted: boolean,
  fail: (what: string) => never,
  duration: (value: string) => number,
): Step {
  const words = rest.split(/[ \t\r\v\f]+/).filter((word) => word !== '');
  let ms = timeout;
  // A trailing "within DURATION" overrides the default limit.
  if (words.length >= 2 && words[words.length - 2] === 'within') {
    ms = duration(words.pop()!);
    words.pop();
  }
  if (words.length === 0) fail('wait for what? (reply, event, frames, control, call)');
  const [what, ...args] = words as [string, ...string[]];
  if (what === 'frames') {
    const channel = parseInteger(args[0]);
    const count = parseInteger(args[1]);
    if (args.length !== 2 || channel === undefined || count === undefined)
      return fail('expected: wait frames CHANNEL COUNT [within DURATION]');
    if (channel < 0 || channel >= CHANNELS) fail(`channel must be 0 to ${CHANNELS - 1}`);
    if (count < 1) fail('frame count must be at least 1');
    return { line, kind: 'frames', channel, count, ms };
  }
  if (what !== 'reply' && what !== 'event' && what !== 'control' && what !== 'call')
    return fail(`unknown wait '${what}' (reply, event, frames, control, call)`);
  const [name, codeWord, codeText] = args;
  if (name === undefined) return fail(`wait ${what} needs a name`);
  let code: number | undefined;
  if (what === 'reply' && args.length === 3 && codeWord === 'code') {
    code = parseInteger(codeText);
    if (code === undefined) fail(`bad code '${codeText}'`);
  } else if (args.length !== 1) {
    fail(`expected: wait ${what} NAME${what === 'reply' ? ' [code N]' : ''} [within DURATION]`);
  }
  if ((what === 'control' || what === 'call') && !scripted)
    fail(`wait ${what} needs \`scripted\` at the top of the script`);
  if (what === 'reply' || what === 'event') {
    const known = KNOWN_NAMES[what];
    if (!known.includes(name))
      fail(`unknown ${what} '${name}' (did you mean ${nearestName(name, known)}?)`);
  }
  return code === undefined
    ? { line, kind: 'wait', what, name, ms }
    : { line, kind: 'wait', what, name, code, ms };
}

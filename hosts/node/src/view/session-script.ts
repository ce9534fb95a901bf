// Session scripts, the language of quorlane-host: one step per line, '#' starts a comment.
//   {"type":...}  or  send {...}      a command
//   control {...}                     a control request (needs `scripted` first)
//   wait reply NAME [code N] | wait event NAME | wait control OP | wait call NAME
//   wait frames CHANNEL COUNT         each optionally followed by `within DURATION`
//   pause DURATION, note TEXT, timeout DURATION (the default limit of later waits)

import { CHANNELS } from '../channels';

export type Step =
  | { readonly line: number; readonly kind: 'send' | 'control'; readonly object: object }
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

/** Milliseconds of "250ms", "2s", "1.5s" or a bare number of milliseconds; undefined if bad. */
export function parseDuration(text: string): number | undefined {
  const match = /^(\d+(?:\.\d+)?)(ms|s)?$/.exec(text);
  if (!match) return undefined;
  const ms = Number(match[1]) * (match[2] === 's' ? 1000 : 1);
  return ms <= 86_400_000 ? Math.round(ms) : undefined;
}

export class ScriptError extends Error {
  override name = 'ScriptError';
}

function parseObject(text: string, line: number): object {
  let value: unknown;
  try {
    value = JSON.parse(text);
  } catch {
    throw new ScriptError(`line ${line}: not JSON: ${text}`);
  }
  if (typeof value !== 'object' || value === null || Array.isArray(value)) {
    throw new ScriptError(`line ${line}: expected a JSON object`);
  }
  return value;
}

export function parseSessionScript(text: string, defaultTimeoutMs = 10_000): SessionScript {
  const steps: Step[] = [];
  let scripted = false;
  let timeout = defaultTimeoutMs;
  text.split(/\r?\n/).forEach((raw, index) => {
    const line = index + 1;
    const trimmed = raw.trim();
    if (trimmed === '' || trimmed.startsWith('#')) return;
    const fail = (what: string): never => {
      throw new ScriptError(`line ${line}: ${what}`);
    };
    const duration = (value: string): number =>
      parseDuration(value) ?? fail(`bad duration '${value}'`);
    if (trimmed.startsWith('{')) {
      steps.push({ line, kind: 'send', object: parseObject(trimmed, line) });
      return;
    }
    const keyword = trimmed.split(/\s+/, 1)[0]!;
    const rest = trimmed.slice(keyword.length).trim();
    switch (keyword) {
      case 'send':
      case 'control':
        if (keyword === 'control' && !scripted)
          fail('control needs `scripted` at the top of the script');
        steps.push({ line, kind: keyword, object: parseObject(rest, line) });
        return;
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
        steps.push(parseWait(rest.split(/\s+/), line, timeout, scripted, fail, duration));
        return;
      default:
        fail(`unknown step '${keyword}'`);
    }
  });
  return { scripted, steps };
}

function parseWait(
  words: string[],
  line: number,
  timeout: number,
  scripted: boolean,
  fail: (what: string) => never,
  duration: (value: string) => number,
): Step {
  let ms = timeout;
  if (words.length >= 2 && words[words.length - 2] === 'within') {
    ms = duration(words.pop()!);
    words.pop();
  }
  const [what, ...args] = words;
  if (what === 'frames') {
    const [channel, count] = args.map(Number);
    if (args.length !== 2 || !Number.isInteger(channel) || !Number.isInteger(count)) {
      fail('expected: wait frames CHANNEL COUNT [within DURATION]');
    }
    if (channel! < 0 || channel! >= CHANNELS) fail(`channel must be 0 to ${CHANNELS - 1}`);
    if (count! < 1) fail('frame count must be at least 1');
    return { line, kind: 'frames', channel: channel!, count: count!, ms };
  }
  if (what !== 'reply' && what !== 'event' && what !== 'control' && what !== 'call') {
    return fail(`unknown wait '${what ?? ''}' (reply, event, frames, control, call)`);
  }
  if ((what === 'control' || what === 'call') && !scripted) {
    fail(`wait ${what} needs \`scripted\` at the top of the script`);
  }
  const [name, codeWord, codeText] = args;
  if (name === undefined) fail(`wait ${what} needs a name`);
  if (what === 'reply' && args.length === 3 && codeWord === 'code') {
    const code = Number(codeText);
    if (!Number.isInteger(code)) fail(`bad code '${codeText}'`);
    return { line, kind: 'wait', what, name: name!, code, ms };
  }
  if (args.length !== 1)
    fail(`expected: wait ${what} NAME${what === 'reply' ? ' [code N]' : ''} [within DURATION]`);
  return { line, kind: 'wait', what, name: name!, ms };
}

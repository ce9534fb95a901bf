import type { Bridge } from '../bridge';
import { CHANNELS } from '../channels';
import type { SimRequest } from '../sim-control';
import type { SessionScript, Step } from './session-script';
import type { Transcript } from './transcript';

// Replies, events and records that no wait has taken, kept for the waits still to come.
const MAX_UNCLAIMED = 1000;

type WaitStep = Extract<Step, { kind: 'wait' }>;

interface Received {
  readonly what: WaitStep['what'];
  readonly name: string;
  readonly code?: number;
}

export interface SessionHost {
  readonly bridge: Bridge;
  readonly transcript: Transcript;
  send(command: object): Promise<void>;
}

/**
 * Runs a session script against the view's bridge. A wait takes the first unclaimed reply, event,
 * control answer or call record of its name, arrived before or during the wait; frames are
 * counted per channel from the start. Resolves with true when every step passed; a failed wait
 * goes into the transcript and ends the run with false.
 */
export async function runSession(script: SessionScript, host: SessionHost): Promise<boolean> {
  const { bridge, transcript } = host;
  // Bridge.start resolved on the greeting, so it has arrived before any step runs.
  const pending: Received[] = [{ what: 'reply', name: 'DaemonStart', code: 0 }];
  const frames = new Array<number>(CHANNELS).fill(0);
  const claimed = new Array<number>(CHANNELS).fill(0);
  let changed: () => void = () => {};
  const arrive = (item?: Received): void => {
    if (item) pending.push(item);
    if (pending.length > MAX_UNCLAIMED) pending.shift();
    changed();
  };
  const onReply = (reply: { type: string; code: number }): void =>
    arrive({ what: 'reply', name: reply.type, code: reply.code });
  const onEvent = (event: { type: string }): void => arrive({ what: 'event', name: event.type });
  const onFrame = (frame: { channel: number }): void => {
    frames[frame.channel]!++;
    arrive();
  };
  const onCall = (record: { call: string }): void => arrive({ what: 'call', name: record.call });
  bridge.on('reply', onReply);
  bridge.on('event', onEvent);
  bridge.on('frame', onFrame);
  if (script.scripted) bridge.sim.on('call', onCall);

  const waitUntil = (done: () => boolean, ms: number): Promise<boolean> =>
    new Promise((resolve) => {
      if (done()) return resolve(true);
      const timer = setTimeout(() => finish(false), ms);
      const finish = (result: boolean): void => {
        clearTimeout(timer);
        changed = () => {};
        resolve(result);
      };
      changed = () => {
        if (done()) finish(true);
      };
    });

  const fail = (step: Step, text: string): false => {
    transcript.add('failure', `line ${step.line}: ${text}`);
    return false;
  };

  try {
    for (const step of script.steps) {
      switch (step.kind) {
        case 'send':
          await host.send(step.object);
          break;
        case 'control': {
          transcript.add('control', JSON.stringify(step.object));
          const answer = await bridge.sim.request(step.object as SimRequest);
          if (answer) {
            transcript.add('control', JSON.stringify(answer));
            arrive({ what: 'control', name: answer.op });
          }
          break;
        }
        case 'pause':
          await new Promise((resolve) => setTimeout(resolve, step.ms));
          break;
        case 'note':
          transcript.add('note', step.text);
          break;
        case 'frames': {
          const enough = (): boolean =>
            frames[step.channel]! - claimed[step.channel]! >= step.count;
          if (!(await waitUntil(enough, step.ms))) {
            return fail(
              step,
              `timed out: ${step.count} frames on channel ${step.channel} within ${step.ms}ms`,
            );
          }
          claimed[step.channel]! += step.count;
          break;
        }
        case 'wait': {
          let index = -1;
          const found = (): boolean => {
            index = pending.findIndex((item) => item.what === step.what && item.name === step.name);
            return index >= 0;
          };
          if (!(await waitUntil(found, step.ms))) {
            return fail(step, `timed out: ${step.what} ${step.name} within ${step.ms}ms`);
          }
          const [item] = pending.splice(index, 1);
          if (step.code !== undefined && item!.code !== step.code) {
            return fail(
              step,
              `reply ${step.name} came with code ${item!.code}, expected ${step.code}`,
            );
          }
          break;
        }
      }
    }
    transcript.add('note', 'session script done');
    return true;
  } catch (error) {
    transcript.add('failure', `session script stopped: ${(error as Error).message}`);
    return false;
  } finally {
    bridge.off('reply', onReply);
    bridge.off('event', onEvent);
    bridge.off('frame', onFrame);
    if (script.scripted) bridge.sim.off('call', onCall);
  }
}

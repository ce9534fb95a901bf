// The calls waiting for a reply, one queue per reply type, answered in the order they were made.
// A call whose reply is late is rejected with 'no-reply' but keeps its place, so the late reply
// is taken by it and never answers a later call.
import { NoReplyError } from './errors';
import type { LogEntry } from './log-lines';

export interface Waiter {
  /** The reply arrived (also after the call was given up): its code. */
  replied(code: number): void;
  resolve(code: number): void;
  reject(error: Error): void;
  /** The last failure the bridge logged since the call was made, if any. */
  lastError(): LogEntry | undefined;
}

interface Entry {
  waiter: Waiter;
  timer: NodeJS.Timeout | undefined;
  settled: boolean;
}

export class ReplyWaiters {
  private readonly queues = new Map<string, Entry[]>();

  constructor(
    /** Milliseconds to wait for a reply; 0: without limit. */
    private readonly limit: number,
  ) {}

  /** Queues a call for a reply of `replyType`; returns a function that removes it again (for a
   * command that could not be written). */
  add(replyType: string, waiter: Waiter): () => void {
    const entry: Entry = { waiter, timer: undefined, settled: false };
    if (this.limit > 0) {
      entry.timer = setTimeout(() => {
        entry.settled = true;
        waiter.reject(new NoReplyError(replyType, this.limit, waiter.lastError()));
      }, this.limit);
    }
    const queue = this.queues.get(replyType);
    if (queue === undefined) this.queues.set(replyType, [entry]);
    else queue.push(entry);
    return () => {
      const q = this.queues.get(replyType) ?? [];
      const at = q.indexOf(entry);
      if (at >= 0) q.splice(at, 1);
      clearTimeout(entry.timer);
    };
  }

  /** A reply arrived: the oldest call waiting for it takes it. False when none waited. */
  answer(replyType: string, code: number): boolean {
    const entry = this.queues.get(replyType)?.shift();
    if (entry === undefined) return false;
    clearTimeout(entry.timer);
    entry.waiter.replied(code);
    if (!entry.settled) {
      entry.settled = true;
      entry.waiter.resolve(code);
    }
    return true;
  }

  /** Every call still waiting fails with `error(call)`; the queues are emptied. */
  failAll(error: (waiter: Waiter) => Error): void {
    for (const queue of this.queues.values())
      for (const entry of queue.splice(0)) {
        clearTimeout(entry.timer);
        if (!entry.settled) {
          entry.settled = true;
          entry.waiter.reject(error(entry.waiter));
        }
      }
  }
}

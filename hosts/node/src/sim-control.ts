// The simulated SDK's control channel (scripted mode): requests out, one JSON object per line;
// answers and call records back, one per line. The channel carries out requests in order and
// answers in order, so answers are matched to requests first in, first out. A request that has
// no answer of its own is followed by a sync, so that every request settles, and settles with the
// channel's error when it was refused.
import { EventEmitter } from 'node:events';
import { Readable, Writable } from 'node:stream';
import { AsyncQueue, QueueOptions } from './async-queue';
import { BridgeExitError, invalidArgument } from './errors';
import { LineSplitter } from './line-splitter';

/** A record of one SDK call, in call order: {"call":"LoginRoom","args":["r1",1,"Room One"],"result":true}. */
export interface CallRecord {
  call: string;
  args: unknown[];
  result?: unknown;
}

export interface SimAnswer {
  op: string;
  [member: string]: unknown;
}

export interface SimRequest {
  op: string;
  [member: string]: unknown;
}

export interface FrameRequest {
  stream?: string | null;
  width: number;
  height: number;
  pattern?: 'bars' | 'solid' | 'moving';
  color?: string;
  stride?: number;
  pixels?: null;
  count?: number;
}

export interface SourceRequest {
  stream?: string | null;
  width?: number;
  height?: number;
  fps?: number;
  pattern?: 'bars' | 'solid' | 'moving';
  color?: string;
}

/** The control channel refused a request. */
export class SimRequestError extends Error {
  readonly code = 'sim-refused';
  constructor(
    message: string,
    readonly request: SimRequest,
  ) {
    super(message);
    this.name = 'SimRequestError';
  }
}

interface Pending {
  request: SimRequest;
  resolve(answer: SimAnswer | undefined): void;
  reject(error: Error): void;
  /** Settled by the sync that follows it rather than an answer of its own. */
  silent: boolean;
  refused: boolean;
}

const MAX_QUEUED_CALLS = 10_000;

const ANSWERED = new Set(['emit', 'frame', 'audio', 'sync']);

export interface SimEvents {
  call: [CallRecord];
  answer: [SimAnswer];
  /** A line on the control channel that is not a JSON object. */
  lineError: [string];
}

export class SimControl extends EventEmitter<SimEvents> {
  private readonly pending: Pending[] = [];
  private readonly callQueues = new Set<AsyncQueue<CallRecord>>();
  private syncId = 0;
  private failure: Error | undefined;

  private input: Writable | undefined;
  private detachOutput: (() => void) | undefined;

  /** @internal Connects the channel to a bridge's descriptors (again, after a restart). */
  attach(input: Writable, output: Readable): void {
    this.input = input;
    const lines = new LineSplitter((line) => this.onLine(line));
    const onData = (chunk: Buffer) => lines.feed(chunk);
    const onEnd = () => lines.end();
    output.on('data', onData);
    output.on('end', onEnd);
    this.detachOutput = () => {
      output.off('data', onData);
      output.off('end', onEnd);
    };
  }

  /** @internal The bridge ended and another takes its place: the requests in flight fail with
   * `error`; listeners and `calls()` iterators stay for the next bridge. */
  detach(error: Error): void {
    this.detachOutput?.();
    this.detachOutput = undefined;
    this.input = undefined;
    for (const p of this.pending.splice(0)) p.reject(error);
  }

  /** Sends one request; resolves with its answer, or with undefined for a request that has none
   * once the channel has carried it out. Rejects when the channel refuses it. */
  request(request: SimRequest): Promise<SimAnswer | undefined> {
    if (typeof request !== 'object' || request === null || typeof request.op !== 'string')
      return Promise.reject(
        invalidArgument('a control request must be an object with a string "op"'),
      );
    if (this.failure !== undefined) return Promise.reject(this.failure);
    const input = this.input;
    if (input === undefined)
      return Promise.reject(
        new BridgeExitError('the bridge is being restarted', undefined, 'restarted'),
      );
    let text = JSON.stringify(request) + '\n';
    const silent = !ANSWERED.has(request.op);
    if (silent) text += JSON.stringify({ op: 'sync', id: `quorlane-${++this.syncId}` }) + '\n';
    return new Promise((resolve, reject) => {
      this.pending.push({ request, resolve, reject, silent, refused: false });
      input.write(text);
    });
  }

  /** Resolves once every earlier request has been carried out and its notifications returned. */
  async sync(): Promise<void> {
    await this.request({ op: 'sync', id: ++this.syncId });
  }

  /** Invokes an SDK notification (the request "emit", named as in the SDK, e.g. 'OnKickOut');
   * resolves with whether its callback object was registered and so received it. */
  async notify(cb: string, args: Record<string, unknown> = {}): Promise<boolean> {
    const answer = await this.request({ op: 'emit', cb, args });
    return answer?.delivered === true;
  }

  /** Delivers frames to the render callback; resolves with the number delivered. */
  async frame(frame: FrameRequest): Promise<number> {
    const answer = await this.request({ op: 'frame', ...frame });
    return Number(answer?.delivered ?? 0);
  }

  /** Makes an SDK function return `value` from now on; without it, the default again. */
  async result(fn: string, value?: boolean | number): Promise<void> {
    await this.request(value === undefined ? { op: 'result', fn } : { op: 'result', fn, value });
  }

  /** Starts (or replaces) a periodic frame source for a stream. */
  async source(source: SourceRequest): Promise<void> {
    await this.request({ op: 'source', ...source });
  }

  async stopSource(stream: string | null): Promise<void> {
    await this.request({ op: 'source', stream, stop: true });
  }

  /** The SDK call records from now on. Ends when the bridge ends. A consumer that falls behind
   * by more than `limit` records (default 10000) loses the oldest; `skipped` counts them. */
  calls(options: QueueOptions<CallRecord> = {}): AsyncQueue<CallRecord> {
    const queue = new AsyncQueue<CallRecord>({ limit: MAX_QUEUED_CALLS, ...options }, () =>
      this.callQueues.delete(queue),
    );
    if (this.failure !== undefined) queue.end();
    else this.callQueues.add(queue);
    return queue;
  }

  /** @internal The bridge has ended for good: everything waiting fails with `error`. */
  fail(error: Error): void {
    if (this.failure !== undefined) return;
    this.failure = error;
    this.detachOutput?.();
    this.input = undefined;
    for (const p of this.pending.splice(0)) p.reject(error);
    for (const q of this.callQueues) q.end();
    this.callQueues.clear();
  }

  private onLine(line: string): void {
    if (line.trim() === '') return;
    let value: unknown;
    try {
      value = JSON.parse(line);
    } catch {
      this.emit('lineError', line);
      return;
    }
    const record = value as Record<string, unknown>;
    if (typeof record !== 'object' || record === null) {
      this.emit('lineError', line);
    } else if (typeof record.call === 'string') {
      const call = record as unknown as CallRecord;
      for (const q of this.callQueues) q.push(call);
      this.emit('call', call);
    } else if (typeof record.op === 'string') {
      this.onAnswer(record as SimAnswer);
      this.emit('answer', record as SimAnswer);
    } else {
      this.emit('lineError', line);
    }
  }

  private onAnswer(answer: SimAnswer): void {
    const head = this.pending[0];
    if (head === undefined) return;
    const refusal =
      answer.op === 'error' ? new SimRequestError(String(answer.message), head.request) : undefined;
    if (head.silent && answer.op !== 'synced') {
      // The refusal of a request without an answer; its sync follows and settles the entry.
      if (refusal !== undefined && !head.refused) {
        head.refused = true;
        head.reject(refusal);
      }
      return;
    }
    this.pending.shift();
    if (head.refused) return;
    if (refusal !== undefined) head.reject(refusal);
    else head.resolve(head.silent ? undefined : answer);
  }
}

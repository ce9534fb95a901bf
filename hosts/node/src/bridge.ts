// Starts the bridge as a child process with its descriptors 3 to 9 (and 10, 11 in scripted mode)
// connected to this process, and speaks its protocol: typed commands with their replies matched
// in order, typed events, frames per channel, and the simulated SDK's control channel. Every
// output of the child (descriptors 1, 2, 4 to 9, 11) is read all the time, whatever the host's
// listeners do, so the bridge never waits on a full pipe.
import { ChildProcess, spawn, StdioOptions } from 'node:child_process';
import { EventEmitter } from 'node:events';
import { existsSync } from 'node:fs';
import { Readable, Writable } from 'node:stream';
import type { AsyncQueue } from './async-queue';
import { CHANNELS } from './channels';
import { startFolders } from './data-folder';
import {
  checkInt32,
  CommandMethods,
  COMMANDS,
  CommandSpec,
  REPLY_TYPES,
  serialize,
} from './commands';
import { BridgeExitError, outOfRange } from './errors';
import { BridgeEvent, EventParams, EventType, isEventType, ProtocolError, Reply } from './events';
import { ChannelCounters, Frame, FrameAssembler, FrameError } from './frames';
import { FrameStreams } from './frame-streams';
import { LineSplitter } from './line-splitter';
import { MessageReader } from './message-reader';
import { chooseExecutable, type SdkBuild } from './prebuilt-bridge';
import { SimControl } from './sim-control';
import { vendorEnvironment, type VendorSettings } from './vendor-environment';

export interface BridgeOptions extends VendorSettings {
  /** Path of the bridge executable; default: the environment variable QUORLANE_EXECUTABLE, else
   * the prebuilt bridge of the installed platform package that `sdk` picks. */
  executable?: string;
  /** The prebuilt build to start when no executable is given: 'vendor' (the vendor's SDK, on
   * Windows) or 'sim' (the simulated SDK); default: 'vendor' where there is one. */
  sdk?: SdkBuild;
  /** Arguments for the executable (the bridge takes none; for a wrapper or an interpreter). */
  args?: string[];
  /** Working folder of the bridge: its `config.cfg` is read and its `log/` written there;
   * default: a per-user folder (see `defaultDataFolder()`), created when missing. */
  cwd?: string;
  /** Variables added to this process's environment for the bridge. */
  env?: NodeJS.ProcessEnv;
  /** Start the simulated SDK in scripted mode, with its control channel as `bridge.sim`. */
  scripted?: boolean;
  /** Milliseconds to wait for the bridge's greeting (default 10000). */
  timeout?: number;
  /** Milliseconds `close()` gives the bridge to end by itself once its pipes are closed (and,
   * on POSIX, SIGTERM is sent) before it kills it (default 3000). */
  killGrace?: number;
  /** Lines of the bridge's standard error kept for error messages (default 20). */
  stderrLines?: number;
}

export interface ExitInfo {
  code: number | null;
  signal: NodeJS.Signals | null;
  /** True when `close()` ended the bridge. */
  closed: boolean;
  /** The last lines of the bridge's standard error. */
  stderr: string[];
}

export interface FrameStreamOptions {
  /** Only this channel (0 to 4); every channel when absent. */
  channel?: number;
  /** Keep only the newest frame for a consumer slower than the stream. */
  latestOnly?: boolean;
  /** Frames kept for a slow consumer before the oldest are skipped (default 64). */
  maxQueued?: number;
}

export type ChannelEvents = { frame: [Frame]; frameError: [FrameError] };

/** One frame channel: its events and counters. */
export class FrameChannel extends EventEmitter<ChannelEvents> {
  /** @internal */
  constructor(
    readonly index: number,
    private readonly assembler: () => FrameAssembler,
  ) {
    super();
  }
  get counters(): Readonly<ChannelCounters> {
    return { ...this.assembler().counters };
  }
}

export type BridgeEvents = { [T in EventType]: [EventParams[T]] } & {
  /** Every reply, matched to a call or not (the greeting included). */
  reply: [Reply];
  /** Every event, as it arrived. */
  event: [BridgeEvent];
  protocolError: [ProtocolError];
  frame: [Frame];
  frameError: [FrameError];
  stdout: [string];
  stderr: [string];
  exit: [ExitInfo];
};

interface Waiter {
  resolve(code: number): void;
  reject(error: Error): void;
}

const live = new Set<ChildProcess>();
let exitHookInstalled = false;

// A bridge that outlived its host would keep running with nobody reading its pipes.
function endWithHost(child: ChildProcess): void {
  live.add(child);
  if (!exitHookInstalled) {
    exitHookInstalled = true;
    process.on('exit', () => {
      for (const c of live) c.kill('SIGTERM');
    });
  }
}

function tailText(lines: string[]): string {
  return lines.length === 0 ? '' : `; last lines of its standard error:\n  ${lines.join('\n  ')}`;
}

// The typed command methods, made from the command table in the class's static block.
export interface Bridge extends CommandMethods {}

export class Bridge extends EventEmitter<BridgeEvents> {
  static {
    for (const [name, spec] of Object.entries(COMMANDS) as Array<[string, CommandSpec<unknown[]>]>)
      Object.defineProperty(Bridge.prototype, name, {
        value(this: Bridge, ...args: unknown[]) {
          return this.run(spec, args);
        },
        writable: true,
        configurable: true,
      });
  }

  readonly channels: readonly FrameChannel[];
  private readonly child: ChildProcess;
  private readonly commands: Writable;
  private readonly assemblers: FrameAssembler[] = [];
  private readonly simControl: SimControl | undefined;
  private readonly waiters = new Map<string, Waiter[]>();
  private readonly frameStreams = new FrameStreams();
  // The reading ends of descriptors 4 to 9, closed by close().
  private readonly hostReads: Readable[] = [];
  private readonly stderrTail: string[] = [];
  private readonly started: Promise<Bridge>;
  private readonly exited: Promise<ExitInfo>;
  private settleStart!: (error?: Error) => void;
  private markExited!: (exit: ExitInfo) => void;
  private greeted = false;
  private closeRequested = false;
  private closing: Promise<void> | undefined;
  private failure: BridgeExitError | undefined;
  private exitInfo: ExitInfo | undefined;

  /** Starts the bridge and resolves once its greeting { "code": 0, "type": "DaemonStart" }
   * has arrived. */
  static start(options: BridgeOptions = {}): Promise<Bridge> {
    try {
      const executable = chooseExecutable(options);
      return new Bridge(executable, { ...options, ...startFolders(options) }).started;
    } catch (e) {
      return Promise.reject(e);
    }
  }

  private constructor(
    readonly executable: string,
    private readonly options: BridgeOptions,
  ) {
    super();
    this.started = new Promise<Bridge>((resolve, reject) => {
      this.settleStart = (error) => (error === undefined ? resolve(this) : reject(error));
    });
    this.exited = new Promise((resolve) => (this.markExited = resolve));
    const scripted = options.scripted === true;
    const stdio: StdioOptions = ['ignore', ...new Array<'pipe'>(scripted ? 11 : 9).fill('pipe')];
    const env = { ...process.env, ...options.env, ...vendorEnvironment(options) };
    if (scripted) env.QUORLANE_SIM_CONTROL = '10,11';
    this.child = spawn(executable, options.args ?? [], {
      cwd: options.cwd,
      env,
      stdio,
      // On POSIX a process group of its own: a Ctrl-C in the terminal signals the whole
      // foreground group, and would end the bridge at once instead of through close(). A host
      // that dies leaves its pipes closed, and the bridge ends by itself.
      detached: process.platform !== 'win32',
      windowsHide: true,
    });
    const pipe = (fd: number) => {
      const stream = this.child.stdio[fd] as Readable & Writable;
      stream.on('error', () => {}); // the bridge's end closing shows up as its exit
      return stream;
    };

    const maxTail = options.stderrLines ?? 20;
    const stdout = new LineSplitter((line) => this.emit('stdout', line));
    const stderr = new LineSplitter((line) => {
      this.stderrTail.push(line);
      if (this.stderrTail.length > maxTail) this.stderrTail.shift();
      this.emit('stderr', line);
    });
    this.readAll(
      pipe(1),
      (c) => stdout.feed(c),
      () => stdout.end(),
    );
    this.readAll(
      pipe(2),
      (c) => stderr.feed(c),
      () => stderr.end(),
    );
    this.commands = pipe(3);
    const messages = new MessageReader({
      reply: (reply) => this.onReply(reply),
      event: (event) => this.onEvent(event),
      protocolError: (error) => this.emit('protocolError', error),
    });
    const replies = pipe(4);
    this.hostReads.push(replies);
    this.readAll(
      replies,
      (c) => messages.feed(c),
      () => messages.end(),
    );
    const channels: FrameChannel[] = [];
    for (let index = 0; index < CHANNELS; index++) {
      const channel = new FrameChannel(index, () => this.assemblers[index]);
      const assembler = new FrameAssembler(
        index,
        (frame) => this.onFrame(channel, frame),
        (error) => {
          channel.emit('frameError', error);
          this.emit('frameError', error);
        },
      );
      this.assemblers.push(assembler);
      channels.push(channel);
      const frames = pipe(5 + index);
      this.hostReads.push(frames);
      this.readAll(
        frames,
        (c) => assembler.feed(c),
        () => assembler.end(),
      );
    }
    this.channels = channels;
    this.simControl = scripted ? new SimControl(pipe(10), pipe(11)) : undefined;

    this.child.on('error', (error: NodeJS.ErrnoException) => {
      if (this.child.pid === undefined) this.finish(null, null, this.spawnError(error));
    });
    this.child.on('close', (code, signal) => this.finish(code, signal));
    if (this.child.pid !== undefined) endWithHost(this.child);

    const timeout = options.timeout ?? 10000;
    const timer = setTimeout(() => {
      if (this.greeted || this.exitInfo !== undefined) return;
      this.settleStart(
        new BridgeExitError(
          `the bridge sent no greeting within ${timeout} ms${tailText(this.stderrTail)}`,
          undefined,
          'no-greeting',
        ),
      );
      void this.close();
    }, timeout);
    void this.started.then(
      () => clearTimeout(timer),
      () => clearTimeout(timer),
    );
  }

  /** The simulated SDK's control channel; only with `scripted: true`. */
  get sim(): SimControl {
    if (this.simControl === undefined)
      throw Object.assign(new Error('the bridge was not started with scripted: true'), {
        code: 'not-scripted' as const,
      });
    return this.simControl;
  }

  /** The bridge's working folder: `cwd` as given, else the per-user default. */
  get cwd(): string {
    return this.options.cwd!;
  }

  /** The process ID of the bridge. */
  get pid(): number | undefined {
    return this.child.pid;
  }

  /** Set once the bridge has ended. */
  get exit(): ExitInfo | undefined {
    return this.exitInfo;
  }

  /** Ends the bridge and resolves once it is gone: ends its command pipe and stops reading its
   * replies, events and frames, so that it leaves the room and exits by itself (on POSIX it is
   * sent SIGTERM as well, which ends it the same way), and kills it after `killGrace`. Pending
   * calls fail. Calling it again returns the same promise. */
  close(): Promise<void> {
    if (this.closing === undefined) {
      this.closeRequested = true;
      const grace = this.options.killGrace ?? 3000;
      let timer: NodeJS.Timeout | undefined;
      if (this.exitInfo === undefined) {
        this.closePipes();
        if (process.platform !== 'win32') this.child.kill('SIGTERM');
        timer = setTimeout(() => this.child.kill('SIGKILL'), grace);
      }
      this.closing = this.exited.then(() => clearTimeout(timer));
    }
    return this.closing;
  }

  /** Frames as an async iterator; it ends when the bridge ends or the loop is left. */
  frames(options: FrameStreamOptions = {}): AsyncQueue<Frame> {
    if (options.channel !== undefined) {
      checkInt32('channel', options.channel);
      if (options.channel < 0 || options.channel >= CHANNELS)
        throw outOfRange(`channel must be 0 to ${CHANNELS - 1}, not ${options.channel}`);
    }
    const limit = options.latestOnly === true ? 1 : (options.maxQueued ?? 64);
    return this.frameStreams.open(options.channel, limit);
  }

  /** Writes any command object as it is; resolves once written. Its reply, if any, arrives as a
   * 'reply' event (and is kept from the typed calls waiting for a reply of that type). */
  send(command: object): Promise<void> {
    let text: string;
    try {
      text = serialize(command);
    } catch (e) {
      return Promise.reject(e);
    }
    const unavailable = this.unavailable();
    if (unavailable !== undefined) return Promise.reject(unavailable);
    const type = (command as { type?: unknown }).type;
    const replyType = typeof type === 'string' ? REPLY_TYPES[type] : undefined;
    if (replyType !== undefined) this.enqueue(replyType, { resolve() {}, reject() {} });
    return this.write(text);
  }

  // A command of the table: its arguments checked, then written, and with a reply, matched to it.
  private run(spec: CommandSpec<unknown[]>, args: unknown[]): Promise<number | void> {
    let text: string;
    try {
      const param = spec.param(...args);
      text = serialize(param === undefined ? { type: spec.type } : { type: spec.type, param });
    } catch (e) {
      return Promise.reject(e);
    }
    const unavailable = this.unavailable();
    if (unavailable !== undefined) return Promise.reject(unavailable);
    const replyType = spec.reply;
    if (replyType === undefined) return this.write(text);
    return new Promise<number>((resolve, reject) => {
      const waiter = { resolve, reject };
      this.enqueue(replyType, waiter);
      this.write(text).catch((error: Error) => {
        const queue = this.waiters.get(replyType) ?? [];
        const at = queue.indexOf(waiter);
        if (at >= 0) queue.splice(at, 1);
        reject(error);
      });
    });
  }

  private enqueue(replyType: string, waiter: Waiter): void {
    const queue = this.waiters.get(replyType);
    if (queue === undefined) this.waiters.set(replyType, [waiter]);
    else queue.push(waiter);
  }

  private write(text: string): Promise<void> {
    return new Promise((resolve, reject) => {
      this.commands.write(text, (error) => {
        if (error === undefined || error === null) resolve();
        else
          reject(
            this.unavailable() ??
              new BridgeExitError(`cannot write to the bridge: ${error.message}`, undefined),
          );
      });
    });
  }

  // Why commands can no longer be sent, if they cannot.
  private unavailable(): BridgeExitError | undefined {
    if (this.failure !== undefined || !this.closeRequested) return this.failure;
    return new BridgeExitError('the bridge is being closed', undefined, 'closed');
  }

  // What a host that has gone leaves: descriptor 3 at its end (once what is written has gone
  // out) and nobody reading descriptors 4 to 9. Console output (1, 2) is still read.
  private closePipes(): void {
    for (const stream of this.hostReads) stream.destroy();
    this.commands.end(() => this.commands.destroy());
  }

  private readAll(stream: Readable, onData: (chunk: Buffer) => void, onEnd: () => void): void {
    stream.on('data', onData);
    stream.on('end', onEnd);
  }

  private onReply(reply: Reply): void {
    if (!this.greeted && reply.type === 'DaemonStart') {
      this.greeted = true;
      this.settleStart();
    } else {
      this.waiters.get(reply.type)?.shift()?.resolve(reply.code);
    }
    this.emit('reply', reply);
  }

  private onEvent(event: BridgeEvent): void {
    this.emit('event', event);
    if (isEventType(event.type))
      (this.emit as (type: string, param: unknown) => boolean)(event.type, event.param);
  }

  private onFrame(channel: FrameChannel, frame: Frame): void {
    const seen = channel.listenerCount('frame') + this.listenerCount('frame') > 0;
    this.frameStreams.deliver(frame, seen);
    channel.emit('frame', frame);
    this.emit('frame', frame);
  }

  private spawnError(error: NodeJS.ErrnoException): BridgeExitError {
    let message = `cannot start the bridge ${this.executable}: ${error.message}`;
    if (error.code === 'ENOENT' && !existsSync(this.executable))
      message = `cannot start the bridge: the executable ${this.executable} does not exist`;
    else if (
      error.code === 'ENOENT' &&
      this.options.cwd !== undefined &&
      !existsSync(this.options.cwd)
    )
      message = `cannot start the bridge: the working directory ${this.options.cwd} does not exist`;
    return new BridgeExitError(message, undefined, 'spawn-failed');
  }

  private finish(
    code: number | null,
    signal: NodeJS.Signals | null,
    startError?: BridgeExitError,
  ): void {
    if (this.exitInfo !== undefined) return;
    live.delete(this.child);
    const exit: ExitInfo = {
      code,
      signal,
      closed: this.closeRequested,
      stderr: [...this.stderrTail],
    };
    this.exitInfo = exit;
    const how = signal !== null ? `killed by ${signal}` : `exit code ${code}`;
    const error =
      startError ??
      new BridgeExitError(
        this.closeRequested
          ? `the bridge was closed (${how})`
          : `the bridge ended unexpectedly (${how})${tailText(exit.stderr)}`,
        exit,
        this.closeRequested ? 'closed' : 'exited',
      );
    this.failure = error;
    if (!this.greeted)
      this.settleStart(
        startError ??
          new BridgeExitError(
            `the bridge ended before its greeting (${how})${tailText(exit.stderr)}`,
            exit,
          ),
      );
    for (const queue of this.waiters.values()) for (const w of queue.splice(0)) w.reject(error);
    this.simControl?.fail(error);
    this.frameStreams.endAll();
    this.markExited(exit);
    this.emit('exit', exit);
  }
}

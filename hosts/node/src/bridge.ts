// The bridge as the host sees it: typed commands with their replies matched in order, typed
// events, frames per channel, the simulated SDK's control channel, the bridge's log lines, and
// (with `restart`) a bridge that comes back with its session after an end nobody asked for.
import { EventEmitter } from 'node:events';
import { existsSync } from 'node:fs';
import type { AsyncQueue } from './async-queue';
import { BridgeProcess, type SpawnSettings } from './bridge-process';
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
import { BridgeExitError, type ExitInfo, notScripted, outOfRange } from './errors';
import { BridgeEvent, EventParams, EventType, isEventType, ProtocolError, Reply } from './events';
import { ChannelCounters, Frame, FrameAssembler, FrameError } from './frames';
import { FrameStreams } from './frame-streams';
import { isFailure, parseLogLine, type LogEntry } from './log-lines';
import { chooseExecutable, type SdkBuild } from './prebuilt-bridge';
import { ReplyWaiters, type Waiter } from './reply-waiters';
import { SessionState, type Room } from './session-state';
import { SimControl } from './sim-control';
import { vendorEnvironment, type VendorSettings } from './vendor-environment';

export type { ExitInfo };

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
  /** Milliseconds a call waits for its reply before it rejects with 'no-reply' (default 60000;
   * 0: without limit). */
  replyTimeout?: number;
  /** Start a new bridge and rebuild the session when the bridge ends without `close()`: `true`
   * for at most 3 restarts within 60000 ms, or the limits (default: off). */
  restart?: boolean | RestartLimits;
}

export interface RestartLimits {
  /** Restarts allowed within `windowMs` (default 3). */
  limit?: number;
  windowMs?: number;
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

/** One frame channel: its events and counters. It carries on across a restart. */
export class FrameChannel extends EventEmitter<ChannelEvents> {
  /** @internal */
  constructor(
    readonly index: number,
    private readonly assembler: () => FrameAssembler,
  ) {
    super();
  }
  /** The counters of the current bridge's pipe. */
  get counters(): Readonly<ChannelCounters> {
    return { ...this.assembler().counters };
  }
}

/** The bridge ended without `close()`, on `'crash'`. */
export interface CrashInfo {
  exit: ExitInfo;
  /** The crash report the bridge named, if any. */
  report: string | undefined;
  /** False past the restart limit: `'exit'` follows and every call rejects with 'crash-loop'. */
  restarting: boolean;
}

/** A restarted bridge has its session again, on `'restored'`. */
export interface RestoreInfo {
  /** Which restart within the restart window this was (1 for the first). */
  attempt: number;
  /** Milliseconds from the end of the bridge to the session rebuilt. */
  ms: number;
  /** Steps of the session that did not succeed again, e.g. "openCamera (0)". */
  failed: string[];
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
  /** A log line of the bridge. */
  log: [LogEntry];
  crash: [CrashInfo];
  restored: [RestoreInfo];
  exit: [ExitInfo];
};

// One run of the bridge executable and what is known of it.
interface Run {
  proc: BridgeProcess;
  greeted: boolean;
  stderr: string[];
  report: string | undefined;
  /** Settles with the greeting, or with why none came. */
  greeting: Promise<void>;
  settle(error?: Error): void;
  /** Settles once the process has ended. */
  ended: Promise<void>;
  markEnded(): void;
  /** What calls in flight on this run failed with. */
  endError: BridgeExitError | undefined;
}

const CRASH_REPORT = /^Quorlane: crash report (.+)$/;

function tailText(lines: string[]): string {
  return lines.length === 0 ? '' : `; last lines of its standard error:\n  ${lines.join('\n  ')}`;
}

function howEnded(exit: { code: number | null; signal: NodeJS.Signals | null }): string {
  return exit.signal !== null ? `killed by ${exit.signal}` : `exit code ${exit.code}`;
}

function restartLimits(option: BridgeOptions['restart']): Required<RestartLimits> | undefined {
  if (option === undefined || option === false) return undefined;
  const limits = option === true ? {} : option;
  return {
    limit: checkInt32('restart.limit', limits.limit ?? 3),
    windowMs: checkInt32('restart.windowMs', limits.windowMs ?? 60000),
  };
}

// The typed command methods, made from the command table in the class's static block.
export interface Bridge extends CommandMethods {}

export class Bridge extends EventEmitter<BridgeEvents> {
  static {
    for (const [name, spec] of Object.entries(COMMANDS) as Array<[string, CommandSpec<unknown[]>]>)
      Object.defineProperty(Bridge.prototype, name, {
        value(this: Bridge, ...args: unknown[]) {
          return this.call(spec, args);
        },
        writable: true,
        configurable: true,
      });
  }

  readonly channels: readonly FrameChannel[];
  private readonly settings: SpawnSettings;
  private readonly simControl: SimControl | undefined;
  private readonly waiters: ReplyWaiters;
  private readonly frameStreams = new FrameStreams();
  private readonly session = new SessionState();
  private readonly limits: Required<RestartLimits> | undefined;
  private readonly started: Promise<Bridge>;
  private readonly exited: Promise<ExitInfo>;
  private markExited!: (exit: ExitInfo) => void;
  private run!: Run;
  private phase: 'starting' | 'running' | 'restoring' | 'ended' = 'starting';
  // While restoring: settles once the session is rebuilt or the bridge has ended for good.
  private ready: Promise<void> = Promise.resolve();
  private markReady: () => void = () => {};
  private crashes: Array<{ time: number; exit: ExitInfo }> = [];
  private crashedAt = 0;
  private closeRequested = false;
  private closing: Promise<void> | undefined;
  private failure: BridgeExitError | undefined;
  private exitInfo: ExitInfo | undefined;
  // A successful EnterRoom call, resolved once the room's stream list is in `room`.
  private enterHeld: (() => void) | undefined;
  private logCount = 0;
  private lastFailure: { at: number; entry: LogEntry } | undefined;

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
    this.limits = restartLimits(options.restart);
    this.waiters = new ReplyWaiters(options.replyTimeout ?? 60000);
    this.exited = new Promise((resolve) => (this.markExited = resolve));
    const scripted = options.scripted === true;
    const env: NodeJS.ProcessEnv = {
      ...process.env,
      QUORLANE_LOG_STDOUT: '1',
      ...options.env,
      ...vendorEnvironment(options),
    };
    if (scripted) env.QUORLANE_SIM_CONTROL = '10,11';
    this.settings = { executable, args: options.args ?? [], cwd: options.cwd, env, scripted };
    this.simControl = scripted ? new SimControl() : undefined;
    this.channels = Array.from(
      { length: CHANNELS },
      (_, index) => new FrameChannel(index, () => this.run.proc.assemblers[index]),
    );
    const first = this.launch();
    this.started = first.greeting.then(
      () => {
        if (this.phase === 'starting') this.phase = 'running';
        return this;
      },
      (error: Error) => {
        if (error instanceof BridgeExitError && error.code === 'no-greeting') void this.close();
        throw error;
      },
    );
  }

  /** The simulated SDK's control channel; only with `scripted: true`. The same object across
   * restarts: its listeners and `calls()` iterators carry on with the new bridge. */
  get sim(): SimControl {
    if (this.simControl === undefined) throw notScripted();
    return this.simControl;
  }

  /** The bridge's working folder: `cwd` as given, else the per-user default. */
  get cwd(): string {
    return this.options.cwd!;
  }

  /** The process ID of the current bridge. */
  get pid(): number | undefined {
    return this.run.proc.pid;
  }

  /** Set once the bridge has ended for good. */
  get exit(): ExitInfo | undefined {
    return this.exitInfo;
  }

  /** The room the bridge is in (entered and not left), with its streams; the same session that
   * a restart rebuilds. */
  get room(): Readonly<Room> | undefined {
    return this.session.room;
  }

  /** Ends the bridge and resolves once it is gone: ends its command pipe and stops reading its
   * replies, events and frames, so that it leaves the room and exits by itself (on POSIX it is
   * sent SIGTERM as well, which ends it the same way), and kills it after `killGrace`. Pending
   * calls fail; the bridge is never restarted after it. Calling it again returns the same
   * promise. */
  close(): Promise<void> {
    if (this.closing === undefined) {
      this.closeRequested = true;
      const grace = this.options.killGrace ?? 3000;
      let timer: NodeJS.Timeout | undefined;
      if (this.phase !== 'ended') {
        const proc = this.run.proc;
        proc.closePipes();
        if (process.platform !== 'win32') proc.kill('SIGTERM');
        timer = setTimeout(() => proc.kill('SIGKILL'), grace);
      }
      this.closing = this.exited.then(() => clearTimeout(timer));
    }
    return this.closing;
  }

  /** Frames as an async iterator; it ends when the bridge ends for good or the loop is left. */
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
    return this.afterRestore(() => {
      const type = (command as { type?: unknown }).type;
      const replyType = typeof type === 'string' ? REPLY_TYPES[type] : undefined;
      const run = this.available();
      if (replyType !== undefined)
        this.waiters.add(replyType, {
          replied() {},
          resolve() {},
          reject() {},
          lastError: () => undefined,
        });
      return this.write(run, text);
    });
  }

  // A command of the table, called by the host.
  private call(spec: CommandSpec<unknown[]>, args: unknown[]): Promise<number | void> {
    let text: string;
    try {
      text = this.commandText(spec, args);
    } catch (e) {
      return Promise.reject(e);
    }
    return this.afterRestore(() => this.execute(spec, args, text));
  }

  // Runs `send` at once, or during a restart once the session is rebuilt.
  private afterRestore<T>(send: () => Promise<T>): Promise<T> {
    if (this.phase === 'restoring') return this.ready.then(() => this.afterRestore(send));
    try {
      return send();
    } catch (e) {
      return Promise.reject(e);
    }
  }

  private commandText(spec: CommandSpec<unknown[]>, args: unknown[]): string {
    const param = spec.param(...args);
    return serialize(param === undefined ? { type: spec.type } : { type: spec.type, param });
  }

  // Writes the command and, for one with a reply, waits for the reply of its type.
  private execute(
    spec: CommandSpec<unknown[]>,
    args: unknown[],
    text: string,
  ): Promise<number | void> {
    const run = this.available();
    const replyType = spec.reply;
    if (replyType === undefined) {
      this.session.applied(spec.type, args);
      return this.write(run, text);
    }
    return new Promise<number>((resolve, reject) => {
      const since = this.logCount;
      const waiter: Waiter = {
        replied: (code) => this.session.applied(spec.type, args, code),
        resolve: (code) => {
          if (spec.type === 'EnterRoom' && code === 0) this.holdEnter(() => resolve(code));
          else resolve(code);
        },
        reject,
        lastError: () =>
          this.lastFailure !== undefined && this.lastFailure.at > since
            ? this.lastFailure.entry
            : undefined,
      };
      this.waiters.add(replyType, waiter);
      // A command that cannot be written fails with the end of the bridge, like those written.
      this.write(run, text).catch(() => {});
    });
  }

  // A pipe that breaks means the bridge is ending: the write fails with why it ended.
  private write(run: Run, text: string): Promise<void> {
    return run.proc.write(text).catch(async (error: Error) => {
      await run.ended;
      throw (
        this.unavailable() ??
        run.endError ??
        new BridgeExitError(`cannot write to the bridge: ${error.message}`, undefined)
      );
    });
  }

  // The current run, or throws why commands can no longer be sent.
  private available(): Run {
    const unavailable = this.unavailable();
    if (unavailable !== undefined) throw unavailable;
    return this.run;
  }

  private unavailable(): BridgeExitError | undefined {
    if (this.failure !== undefined || !this.closeRequested) return this.failure;
    return new BridgeExitError('the bridge is being closed', undefined, 'closed');
  }

  private holdEnter(resolve: () => void): void {
    this.releaseEnter();
    const timer = setTimeout(() => this.releaseEnter(), 1000);
    this.enterHeld = () => {
      clearTimeout(timer);
      resolve();
    };
  }

  private releaseEnter(): void {
    const resolve = this.enterHeld;
    this.enterHeld = undefined;
    resolve?.();
  }

  // Starts a bridge process; its output goes to this bridge while it is the current run.
  private launch(): Run {
    let settle!: (error?: Error) => void;
    const greeting = new Promise<void>((resolve, reject) => {
      settle = (error) => (error === undefined ? resolve() : reject(error));
    });
    greeting.catch(() => {}); // a restart that fails is handled through the process's exit
    const maxTail = this.options.stderrLines ?? 20;
    const current = () => this.run === run;
    const proc = new BridgeProcess(this.settings, {
      stdout: (line) => current() && this.onStdout(run, line),
      stderr: (line) => {
        if (!current()) return;
        run.stderr.push(line);
        if (run.stderr.length > maxTail) run.stderr.shift();
        this.emit('stderr', line);
      },
      reply: (reply) => {
        if (!current()) return;
        if (!run.greeted && reply.type === 'DaemonStart') {
          run.greeted = true;
          settle();
        } else {
          this.onReply(reply);
        }
        this.emit('reply', reply);
      },
      event: (event) => current() && this.onEvent(event),
      protocolError: (error) => current() && this.emit('protocolError', error),
      frame: (index, frame) => current() && this.onFrame(this.channels[index], frame),
      frameError: (index, error) => {
        if (!current()) return;
        this.channels[index].emit('frameError', error);
        this.emit('frameError', error);
      },
      spawnError: (error) => current() && this.onExit(run, null, null, this.spawnError(error)),
      exit: (code, signal) => current() && this.onExit(run, code, signal),
    });
    let markEnded!: () => void;
    const ended = new Promise<void>((resolve) => (markEnded = resolve));
    const run: Run = {
      proc,
      greeted: false,
      stderr: [],
      report: undefined,
      greeting,
      settle,
      ended,
      markEnded,
      endError: undefined,
    };
    this.run = run;
    if (this.simControl !== undefined && proc.control !== undefined)
      this.simControl.attach(...proc.control);

    const timeout = this.options.timeout ?? 10000;
    const timer = setTimeout(() => {
      if (run.greeted || !current()) return;
      settle(
        new BridgeExitError(
          `the bridge sent no greeting within ${timeout} ms${tailText(run.stderr)}`,
          undefined,
          'no-greeting',
        ),
      );
      // A restarted bridge that never greets counts as one more crash.
      if (this.phase === 'restoring') {
        proc.closePipes();
        proc.kill('SIGKILL');
      }
    }, timeout);
    const done = () => clearTimeout(timer);
    void greeting.then(done, done);
    return run;
  }

  private onStdout(run: Run, line: string): void {
    const report = CRASH_REPORT.exec(line);
    if (report !== null) run.report = report[1];
    const entry = parseLogLine(line);
    if (entry !== undefined) {
      this.logCount++;
      if (isFailure(entry.level)) this.lastFailure = { at: this.logCount, entry };
      this.emit('log', entry);
    }
    this.emit('stdout', line);
  }

  private onReply(reply: Reply): void {
    this.waiters.answer(reply.type, reply.code);
  }

  private onEvent(event: BridgeEvent): void {
    if (event.type === 'StreamsList') this.session.listed(event.param);
    else if (event.type === 'StreamUpdate') this.session.updated(event.param);
    else if (event.type === 'KickOut') this.session.leftRoom(event.param.RoomID);
    this.releaseEnter();
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
      this.settings.cwd !== undefined &&
      !existsSync(this.settings.cwd)
    )
      message = `cannot start the bridge: the working directory ${this.settings.cwd} does not exist`;
    return new BridgeExitError(message, undefined, 'spawn-failed');
  }

  private onExit(
    run: Run,
    code: number | null,
    signal: NodeJS.Signals | null,
    startError?: BridgeExitError,
  ): void {
    const exit: ExitInfo = { code, signal, closed: this.closeRequested, stderr: [...run.stderr] };
    if (run.report !== undefined) exit.report = run.report;
    const how = howEnded(exit);
    const reportText = exit.report === undefined ? '' : `; crash report: ${exit.report}`;
    if (!run.greeted) {
      run.settle(
        startError ??
          new BridgeExitError(
            `the bridge ended before its greeting (${how})${reportText}${tailText(exit.stderr)}`,
            exit,
          ),
      );
    }
    if (this.closeRequested) {
      this.end(new BridgeExitError(`the bridge was closed (${how})`, exit, 'closed'), exit);
    } else if (this.phase === 'starting') {
      this.end(startError ?? new BridgeExitError(`the bridge ended (${how})`, exit), exit);
    } else if (this.limits === undefined) {
      this.end(
        new BridgeExitError(
          `the bridge ended unexpectedly (${how})${reportText}${tailText(exit.stderr)}`,
          exit,
          'exited',
        ),
        exit,
      );
    } else {
      this.crashed(exit, how + reportText);
    }
  }

  // The bridge ended without close() and `restart` is on: restart it, or give up past the limit.
  private crashed(exit: ExitInfo, how: string): void {
    const limits = this.limits!;
    const now = Date.now();
    this.crashes = this.crashes.filter((c) => now - c.time < limits.windowMs);
    this.crashes.push({ time: now, exit });
    const restarting = this.crashes.length <= limits.limit;
    if (!restarting) {
      this.emit('crash', { exit, report: exit.report, restarting });
      const ends = this.crashes.map((c) => howEnded(c.exit)).join(', ');
      this.end(
        new BridgeExitError(
          `the bridge ended unexpectedly ${this.crashes.length} times within ` +
            `${limits.windowMs} ms (${ends}); it is not restarted again${tailText(exit.stderr)}`,
          exit,
          'crash-loop',
        ),
        exit,
      );
      return;
    }
    const error = new BridgeExitError(
      `the bridge ended unexpectedly (${how}) and is being restarted; the call was not sent again`,
      exit,
      'restarted',
    );
    this.waiters.failAll((w) => error.forCall(w.lastError()));
    this.run.endError = error;
    this.run.markEnded();
    this.releaseEnter();
    this.simControl?.detach(error);
    if (this.phase !== 'restoring') {
      this.phase = 'restoring';
      this.crashedAt = now;
      this.ready = new Promise((resolve) => (this.markReady = resolve));
    }
    const attempt = this.crashes.length;
    const run = this.launch();
    this.emit('crash', { exit, report: exit.report, restarting });
    void this.restore(run, attempt);
  }

  // Gives the new bridge the session again, each step waiting for its reply.
  private async restore(run: Run, attempt: number): Promise<void> {
    try {
      await run.greeting;
    } catch {
      return; // its end is one more crash, or the end for good
    }
    const failed: string[] = [];
    for (const step of this.session.replay()) {
      if (this.run !== run || this.phase !== 'restoring') return;
      const spec = (COMMANDS as Record<string, CommandSpec<unknown[]>>)[step.method];
      try {
        const code = await this.execute(spec, step.args, this.commandText(spec, step.args));
        if (step.success !== undefined && code !== step.success)
          failed.push(`${step.method} (${String(code)})`);
      } catch (e) {
        if (this.run !== run || this.phase !== 'restoring') return;
        failed.push(`${step.method} (${(e as Error).message})`);
      }
    }
    if (this.run !== run || this.phase !== 'restoring') return;
    this.phase = 'running';
    this.markReady();
    this.emit('restored', { attempt, ms: Date.now() - this.crashedAt, failed });
  }

  // The bridge has ended for good.
  private end(error: BridgeExitError, exit: ExitInfo): void {
    if (this.phase === 'ended') return;
    this.phase = 'ended';
    this.exitInfo = exit;
    this.failure = error;
    this.run.endError = error;
    this.run.markEnded();
    this.waiters.failAll((w) => error.forCall(w.lastError()));
    this.releaseEnter();
    this.markReady();
    this.simControl?.fail(error);
    this.frameStreams.endAll();
    this.markExited(exit);
    this.emit('exit', exit);
  }
}

// Every error of the package carries a stable `code`, for programs to tell failures apart; the
// message says the same for people and may change.
import type { LogEntry } from './log-lines';

/** How a bridge process ended. */
export interface ExitInfo {
  code: number | null;
  signal: NodeJS.Signals | null;
  /** True when `close()` ended the bridge. */
  closed: boolean;
  /** The last lines of the bridge's standard error. */
  stderr: string[];
  /** The crash report the bridge named on its standard output before it ended, if any. */
  report?: string;
}

/** Why the bridge is not there, on `BridgeExitError`. */
export type BridgeExitCode =
  /** No executable given and no prebuilt one installed for this platform (or not the build
   * asked for, or one left inside `app.asar`); the message says what to install or set. */
  | 'no-executable'
  /** The vendor build without the vendor's DLL: no `sdkDll`, and none beside the bridge. */
  | 'no-sdk-dll'
  /** The executable or the working directory is missing, or the system could not start it. */
  | 'spawn-failed'
  /** The bridge sent no greeting within the start's `timeout`; it has been closed. */
  | 'no-greeting'
  /** The bridge ended by itself (before its greeting or later); `exit` tells how. */
  | 'exited'
  /** `close()` ended the bridge, or is ending it. */
  | 'closed'
  /** The bridge ended unasked while the call was in flight and is being restarted (`restart`);
   * the call was not sent again. */
  | 'restarted'
  /** The bridge ended unasked more often than `restart` allows; the message names the ends. */
  | 'crash-loop';

/** A call whose reply did not come within `replyTimeout`, on `NoReplyError`. */
export type CallErrorCode = 'no-reply';

/** An argument refused before anything was written, on a `TypeError` or a `RangeError`. */
export type ArgumentCode =
  /** A `TypeError`: an argument of the wrong type. */
  | 'invalid-argument'
  /** A `RangeError`: a number that is not a 32-bit integer, or a value outside its range. */
  | 'out-of-range'
  /** A `RangeError`: a command text longer than the bridge takes. */
  | 'command-too-long';

/** The simulated SDK's control channel: a refused request (`SimRequestError`), or `bridge.sim`
 * of a bridge started without `scripted`. */
export type SimErrorCode = 'sim-refused' | 'not-scripted';

/** A text on descriptor 4 that is not a reply or an event, on `ProtocolError`. */
export type ProtocolErrorCode =
  /** Not JSON. */
  | 'not-json'
  /** A JSON object that is neither a reply nor an event. */
  | 'not-a-message'
  /** Bytes outside any object. */
  | 'stray-bytes'
  /** An object longer than the reader takes; it is dropped. */
  | 'object-too-long'
  /** The pipe ended inside an object. */
  | 'unfinished-object';

/** A frame pipe that can no longer be trusted, on `FrameError`. */
export type FrameErrorCode =
  /** A header with a size of 0 or below, or beyond any video. */
  | 'bad-frame-size'
  /** A header whose payload length does not match its size. */
  | 'bad-payload-length'
  /** The pipe ended inside a frame. */
  | 'torn-frame';

/** Every code an error of this package can carry. */
export type ErrorCode =
  BridgeExitCode | CallErrorCode | ArgumentCode | SimErrorCode | ProtocolErrorCode | FrameErrorCode;

function withLastError(message: string, lastError: LogEntry | undefined): string {
  return lastError === undefined ? message : `${message}; last error logged: ${lastError.text}`;
}

/** The bridge ended, never started, or is being closed; pending calls fail with this error. */
export class BridgeExitError extends Error {
  /** The crash report the bridge named, if any (also in `exit`). */
  readonly report: string | undefined;
  constructor(
    message: string,
    readonly exit: ExitInfo | undefined,
    readonly code: BridgeExitCode = 'exited',
    /** The last error the bridge logged while the call was in flight, if any. */
    readonly lastError?: LogEntry,
  ) {
    super(withLastError(message, lastError));
    this.name = 'BridgeExitError';
    this.report = exit?.report;
  }

  /** The same failure for one call, naming the last error logged while it was in flight. */
  forCall(lastError: LogEntry | undefined): BridgeExitError {
    if (lastError === undefined) return this;
    const message = this.message;
    return new BridgeExitError(message, this.exit, this.code, lastError);
  }
}

/** A call whose reply did not come within `replyTimeout`. It keeps its place: a late reply is
 * taken by it and never answers a later call. */
export class NoReplyError extends Error {
  readonly code = 'no-reply';
  constructor(
    /** The command's type. */
    readonly command: string,
    ms: number,
    /** The last error the bridge logged while the call was in flight, if any. */
    readonly lastError?: LogEntry,
  ) {
    super(withLastError(`no ${command} reply within ${ms} ms`, lastError));
    this.name = 'NoReplyError';
  }
}

/** `bridge.sim` of a bridge started without `scripted`. */
export function notScripted(): Error & { code: 'not-scripted' } {
  return Object.assign(new Error('the bridge was not started with scripted: true'), {
    code: 'not-scripted' as const,
  });
}

/** A `TypeError` for an argument of the wrong type. */
export function invalidArgument(message: string): TypeError & { code: 'invalid-argument' } {
  return Object.assign(new TypeError(message), { code: 'invalid-argument' as const });
}

/** A `RangeError` for a value outside its range. */
export function outOfRange<C extends 'out-of-range' | 'command-too-long' = 'out-of-range'>(
  message: string,
  code: C = 'out-of-range' as C,
): RangeError & { code: C } {
  return Object.assign(new RangeError(message), { code });
}

// Every error of the package carries a stable `code`, for programs to tell failures apart; the
// message says the same for people and may change.
import type { ExitInfo } from './bridge';

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
  | 'closed';

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
  BridgeExitCode | ArgumentCode | SimErrorCode | ProtocolErrorCode | FrameErrorCode;

/** The bridge ended, never started, or is being closed; pending calls fail with this error. */
export class BridgeExitError extends Error {
  constructor(
    message: string,
    readonly exit: ExitInfo | undefined,
    readonly code: BridgeExitCode = 'exited',
  ) {
    super(message);
    this.name = 'BridgeExitError';
  }
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

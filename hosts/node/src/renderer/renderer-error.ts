// Every error the renderer throws carries one of these codes, as the package's other errors do;
// the message says the same for people and may change.

/** Why the renderer refused or failed. */
export type RendererErrorCode =
  /** The canvas offers no WebGL context (of the version asked for). */
  | 'no-webgl'
  /** A WebGL object could not be made: the context is lost. */
  | 'context-lost'
  /** A shader did not compile or the program did not link; the message holds the driver's log. */
  | 'shader-failed'
  /** `draw()` after `dispose()`. */
  | 'disposed'
  /** A width or height that is not a whole number above 0. */
  | 'bad-frame-size'
  /** A plane stride shorter than its row. */
  | 'bad-stride'
  /** A plane or payload shorter than the frame needs. */
  | 'short-plane'
  /** A frame message too short, or whose header does not agree with its payload. */
  | 'bad-frame-message';

/** An `Error` (a `RangeError` for a refused frame) with its code. */
export function rendererError<E extends Error>(
  error: E,
  code: RendererErrorCode,
): E & { code: RendererErrorCode } {
  return Object.assign(error, { code });
}

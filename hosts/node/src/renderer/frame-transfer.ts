import { chromaOrderOfChannel, framePlanes, planeSizes, type YuvFrame } from './yuv-frame';

/**
 * A frame as posted through a MessagePort (Electron's main process to a renderer window, or to a
 * worker) with its payload buffer transferred, not copied.
 */
export interface TransferredFrame {
  readonly channel: number;
  readonly width: number;
  readonly height: number;
  /** The payload as the bridge sent it: Y U V on channel 0, Y V U on channels 1 to 4. */
  readonly payload: ArrayBuffer;
}

/** What the sending side needs of a frame: the bridge client's frames have it. */
export interface PayloadFrame {
  readonly channel: number;
  readonly width: number;
  readonly height: number;
  readonly data: Uint8Array;
}

/**
 * The message and transfer list for `port.postMessage(message, transfer)`. The payload's buffer
 * moves when it holds exactly the payload; otherwise the payload is copied into one that does.
 * Either way the frame must not be used (or released) by the sender afterwards.
 */
export function frameForTransfer(frame: PayloadFrame): [TransferredFrame, ArrayBuffer[]] {
  const { data } = frame;
  const own =
    data.buffer instanceof ArrayBuffer &&
    data.byteOffset === 0 &&
    data.byteLength === data.buffer.byteLength;
  const payload = own ? (data.buffer as ArrayBuffer) : data.slice().buffer;
  return [{ channel: frame.channel, width: frame.width, height: frame.height, payload }, [payload]];
}

/** The frame of a received message, its planes viewing the transferred buffer in place. */
export function receivedFrame(message: TransferredFrame): YuvFrame {
  const { width, height, payload, channel } = message;
  const bytes = new Uint8Array(
    payload,
    0,
    Math.min(payload.byteLength, planeSizes(width, height).payloadBytes),
  );
  return framePlanes(width, height, bytes, chromaOrderOfChannel(channel));
}

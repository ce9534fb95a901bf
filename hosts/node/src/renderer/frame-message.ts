import { framePlanes, planeSizes, type YuvFrame } from './yuv-frame';
import { rendererError } from './renderer-error';

/**
 * One frame as one ArrayBuffer, to cross a WebSocket as a binary message or a MessagePort as a
 * transferred buffer: 16 bytes of little-endian int32 (channel, width, height, payload length),
 * then the tightly packed planes in the order Y, U, V.
 */
export interface FrameMessage {
  readonly channel: number;
  readonly frame: YuvFrame;
}

const HEADER_BYTES = 16;

/** Packs the frame's planes (strides honoured) behind the header, in a fresh buffer. */
export function encodeFrameMessage(channel: number, frame: YuvFrame): ArrayBuffer {
  const { width, height } = frame;
  const sizes = planeSizes(width, height);
  const buffer = new ArrayBuffer(HEADER_BYTES + sizes.payloadBytes);
  const header = new DataView(buffer, 0, HEADER_BYTES);
  header.setInt32(0, channel, true);
  header.setInt32(4, width, true);
  header.setInt32(8, height, true);
  header.setInt32(12, sizes.payloadBytes, true);
  let at = HEADER_BYTES;
  const copy = (plane: Uint8Array, rowBytes: number, rows: number, stride: number): void => {
    const target = new Uint8Array(buffer, at, rowBytes * rows);
    if (stride === rowBytes) {
      target.set(plane.subarray(0, rowBytes * rows));
    } else {
      for (let row = 0; row < rows; row++) {
        target.set(plane.subarray(row * stride, row * stride + rowBytes), row * rowBytes);
      }
    }
    at += rowBytes * rows;
  };
  copy(frame.y, width, height, frame.yStride ?? width);
  copy(frame.u, sizes.chromaWidth, sizes.chromaHeight, frame.uvStride ?? sizes.chromaWidth);
  copy(frame.v, sizes.chromaWidth, sizes.chromaHeight, frame.uvStride ?? sizes.chromaWidth);
  return buffer;
}

/**
 * Reads a message made by encodeFrameMessage; the planes are views into `buffer`. Throws a
 * RangeError for a message that is too short or whose sizes do not agree.
 */
export function decodeFrameMessage(buffer: ArrayBuffer): FrameMessage {
  if (buffer.byteLength < HEADER_BYTES) {
    throw rendererError(
      new RangeError(
        `a frame message has at least ${HEADER_BYTES} bytes, got ${buffer.byteLength}`,
      ),
      'bad-frame-message',
    );
  }
  const header = new DataView(buffer, 0, HEADER_BYTES);
  const channel = header.getInt32(0, true);
  const width = header.getInt32(4, true);
  const height = header.getInt32(8, true);
  const payloadBytes = header.getInt32(12, true);
  const payload = new Uint8Array(buffer, HEADER_BYTES);
  if (payloadBytes !== payload.length) {
    throw rendererError(
      new RangeError(
        `frame message announces ${payloadBytes} payload bytes, carries ${payload.length}`,
      ),
      'bad-frame-message',
    );
  }
  const frame = framePlanes(width, height, payload, 'uv');
  if (frame.y.length + frame.u.length + frame.v.length !== payloadBytes) {
    throw rendererError(
      new RangeError(`a ${width}x${height} frame does not take ${payloadBytes} bytes`),
      'bad-frame-message',
    );
  }
  return { channel, frame };
}

// Rebuilds frames from one frame pipe: a 12-byte header (width, height, payload length, each a
// little-endian signed 32-bit integer) and a planar YUV 4:2:0 payload. Each payload is copied
// once into a buffer of its own; the planes are views into it. Channel 0 carries Y, U, V and
// channels 1 to 4 carry Y, V, U; `u` and `v` always name the right plane. A header that cannot be
// right stops the channel: everything after it is counted and discarded, since the stream can no
// longer be trusted to line up with frame boundaries.

import type { FrameErrorCode } from './errors';

export const HEADER_BYTES = 12;
export const MAX_DIMENSION = 16384;
export const MAX_PIXELS = 8192 * 8192;

export interface Frame {
  channel: number;
  width: number;
  height: number;
  y: Uint8Array;
  u: Uint8Array;
  v: Uint8Array;
  /** The whole payload as it arrived (I420 on channel 0, YV12 on channels 1 to 4). Its
   * `buffer` is an ArrayBuffer of its own, starting at offset 0, so it can be transferred. */
  data: Uint8Array;
  layout: 'I420' | 'YV12';
  /** Hands the payload's memory back for a later frame of the channel, which saves a fresh
   * allocation (and its page faults) per frame. Optional; the frame must not be used after it,
   * so call it only where nothing else (another listener, a stream) still holds the frame. */
  release(): void;
}

export interface FrameError {
  channel: number;
  code: FrameErrorCode;
  message: string;
  /** The offending header bytes, when a header was at fault. */
  header?: Buffer;
}

export interface ChannelCounters {
  frames: number;
  /** Every byte read from the pipe, headers included. */
  bytes: number;
  errors: number;
  /** Bytes thrown away after a bad header. */
  discardedBytes: number;
}

export function payloadLength(width: number, height: number): number {
  return width * height + 2 * Math.floor((width + 1) / 2) * Math.floor((height + 1) / 2);
}

interface ChannelFault {
  code: FrameErrorCode;
  message: string;
}

function checkHeader(width: number, height: number, length: number): ChannelFault | undefined {
  if (width <= 0 || height <= 0)
    return { code: 'bad-frame-size', message: `impossible frame size ${width}x${height}` };
  if (width > MAX_DIMENSION || height > MAX_DIMENSION || width * height > MAX_PIXELS)
    return { code: 'bad-frame-size', message: `frame size ${width}x${height} is beyond any video` };
  const expected = payloadLength(width, height);
  if (length !== expected)
    return {
      code: 'bad-payload-length',
      message: `payload length ${length} does not match ${width}x${height} (expected ${expected})`,
    };
  return undefined;
}

/** Why a header cannot be a frame's, or undefined when it can. */
export function headerFault(width: number, height: number, length: number): string | undefined {
  return checkHeader(width, height, length)?.message;
}

export function makeFrame(
  channel: number,
  width: number,
  height: number,
  data: Uint8Array,
  release: () => void = () => {},
): Frame {
  const ySize = width * height;
  const cSize = Math.floor((width + 1) / 2) * Math.floor((height + 1) / 2);
  const first = data.subarray(ySize, ySize + cSize);
  const second = data.subarray(ySize + cSize, ySize + 2 * cSize);
  const i420 = channel === 0;
  return {
    channel,
    width,
    height,
    y: data.subarray(0, ySize),
    u: i420 ? first : second,
    v: i420 ? second : first,
    data,
    layout: i420 ? 'I420' : 'YV12',
    release,
  };
}

// Released payloads kept per channel for reuse.
const POOL_SIZE = 4;

export class FrameAssembler {
  readonly counters: ChannelCounters = { frames: 0, bytes: 0, errors: 0, discardedBytes: 0 };
  private readonly header = Buffer.alloc(HEADER_BYTES);
  private headerFill = 0;
  private width = 0;
  private height = 0;
  private payload: Buffer | undefined;
  private payloadFill = 0;
  private broken = false;
  private readonly pool: Buffer[] = [];

  constructor(
    readonly channel: number,
    private readonly onFrame: (frame: Frame) => void,
    private readonly onError: (error: FrameError) => void,
  ) {}

  feed(chunk: Buffer): void {
    this.counters.bytes += chunk.length;
    let offset = 0;
    while (offset < chunk.length) {
      if (this.broken) {
        this.counters.discardedBytes += chunk.length - offset;
        return;
      }
      if (this.payload === undefined) {
        const n = Math.min(HEADER_BYTES - this.headerFill, chunk.length - offset);
        chunk.copy(this.header, this.headerFill, offset, offset + n);
        this.headerFill += n;
        offset += n;
        if (this.headerFill === HEADER_BYTES) this.startFrame();
        continue;
      }
      const n = Math.min(this.payload.length - this.payloadFill, chunk.length - offset);
      chunk.copy(this.payload, this.payloadFill, offset, offset + n);
      this.payloadFill += n;
      offset += n;
      if (this.payloadFill === this.payload.length) this.finishFrame();
    }
  }

  /** The pipe ended: a frame cut short is reported. */
  end(): void {
    if (this.broken) return;
    if (this.payload !== undefined || this.headerFill > 0) {
      const got = this.payload !== undefined ? HEADER_BYTES + this.payloadFill : this.headerFill;
      this.fail(
        { code: 'torn-frame', message: `the pipe ended inside a frame after ${got} bytes` },
        undefined,
      );
    }
  }

  private startFrame(): void {
    this.headerFill = 0;
    const width = this.header.readInt32LE(0);
    const height = this.header.readInt32LE(4);
    const length = this.header.readInt32LE(8);
    const fault = checkHeader(width, height, length);
    if (fault !== undefined) {
      this.fail(fault, Buffer.from(this.header));
      return;
    }
    this.width = width;
    this.height = height;
    const reused = this.pool.pop();
    if (reused !== undefined && reused.length !== length) this.pool.length = 0;
    this.payload =
      reused !== undefined && reused.length === length ? reused : Buffer.allocUnsafeSlow(length);
    this.payloadFill = 0;
  }

  private finishFrame(): void {
    const data = this.payload as Buffer;
    this.payload = undefined;
    this.counters.frames++;
    let released = false;
    this.onFrame(
      makeFrame(this.channel, this.width, this.height, data, () => {
        if (released) return;
        released = true;
        if (this.pool.length < POOL_SIZE) this.pool.push(data);
      }),
    );
  }

  private fail({ code, message }: ChannelFault, header: Buffer | undefined): void {
    this.broken = true;
    this.payload = undefined;
    this.counters.errors++;
    this.onError({ channel: this.channel, code, message, header });
  }
}

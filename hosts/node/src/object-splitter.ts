// Cuts the byte stream of descriptor 4 into top-level JSON objects. Nothing separates one object
// from the next, so braces are counted outside strings; the state survives chunk boundaries, so
// any split of the stream yields the same objects. Bytes outside objects other than white space
// are reported, and so is an object that grows past `maxObjectBytes` (it is dropped and the
// splitter starts afresh with the next byte).
import type { ProtocolErrorCode } from './errors';

const OPEN = 0x7b; // {
const CLOSE = 0x7d; // }
const QUOTE = 0x22; // "
const BACKSLASH = 0x5c;

export const DEFAULT_MAX_OBJECT_BYTES = 16 * 1024 * 1024;

export interface SplitterSink {
  object(bytes: Buffer): void;
  stray(bytes: Buffer, reason: string, code: StrayCode): void;
}

/** What a stray piece of the stream is. */
export type StrayCode = Extract<
  ProtocolErrorCode,
  'stray-bytes' | 'object-too-long' | 'unfinished-object'
>;

function isWhiteSpace(byte: number): boolean {
  return byte === 0x20 || byte === 0x0a || byte === 0x0d || byte === 0x09;
}

export class ObjectSplitter {
  private depth = 0;
  private inString = false;
  private escaped = false;
  private pending: Buffer[] = []; // earlier pieces of the object being read
  private pendingBytes = 0;

  constructor(
    private readonly sink: SplitterSink,
    private readonly maxObjectBytes = DEFAULT_MAX_OBJECT_BYTES,
  ) {}

  feed(chunk: Buffer): void {
    let start = this.depth > 0 ? 0 : -1; // where the current object begins in this chunk
    let strayStart = -1;
    for (let i = 0; i < chunk.length; i++) {
      const byte = chunk[i];
      if (this.depth === 0) {
        if (byte === OPEN) {
          if (strayStart >= 0) {
            this.sink.stray(
              chunk.subarray(strayStart, i),
              'bytes outside any object',
              'stray-bytes',
            );
            strayStart = -1;
          }
          this.depth = 1;
          start = i;
        } else if (strayStart < 0 && !isWhiteSpace(byte)) {
          strayStart = i;
        }
        continue;
      }
      if (this.inString) {
        if (this.escaped) this.escaped = false;
        else if (byte === BACKSLASH) this.escaped = true;
        else if (byte === QUOTE) this.inString = false;
        continue;
      }
      if (byte === QUOTE) this.inString = true;
      else if (byte === OPEN) this.depth++;
      else if (byte === CLOSE && --this.depth === 0) {
        this.finish(chunk.subarray(start, i + 1));
        start = -1;
      }
    }
    if (strayStart >= 0)
      this.sink.stray(chunk.subarray(strayStart), 'bytes outside any object', 'stray-bytes');
    if (start >= 0) this.keep(chunk.subarray(start));
  }

  /** Reports an object left unfinished at the end of the stream. */
  end(): void {
    if (this.depth > 0) {
      const bytes = Buffer.concat(this.pending, this.pendingBytes);
      this.reset();
      this.sink.stray(bytes, 'the stream ended inside an object', 'unfinished-object');
    }
  }

  private finish(tail: Buffer): void {
    if (this.pending.length === 0) {
      this.sink.object(tail);
      return;
    }
    this.pending.push(tail);
    const bytes = Buffer.concat(this.pending, this.pendingBytes + tail.length);
    this.pending = [];
    this.pendingBytes = 0;
    if (bytes.length > this.maxObjectBytes) {
      this.sink.stray(
        bytes.subarray(0, 256),
        `an object longer than ${this.maxObjectBytes} bytes`,
        'object-too-long',
      );
      return;
    }
    this.sink.object(bytes);
  }

  private keep(piece: Buffer): void {
    // Copy: the chunk's memory may be reused by whoever handed it in.
    this.pending.push(Buffer.from(piece));
    this.pendingBytes += piece.length;
    if (this.pendingBytes > this.maxObjectBytes) {
      const head = Buffer.concat(this.pending, this.pendingBytes).subarray(0, 256);
      this.reset();
      this.sink.stray(
        head,
        `an object longer than ${this.maxObjectBytes} bytes`,
        'object-too-long',
      );
    }
  }

  private reset(): void {
    this.depth = 0;
    this.inString = false;
    this.escaped = false;
    this.pending = [];
    this.pendingBytes = 0;
  }
}

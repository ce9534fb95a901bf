// Pieces shared by the sessions that Windows Node.js runs against Quorlane.exe: splitting
// descriptor 4 into objects and rebuilding the frames of a channel.
'use strict';

// Splits descriptor 4's byte stream into top-level objects (braces counted outside strings).
class ObjectSplitter {
  constructor() {
    this.pending = '';
    this.depth = 0;
    this.inString = false;
    this.escaped = false;
  }
  feed(text, onObject) {
    for (const c of text) {
      if (this.depth === 0 && c !== '{') continue;
      this.pending += c;
      if (this.inString) {
        if (this.escaped) this.escaped = false;
        else if (c === '\\') this.escaped = true;
        else if (c === '"') this.inString = false;
      } else if (c === '"') {
        this.inString = true;
      } else if (c === '{') {
        ++this.depth;
      } else if (c === '}' && --this.depth === 0) {
        onObject(this.pending);
        this.pending = '';
      }
    }
  }
}

// Rebuilds frames of one channel: a 12-byte header (width, height, length: little-endian
// int32) and a planar YUV 4:2:0 payload whose length must match the size.
class FrameReader {
  constructor(channel) {
    this.channel = channel;
    this.buffer = Buffer.alloc(0);
    this.frames = 0;
    this.last = null;
    this.error = null;
  }
  feed(chunk) {
    this.buffer = Buffer.concat([this.buffer, chunk]);
    while (this.buffer.length >= 12 && !this.error) {
      const width = this.buffer.readInt32LE(0);
      const height = this.buffer.readInt32LE(4);
      const length = this.buffer.readInt32LE(8);
      const luma = width * height;
      const chroma = ((width + 1) >> 1) * ((height + 1) >> 1);
      if (width <= 0 || height <= 0 || length !== luma + 2 * chroma) {
        this.error = `channel ${this.channel}: bad header ${width}x${height} ${length}`;
        return;
      }
      if (this.buffer.length < 12 + length) return;
      const payload = this.buffer.subarray(12, 12 + length);
      // The first sample of each plane, in the order sent.
      this.last = { width, height, planes: [payload[0], payload[luma], payload[luma + chroma]] };
      this.frames += 1;
      this.buffer = this.buffer.subarray(12 + length);
    }
  }
}

module.exports = { ObjectSplitter, FrameReader };

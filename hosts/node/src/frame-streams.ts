// The frame streams of one bridge (`bridge.frames()`): every frame goes to each stream of its
// channel. A frame that only one stream holds, and that no listener saw, is released back to its
// channel's pool once that stream drops it unread; a frame that nobody takes is released at once.
import { AsyncQueue } from './async-queue';
import type { Frame } from './frames';

interface Stream {
  readonly channel: number | undefined;
  readonly queue: AsyncQueue<Frame>;
}

export class FrameStreams {
  private readonly streams = new Set<Stream>();
  // Frames that one stream holds alone: dropping them unread hands their memory back.
  private readonly heldAlone = new WeakSet<Frame>();
  private ended = false;

  /** A new stream of the frames of `channel` (every channel when undefined). */
  open(channel: number | undefined, limit: number): AsyncQueue<Frame> {
    const queue: AsyncQueue<Frame> = new AsyncQueue<Frame>(
      { limit, onDrop: (frame) => this.dropped(frame) },
      () => this.streams.delete(stream),
    );
    const stream: Stream = { channel, queue };
    if (this.ended) queue.end();
    else this.streams.add(stream);
    return queue;
  }

  /** Hands a frame to the streams of its channel; `seen` when a listener got it as well. */
  deliver(frame: Frame, seen: boolean): void {
    let taking = 0;
    for (const stream of this.streams)
      if (stream.channel === undefined || stream.channel === frame.channel) taking++;
    if (taking === 0) {
      if (!seen) frame.release();
      return;
    }
    if (taking === 1 && !seen) this.heldAlone.add(frame);
    for (const stream of this.streams)
      if (stream.channel === undefined || stream.channel === frame.channel)
        stream.queue.push(frame);
  }

  /** The bridge has ended: each stream gives what it holds, then its end. */
  endAll(): void {
    this.ended = true;
    for (const { queue } of this.streams) queue.end();
    this.streams.clear();
  }

  private dropped(frame: Frame): void {
    if (this.heldAlone.delete(frame)) frame.release();
  }
}

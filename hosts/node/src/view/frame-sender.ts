import type { WebSocket } from 'ws';

/**
 * Sends one channel's frames to one page, never more than one at a time: while a frame is on its
 * way, a newer one replaces the one waiting, so a slow page sees the latest picture and the
 * memory held stays at two frames per channel.
 */
export class FrameSender {
  skipped = 0;
  private sending = false;
  private waiting: ArrayBuffer | undefined;

  constructor(private readonly socket: WebSocket) {}

  offer(message: ArrayBuffer): void {
    if (this.sending) {
      if (this.waiting) this.skipped++;
      this.waiting = message;
      return;
    }
    this.send(message);
  }

  private send(message: ArrayBuffer): void {
    this.sending = true;
    this.socket.send(message, { binary: true }, () => {
      this.sending = false;
      const next = this.waiting;
      this.waiting = undefined;
      if (next && this.socket.readyState === this.socket.OPEN) this.send(next);
    });
  }
}

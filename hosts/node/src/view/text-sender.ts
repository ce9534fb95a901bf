import type { WebSocket } from 'ws';

/** The part of a WebSocket that a TextSender uses. */
export type TextSocket = Pick<WebSocket, 'send' | 'readyState' | 'OPEN'>;

/**
 * Sends one page its text messages with a bound on what is on its way: past `maxPendingBytes`
 * not yet written to the connection, texts are skipped, and once the page has caught up it first
 * gets `notice(count)` of the counted ones it missed. A page that stops reading holds this
 * process's memory to the bound.
 */
export class TextSender {
  private pendingBytes = 0;
  private missed = 0;

  constructor(
    private readonly socket: TextSocket,
    private readonly notice: (missed: number) => string,
    private readonly maxPendingBytes = 1 << 20,
  ) {}

  /** Sends `text`, or skips it while the page is behind; `counted` skips go into the notice. */
  offer(text: string, counted = true): void {
    if (this.socket.readyState !== this.socket.OPEN) return;
    if (this.pendingBytes >= this.maxPendingBytes) {
      if (counted) this.missed++;
      return;
    }
    if (this.missed > 0) {
      const missed = this.missed;
      this.missed = 0;
      this.send(this.notice(missed));
    }
    this.send(text);
  }

  private send(text: string): void {
    const bytes = Buffer.byteLength(text);
    this.pendingBytes += bytes;
    this.socket.send(text, () => (this.pendingBytes -= bytes));
  }
}

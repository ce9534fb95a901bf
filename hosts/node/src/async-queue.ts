// A queue read as an async iterator. The producer never waits: when more than `limit` items are
// waiting, the oldest are dropped and counted in `skipped` (limit 1 keeps only the newest). A
// dropped item is let go at once, so a consumer that never reads holds `limit` items, no more.
import { outOfRange } from './errors';

export interface QueueOptions<T = unknown> {
  /** Items kept for a consumer that is behind (default: no limit). */
  limit?: number;
  /** Called with every item dropped unread: skipped, or still waiting when the loop is left. */
  onDrop?: (item: T) => void;
}

// Dropped slots at the front are cut off once there are this many and they are most of the array.
const COMPACT_AT = 1024;

export class AsyncQueue<T> implements AsyncIterableIterator<T> {
  /** Items dropped because the consumer was behind. */
  skipped = 0;
  private items: Array<T | undefined> = [];
  private head = 0;
  private readonly waiters: Array<(result: IteratorResult<T>) => void> = [];
  private ended = false;
  private readonly limit: number;
  private readonly onDrop: ((item: T) => void) | undefined;

  constructor(
    options: QueueOptions<T> = {},
    private readonly onReturn?: () => void,
  ) {
    this.limit = options.limit ?? Infinity;
    if (!(this.limit >= 1)) throw outOfRange('the queue limit must be at least 1');
    this.onDrop = options.onDrop;
  }

  push(item: T): void {
    if (this.ended) return;
    const waiter = this.waiters.shift();
    if (waiter !== undefined) {
      waiter({ value: item, done: false });
      return;
    }
    this.items.push(item);
    while (this.items.length - this.head > this.limit) {
      this.skipped++;
      this.drop(this.take());
    }
  }

  /** No more items: the consumer gets what is queued, then the end. */
  end(): void {
    if (this.ended) return;
    this.ended = true;
    for (const waiter of this.waiters.splice(0)) waiter({ value: undefined, done: true });
  }

  get waiting(): number {
    return this.items.length - this.head;
  }

  next(): Promise<IteratorResult<T>> {
    if (this.head < this.items.length) return Promise.resolve({ value: this.take(), done: false });
    if (this.ended) return Promise.resolve({ value: undefined, done: true });
    return new Promise((resolve) => this.waiters.push(resolve));
  }

  /** Leaves the loop: what is still waiting is dropped, and the queue ends. */
  return(): Promise<IteratorResult<T>> {
    while (this.head < this.items.length) this.drop(this.take());
    this.end();
    this.onReturn?.();
    return Promise.resolve({ value: undefined, done: true });
  }

  [Symbol.asyncIterator](): AsyncIterableIterator<T> {
    return this;
  }

  // Removes the oldest item; its slot no longer holds it.
  private take(): T {
    const item = this.items[this.head] as T;
    this.items[this.head++] = undefined;
    if (this.head === this.items.length) {
      this.items.length = 0;
      this.head = 0;
    } else if (this.head >= COMPACT_AT && this.head * 2 >= this.items.length) {
      this.items = this.items.slice(this.head);
      this.head = 0;
    }
    return item;
  }

  private drop(item: T): void {
    this.onDrop?.(item);
  }
}

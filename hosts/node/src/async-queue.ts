// A queue read as an async iterator. The producer never waits: when more than `limit` items are
// waiting, the oldest are dropped and counted in `skipped` (limit 1 keeps only the newest).

export interface QueueOptions {
  limit?: number;
}

export class AsyncQueue<T> implements AsyncIterableIterator<T> {
  /** Items dropped because the consumer was behind. */
  skipped = 0;
  private readonly items: T[] = [];
  private head = 0;
  private readonly waiters: Array<(result: IteratorResult<T>) => void> = [];
  private ended = false;
  private readonly limit: number;

  constructor(
    options: QueueOptions = {},
    private readonly onReturn?: () => void,
  ) {
    this.limit = options.limit ?? Infinity;
    if (!(this.limit >= 1)) throw new RangeError('the queue limit must be at least 1');
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
      this.head++;
      this.skipped++;
    }
    if (this.head > 1024 && this.head * 2 > this.items.length) {
      this.items.splice(0, this.head);
      this.head = 0;
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
    if (this.head < this.items.length) {
      const value = this.items[this.head];
      this.items[this.head++] = undefined as T;
      if (this.head === this.items.length) {
        this.items.length = 0;
        this.head = 0;
      }
      return Promise.resolve({ value, done: false });
    }
    if (this.ended) return Promise.resolve({ value: undefined, done: true });
    return new Promise((resolve) => this.waiters.push(resolve));
  }

  return(): Promise<IteratorResult<T>> {
    this.items.length = 0;
    this.head = 0;
    this.end();
    this.onReturn?.();
    return Promise.resolve({ value: undefined, done: true });
  }

  [Symbol.asyncIterator](): AsyncIterableIterator<T> {
    return this;
  }
}

import { EventEmitter } from 'node:events';
import type { EntryKind, TranscriptEntry } from './page/messages';

/** The running transcript of a view session; keeps the latest entries for pages that join late. */
export class Transcript extends EventEmitter<{ entry: [TranscriptEntry] }> {
  private readonly entries: TranscriptEntry[] = [];
  private readonly started = Date.now();

  constructor(private readonly keep = 500) {
    super();
  }

  /** Seconds since the transcript started. */
  elapsed(): number {
    return (Date.now() - this.started) / 1000;
  }

  add(kind: EntryKind, text: string): void {
    const entry = { time: this.elapsed(), kind, text };
    this.entries.push(entry);
    if (this.entries.length > this.keep) this.entries.shift();
    this.emit('entry', entry);
  }

  history(): readonly TranscriptEntry[] {
    return this.entries;
  }
}

import { EventEmitter } from 'node:events';
import type { EntryKind, TranscriptEntry } from './page/messages';

/** What an entry may carry besides its text. */
export type EntryExtras = Pick<TranscriptEntry, 'mark' | 'fold'>;

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

  /** Adds an entry; one of a fold already kept takes that entry's place, counted. */
  add(kind: EntryKind, text: string, extras: EntryExtras = {}): void {
    const entry: TranscriptEntry = { time: this.elapsed(), kind, text, ...extras };
    const folded =
      extras.fold === undefined ? -1 : this.entries.findIndex((kept) => kept.fold === extras.fold);
    if (folded >= 0) {
      const repeats = (this.entries[folded]!.repeats ?? 1) + 1;
      this.entries[folded] = { ...entry, repeats };
      this.emit('entry', this.entries[folded]!);
      return;
    }
    this.entries.push(entry);
    if (this.entries.length > this.keep) this.entries.shift();
    this.emit('entry', entry);
  }

  history(): readonly TranscriptEntry[] {
    return this.entries;
  }
}

import type { TranscriptEntry } from './messages';

const MAX_ROWS = 400;

/** The transcript list: newest at the bottom, kept in view while the user has not scrolled up. */
export class TranscriptView {
  constructor(private readonly list: HTMLElement) {}

  add(entry: TranscriptEntry): void {
    const following = this.list.scrollTop + this.list.clientHeight >= this.list.scrollHeight - 4;
    const row = document.createElement('div');
    row.className = `entry ${entry.kind}${entry.mark === undefined ? '' : ' marked'}`;
    const time = document.createElement('span');
    time.className = 'time';
    time.textContent = entry.time.toFixed(3);
    const kind = document.createElement('span');
    kind.className = 'kind';
    kind.textContent = entry.kind;
    const text = document.createElement('span');
    text.className = 'text';
    text.textContent = entry.text;
    if (entry.mark !== undefined) {
      const mark = document.createElement('span');
      mark.className = 'mark';
      mark.textContent = ` ⚠ ${entry.mark}`;
      text.append(mark);
    }
    if (entry.repeats !== undefined) {
      const repeats = document.createElement('span');
      repeats.className = 'repeats';
      repeats.textContent = ` ×${entry.repeats}`;
      text.append(repeats);
    }
    row.append(time, kind, text);
    // A fold's latest entry takes the place of its line.
    const folded =
      entry.fold === undefined
        ? undefined
        : this.list.querySelector(`[data-fold="${CSS.escape(entry.fold)}"]`);
    if (entry.fold !== undefined) row.dataset['fold'] = entry.fold;
    if (folded) folded.replaceWith(row);
    else this.list.append(row);
    while (this.list.childElementCount > MAX_ROWS) this.list.firstElementChild?.remove();
    if (following) this.list.scrollTop = this.list.scrollHeight;
  }
}

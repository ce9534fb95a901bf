import type { TranscriptEntry } from './messages';

const MAX_ROWS = 400;

/** The transcript list: newest at the bottom, kept in view while the user has not scrolled up. */
export class TranscriptView {
  constructor(private readonly list: HTMLElement) {}

  add(entry: TranscriptEntry): void {
    const following = this.list.scrollTop + this.list.clientHeight >= this.list.scrollHeight - 4;
    const row = document.createElement('div');
    row.className = `entry ${entry.kind}`;
    const time = document.createElement('span');
    time.className = 'time';
    time.textContent = entry.time.toFixed(3);
    const kind = document.createElement('span');
    kind.className = 'kind';
    kind.textContent = entry.kind;
    const text = document.createElement('span');
    text.className = 'text';
    text.textContent = entry.text;
    row.append(time, kind, text);
    this.list.append(row);
    while (this.list.childElementCount > MAX_ROWS) this.list.firstElementChild?.remove();
    if (following) this.list.scrollTop = this.list.scrollHeight;
  }
}

import type { SessionState, SessionStatus } from './messages';

const STATUS_TEXT: Record<Exclude<SessionStatus, 'ready'>, string> = {
  running: 'running…',
  passed: 'done: press it to run it again',
  failed: 'stopped: see the transcript',
};

/** The band at the top of the page: the sessions on offer, each a button with how it stands, and
 * what the view watches. */
export class SessionBar {
  constructor(
    private readonly list: HTMLElement,
    private readonly about: HTMLElement,
    private readonly run: (session: string) => void,
  ) {}

  showAbout(text: string): void {
    this.about.textContent = text;
  }

  show(sessions: readonly SessionState[]): void {
    const busy = sessions.some((session) => session.status === 'running');
    this.list.replaceChildren(
      ...sessions.map((session) => {
        const item = document.createElement('span');
        item.className = 'session';
        item.id = `session-${session.name}`;
        item.dataset['status'] = session.status;
        const button = document.createElement('button');
        button.className = 'primary';
        button.textContent = session.label;
        // One session at a time; a finished one may run again.
        button.disabled = busy;
        button.addEventListener('click', () => this.run(session.name));
        const note = document.createElement('span');
        note.className = 'note';
        note.textContent = session.status === 'ready' ? session.hint : STATUS_TEXT[session.status];
        item.append(button, note);
        return item;
      }),
    );
  }
}

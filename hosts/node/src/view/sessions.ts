import { EventEmitter } from 'node:events';
import type { SessionState, SessionStatus } from './page/messages';
import { runSession, type SessionHost } from './session-runner';
import type { SessionScript } from './session-script';
import { viewError } from './view-error';

/** A session the view offers: a script, its name for the page and a line on what it does. */
export interface SessionOffer {
  readonly name: string;
  readonly label: string;
  readonly hint: string;
  readonly script: SessionScript;
}

interface Entry {
  readonly offer: SessionOffer;
  status: SessionStatus;
  readonly firstRun: Promise<boolean>;
  settleFirstRun(passed: boolean): void;
}

/**
 * The sessions a view offers, one running at a time: their states for the pages ('change' when
 * one changes), and their runs, started by a page or by the view itself.
 */
export class Sessions extends EventEmitter<{ change: [] }> {
  private readonly entries = new Map<string, Entry>();
  private running = false;

  constructor(
    private readonly host: SessionHost,
    offers: readonly SessionOffer[],
  ) {
    super();
    for (const offer of offers) {
      let settleFirstRun!: (passed: boolean) => void;
      const firstRun = new Promise<boolean>((resolve) => (settleFirstRun = resolve));
      this.entries.set(offer.name, { offer, status: 'ready', firstRun, settleFirstRun });
    }
  }

  list(): SessionState[] {
    return [...this.entries.values()].map(({ offer, status }) => ({
      name: offer.name,
      label: offer.label,
      hint: offer.hint,
      status,
    }));
  }

  /** Settles when the session `name` has run for the first time: true when every step passed. */
  firstRun(name: string): Promise<boolean> {
    const entry = this.entries.get(name);
    if (entry === undefined) throw viewError(`no session "${name}"`, 'no-session');
    return entry.firstRun;
  }

  /** Runs a session; one that is asked for while another runs is refused, in the transcript. */
  async run(name: string): Promise<void> {
    const entry = this.entries.get(name);
    if (entry === undefined) {
      this.host.transcript.add('failure', `there is no session "${name}"`);
      return;
    }
    if (this.running) {
      this.host.transcript.add('failure', `${entry.offer.label}: another session is running`);
      return;
    }
    this.running = true;
    this.update(entry, 'running');
    this.host.transcript.add('note', `${entry.offer.label}: started`);
    let passed = false;
    try {
      passed = await runSession(entry.offer.script, this.host);
    } finally {
      this.running = false;
      this.update(entry, passed ? 'passed' : 'failed');
      entry.settleFirstRun(passed);
    }
  }

  private update(entry: Entry, status: SessionStatus): void {
    entry.status = status;
    this.emit('change');
  }
}

// Text messages on the view's WebSocket (frames travel as binary frame messages).

export type EntryKind =
  | 'command'
  | 'reply'
  | 'event'
  | 'control'
  | 'protocolError'
  | 'stderr'
  | 'note'
  | 'failure'
  | 'exit';

/** One line of the running transcript. */
export interface TranscriptEntry {
  /** Seconds since the view started. */
  readonly time: number;
  readonly kind: EntryKind;
  readonly text: string;
  /** What is wrong with it, said beside it: an unknown command, a reply that tells of a failure. */
  readonly mark?: string;
  /** Entries of one fold (a stream's quality updates) share a line: the latest replaces it. */
  readonly fold?: string;
  /** How many entries the line has held, for a fold. */
  readonly repeats?: number;
}

/** A button of the page: a command it sends. */
export interface CommandButton {
  readonly label: string;
  readonly command: { readonly type: string; readonly param?: unknown };
}

export interface ChannelStats {
  readonly frames: number;
  readonly bytes: number;
  /** Frames not sent to this page because it was still busy with an earlier one. */
  readonly skipped: number;
  /** It had frames and they stopped: a command stopped it, or none came for a while. */
  readonly stopped: boolean;
}

export type SessionStatus = 'ready' | 'running' | 'passed' | 'failed';

/** A session the view offers (the demo session, a session script) and how it stands. */
export interface SessionState {
  readonly name: string;
  readonly label: string;
  /** What the session does, in a few words. */
  readonly hint: string;
  readonly status: SessionStatus;
}

export type ServerMessage =
  | { readonly kind: 'transcript'; readonly entry: TranscriptEntry }
  | { readonly kind: 'stats'; readonly channels: readonly ChannelStats[] }
  /** First on every connection: what the view is watching, and its buttons (none when scripted). */
  | { readonly kind: 'hello'; readonly about: string; readonly buttons: readonly CommandButton[] }
  | { readonly kind: 'sessions'; readonly sessions: readonly SessionState[] };

export type PageMessage =
  | { readonly kind: 'command'; readonly command: object }
  | { readonly kind: 'run'; readonly session: string };

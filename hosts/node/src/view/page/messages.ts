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
}

export interface ChannelStats {
  readonly frames: number;
  readonly bytes: number;
  /** Frames not sent to this page because it was still busy with an earlier one. */
  readonly skipped: number;
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
  /** First on every connection: what the view is watching. */
  | { readonly kind: 'hello'; readonly about: string }
  | { readonly kind: 'sessions'; readonly sessions: readonly SessionState[] };

export type PageMessage =
  | { readonly kind: 'command'; readonly command: object }
  | { readonly kind: 'run'; readonly session: string };

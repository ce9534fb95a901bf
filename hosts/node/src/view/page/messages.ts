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

export type ServerMessage =
  | { readonly kind: 'transcript'; readonly entry: TranscriptEntry }
  | { readonly kind: 'stats'; readonly channels: readonly ChannelStats[] };

export type PageMessage = { readonly kind: 'command'; readonly command: object };

// The bridge's log lines as they reach its standard output with QUORLANE_LOG_STDOUT=1:
// "2026-12-08 10:15:02.123 LOG_ERROR LoginRoom(demo, 1, Demo), failed (SdkZegoRoom.cpp):153 ",
// the level name padded to nine characters, the source part absent for some lines.

export type LogLevel = 'trace' | 'debug' | 'info' | 'warn' | 'error' | 'alarm' | 'fatal';

/** One log line of the bridge, on the `'log'` event. */
export interface LogEntry {
  /** As the bridge wrote it: its local time, `YYYY-MM-DD HH:MM:SS.mmm`. */
  time: string;
  level: LogLevel;
  text: string;
  /** The source file that logged it, when the line names one. */
  file?: string;
  line?: number;
}

const LINE =
  /^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) LOG_(TRACE|DEBUG|INFO |WARN |ERROR|ALARM|FATAL) (.*?)(?: \(([^()]+)\):(\d+))? ?$/;

/** The log line in `text`, or undefined for any other line. */
export function parseLogLine(text: string): LogEntry | undefined {
  const m = LINE.exec(text);
  if (m === null) return undefined;
  const entry: LogEntry = {
    time: m[1],
    level: m[2].trimEnd().toLowerCase() as LogLevel,
    text: m[3],
  };
  if (m[4] !== undefined) {
    entry.file = m[4];
    entry.line = Number(m[5]);
  }
  return entry;
}

/** Whether a line of this level reports a failure. */
export function isFailure(level: LogLevel): boolean {
  return level === 'error' || level === 'fatal';
}

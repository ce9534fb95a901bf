// The view's errors carry a code, as the package's others do; the message is for people.

export type ViewErrorCode =
  /** A command-line option that is unknown, lacks its value or has a bad one. */
  | 'bad-option'
  /** No bridge at the path given with --executable. */
  | 'no-bridge'
  /** Neither the package nor the repository holds demo.qhs. */
  | 'no-demo-session'
  /** A session the view does not offer. */
  | 'no-session';

export function viewError(message: string, code: ViewErrorCode): Error & { code: ViewErrorCode } {
  return Object.assign(new Error(message), { code });
}

import { randomBytes, timingSafeEqual } from 'node:crypto';
import type { IncomingMessage } from 'node:http';

/** The names the view answers to; any other Host is another site's (DNS rebinding). */
const OWN_HOSTS = ['127.0.0.1', 'localhost'];

/**
 * Who may use the view: a request whose Host is the view's own address, and a socket that in
 * addition comes from the view's own page (its Origin) and carries the per-run secret of the
 * printed address. A WebSocket is not bound by the browser's same-origin rules, so without these
 * any page open in the user's browser could drive the bridge.
 */
export class PageAccess {
  /** 192 random bits, new for each run. */
  readonly secret = randomBytes(24).toString('base64url');

  pageUrl(port: number): string {
    return `http://127.0.0.1:${port}/?token=${this.secret}`;
  }

  /** Why a request is refused, or undefined when its Host is the view's own. */
  refuseRequest(request: IncomingMessage, port: number): string | undefined {
    const host = request.headers.host?.toLowerCase();
    if (host === undefined || !OWN_HOSTS.some((name) => host === `${name}:${port}`))
      return `quorlane-view answers only to 127.0.0.1:${port} and localhost:${port}`;
    return undefined;
  }

  /** Why a socket is refused, or undefined when it comes from the view's own page with its secret. */
  refuseSocket(request: IncomingMessage, port: number): string | undefined {
    const refusal = this.refuseRequest(request, port);
    if (refusal !== undefined) return refusal;
    if (request.headers.origin?.toLowerCase() !== `http://${request.headers.host?.toLowerCase()}`)
      return 'only the view page itself may connect';
    const token = new URL(request.url ?? '/', 'http://view').searchParams.get('token') ?? '';
    if (!this.matches(token)) return 'no or wrong token: open the address quorlane-view printed';
    return undefined;
  }

  private matches(token: string): boolean {
    const given = Buffer.from(token);
    const expected = Buffer.from(this.secret);
    return given.length === expected.length && timingSafeEqual(given, expected);
  }
}

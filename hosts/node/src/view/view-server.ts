import { createServer, type IncomingMessage, type Server, type ServerResponse } from 'node:http';
import type { AddressInfo } from 'node:net';
import type { Duplex } from 'node:stream';
import { WebSocketServer, type RawData, type WebSocket } from 'ws';
import type { Bridge } from '../bridge';
import { CHANNELS } from '../channels';
import type { Frame } from '../frames';
import { encodeFrameMessage } from '../renderer/frame-message';
import { browserModuleScript, compiledRoot } from './browser-modules';
import { FrameSender } from './frame-sender';
import { pageHtml } from './page-html';
import { PageAccess } from './page-access';
import type { CommandButton, PageMessage, ServerMessage, TranscriptEntry } from './page/messages';
import { Sessions, type SessionOffer } from './sessions';
import { TextSender } from './text-sender';
import { Transcript } from './transcript';
import { commandMark, eventFold, replyMark } from './transcript-marks';

export interface ViewServerOptions {
  /** Port on 127.0.0.1; 0 (default) takes a free one. */
  readonly port?: number;
  /** A line on what the view watches, at the top of the page. */
  readonly about?: string;
  /** The sessions a page can run. */
  readonly sessions?: readonly SessionOffer[];
  /** The session to run once the first page has connected, so that it sees all of it. */
  readonly runOnFirstPage?: string;
  /** The page's buttons, each a command (none by default). */
  readonly buttons?: readonly CommandButton[];
}

// A channel that had frames and got none for this long shows as stopped.
const STOPPED_AFTER_MS = 2000;

// The channels each command stops; a later frame on one shows it live again.
const STOPS: Readonly<Record<string, readonly number[]>> = {
  StopPreview: [0],
  CloseCamera: [0],
  StopPushRtmp: [0],
  ExitRoom: [1, 2, 3, 4],
  Logout: [0, 1, 2, 3, 4],
};

// The page holds its secret in its address: it goes to no other site, nor into a frame of one.
const PAGE_HEADERS = { 'referrer-policy': 'no-referrer', 'x-frame-options': 'DENY' };

// What one connected page is sent: frames per channel, and texts, each with a bound.
interface Page {
  readonly frames: FrameSender[];
  readonly texts: TextSender;
}

/**
 * Serves the view page for a running bridge on 127.0.0.1 and relays the bridge to every page
 * connected on /socket: frames as binary messages, the transcript and counters as JSON texts,
 * and the commands and sessions the page asks for. Only its own page gets in: see PageAccess.
 */
export class ViewServer {
  readonly transcript = new Transcript();
  readonly sessions: Sessions;
  private readonly http: Server;
  private readonly sockets: WebSocketServer;
  private readonly access = new PageAccess();
  private readonly pages = new Map<WebSocket, Page>();
  private readonly statsTimer: NodeJS.Timeout;
  private moduleScript: string | undefined;
  // When each channel last had a frame, and when a command last stopped it (ms, Date.now()).
  private readonly lastFrame = new Array<number>(CHANNELS).fill(0);
  private readonly stoppedAt = new Array<number>(CHANNELS).fill(0);
  private runOnFirstPage: string | undefined;

  private constructor(
    readonly bridge: Bridge,
    private readonly options: ViewServerOptions,
  ) {
    this.sessions = new Sessions(this, options.sessions ?? []);
    this.sessions.on('change', () =>
      this.broadcast({ kind: 'sessions', sessions: this.sessions.list() }),
    );
    this.runOnFirstPage = options.runOnFirstPage;
    this.http = createServer((request, response) => this.serve(request, response));
    this.sockets = new WebSocketServer({ noServer: true });
    this.http.on('upgrade', (request, socket, head) => this.upgrade(request, socket, head));
    bridge.on('frame', (frame) => this.relay(frame));
    bridge.on('reply', (reply) =>
      this.transcript.add('reply', JSON.stringify(reply), { mark: replyMark(reply) }),
    );
    bridge.on('event', (event) =>
      this.transcript.add('event', JSON.stringify(event), { fold: eventFold(event) }),
    );
    bridge.on('protocolError', (error) =>
      this.transcript.add('protocolError', `${error.message}: ${error.bytes.toString('latin1')}`),
    );
    bridge.on('stderr', (line) => this.transcript.add('stderr', line));
    bridge.on('exit', (exit) =>
      this.transcript.add('exit', `the bridge ended (code ${exit.code}, signal ${exit.signal})`),
    );
    this.transcript.on('entry', (entry) => this.broadcast({ kind: 'transcript', entry }));
    this.statsTimer = setInterval(() => this.sendStats(), 1000);
    this.statsTimer.unref();
  }

  static async start(bridge: Bridge, options: ViewServerOptions = {}): Promise<ViewServer> {
    const view = new ViewServer(bridge, options);
    await new Promise<void>((resolve, reject) => {
      view.http.once('error', reject);
      view.http.listen(options.port ?? 0, '127.0.0.1', () => resolve());
    });
    return view;
  }

  /** The page's address, with the secret its socket needs. */
  get url(): string {
    return this.access.pageUrl(this.port);
  }

  get port(): number {
    return (this.http.address() as AddressInfo).port;
  }

  /** Sends a command to the bridge and writes it into the transcript. */
  async send(command: object): Promise<void> {
    this.transcript.add('command', JSON.stringify(command), { mark: commandMark(command) });
    const type = (command as { type?: unknown }).type;
    for (const channel of (typeof type === 'string' && STOPS[type]) || [])
      this.stoppedAt[channel] = Date.now();
    try {
      await this.bridge.send(command);
    } catch (error) {
      this.transcript.add('failure', `not sent: ${(error as Error).message}`);
    }
  }

  /** Closes the pages' connections and the server; the bridge is the caller's. */
  async close(): Promise<void> {
    clearInterval(this.statsTimer);
    for (const socket of this.sockets.clients) socket.terminate();
    await new Promise<void>((resolve) => this.sockets.close(() => resolve()));
    await new Promise<void>((resolve) => this.http.close(() => resolve()));
  }

  private serve(request: IncomingMessage, response: ServerResponse): void {
    const path = (request.url ?? '/').split('?')[0];
    const refusal = this.access.refuseRequest(request, this.port);
    if (refusal !== undefined) {
      response.writeHead(403, { 'content-type': 'text/plain' }).end(refusal);
    } else if (request.method !== 'GET') {
      response.writeHead(405).end();
    } else if (path === '/') {
      response
        .writeHead(200, { 'content-type': 'text/html; charset=utf-8', ...PAGE_HEADERS })
        .end(pageHtml);
    } else if (path === '/modules.js') {
      this.moduleScript ??= browserModuleScript(compiledRoot, [
        'channels.js',
        'renderer',
        'view/page',
      ]);
      response
        .writeHead(200, { 'content-type': 'text/javascript; charset=utf-8' })
        .end(this.moduleScript);
    } else {
      response.writeHead(404, { 'content-type': 'text/plain' }).end('not found');
    }
  }

  // A socket is refused before it opens, so a foreign page learns nothing from it.
  private upgrade(request: IncomingMessage, socket: Duplex, head: Buffer): void {
    // A client that resets the connection must not end the view.
    socket.on('error', () => socket.destroy());
    const path = (request.url ?? '/').split('?')[0];
    const refusal =
      path === '/socket'
        ? this.access.refuseSocket(request, this.port)
        : { status: 404, text: 'not found' };
    if (refusal !== undefined) {
      const { status, text } =
        typeof refusal === 'string' ? { status: 403, text: refusal } : refusal;
      const reason = status === 403 ? 'Forbidden' : 'Not Found';
      socket.end(
        `HTTP/1.1 ${status} ${reason}\r\nContent-Type: text/plain\r\nContent-Length: ${Buffer.byteLength(text)}\r\nConnection: close\r\n\r\n${text}`,
      );
      return;
    }
    this.sockets.handleUpgrade(request, socket, head, (ws) => this.welcome(ws));
  }

  private welcome(socket: WebSocket): void {
    const page: Page = {
      frames: Array.from({ length: CHANNELS }, () => new FrameSender(socket)),
      texts: new TextSender(socket, (missed) => this.missedNotice(missed)),
    };
    this.pages.set(socket, page);
    const welcome: ServerMessage[] = [
      { kind: 'hello', about: this.options.about ?? '', buttons: this.options.buttons ?? [] },
      { kind: 'sessions', sessions: this.sessions.list() },
      ...this.transcript.history().map((entry) => ({ kind: 'transcript' as const, entry })),
    ];
    for (const message of welcome) page.texts.offer(JSON.stringify(message));
    socket.on('message', (data, isBinary) => {
      if (!isBinary) this.onPageMessage(data);
    });
    socket.on('close', () => this.pages.delete(socket));
    socket.on('error', () => socket.terminate());
    const first = this.runOnFirstPage;
    this.runOnFirstPage = undefined;
    if (first !== undefined) void this.sessions.run(first);
  }

  private onPageMessage(data: RawData): void {
    let message: PageMessage;
    try {
      message = JSON.parse(data.toString()) as PageMessage;
    } catch {
      this.transcript.add('failure', 'the page sent a message that is not JSON');
      return;
    }
    if (
      message.kind === 'command' &&
      typeof message.command === 'object' &&
      message.command !== null
    ) {
      void this.send(message.command);
    } else if (message.kind === 'run' && typeof message.session === 'string') {
      void this.sessions.run(message.session);
    }
  }

  private relay(frame: Frame): void {
    this.lastFrame[frame.channel] = Date.now();
    if (this.pages.size === 0) return;
    const message = encodeFrameMessage(frame.channel, frame);
    for (const page of this.pages.values()) page.frames[frame.channel]?.offer(message);
  }

  private sendStats(): void {
    const now = Date.now();
    const stopped = this.lastFrame.map(
      (last, channel) =>
        last > 0 && (now - last > STOPPED_AFTER_MS || this.stoppedAt[channel]! >= last),
    );
    for (const page of this.pages.values()) {
      const channels = this.bridge.channels.map((channel, index) => ({
        frames: channel.counters.frames,
        bytes: channel.counters.bytes,
        skipped: page.frames[index]?.skipped ?? 0,
        stopped: stopped[index]!,
      }));
      // Counters come again a second later: a page that missed these needs no notice.
      page.texts.offer(JSON.stringify({ kind: 'stats', channels } satisfies ServerMessage), false);
    }
  }

  private missedNotice(missed: number): string {
    const entry: TranscriptEntry = {
      time: this.transcript.elapsed(),
      kind: 'note',
      text: `${missed} transcript entries were not sent to this page while it was behind`,
    };
    return JSON.stringify({ kind: 'transcript', entry } satisfies ServerMessage);
  }

  private broadcast(message: ServerMessage): void {
    const text = JSON.stringify(message);
    for (const page of this.pages.values()) page.texts.offer(text);
  }
}

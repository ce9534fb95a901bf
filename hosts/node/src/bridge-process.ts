// One run of the bridge executable: the child process with its descriptors 3 to 9 (and 10, 11 in
// scripted mode) connected to this process. Every output of the child (descriptors 1, 2, 4 to 9,
// 11) is read all the time, whatever the host's listeners do, so the bridge never waits on a full
// pipe; what arrives goes to the owner's sink.
import { ChildProcess, spawn, StdioOptions } from 'node:child_process';
import { Readable, Writable } from 'node:stream';
import { CHANNELS } from './channels';
import type { BridgeEvent, ProtocolError, Reply } from './events';
import { Frame, FrameAssembler, FrameError } from './frames';
import { LineSplitter } from './line-splitter';
import { MessageReader } from './message-reader';

export interface ProcessSink {
  stdout(line: string): void;
  stderr(line: string): void;
  reply(reply: Reply): void;
  event(event: BridgeEvent): void;
  protocolError(error: ProtocolError): void;
  frame(channel: number, frame: Frame): void;
  frameError(channel: number, error: FrameError): void;
  /** The process could not be started. */
  spawnError(error: NodeJS.ErrnoException): void;
  /** The process has ended and its output has been read. */
  exit(code: number | null, signal: NodeJS.Signals | null): void;
}

export interface SpawnSettings {
  executable: string;
  args: string[];
  cwd: string | undefined;
  env: NodeJS.ProcessEnv;
  scripted: boolean;
}

const live = new Set<ChildProcess>();
let exitHookInstalled = false;

// A bridge that outlived its host would keep running with nobody reading its pipes. SIGTERM ends
// it in order on POSIX; on Windows kill() would terminate it on the spot, room and login left
// behind, while the pipes this process leaves closed end it in order by themselves.
function endWithHost(child: ChildProcess): void {
  if (process.platform === 'win32') return;
  live.add(child);
  if (!exitHookInstalled) {
    exitHookInstalled = true;
    process.on('exit', () => {
      for (const c of live) c.kill('SIGTERM');
    });
  }
}

export class BridgeProcess {
  readonly assemblers: FrameAssembler[] = [];
  /** The simulated SDK's control channel (scripted mode): requests in, answers out. */
  readonly control: [Writable, Readable] | undefined;
  private readonly child: ChildProcess;
  private readonly commands: Writable;
  // The reading ends of descriptors 4 to 9, closed by closePipes().
  private readonly hostReads: Readable[] = [];

  constructor(settings: SpawnSettings, sink: ProcessSink) {
    const stdio: StdioOptions = [
      'ignore',
      ...new Array<'pipe'>(settings.scripted ? 11 : 9).fill('pipe'),
    ];
    this.child = spawn(settings.executable, settings.args, {
      cwd: settings.cwd,
      env: settings.env,
      stdio,
      // A process group of its own on POSIX: a Ctrl-C in the terminal signals the whole
      // foreground group, and would end the bridge at once instead of through close(). Detached
      // on Windows too, outside the job object that would terminate it along with this process:
      // a host that dies leaves its pipes closed, and the bridge switches everything off, leaves
      // the room and ends by itself within its own bound.
      detached: true,
      windowsHide: true,
    });
    const pipe = (fd: number) => {
      const stream = this.child.stdio[fd] as Readable & Writable;
      stream.on('error', () => {}); // the bridge's end closing shows up as its exit
      return stream;
    };
    const read = (stream: Readable, onData: (c: Buffer) => void, onEnd: () => void) => {
      stream.on('data', onData);
      stream.on('end', onEnd);
    };

    const stdout = new LineSplitter((line) => sink.stdout(line));
    const stderr = new LineSplitter((line) => sink.stderr(line));
    read(
      pipe(1),
      (c) => stdout.feed(c),
      () => stdout.end(),
    );
    read(
      pipe(2),
      (c) => stderr.feed(c),
      () => stderr.end(),
    );
    this.commands = pipe(3);
    const messages = new MessageReader({
      reply: (reply) => sink.reply(reply),
      event: (event) => sink.event(event),
      protocolError: (error) => sink.protocolError(error),
    });
    const replies = pipe(4);
    this.hostReads.push(replies);
    read(
      replies,
      (c) => messages.feed(c),
      () => messages.end(),
    );
    for (let index = 0; index < CHANNELS; index++) {
      const assembler = new FrameAssembler(
        index,
        (frame) => sink.frame(index, frame),
        (error) => sink.frameError(index, error),
      );
      this.assemblers.push(assembler);
      const frames = pipe(5 + index);
      this.hostReads.push(frames);
      read(
        frames,
        (c) => assembler.feed(c),
        () => assembler.end(),
      );
    }
    this.control = settings.scripted ? [pipe(10), pipe(11)] : undefined;

    this.child.on('error', (error: NodeJS.ErrnoException) => {
      if (this.child.pid === undefined) sink.spawnError(error);
    });
    this.child.on('close', (code, signal) => {
      live.delete(this.child);
      sink.exit(code, signal);
    });
    if (this.child.pid !== undefined) endWithHost(this.child);
  }

  get pid(): number | undefined {
    return this.child.pid;
  }

  /** Writes a command text; rejects with the system's error when the pipe is gone. */
  write(text: string): Promise<void> {
    return new Promise((resolve, reject) => {
      this.commands.write(text, (error) => {
        if (error === undefined || error === null) resolve();
        else reject(error);
      });
    });
  }

  /** What a host that has gone leaves: descriptor 3 at its end (once what is written has gone
   * out) and nobody reading descriptors 4 to 9. Console output (1, 2) is still read. */
  closePipes(): void {
    for (const stream of this.hostReads) stream.destroy();
    this.commands.end(() => this.commands.destroy());
  }

  kill(signal: NodeJS.Signals): void {
    this.child.kill(signal);
  }
}

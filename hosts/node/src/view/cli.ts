import { existsSync, readFileSync } from 'node:fs';
import { basename, resolve, sep } from 'node:path';
import { Bridge } from '../bridge';
import { BridgeExitError } from '../errors';
import { SDK_BUILDS, type SdkBuild } from '../prebuilt-bridge';
import { demoCommands } from './demo-commands';
import { loadDemoSession } from './demo-session';
import { parseSessionScript, ScriptError, type SessionScript } from './session-script';
import type { SessionOffer } from './sessions';
import { viewError } from './view-error';
import { ViewServer } from './view-server';

const usage = `usage: quorlane-view [options]
Starts the bridge (the simulated SDK's demo room unless a script says \`scripted\`), serves a live
view of its five channels on 127.0.0.1 and prints its address, which carries a per-run token:
open that whole address (the view refuses other sites, other host names and a missing token).
  --executable PATH   the bridge (default: $QUORLANE_EXECUTABLE, else the installed prebuilt one)
  --sdk sim|vendor    the prebuilt build to start (default: sim, the simulated SDK)
  --script FILE       run a session script (quorlane-host's language) once the first page connects
  --at-once           run the script at once, without waiting for a page
  --scripted          start the simulated SDK in scripted mode even without a script saying so
  --cwd DIR           the bridge's working folder, for config.cfg and log/ (default: the per-user
                      one, ~/.local/state/quorlane or %LOCALAPPDATA%\\Quorlane)
  --port N            the port to serve on (default: a free one)
  --help              this text`;

export interface ViewOptions {
  /** The bridge; default: $QUORLANE_EXECUTABLE, else the prebuilt `sdk` build. */
  executable?: string;
  /** The prebuilt build to start when no executable is given (default 'sim'). */
  sdk?: SdkBuild;
  scriptFile?: string;
  /** Run the script at once rather than when the first page connects. */
  atOnce?: boolean;
  scripted: boolean;
  cwd?: string;
  port: number;
}

// In this repository (not installed from npm), the bridge of its plain build.
function repositoryBuild(): string | undefined {
  const packageRoot = resolve(__dirname, '..', '..');
  if (packageRoot.split(sep).includes('node_modules')) return undefined;
  const built = resolve(packageRoot, '..', '..', 'build', 'Quorlane');
  return existsSync(built) ? built : undefined;
}

/** Reads the command line; throws a 'bad-option' error with a message for the user on anything unknown. */
export function parseArguments(args: readonly string[]): ViewOptions | 'help' {
  const options: ViewOptions = { scripted: false, port: 0 };
  for (let i = 0; i < args.length; i++) {
    const arg = args[i]!;
    const value = (): string => {
      const next = args[++i];
      if (next === undefined) throw viewError(`${arg} needs a value`, 'bad-option');
      return next;
    };
    if (arg === '--help' || arg === '-h') return 'help';
    else if (arg === '--executable') options.executable = resolve(value());
    else if (arg === '--sdk') {
      const sdk = value();
      if (!SDK_BUILDS.includes(sdk as SdkBuild))
        throw viewError(`--sdk takes sim or vendor, not ${sdk}`, 'bad-option');
      options.sdk = sdk as SdkBuild;
    } else if (arg === '--script') options.scriptFile = resolve(value());
    else if (arg === '--at-once') options.atOnce = true;
    else if (arg === '--scripted') options.scripted = true;
    else if (arg === '--cwd') options.cwd = resolve(value());
    else if (arg === '--port') {
      const port = Number(value());
      if (!Number.isInteger(port) || port < 0 || port > 65535)
        throw viewError(`bad port ${args[i]}`, 'bad-option');
      options.port = port;
    } else throw viewError(`unknown option ${arg}`, 'bad-option');
  }
  return options;
}

export interface RunningView {
  readonly view: ViewServer;
  readonly bridge: Bridge;
  /** Settles when the session script (if any) has run: true when every step passed. It runs
   * once the first page has connected, or at once with `atOnce`. */
  readonly session: Promise<boolean>;
  close(): Promise<void>;
}

/** Starts the bridge and the view server. A session script runs once the first page has
 * connected (or at once); without one, the page offers the demo session. */
export async function startView(options: ViewOptions): Promise<RunningView> {
  let script: SessionScript | undefined;
  if (options.scriptFile) {
    try {
      script = parseSessionScript(readFileSync(options.scriptFile, 'utf8'));
    } catch (error) {
      if (error instanceof ScriptError) error.message = `${options.scriptFile}: ${error.message}`;
      throw error;
    }
  }
  if (options.executable !== undefined && !existsSync(options.executable))
    throw viewError(`no bridge at ${options.executable} (see --executable)`, 'no-bridge');
  const scripted = options.scripted || (script?.scripted ?? false);
  const executable =
    options.executable ||
    process.env['QUORLANE_EXECUTABLE'] ||
    (options.sdk === undefined ? repositoryBuild() : undefined);
  let bridge: Bridge;
  try {
    bridge = await Bridge.start({
      ...(executable ? { executable } : { sdk: options.sdk ?? 'sim' }),
      cwd: options.cwd,
      scripted,
    });
  } catch (error) {
    // The package's message speaks to programs (options.executable); this is a command line.
    if (error instanceof BridgeExitError && error.code === 'no-executable')
      error.message = error.message.replace('options.executable', '--executable');
    throw error;
  }
  const sessions: SessionOffer[] = [];
  if (script && options.scriptFile)
    sessions.push({
      name: 'script',
      label: `Run ${basename(options.scriptFile)}`,
      hint: 'the session script',
      script,
    });
  else if (!scripted)
    sessions.push({
      name: 'demo',
      label: 'Run the demo session',
      hint: 'tools/demo.qhs: logs in, enters the demo room, plays its streams, previews, publishes, leaves',
      script: loadDemoSession(),
    });
  const about = `bridge ${basename(bridge.executable)}, pid ${bridge.pid}${scripted ? ', simulated SDK in scripted mode' : ''}`;
  let view: ViewServer;
  try {
    view = await ViewServer.start(bridge, {
      port: options.port,
      about,
      sessions,
      runOnFirstPage: script && !options.atOnce ? 'script' : undefined,
      // In scripted mode the simulated SDK answers only the script: the demo buttons would do nothing.
      buttons: scripted ? [] : demoCommands,
    });
  } catch (error) {
    await bridge.close();
    throw error;
  }
  view.transcript.add(
    'note',
    `bridge ${bridge.executable} started (pid ${bridge.pid}), working in ${bridge.cwd}`,
  );
  view.transcript.add('reply', JSON.stringify({ code: 0, type: 'DaemonStart' }));
  if (script && options.atOnce) void view.sessions.run('script');
  const session = script ? view.sessions.firstRun('script') : Promise.resolve(true);
  return {
    view,
    bridge,
    session,
    async close() {
      await view.close();
      await bridge.close();
    },
  };
}

export async function main(args: readonly string[]): Promise<void> {
  let options: ViewOptions | 'help';
  try {
    options = parseArguments(args);
  } catch (error) {
    console.error(`quorlane-view: ${(error as Error).message}\n${usage}`);
    process.exitCode = 2;
    return;
  }
  if (options === 'help') {
    console.log(usage);
    return;
  }
  let running: RunningView;
  try {
    running = await startView(options);
  } catch (error) {
    console.error(`quorlane-view: ${(error as Error).message}`);
    process.exitCode = 1;
    return;
  }
  console.log(`quorlane-view: ${running.view.url}`);
  if (options.scriptFile && !options.atOnce)
    console.log('quorlane-view: the script starts when the first page connects');
  else if (running.view.sessions.list().some((session) => session.name === 'demo'))
    console.log('quorlane-view: open it and press "Run the demo session"');
  running.bridge.on('exit', (exit) => {
    if (exit.closed) return;
    console.error('quorlane-view: the bridge ended; stopping');
    process.exitCode = 1;
    void running.view.close();
  });
  // A Ctrl-C may come twice (from the terminal and from npx passing it on): one stop.
  let stopping = false;
  const stop = (): void => {
    if (stopping) return;
    stopping = true;
    console.log('quorlane-view: stopping the bridge');
    void running.close().then(() => process.exit(0));
  };
  process.on('SIGINT', stop);
  process.on('SIGTERM', stop);
}

// The bridge's working folder when the host names none: a folder of this user's own, never the
// folder the application or this package is installed in (often read-only, and for an installed
// Electron application the install folder or `/`). The bridge reads its `config.cfg` and writes
// its `log/` there.
import { existsSync, mkdirSync } from 'node:fs';
import { homedir } from 'node:os';
import * as path from 'node:path';
import { BridgeExitError, invalidArgument } from './errors';

/** Where the per-user folder is looked for; the defaults are this process's. */
export interface DataFolderContext {
  platform?: NodeJS.Platform;
  env?: NodeJS.ProcessEnv;
  home?: string;
}

/** The default working folder of the bridge: `%LOCALAPPDATA%\Quorlane` on Windows,
 * `$XDG_STATE_HOME/quorlane` elsewhere, `~/.local/state/quorlane` when that is not set. */
export function defaultDataFolder(context: DataFolderContext = {}): string {
  const platform = context.platform ?? process.platform;
  const env = context.env ?? process.env;
  const home = context.home ?? homedir();
  if (platform === 'win32') {
    const local = env['LOCALAPPDATA'];
    return path.win32.isAbsolute(local ?? '')
      ? path.win32.join(local!, 'Quorlane')
      : path.win32.join(home, 'AppData', 'Local', 'Quorlane');
  }
  // A relative XDG_STATE_HOME is invalid and ignored, as the XDG base directories say.
  const state = env['XDG_STATE_HOME'];
  return path.posix.isAbsolute(state ?? '')
    ? path.posix.join(state!, 'quorlane')
    : path.posix.join(home, '.local', 'state', 'quorlane');
}

// Creates a folder (for this user only) with its parents; an error says which option names it.
function create(folder: string, what: string, option: string): void {
  try {
    mkdirSync(folder, { recursive: true, mode: 0o700 });
  } catch (error) {
    throw new BridgeExitError(
      `cannot create ${what} ${folder}: ${(error as Error).message}; name another one with the ` +
        `option ${option}`,
      undefined,
      'spawn-failed',
    );
  }
}

export interface FolderOptions {
  cwd?: string;
  sdkLogDir?: string;
  env?: NodeJS.ProcessEnv;
}

/** The folders of a start: the working folder (`cwd` as given, else the default one, created
 * when missing) and the absolute folder of the SDK's own logs (`sdkLogDir`, else `log/sdk` inside
 * the working folder, created when missing; none when QUORLANE_SDK_LOG_DIR is set already). */
export function startFolders(options: FolderOptions): { cwd: string; sdkLogDir?: string } {
  let cwd: string;
  if (options.cwd !== undefined && options.cwd !== '') cwd = options.cwd;
  else {
    cwd = defaultDataFolder();
    create(cwd, "the bridge's working folder", 'cwd');
  }
  const envLogDir = options.env?.['QUORLANE_SDK_LOG_DIR'] ?? process.env['QUORLANE_SDK_LOG_DIR'];
  let sdkLogDir = options.sdkLogDir;
  if (sdkLogDir === undefined && (envLogDir ?? '') === '') sdkLogDir = path.join(cwd, 'log', 'sdk');
  if (sdkLogDir === undefined) return { cwd };
  if (typeof sdkLogDir !== 'string' || sdkLogDir === '')
    throw invalidArgument("sdkLogDir must be the path of a folder for the SDK's logs");
  sdkLogDir = path.resolve(sdkLogDir);
  // A working folder given that does not exist fails the start itself, and says so.
  if (options.sdkLogDir !== undefined || existsSync(cwd))
    create(sdkLogDir, "the folder for the SDK's logs", 'sdkLogDir');
  return { cwd, sdkLogDir };
}

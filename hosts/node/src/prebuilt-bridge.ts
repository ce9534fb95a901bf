// Finds the bridge: the executable given, else QUORLANE_EXECUTABLE, else the prebuilt one in the
// platform package that npm installed beside this one (`@quorlane/<platform>-<arch>`, an optional
// dependency that npm picks by its `os` and `cpu`). Inside an Electron app the package may sit in `app.asar`, whose files
// cannot be run: its executables are taken from `app.asar.unpacked`.
import { existsSync, readFileSync } from 'node:fs';
import * as path from 'node:path';
import { BridgeExitError, invalidArgument } from './errors';
import type { VendorSettings } from './vendor-environment';

/** The build of the bridge: against the vendor's SDK (its DLL), or against the simulated SDK. */
export type SdkBuild = 'vendor' | 'sim';

export const SDK_BUILDS: readonly SdkBuild[] = ['vendor', 'sim'];

/** What this package needs of a platform package's package.json. */
interface PlatformManifest {
  quorlane?: { builds?: Partial<Record<SdkBuild, string>> };
}

export interface PrebuiltLookup {
  /** The build to take; default: the vendor build where the package has one, else the simulated. */
  sdk?: SdkBuild;
  platform?: string;
  arch?: string;
  /** Folders to resolve the platform package from; default: where this package is. */
  paths?: string[];
}

/** The name of the package that carries the bridge for a platform (default: this one). */
export function platformPackageName(
  platform: string = process.platform,
  arch: string = process.arch,
): string {
  return `@quorlane/${platform}-${arch}`;
}

/** A path inside an `app.asar` archive, mapped to the same path in `app.asar.unpacked`. */
export function unpackedPath(file: string): string {
  return file.replace(/([\\/])app\.asar(?=[\\/])/, '$1app.asar.unpacked');
}

// The platform packages this package lists, with their versions; none in a development copy.
function listedPlatformPackages(): Record<string, string> {
  try {
    const own = JSON.parse(readFileSync(path.join(__dirname, '..', 'package.json'), 'utf8')) as {
      optionalDependencies?: Record<string, string>;
    };
    return own.optionalDependencies ?? {};
  } catch {
    return {};
  }
}

function noExecutable(why: string): BridgeExitError {
  return new BridgeExitError(
    `${why}; or give the bridge's path as options.executable or QUORLANE_EXECUTABLE`,
    undefined,
    'no-executable',
  );
}

/** The path of the prebuilt bridge of the installed platform package; throws a
 * `BridgeExitError` with the code 'no-executable' that says what to install when there is none. */
export function prebuiltExecutable(lookup: PrebuiltLookup = {}): string {
  return prebuiltBuild(lookup).file;
}

// The prebuilt bridge and which build it is.
function prebuiltBuild(lookup: PrebuiltLookup): { file: string; sdk: SdkBuild } {
  const platform = lookup.platform ?? process.platform;
  const arch = lookup.arch ?? process.arch;
  const name = platformPackageName(platform, arch);
  let manifestFile: string;
  try {
    manifestFile = require.resolve(
      `${name}/package.json`,
      lookup.paths ? { paths: lookup.paths } : undefined,
    );
  } catch {
    const listed = listedPlatformPackages();
    const names = Object.keys(listed);
    if (names.length > 0 && !(name in listed))
      throw noExecutable(
        `there is no prebuilt bridge for ${platform}-${arch} (there are for ` +
          `${names.map((n) => n.replace('@quorlane/', '')).join(', ')}): build it from source`,
      );
    const version = listed[name];
    const file = `quorlane-${platform}-${arch}${version === undefined ? '' : `-${version}`}.tgz`;
    throw noExecutable(
      `the bridge for ${platform}-${arch} comes in the package ${name}, which is not installed: ` +
        `install it with \`npm install ${name}${version === undefined ? '' : `@${version}`}\`, ` +
        `or from its release file with \`npm install --save-optional ${file}\` (npm leaves it ` +
        `out when optional dependencies are omitted or the lock file was made on another platform)`,
    );
  }
  const manifest = JSON.parse(readFileSync(manifestFile, 'utf8')) as PlatformManifest;
  const builds = manifest.quorlane?.builds ?? {};
  const sdk = lookup.sdk ?? (builds.vendor !== undefined ? 'vendor' : 'sim');
  const relative = builds[sdk];
  if (relative === undefined)
    throw noExecutable(
      `the package ${name} has no ${sdk} build (it has: ${Object.keys(builds).join(', ') || 'none'})`,
    );
  const packaged = path.join(path.dirname(manifestFile), relative);
  const file = unpackedPath(packaged);
  if (!existsSync(file))
    throw noExecutable(
      file !== packaged
        ? `the bridge ${packaged} is inside app.asar, where it cannot run, and not unpacked to ` +
            `${file}: add "asarUnpack": ["node_modules/@quorlane/**"] to electron-builder's ` +
            `configuration`
        : `the package ${name} is incomplete: ${file} is missing (reinstall it)`,
    );
  return { file, sdk };
}

/** The vendor's DLL, which no package includes. */
export const VENDOR_DLL = 'zegoliveroom.dll';

// The vendor build without its DLL would start, greet and answer a login, and say only later,
// on its standard output, that the DLL did not load.
function checkVendorDll(bridge: string, choice: ExecutableChoice): void {
  const env = { ...process.env, ...choice.env };
  if (choice.sdkDll !== undefined || (env['QUORLANE_SDK_DLL'] ?? '') !== '') return;
  if (existsSync(path.join(path.dirname(bridge), VENDOR_DLL))) return;
  throw new BridgeExitError(
    `the vendor build of the bridge (sdk: 'vendor', the default on Windows) loads the vendor's ` +
      `${VENDOR_DLL}, which no package includes: name it with the option sdkDll (or ` +
      `QUORLANE_SDK_DLL), or start the simulated SDK with sdk: 'sim'`,
    undefined,
    'no-sdk-dll',
  );
}

export interface ExecutableChoice extends VendorSettings {
  executable?: string;
  sdk?: SdkBuild;
  /** Variables the bridge gets besides this process's (QUORLANE_SDK_DLL among them). */
  env?: NodeJS.ProcessEnv;
}

/** The bridge to start: `executable`, else the environment variable QUORLANE_EXECUTABLE, else the
 * prebuilt `sdk` build (the vendor build only with its DLL: else a `BridgeExitError` with the code
 * 'no-sdk-dll'). A path with a folder in it is made absolute from this process's folder.
 * `lookup` says where the platform package is looked for (tests). */
export function chooseExecutable(
  choice: ExecutableChoice,
  lookup: Omit<PrebuiltLookup, 'sdk'> = {},
): string {
  const { executable, sdk } = choice;
  if (sdk !== undefined && !SDK_BUILDS.includes(sdk))
    throw invalidArgument(`sdk must be 'vendor' or 'sim', not ${JSON.stringify(sdk)}`);
  if (executable !== undefined && executable !== '' && sdk !== undefined)
    throw invalidArgument('give executable or sdk, not both: sdk picks a prebuilt bridge');
  if (
    sdk === 'sim' &&
    (choice.sdkDll !== undefined || choice.appId !== undefined || choice.appSign !== undefined)
  )
    throw invalidArgument("sdkDll, appId and appSign are for the vendor build, not sdk: 'sim'");
  const given = executable || process.env['QUORLANE_EXECUTABLE'];
  if (given === undefined || given === '') {
    const prebuilt = prebuiltBuild({ ...lookup, sdk });
    if (prebuilt.sdk === 'vendor') checkVendorDll(prebuilt.file, choice);
    return prebuilt.file;
  }
  return /[\\/]/.test(given) ? path.resolve(given) : given;
}

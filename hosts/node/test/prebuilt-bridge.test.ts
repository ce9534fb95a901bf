import assert from 'node:assert/strict';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import * as path from 'node:path';
import { test } from 'node:test';
import { Bridge, BridgeExitError, platformPackageName, prebuiltExecutable } from '../src';
import { fakeBridge, scratchDir } from './helpers';

// A platform package under `root`/node_modules with the builds given, each file present or not.
function platformPackage(root: string, builds: Record<string, string>, present: string[]): string {
  const folder = path.join(root, 'node_modules', '@quorlane', 'testos-x64');
  mkdirSync(folder, { recursive: true });
  writeFileSync(
    path.join(folder, 'package.json'),
    JSON.stringify({ name: '@quorlane/testos-x64', version: '0.0.1', quorlane: { builds } }),
  );
  for (const file of present) {
    mkdirSync(path.dirname(path.join(folder, file)), { recursive: true });
    writeFileSync(path.join(folder, file), '');
  }
  return folder;
}

const lookup = (paths: string[], sdk?: 'vendor' | 'sim') => ({
  platform: 'testos',
  arch: 'x64',
  paths,
  sdk,
});
const noExecutable = (message: RegExp) => (e: BridgeExitError) =>
  e instanceof BridgeExitError && e.code === 'no-executable' && message.test(e.message);

test('the prebuilt bridge: the build sdk picks, app.asar unpacked, clear errors', () => {
  const root = scratchDir();
  const both = platformPackage(root, { vendor: 'vendor/Q.exe', sim: 'sim/Q.exe' }, [
    'vendor/Q.exe',
    'sim/Q.exe',
  ]);
  assert.equal(prebuiltExecutable(lookup([root])), path.join(both, 'vendor', 'Q.exe'));
  assert.equal(prebuiltExecutable(lookup([root], 'sim')), path.join(both, 'sim', 'Q.exe'));

  const simOnly = scratchDir();
  platformPackage(simOnly, { sim: 'sim/Q' }, ['sim/Q']);
  assert.match(prebuiltExecutable(lookup([simOnly])), /sim[\\/]Q$/);
  assert.throws(
    () => prebuiltExecutable(lookup([simOnly], 'vendor')),
    noExecutable(/@quorlane\/testos-x64 has no vendor build \(it has: sim\)/),
  );

  // Electron: the package's files are read from app.asar, its executables run from beside it.
  const resources = path.join(scratchDir(), 'resources');
  platformPackage(path.join(resources, 'app.asar'), { sim: 'sim/Q' }, []);
  assert.throws(
    () => prebuiltExecutable(lookup([path.join(resources, 'app.asar')])),
    noExecutable(/inside app\.asar.*"asarUnpack": \["node_modules\/@quorlane\/\*\*"\]/),
  );
  const unpacked = platformPackage(path.join(resources, 'app.asar.unpacked'), {}, ['sim/Q']);
  assert.equal(
    prebuiltExecutable(lookup([path.join(resources, 'app.asar')])),
    path.join(unpacked, 'sim', 'Q'),
  );

  assert.throws(
    () => prebuiltExecutable(lookup([scratchDir()])),
    noExecutable(
      /package @quorlane\/testos-x64, which is not installed: install it with `npm install @quorlane\/testos-x64`/,
    ),
  );
});

test('Bridge.start without an executable names the platform package to install', async () => {
  const saved = process.env.QUORLANE_EXECUTABLE;
  delete process.env.QUORLANE_EXECUTABLE;
  try {
    // This development copy has no platform package installed.
    const name = platformPackageName();
    await assert.rejects(
      Bridge.start({ sdk: 'sim' }),
      (e: BridgeExitError) => e.code === 'no-executable' && e.message.includes(name),
    );
  } finally {
    process.env.QUORLANE_EXECUTABLE = saved;
  }
  await assert.rejects(Bridge.start({ sdk: 'native' as 'sim' }), { code: 'invalid-argument' });
  await assert.rejects(Bridge.start({ executable: 'Quorlane', sdk: 'sim' }), {
    code: 'invalid-argument',
  });
  await assert.rejects(Bridge.start({ sdk: 'sim', appId: 1 }), { code: 'invalid-argument' });
});

test("the vendor build's settings reach the bridge's environment, checked first", async () => {
  const fake = fakeBridge(
    `const e = process.env;
     send(2, [e.QUORLANE_SDK_DLL, e.QUORLANE_APP_ID, e.QUORLANE_APP_SIGN].join(' ') + '\\n');
     process.exit(3);`,
  );
  const sign = Uint8Array.from({ length: 32 }, (_, i) => i * 8);
  await assert.rejects(
    Bridge.start({ ...fake, sdkDll: 'zego.dll', appId: '4294967295', appSign: sign }),
    (e: BridgeExitError) =>
      e.code === 'exited' &&
      e.message.includes(
        `${path.resolve('zego.dll')} 4294967295 ${Buffer.from(sign).toString('hex')}`,
      ),
  );
  const hex = 'aB'.repeat(32);
  await assert.rejects(Bridge.start({ ...fake, appId: 7, appSign: hex }), (e: BridgeExitError) =>
    e.message.includes(`  7 ${hex}`),
  );
  const refused: Array<[object, string]> = [
    [{ appId: 4294967296 }, 'out-of-range'],
    [{ appId: -1 }, 'out-of-range'],
    [{ appId: '12a' }, 'invalid-argument'],
    [{ appSign: 'ab'.repeat(31) }, 'out-of-range'],
    [{ appSign: 'xy'.repeat(32) }, 'invalid-argument'],
    [{ appSign: new Uint8Array(31) }, 'out-of-range'],
    [{ sdkDll: '' }, 'invalid-argument'],
  ];
  for (const [settings, code] of refused)
    await assert.rejects(
      Bridge.start({ ...fake, ...settings }),
      { code },
      JSON.stringify(settings),
    );
});

test("the package's version is the repository's one", () => {
  const root = path.join(__dirname, '..', '..', '..', '..');
  const version = readFileSync(path.join(root, 'VERSION'), 'utf8').trim();
  for (const file of ['package.json', 'package-lock.json']) {
    const manifest = JSON.parse(readFileSync(path.join(root, 'hosts', 'node', file), 'utf8'));
    assert.equal(manifest.version, version, file);
  }
});

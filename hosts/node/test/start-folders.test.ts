import assert from 'node:assert/strict';
import { existsSync, mkdirSync, statSync, writeFileSync } from 'node:fs';
import * as path from 'node:path';
import { test } from 'node:test';
import { Bridge, BridgeExitError, defaultDataFolder, VENDOR_DLL } from '../src';
import { chooseExecutable } from '../src/prebuilt-bridge';
import { fakeBridge, scratchDir } from './helpers';

test('the default working folder: LOCALAPPDATA, XDG_STATE_HOME, else the home folder', () => {
  const win = (env: NodeJS.ProcessEnv) =>
    defaultDataFolder({ platform: 'win32', env, home: 'C:\\Users\\Jürgen 测试' });
  assert.equal(win({ LOCALAPPDATA: 'D:\\Local' }), 'D:\\Local\\Quorlane');
  assert.equal(win({}), 'C:\\Users\\Jürgen 测试\\AppData\\Local\\Quorlane');
  const linux = (env: NodeJS.ProcessEnv) =>
    defaultDataFolder({ platform: 'linux', env, home: '/home/ann' });
  assert.equal(linux({ XDG_STATE_HOME: '/var/ann/state' }), '/var/ann/state/quorlane');
  assert.equal(linux({}), '/home/ann/.local/state/quorlane');
  // A relative XDG_STATE_HOME would depend on the folder the host runs in: it is ignored.
  assert.equal(linux({ XDG_STATE_HOME: 'state' }), '/home/ann/.local/state/quorlane');
});

// A stand-in bridge that reports its working folder and SDK log folder on standard error.
const reporter = fakeBridge(
  `send(2, process.cwd() + '|' + process.env.QUORLANE_SDK_LOG_DIR + '\\n'); process.exit(3);`,
);
async function reported(options: object): Promise<[string, string]> {
  const error = await Bridge.start({ ...reporter, ...options }).then(
    () => assert.fail('the stand-in bridge greeted'),
    (e: BridgeExitError) => e,
  );
  const line = error.exit?.stderr.find((l) => l.includes('|'));
  assert.ok(line, error.message);
  return line.split('|') as [string, string];
}

test('without cwd the bridge works in the per-user folder, its SDK logs inside it', async () => {
  const folder = defaultDataFolder();
  assert.ok(folder.startsWith(process.env['XDG_STATE_HOME'] ?? process.env['LOCALAPPDATA']!));
  const [cwd, sdkLogs] = await reported({});
  assert.equal(path.resolve(cwd), path.resolve(folder));
  assert.equal(sdkLogs, path.join(folder, 'log', 'sdk'));
  assert.ok(statSync(sdkLogs).isDirectory(), 'the SDK log folder is created');
  if (process.platform !== 'win32') assert.equal(statSync(folder).mode & 0o777, 0o700);

  // A folder given is the bridge's, and so is a folder for the SDK's logs (made absolute).
  const given = scratchDir();
  const [cwd2, sdkLogs2] = await reported({ cwd: given, sdkLogDir: 'sdk-logs-here' });
  assert.equal(path.resolve(cwd2), path.resolve(given));
  assert.equal(sdkLogs2, path.resolve('sdk-logs-here'));
  assert.ok(existsSync(sdkLogs2));
  // The variable set by the host stays as it is.
  const [, sdkLogs3] = await reported({ cwd: given, env: { QUORLANE_SDK_LOG_DIR: '/elsewhere' } });
  assert.equal(sdkLogs3, '/elsewhere');
  await assert.rejects(Bridge.start({ ...reporter, sdkLogDir: '' }), { code: 'invalid-argument' });
});

test("the vendor build without the vendor's DLL is refused at once with 'no-sdk-dll'", () => {
  const root = scratchDir();
  const folder = path.join(root, 'node_modules', '@quorlane', 'testos-x64');
  mkdirSync(path.join(folder, 'vendor'), { recursive: true });
  mkdirSync(path.join(folder, 'sim'), { recursive: true });
  writeFileSync(
    path.join(folder, 'package.json'),
    JSON.stringify({
      name: '@quorlane/testos-x64',
      quorlane: { builds: { vendor: 'vendor/Q.exe', sim: 'sim/Q.exe' } },
    }),
  );
  for (const file of ['vendor/Q.exe', 'sim/Q.exe']) writeFileSync(path.join(folder, file), '');
  const lookup = { platform: 'testos', arch: 'x64', paths: [root] };
  const saved = process.env['QUORLANE_EXECUTABLE'];
  delete process.env['QUORLANE_EXECUTABLE'];
  try {
    for (const choice of [{}, { sdk: 'vendor' as const }, { env: { QUORLANE_SDK_DLL: '' } }])
      assert.throws(
        () => chooseExecutable(choice, lookup),
        (e: BridgeExitError) =>
          e instanceof BridgeExitError &&
          e.code === 'no-sdk-dll' &&
          e.message.includes('sdkDll') &&
          e.message.includes("sdk: 'sim'"),
      );
    const vendor = path.join(folder, 'vendor', 'Q.exe');
    assert.equal(chooseExecutable({ sdkDll: 'z.dll' }, lookup), vendor);
    assert.equal(chooseExecutable({ env: { QUORLANE_SDK_DLL: 'z.dll' } }, lookup), vendor);
    assert.equal(chooseExecutable({ sdk: 'sim' }, lookup), path.join(folder, 'sim', 'Q.exe'));
    writeFileSync(path.join(folder, 'vendor', VENDOR_DLL), '');
    assert.equal(chooseExecutable({}, lookup), vendor);
  } finally {
    if (saved !== undefined) process.env['QUORLANE_EXECUTABLE'] = saved;
  }
});

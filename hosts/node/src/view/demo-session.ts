import { existsSync, readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { parseSessionScript, type SessionScript } from './session-script';
import { viewError } from './view-error';

/** Where the demo session is: beside this module in the package (the build copies it there),
 * else tools/demo.qhs of the repository this module was built in. */
export function demoSessionFile(): string {
  const packaged = join(__dirname, 'demo.qhs');
  if (existsSync(packaged)) return packaged;
  for (let folder = __dirname; folder !== dirname(folder); folder = dirname(folder)) {
    const file = join(folder, 'tools', 'demo.qhs');
    if (existsSync(file)) return file;
  }
  throw viewError(
    `no demo.qhs beside ${__dirname} nor in a tools/ folder above it`,
    'no-demo-session',
  );
}

/**
 * The demo session, quorlane-host's tools/demo.qhs: logs in, enters the simulated SDK's demo
 * room, plays its three streams, previews, publishes, says hello, watches, leaves and logs out.
 */
export function loadDemoSession(): SessionScript {
  return parseSessionScript(readFileSync(demoSessionFile(), 'utf8'));
}

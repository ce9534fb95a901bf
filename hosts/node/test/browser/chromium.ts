import { spawnSync } from 'node:child_process';
import { existsSync } from 'node:fs';
import { join } from 'node:path';
import { chromium, type Browser } from 'playwright-core';

export const chromiumPath = process.env.QUORLANE_CHROMIUM ?? '/usr/bin/chromium';
const repositoryRoot = join(__dirname, '..', '..', '..', '..', '..');
const installScript = join(repositoryRoot, 'scripts', 'install-browser');

let availability: string | undefined | null = null;

/**
 * Undefined when Chromium is there (installing it with the project's script if it is missing),
 * otherwise the reason to skip the browser tests. Under CI a missing browser is an error.
 */
export function chromiumMissing(): string | undefined {
  if (availability !== null) return availability;
  if (!existsSync(chromiumPath) && existsSync(installScript)) {
    spawnSync(installScript, { stdio: 'inherit' });
  }
  availability = existsSync(chromiumPath)
    ? undefined
    : `${chromiumPath} is missing and scripts/install-browser could not install it`;
  if (availability && process.env.CI) throw new Error(availability);
  return availability;
}

/** Headless Chromium with SwiftShader WebGL and a fresh profile, kept off the network. */
export function launchChromium(): Promise<Browser> {
  return chromium.launch({
    executablePath: chromiumPath,
    headless: true,
    args: [
      '--no-sandbox',
      '--use-angle=swiftshader',
      '--enable-unsafe-swiftshader',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
      '--no-first-run',
      '--disable-quic',
    ],
  });
}

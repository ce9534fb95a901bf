// The SDK's settings as the environment variables the bridge reads: for the vendor build the
// vendor's DLL (QUORLANE_SDK_DLL), the application ID (QUORLANE_APP_ID, decimal) and the
// application signature (QUORLANE_APP_SIGN, 64 hexadecimal digits); for either build the folder
// of the SDK's own logs (QUORLANE_SDK_LOG_DIR). Checked here, so that a mistake is an error of
// the start rather than a login that fails later.
import * as path from 'node:path';
import { invalidArgument, outOfRange } from './errors';

export interface VendorSettings {
  /** The vendor's `zegoliveroom.dll`; default: the one beside the bridge. */
  sdkDll?: string;
  /** The application ID the vendor issued: an unsigned 32-bit integer. */
  appId?: number | string;
  /** The application signature the vendor issued: 32 bytes, or 64 hexadecimal digits. */
  appSign?: string | Uint8Array;
  /** Either build: the folder the SDK writes its own logs to; default: `log/sdk` in the
   * bridge's working folder. */
  sdkLogDir?: string;
}

const MAX_APP_ID = 0xffffffff;
const SIGN_BYTES = 32;

function appIdText(appId: number | string): string {
  if (typeof appId === 'string') {
    if (!/^[0-9]+$/.test(appId))
      throw invalidArgument(`appId must be decimal digits, not ${JSON.stringify(appId)}`);
    appId = Number(appId);
  }
  if (typeof appId !== 'number')
    throw invalidArgument(`appId must be a number or a string, not ${typeof appId}`);
  if (!Number.isInteger(appId) || appId < 0 || appId > MAX_APP_ID)
    throw outOfRange(`appId must be an unsigned 32-bit integer, not ${appId}`);
  return String(appId);
}

function appSignText(appSign: string | Uint8Array): string {
  if (appSign instanceof Uint8Array) {
    if (appSign.length !== SIGN_BYTES)
      throw outOfRange(`appSign must be ${SIGN_BYTES} bytes, not ${appSign.length}`);
    return Buffer.from(appSign).toString('hex');
  }
  if (typeof appSign !== 'string')
    throw invalidArgument(`appSign must be a string or a Uint8Array, not ${typeof appSign}`);
  if (!/^[0-9a-fA-F]*$/.test(appSign)) throw invalidArgument('appSign must be hexadecimal digits');
  if (appSign.length !== SIGN_BYTES * 2)
    throw outOfRange(`appSign must be ${SIGN_BYTES * 2} hexadecimal digits, not ${appSign.length}`);
  return appSign;
}

/** The variables for the settings given; none for none. */
export function vendorEnvironment(settings: VendorSettings): Record<string, string> {
  const env: Record<string, string> = {};
  if (settings.sdkDll !== undefined) {
    if (typeof settings.sdkDll !== 'string' || settings.sdkDll === '')
      throw invalidArgument('sdkDll must be the path of the vendor DLL');
    // The bridge runs in its own working directory: a relative path means this process's.
    env['QUORLANE_SDK_DLL'] = path.resolve(settings.sdkDll);
  }
  if (settings.sdkLogDir !== undefined) {
    if (typeof settings.sdkLogDir !== 'string' || settings.sdkLogDir === '')
      throw invalidArgument("sdkLogDir must be the path of a folder for the SDK's logs");
    env['QUORLANE_SDK_LOG_DIR'] = path.resolve(settings.sdkLogDir);
  }
  if (settings.appId !== undefined) env['QUORLANE_APP_ID'] = appIdText(settings.appId);
  if (settings.appSign !== undefined) env['QUORLANE_APP_SIGN'] = appSignText(settings.appSign);
  return env;
}

import { COMMANDS } from '../commands';
import type { CommandButton } from './page/messages';

type Table = typeof COMMANDS;

/** The command a Bridge method sends, made by the command table as the method makes it. */
function command<K extends keyof Table>(
  method: K,
  ...args: Parameters<Table[K]['param']>
): CommandButton['command'] {
  const spec = COMMANDS[method] as { type: string; param: (...a: unknown[]) => unknown };
  const param = spec.param(...args);
  return param === undefined ? { type: spec.type } : { type: spec.type, param };
}

const button = (label: string, sent: CommandButton['command']): CommandButton => ({
  label,
  command: sent,
});

/** The view's buttons for the demo room: the commands of the demo session, and their undoing. */
export const demoCommands: readonly CommandButton[] = [
  button('Login', command('login', 'demo-host', 'Demo Host', 1)),
  button('EnterRoom', command('enterRoom', 'demo', 'Demo Room', 1)),
  button('RequestView demo-1..3', command('requestView', ['demo-1', 'demo-2', 'demo-3'])),
  button('RequestView []', command('requestView', [])),
  button('OpenCamera', command('openCamera')),
  button('OpenMic', command('openMic')),
  button('StartPreview', command('startPreview')),
  button('StartPushRtmp', command('startPushRtmp', 'demo-host-live', 'Hello from Quorlane')),
  button('SendRoomMessage', command('sendRoomMessage', 'Hello, room!')),
  button('StopPreview', command('stopPreview')),
  button('StopPushRtmp', command('stopPushRtmp')),
  button('CloseCamera', command('closeCamera')),
  button('CloseMic', command('closeMic')),
  button('ExitRoom', command('exitRoom')),
  button('Logout', command('logout')),
];

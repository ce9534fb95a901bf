import { demoCommands } from './page/demo-commands';
import { parseSessionScript, type SessionScript } from './session-script';

function send(label: string): string {
  const button = demoCommands.find((candidate) => candidate.label === label);
  if (button === undefined) throw new Error(`no demo command "${label}"`);
  return JSON.stringify(button.command);
}

/**
 * The demo session, the view's one action for the simulated SDK's demo room: logs in, enters the
 * room, plays its three streams, turns camera and microphone on, previews, publishes and says
 * hello; the room then stays live for the buttons.
 */
export const demoSession: SessionScript = parseSessionScript(
  [
    'timeout 10s',
    'note Logging in and entering the demo room',
    send('Login'),
    'wait reply Login code 1',
    send('EnterRoom'),
    'wait reply EnterRoom code 0',
    'wait event StreamsList',
    "note Viewing the room's streams on channels 1 to 3",
    send('RequestView demo-1..3'),
    'wait frames 1 1',
    'note Turning on camera and microphone, previewing on channel 0',
    send('OpenCamera'),
    'wait reply OpenCamera code 1',
    send('OpenMic'),
    'wait reply OpenMic code 1',
    send('StartPreview'),
    'wait reply StartPreview code 1',
    'wait frames 0 1',
    'note Publishing our own stream and saying hello to the room',
    send('StartPushRtmp'),
    'wait event PublishStateUpdate',
    send('SendRoomMessage'),
    'wait event SendRoomMessage',
    'note The demo room is live: the buttons send single commands',
  ].join('\n'),
);

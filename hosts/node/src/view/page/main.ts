import { CHANNELS } from '../../channels';
import { decodeFrameMessage } from '../../renderer/frame-message';
import { ChannelView } from './channel-view';
import type { CommandButton, PageMessage, ServerMessage } from './messages';
import { SessionBar } from './session-bar';
import { TranscriptView } from './transcript-view';

function byId(id: string): HTMLElement {
  const element = document.getElementById(id);
  if (!element) throw new Error(`the page has no #${id}`);
  return element;
}

/** Runs the view page: channels, buttons, transcript, all over the WebSocket at /socket. */
export function start(): void {
  const channels = Array.from({ length: CHANNELS }, (_, index) => new ChannelView(index));
  byId('channels').append(...channels.map((channel) => channel.element));
  const transcript = new TranscriptView(byId('transcript'));
  const status = byId('status');

  // The secret of the printed address opens the socket; the view refuses one without it.
  const token = new URLSearchParams(location.search).get('token') ?? '';
  const socket = new WebSocket(`ws://${location.host}/socket?token=${encodeURIComponent(token)}`);
  socket.binaryType = 'arraybuffer';
  const send = (message: PageMessage): void => {
    if (socket.readyState === WebSocket.OPEN) socket.send(JSON.stringify(message));
  };
  const sessions = new SessionBar(byId('sessions'), byId('about'), (session) =>
    send({ kind: 'run', session }),
  );
  socket.addEventListener('open', () => (status.textContent = 'connected'));
  socket.addEventListener('close', () => {
    status.textContent =
      token === ''
        ? 'not connected: open the whole address that quorlane-view printed (with its token)'
        : 'disconnected';
  });
  socket.addEventListener('message', (event: MessageEvent<ArrayBuffer | string>) => {
    if (typeof event.data !== 'string') {
      const { channel, frame } = decodeFrameMessage(event.data);
      channels[channel]?.draw(frame);
      return;
    }
    const message = JSON.parse(event.data) as ServerMessage;
    if (message.kind === 'transcript') transcript.add(message.entry);
    else if (message.kind === 'stats')
      channels.forEach((channel, index) => channel.showStats(message.channels[index]));
    else if (message.kind === 'hello') {
      sessions.showAbout(message.about);
      showButtons(message.buttons);
    } else sessions.show(message.sessions);
  });

  // The view's buttons; in scripted mode there are none, and their row is hidden.
  const buttons = byId('buttons');
  const showButtons = (list: readonly CommandButton[]): void => {
    buttons.hidden = list.length === 0;
    buttons.replaceChildren(
      ...list.map(({ label, command }) => {
        const button = document.createElement('button');
        button.textContent = label;
        button.addEventListener('click', () => send({ kind: 'command', command }));
        return button;
      }),
    );
  };

  const form = byId('custom') as HTMLFormElement;
  const input = form.querySelector('input') as HTMLInputElement;
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    try {
      const command: unknown = JSON.parse(input.value);
      if (typeof command !== 'object' || command === null) throw new Error('not an object');
      send({ kind: 'command', command });
      input.setCustomValidity('');
    } catch {
      input.setCustomValidity('a command is a JSON object, e.g. {"type":"OpenCamera"}');
      input.reportValidity();
    }
  });
}

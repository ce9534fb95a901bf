/** The buttons of the view: the commands of the demo session, and a few to undo them. */
export interface CommandButton {
  readonly label: string;
  readonly command: object;
}

export const demoCommands: readonly CommandButton[] = [
  {
    label: 'Login',
    command: { type: 'Login', param: { userID: 'demo-host', userName: 'Demo Host', test: 1 } },
  },
  {
    label: 'EnterRoom',
    command: { type: 'EnterRoom', param: { RoomName: 'Demo Room', RoomID: 'demo', role: 1 } },
  },
  {
    label: 'RequestView demo-1..3',
    command: { type: 'RequestView', param: ['demo-1', 'demo-2', 'demo-3'] },
  },
  { label: 'RequestView []', command: { type: 'RequestView', param: [] } },
  { label: 'OpenCamera', command: { type: 'OpenCamera' } },
  { label: 'OpenMic', command: { type: 'OpenMic' } },
  { label: 'StartPreview', command: { type: 'StartPreview' } },
  {
    label: 'StartPushRtmp',
    command: {
      type: 'StartPushRtmp',
      param: { Params: '', StreamID: 'demo-host-live', Title: 'Hello from Quorlane', flag: 0 },
    },
  },
  {
    label: 'SendRoomMessage',
    command: {
      type: 'SendRoomMessage',
      param: { messageContent: 'Hello, room!', priority: 2, category: 1, type: 1 },
    },
  },
  { label: 'StopPreview', command: { type: 'StopPreview' } },
  { label: 'StopPushRtmp', command: { type: 'StopPushRtmp' } },
  { label: 'CloseCamera', command: { type: 'CloseCamera' } },
  { label: 'CloseMic', command: { type: 'CloseMic' } },
  { label: 'ExitRoom', command: { type: 'ExitRoom' } },
  { label: 'Logout', command: { type: 'Logout' } },
];

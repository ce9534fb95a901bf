// What the host has built on the bridge, kept from the outcomes of its commands and the room's
// events: the login, the SDK settings, the room with its streams, the played streams, the devices
// and the publishing. `bridge.room` shows the room; a restarted bridge is given the same session
// again, step by step in the order a host builds it.
import {
  streamsOf,
  type StreamRecord,
  type StreamsListParam,
  type StreamUpdateParam,
} from './events';

/** The room the bridge is in, kept up to date from `StreamsList` and `StreamUpdate`. */
export interface Room {
  id: string;
  name: string;
  role: number;
  /** The streams of the room, as the room's events last listed them. */
  streams: StreamRecord[];
}

/** One command of a replay: a method of the bridge, its arguments, and the code that means it
 * worked (undefined: a command without a reply). */
export interface ReplayStep {
  method: string;
  args: unknown[];
  success?: number;
}

const STREAM_ADDED = 2001;
const STREAM_DELETED = 2002;

type Switch = 'camera' | 'mic' | 'speaker' | 'preview';
const SWITCHES: Record<string, [Switch, boolean]> = {
  OpenCamera: ['camera', true],
  CloseCamera: ['camera', false],
  OpenMic: ['mic', true],
  CloseMic: ['mic', false],
  OpenSpeaker: ['speaker', true],
  CloseSpeaker: ['speaker', false],
  StartPreview: ['preview', true],
  StopPreview: ['preview', false],
};
// The settings, by command type, with the method that makes each; replayed in this order.
const SETTINGS: Record<string, string> = {
  SetWaterpath: 'setWaterPath',
  SetWaterrect: 'setWaterRect',
  SetPWaterrect: 'setPreviewWaterRect',
  SetEncodeRect: 'setEncodeResolution',
  SetCapRect: 'setCaptureResolution',
};

export class SessionState {
  private login: unknown[] | undefined;
  private readonly settings = new Map<string, unknown[]>();
  private current: Room | undefined;
  private view: string[] = [];
  private readonly on = new Set<Switch>();
  private publishing: unknown[] | undefined;

  get room(): Room | undefined {
    return this.current;
  }

  /** A command has been written (`code` undefined) or answered with `code`; `args` are the
   * method's arguments as checked. */
  applied(type: string, args: unknown[], code?: number): void {
    const answered = code !== undefined;
    if (type === 'Login' && code === 1) {
      this.login = [...args];
    } else if (type === 'Logout' && answered) {
      this.forgetRoom();
      this.login = undefined;
      this.settings.clear();
      this.on.clear();
      this.publishing = undefined;
    } else if (type === 'EnterRoom' && code === 0) {
      const [id, name, role] = args as [string, string, number];
      if (this.current?.id !== id) this.current = { id, name, role, streams: [] };
    } else if (type === 'ExitRoom') {
      this.forgetRoom();
    } else if (type === 'RequestView') {
      this.view = [...(args[0] as string[])];
    } else if (type === 'StartPushRtmp') {
      this.publishing = [...args];
    } else if (type === 'StopPushRtmp') {
      this.publishing = undefined;
      this.on.delete('preview');
    } else if (SWITCHES[type] !== undefined && code === 1) {
      const [what, value] = SWITCHES[type];
      if (value) this.on.add(what);
      else this.on.delete(what);
    } else if (SETTINGS[type] !== undefined && code === 1) {
      this.settings.set(type, structuredClone(args));
    }
  }

  /** The room's stream list arrived. */
  listed(param: StreamsListParam): void {
    if (this.current !== undefined && param.RoomID === this.current.id)
      this.current.streams = streamsOf(param);
  }

  /** Streams were added to or removed from the room. */
  updated(param: StreamUpdateParam): void {
    const room = this.current;
    if (room === undefined || param.RoomID !== room.id) return;
    const changed = streamsOf(param);
    const ids = new Set(changed.map((s) => s.StreamId));
    if (param.code === STREAM_DELETED) {
      room.streams = room.streams.filter((s) => !ids.has(s.StreamId));
    } else if (param.code === STREAM_ADDED) {
      room.streams = [...room.streams.filter((s) => !ids.has(s.StreamId)), ...changed];
    }
  }

  /** The room ended for us without our asking (kicked out). */
  leftRoom(roomID: string): void {
    if (this.current?.id === roomID) this.forgetRoom();
  }

  /** The commands that build this session again on a new bridge, in the order a host would. */
  replay(): ReplayStep[] {
    const steps: ReplayStep[] = [];
    if (this.login === undefined) return steps;
    steps.push({ method: 'login', args: this.login, success: 1 });
    for (const type of Object.keys(SETTINGS)) {
      const args = this.settings.get(type);
      if (args !== undefined) steps.push({ method: SETTINGS[type], args, success: 1 });
    }
    const room = this.current;
    if (room !== undefined) {
      steps.push({ method: 'enterRoom', args: [room.id, room.name, room.role], success: 0 });
      if (this.view.length > 0) steps.push({ method: 'requestView', args: [this.view] });
    }
    const methods: Array<[Switch, string]> = [
      ['camera', 'openCamera'],
      ['mic', 'openMic'],
      ['speaker', 'openSpeaker'],
      ['preview', 'startPreview'],
    ];
    for (const [what, method] of methods)
      if (this.on.has(what)) steps.push({ method, args: [], success: 1 });
    if (this.publishing !== undefined)
      steps.push({ method: 'startPushRtmp', args: this.publishing });
    return steps;
  }

  // Leaving the room ends its played streams and our publishing in it.
  private forgetRoom(): void {
    this.current = undefined;
    this.view = [];
    this.publishing = undefined;
  }
}

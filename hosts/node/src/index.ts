export { Bridge, FrameChannel } from './bridge';
export { CHANNELS, VIEW_CHANNELS } from './channels';
export { defaultDataFolder } from './data-folder';
export type { DataFolderContext } from './data-folder';
export { BridgeExitError, NoReplyError } from './errors';
export type {
  ArgumentCode,
  BridgeExitCode,
  CallErrorCode,
  ErrorCode,
  FrameErrorCode,
  ProtocolErrorCode,
  SimErrorCode,
} from './errors';
export type {
  BridgeEvents,
  BridgeOptions,
  ChannelEvents,
  CrashInfo,
  ExitInfo,
  FrameStreamOptions,
  RestartLimits,
  RestoreInfo,
} from './bridge';
export { parseLogLine } from './log-lines';
export type { LogEntry, LogLevel } from './log-lines';
export type { Room } from './session-state';
export { AsyncQueue } from './async-queue';
export type { QueueOptions } from './async-queue';
export { COMMANDS, MAX_COMMAND_BYTES, REPLY_TYPES } from './commands';
export type { CommandMethods, CommandSpec, Rect } from './commands';
export * from './events';
export { FrameAssembler, HEADER_BYTES, headerFault, makeFrame, payloadLength } from './frames';
export type { ChannelCounters, Frame, FrameError } from './frames';
export { MessageReader } from './message-reader';
export {
  platformPackageName,
  prebuiltExecutable,
  unpackedPath,
  VENDOR_DLL,
} from './prebuilt-bridge';
export type { PrebuiltLookup, SdkBuild } from './prebuilt-bridge';
export type { VendorSettings } from './vendor-environment';
export { ObjectSplitter } from './object-splitter';
export { SimControl, SimRequestError } from './sim-control';
export type { CallRecord, FrameRequest, SimAnswer, SimRequest, SourceRequest } from './sim-control';

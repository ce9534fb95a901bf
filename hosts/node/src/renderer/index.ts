export { YuvRenderer, type WebGlVersion, type YuvRendererOptions } from './yuv-renderer';
export {
  chromaOrderOfChannel,
  framePlanes,
  planeSizes,
  type ChromaOrder,
  type PlaneSizes,
  type YuvFrame,
} from './yuv-frame';
export { decodeFrameMessage, encodeFrameMessage, type FrameMessage } from './frame-message';
export { yuvToRgb } from './bt601';
export {
  frameForTransfer,
  receivedFrame,
  type PayloadFrame,
  type TransferredFrame,
} from './frame-transfer';
export type { RendererErrorCode } from './renderer-error';

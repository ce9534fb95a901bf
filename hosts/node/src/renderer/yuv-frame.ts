import { rendererError } from './renderer-error';

/**
 * A planar YUV 4:2:0 picture as the bridge sends it: a full-size luma plane and two chroma
 * planes of ((width + 1) / 2) x ((height + 1) / 2) samples.
 */
export interface YuvFrame {
  readonly width: number;
  readonly height: number;
  readonly y: Uint8Array;
  readonly u: Uint8Array;
  readonly v: Uint8Array;
  /** Bytes from one luma row to the next; `width` when absent. */
  readonly yStride?: number;
  /** Bytes from one chroma row to the next (both chroma planes); the chroma width when absent. */
  readonly uvStride?: number;
}

export interface PlaneSizes {
  readonly chromaWidth: number;
  readonly chromaHeight: number;
  readonly lumaBytes: number;
  readonly chromaBytes: number;
  readonly payloadBytes: number;
}

/** Plane sizes of a tightly packed 4:2:0 frame of the given size. */
export function planeSizes(width: number, height: number): PlaneSizes {
  const chromaWidth = (width + 1) >> 1;
  const chromaHeight = (height + 1) >> 1;
  const lumaBytes = width * height;
  const chromaBytes = chromaWidth * chromaHeight;
  return {
    chromaWidth,
    chromaHeight,
    lumaBytes,
    chromaBytes,
    payloadBytes: lumaBytes + 2 * chromaBytes,
  };
}

/** Order of the chroma planes in a payload: I420 (channel 0) or YV12 (channels 1 to 4). */
export type ChromaOrder = 'uv' | 'vu';

/** The bridge's chroma order on a channel: U first on channel 0, V first on channels 1 to 4. */
export function chromaOrderOfChannel(channel: number): ChromaOrder {
  return channel === 0 ? 'uv' : 'vu';
}

/**
 * Views of the three planes inside one packed payload, without copying. Throws a RangeError when
 * the payload is shorter than the frame needs.
 */
export function framePlanes(
  width: number,
  height: number,
  payload: Uint8Array,
  order: ChromaOrder,
): YuvFrame {
  if (!Number.isInteger(width) || !Number.isInteger(height) || width <= 0 || height <= 0) {
    throw rendererError(
      new RangeError(`impossible frame size ${width}x${height}`),
      'bad-frame-size',
    );
  }
  const sizes = planeSizes(width, height);
  if (payload.length < sizes.payloadBytes) {
    throw rendererError(
      new RangeError(
        `a ${width}x${height} frame needs ${sizes.payloadBytes} bytes, got ${payload.length}`,
      ),
      'short-plane',
    );
  }
  const y = payload.subarray(0, sizes.lumaBytes);
  const first = payload.subarray(sizes.lumaBytes, sizes.lumaBytes + sizes.chromaBytes);
  const second = payload.subarray(sizes.lumaBytes + sizes.chromaBytes, sizes.payloadBytes);
  return order === 'uv'
    ? { width, height, y, u: first, v: second }
    : { width, height, y, u: second, v: first };
}

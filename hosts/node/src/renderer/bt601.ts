/**
 * BT.601 limited ("studio") range, as libyuv's ARGBToI420 produces it in the bridge:
 *
 *   Y  = 16  + 219 * (0.299 R + 0.587 G + 0.114 B)          (R, G, B in 0..1)
 *   Cb = 128 + 224 * (B - Y') / 1.772,  Cr = 128 + 224 * (R - Y') / 1.402
 *
 * Inverting it, with y = Y - 16, u = Cb - 128, v = Cr - 128 (all in 0..255 units):
 *
 *   R = 1.164383 y               + 1.596027 v
 *   G = 1.164383 y - 0.391762 u  - 0.812968 v
 *   B = 1.164383 y + 2.017232 u
 *
 * where 1.164383 = 255/219 and the chroma factors are 255/224 times 1.402, 1.772 and the Kr/Kb
 * weighted terms (1.772 * 0.114 / 0.587 and 1.402 * 0.299 / 0.587). Results are clamped to 0..1.
 */
export const LUMA_OFFSET = 16 / 255;
export const CHROMA_OFFSET = 128 / 255;
export const LUMA_SCALE = 255 / 219;
export const CR_TO_R = (255 / 224) * 1.402;
export const CB_TO_G = -(255 / 224) * 1.772 * (0.114 / 0.587);
export const CR_TO_G = -(255 / 224) * 1.402 * (0.299 / 0.587);
export const CB_TO_B = (255 / 224) * 1.772;

/** The conversion in JavaScript, for a single sample in 0..255 units; returns 0..255 RGB. */
export function yuvToRgb(y: number, u: number, v: number): [number, number, number] {
  const luma = LUMA_SCALE * (y - 16);
  const cb = u - 128;
  const cr = v - 128;
  const clamp = (x: number): number => Math.min(255, Math.max(0, Math.round(x)));
  return [
    clamp(luma + CR_TO_R * cr),
    clamp(luma + CB_TO_G * cb + CR_TO_G * cr),
    clamp(luma + CB_TO_B * cb),
  ];
}

// Test pictures: RGB images and their I420 planes, converted the way the bridge's libyuv
// ARGBToI420 does (BT.601 limited range, integer coefficients, each chroma sample from the
// average of its 2x2 block).

export type Rgb = readonly [number, number, number];

export interface RgbImage {
  readonly width: number;
  readonly height: number;
  readonly pixel: (x: number, y: number) => Rgb;
}

export interface I420 {
  readonly width: number;
  readonly height: number;
  readonly y: Uint8Array;
  readonly u: Uint8Array;
  readonly v: Uint8Array;
}

export const BAR_COLOURS: readonly Rgb[] = [
  [255, 255, 255],
  [255, 255, 0],
  [0, 255, 255],
  [0, 255, 0],
  [255, 0, 255],
  [255, 0, 0],
  [0, 0, 255],
  [0, 0, 0],
];

export function bars(width: number, height: number): RgbImage {
  return { width, height, pixel: (x) => BAR_COLOURS[Math.floor((x * 8) / width)]! };
}

export function solid(width: number, height: number, colour: Rgb): RgbImage {
  return { width, height, pixel: () => colour };
}

/** Vertical stripes two pixels wide, cycling through `colours`: each chroma column differs. */
export function stripes(width: number, height: number, colours: readonly Rgb[]): RgbImage {
  return { width, height, pixel: (x) => colours[Math.floor(x / 2) % colours.length]! };
}

const clampByte = (x: number): number => Math.max(0, Math.min(255, x));

export function toI420(image: RgbImage): I420 {
  const { width, height } = image;
  const chromaWidth = (width + 1) >> 1;
  const chromaHeight = (height + 1) >> 1;
  const y = new Uint8Array(width * height);
  const u = new Uint8Array(chromaWidth * chromaHeight);
  const v = new Uint8Array(chromaWidth * chromaHeight);
  for (let row = 0; row < height; row++) {
    for (let x = 0; x < width; x++) {
      const [r, g, b] = image.pixel(x, row);
      y[row * width + x] = clampByte((66 * r + 129 * g + 25 * b + 0x1080) >> 8);
    }
  }
  for (let row = 0; row < chromaHeight; row++) {
    for (let x = 0; x < chromaWidth; x++) {
      let r = 0,
        g = 0,
        b = 0,
        n = 0;
      for (const [dx, dy] of [
        [0, 0],
        [1, 0],
        [0, 1],
        [1, 1],
      ] as const) {
        const px = Math.min(width - 1, 2 * x + dx);
        const py = Math.min(height - 1, 2 * row + dy);
        const [pr, pg, pb] = image.pixel(px, py);
        r += pr;
        g += pg;
        b += pb;
        n++;
      }
      r = Math.round(r / n);
      g = Math.round(g / n);
      b = Math.round(b / n);
      u[row * chromaWidth + x] = clampByte((112 * b - 74 * g - 38 * r + 0x8080) >> 8);
      v[row * chromaWidth + x] = clampByte((112 * r - 94 * g - 18 * b + 0x8080) >> 8);
    }
  }
  return { width, height, y, u, v };
}

/** Copies a plane into rows `stride` bytes apart (padding filled with a value that shows). */
export function padRows(
  plane: Uint8Array,
  width: number,
  rows: number,
  stride: number,
): Uint8Array {
  const padded = new Uint8Array(stride * rows).fill(0xee);
  for (let row = 0; row < rows; row++)
    padded.set(plane.subarray(row * width, (row + 1) * width), row * stride);
  return padded;
}

const sameColour = (a: Rgb, b: Rgb): boolean => a[0] === b[0] && a[1] === b[1] && a[2] === b[2];

/** True when the 2x2 block of the pixel is one colour, so its chroma is exact. */
export function inUniformBlock(image: RgbImage, x: number, y: number): boolean {
  const left = x & ~1;
  const top = y & ~1;
  const colour = image.pixel(left, top);
  for (const [dx, dy] of [
    [1, 0],
    [0, 1],
    [1, 1],
  ] as const) {
    const px = Math.min(image.width - 1, left + dx);
    const py = Math.min(image.height - 1, top + dy);
    if (!sameColour(colour, image.pixel(px, py))) return false;
  }
  return true;
}

/**
 * Largest difference of any channel against the image, over the pixels whose 2x2 block is one
 * colour (at a colour edge inside a block the chroma is a mix by design), and where it is.
 */
export function worstDifference(
  rgba: Uint8Array,
  image: RgbImage,
): { difference: number; at: string } {
  let difference = 0;
  let at = 'none';
  for (let row = 0; row < image.height; row++) {
    for (let x = 0; x < image.width; x++) {
      if (!inUniformBlock(image, x, row)) continue;
      const expected = image.pixel(x, row);
      const offset = (row * image.width + x) * 4;
      for (let c = 0; c < 3; c++) {
        const d = Math.abs(rgba[offset + c]! - expected[c]!);
        if (d > difference) {
          difference = d;
          at = `(${x},${row}) drawn ${Array.from(rgba.subarray(offset, offset + 3))} expected ${expected}`;
        }
      }
    }
  }
  return { difference, at };
}

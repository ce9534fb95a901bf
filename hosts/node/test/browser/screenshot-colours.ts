import type { Page } from 'playwright-core';

export type Colour = [number, number, number];

/**
 * Decodes a PNG screenshot in the page and returns its per-channel median colour, which is the
 * background of a picture that is mostly one colour (the demo streams) or the colour of a solid one.
 */
export function medianColour(page: Page, png: Buffer): Promise<Colour> {
  return page.evaluate(async (base64) => {
    const blob = await (await fetch(`data:image/png;base64,${base64}`)).blob();
    const bitmap = await createImageBitmap(blob);
    const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
    const context = canvas.getContext('2d')!;
    context.drawImage(bitmap, 0, 0);
    const { data } = context.getImageData(0, 0, bitmap.width, bitmap.height);
    const median = (offset: number): number => {
      const histogram = new Array<number>(256).fill(0);
      for (let i = offset; i < data.length; i += 4) histogram[data[i]!]!++;
      let seen = 0;
      for (let value = 0; value < 256; value++) {
        seen += histogram[value]!;
        if (seen * 2 >= data.length / 4) return value;
      }
      return 255;
    };
    return [median(0), median(1), median(2)] as Colour;
  }, png.toString('base64'));
}

export function near(actual: Colour, expected: Colour, tolerance: number): boolean {
  return actual.every((value, index) => Math.abs(value - expected[index]!) <= tolerance);
}

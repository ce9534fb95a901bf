import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import type { Browser, Page } from 'playwright-core';
import {
  decodeFrameMessage,
  encodeFrameMessage,
  framePlanes,
  type RendererErrorCode,
} from '../../src/renderer';
import { browserModuleScript, compiledRoot } from '../../src/view/browser-modules';
import { chromiumMissing, launchChromium } from './chromium';
import {
  bars,
  padRows,
  solid,
  stripes,
  toI420,
  worstDifference,
  type I420,
  type RgbImage,
} from './yuv-reference';

type RendererModule = typeof import('../../src/renderer');
declare const quorlaneRequire: (id: string) => unknown;

interface PageFrame {
  width: number;
  height: number;
  y: number[];
  u: number[];
  v: number[];
  yStride?: number;
  uvStride?: number;
}

interface Drawn {
  api: string;
  canvasWidth: number;
  canvasHeight: number;
  rgba: number[];
}

const skip = chromiumMissing();
// Failure guards only: a loaded machine draws with software WebGL slowly.
const timeout = 120_000;
let browser: Browser;
let page: Page;

before(async () => {
  if (skip) return;
  browser = await launchChromium();
  page = await browser.newPage();
  await page.addScriptTag({ content: browserModuleScript(compiledRoot, ['renderer']) });
});

after(async () => {
  await browser?.close();
});

function pageFrame(frame: I420, yPadding = 0, uvPadding = 0): PageFrame {
  const chromaWidth = (frame.width + 1) >> 1;
  const chromaHeight = (frame.height + 1) >> 1;
  const yStride = frame.width + yPadding;
  const uvStride = chromaWidth + uvPadding;
  return {
    width: frame.width,
    height: frame.height,
    y: Array.from(padRows(frame.y, frame.width, frame.height, yStride)),
    u: Array.from(padRows(frame.u, chromaWidth, chromaHeight, uvStride)),
    v: Array.from(padRows(frame.v, chromaWidth, chromaHeight, uvStride)),
    ...(yPadding ? { yStride } : {}),
    ...(uvPadding ? { uvStride } : {}),
  };
}

/**
 * Draws the frames one after the other on one new canvas and reads the last one back, top row
 * first. The planes sit back to back in one buffer at an odd offset, as views.
 */
function drawAndRead(
  frames: PageFrame[],
  api: 'auto' | 'webgl2' | 'webgl' = 'auto',
): Promise<Drawn> {
  return page.evaluate(
    ({ frames, api }) => {
      const { YuvRenderer } = quorlaneRequire('renderer/index') as RendererModule;
      const canvas = document.createElement('canvas');
      document.body.append(canvas);
      const renderer = new YuvRenderer(canvas, { api });
      for (const frame of frames) {
        const bytes = new Uint8Array(1 + frame.y.length + frame.u.length + frame.v.length);
        bytes.set(frame.y, 1);
        bytes.set(frame.u, 1 + frame.y.length);
        bytes.set(frame.v, 1 + frame.y.length + frame.u.length);
        const y = bytes.subarray(1, 1 + frame.y.length);
        const u = bytes.subarray(1 + frame.y.length, 1 + frame.y.length + frame.u.length);
        const v = bytes.subarray(1 + frame.y.length + frame.u.length);
        renderer.draw({ ...frame, y, u, v });
      }
      const gl = canvas.getContext(renderer.api) as WebGLRenderingContext;
      const { width, height } = canvas;
      const pixels = new Uint8Array(width * height * 4);
      gl.readPixels(0, 0, width, height, gl.RGBA, gl.UNSIGNED_BYTE, pixels);
      const rgba: number[] = [];
      for (let row = height - 1; row >= 0; row--) {
        rgba.push(...pixels.subarray(row * width * 4, (row + 1) * width * 4));
      }
      canvas.remove();
      renderer.dispose();
      return { api: renderer.api, canvasWidth: width, canvasHeight: height, rgba };
    },
    { frames, api },
  );
}

function assertDrawn(drawn: Drawn, image: RgbImage, label: string): void {
  assert.equal(drawn.canvasWidth, image.width, `${label}: canvas width`);
  assert.equal(drawn.canvasHeight, image.height, `${label}: canvas height`);
  const { difference, at } = worstDifference(Uint8Array.from(drawn.rgba), image);
  assert.ok(difference <= 2, `${label}: off by ${difference} at ${at}`);
}

const odd = {
  bars: bars(101, 57),
  solid: solid(33, 17, [200, 40, 90]),
  // 15 columns: 8 chroma columns, the last one covering a single pixel column.
  stripes: stripes(15, 9, [
    [255, 0, 0],
    [0, 255, 0],
    [0, 0, 255],
    [255, 255, 0],
  ]),
};

test(
  'draws bars, a solid colour and two-pixel stripes of odd sizes within 2 of their RGB',
  { skip, timeout },
  async () => {
    for (const api of ['webgl2', 'webgl'] as const) {
      for (const [name, image] of Object.entries(odd)) {
        const drawn = await drawAndRead([pageFrame(toI420(image))], api);
        assert.equal(drawn.api, api);
        assertDrawn(drawn, image, `${api} ${name}`);
      }
    }
  },
);

test(
  'honours row strides wider than the rows, on WebGL2 and WebGL1',
  { skip, timeout },
  async () => {
    for (const api of ['webgl2', 'webgl'] as const) {
      for (const [name, image] of Object.entries(odd)) {
        const drawn = await drawAndRead([pageFrame(toI420(image), 3, 5)], api);
        assertDrawn(drawn, image, `${api} ${name} with strides`);
      }
    }
  },
);

test('resizes the canvas with the frames', { skip, timeout }, async () => {
  const small = solid(33, 17, [255, 0, 0]);
  const large = bars(64, 36);
  const backToSmall = stripes(15, 9, [
    [0, 0, 255],
    [255, 255, 255],
  ]);
  const drawn = await drawAndRead([pageFrame(toI420(small)), pageFrame(toI420(large))]);
  assertDrawn(drawn, large, 'after growing');
  const shrunk = await drawAndRead([pageFrame(toI420(large)), pageFrame(toI420(backToSmall))]);
  assertDrawn(shrunk, backToSmall, 'after shrinking');
});

test('refuses planes shorter than the frame needs', { skip, timeout }, async () => {
  const messages = await page.evaluate(() => {
    const { YuvRenderer } = quorlaneRequire('renderer/index') as RendererModule;
    const renderer = new YuvRenderer(document.createElement('canvas'));
    const attempt = (frame: Parameters<typeof renderer.draw>[0]): string => {
      try {
        renderer.draw(frame);
        return 'drawn';
      } catch (error) {
        const { name, message, code } = error as Error & { code?: string };
        return `${name} ${code}: ${message}`;
      }
    };
    const plane = (n: number): Uint8Array => new Uint8Array(n);
    return [
      attempt({ width: 5, height: 3, y: plane(15), u: plane(6), v: plane(6) }),
      attempt({ width: 5, height: 3, y: plane(14), u: plane(6), v: plane(6) }),
      attempt({ width: 5, height: 3, y: plane(15), u: plane(6), v: plane(5) }),
      attempt({ width: 5, height: 3, y: plane(15), u: plane(6), v: plane(6), yStride: 4 }),
      attempt({ width: 5, height: 3, y: plane(18), u: plane(6), v: plane(6), yStride: 7 }),
      attempt({ width: 0, height: 3, y: plane(15), u: plane(6), v: plane(6) }),
    ];
  });
  assert.equal(messages[0], 'drawn');
  assert.match(messages[1]!, /^RangeError short-plane: plane y/);
  assert.match(messages[2]!, /^RangeError short-plane: plane v/);
  assert.match(messages[3]!, /^RangeError bad-stride: plane y: stride 4/);
  assert.match(messages[4]!, /^RangeError short-plane: plane y: 3 rows of 5 need 19 bytes/);
  assert.match(messages[5]!, /^RangeError bad-frame-size: impossible frame size/);
});

test('refuses frame messages and payloads that do not make a frame, each with its code', () => {
  const message = encodeFrameMessage(2, framePlanes(4, 2, new Uint8Array(12), 'uv'));
  assert.equal(decodeFrameMessage(message).frame.width, 4);
  const cases: [() => unknown, RendererErrorCode][] = [
    [() => decodeFrameMessage(message.slice(0, 10)), 'bad-frame-message'],
    [() => decodeFrameMessage(message.slice(0, message.byteLength - 1)), 'bad-frame-message'],
    [() => framePlanes(4, 0, new Uint8Array(12), 'uv'), 'bad-frame-size'],
    [() => framePlanes(4, 2, new Uint8Array(11), 'uv'), 'short-plane'],
  ];
  for (const [attempt, code] of cases) assert.throws(attempt, { name: 'RangeError', code });
});

test(
  'survives a lost context: keeps the frame given meanwhile and draws it when restored',
  { skip, timeout },
  async () => {
    const green = pageFrame(toI420(solid(21, 11, [0, 255, 0])));
    const blue = pageFrame(toI420(solid(21, 11, [0, 0, 255])));
    const red = pageFrame(toI420(solid(21, 11, [255, 0, 0])));
    // A page of its own: the contexts of earlier tests count against the browser's limit.
    const freshPage = await browser.newPage();
    await freshPage.addScriptTag({ content: browserModuleScript(compiledRoot, ['renderer']) });
    const result = await freshPage.evaluate(
      async ({ green, blue, red }) => {
        const { YuvRenderer } = quorlaneRequire('renderer/index') as RendererModule;
        const canvas = document.createElement('canvas');
        document.body.append(canvas);
        const renderer = new YuvRenderer(canvas);
        const gl = canvas.getContext('webgl2')!;
        const centre = (): number[] => {
          const pixel = new Uint8Array(4);
          gl.readPixels(10, 5, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, pixel);
          return Array.from(pixel.subarray(0, 3));
        };
        const asFrame = (f: typeof green) => ({
          ...f,
          y: Uint8Array.from(f.y),
          u: Uint8Array.from(f.u),
          v: Uint8Array.from(f.v),
        });
        const before = renderer.draw(asFrame(green)) ? centre() : [];
        const lose = gl.getExtension('WEBGL_lose_context')!;
        const lost = new Promise((resolve) =>
          canvas.addEventListener('webglcontextlost', resolve, { once: true }),
        );
        lose.loseContext();
        await lost;
        // Restoring is allowed once the lost event's dispatch has finished.
        await new Promise((resolve) => setTimeout(resolve, 0));
        const drawnWhileLost = renderer.draw(asFrame(blue));
        const lostFlag = renderer.contextLost;
        // Registered after the renderer's own listener: reads within the task that redrew.
        const restored = new Promise<number[]>((resolve) =>
          canvas.addEventListener('webglcontextrestored', () => resolve(centre()), { once: true }),
        );
        lose.restoreContext();
        const afterRestore = await restored;
        const drawnAfter = renderer.draw(asFrame(red));
        return {
          before,
          drawnWhileLost,
          lostFlag,
          afterRestore,
          drawnAfter,
          next: centre(),
          contextLost: renderer.contextLost,
        };
      },
      { green, blue, red },
    );
    const near = (actual: number[], expected: number[]): boolean =>
      actual.length === 3 && actual.every((c, i) => Math.abs(c - expected[i]!) <= 2);
    assert.ok(near(result.before, [0, 255, 0]), `before: ${result.before}`);
    assert.equal(result.drawnWhileLost, false);
    assert.equal(result.lostFlag, true);
    assert.ok(near(result.afterRestore, [0, 0, 255]), `after restore: ${result.afterRestore}`);
    assert.equal(result.drawnAfter, true);
    assert.equal(result.contextLost, false);
    assert.ok(near(result.next, [255, 0, 0]), `next frame: ${result.next}`);
  },
);

test(
  'frames cross a MessagePort as transferred payloads, I420 and YV12, and draw in their colours',
  { skip, timeout },
  async () => {
    const image = stripes(15, 9, [
      [255, 0, 0],
      [0, 0, 255],
      [0, 255, 0],
    ]);
    const frame = pageFrame(toI420(image));
    const results = await page.evaluate(async (frame) => {
      const { YuvRenderer, frameForTransfer, receivedFrame } = quorlaneRequire(
        'renderer/index',
      ) as RendererModule;
      const { port1, port2 } = new MessageChannel();
      const canvas = document.createElement('canvas');
      const renderer = new YuvRenderer(canvas);
      const gl = canvas.getContext('webgl2')!;
      const results = [];
      // Channel 0 sends Y U V, channels 1 to 4 Y V U; the last case views a larger buffer.
      for (const [channel, inLargerBuffer] of [
        [0, false],
        [2, false],
        [3, true],
      ] as const) {
        const chroma = channel === 0 ? [frame.u, frame.v] : [frame.v, frame.u];
        const payload = [...frame.y, ...chroma[0]!, ...chroma[1]!];
        const backing = new Uint8Array(payload.length + (inLargerBuffer ? 8 : 0));
        backing.set(payload, inLargerBuffer ? 4 : 0);
        const data = inLargerBuffer ? backing.subarray(4, 4 + payload.length) : backing;
        const received = new Promise<MessageEvent>((resolve) => (port2.onmessage = resolve));
        const [message, transfer] = frameForTransfer({
          channel,
          width: frame.width,
          height: frame.height,
          data,
        });
        port1.postMessage(message, transfer);
        const event = await received;
        renderer.draw(receivedFrame(event.data));
        const pixels = new Uint8Array(frame.width * frame.height * 4);
        gl.readPixels(0, 0, frame.width, frame.height, gl.RGBA, gl.UNSIGNED_BYTE, pixels);
        const rgba: number[] = [];
        for (let row = frame.height - 1; row >= 0; row--) {
          rgba.push(...pixels.subarray(row * frame.width * 4, (row + 1) * frame.width * 4));
        }
        results.push({ channel, senderBytesLeft: backing.buffer.byteLength, rgba });
      }
      return results;
    }, frame);
    for (const result of results) {
      const { difference, at } = worstDifference(Uint8Array.from(result.rgba), image);
      assert.ok(difference <= 2, `channel ${result.channel}: off by ${difference} at ${at}`);
    }
    assert.equal(results[0]!.senderBytesLeft, 0, 'a payload in a buffer of its own moves');
    assert.equal(results[1]!.senderBytesLeft, 0);
    assert.ok(results[2]!.senderBytesLeft > 0, 'a payload inside a larger buffer is copied');
  },
);

// Upload and draw time of one 1080p frame with the YUV renderer in headless Chromium, against
// two baselines measured in the same page: uploading and drawing the same picture already
// converted to RGBA as one texture, and putImageData of that RGBA on a 2D canvas.
// Every frame ends with a one-pixel readPixels so that the GPU work is inside the time.
// Run: npm run pretest && node .test-build/bench/renderer.bench.js [frames]
import type { Page } from 'playwright-core';
import { browserModuleScript, compiledRoot } from '../src/view/browser-modules';
import { chromiumMissing, launchChromium } from '../test/browser/chromium';

type RendererModule = typeof import('../src/renderer');
declare const quorlaneRequire: (id: string) => unknown;

interface Timings {
  yuvRenderer: number;
  rgbaTexture: number;
  putImageData: number;
  api: string;
}

function measure(page: Page, frames: number): Promise<Timings> {
  return page.evaluate((frames) => {
    const { YuvRenderer } = quorlaneRequire('renderer/index') as RendererModule;
    const width = 1920;
    const height = 1080;
    const chroma = (width / 2) * (height / 2);
    const planes = new Uint8Array(width * height + 2 * chroma);
    for (let i = 0; i < planes.length; i++) planes[i] = (i * 7919) & 0xff;
    const y = planes.subarray(0, width * height);
    const u = planes.subarray(width * height, width * height + chroma);
    const v = planes.subarray(width * height + chroma);
    const rgba = new Uint8ClampedArray(width * height * 4);
    for (let i = 0; i < rgba.length; i++) rgba[i] = (i * 31) & 0xff;

    const timePerFrame = (drawOne: (index: number) => void): number => {
      drawOne(0); // warm-up: allocations, shader compilation
      const start = performance.now();
      for (let i = 1; i <= frames; i++) drawOne(i);
      return (performance.now() - start) / frames;
    };
    const pixel = new Uint8Array(4);

    const yuvCanvas = document.createElement('canvas');
    const renderer = new YuvRenderer(yuvCanvas);
    const yuvGl = yuvCanvas.getContext(renderer.api) as WebGLRenderingContext;
    const yuvRenderer = timePerFrame((i) => {
      y[0] = i & 0xff; // a changed frame each time
      renderer.draw({ width, height, y, u, v });
      yuvGl.readPixels(0, 0, 1, 1, yuvGl.RGBA, yuvGl.UNSIGNED_BYTE, pixel);
    });

    const rgbaCanvas = document.createElement('canvas');
    rgbaCanvas.width = width;
    rgbaCanvas.height = height;
    const gl = rgbaCanvas.getContext('webgl2')!;
    const compile = (type: number, source: string): WebGLShader => {
      const shader = gl.createShader(type)!;
      gl.shaderSource(shader, source);
      gl.compileShader(shader);
      return shader;
    };
    const program = gl.createProgram()!;
    gl.attachShader(
      program,
      compile(
        gl.VERTEX_SHADER,
        `#version 300 es
      in vec2 p; out vec2 t;
      void main() { t = vec2(p.x + 1.0, 1.0 - p.y) * 0.5; gl_Position = vec4(p, 0.0, 1.0); }`,
      ),
    );
    gl.attachShader(
      program,
      compile(
        gl.FRAGMENT_SHADER,
        `#version 300 es
      precision highp float; in vec2 t; uniform sampler2D s; out vec4 c;
      void main() { c = texture(s, t); }`,
      ),
    );
    gl.bindAttribLocation(program, 0, 'p');
    gl.linkProgram(program);
    gl.useProgram(program);
    gl.bindBuffer(gl.ARRAY_BUFFER, gl.createBuffer());
    gl.bufferData(gl.ARRAY_BUFFER, new Float32Array([-1, -1, 1, -1, -1, 1, 1, 1]), gl.STATIC_DRAW);
    gl.enableVertexAttribArray(0);
    gl.vertexAttribPointer(0, 2, gl.FLOAT, false, 0, 0);
    gl.bindTexture(gl.TEXTURE_2D, gl.createTexture());
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, gl.NEAREST);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, gl.NEAREST);
    gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA8, width, height, 0, gl.RGBA, gl.UNSIGNED_BYTE, null);
    const rgbaBytes = new Uint8Array(rgba.buffer);
    gl.viewport(0, 0, width, height);
    const rgbaTexture = timePerFrame((i) => {
      rgbaBytes[0] = i & 0xff;
      gl.texSubImage2D(gl.TEXTURE_2D, 0, 0, 0, width, height, gl.RGBA, gl.UNSIGNED_BYTE, rgbaBytes);
      gl.drawArrays(gl.TRIANGLE_STRIP, 0, 4);
      gl.readPixels(0, 0, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, pixel);
    });

    const canvas2d = document.createElement('canvas');
    canvas2d.width = width;
    canvas2d.height = height;
    const context = canvas2d.getContext('2d')!;
    const image = new ImageData(rgba, width, height);
    const putImageData = timePerFrame((i) => {
      rgba[0] = i & 0xff;
      context.putImageData(image, 0, 0);
      context.getImageData(0, 0, 1, 1);
    });
    return { yuvRenderer, rgbaTexture, putImageData, api: renderer.api };
  }, frames);
}

async function main(): Promise<void> {
  const missing = chromiumMissing();
  if (missing) throw new Error(missing);
  const frames = Number(process.argv[2] ?? 60);
  const browser = await launchChromium();
  try {
    const page = await browser.newPage();
    await page.addScriptTag({ content: browserModuleScript(compiledRoot, ['renderer']) });
    const t = await measure(page, frames);
    console.log(
      `1920x1080 frames, ${frames} per method, ${t.api} on SwiftShader (software rendering)`,
    );
    console.log(`YUV renderer (3 planes, upload + draw):   ${t.yuvRenderer.toFixed(2)} ms/frame`);
    console.log(`baseline: RGBA texture upload + draw:      ${t.rgbaTexture.toFixed(2)} ms/frame`);
    console.log(`baseline: 2D canvas putImageData (RGBA):   ${t.putImageData.toFixed(2)} ms/frame`);
    console.log(`ratio YUV renderer / RGBA texture: ${(t.yuvRenderer / t.rgbaTexture).toFixed(2)}`);
    console.log(
      `ratio YUV renderer / putImageData: ${(t.yuvRenderer / t.putImageData).toFixed(2)}`,
    );
  } finally {
    await browser.close();
  }
}

main().catch((error: unknown) => {
  console.error(error);
  process.exitCode = 1;
});

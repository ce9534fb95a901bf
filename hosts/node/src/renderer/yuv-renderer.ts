import { createQuad, linkProgram, type GL } from './gl-program';
import { PlaneTexture } from './plane-texture';
import { fragmentShaderGl1, fragmentShaderGl2, vertexShaderGl1, vertexShaderGl2 } from './shaders';
import { planeSizes, type YuvFrame } from './yuv-frame';
import { rendererError } from './renderer-error';

export type WebGlVersion = 'webgl2' | 'webgl';

export interface YuvRendererOptions {
  /** 'auto' (default) takes WebGL2 and falls back to WebGL1. */
  readonly api?: 'auto' | WebGlVersion;
  /** Set the canvas's drawing-buffer size to each frame's size (default true). */
  readonly resizeCanvas?: boolean;
  /** Keep the drawn picture readable after compositing (default false, faster). */
  readonly preserveDrawingBuffer?: boolean;
}

/** The GL objects of one context; made again after a lost context is restored. */
interface Pipeline {
  readonly program: WebGLProgram;
  readonly quad: WebGLBuffer;
  readonly planes: [PlaneTexture, PlaneTexture, PlaneTexture];
  readonly chromaScale: WebGLUniformLocation | null;
}

/**
 * Draws planar YUV 4:2:0 frames on a canvas with WebGL: three single-channel textures and a
 * BT.601 limited-range fragment shader. Survives a lost context: drawing pauses while the context
 * is lost and the last frame is drawn again once it is restored.
 *
 *   const renderer = new YuvRenderer(canvas);
 *   renderer.draw({ width, height, y, u, v });
 */
export class YuvRenderer {
  readonly api: WebGlVersion;
  private readonly gl: GL;
  private readonly resizeCanvas: boolean;
  private pipeline: Pipeline | undefined;
  private lastFrame: YuvFrame | undefined;
  private framesDrawn = 0;
  private disposed = false;

  constructor(
    readonly canvas: HTMLCanvasElement,
    options: YuvRendererOptions = {},
  ) {
    const attributes: WebGLContextAttributes = {
      alpha: false,
      antialias: false,
      depth: false,
      stencil: false,
      premultipliedAlpha: false,
      preserveDrawingBuffer: options.preserveDrawingBuffer ?? false,
    };
    const api = options.api ?? 'auto';
    let gl: GL | null = null;
    if (api !== 'webgl') gl = canvas.getContext('webgl2', attributes);
    if (gl) {
      this.api = 'webgl2';
    } else {
      if (api !== 'webgl2') gl = canvas.getContext('webgl', attributes);
      if (!gl)
        throw rendererError(
          new Error(`this canvas offers no ${api === 'auto' ? 'WebGL' : api} context`),
          'no-webgl',
        );
      this.api = 'webgl';
    }
    this.gl = gl;
    this.resizeCanvas = options.resizeCanvas ?? true;
    canvas.addEventListener('webglcontextlost', this.onContextLost);
    canvas.addEventListener('webglcontextrestored', this.onContextRestored);
    if (!gl.isContextLost()) this.pipeline = this.buildPipeline();
  }

  /** True while the context is lost; frames given to draw() meanwhile are kept, not drawn. */
  get contextLost(): boolean {
    return this.gl.isContextLost();
  }

  /** Frames drawn so far, redraws after a restored context included. */
  get drawCount(): number {
    return this.framesDrawn;
  }

  /**
   * Uploads the frame's planes and draws it over the whole canvas. Returns false when nothing
   * could be drawn because the context is lost (the frame is drawn once it comes back). Throws a
   * RangeError for a frame whose planes are shorter than its size and strides need.
   */
  draw(frame: YuvFrame): boolean {
    if (this.disposed) throw rendererError(new Error('the renderer is disposed'), 'disposed');
    checkFrame(frame);
    this.lastFrame = frame;
    if (!this.pipeline || this.gl.isContextLost()) return false;
    this.render(this.pipeline, frame);
    return true;
  }

  /** Releases the GL objects and stops listening to the canvas. */
  dispose(): void {
    if (this.disposed) return;
    this.disposed = true;
    this.canvas.removeEventListener('webglcontextlost', this.onContextLost);
    this.canvas.removeEventListener('webglcontextrestored', this.onContextRestored);
    if (this.pipeline && !this.gl.isContextLost()) {
      for (const plane of this.pipeline.planes) plane.dispose();
      this.gl.deleteBuffer(this.pipeline.quad);
      this.gl.deleteProgram(this.pipeline.program);
    }
    this.pipeline = undefined;
    this.lastFrame = undefined;
  }

  private readonly onContextLost = (event: Event): void => {
    // Without preventDefault the browser never restores the context.
    event.preventDefault();
    this.pipeline = undefined;
  };

  private readonly onContextRestored = (): void => {
    if (this.disposed) return;
    this.pipeline = this.buildPipeline();
    if (this.lastFrame) this.render(this.pipeline, this.lastFrame);
  };

  private buildPipeline(): Pipeline {
    const gl = this.gl;
    const webgl2 = this.api === 'webgl2';
    const program = linkProgram(
      gl,
      webgl2 ? vertexShaderGl2 : vertexShaderGl1,
      webgl2 ? fragmentShaderGl2 : fragmentShaderGl1,
    );
    gl.useProgram(program);
    const quad = createQuad(gl);
    const names = ['planeY', 'planeU', 'planeV'];
    names.forEach((name, unit) => gl.uniform1i(gl.getUniformLocation(program, name), unit));
    const planes: Pipeline['planes'] = [
      new PlaneTexture(gl, 0),
      new PlaneTexture(gl, 1),
      new PlaneTexture(gl, 2),
    ];
    gl.disable(gl.BLEND);
    gl.disable(gl.DEPTH_TEST);
    return { program, quad, planes, chromaScale: gl.getUniformLocation(program, 'chromaScale') };
  }

  private render(pipeline: Pipeline, frame: YuvFrame): void {
    const gl = this.gl;
    const { width, height } = frame;
    const { chromaWidth, chromaHeight } = planeSizes(width, height);
    if (this.resizeCanvas && (this.canvas.width !== width || this.canvas.height !== height)) {
      this.canvas.width = width;
      this.canvas.height = height;
    }
    const [planeY, planeU, planeV] = pipeline.planes;
    planeY.upload(frame.y, width, height, frame.yStride ?? width);
    planeU.upload(frame.u, chromaWidth, chromaHeight, frame.uvStride ?? chromaWidth);
    planeV.upload(frame.v, chromaWidth, chromaHeight, frame.uvStride ?? chromaWidth);
    gl.uniform2f(pipeline.chromaScale, width / (2 * chromaWidth), height / (2 * chromaHeight));
    gl.viewport(0, 0, gl.drawingBufferWidth, gl.drawingBufferHeight);
    gl.drawArrays(gl.TRIANGLE_STRIP, 0, 4);
    this.framesDrawn++;
  }
}

function checkFrame(frame: YuvFrame): void {
  const { width, height } = frame;
  if (!Number.isInteger(width) || !Number.isInteger(height) || width <= 0 || height <= 0) {
    throw rendererError(
      new RangeError(`impossible frame size ${width}x${height}`),
      'bad-frame-size',
    );
  }
  const { chromaWidth, chromaHeight } = planeSizes(width, height);
  checkPlane('y', frame.y, width, height, frame.yStride ?? width);
  checkPlane('u', frame.u, chromaWidth, chromaHeight, frame.uvStride ?? chromaWidth);
  checkPlane('v', frame.v, chromaWidth, chromaHeight, frame.uvStride ?? chromaWidth);
}

function checkPlane(
  name: string,
  plane: Uint8Array,
  width: number,
  rows: number,
  stride: number,
): void {
  if (!Number.isInteger(stride) || stride < width) {
    throw rendererError(
      new RangeError(`plane ${name}: stride ${stride} is shorter than a row of ${width}`),
      'bad-stride',
    );
  }
  const needed = stride * (rows - 1) + width;
  if (plane.length < needed) {
    throw rendererError(
      new RangeError(
        `plane ${name}: ${rows} rows of ${width} need ${needed} bytes, got ${plane.length}`,
      ),
      'short-plane',
    );
  }
}

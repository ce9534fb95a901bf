import type { GL } from './gl-program';
import { rendererError } from './renderer-error';

function isWebGl2(gl: GL): gl is WebGL2RenderingContext {
  return typeof WebGL2RenderingContext !== 'undefined' && gl instanceof WebGL2RenderingContext;
}

/**
 * One single-channel texture holding one plane (R8 on WebGL2, LUMINANCE on WebGL1). Storage is
 * reallocated only when the plane's size changes; otherwise the bytes are replaced in place.
 */
export class PlaneTexture {
  private readonly texture: WebGLTexture;
  private width = 0;
  private height = 0;
  private repacked: Uint8Array | undefined;

  constructor(
    private readonly gl: GL,
    private readonly unit: number,
  ) {
    const texture = gl.createTexture();
    if (!texture)
      throw rendererError(new Error('createTexture failed (context lost?)'), 'context-lost');
    this.texture = texture;
    gl.activeTexture(gl.TEXTURE0 + unit);
    gl.bindTexture(gl.TEXTURE_2D, texture);
    // Nearest sampling: every pixel takes exactly its own luma sample and the chroma sample of
    // its 2x2 block. Clamping keeps non-power-of-two sizes legal on WebGL1.
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, gl.NEAREST);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, gl.NEAREST);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_S, gl.CLAMP_TO_EDGE);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_T, gl.CLAMP_TO_EDGE);
  }

  /** Uploads `height` rows of `width` bytes that start `stride` bytes apart in `bytes`. */
  upload(bytes: Uint8Array, width: number, height: number, stride: number): void {
    const gl = this.gl;
    gl.activeTexture(gl.TEXTURE0 + this.unit);
    gl.bindTexture(gl.TEXTURE_2D, this.texture);
    gl.pixelStorei(gl.UNPACK_ALIGNMENT, 1);
    let source = bytes;
    if (isWebGl2(gl)) {
      gl.pixelStorei(gl.UNPACK_ROW_LENGTH, stride === width ? 0 : stride);
    } else if (stride !== width) {
      source = this.repack(bytes, width, height, stride);
    }
    const internalFormat = isWebGl2(gl) ? gl.R8 : gl.LUMINANCE;
    const format = isWebGl2(gl) ? gl.RED : gl.LUMINANCE;
    if (width !== this.width || height !== this.height) {
      gl.texImage2D(
        gl.TEXTURE_2D,
        0,
        internalFormat,
        width,
        height,
        0,
        format,
        gl.UNSIGNED_BYTE,
        source,
      );
      this.width = width;
      this.height = height;
    } else {
      gl.texSubImage2D(gl.TEXTURE_2D, 0, 0, 0, width, height, format, gl.UNSIGNED_BYTE, source);
    }
    if (isWebGl2(gl)) gl.pixelStorei(gl.UNPACK_ROW_LENGTH, 0);
  }

  dispose(): void {
    this.gl.deleteTexture(this.texture);
  }

  // WebGL1 has no UNPACK_ROW_LENGTH: rows with padding are copied together first.
  private repack(bytes: Uint8Array, width: number, height: number, stride: number): Uint8Array {
    const size = width * height;
    if (!this.repacked || this.repacked.length !== size) this.repacked = new Uint8Array(size);
    for (let row = 0; row < height; row++) {
      this.repacked.set(bytes.subarray(row * stride, row * stride + width), row * width);
    }
    return this.repacked;
  }
}

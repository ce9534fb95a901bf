import { rendererError } from './renderer-error';

export type GL = WebGLRenderingContext | WebGL2RenderingContext;

function compile(gl: GL, type: number, source: string): WebGLShader {
  const shader = gl.createShader(type);
  if (!shader)
    throw rendererError(new Error('createShader failed (context lost?)'), 'context-lost');
  gl.shaderSource(shader, source);
  gl.compileShader(shader);
  if (!gl.getShaderParameter(shader, gl.COMPILE_STATUS) && !gl.isContextLost()) {
    const log = gl.getShaderInfoLog(shader);
    gl.deleteShader(shader);
    throw rendererError(new Error(`shader does not compile: ${log}`), 'shader-failed');
  }
  return shader;
}

/** Compiles and links a program; the shaders are released once linked. */
export function linkProgram(gl: GL, vertexSource: string, fragmentSource: string): WebGLProgram {
  const vertex = compile(gl, gl.VERTEX_SHADER, vertexSource);
  const fragment = compile(gl, gl.FRAGMENT_SHADER, fragmentSource);
  const program = gl.createProgram();
  if (!program)
    throw rendererError(new Error('createProgram failed (context lost?)'), 'context-lost');
  gl.attachShader(program, vertex);
  gl.attachShader(program, fragment);
  gl.bindAttribLocation(program, 0, 'position');
  gl.linkProgram(program);
  gl.deleteShader(vertex);
  gl.deleteShader(fragment);
  if (!gl.getProgramParameter(program, gl.LINK_STATUS) && !gl.isContextLost()) {
    const log = gl.getProgramInfoLog(program);
    gl.deleteProgram(program);
    throw rendererError(new Error(`program does not link: ${log}`), 'shader-failed');
  }
  return program;
}

/** A buffer with the four corners of clip space, as a triangle strip, bound to attribute 0. */
export function createQuad(gl: GL): WebGLBuffer {
  const buffer = gl.createBuffer();
  if (!buffer)
    throw rendererError(new Error('createBuffer failed (context lost?)'), 'context-lost');
  gl.bindBuffer(gl.ARRAY_BUFFER, buffer);
  gl.bufferData(gl.ARRAY_BUFFER, new Float32Array([-1, -1, 1, -1, -1, 1, 1, 1]), gl.STATIC_DRAW);
  gl.enableVertexAttribArray(0);
  gl.vertexAttribPointer(0, 2, gl.FLOAT, false, 0, 0);
  return buffer;
}

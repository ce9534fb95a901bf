import {
  CB_TO_B,
  CB_TO_G,
  CHROMA_OFFSET,
  CR_TO_G,
  CR_TO_R,
  LUMA_OFFSET,
  LUMA_SCALE,
} from './bt601';

// One triangle strip covering the canvas. Texture row 0 (the first row of a plane) is the top
// of the picture, so t runs downwards while clip-space y runs upwards.
const vertexBody = `
void main() {
  lumaCoord = vec2(position.x + 1.0, 1.0 - position.y) * 0.5;
  gl_Position = vec4(position, 0.0, 1.0);
}`;

const f = (x: number): string => x.toFixed(6);

// chromaScale maps a luma texture coordinate onto the chroma plane: a chroma plane of
// (w + 1) / 2 samples covers w + 1 luma columns, so for an odd width its last sample is only
// half used and the coordinate shrinks by w / (w + 1). With nearest sampling each luma pixel x
// then reads chroma sample x / 2, exactly the 2x2 block it was averaged from.
const conversionBody = `
  float y = (sampleY(lumaCoord) - ${f(LUMA_OFFSET)}) * ${f(LUMA_SCALE)};
  vec2 chromaCoord = lumaCoord * chromaScale;
  float u = sampleU(chromaCoord) - ${f(CHROMA_OFFSET)};
  float v = sampleV(chromaCoord) - ${f(CHROMA_OFFSET)};
  vec3 rgb = vec3(
    y + ${f(CR_TO_R)} * v,
    y + ${f(CB_TO_G)} * u + ${f(CR_TO_G)} * v,
    y + ${f(CB_TO_B)} * u);
  rgb = clamp(rgb, 0.0, 1.0);`;

export const vertexShaderGl2 = `#version 300 es
in vec2 position;
out vec2 lumaCoord;
${vertexBody}
`;

export const fragmentShaderGl2 = `#version 300 es
precision highp float;
in vec2 lumaCoord;
uniform sampler2D planeY;
uniform sampler2D planeU;
uniform sampler2D planeV;
uniform vec2 chromaScale;
out vec4 color;
float sampleY(vec2 at) { return texture(planeY, at).r; }
float sampleU(vec2 at) { return texture(planeU, at).r; }
float sampleV(vec2 at) { return texture(planeV, at).r; }
void main() {
${conversionBody}
  color = vec4(rgb, 1.0);
}
`;

export const vertexShaderGl1 = `
attribute vec2 position;
varying vec2 lumaCoord;
${vertexBody}
`;

export const fragmentShaderGl1 = `
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
#else
precision mediump float;
#endif
varying vec2 lumaCoord;
uniform sampler2D planeY;
uniform sampler2D planeU;
uniform sampler2D planeV;
uniform vec2 chromaScale;
float sampleY(vec2 at) { return texture2D(planeY, at).r; }
float sampleU(vec2 at) { return texture2D(planeU, at).r; }
float sampleV(vec2 at) { return texture2D(planeV, at).r; }
void main() {
${conversionBody}
  gl_FragColor = vec4(rgb, 1.0);
}
`;

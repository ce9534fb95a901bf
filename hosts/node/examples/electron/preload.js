// Runs in the window with Node's require (sandbox off) but apart from the page's scripts: it
// takes the port from the main process and draws each frame on the channel's canvas.
'use strict';
const { ipcRenderer } = require('electron');
const { YuvRenderer, receivedFrame } = require('quorlane/renderer');

ipcRenderer.once('frames', (event) => {
  const [port] = event.ports;
  const renderers = new Map();
  port.onmessage = ({ data }) => {
    let renderer = renderers.get(data.channel);
    if (!renderer) {
      const canvas = document.getElementById(`channel-${data.channel}`);
      if (!canvas) return;
      renderer = new YuvRenderer(canvas);
      renderers.set(data.channel, renderer);
    }
    renderer.draw(receivedFrame(data));
  };
  port.start();
});

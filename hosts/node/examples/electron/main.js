// Electron main process: starts the bridge on the demo room and hands each frame to the window
// through a MessagePort, the payload's buffer transferred rather than copied.
'use strict';
const path = require('node:path');
const { app, BrowserWindow, MessageChannelMain } = require('electron');
const { Bridge } = require('quorlane');
const { frameForTransfer } = require('quorlane/renderer');

async function main() {
  await app.whenReady();
  const window = new BrowserWindow({
    width: 1280,
    height: 760,
    webPreferences: {
      preload: path.join(__dirname, 'preload.js'),
      sandbox: false,
      contextIsolation: true,
    },
  });
  await window.loadFile(path.join(__dirname, 'index.html'));

  const { port1, port2 } = new MessageChannelMain();
  window.webContents.postMessage('frames', null, [port2]);

  // The prebuilt bridge of the installed platform package (from app.asar.unpacked once packaged),
  // on the simulated SDK's demo room; the vendor's SDK: sdk 'vendor' with sdkDll, appId, appSign.
  // Its log goes to the application's log folder, which its user can write, never to the folder
  // the application is installed in.
  const bridge = await Bridge.start({ sdk: 'sim', cwd: app.getPath('logs') });
  // Every frame goes to the window; after the transfer the frame belongs to it (no release()).
  bridge.on('frame', (frame) => {
    const [message, transfer] = frameForTransfer(frame);
    port1.postMessage(message, transfer);
  });

  await bridge.login('electron-host', 'Electron Host', 1);
  await bridge.enterRoom('demo', 'Demo Room', 1);
  await bridge.requestView(['demo-1', 'demo-2', 'demo-3']);
  await bridge.openCamera();
  await bridge.startPreview();

  app.on('window-all-closed', async () => {
    await bridge.close();
    app.quit();
  });
}

main().catch((error) => {
  console.error(error);
  app.exit(1);
});

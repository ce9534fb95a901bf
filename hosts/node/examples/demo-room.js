// A plain Node.js host: starts the bridge on the simulated SDK's demo room, views its streams,
// previews, publishes, and prints what arrives. In an installed package:
//   node node_modules/quorlane/examples/demo-room.js
// In the repository, after `npm run build`:
//   QUORLANE_EXECUTABLE=../../build/Quorlane node examples/demo-room.js
const { Bridge, streamsOf } = require('..');

async function main() {
  // No cwd: the bridge works in the user's own folder (config.cfg, log/), which bridge.cwd names.
  const bridge = await Bridge.start(process.env.QUORLANE_EXECUTABLE ? {} : { sdk: 'sim' });
  console.log('the bridge works in', bridge.cwd);
  bridge.on('event', (event) => console.log('event', event.type, JSON.stringify(event.param)));
  bridge.on('exit', (exit) => console.log('bridge ended', exit));

  console.log('login', await bridge.login('demo-host', 'Demo Host', 1));
  const listed = new Promise((resolve) => bridge.once('StreamsList', resolve));
  console.log('enterRoom', await bridge.enterRoom('demo', 'Demo Room', 1));
  const streams = streamsOf(await listed).map((s) => s.StreamId);
  await bridge.requestView(streams);
  console.log('openCamera', await bridge.openCamera(), 'startPreview', await bridge.startPreview());
  await bridge.startPushRtmp('demo-host-live', 'Hello from Node');
  await bridge.sendRoomMessage('Hello, room!');

  // Frames for three seconds, the newest only: a slow consumer never holds the bridge up.
  const until = Date.now() + 3000;
  for await (const frame of bridge.frames({ channel: 1, latestOnly: true })) {
    console.log(
      `frame on channel ${frame.channel}: ${frame.width}x${frame.height}, Y[0]=${frame.y[0]}`,
    );
    if (Date.now() > until) break;
    await new Promise((resolve) => setTimeout(resolve, 250));
  }
  console.log(
    'counters',
    bridge.channels.map((c) => c.counters),
  );

  await bridge.stopPushRtmp();
  await bridge.exitRoom();
  console.log('logout', await bridge.logout());
  await bridge.close();
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});

import assert from 'node:assert/strict';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import type { Browser, Page } from 'playwright-core';
import { startView, type RunningView } from '../../src/view/cli';
import { executable } from '../helpers';
import { chromiumMissing, launchChromium } from './chromium';
import { medianColour, near, type Colour } from './screenshot-colours';

const skip = chromiumMissing();
// Failure guards only: a loaded machine draws with software WebGL slowly.
const timeout = 120_000;
let browser: Browser;

before(async () => {
  if (!skip) browser = await launchChromium();
});

after(async () => {
  await browser?.close();
});

async function openView(view: RunningView): Promise<Page> {
  const page = await browser.newPage({ viewport: { width: 1400, height: 820 } });
  await page.goto(view.view.url);
  return page;
}

/** Waits until every listed channel has drawn `count` frames. */
async function drawn(page: Page, channels: number[], count: number): Promise<void> {
  await page.waitForFunction(
    ({ channels, count }) =>
      channels.every(
        (c) => Number(document.getElementById(`channel-${c}`)?.dataset['frames']) >= count,
      ),
    { channels, count },
    { timeout: 60_000 },
  );
}

/** Waits until every listed channel has drawn `count` frames, then reads each canvas's colour. */
async function channelColours(page: Page, channels: number[], count: number): Promise<Colour[]> {
  await drawn(page, channels, count);
  const colours: Colour[] = [];
  for (const channel of channels) {
    const png = await page.locator(`#channel-${channel} canvas`).screenshot();
    colours.push(await medianColour(page, png));
  }
  return colours;
}

test(
  'shows scripted solid frames of an odd size on their own channel canvases',
  { skip, timeout },
  async () => {
    const running = await startView({ executable, scripted: true, port: 0 });
    try {
      const expected: Colour[] = [
        [208, 32, 48],
        [32, 192, 64],
        [48, 80, 224],
        [224, 192, 32],
        [160, 64, 192],
      ];
      const hex = (c: Colour): string =>
        `#${c.map((v) => v.toString(16).padStart(2, '0')).join('')}`;
      await running.view.send({
        type: 'EnterRoom',
        param: { RoomName: 'Room', RoomID: 'r1', role: 1 },
      });
      await running.view.send({ type: 'RequestView', param: ['s1', 's2', 's3', 's4'] });
      await running.bridge.sim.sync();
      const streams = [null, 's1', 's2', 's3', 's4'];
      for (const [channel, stream] of streams.entries()) {
        await running.bridge.sim.source({
          stream,
          width: 161,
          height: 91,
          fps: 10,
          pattern: 'solid',
          color: hex(expected[channel]!),
        });
      }
      const page = await openView(running);
      const colours = await channelColours(page, [0, 1, 2, 3, 4], 3);
      colours.forEach((colour, channel) =>
        assert.ok(
          near(colour, expected[channel]!, 2),
          `channel ${channel} shows ${colour}, expected ${expected[channel]}`,
        ),
      );
      const canvasSize = await page.evaluate(() => {
        const canvas = document.querySelector('#channel-4 canvas') as HTMLCanvasElement;
        return [canvas.width, canvas.height];
      });
      assert.deepEqual(canvasSize, [161, 91]);
      // The simulated SDK answers only the script in scripted mode: no demo buttons.
      assert.equal(await page.locator('#buttons').isHidden(), true);
      assert.equal(await page.locator('#buttons button').count(), 0);
    } finally {
      await running.close();
    }
  },
);

// The demo room paints each stream's background in a colour picked by a hash of its ID.
const demoPalette: Colour[] = [
  [170, 40, 40],
  [40, 140, 40],
  [40, 60, 170],
  [150, 120, 30],
  [130, 40, 140],
  [30, 130, 140],
];
function demoStreamColour(id: string): Colour {
  let hash = 0;
  for (const c of Buffer.from(id)) hash = (Math.imul(hash, 31) + c) >>> 0;
  return demoPalette[hash % 6]!;
}

test(
  'drives the demo room from its buttons: transcript, streams and preview on their canvases',
  { skip, timeout },
  async () => {
    const running = await startView({ executable, scripted: false, port: 0 });
    try {
      const page = await openView(running);
      const click = (label: string) =>
        page.getByRole('button', { name: label, exact: true }).click();
      const transcriptShows = (text: string) =>
        page.locator('#transcript .entry', { hasText: text }).first().waitFor({ timeout: 30_000 });
      await click('Login');
      await transcriptShows('{"code":1,"type":"Login"}');
      await click('EnterRoom');
      await transcriptShows('"type":"StreamsList"');
      await click('RequestView demo-1..3');
      await click('OpenCamera');
      await click('StartPreview');
      await transcriptShows('{"code":1,"type":"StartPreview"}');
      const colours = await channelColours(page, [1, 2, 3, 0], 5);
      ['demo-1', 'demo-2', 'demo-3'].forEach((id, index) => {
        const expected = demoStreamColour(id);
        assert.ok(
          near(colours[index]!, expected, 3),
          `${id} shows ${colours[index]}, expected ${expected}`,
        );
      });
      // The camera picture is sky over ground, mostly blue-ish: not one of the stream colours.
      const preview = colours[3]!;
      assert.ok(preview[2] > preview[0], `the preview shows ${preview}`);
      await click('SendRoomMessage');
      await transcriptShows('"type":"SendRoomMessage","param"');
      const entries = await page.locator('#transcript .entry .kind').allTextContents();
      for (const kind of ['command', 'reply', 'event'])
        assert.ok(entries.includes(kind), `no ${kind} in the transcript`);
    } finally {
      await running.close();
    }
  },
);

test(
  'a session script waits for the first page, which sees its frames; the demo session is one button',
  { skip, timeout },
  async () => {
    const demoScript = join(__dirname, '..', '..', '..', '..', '..', 'tools', 'demo.qhs');
    const scripted = await startView({
      executable,
      scriptFile: demoScript,
      scripted: false,
      port: 0,
    });
    try {
      // The whole script takes seconds; it must not have started before a page is there.
      assert.deepEqual(
        scripted.view.sessions.list().map((s) => s.status),
        ['ready'],
      );
      assert.ok(scripted.view.transcript.history().every((entry) => entry.kind !== 'command'));
      const page = await openView(scripted);
      await drawn(page, [1, 2, 3, 0], 5);
      assert.equal(await scripted.session, true);
      await page.locator('#session-script[data-status="passed"]').waitFor({ timeout: 30_000 });
    } finally {
      await scripted.close();
    }

    const demo = await startView({ executable, scripted: false, port: 0 });
    try {
      const page = await openView(demo);
      const run = page.getByRole('button', { name: 'Run the demo session', exact: true });
      await run.click();
      await drawn(page, [1, 2, 3, 0], 3);
      await page.locator('#session-demo[data-status="passed"]').waitFor({ timeout: 60_000 });
      assert.match((await page.locator('header').textContent()) ?? '', /done.*bridge Quorlane/);
      // The session ends with Logout: every tile it played shows that it stopped.
      for (const channel of [0, 1, 2, 3])
        await page
          .locator(`#channel-${channel}[data-state="stopped"]`)
          .waitFor({ timeout: 30_000 });
      // A finished session runs again, and its channels come back to life.
      await run.click();
      await page.locator('#session-demo[data-status="running"]').waitFor({ timeout: 30_000 });
      for (const channel of [0, 1, 2, 3])
        await page.locator(`#channel-${channel}[data-state="live"]`).waitFor({ timeout: 60_000 });
      await page.locator('#session-demo[data-status="passed"]').waitFor({ timeout: 60_000 });
      const screenshotFile = process.env['QUORLANE_VIEW_SCREENSHOT'];
      if (screenshotFile) {
        await page.waitForTimeout(1500);
        await page.screenshot({ path: screenshotFile });
      }
    } finally {
      await demo.close();
    }
  },
);

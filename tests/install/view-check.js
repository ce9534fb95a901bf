// Opens a quorlane-view page in headless Chromium as a new user would, from the address it printed
// (with its token), runs the demo session from its button, and checks a screenshot: channels 1 to 3
// show the demo room's streams in their colours, channel 0 the camera preview; the session ends
// with Logout, so the tiles then show they stopped, and a second run brings them back to life.
//     node view-check.js PLAYWRIGHT_CORE_DIR URL SCREENSHOT.png
'use strict';
const [playwrightDir, url, screenshotFile] = process.argv.slice(2);
const { chromium } = require(playwrightDir);

// The demo room paints each stream's background in a colour picked by a hash of its ID.
const demoPalette = [
  [170, 40, 40],
  [40, 140, 40],
  [40, 60, 170],
  [150, 120, 30],
  [130, 40, 140],
  [30, 130, 140],
];
function demoStreamColour(id) {
  let hash = 0;
  for (const c of Buffer.from(id)) hash = (Math.imul(hash, 31) + c) >>> 0;
  return demoPalette[hash % 6];
}

// The per-channel median colour of the part of a PNG screenshot inside `box`.
function medianColour(page, png, box) {
  return page.evaluate(
    async ({ base64, box }) => {
      const blob = await (await fetch(`data:image/png;base64,${base64}`)).blob();
      const bitmap = await createImageBitmap(blob, box.x, box.y, box.width, box.height);
      const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
      const context = canvas.getContext('2d');
      context.drawImage(bitmap, 0, 0);
      const { data } = context.getImageData(0, 0, bitmap.width, bitmap.height);
      const median = (offset) => {
        const histogram = new Array(256).fill(0);
        for (let i = offset; i < data.length; i += 4) histogram[data[i]]++;
        let seen = 0;
        for (let value = 0; value < 256; value++) {
          seen += histogram[value];
          if (seen * 2 >= data.length / 4) return value;
        }
        return 255;
      };
      return [median(0), median(1), median(2)];
    },
    { base64: png.toString('base64'), box },
  );
}

const channelsIn = (page, state) =>
  Promise.all(
    [0, 1, 2, 3].map((c) =>
      page.locator(`#channel-${c}[data-state="${state}"]`).waitFor({ timeout: 60_000 }),
    ),
  );

async function main() {
  const browser = await chromium.launch({
    executablePath: process.env.QUORLANE_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
  });
  const failures = [];
  try {
    const page = await browser.newPage({ viewport: { width: 1400, height: 820 } });
    await page.goto(url);
    const run = page.getByRole('button', { name: 'Run the demo session', exact: true });
    await run.click();
    // Failure guards only: a loaded machine draws with software WebGL slowly.
    await page.locator('#session-demo[data-status="passed"]').waitFor({ timeout: 120_000 });
    await page.waitForFunction(
      () =>
        [0, 1, 2, 3].every(
          (c) => Number(document.getElementById(`channel-${c}`).dataset.frames) >= 5,
        ),
      undefined,
      { timeout: 120_000 },
    );
    await channelsIn(page, 'stopped');
    console.log('after the Logout that ends the session, every tile shows it stopped');
    const png = await page.screenshot({ path: screenshotFile });
    for (const [channel, stream] of [
      [1, 'demo-1'],
      [2, 'demo-2'],
      [3, 'demo-3'],
      [0, null],
    ]) {
      const box = await page.locator(`#channel-${channel} canvas`).boundingBox();
      const colour = await medianColour(page, png, box);
      const expected = stream && demoStreamColour(stream);
      const fits = expected
        ? colour.every((value, i) => Math.abs(value - expected[i]) <= 3)
        : colour[2] > colour[0]; // the camera picture: sky over ground, mostly blue-ish
      console.log(`channel ${channel}: ${stream ?? 'preview'}, median colour ${colour.join(',')}`);
      if (!fits)
        failures.push(`channel ${channel} shows ${colour}, expected ${expected ?? 'blue-ish'}`);
    }
    await run.click();
    await channelsIn(page, 'live');
    await page.locator('#session-demo[data-status="passed"]').waitFor({ timeout: 120_000 });
    console.log('the demo session runs again: every channel came back to life');
  } finally {
    await browser.close();
  }
  if (failures.length > 0) throw new Error(failures.join('\n'));
}

main().catch((error) => {
  console.error(`view check failed: ${error.message}`);
  process.exit(1);
});

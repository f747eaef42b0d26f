// The archive gallery in Debian's chromium at phone width, served by nginx from a web directory
// made by scripts/webdir with three archived days.
// usage: node gallery_test.js
"use strict";
const fs = require("fs");
const path = require("path");
const assert = require("assert/strict");
const { test, before, after } = require("node:test");
const h = require("./harness");

const VIDEO_SECONDS = 3;
// day -> the pictures' times (one picture per time), and whether the day has its time-lapse and keogram
const DAYS = {
  "20261208": { times: ["235800", "235900"], products: false },
  "20261209": { times: ["080000", "080100", "080200", "080300"], products: true },
  "20261210": { times: ["000000", "000100", "000200"], products: false },
};
const COLORS = ["#ff0000", "#00ff00", "#0000ff", "#ffff00"];
const MISSING_THUMB = "20261210000100";
const MISSING_PICTURE = "20261208235900";  // its thumbnail is there

function stampsOf(day) {
  return DAYS[day].times.map((time) => day + time);
}

// The archive as the converter and the day builder leave it, written oldest first.
function archive() {
  const root = h.webDirectory();
  const dir = path.join(root, "archive");
  const list = [];
  for (const [day, { times, products }] of Object.entries(DAYS)) {
    const pictures = stampsOf(day).map((stamp, i) => {
      if (stamp !== MISSING_PICTURE) h.jpeg(path.join(dir, stamp + ".jpg"), COLORS[i], 320, 240);
      if (stamp !== MISSING_THUMB) h.jpeg(path.join(dir, "thumbs", stamp + ".jpg"), COLORS[i], 160, 120);
      const iso = `${day.slice(0, 4)}-${day.slice(4, 6)}-${day.slice(6)}T${stamp.slice(8, 10)}:${stamp.slice(10, 12)}:` +
                  `${stamp.slice(12)}+01:00`;
      return { stamp, taken_at: iso, taken_epoch: Date.parse(iso) / 1000 };
    });
    h.writeJson(path.join(dir, "days", day + ".json"), { day, pictures });
    if (products) {
      h.mp4(path.join(dir, "days", day + ".mp4"), VIDEO_SECONDS);
      h.jpeg(path.join(dir, "days", day + "-keogram.jpg"), "gray", times.length, 40);
    }
    list.push({ day, count: times.length, first: pictures[0].stamp, last: pictures.at(-1).stamp,
                video: products ? `days/${day}.mp4` : null, keogram: products ? `days/${day}-keogram.jpg` : null });
  }
  h.writeJson(path.join(dir, "days.json"), { days: list });
  return root;
}

let browser, root, server;
before(async () => {
  browser = await h.launch();
  root = archive();
  server = await h.serve(root);
});
after(async () => {
  await browser.close();
  await server.stop();
  fs.rmSync(root, { recursive: true });
});

async function open(hash = "") {
  const page = await browser.context.newPage();
  const seen = h.watch(page);
  await page.goto(server.url + "archive/gallery.html" + hash, { waitUntil: "networkidle" });
  await page.waitForFunction(() => !document.getElementById("day").hidden, null, { timeout: 10000 });
  return { page, seen };
}

const gridStamps = (page) => page.locator("#grid img").evaluateAll((images) =>
  images.map((image) => image.getAttribute("src").match(/(\d{14})\.jpg$/)[1]));

async function viewerState(page) {
  return page.evaluate(() => {
    const picture = document.getElementById("viewer-picture");
    return { open: !document.getElementById("viewer").hidden,
             stamp: (picture.getAttribute("src") || "").replace(/\.jpg$/, ""),
             whole: picture.complete && picture.naturalWidth > 0,
             caption: document.getElementById("viewer-caption").textContent };
  });
}

async function waitForViewer(page, stamp) {
  await page.waitForFunction((s) => {
    const picture = document.getElementById("viewer-picture");
    return picture.getAttribute("src") === s + ".jpg" && picture.complete && picture.naturalWidth > 0;
  }, stamp, { timeout: 5000 });
}

test("gallery: days newest first, the newest shown with readable times, whole at phone width", async () => {
  const { page, seen } = await open();
  try {
    assert.deepEqual(await page.locator("#days a").allTextContents(),
                     ["2026-12-10 (3)", "2026-12-09 (4)", "2026-12-08 (2)"]);
    assert.equal(await page.locator("#days a[aria-current=true]").textContent(), "2026-12-10 (3)");
    assert.equal(await page.locator("#day-title").textContent(), "Thursday, 10 December 2026 · 3 pictures · UTC+01:00");
    assert.deepEqual(await page.locator("#grid span").allTextContents(), ["00:00:00", "00:01:00", "00:02:00"]);
    // The missing thumbnail falls back to its picture, so no image is broken.
    assert.deepEqual(await gridStamps(page), stampsOf("20261210"));
    assert.equal(await page.locator("#video").isVisible(), false);
    assert.equal(await page.locator("#keogram").isVisible(), false);
    assert.deepEqual(await h.layoutProblems(page), []);
    assert.deepEqual(seen.consoleErrors, []);
    assert.deepEqual(seen.failedRequests, [`/archive/thumbs/${MISSING_THUMB}.jpg 404`]);
    await page.click("text=← Live picture");
    await page.waitForURL(server.url + "index.html");
  } finally {
    await page.close();
  }
});

test("gallery: a picture opens in the viewer and the arrow keys step through the day", async () => {
  const { page, seen } = await open("#20261209");
  const stamps = stampsOf("20261209");
  try {
    await page.locator("#grid button").nth(1).click();
    await waitForViewer(page, stamps[1]);
    assert.equal((await viewerState(page)).caption, "2026-12-09 08:01:00 UTC+01:00 · 2 of 4");
    assert.deepEqual(await h.layoutProblems(page), []);
    // key -> the picture shown after it, from the second picture on; the ends hold.
    const steps = [["ArrowRight", 2], ["ArrowRight", 3], ["ArrowRight", 3], ["ArrowLeft", 2], ["ArrowLeft", 1],
                   ["ArrowLeft", 0], ["ArrowLeft", 0]];
    for (const [key, index] of steps) {
      await page.keyboard.press(key);
      await waitForViewer(page, stamps[index]);
    }
    assert.equal(await page.locator("#previous").isDisabled(), true);
    await page.click("#next");
    await waitForViewer(page, stamps[1]);
    await page.keyboard.press("Escape");
    assert.equal((await viewerState(page)).open, false);
    assert.deepEqual(seen.consoleErrors, []);
  } finally {
    await page.close();
  }
});

test("gallery: a picture missing from the archive is said so in the viewer, not shown broken", async () => {
  const { page, seen } = await open("#20261208");
  try {
    await page.locator("#grid button").nth(1).click();
    await page.locator("#viewer-missing").waitFor({ state: "visible" });
    assert.equal(await page.locator("#viewer-picture").isVisible(), false);
    assert.deepEqual(await h.layoutProblems(page), []);
    await page.keyboard.press("ArrowLeft");
    await waitForViewer(page, stampsOf("20261208")[0]);
    assert.equal(await page.locator("#viewer-missing").isVisible(), false);
    assert.deepEqual(seen.failedRequests, [`/archive/${MISSING_PICTURE}.jpg 404`]);
    assert.deepEqual(seen.consoleErrors, []);
  } finally {
    await page.close();
  }
});

test("gallery: the day's time-lapse plays with its duration", async () => {
  const { page, seen } = await open("#20261209");
  try {
    assert.equal(await page.locator("#video").isVisible(), true);
    // What the play button does: the player fetches enough to play on.
    await page.evaluate(() => { const video = document.getElementById("video"); video.muted = true; return video.play(); });
    await page.waitForFunction(() => document.getElementById("video").readyState >= 3, null, { timeout: 10000 });
    const duration = await page.evaluate(() => document.getElementById("video").duration);
    assert.ok(Math.abs(duration - VIDEO_SECONDS) < 0.05, `duration ${duration} s`);
    assert.deepEqual(await h.layoutProblems(page), []);
    assert.deepEqual(seen.consoleErrors, []);
  } finally {
    await page.close();
  }
});

test("gallery: clicking the keogram opens the picture of that column", async () => {
  const { page } = await open("#20261209");
  const stamps = stampsOf("20261209");
  try {
    const keogram = page.locator("#keogram");
    await page.waitForFunction(() => document.getElementById("keogram").naturalWidth === 4);
    const box = await keogram.boundingBox();
    // One column per picture, oldest left: the middle of column i, and two pixels in from both edges.
    const clicks = [[0.5 / 4 * box.width, 0], [1.5 / 4 * box.width, 1], [2.5 / 4 * box.width, 2],
                    [3.5 / 4 * box.width, 3], [2, 0], [box.width - 2, 3]];
    for (const [x, index] of clicks) {
      await keogram.click({ position: { x, y: box.height / 2 } });
      await waitForViewer(page, stamps[index]);
      await page.keyboard.press("Escape");
    }
  } finally {
    await page.close();
  }
});

test("gallery: an empty archive says so, without overflowing", async () => {
  const empty = h.webDirectory();
  const emptyServer = await h.serve(empty);
  const page = await browser.context.newPage();
  const seen = h.watch(page);
  try {
    await page.goto(emptyServer.url + "archive/gallery.html", { waitUntil: "networkidle" });
    assert.equal(await page.locator("#message").textContent(), "There are no days in the archive yet.");
    assert.equal(await page.locator("#day").isVisible(), false);
    assert.deepEqual(await h.layoutProblems(page), []);
    assert.deepEqual(seen.consoleErrors, []);
    assert.deepEqual(seen.failedRequests, ["/archive/days.json 404"]);
  } finally {
    await page.close();
    await emptyServer.stop();
    fs.rmSync(empty, { recursive: true });
  }
});

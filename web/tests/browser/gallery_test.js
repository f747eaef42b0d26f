// The archive gallery in Debian's chromium at phone width, served by nginx with the shipped
// configuration from a web directory made by scripts/webdir with three archived days and a day
// without pictures, and with damaged lists.
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
  "20261207": { times: [], products: false },  // a polar night: listed without pictures
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
    if (!times.length) {
      list.push({ day, count: 0, first: null, last: null, video: null, keogram: null });
      continue;
    }
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

const classOf = (locator) => locator.evaluate((element) => element.className);

async function waitForViewer(page, stamp) {
  await page.waitForFunction((s) => {
    const picture = document.getElementById("viewer-picture");
    return picture.getAttribute("src") === s + ".jpg" && picture.complete && picture.naturalWidth > 0;
  }, stamp, { timeout: 5000 });
}

test("gallery: days newest first with their capture windows, the newest shown with readable times, whole at phone width",
     async () => {
  const { page, seen } = await open();
  try {
    assert.deepEqual(await page.locator("#days a .date").allTextContents(),
                     ["2026-12-10 (3)", "2026-12-09 (4)", "2026-12-08 (2)", "2026-12-07 (0)"]);
    assert.deepEqual(await page.locator("#days a .window").allTextContents(),
                     ["00:00\u201300:02", "08:00\u201308:03", "23:58\u201323:59", "no pictures"]);
    assert.equal(await page.locator("#days a[aria-current=true] .date").textContent(), "2026-12-10 (3)");
    assert.equal(await page.locator("#day-title").textContent(), "Thursday, 10 December 2026 · 3 pictures · UTC+01:00");
    assert.equal(await page.locator("#day-window").textContent(), "Pictures from 00:00 to 00:02");
    assert.equal(await page.locator("#day-message").isVisible(), false);
    assert.equal(await page.locator("#message").isVisible(), false);
    assert.deepEqual(await page.locator("#grid span").allTextContents(), ["00:00:00", "00:01:00", "00:02:00"]);
    // The missing thumbnail falls back to its picture, so no image is broken.
    assert.deepEqual(await gridStamps(page), stampsOf("20261210"));
    assert.equal(await page.locator("#video").isVisible(), false);
    assert.equal(await page.locator("#keogram").isVisible(), false);
    assert.deepEqual(await h.layoutProblems(page), []);
    h.expectClean(seen, [`/archive/thumbs/${MISSING_THUMB}.jpg 404`]);
    await page.click("text=← Live picture");
    await page.waitForURL(server.url + "index.html");
  } finally {
    await page.close();
  }
});

test("gallery: a day without pictures (a polar night) is shown as such, not as a fault", async () => {
  const { page, seen } = await open("#20261207");
  try {
    assert.equal(await page.locator("#day-title").textContent(), "Monday, 7 December 2026 · no pictures");
    assert.equal(await page.locator("#day-message").textContent(), "No pictures were taken on this day.");
    assert.equal(await classOf(page.locator("#day-message")), "");
    assert.equal(await page.locator("#day-window").isVisible(), false);
    assert.equal(await page.locator("#grid li").count(), 0);
    assert.equal(await page.locator("#video").isVisible(), false);
    // Back to a day with pictures: its window and grid come back, the note goes.
    await page.click("#days a[href='#20261209']");
    await page.waitForFunction(() => document.querySelectorAll("#grid li").length === 4);
    assert.equal(await page.locator("#day-window").textContent(), "Pictures from 08:00 to 08:03");
    assert.equal(await page.locator("#day-message").isVisible(), false);
    assert.deepEqual(await h.layoutProblems(page), []);
    h.expectClean(seen);
    assert.ok(!seen.requests.some((url) => url.pathname === "/archive/days/20261207.json"), "asked for a list it has not");
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
    h.expectClean(seen);
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
    h.expectClean(seen, [`/archive/${MISSING_PICTURE}.jpg 404`]);
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
    h.expectClean(seen);
  } finally {
    await page.close();
  }
});

test("gallery: clicking the keogram opens the picture of that column", async () => {
  const { page, seen } = await open("#20261209");
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
    h.expectClean(seen);
  } finally {
    await page.close();
  }
});

test("gallery: an empty archive from tessel-webdir says so, without overflowing or a failed request", async () => {
  const empty = h.webDirectory();
  const emptyServer = await h.serve(empty);
  const page = await browser.context.newPage();
  const seen = h.watch(page);
  try {
    await page.goto(emptyServer.url + "archive/gallery.html", { waitUntil: "networkidle" });
    assert.equal(await page.locator("#message").textContent(), "There are no days in the archive yet.");
    assert.equal(await classOf(page.locator("#message")), "");
    assert.equal(await page.locator("#day").isVisible(), false);
    assert.deepEqual(await h.layoutProblems(page), []);
    h.expectClean(seen);
  } finally {
    await page.close();
    await emptyServer.stop();
    fs.rmSync(empty, { recursive: true });
  }
});

// How a list reaches the page in a case below: a body served with status 200, another status, or
// a connection that fails.
const body = (value) => ({ body: typeof value === "string" ? value : JSON.stringify(value) });
const DAY_ENTRY = { day: "20261209", count: 4, first: "20261209080000", last: "20261209080300",
                    video: "days/20261209.mp4", keogram: "days/20261209-keogram.jpg" };
const DAMAGED_DAYS = " of the list of days";

// A damaged or unreadable days.json: the message shown (its class "error" unless said), the days
// still listed, and the failed request the browser notes.
const daysListCases = [
  { name: "null", reply: body("null"), message: "The list of archived days cannot be read (days.json holds no list of days). Please try again later." },
  { name: "an array", reply: body([DAY_ENTRY]), message: "The list of archived days cannot be read (days.json holds no list of days). Please try again later." },
  { name: "a string", reply: body("\"20261209\""), message: "The list of archived days cannot be read (days.json holds no list of days). Please try again later." },
  { name: "days null", reply: body({ days: null }), message: "The list of archived days cannot be read (days.json holds no list of days). Please try again later." },
  { name: "days an object", reply: body({ days: { 20261209: DAY_ENTRY } }), message: "The list of archived days cannot be read (days.json holds no list of days). Please try again later." },
  { name: "cut short", reply: body('{"days":[{"day":"2026'), message: "The list of archived days cannot be read (days.json is not valid JSON). Please try again later." },
  { name: "empty", reply: body(""), message: "The list of archived days cannot be read (days.json is not valid JSON). Please try again later." },
  { name: "status 500", reply: { status: 500, body: "oops" }, failed: "/archive/days.json 500",
    message: "The list of archived days cannot be read (days.json: the server answered 500). Please try again later." },
  { name: "status 403", reply: { status: 403, body: "Forbidden" }, failed: "/archive/days.json 403",
    message: "The list of archived days cannot be read (days.json: the server answered 403). Please try again later." },
  { name: "connection failed", reply: "abort", failed: "/archive/days.json net::ERR_FAILED",
    message: "The list of archived days cannot be read (days.json could not be fetched). Please try again later." },
  { name: "status 404: no list yet", reply: { status: 404, body: "Not Found" }, failed: "/archive/days.json 404", kind: "",
    message: "There are no days in the archive yet." },
  { name: "only damaged entries", reply: body({ days: [null, 7, "20261209", [], { day: 20261209 }, { count: 3 }] }),
    message: "6 entries" + DAMAGED_DAYS + " are damaged and left out." },
  { name: "damaged entries beside a good one",
    reply: body({ days: [{ day: "2026120" }, { day: "20261309" }, { day: "20261200" }, DAY_ENTRY, { ...DAY_ENTRY, count: 9 }] }),
    message: "4 entries" + DAMAGED_DAYS + " are damaged and left out.", listed: ["2026-12-09 (4)"] },
  { name: "wrong types in a good entry",
    reply: body({ days: [{ day: "20261209", count: "four", first: 20261209080000, last: null, video: 5, keogram: {} }] }),
    message: null, listed: ["2026-12-09"], windows: [""], window: "Pictures from 08:00 to 08:03" },
];

for (const c of daysListCases) {
  test(`gallery: days.json ${c.name} is said so in words`, async () => {
    const page = await browser.context.newPage();
    const seen = h.watch(page);
    try {
      await page.route(/\/archive\/days\.json$/, (route) =>
        c.reply === "abort" ? route.abort("failed") : route.fulfill({ contentType: "application/json", ...c.reply }));
      await page.goto(server.url + "archive/gallery.html", { waitUntil: "networkidle" });
      if (c.listed) await page.waitForFunction(() => !document.getElementById("day").hidden, null, { timeout: 10000 });
      const message = page.locator("#message");
      assert.equal(await message.isVisible() ? await message.textContent() : null, c.message);
      if (c.message) assert.equal(await classOf(message), c.kind ?? "error");
      assert.deepEqual(await page.locator("#days a .date").allTextContents(), c.listed ?? []);
      if (c.windows) assert.deepEqual(await page.locator("#days a .window").allTextContents(), c.windows);
      if (c.window) assert.equal(await page.locator("#day-window").textContent(), c.window);
      assert.equal(await page.locator("#day").isVisible(), Boolean(c.listed));
      assert.deepEqual(await h.layoutProblems(page), []);
      h.expectClean(seen, c.failed ? [c.failed] : []);
    } finally {
      await page.close();
    }
  });
}

// A damaged or unreadable list of the day 2026-12-09 (days.json is fine): the note under the day's
// title, the thumbnails still shown, and the failed request the browser notes. The window then
// comes from days.json's entry.
const dayListCases = [
  { name: "null", reply: body("null"), note: "The list of this day's pictures cannot be read (days/20261209.json holds no list of pictures).", grid: 0 },
  { name: "pictures a string", reply: body({ day: "20261209", pictures: "080000" }), grid: 0,
    note: "The list of this day's pictures cannot be read (days/20261209.json holds no list of pictures)." },
  { name: "cut short", reply: body('{"day":"20261209","pictures":[{"st'), grid: 0,
    note: "The list of this day's pictures cannot be read (days/20261209.json is not valid JSON)." },
  { name: "missing", reply: { status: 404, body: "Not Found" }, failed: "/archive/days/20261209.json 404", grid: 0,
    note: "The list of this day's pictures cannot be read (days/20261209.json: the server answered 404)." },
  { name: "connection failed", reply: "abort", failed: "/archive/days/20261209.json net::ERR_FAILED", grid: 0,
    note: "The list of this day's pictures cannot be read (days/20261209.json could not be fetched)." },
  { name: "damaged entries beside good ones",
    reply: body({ day: "20261209", pictures: [null, 5, { stamp: 20261209080000 }, { stamp: "20261208080000" },
                                                 { stamp: "20261209080100" }, { stamp: "20261209080000" }] }),
    note: "4 entries of this day's list are damaged and left out.", grid: 2, window: "Pictures from 08:00 to 08:01" },
];

for (const c of dayListCases) {
  test(`gallery: a day list ${c.name} is said so in words`, async () => {
    const page = await browser.context.newPage();
    const seen = h.watch(page);
    try {
      await page.route(/\/archive\/days\/20261209\.json$/, (route) =>
        c.reply === "abort" ? route.abort("failed") : route.fulfill({ contentType: "application/json", ...c.reply }));
      await page.goto(server.url + "archive/gallery.html#20261209", { waitUntil: "networkidle" });
      await page.waitForFunction(() => !document.getElementById("day").hidden, null, { timeout: 10000 });
      assert.equal(await page.locator("#day-message").textContent(), c.note);
      assert.equal(await classOf(page.locator("#day-message")), "error");
      assert.equal(await page.locator("#grid li").count(), c.grid);
      assert.equal(await page.locator("#day-window").textContent(), c.window ?? "Pictures from 08:00 to 08:03");
      assert.equal(await page.locator("#video").isVisible(), true, "the day's time-lapse is still offered");
      assert.equal(await page.locator("#message").isVisible(), false);
      assert.deepEqual(await h.layoutProblems(page), []);
      h.expectClean(seen, c.failed ? [c.failed] : []);
    } finally {
      await page.close();
    }
  });
}

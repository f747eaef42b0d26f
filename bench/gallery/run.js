// Measures the archive gallery on a full day: 1440 pictures (one a minute) with thumbnails, served
// by nginx, in headless chromium at phone width (375 x 667). Reports, as the median of RUNS page
// loads: the time from navigation until the day's grid is built and the thumbnails in view are
// drawn, how many thumbnails the browser fetched for that (the rest load as the visitor scrolls),
// the page's JavaScript heap, and the time one ArrowRight step in the viewer takes until the next
// picture is drawn.
// usage: node bench/gallery/run.js        (after scripts/bootstrap; RUNS=5 by default)
"use strict";
const fs = require("fs");
const path = require("path");
const h = require("../../web/tests/browser/harness");

const PICTURES = 1440, RUNS = Number(process.env.RUNS || 5), STEPS = 50;

function fullDay(root) {
  const archive = path.join(root, "archive"), day = "20261210";
  h.jpeg(path.join(root, "picture.jpg"), "#4a7bd0", 1280, 960);
  h.jpeg(path.join(root, "thumb.jpg"), "#4a7bd0", 160, 120);
  fs.mkdirSync(path.join(archive, "thumbs"), { recursive: true });
  const pictures = [];
  for (let i = 0; i < PICTURES; i++) {
    const stamp = day + String(Math.floor(i / 60)).padStart(2, "0") + String(i % 60).padStart(2, "0") + "00";
    fs.copyFileSync(path.join(root, "picture.jpg"), path.join(archive, stamp + ".jpg"));
    fs.copyFileSync(path.join(root, "thumb.jpg"), path.join(archive, "thumbs", stamp + ".jpg"));
    const iso = `2026-12-10T${stamp.slice(8, 10)}:${stamp.slice(10, 12)}:00+01:00`;
    pictures.push({ stamp, taken_at: iso, taken_epoch: Date.parse(iso) / 1000 });
  }
  h.writeJson(path.join(archive, "days", day + ".json"), { day, pictures });
  h.writeJson(path.join(archive, "days.json"), { days: [{ day, count: PICTURES, first: pictures[0].stamp,
    last: pictures.at(-1).stamp, video: null, keogram: null }] });
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

(async () => {
  const root = h.webDirectory();
  fullDay(root);
  const server = await h.serve(root);
  const browser = await h.launch();
  const loads = [], thumbs = [], heaps = [], steps = [];
  try {
    for (let run = 0; run < RUNS; run++) {
      const page = await browser.context.newPage();
      let thumbRequests = 0;
      page.on("request", (request) => { if (request.url().includes("/thumbs/")) thumbRequests++; });
      const started = Date.now();
      await page.goto(server.url + "archive/gallery.html");
      await page.waitForFunction((n) => {
        const images = [...document.querySelectorAll("#grid img")];
        const inView = images.filter((image) => image.getBoundingClientRect().top < innerHeight);
        return images.length === n && inView.length > 0 && inView.every((i) => i.complete && i.naturalWidth > 0);
      }, PICTURES, { polling: "raf", timeout: 60000 });
      loads.push(Date.now() - started);
      thumbs.push(thumbRequests);
      heaps.push(await page.evaluate(() => performance.memory.usedJSHeapSize) / 1048576);
      await page.locator("#grid button").first().click();
      const stepStarted = Date.now();
      for (let i = 1; i <= STEPS; i++) {
        await page.keyboard.press("ArrowRight");
        await page.waitForFunction((n) => {
          const picture = document.getElementById("viewer-picture");
          return picture.complete && picture.naturalWidth > 0 && /(\d+) of/.exec(
            document.getElementById("viewer-caption").textContent)[1] === String(n);
        }, i + 1, { polling: "raf" });
      }
      steps.push((Date.now() - stepStarted) / STEPS);
      await page.close();
    }
  } finally {
    await browser.close();
    await server.stop();
    fs.rmSync(root, { recursive: true });
  }
  console.log(`gallery, one day of ${PICTURES} pictures, 375x667, median of ${RUNS} runs:`);
  console.log(`  grid built, thumbnails in view drawn: ${median(loads)} ms (runs: ${loads.join(", ")})`);
  console.log(`  thumbnails fetched for that:          ${median(thumbs)} of ${PICTURES}`);
  console.log(`  JavaScript heap:                      ${median(heaps).toFixed(1)} MiB`);
  console.log(`  viewer step (ArrowRight to drawn):    ${median(steps).toFixed(1)} ms (1280x960 JPEG)`);
})().catch((error) => { console.error(error); process.exit(1); });

// Makes README's picture of the archive gallery: builds a web directory with two days of
// generated landscape pictures (thumbnails, day lists, a time-lapse and a keogram), serves it with
// nginx and has headless chromium render the real gallery page into a PNG.
// usage: node screenshot_gallery.js OUTPUT.png
"use strict";
const fs = require("fs");
const path = require("path");
const { execFileSync } = require("child_process");
const h = require("./harness");

const output = path.resolve(process.argv[2] || path.join(h.REPO, "docs/gallery.png"));
const PICTURES_A_DAY = 48;  // one every 30 minutes

const mix = (a, b, t) => "#" + [0, 2, 4].map((i) => {
  const x = parseInt(a.slice(1 + i, 3 + i), 16), y = parseInt(b.slice(1 + i, 3 + i), 16);
  return Math.round(x + (y - x) * t).toString(16).padStart(2, "0");
}).join("");

// A landscape at `hour`: night sky, dawn, day and dusk over a green field with the sun's arc.
function landscape(file, hour) {
  const light = Math.max(0, Math.sin(Math.PI * (hour - 6) / 12));
  const dusk = light > 0 && light < 0.5 ? 1 - light * 2 : 0;
  const sky = mix("#0b1026", "#3a7bd5", light);
  const horizon = mix(mix("#20203a", "#bfe0ff", light), "#f29e4c", dusk * 0.8);
  const args = ["-size", "640x480", `gradient:${sky}-${horizon}`];
  if (light > 0) {
    const x = Math.round(640 * (hour - 6) / 12), y = Math.round(360 - 300 * light);
    args.push("-fill", "#fff3b0", "-draw", `circle ${x},${y} ${x + 22},${y}`);
  }
  args.push("-fill", mix("#0a140a", "#3d7a3d", light), "-draw", "rectangle 0,360 640,480",
            "-fill", mix("#050a05", "#2a5a2a", light), "-draw", "polygon 0,360 180,300 360,360",
            "-quality", "85", file);
  execFileSync("convert", args);
}

function makeDay(archive, day) {
  const pictures = [];
  for (let i = 0; i < PICTURES_A_DAY; i++) {
    const minutes = i * 30 + 7;
    const time = String(Math.floor(minutes / 60)).padStart(2, "0") + String(minutes % 60).padStart(2, "0") + "05";
    const stamp = day + time;
    const file = path.join(archive, stamp + ".jpg");
    landscape(file, minutes / 60);
    execFileSync("convert", [file, "-resize", "160x", path.join(archive, "thumbs", stamp + ".jpg")]);
    const iso = `${day.slice(0, 4)}-${day.slice(4, 6)}-${day.slice(6)}T${time.slice(0, 2)}:${time.slice(2, 4)}:` +
                `${time.slice(4)}+01:00`;
    pictures.push({ stamp, taken_at: iso, taken_epoch: Date.parse(iso) / 1000 });
  }
  h.writeJson(path.join(archive, "days", day + ".json"), { day, pictures });
  const files = pictures.map((p) => path.join(archive, p.stamp + ".jpg"));
  execFileSync("convert", [...files, "-gravity", "center", "-crop", "1x480+0+0", "+repage", "+append",
                           path.join(archive, "days", day + "-keogram.jpg")]);
  execFileSync("ffmpeg", ["-nostdin", "-loglevel", "error", "-y", "-framerate", "12", "-pattern_type", "glob",
                          "-i", path.join(archive, day + "*.jpg"), "-c:v", "libx264", "-pix_fmt", "yuv420p",
                          "-movflags", "+faststart", path.join(archive, "days", day + ".mp4")]);
  return { day, count: pictures.length, first: pictures[0].stamp, last: pictures.at(-1).stamp,
           video: `days/${day}.mp4`, keogram: `days/${day}-keogram.jpg` };
}

(async () => {
  const root = h.webDirectory();
  const archive = path.join(root, "archive");
  fs.mkdirSync(path.join(archive, "thumbs"), { recursive: true });
  h.writeJson(path.join(archive, "days.json"), { days: ["20261209", "20261210"].map((day) => makeDay(archive, day)) });
  const server = await h.serve(root);
  const browser = await h.launch();
  try {
    const page = await browser.context.newPage();
    await page.setViewportSize({ width: 1000, height: 860 });
    await page.goto(server.url + "archive/gallery.html", { waitUntil: "networkidle" });
    // The player shows midday, and the screenshot waits until it and the first thumbnails are drawn.
    await page.evaluate(() => new Promise((resolve) => {
      const video = document.getElementById("video");
      video.addEventListener("seeked", resolve, { once: true });
      video.currentTime = video.duration / 2 || 2;
    }));
    await page.waitForFunction(() => [...document.querySelectorAll("#grid img")].slice(0, 12)
      .every((image) => image.complete && image.naturalWidth > 0) &&
      document.getElementById("video").readyState >= 3, null, { timeout: 20000 });
    await h.pause(500);
    fs.mkdirSync(path.dirname(output), { recursive: true });
    await page.screenshot({ path: output });
    console.log("screenshot: " + output);
  } finally {
    await browser.close();
    await server.stop();
    fs.rmSync(root, { recursive: true });
  }
})().catch((error) => { console.error(error); process.exit(1); });

// The visitors' page in Debian's chromium at phone width, served by nginx with the shipped
// configuration from a web directory made by scripts/webdir, in every state the directory can be
// in, the station's waits included.
// usage: node index_page_test.js
"use strict";
const fs = require("fs");
const path = require("path");
const assert = require("assert/strict");
const { test, before, after } = require("node:test");
const h = require("./harness");

const now = () => Math.floor(Date.now() / 1000);
const TAKEN_AT = "2026-12-10T08:30:05+01:00";
const TAKEN_SHOWN = "2026-12-10 08:30:05 UTC+01:00";
// Quotes, backslashes, markup, an ampersand, a tab, a control character and non-ASCII letters.
const CAPTION = "Say \"cheese\" \\ <b>bold</b> & <img src=x onerror=alert(1)>\tbell\u0007 Grüße \u2603";

function webcamJson(fields = {}) {
  return { stamp: "20261210083005", taken: "2026-12-10 08:30:05", taken_at: TAKEN_AT, taken_epoch: now(),
           camera: "on", updated: now(), caption: "Roof view", ...fields };
}

function stationJson(fields = {}) {
  return { state: "running", last_cycle_epoch: now(), last_cycle_at: TAKEN_AT, last_status: "Finished Processing",
           last_success_epoch: now(), last_success_at: TAKEN_AT, consecutive_failures: 0, updated_epoch: now(),
           ...fields };
}

const DAYS = { days: [
  { day: "20261208", count: 2, first: "20261208000000", last: "20261208000100", video: "days/20261208.mp4", keogram: null },
  { day: "20261209", count: 2, first: "20261209000000", last: "20261209000100", video: "days/20261209.mp4", keogram: null },
  { day: "20261210", count: 1, first: "20261210083005", last: "20261210083005", video: null, keogram: null },
] };
// A status file as tessel-webdir wrote it.
const FRESH = Symbol("as tessel-webdir wrote it");

// Writes a state into a fresh web directory made by tessel-webdir: `picture` a colour or null, the
// JSON files as given, null (absent) or FRESH (as tessel-webdir wrote them); site.json stays as
// tessel-webdir wrote it unless given.
function directory({ picture = "red", webcam = webcamJson(), station = stationJson(), days = DAYS, site } = {}) {
  const root = h.webDirectory();
  if (picture) h.jpeg(path.join(root, "webcam.jpg"), picture, 500, 373);
  for (const [file, value] of [["webcam.json", webcam], ["station.json", station], ["archive/days.json", days]]) {
    if (value === null) fs.rmSync(path.join(root, file));
    else if (value !== FRESH) h.writeJson(path.join(root, file), value);
  }
  if (site === null) fs.rmSync(path.join(root, "site.json"));
  else if (site) h.writeJson(path.join(root, "site.json"), site);
  return root;
}

let browser;
before(async () => { browser = await h.launch(); });
after(async () => { await browser.close(); });

// Opens the page on `root` and waits until its first refresh settled: the network went quiet and,
// when the page asked for the picture, the picture or the placeholder's note came.
async function open(root, query = "") {
  const server = await h.serve(root);
  const page = await browser.context.newPage();
  const seen = h.watch(page);
  await page.goto(server.url + query, { waitUntil: "networkidle" });
  if (seen.requests.some((url) => url.pathname === "/webcam.jpg")) {
    await page.waitForFunction(() => document.getElementById("picture").hidden === false ||
                                      /No picture available/.test(document.getElementById("placeholder").textContent),
                               null, { timeout: 10000 });
  }
  const close = async () => { await page.close(); await server.stop(); fs.rmSync(root, { recursive: true }); };
  return { page, seen, close };
}

function shown(page) {
  return page.evaluate(() => {
    const get = (id) => document.getElementById(id);
    return { pictureShown: !get("picture").hidden, placeholderShown: !get("placeholder").hidden,
             caption: get("caption").textContent, taken: get("taken").textContent,
             notice: get("notice").hidden ? null : get("notice").textContent, noticeClass: get("notice").className,
             old: get("frame").classList.contains("old"), timelapse: get("timelapse").hidden ? null : get("timelapse").href,
             heading: get("heading").textContent, title: document.title, text: document.body.innerText };
  });
}

// The start of the capture that made the picture: station.json has it, the page must not show it.
const CYCLE_START_AT = "2026-12-10T08:29:58+01:00";

// Before the first picture: the placeholder, no notice, no time-lapse.
function noPictureYet(s) {
  assert.ok(s.placeholderShown && !s.pictureShown);
  assert.equal(s.taken, "Waiting for the first picture\u2026");
  assert.equal(s.notice, null);
  assert.equal(s.timelapse, null);
}

// Each state: the files, the requests expected to fail (path and status), whether the page asks for
// webcam.jpg, and what it shows.
const states = [
  {
    name: "normal running",
    files: {},
    missing: [],
    check: (s) => {
      assert.ok(s.pictureShown && !s.placeholderShown);
      assert.equal(s.caption, "Roof view");
      assert.equal(s.taken, "Picture taken " + TAKEN_SHOWN);
      assert.equal(s.notice, null);
      assert.equal(s.old, false);
      assert.match(s.timelapse, /\/archive\/days\/20261209\.mp4$/);
      assert.equal(s.heading, "WebCam");
    },
  },
  {
    name: "a fresh directory from tessel-webdir: no picture yet, nothing asked for in vain",
    files: { picture: null, webcam: FRESH, station: FRESH, days: FRESH },
    missing: [],
    pictureRequested: false,
    check: noPictureYet,
  },
  {
    name: "a directory without status files (made by an older tessel-webdir)",
    files: { picture: null, webcam: null, station: null, days: null },
    missing: ["/webcam.json", "/station.json", "/archive/days.json"],
    pictureRequested: false,
    check: noPictureYet,
  },
  {
    name: "the first picture, station.json as tessel-webdir wrote it",
    files: { station: FRESH },
    missing: [],
    check: (s) => {
      assert.ok(s.pictureShown);
      assert.equal(s.notice, null);
    },
  },
  {
    // Published just now, but taken ten minutes ago: the picture's own time counts.
    name: "stale picture",
    files: { webcam: webcamJson({ taken_epoch: now() - 600, updated: now() }) },
    missing: [],
    check: (s) => {
      assert.match(s.notice, /^This picture is more than 1[01] minutes old\.$/);
      assert.equal(s.noticeClass, "");
      assert.equal(s.old, true);
    },
  },
  {
    name: "camera off",
    files: { webcam: webcamJson({ camera: "off", caption: "" }), station: stationJson({ state: "stopped" }) },
    missing: [],
    check: (s) => {
      assert.equal(s.notice, "The camera is off. Its last picture was taken " + TAKEN_SHOWN + ".");
      assert.equal(s.noticeClass, "off");
      assert.equal(s.caption, "");
    },
  },
  {
    name: "camera trouble from station.json, shown with the picture's own time",
    files: { station: stationJson({ consecutive_failures: 3, last_cycle_at: "2026-12-10T08:40:01+01:00",
                                    last_success_at: CYCLE_START_AT }) },
    missing: [],
    check: (s) => {
      assert.equal(s.notice, "Camera trouble since " + TAKEN_SHOWN + ": 3 attempts to take a picture " +
                             "failed. The picture shown is the last good one.");
      assert.equal(s.noticeClass, "off");
      assert.equal(s.old, true);
      assert.ok(s.pictureShown);
    },
  },
  {
    name: "station stopped with the camera still on, shown with the picture's own time",
    files: { station: stationJson({ state: "stopped", last_cycle_at: CYCLE_START_AT, last_success_at: CYCLE_START_AT }) },
    missing: [],
    check: (s) => {
      assert.equal(s.notice, "The camera station is stopped. Its last picture was taken " + TAKEN_SHOWN + ".");
      assert.equal(s.noticeClass, "off");
      assert.equal(s.old, true);
    },
  },
  {
    name: "a station run from cron (scheduled), picture current",
    files: { station: stationJson({ state: "scheduled", last_cycle_at: CYCLE_START_AT, last_success_at: CYCLE_START_AT }) },
    missing: [],
    check: (s) => {
      assert.equal(s.notice, null);
      assert.equal(s.old, false);
    },
  },
  {
    name: "a station run from cron (scheduled), picture ten minutes old: its age only, nothing red",
    files: { webcam: webcamJson({ taken_epoch: now() - 600 }),
             station: stationJson({ state: "scheduled", last_cycle_epoch: now() - 600, last_success_epoch: now() - 600 }) },
    missing: [],
    check: (s) => {
      assert.match(s.notice, /^This picture is more than 1[01] minutes old\.$/);
      assert.equal(s.noticeClass, "");
    },
  },
  {
    name: "webcam.jpg missing",
    files: { picture: null },
    missing: ["/webcam.jpg"],
    check: (s) => {
      assert.ok(s.placeholderShown && !s.pictureShown);
      assert.equal(s.taken, "Picture taken " + TAKEN_SHOWN);
    },
  },
  {
    name: "webcam.json missing: the picture is not asked for",
    files: { webcam: null },
    missing: ["/webcam.json"],
    pictureRequested: false,
    check: (s) => {
      assert.ok(s.placeholderShown && !s.pictureShown);
      assert.equal(s.taken, "Waiting for the first picture\u2026");
      assert.equal(s.caption, "");
      assert.equal(s.notice, null);
    },
  },
  {
    name: "long words in caption and heading wrap at phone width",
    files: { site: { title: "x", heading: "H".repeat(120) }, webcam: webcamJson({ caption: "C".repeat(300) }) },
    missing: [],
    check: (s) => {
      assert.equal(s.caption, "C".repeat(300));
      assert.equal(s.heading, "H".repeat(120));
    },
  },
  {
    name: "no time-lapse yet, no site.json",
    files: { days: { days: [DAYS.days[2]] }, site: null },
    missing: ["/site.json"],
    check: (s) => {
      assert.equal(s.timelapse, null);
      assert.equal(s.title, "WebCam");
      assert.equal(s.heading, "WebCam");
    },
  },
  {
    name: "title and heading from site.json, caption shown literally",
    files: { site: { title: "Harbour <cam> & \"sea\"", heading: "Harbour \\ view <b>now</b>" },
             webcam: webcamJson({ caption: CAPTION }) },
    missing: [],
    check: (s) => {
      assert.equal(s.title, "Harbour <cam> & \"sea\"");
      assert.equal(s.heading, "Harbour \\ view <b>now</b>");
      assert.equal(s.caption, CAPTION);
    },
  },
];

for (const state of states) {
  test(`visitors' page: ${state.name}`, async () => {
    const { page, seen, close } = await open(directory(state.files));
    try {
      await h.pause(300);  // the picture's decode and swap after the network went quiet
      const s = await shown(page);
      state.check(s);
      assert.doesNotMatch(s.text, /08:29:58|07:59/, "a time other than the picture's");
      assert.equal(seen.requests.some((url) => url.pathname === "/webcam.jpg"), state.pictureRequested ?? true,
                   "whether webcam.jpg was asked for");
      assert.deepEqual(await h.layoutProblems(page), []);
      h.expectClean(seen, state.missing.map((p) => p + " 404"));
      assert.equal(await page.locator("#caption b, #heading b, #caption img").count(), 0);
    } finally {
      await close();
    }
  });
}

// The station's clock for the waiting states: a UTC offset that puts its local time near noon now,
// so that "later today" and "tomorrow" are a few hours away whenever the test runs.
const OFFSET_MINUTES = (() => {
  const hours = 12 - new Date().getUTCHours();
  return (hours > 14 ? hours - 24 : hours) * 60;
})();

// `epoch` as ISO 8601 in the station's local time with its offset, as the station writes it.
function stationTime(epoch) {
  const local = new Date((epoch + OFFSET_MINUTES * 60) * 1000).toISOString().slice(0, 19);
  const a = Math.abs(OFFSET_MINUTES);
  return local + (OFFSET_MINUTES < 0 ? "-" : "+") + String(Math.floor(a / 60)).padStart(2, "0") + ":" +
         String(a % 60).padStart(2, "0");
}

// "07:42" of a station time, and " on 12 Dec" of it.
const hhmm = (iso) => iso.slice(11, 16);
const onDay = (iso) => " on " + Number(iso.slice(8, 10)) + " " +
  ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"][Number(iso.slice(5, 7)) - 1];

// The station waiting with its off picture: station.json "waiting" and webcam.json's off picture.
function waiting({ rule, next, hours, failures = 0, stationState = "waiting" }) {
  const nextAt = next === null ? null : stationTime(next);
  const station = stationJson({ state: stationState, waiting_for: rule, next_capture_epoch: next, next_capture_at: nextAt,
                                consecutive_failures: failures, ...(hours ? { capture_hours: hours } : {}) });
  const webcam = webcamJson({ camera: "off", off_reason: rule === "hours" ? "paused" : "night", caption: "",
                              ...(nextAt ? { next_picture_at: nextAt } : {}) });
  return { station, webcam, nextAt };
}

// Each case: the files and the notice (class and text) the page shows.
const waitingCases = [
  (() => {
    const w = waiting({ rule: "daylight", next: now() + 3600 });
    return { name: "night, next picture later today", files: w,
             notice: "No pictures at night \u2014 next picture at " + hhmm(w.nextAt), kind: "waiting" };
  })(),
  (() => {
    const w = waiting({ rule: "daylight", next: now() + 20 * 3600 });
    return { name: "night, next picture tomorrow", files: w,
             notice: "No pictures at night \u2014 next picture at " + hhmm(w.nextAt) + onDay(w.nextAt), kind: "waiting" };
  })(),
  (() => {
    const w = waiting({ rule: "hours", next: now() + 3600, hours: "08:00-18:00" });
    return { name: "outside the hours, next picture later today", files: w,
             notice: "Pictures are taken between 08:00 and 18:00 \u2014 next picture at " + hhmm(w.nextAt),
             kind: "waiting" };
  })(),
  (() => {
    const w = waiting({ rule: "hours", next: now() + 20 * 3600, hours: "22:00-02:00" });
    return { name: "outside hours past midnight, next picture tomorrow", files: w,
             notice: "Pictures are taken between 22:00 and 02:00 \u2014 next picture at " + hhmm(w.nextAt) + onDay(w.nextAt),
             kind: "waiting" };
  })(),
  { name: "polar night: no next time known", files: waiting({ rule: "daylight", next: null }),
    notice: "No pictures at night", kind: "waiting" },
  (() => {
    const w = waiting({ rule: "daylight", next: now() + 3600, failures: 2 });
    return { name: "night after failed attempts: the wait is what visitors need", files: w,
             notice: "No pictures at night \u2014 next picture at " + hhmm(w.nextAt), kind: "waiting" };
  })(),
  (() => {
    const w = waiting({ rule: "daylight", next: now() + 3600 });
    return { name: "only webcam.json's off picture says night (no station.json)", files: { ...w, station: null },
             missing: ["/station.json"], notice: "No pictures at night \u2014 next picture at " + hhmm(w.nextAt),
             kind: "waiting" };
  })(),
  { name: "the next picture is overdue: the camera is off", files: waiting({ rule: "daylight", next: now() - 600 }),
    notice: "The camera is off. Its last picture was taken " + TAKEN_SHOWN + ".", kind: "off" },
  { name: "stopped during the night: the camera is off",
    files: waiting({ rule: "daylight", next: now() + 3600, stationState: "stopped" }),
    notice: "The camera is off. Its last picture was taken " + TAKEN_SHOWN + ".", kind: "off" },
];

for (const c of waitingCases) {
  test(`visitors' page waiting: ${c.name}`, async () => {
    const { page, seen, close } = await open(directory({ webcam: c.files.webcam, station: c.files.station }));
    try {
      await h.pause(300);
      const s = await shown(page);
      assert.equal(s.notice, c.notice);
      assert.equal(s.noticeClass, c.kind);
      assert.equal(s.old, c.kind !== "waiting", "the picture greyed");
      assert.ok(s.pictureShown);
      assert.equal(s.taken, "Picture taken " + TAKEN_SHOWN);
      assert.deepEqual(await h.layoutProblems(page), []);
      h.expectClean(seen, (c.missing ?? []).map((p) => p + " 404"));
    } finally {
      await close();
    }
  });
}

test("visitors' page: refreshes every 30 s by default, every request defeats caches, nothing from elsewhere",
     async () => {
  const root = directory();
  const server = await h.serve(root);
  const page = await browser.context.newPage();
  await page.addInitScript(() => {
    window.intervals = [];
    const original = window.setInterval;
    window.setInterval = (fn, ms, ...rest) => { window.intervals.push(ms); return original(fn, ms, ...rest); };
  });
  const seen = h.watch(page);
  try {
    await page.goto(server.url, { waitUntil: "networkidle" });
    assert.deepEqual(await page.evaluate(() => window.intervals), [30000]);
    const own = seen.requests.filter((url) => !["/", "/favicon.svg"].includes(url.pathname));
    assert.deepEqual([...new Set(own.map((url) => url.pathname))].sort(),
                     ["/archive/days.json", "/site.json", "/station.json", "/webcam.jpg", "/webcam.json"]);
    for (const url of own) assert.match(url.search, /^\?t=\d+$/, url.pathname);
    assert.ok(seen.requests.every((url) => url.origin === new URL(server.url).origin), "a request left the server");
    assert.ok(seen.requests.some((url) => url.pathname === "/favicon.svg"), "no favicon requested");
    for (const file of ["index.html", "gallery.html"]) {
      const html = fs.readFileSync(path.join(h.REPO, "web", file), "utf8");
      assert.doesNotMatch(html, /(src|href)\s*=\s*["']?(https?:)?\/\//i, file + " names an outside resource");
      assert.doesNotMatch(html, /<script\s+src|@import|url\(/i, file + " loads an outside resource");
    }
    const links = await page.locator("nav a:visible").evaluateAll((as) => as.map((a) => a.getAttribute("href")));
    assert.deepEqual(links, ["archive/gallery.html", "archive/days/20261209.mp4", "archive/index.html"]);
    h.expectClean(seen);
  } finally {
    await page.close();
    await server.stop();
    fs.rmSync(root, { recursive: true });
  }
});

// The picture's age is judged by the server's clock (nginx's Date header), and by the visitor's own
// clock only when the server sends no date. Case: the visitor's clock offset from the server, the
// picture's age, whether webcam.json comes with a Date header, and the notice expected.
const clockCases = [
  { visitorAhead: 3600, age: 0, date: true, notice: null },
  { visitorAhead: -3600, age: 600, date: true, notice: /^This picture is more than 1[01] minutes old\.$/ },
  { visitorAhead: 0, age: 600, date: false, notice: /^This picture is more than 1[01] minutes old\.$/ },
  { visitorAhead: 0, age: 60, date: false, notice: null },
];
for (const c of clockCases) {
  test(`visitors' page: staleness with the visitor's clock ${c.visitorAhead} s ahead, picture ${c.age} s old, ` +
       `${c.date ? "" : "no "}Date header`, async () => {
    const root = directory({ webcam: webcamJson({ taken_epoch: now() - c.age, updated: now() }) });
    const server = await h.serve(root);
    const page = await browser.context.newPage();
    const seen = h.watch(page);
    try {
      await page.clock.setSystemTime(Date.now() + c.visitorAhead * 1000);
      if (!c.date) {
        await page.route(/\/webcam\.json\?/, (route) => route.fulfill({
          status: 200, contentType: "application/json",
          body: fs.readFileSync(path.join(root, "webcam.json")) }));
      }
      await page.goto(server.url, { waitUntil: "networkidle" });
      await page.waitForFunction(() => /Picture taken/.test(document.getElementById("taken").textContent));
      const notice = (await shown(page)).notice;
      if (c.notice) assert.match(notice ?? "", c.notice); else assert.equal(notice, null);
      h.expectClean(seen);
    } finally {
      await page.close();
      await server.stop();
      fs.rmSync(root, { recursive: true });
    }
  });
}

// Replaces webcam.jpg and webcam.json the way the converter does: complete files renamed into place.
function publish(root, color, stamp, pictureBytes) {
  const temporary = path.join(root, ".webcam.jpg.tmp");
  if (pictureBytes) fs.writeFileSync(temporary, pictureBytes);
  else h.jpeg(temporary, color, 500, 373);
  fs.renameSync(temporary, path.join(root, "webcam.jpg"));
  h.writeJson(path.join(root, ".webcam.json.tmp"), webcamJson({ stamp }));
  fs.renameSync(path.join(root, ".webcam.json.tmp"), path.join(root, "webcam.json"));
}

test("visitors' page: a refresh swaps the picture without a broken frame, and keeps it when the new one is broken",
     async () => {
  const root = directory({ picture: "#ff0000" });
  const { page, seen, close } = await open(root, "?refresh=1");
  try {
    // Every animation frame from now on records whether the shown picture was whole, and its colour.
    await page.evaluate(() => {
      window.frames_ = [];
      const picture = document.getElementById("picture");
      const canvas = document.createElement("canvas");
      canvas.width = canvas.height = 1;
      const context = canvas.getContext("2d", { willReadFrequently: true });
      const sample = () => {
        const whole = !picture.hidden && picture.complete && picture.naturalWidth > 0 &&
                      document.getElementById("placeholder").hidden;
        let red = null;
        if (whole) { context.drawImage(picture, 0, 0, 1, 1); red = context.getImageData(0, 0, 1, 1).data[0]; }
        window.frames_.push({ whole, red });
        requestAnimationFrame(sample);
      };
      requestAnimationFrame(sample);
    });
    const colours = () => page.evaluate(() => window.frames_);
    // A new stamp whose picture is broken: the red picture stays.
    publish(root, null, "20261210083105", Buffer.from("not a jpeg at all"));
    await h.pause(2500);
    assert.ok((await colours()).every((f) => f.whole && f.red > 200), "the old picture did not stay whole");
    // A good new picture: swapped in, every frame whole.
    publish(root, "#0000ff", "20261210083205");
    await page.waitForFunction(() => window.frames_.some((f) => f.red !== null && f.red < 50), null, { timeout: 10000 });
    const frames = await colours();
    assert.ok(frames.length > 10, "too few frames sampled");
    assert.deepEqual(frames.filter((f) => !f.whole), []);
    assert.deepEqual(await h.layoutProblems(page), []);
    h.expectClean(seen);
  } finally {
    await close();
  }
});

test("visitors' page: in a fresh directory the picture is asked for only once webcam.json names it", async () => {
  const root = directory({ picture: null, webcam: FRESH, station: FRESH, days: FRESH });
  const { page, seen, close } = await open(root, "?refresh=1");
  try {
    await h.pause(2500);  // two refreshes more
    assert.ok(seen.requests.filter((url) => url.pathname === "/webcam.json").length >= 3, "webcam.json not polled");
    assert.ok(!seen.requests.some((url) => url.pathname === "/webcam.jpg"), "webcam.jpg asked for before it was named");
    publish(root, "#0000ff", "20261210083005");
    await page.waitForFunction(() => !document.getElementById("picture").hidden, null, { timeout: 10000 });
    const s = await shown(page);
    assert.equal(s.taken, "Picture taken " + TAKEN_SHOWN);
    assert.equal(s.placeholderShown, false);
    h.expectClean(seen);
  } finally {
    await close();
  }
});

// Runs the visitors' page script against stand-ins for the browser (elements, Image, fetch,
// setInterval) and checks what it shows for the web directory's states.
// usage: node index_page_test.js path/to/index.html
"use strict";
const fs = require("fs");
const vm = require("vm");
const assert = require("assert/strict");

const html = fs.readFileSync(process.argv[2], "utf8");
const script = html.match(/<script>([\s\S]*)<\/script>/)[1];

function element() {
  return { textContent: "", className: "", style: {}, src: "webcam.jpg" };
}

// Serves `files` (name -> {status, body, date}) and returns the page's elements after it ran.
async function runPage(files) {
  const elements = {};
  const intervals = [];
  const requested = [];
  const sandbox = {
    document: { getElementById: (id) => (elements[id] ??= element()) },
    Image: class {
      set src(value) { this._src = value; setImmediate(() => this.onload && this.onload()); }
      get src() { return this._src; }
    },
    fetch: async (url) => {
      requested.push(url);
      const name = url.split("?")[0];
      const file = files[name] || { status: 404, body: "" };
      return {
        ok: file.status === 200,
        headers: { get: (h) => (h === "Date" && file.date ? new Date(file.date * 1000).toUTCString() : null) },
        text: async () => file.body,
        json: async () => JSON.parse(file.body),
      };
    },
    setInterval: (fn, ms) => intervals.push(ms),
    Date, Math, isNaN, console,
  };
  vm.runInNewContext(script, sandbox);
  // Every state ends with a picture swapped in; give the page up to 10 s to get there.
  const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
  for (let waited = 0; elements.picture.src === "webcam.jpg" && waited < 10000; waited += 10) await pause(10);
  await pause(20);
  return { elements, intervals, requested };
}

function status(camera, updated, date) {
  return {
    status: 200, date,
    body: JSON.stringify({ stamp: "20261210083005", taken: "2026-12-10 08:30:05", camera, updated }),
  };
}

const now = 1796891405;
const cases = [
  {
    name: "fresh picture with caption",
    files: { "webcam.json": status("on", now, now + 20), "message.txt": { status: 200, body: "Roof view\nignored" } },
    check: ({ elements, intervals, requested }) => {
      assert.equal(elements.caption.textContent, "Roof view");
      assert.equal(elements.updated.textContent, "Picture taken 2026-12-10 08:30:05");
      assert.equal(elements.notice.style.display, "none");
      assert.match(elements.picture.src, /^webcam\.jpg\?t=\d+$/);
      assert.deepEqual(intervals, [30000]);
      assert.ok(requested.every((url) => /\?t=\d+$/.test(url)), "every request defeats caches");
    },
  },
  {
    name: "picture older than three minutes",
    files: { "webcam.json": status("on", now, now + 200), "message.txt": { status: 200, body: "" } },
    check: ({ elements }) => {
      assert.equal(elements.notice.style.display, "block");
      assert.match(elements.notice.textContent, /more than 3 minutes old/);
      assert.equal(elements.notice.className, "");
    },
  },
  {
    name: "camera off",
    files: { "webcam.json": status("off", now, now + 5) },
    check: ({ elements }) => {
      assert.equal(elements.notice.style.display, "block");
      assert.equal(elements.notice.className, "off");
      assert.match(elements.notice.textContent, /camera is off.*2026-12-10 08:30:05/);
      assert.equal(elements.caption.textContent, "");
    },
  },
  {
    name: "no status yet",
    files: {},
    check: ({ elements }) => {
      assert.match(elements.picture.src, /^webcam\.jpg\?t=\d+$/);
      assert.notEqual(elements.notice.style.display, "block");
    },
  },
];

(async () => {
  // Nothing from elsewhere: no absolute or protocol-relative addresses, no external scripts or styles.
  assert.doesNotMatch(html, /(src|href)\s*=\s*["']?(https?:)?\/\//i, "external resource");
  assert.doesNotMatch(html, /<link|<script\s+src|@import|url\(/i, "external resource");
  assert.match(html, /href="archive\/index.html"/);
  for (const c of cases) {
    try {
      c.check(await runPage(c.files));
      console.log("ok   " + c.name);
    } catch (e) {
      console.log("FAIL " + c.name + ": " + e.message);
      process.exitCode = 1;
    }
  }
})();

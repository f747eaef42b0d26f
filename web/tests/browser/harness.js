// What the browser tests share: a throw-away web directory made by scripts/webdir, Debian's nginx
// serving it on 127.0.0.1 with the shipped configuration, Debian's chromium driven by
// playwright-core, a watch on the page's console and requests, and small fixture makers (JPEGs through ImageMagick, an H.264 MP4
// through ffmpeg, JSON files).
"use strict";
const fs = require("fs");
const os = require("os");
const path = require("path");
const assert = require("assert/strict");
const net = require("net");
const { spawn, execFileSync } = require("child_process");
const { chromium } = require("playwright-core");

const REPO = path.resolve(__dirname, "../../..");
const CHROMIUM = process.env.TESSEL_CHROMIUM || "/usr/bin/chromium";
const NGINX = process.env.TESSEL_NGINX || "/usr/sbin/nginx";
const PHONE = { width: 375, height: 667 };

function tempDir(prefix) {
  return fs.mkdtempSync(path.join(os.tmpdir(), prefix));
}

// A web directory as the owner prepares it (scripts/webdir), readable by nginx's workers.
function webDirectory() {
  const root = tempDir("tessel-web-");
  fs.chmodSync(root, 0o755);
  execFileSync(path.join(REPO, "scripts/webdir"), [root], { stdio: "ignore" });
  return root;
}

function writeJson(file, value) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, JSON.stringify(value));
}

// A plain JPEG of one colour (any ImageMagick colour name or #rrggbb).
function jpeg(file, color, width = 64, height = 48) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  execFileSync("convert", ["-size", `${width}x${height}`, `xc:${color}`, "jpg:" + file]);
}

// An H.264 MP4 with fast start, `seconds` long at 10 frames a second, as browsers play it.
function mp4(file, seconds) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  execFileSync("ffmpeg", ["-nostdin", "-loglevel", "error", "-y", "-f", "lavfi",
                          "-i", `testsrc=size=160x120:rate=10:duration=${seconds}`,
                          "-c:v", "libx264", "-pix_fmt", "yuv420p", "-movflags", "+faststart", file]);
}

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.once("error", reject);
    server.listen(0, "127.0.0.1", () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

function answers(port) {
  return new Promise((resolve) => {
    const socket = net.connect(port, "127.0.0.1");
    socket.once("connect", () => { socket.destroy(); resolve(true); });
    socket.once("error", () => resolve(false));
  });
}

const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// The server configuration visitors get: what scripts/run uses and README shows, the shipped
// web/nginx/tessel-public.conf inside a server block for `root` on a loopback port.
const PUBLIC_CONF = path.join(REPO, "web/nginx/tessel-public.conf");

function nginxConfig(prefix, root, port) {
  return `daemon off;
worker_processes 1;
pid ${prefix}/nginx.pid;
error_log stderr warn;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path ${prefix}/body;
  proxy_temp_path ${prefix}/proxy;
  fastcgi_temp_path ${prefix}/fastcgi;
  uwsgi_temp_path ${prefix}/uwsgi;
  scgi_temp_path ${prefix}/scgi;
  server {
    listen 127.0.0.1:${port};
    root "${root}";
    include "${PUBLIC_CONF}";
  }
}
`;
}

// Serves `root` with Debian's nginx in the foreground on a free loopback port. A port taken
// between choosing and binding makes nginx exit; then another port is tried.
async function serve(root) {
  const prefix = tempDir("tessel-nginx-");
  for (let attempt = 0; attempt < 5; attempt++) {
    const port = await freePort();
    const config = path.join(prefix, "nginx.conf");
    fs.writeFileSync(config, nginxConfig(prefix, root, port));
    const server = spawn(NGINX, ["-e", "stderr", "-p", prefix, "-c", config], { stdio: ["ignore", "ignore", "pipe"] });
    let exited = false, errors = "";
    server.on("exit", () => { exited = true; });
    server.stderr.on("data", (chunk) => { errors += chunk; });
    for (let waited = 0; waited < 5000 && !exited; waited += 50) {
      if (await answers(port)) {
        return {
          url: `http://127.0.0.1:${port}/`,
          stop: async () => {
            server.kill("SIGTERM");
            for (let w = 0; w < 5000 && !exited; w += 50) await pause(50);
            if (!exited) server.kill("SIGKILL");
            fs.rmSync(prefix, { recursive: true, force: true });
          },
        };
      }
      await pause(50);
    }
    server.kill("SIGKILL");
    if (attempt === 4) throw new Error("nginx did not start: " + errors);
  }
  throw new Error("unreachable");
}

// Debian's chromium, headless, with a fresh profile and nothing talking to the outside.
async function launch() {
  const profile = tempDir("tessel-chromium-");
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,  // playwright adds --headless and --user-data-dir itself
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
           "--disable-component-update", "--disable-sync"],
    viewport: PHONE,
  });
  return {
    context,
    close: async () => {
      await context.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

// Collects what went wrong on `page`: console errors and uncaught exceptions, requests that failed
// or got an error status (as paths without their query), and apart from the console errors the
// browser's own console note on each such request ("Failed to load resource").
function watch(page) {
  const seen = { consoleErrors: [], resourceNotes: [], failedRequests: [], requests: [] };
  page.on("console", (message) => {
    if (message.type() !== "error") return;
    if (/^Failed to load resource: /.test(message.text())) seen.resourceNotes.push(message.text());
    else seen.consoleErrors.push(message.text());
  });
  page.on("pageerror", (error) => seen.consoleErrors.push(String(error)));
  page.on("request", (request) => seen.requests.push(new URL(request.url())));
  page.on("requestfailed", (request) =>
    seen.failedRequests.push(new URL(request.url()).pathname + " " + request.failure().errorText));
  page.on("response", (response) => {
    if (response.status() >= 400) seen.failedRequests.push(new URL(response.url()).pathname + " " + response.status());
  });
  return seen;
}

// Fails unless what `watch` saw is clean: no console error and no failed request or response of 400
// or more, except those in `expected` ("/path STATUS", for files a test leaves out on purpose),
// which must each have happened, each with the browser's console note and no other note.
function expectClean(seen, expected = []) {
  assert.deepEqual(seen.consoleErrors, [], "console errors");
  assert.deepEqual([...new Set(seen.failedRequests)].sort(), [...expected].sort(), "failed requests");
  assert.equal(seen.resourceNotes.length, seen.failedRequests.length, "a console note about another resource");
}

// Every visible image shows a decoded picture, and nothing is wider than the viewport.
function layoutProblems(page) {
  return page.evaluate(() => {
    const problems = [];
    for (const image of document.images) {
      const visible = image.getClientRects().length > 0 && getComputedStyle(image).visibility !== "hidden";
      if (visible && !(image.complete && image.naturalWidth > 0)) problems.push("broken image " + image.src);
    }
    const width = document.scrollingElement.scrollWidth;
    if (width > window.innerWidth) problems.push(`page ${width} px wide at ${window.innerWidth} px`);
    return problems;
  });
}

module.exports = { REPO, PHONE, tempDir, webDirectory, writeJson, jpeg, mp4, serve, launch, watch, expectClean,
                   layoutProblems, pause };

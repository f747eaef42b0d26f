// What visitors can fetch: Debian's nginx with the shipped web/nginx/tessel-public.conf (the file
// scripts/run includes and README quotes) serves the pages, pictures, videos and public JSON of a
// web directory and answers 403 or 404 for everything else the station, the converter and the
// uploader keep there.
// usage: node serving_test.js
"use strict";
const fs = require("fs");
const path = require("path");
const assert = require("assert/strict");
const { test, before, after } = require("node:test");
const h = require("./browser/harness");

const SECRET = "secret-7f3a";  // in every private file: it must never reach a visitor

// path -> the type it is served as
const PUBLIC = {
  "": "text/html",
  "index.html": "text/html",
  "favicon.svg": "image/svg+xml",
  "img_icon.gif": "image/gif",
  "site.json": "application/json",
  "webcam.json": "application/json",
  "station.json": "application/json",
  "webcam.jpg": "image/jpeg",
  "logo.png": "image/png",
  "archive/": "text/html",
  "archive/index.html": "text/html",
  "archive/gallery.html": "text/html",
  "archive/days.json": "application/json",
  "archive/days/20261210.json": "application/json",
  "archive/days/20261210.mp4": "video/mp4",
  "archive/days/20261210.webm": "video/webm",
  "archive/days/20261210-keogram.jpg": "image/jpeg",
  "archive/20261210083005.jpg": "image/jpeg",
  "archive/thumbs/20261210083005.jpg": "image/jpeg",
};

// Files that stay private, as the programs leave them in a web directory.
const PRIVATE = [
  "pictrex.ini", "pictrex.log", "pictrex.lock", "station.lock", "upload.json", "upload.log", "upload.lock",
  "upload-spool/x", "upload-spool/mirror/000001-webcam.jpg", "upload-spool/mirror/000002-index.html",
  "image20261210083005.dc2", "message.txt", "tessel-daily.log", ".webcam.jpg.Ab12Cd", ".webcam.json.x9Y8z7",
  ".hidden.html", "archive/.20261210083005.jpg", "archive/days/.20261210.mp4.tmp", "archive/days/20261210.mp4.part",
  "archive/notes.txt", "archive/days/notes.json", "archive/thumbs/upload.json", "private/page.html",
  "upload-spool/mirror/photo.jpg",
];

// Addresses that must not reach a private file by another spelling, and directories not to list.
const REFUSED = ["upload-spool/", "upload-spool/mirror/", "archive/thumbs/", "archive/days/", "archive/../pictrex.ini",
                 "%70ictrex.ini", "archive/%2e%2e/pictrex.log", "pictrex.ini?x=.jpg", "pictrex.ini%00.jpg",
                 "pictrex.ini/.jpg", "PICTREX.INI", "message.txt;.html"];

let root, server;
before(async () => {
  root = h.webDirectory();
  for (const file of Object.keys(PUBLIC).filter((p) => p && !p.endsWith("/"))) {
    const full = path.join(root, file);
    if (!fs.existsSync(full)) {
      fs.mkdirSync(path.dirname(full), { recursive: true });
      fs.writeFileSync(full, "public " + file);
    }
  }
  for (const file of PRIVATE) {
    fs.mkdirSync(path.dirname(path.join(root, file)), { recursive: true });
    fs.writeFileSync(path.join(root, file), SECRET + " " + file);
  }
  server = await h.serve(root);
});
after(async () => {
  await server.stop();
  fs.rmSync(root, { recursive: true });
});

async function get(address) {
  const response = await fetch(server.url + address, { redirect: "manual" });
  return { status: response.status, type: response.headers.get("content-type"), body: await response.text() };
}

test("serving: the pages, pictures, videos and public JSON are served with their types", async () => {
  for (const [address, type] of Object.entries(PUBLIC)) {
    const reply = await get(address);
    assert.equal(reply.status, 200, address);
    assert.equal(reply.type.split(";")[0], type, address);
    const file = address === "" || address.endsWith("/") ? address + "index.html" : address;
    assert.equal(reply.body, fs.readFileSync(path.join(root, file), "utf8"), address);
  }
});

test("serving: settings, logs, locks, the upload spool, raw pictures, the caption and temporaries are refused",
     async () => {
  for (const address of PRIVATE) {
    const reply = await get(address);
    assert.ok([403, 404].includes(reply.status), `${address}: ${reply.status}`);
    assert.ok(!reply.body.includes(SECRET), `${address} gave a private file away`);
  }
  for (const address of REFUSED) {
    const reply = await get(address);
    assert.ok(reply.status >= 400 && reply.status < 500, `${address}: ${reply.status}`);
    assert.ok(!reply.body.includes(SECRET), `${address} gave a private file away`);
  }
});

test("serving: README shows the shipped configuration as it is, and scripts/run includes it", () => {
  const shipped = fs.readFileSync(path.join(h.REPO, "web/nginx/tessel-public.conf"), "utf8");
  const quoted = shipped.trimEnd().split("\n").map((line) => (line ? "    " + line : "")).join("\n");
  const readme = fs.readFileSync(path.join(h.REPO, "README.md"), "utf8");
  assert.ok(readme.includes("\n" + quoted + "\n"), "README's copy of web/nginx/tessel-public.conf differs");
  const run = fs.readFileSync(path.join(h.REPO, "scripts/run"), "utf8");
  assert.match(run, /^\s*include "\$root\/web\/nginx\/tessel-public\.conf";$/m);
});

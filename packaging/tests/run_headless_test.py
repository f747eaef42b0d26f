#!/usr/bin/env python3
"""scripts/run without a display: over an installed tree it starts the emulator, tesseld and a
web server on 127.0.0.1; the first picture is served at the printed URL and a private file beside
it is not; Ctrl-C (SIGINT to the whole foreground group, as a terminal sends it) ends tesseld with
status 0 after the camera-off picture, and the emulator and the web server stop with it.

usage: run_headless_test.py SOURCE_DIR BUILD_DIR"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

SKIP = 77


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.2)
    return False


def main():
    source, build = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as scratch:
        prefix = os.path.join(scratch, "prefix")
        subprocess.run(["cmake", "--install", build, "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)
        if not os.access(os.path.join(prefix, "bin", "tesseld"), os.X_OK):
            print("tesseld is not built in this tree: scripts/run has nothing to run without a display")
            return SKIP
        work = os.path.join(scratch, "work")
        os.mkdir(work)
        webcam = os.path.join(work, "webcam")
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env["TESSEL_PREFIX"] = prefix
        env["DC25_TIMEOUT_SCALE"] = "0.2"
        run = subprocess.Popen([os.path.join(source, "scripts", "run")], cwd=work, env=env, text=True,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, start_new_session=True)
        lines = []
        reader = threading.Thread(target=lambda: lines.extend(iter(run.stdout.readline, "")), daemon=True)
        reader.start()
        try:
            if not wait_for(lambda: any("http://" in line for line in lines), 30):
                fail("no URL printed:\n" + "".join(lines))
            url = re.search(r"http://127\.0\.0\.1:\d+/", "".join(lines)).group(0)
            terminal = re.search(r"camera on (\S+)", "".join(lines)).group(1)
            picture = os.path.join(webcam, "webcam.jpg")
            if not wait_for(lambda: os.path.exists(picture), 60):
                fail("no picture within 60 s:\n" + "".join(lines))
            with urllib.request.urlopen(url + "webcam.jpg", timeout=10) as response:
                served = response.read()
            if not served.startswith(b"\xff\xd8"):
                fail("the web server does not serve the picture as a JPEG")
            # Only the public files are served: a settings-like file beside the picture is not.
            with open(os.path.join(webcam, "private.ini"), "w") as f:
                f.write("password = secret\n")
            try:
                urllib.request.urlopen(url + "private.ini", timeout=10)
                fail("the web server hands out private.ini")
            except urllib.error.HTTPError as error:
                if error.code != 404:
                    fail(f"private.ini: status {error.code}, not 404")
            os.killpg(run.pid, signal.SIGINT)
            status = run.wait(timeout=120)
        finally:
            # On a failure: Ctrl-C so that the script stops its helpers, and only then force.
            if run.poll() is None:
                os.killpg(run.pid, signal.SIGINT)
                try:
                    run.wait(timeout=120)
                except subprocess.TimeoutExpired:
                    os.killpg(run.pid, signal.SIGKILL)
                    run.wait()
        reader.join(timeout=5)
        output = "".join(lines)
        if status != 0:
            fail(f"scripts/run ended with status {status}:\n{output}")
        with open(os.path.join(webcam, "webcam.json")) as f:
            if '"camera":"off"' not in f.read():
                fail("no camera-off picture after Ctrl-C:\n" + output)
        if os.path.exists(terminal):
            fail(f"the emulator's terminal {terminal} is still there")
        try:
            urllib.request.urlopen(url, timeout=2)
            fail("the web server still answers")
        except OSError:
            pass
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""A webhook receiver for the alert tests: records every POST as one JSON line and answers as its
mode says.

usage: webhook_recorder.py MODE RECORD
  MODE    ok       answers 204 to every request
          fail:N   answers 503 to the first N requests, then 204
          hang     records the request and never answers
  RECORD  file the requests are appended to: {"path", "headers", "body"} with the body parsed as
          JSON (null when it is not valid JSON in UTF-8), written before the answer
Listens on 127.0.0.1 at a port the system picks and prints that port on a line of its own.
"""
import http.server
import json
import sys
import threading
import time

mode, record = sys.argv[1], sys.argv[2]
refusals = int(mode.split(':')[1]) if mode.startswith('fail:') else 0
lock = threading.Lock()
received = 0


class Recorder(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        global received
        raw = self.rfile.read(int(self.headers.get('Content-Length', '0')))
        try:
            body = json.loads(raw)
        except ValueError:
            body = None
        with lock:
            received += 1
            number = received
            with open(record, 'a', encoding='utf-8') as out:
                out.write(json.dumps({'path': self.path, 'headers': dict(self.headers), 'body': body}) + '\n')
        if mode == 'hang':
            while True:
                time.sleep(3600)
        self.send_response(503 if number <= refusals else 204)
        self.send_header('Content-Length', '0')
        self.end_headers()

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Recorder)
server.daemon_threads = True
print(server.server_address[1], flush=True)
server.serve_forever()

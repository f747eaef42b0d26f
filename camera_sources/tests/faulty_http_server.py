#!/usr/bin/python3
"""A camera that breaks off: the fault injector of the camera tests (the real servers there do
not misbehave on demand). Serves one connection after another on 127.0.0.1:PORT.

    faulty_http_server.py PORT MODE JPEG

MODE:
  cut-stream      an MJPEG stream whose first part announces the JPEG's length, sends half of
                  it, then closes the connection
  stalled-stream  the same, but the connection then stays open and silent until the client goes
  short-snapshot  an image/jpeg reply announcing the JPEG's length that sends half, then closes
"""
import socket
import sys


def read_request(connection):
    request = b""
    while b"\r\n\r\n" not in request:
        chunk = connection.recv(4096)
        if not chunk:
            return False
        request += chunk
    return True


def serve(connection, mode, jpeg):
    if not read_request(connection):
        return
    half = jpeg[: len(jpeg) // 2]
    if mode == "short-snapshot":
        connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: %d\r\n"
                           b"Connection: close\r\n\r\n" % len(jpeg) + half)
        return
    connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: multipart/x-mixed-replace;boundary=frame\r\n"
                       b"Connection: close\r\n\r\n--frame\r\nContent-Type: image/jpeg\r\n"
                       b"Content-Length: %d\r\n\r\n" % len(jpeg) + half)
    if mode == "stalled-stream":
        while connection.recv(4096):
            pass


def main():
    port, mode, jpeg_file = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    with open(jpeg_file, "rb") as f:
        jpeg = f.read()
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(4)
    while True:
        connection, _ = listener.accept()
        with connection:
            try:
                serve(connection, mode, jpeg)
            except OSError:
                pass


if __name__ == "__main__":
    main()

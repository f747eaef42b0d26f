#!/usr/bin/python3
"""An RTSP server for the camera tests: GStreamer's RTSP server with a live test picture.

    rtsp_test_server.py --port PORT [--codec h264|h265] [--size WxH] [--fps N] [--key-interval FRAMES]
                        [--pattern NAME] [--switch-to NAME] [--user U --password P]
                        [--continuous] [--split-key-frames]

Serves rtsp://127.0.0.1:PORT/camera. The media is shared by all clients and keeps running, as a
camera's stream does: a client joins wherever the stream is. With --switch-to the picture's
pattern (a videotestsrc pattern name such as red, blue, smpte) changes to that one on SIGUSR1,
for the running stream and later ones; "switched" is printed once it has. With --user/--password
clients must log in
(basic authentication). GStreamer's server restarts a stream's encoder (a seek to the start)
for each client that joins, which hands every client a key frame at once; with --continuous the
stream runs on as a camera's does, with key frames only at the encoder's interval (the stream
says it cannot seek). With --split-key-frames every picture is encoded in two slices and the
payloader repeats the parameter sets before each slice (config-interval=-1), which a receiver
must take as the start of a new picture: each key frame arrives as two incomplete halves, a
sender fault met in the wild. Prints "ready" once it listens.
"""
import argparse
import signal
import sys

import gi

gi.require_version("Gst", "1.0")
gi.require_version("GstRtspServer", "1.0")
from gi.repository import GLib, Gst, GstRtspServer  # noqa: E402


def pipeline(args):
    width, height = args.size.split("x")
    source = (f"videotestsrc name=source is-live=true pattern={args.pattern} "
              f"! video/x-raw,width={width},height={height},framerate={args.fps}/1 ! videoconvert ")
    # The encoders repeat the parameter sets before each key frame themselves (config-interval=0).
    if args.codec == "h264" and args.split_key_frames:
        encoder = (f"! x264enc name=encoder tune=zerolatency speed-preset=ultrafast key-int-max={args.key_interval} "
                   "threads=2 sliced-threads=true ! rtph264pay name=pay0 pt=96 config-interval=-1")
    elif args.codec == "h264":
        encoder = (f"! x264enc name=encoder tune=zerolatency speed-preset=ultrafast key-int-max={args.key_interval} "
                   "! rtph264pay name=pay0 pt=96 config-interval=0")
    else:
        encoder = (f"! x265enc name=encoder tune=zerolatency speed-preset=ultrafast key-int-max={args.key_interval} "
                   "! rtph265pay name=pay0 pt=96 config-interval=0")
    return "( " + source + encoder + " )"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", required=True)
    parser.add_argument("--codec", choices=["h264", "h265"], default="h264")
    parser.add_argument("--size", default="640x360")
    parser.add_argument("--fps", type=int, default=25)
    parser.add_argument("--key-interval", type=int, default=25)
    parser.add_argument("--pattern", default="smpte")
    parser.add_argument("--switch-to")
    parser.add_argument("--user")
    parser.add_argument("--password")
    parser.add_argument("--continuous", action="store_true")
    parser.add_argument("--split-key-frames", action="store_true")
    args = parser.parse_args()

    Gst.init(None)
    sources = []  # the videotestsrc of every media made so far
    pattern = [args.pattern]

    def not_seekable(_pad, info):
        # A seeking query answered without details says "not seekable".
        if info.get_query().type == Gst.QueryType.SEEKING:
            return Gst.PadProbeReturn.HANDLED
        return Gst.PadProbeReturn.OK

    def configure(_factory, media):
        element = media.get_element()
        source = element.get_by_name("source")
        source.set_property("pattern", pattern[0])
        sources.append(source)
        if args.continuous:
            element.get_by_name("encoder").get_static_pad("src").add_probe(Gst.PadProbeType.QUERY_UPSTREAM, not_seekable)

    def switch():
        pattern[0] = args.switch_to
        for source in sources:
            source.set_property("pattern", args.switch_to)
        print("switched", flush=True)
        return GLib.SOURCE_CONTINUE

    server = GstRtspServer.RTSPServer()
    server.set_address("127.0.0.1")
    server.set_service(args.port)
    factory = GstRtspServer.RTSPMediaFactory()
    factory.set_launch(pipeline(args))
    factory.set_shared(True)
    factory.connect("media-configure", configure)
    if args.user:
        auth = GstRtspServer.RTSPAuth()
        token = GstRtspServer.RTSPToken()
        token.set_string("media.factory.role", "camera")
        auth.add_basic(GstRtspServer.RTSPAuth.make_basic(args.user, args.password or ""), token)
        server.set_auth(auth)
        permissions = GstRtspServer.RTSPPermissions()
        permissions.add_role_from_structure(Gst.Structure.new_from_string(
            "camera, media.factory.access=(boolean)true, media.factory.construct=(boolean)true"))
        factory.set_permissions(permissions)
    server.get_mount_points().add_factory("/camera", factory)
    if args.switch_to:
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, switch)
    if server.attach(None) == 0:
        print("cannot listen on port", args.port, file=sys.stderr)
        return 1
    print("ready", flush=True)
    GLib.MainLoop().run()
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Runs one test command inside a throw-away QEMU guest that boots Debian's kernel on the host's
own files.

The guest's root is the host's root, shared read-only over 9p with a tmpfs overlay on top, so the
guest sees every program the host has installed and every file of the build, and may change
anything without touching the host. The test's share (--share) is mounted writable at its own path
in the guest: files put there before the boot are seen by the guest, files the guest writes there
stay on the host. Each --uart program (such as the camera emulator) runs on the host, prints the
path of its pseudo-terminal on its first line of output, and becomes the guest's next serial port:
/dev/ttyS1, /dev/ttyS2, ... (ttyS0 is the guest's console, kept in console.log in the share).

Modes: `quick` runs the command in a chroot right after the initramfs (seconds); `full` boots the
host's systemd as PID 1 into the basic system and runs the command as a service. A --preload
directory (the dpkg database) comes into the guest's memory with the initramfs, for trees read so
often that a trip to the host for each file would cost minutes.

The command runs with the share as its current directory and its output in share/output, which
is printed here afterwards; the exit status is the command's. The guest is killed when it has not
finished within --timeout seconds; QEMU and the UART programs never outlive this program.

Exit status 77 says that QEMU, a kernel or busybox is missing (the test is skipped); with CI=true
in the environment it is 1 instead, because CI installs them through scripts/bootstrap.
"""

import argparse
import ctypes
import hashlib
import lzma
import os
import re
import select
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import termios
import time
import tty
from pathlib import Path

SKIPPED = 77
FAILED = 1
HERE = Path(__file__).resolve().parent
GUEST_INIT = HERE / "guest_init.sh"
BUSYBOX = Path("/bin/busybox")
QEMU = "qemu-system-x86_64"
# What the initramfs needs to reach the host's files: virtio, 9p and overlayfs, with what they need.
GUEST_MODULES = ["virtio_pci", "9pnet_virtio", "9p", "overlay"]
PR_SET_PDEATHSIG = 1
# How long a UART program may take to print its terminal's path.
UART_START_LIMIT = 15


class MissingPiece(Exception):
    """Something the guest needs is not installed on this machine."""


class Stopped(Exception):
    """This program was asked to stop by a signal."""


def version_key(version):
    return [int(part) if part.isdigit() else part for part in re.split(r"(\d+)", version)]


def find_kernel():
    """The newest /boot/vmlinuz-VERSION whose modules are installed: (image, version)."""
    found = []
    for image in Path("/boot").glob("vmlinuz-*"):
        version = image.name[len("vmlinuz-"):]
        if Path("/lib/modules", version, "modules.dep").is_file():
            found.append((version_key(version), image, version))
    if not found:
        raise MissingPiece("no kernel in /boot with its modules in /lib/modules (package linux-image-amd64)")
    _, image, version = max(found)
    if not os.access(image, os.R_OK):
        raise MissingPiece(f"{image} is not readable by this account")
    return image, version


def is_static_elf(path):
    """Whether `path` is an ELF executable without a program interpreter (statically linked)."""
    data = path.read_bytes()
    if data[:4] != b"\x7fELF" or data[4] != 2:  # 64-bit only: the guest is x86-64
        return False
    order = "little" if data[5] == 1 else "big"
    table = int.from_bytes(data[32:40], order)
    entry_size = int.from_bytes(data[54:56], order)
    count = int.from_bytes(data[56:58], order)
    pt_interp = 3
    return all(int.from_bytes(data[table + i * entry_size:table + i * entry_size + 4], order) != pt_interp
               for i in range(count))


def module_files(version):
    """The module files the guest loads, in an order that satisfies their dependencies."""
    ordered = []
    for module in GUEST_MODULES:
        shown = subprocess.run(["modprobe", "-S", version, "--show-depends", module],
                               capture_output=True, text=True)
        if shown.returncode != 0:
            raise MissingPiece(f"module {module} of kernel {version}: {shown.stderr.strip()}")
        for line in shown.stdout.splitlines():
            words = line.split()
            if len(words) >= 2 and words[0] == "insmod" and words[1] not in ordered:
                ordered.append(words[1])
    return [Path(name) for name in ordered]


def initramfs(cache, version):
    """The guest's initramfs for kernel `version`, built into `cache` once and reused while its
    inputs (busybox, the init script, the modules) stay the same."""
    if shutil.which("modprobe") is None or shutil.which("cpio") is None:
        raise MissingPiece("modprobe or cpio is missing (packages kmod, cpio)")
    if not BUSYBOX.is_file() or not is_static_elf(BUSYBOX):
        raise MissingPiece(f"{BUSYBOX} is missing or not statically linked (package busybox-static)")
    modules = module_files(version)
    digest = hashlib.sha256(version.encode())
    for part in [BUSYBOX, GUEST_INIT, *modules]:
        digest.update(str(part).encode())
        digest.update(part.read_bytes())
    archive = cache / f"initramfs-{version}-{digest.hexdigest()[:16]}.cpio"
    if archive.is_file():
        return archive
    cache.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=cache) as scratch:
        tree = Path(scratch, "tree")
        for directory in ["bin", "dev", "proc", "sys", "lib/modules"]:
            (tree / directory).mkdir(parents=True)
        shutil.copy2(BUSYBOX, tree / "bin/busybox")
        shutil.copy2(GUEST_INIT, tree / "init")
        (tree / "init").chmod(0o755)
        names = []
        for module in modules:
            # busybox's insmod takes plain modules only.
            name = module.name.removesuffix(".xz")
            data = lzma.decompress(module.read_bytes()) if module.suffix == ".xz" else module.read_bytes()
            (tree / "lib/modules" / name).write_bytes(data)
            names.append(name)
        (tree / "lib/modules/load-order").write_text("".join(f"{name}\n" for name in names))
        partial = Path(scratch, "initramfs.cpio")
        files = subprocess.run(["find", "."], cwd=tree, check=True, capture_output=True).stdout
        with open(partial, "wb") as out:
            subprocess.run(["cpio", "--quiet", "-o", "-H", "newc", "-R", "0:0"], cwd=tree, input=files,
                           stdout=out, check=True)
        os.replace(partial, archive)
    return archive


def child_setup():
    """In every child before exec: default signal handling, an empty signal mask, and death
    together with this program, even when it is killed outright."""
    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT, signal.SIGPIPE):
        signal.signal(number, signal.SIG_DFL)
    signal.pthread_sigmask(signal.SIG_SETMASK, [])
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def start(command, **options):
    return subprocess.Popen(command, preexec_fn=child_setup, **options)


def stop(process, grace=5):
    if process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def make_raw(terminal):
    """Passes bytes through the pseudo-terminal unchanged: no LF to CR LF, no echo."""
    descriptor = os.open(terminal, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        tty.setraw(descriptor)
        settings = termios.tcgetattr(descriptor)
        settings[1] &= ~(termios.OPOST | termios.ONLCR)
        settings[3] &= ~termios.ECHO
        termios.tcsetattr(descriptor, termios.TCSANOW, settings)
    finally:
        os.close(descriptor)


def start_uart(command, log):
    """Starts a UART program; returns it and the pseudo-terminal path it printed."""
    program = start(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=log)
    deadline = time.monotonic() + UART_START_LIMIT
    line = b""
    while not line.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([program.stdout], [], [], left)[0]:
            raise RuntimeError(f"{command[0]} printed no terminal path within {UART_START_LIMIT} s")
        byte = os.read(program.stdout.fileno(), 1)
        if not byte:
            raise RuntimeError(f"{command[0]} ended before it printed a terminal path")
        line += byte
    terminal = line.decode().strip()
    try:
        make_raw(terminal)
    except (OSError, termios.error) as error:
        raise RuntimeError(f"{command[0]} printed {terminal!r}, which is no usable terminal: {error}")
    return program, terminal


def quoted_for_qemu(path):
    """A path inside a QEMU option list, where a comma is written twice."""
    return str(path).replace(",", ",,")


def write_job(share, command, uarts):
    """The script the guest runs: the command in the share, its output and status kept there."""
    environment = {
        "PATH": "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin",
        "HOME": "/root",
        "LANG": "C.UTF-8",
        "VMTEST_SHARE": str(share),
        "VMTEST_UARTS": " ".join(f"/dev/ttyS{number}" for number in range(1, uarts + 1)),
    }
    exports = "".join(f"{key}={shlex.quote(value)}; export {key}\n" for key, value in environment.items())
    q = shlex.quote
    (share / "job").write_text(
        "#!/bin/sh\n"
        f"{exports}"
        f"cd {q(str(share))} || exit 1\n"
        "read -r uptime _ </proc/uptime && echo \"$uptime\" >started\n"
        f"{shlex.join(command)} >{q(str(share / 'output'))} 2>&1 </dev/null\n"
        "status=$?\n"
        "# Under systemd, a failed job leaves the guest's journal for the report.\n"
        "if [ $status -ne 0 ] && [ -d /run/systemd/system ]; then\n"
        f"    journalctl -b -n 1000 --no-pager -o short-monotonic >{q(str(share / 'journal.log'))} 2>&1\n"
        "fi\n"
        f"echo $status >{q(str(share / 'status'))}\n")


# Where the guest's own initramfs lives; a preloaded tree may not land there.
INITRAMFS_DIRECTORIES = ["/bin", "/dev", "/lib/modules", "/proc", "/sys", "/init"]


def initrd_with_preload(base, share, directories):
    """The initramfs for this run: `base`, followed by an archive of host directories that the
    kernel unpacks into the guest's memory with it, so that a tree read again and again (the
    dpkg database) costs no trip to the host per file. Without such directories, `base` itself."""
    if not directories:
        return base
    names = []
    for directory in directories:
        if not directory.is_absolute() or not directory.is_dir():
            raise RuntimeError(f"--preload {directory}: not an absolute path of a directory")
        if any(directory == Path(taken) or Path(taken) in directory.parents for taken in INITRAMFS_DIRECTORIES):
            raise RuntimeError(f"--preload {directory}: the guest's initramfs uses that place")
        # The kernel makes no missing parent directory: they come first.
        names += [str(parent).lstrip("/") for parent in reversed(directory.parents) if parent != Path("/")]
        names += subprocess.run(["find", str(directory).lstrip("/")], cwd="/", check=True,
                                capture_output=True, text=True).stdout.splitlines()
    combined = share / "initrd.cpio"
    with open(combined, "wb") as out:
        out.write(base.read_bytes())
        listing = "".join(f"{name}\n" for name in names).encode()
        subprocess.run(["cpio", "--quiet", "-o", "-H", "newc"], cwd="/", input=listing, stdout=out, check=True)
    return combined


def qemu_command(kernel, initrd, share, terminals, memory, cpus):
    return [
        QEMU, "-machine", "pc", "-accel", "tcg", "-cpu", "max", "-smp", str(cpus), "-m", str(memory),
        "-nodefaults", "-no-user-config", "-display", "none", "-no-reboot",
        "-kernel", str(kernel), "-initrd", str(initrd),
        "-append", "console=ttyS0 panic=-1 quiet",
        "-virtfs", "local,path=/,mount_tag=hostroot,security_model=passthrough,readonly=on,multidevs=remap",
        "-virtfs", f"local,path={quoted_for_qemu(share)},mount_tag=vmtest,security_model=passthrough,multidevs=remap",
        "-serial", f"file:{quoted_for_qemu(share / 'console.log')}",
        *[argument for number, terminal in enumerate(terminals, start=1)
          for argument in ("-chardev", f"serial,id=uart{number},path={quoted_for_qemu(terminal)}",
                           "-serial", f"chardev:uart{number}")],
    ]


def tail(path, lines):
    try:
        return "".join(path.read_text(errors="replace").splitlines(keepends=True)[-lines:])
    except FileNotFoundError:
        return "(none)\n"


def run(arguments):
    share = arguments.share.resolve()
    if any(character.isspace() for character in str(share)):
        raise RuntimeError(f"the share's path {share} contains white space")
    if shutil.which(QEMU) is None:
        raise MissingPiece(f"{QEMU} is missing (package qemu-system-x86)")
    kernel, version = find_kernel()
    initrd = initramfs(arguments.cache.resolve(), version)
    share.mkdir(parents=True, exist_ok=True)
    for name in ["job", "guest.env", "started", "output", "status", "journal.log", "console.log"]:
        (share / name).unlink(missing_ok=True)
    write_job(share, arguments.command, len(arguments.uart))
    initrd = initrd_with_preload(initrd, share, arguments.preload)
    preloaded = " ".join(str(directory) for directory in arguments.preload)
    (share / "guest.env").write_text(f"VMTEST_MODE={arguments.mode}\nVMTEST_SHARE={shlex.quote(str(share))}\n"
                                     f"VMTEST_PRELOADED={shlex.quote(preloaded)}\n")

    children = []
    logs = []
    began = time.monotonic()
    try:
        terminals = []
        for number, uart in enumerate(arguments.uart, start=1):
            logs.append(open(share / f"uart{number}.log", "wb"))
            program, terminal = start_uart(shlex.split(uart), logs[-1])
            children.append(program)
            terminals.append(terminal)
        qemu_log = open(share / "qemu.log", "wb")
        logs.append(qemu_log)
        qemu = start(qemu_command(kernel, initrd, share, terminals, arguments.memory, arguments.cpus),
                     stdin=subprocess.DEVNULL, stdout=qemu_log, stderr=subprocess.STDOUT)
        children.append(qemu)
        try:
            qemu.wait(arguments.timeout)
            timed_out = False
        except subprocess.TimeoutExpired:
            timed_out = True
    finally:
        for child in reversed(children):
            stop(child)
        for log in logs:
            log.close()
        (share / "initrd.cpio").unlink(missing_ok=True)
    seconds = time.monotonic() - began

    sys.stdout.write(tail(share / "output", 100000))
    status_file = share / "status"
    if timed_out or not status_file.is_file():
        why = f"did not finish within {arguments.timeout} s" if timed_out else "ended without a result"
        print(f"vmtest: the guest {why}; the end of its console:\n{tail(share / 'console.log', 60)}"
              f"QEMU said:\n{tail(share / 'qemu.log', 20)}", end="")
        return FAILED
    status = int(status_file.read_text().strip() or FAILED)
    if status == SKIPPED:
        print("vmtest: the job ended with 77, which would read as skipped")
        status = FAILED
    if status != 0 and (share / "journal.log").is_file():
        print(f"vmtest: the end of the guest's journal:\n{tail(share / 'journal.log', 150)}", end="")
    started = float((share / "started").read_text().strip() or "nan")
    print(f"vmtest: {arguments.mode} guest with kernel {version} ran for {seconds:.0f} s; the job started "
          f"{started:.0f} s after the kernel and ended with {status}")
    return status


def parse(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--mode", choices=["quick", "full"], required=True)
    parser.add_argument("--share", type=Path, required=True, help="the writable share, created when missing")
    parser.add_argument("--cache", type=Path, required=True, help="where the initramfs is kept between runs")
    parser.add_argument("--timeout", type=int, required=True, help="seconds the guest may run")
    parser.add_argument("--uart", action="append", default=[],
                        help="a program (with its arguments) behind the next serial port, ttyS1 first")
    parser.add_argument("--preload", type=Path, action="append", default=[],
                        help="a host directory the guest keeps in memory (a tree read often, such as /var/lib/dpkg)")
    parser.add_argument("--memory", type=int, default=1536, help="MiB")
    parser.add_argument("--cpus", type=int, default=2)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    arguments = parser.parse_args(argv)
    if arguments.command[:1] == ["--"]:
        arguments.command = arguments.command[1:]
    if not arguments.command:
        parser.error("no command to run in the guest")
    return arguments


def main(argv):
    arguments = parse(argv)

    def stop_request(number, _frame):
        raise Stopped(signal.Signals(number).name)

    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, stop_request)
    try:
        return run(arguments)
    except MissingPiece as missing:
        if os.environ.get("CI") == "true":
            print(f"vmtest: {missing}; CI installs it through scripts/bootstrap", file=sys.stderr)
            return FAILED
        print(f"vmtest: skipped: {missing}", file=sys.stderr)
        return SKIPPED
    except Stopped as stopped:
        print(f"vmtest: stopped by {stopped}", file=sys.stderr)
        return FAILED
    except (RuntimeError, OSError, subprocess.CalledProcessError) as error:
        print(f"vmtest: {error}", file=sys.stderr)
        return FAILED


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

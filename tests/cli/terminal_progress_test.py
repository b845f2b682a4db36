#!/usr/bin/env python3
"""vandrel-cli convert's progress on a terminal.

With stderr on a pseudo-terminal, a run that lasts over a second redraws
"vandrel-cli: converting N%" in place and wipes the line at the end; with
stderr on a pipe, with --json, or in a run's first second, the terminal gets
nothing. Every run writes the same correct files.

The program runs under faketime with its clock sped up a thousandfold (a
slowed clock for the first second), so that the outcome does not depend on
how fast this machine converts.

Usage: terminal_progress_test.py VANDREL_CLI
Exit status 77 (skipped) where no pseudo-terminal can be opened.
"""
import binascii
import os
import pty
import re
import select
import shutil
import struct
import subprocess
import sys
import tempfile

SKIPPED = 77
SOURCE_SIZE = 2 * 1024 * 1024
ADDRESS = 0x08000000
MAGIC = 0x55AA44BB
FAST_CLOCK = "x1000"    # the quiet second lasts a millisecond
SLOW_CLOCK = "x0.0001"  # it lasts hours
LINE = re.compile(rb"vandrel-cli: converting (\d+)%")
WIPE = b"\r" + b" " * len(b"vandrel-cli: converting 100%") + b"\r"


def fail(message):
    print("terminal_progress: " + message, file=sys.stderr)
    sys.exit(1)


def drain(process, terminal):
    """Reads the terminal and the pipes until the program ends; returns what
    the terminal, the stderr pipe (if any) and the standard output got."""
    pipes = [process.stdout] + ([process.stderr] if process.stderr else [])
    seen = {fd: b"" for fd in [terminal] + [pipe.fileno() for pipe in pipes]}
    open_fds = set(seen)
    while open_fds:
        ready, _, _ = select.select(list(open_fds), [], [], 60)
        if not ready:
            process.kill()
            fail("the program neither wrote nor ended for a minute")
        for fd in ready:
            try:
                chunk = os.read(fd, 65536)
            except OSError:  # EIO: the terminal's last writer has gone
                chunk = b""
            if chunk:
                seen[fd] += chunk
            else:
                open_fds.discard(fd)
    process.wait()
    error = seen[process.stderr.fileno()] if process.stderr else b""
    return seen[terminal], error, seen[process.stdout.fileno()]


def convert(cli, work, name, clock, stderr_on_terminal, extra=()):
    """Runs one conversion to NAME.bin/NAME.s19; returns (status, what the
    terminal got, what a stderr pipe got, the standard output)."""
    terminal, child_side = pty.openpty()
    command = ["faketime", "-f", "+0 " + clock, cli, "convert", "--source", "source.bin",
               "--image", name + ".bin", "--s19", name + ".s19", "--address", "%08X" % ADDRESS,
               "--image-version", "101", "--time", "2026-12-09 14:30:00", *extra]
    process = subprocess.Popen(command, cwd=work, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=child_side if stderr_on_terminal else subprocess.PIPE)
    os.close(child_side)
    on_terminal, error, output = drain(process, terminal)
    os.close(terminal)
    return process.returncode, on_terminal, error, output


def check_outputs(work, name, source):
    """The image frames the source with the right length and CRC trailer, and
    srec_cat reads the S-record file back to the image, byte for byte."""
    with open(os.path.join(work, name + ".bin"), "rb") as f:
        image = f.read()
    if image[32:-4] != source:
        fail(name + ".bin: the payload is not the source")
    length, magic = struct.unpack_from("<II", image, 0)
    if length != len(image) or magic != MAGIC:
        fail("%s.bin: length %d, magic %08X" % (name, length, magic))
    if image[-4:] != struct.pack(">H", binascii.crc_hqx(source, 0)) + b"\0\0":
        fail(name + ".bin: the trailer is not the source's CRC-16")
    back = os.path.join(work, name + ".back")
    subprocess.run(["srec_cat", name + ".s19", "-motorola", "-offset", "-0x%08X" % ADDRESS,
                    "-o", back, "-binary"], cwd=work, check=True)
    with open(back, "rb") as f:
        if f.read() != image:
            fail(name + ".s19 does not read back to " + name + ".bin")
    return image


def check_progress(on_terminal):
    """Redrawn in place, counting up to 100, and wiped at the end."""
    if b"\n" in on_terminal or not on_terminal.endswith(WIPE):
        fail("the progress was not drawn in place and wiped: %r" % on_terminal[-80:])
    shown = [int(m.group(1)) for m in LINE.finditer(on_terminal)]
    if len(shown) < 10 or shown != sorted(shown) or shown[-1] != 100 or len(set(shown)) != len(shown):
        fail("the progress did not count up to 100%%: %s" % shown)
    leftover = LINE.sub(b"", on_terminal.replace(WIPE, b"")).replace(b"\r", b"")
    if leftover:
        fail("more than the progress on the terminal: %r" % leftover)


def main():
    cli = sys.argv[1]
    for tool in ("faketime", "srec_cat"):
        if not shutil.which(tool):
            fail(tool + " is missing (scripts/install-deps.sh installs it)")
    try:
        os.close(os.open("/dev/ptmx", os.O_RDWR | os.O_NOCTTY))
    except OSError as error:
        print("terminal_progress: skipped, no pseudo-terminal here: %s" % error)
        return SKIPPED

    with tempfile.TemporaryDirectory() as work:
        source = bytes((i * 131 + i // 977) & 0xFF for i in range(65536)) * (SOURCE_SIZE // 65536)
        with open(os.path.join(work, "source.bin"), "wb") as f:
            f.write(source)

        # name, clock, stderr on the terminal, options, progress expected
        runs = [
            ("terminal", FAST_CLOCK, True, (), True),
            ("pipe", FAST_CLOCK, False, (), False),
            ("json", FAST_CLOCK, True, ("--json",), False),
            ("quick", SLOW_CLOCK, True, (), False),
        ]
        images = []
        for name, clock, on_terminal, extra, expected in runs:
            status, terminal, error, output = convert(cli, work, name, clock, on_terminal, extra)
            if status != 0:
                fail("%s: exit status %d: %s" % (name, status, (terminal + error).decode(errors="replace")))
            if error:
                fail("%s: stderr on a pipe got %r" % (name, error[:200]))
            if expected:
                check_progress(terminal)
            elif terminal:
                fail("%s: the terminal got %r" % (name, terminal[:200]))
            if (b'"format": "vandrel-convert/1"' in output) != bool(extra):
                fail("%s: standard output %r" % (name, output[:200]))
            images.append(check_outputs(work, name, source))
            print("    %s: %s" % (name, "progress shown and wiped" if expected else "nothing on the terminal"))
        if any(image != images[0] for image in images):
            fail("the runs wrote different images")
    print("terminal_progress: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())

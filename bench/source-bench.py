#!/usr/bin/env python3
"""Addressed sources side by side: vandrel-cli convert straight from an ELF,
Intel HEX or S-record file of a 16 MiB span, against objcopy flattening the
same file (-O binary --gap-fill 0xFF) followed by today's conversion of the
flat binary. Also inspect's reading of the S-record file it wrote, against
objcopy -I srec -O binary of the same file (user CPU).

Runs the two ways in turn (interleaved, alternating which goes first) and
prints the median wall time of each, the ratio and the peak resident memory.
Checks once that both ways wrote the same image and S-records. Targets: each
format at most 1.0 times the two-step way; inspect's S-record reading at
most objcopy's user CPU.

    bench/source-bench.py [--cli build/cli/vandrel-cli] [--repetitions 7] [--mebibytes 16]
"""

import argparse
import filecmp
import os
import random
import shutil
import statistics
import sys
import tempfile

from benchtiming import interleaved, run_measured

MIB = 1024 * 1024
START = 0x08000000
PAYLOAD = START + 32
TARGET_RATIO = 1.0
LINKER_SCRIPT = f"SECTIONS {{ .data 0x{PAYLOAD:08X} : {{ *(.data) }} }}\n"


def run(command, cwd):
    return run_measured(command, cwd)


def run_steps(steps, cwd):
    """The sum of the steps' wall and user times, and their largest peak."""
    results = [run(step, cwd) for step in steps]
    return sum(r[0] for r in results), sum(r[1] for r in results), max(r[2] for r in results)


def make_sources(work, size):
    """A random payload of size bytes at the payload address, as an ELF
    executable, Intel HEX and S-records."""
    with open(os.path.join(work, "payload.bin"), "wb") as f:
        f.write(random.Random(size).randbytes(size))
    with open(os.path.join(work, "app.ld"), "w") as f:
        f.write(LINKER_SCRIPT)
    steps = [
        ["arm-none-eabi-objcopy", "-I", "binary", "-O", "elf32-littlearm", "-B", "arm",
         "--rename-section", ".data=.data,alloc,load,contents", "payload.bin", "payload.o"],
        ["arm-none-eabi-ld", "-T", "app.ld", "payload.o", "-o", "app.elf"],
        ["objcopy", "-I", "binary", "-O", "ihex", f"--change-addresses=0x{PAYLOAD:08X}", "payload.bin", "app.hex"],
        ["objcopy", "-I", "binary", "-O", "srec", f"--change-addresses=0x{PAYLOAD:08X}", "payload.bin", "app.s19"],
    ]
    for step in steps:
        run(step, work)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cli", default=os.path.join(root, "build", "cli", "vandrel-cli"),
                        help="the vandrel-cli executable (default: %(default)s)")
    parser.add_argument("--repetitions", type=int, default=7, help="runs of each way (default: 7)")
    parser.add_argument("--mebibytes", type=int, default=16, help="the span in MiB (default: 16)")
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)
    if not os.access(cli, os.X_OK):
        sys.exit(f"no vandrel-cli at {cli}; build it or give --cli")
    for tool in ("objcopy", "arm-none-eabi-objcopy", "arm-none-eabi-ld"):
        if not shutil.which(tool):
            sys.exit(f"{tool} not found (Debian packages binutils, binutils-arm-none-eabi)")

    convert = ["--image-version", "1", "--time", "2026-12-09 12:00:00"]
    formats = {  # source, objcopy that flattens it
        "ELF": ("app.elf", "arm-none-eabi-objcopy", []),
        "Intel HEX": ("app.hex", "objcopy", ["-I", "ihex"]),
        "S-records": ("app.s19", "objcopy", ["-I", "srec"]),
    }
    verdicts = []
    with tempfile.TemporaryDirectory(prefix="vandrel-source-bench-") as work:
        make_sources(work, args.mebibytes * MIB)
        print(f"{args.mebibytes} MiB span, median of {args.repetitions} interleaved runs each")
        print(f"{'source':>10} {'direct':>10} {'objcopy+convert':>16} {'ratio':>6} {'direct peak':>12}"
              f" {'two-step peak':>14}")
        for name, (source, objcopy, input_format) in formats.items():
            ways = {
                "direct": [[cli, "convert", "--source", source, "--image", "direct.bin", "--s19", "direct.s19"]
                           + convert],
                "two-step": [[objcopy] + input_format + ["-O", "binary", "--gap-fill", "0xFF", source, "flat.bin"],
                             [cli, "convert", "--source", "flat.bin", "--address", f"{START:08X}", "--image",
                              "flat_out.bin", "--s19", "flat.s19"] + convert],
            }
            results = interleaved({way: (lambda steps=steps: run_steps(steps, work)) for way, steps in ways.items()},
                                  args.repetitions)
            times = {way: [r[0] for r in runs] for way, runs in results.items()}
            peaks = {way: max(r[2] for r in runs) for way, runs in results.items()}
            for a, b in (("direct.bin", "flat_out.bin"), ("direct.s19", "flat.s19")):
                if not filecmp.cmp(os.path.join(work, a), os.path.join(work, b), shallow=False):
                    sys.exit(f"{name}: {a} differs from {b}")
            direct = statistics.median(times["direct"])
            two_step = statistics.median(times["two-step"])
            ratio = direct / two_step
            verdicts.append((name, ratio))
            print(f"{name:>10} {direct * 1000:>7.1f} ms {two_step * 1000:>13.1f} ms {ratio:>6.2f}"
                  f" {peaks['direct'] / 1024:>9.1f} MB {peaks['two-step'] / 1024:>11.1f} MB")

        inspect = [cli, "inspect", "direct.bin", "--s19", "direct.s19", "--address", f"{START:08X}"]
        reference = ["objcopy", "-I", "srec", "-O", "binary", "direct.s19", "back.bin"]
        results = interleaved({"inspect": lambda: run(inspect, work), "objcopy": lambda: run(reference, work)},
                              args.repetitions)
        user = {way: [r[1] for r in runs] for way, runs in results.items()}
        inspect_user = statistics.median(user["inspect"])
        objcopy_user = statistics.median(user["objcopy"])
        print(f"inspect --s19 of the image's S-records: {inspect_user:.3f} s user; "
              f"objcopy -I srec -O binary: {objcopy_user:.3f} s user")

    for name, ratio in verdicts:
        print(f"target: {name} direct at most {TARGET_RATIO}x objcopy + convert: "
              f"{'met' if ratio <= TARGET_RATIO else 'MISSED'} ({ratio:.2f}x)")
    print(f"target: inspect's S-record reading at most objcopy's user CPU: "
          f"{'met' if inspect_user <= objcopy_user else 'MISSED'}")


if __name__ == "__main__":
    main()

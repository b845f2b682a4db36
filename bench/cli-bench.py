#!/usr/bin/env python3
"""vandrel-cli convert beside objcopy, on random sources of 1, 16 and 200 MiB.

Runs both programs in turn (interleaved, alternating which goes first),
takes the median wall time of each, and prints the ratio and each program's
peak resident memory (GNU time's %M), and vandrel-cli's peak above its Qt
baseline (the peak of "vandrel-cli --version"). Also checks once that both
wrote the same S3 records. Targets: at 16 MiB vandrel-cli at most 1.5 times
objcopy's time; at every size its peak at most the baseline + 16 MiB.
vandrel-cli syncs its outputs to the disk before it reports success, objcopy
does not: that is part of vandrel-cli's time.

    bench/cli-bench.py [--cli build/cli/vandrel-cli] [--repetitions 7] [--sizes 1,16,200]
"""

import argparse
import os
import random
import shutil
import statistics
import sys
import tempfile

from benchtiming import interleaved, run_measured

MIB = 1024 * 1024
ADDRESS = 0x08000000
TARGET_RATIO = 1.5
TARGET_SIZE = 16 * MIB
TARGET_MEMORY_ABOVE_BASELINE = 16 * MIB


def run_timed(command, cwd):
    """Wall seconds and peak resident KiB of one run."""
    elapsed, _, peak = run_measured(command, cwd)
    return elapsed, peak


def s3_lines(path):
    with open(path, "rb") as f:
        return [line.rstrip(b"\r\n") for line in f if line.startswith(b"S3")]


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cli", default=os.path.join(root, "build", "cli", "vandrel-cli"),
                        help="the vandrel-cli executable (default: %(default)s)")
    parser.add_argument("--repetitions", type=int, default=7, help="runs of each program per size (default: 7)")
    parser.add_argument("--sizes", default="1,16,200", help="source sizes in MiB (default: %(default)s)")
    args = parser.parse_args()
    sizes = [int(text) * MIB for text in args.sizes.split(",")]

    cli = os.path.abspath(args.cli)
    objcopy = shutil.which("objcopy")
    if not os.access(cli, os.X_OK):
        sys.exit(f"no vandrel-cli at {cli}; build it or give --cli")
    if not objcopy:
        sys.exit("objcopy not found (Debian package binutils)")

    programs = {
        "vandrel-cli": [cli, "convert", "--source", "source.bin", "--image", "image.bin", "--s19", "cli.s19",
                        "--address", f"{ADDRESS:08X}", "--image-version", "1", "--time", "2026-12-09 12:00:00"],
        "objcopy": [objcopy, "-I", "binary", "-O", "srec", "--srec-len=16", "--srec-forceS3",
                    f"--change-addresses=0x{ADDRESS:08X}", "source.bin", "objcopy.s19"],
    }

    verdict = None
    memory_verdict = True
    with tempfile.TemporaryDirectory(prefix="vandrel-bench-") as work:
        baseline = max(run_timed([cli, "--version"], work)[1] for _ in range(3))
        print(f"vandrel-cli Qt baseline (peak of --version): {baseline / 1024:.1f} MB")
        print(f"{'source':>8} {'vandrel-cli':>12} {'objcopy':>10} {'ratio':>6} {'cli peak':>10} {'above base':>11}"
              f" {'objcopy peak':>13}")
        for size in sizes:
            with open(os.path.join(work, "source.bin"), "wb") as f:
                f.write(random.Random(size).randbytes(size))
            results = interleaved({name: (lambda command=command: run_timed(command, work))
                                   for name, command in programs.items()}, args.repetitions)
            times = {name: [r[0] for r in runs] for name, runs in results.items()}
            peaks = {name: max(r[1] for r in runs) for name, runs in results.items()}

            # The cli's image is the 32-byte header (two records), the source and
            # the trailer; objcopy's records hold the bare source. Same data.
            cli_data = [line[12:-2] for line in s3_lines(os.path.join(work, "cli.s19"))]
            reference = [line[12:-2] for line in s3_lines(os.path.join(work, "objcopy.s19"))]
            if cli_data[2:2 + len(reference)] != reference:
                sys.exit(f"{size} bytes: vandrel-cli's S3 data differ from objcopy's")

            cli_median = statistics.median(times["vandrel-cli"])
            objcopy_median = statistics.median(times["objcopy"])
            ratio = cli_median / objcopy_median
            above = peaks["vandrel-cli"] - baseline
            memory_verdict = memory_verdict and above * 1024 <= TARGET_MEMORY_ABOVE_BASELINE
            print(f"{size // MIB:>5} MiB {cli_median * 1000:>9.1f} ms {objcopy_median * 1000:>7.1f} ms {ratio:>6.2f}"
                  f" {peaks['vandrel-cli'] / 1024:>7.1f} MB {above / 1024:>8.1f} MB {peaks['objcopy'] / 1024:>10.1f} MB")
            if size == TARGET_SIZE:
                verdict = ratio <= TARGET_RATIO
                target_ratio = ratio

    print(f"median of {args.repetitions} interleaved runs each; peak = largest resident set of any run")
    if verdict is not None:
        print(f"target at {TARGET_SIZE // MIB} MiB: vandrel-cli at most {TARGET_RATIO}x objcopy: "
              f"{'met' if verdict else 'MISSED'} ({target_ratio:.2f}x)")
    print(f"target: vandrel-cli's peak at most {TARGET_MEMORY_ABOVE_BASELINE // MIB} MiB above its baseline at every "
          f"size: {'met' if memory_verdict else 'MISSED'}")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""vandrel-cli release of three profiles beside three vandrel-cli convert runs.

A settings file with three profiles, each a random source of 16 MiB (default).
One measurement of "separate" is three "convert --profile I" runs in a row;
one of "release" is "release --manifest out/release.json --sign KEY" over the
same three profiles, which also hashes every output and source and writes the
manifest and its signature. Both are run in turn (interleaved, alternating
which goes first) and the medians compared. Target: the release costs at most
1.2 times the separate runs. Checks once that both wrote the same images and
S-record files.

    bench/release-bench.py [--cli build/cli/vandrel-cli] [--repetitions 7] [--size 16]
"""

import argparse
import filecmp
import os
import random
import statistics
import sys
import tempfile

from benchtiming import interleaved, run_measured

MIB = 1024 * 1024
PROFILES = 3
TARGET_RATIO = 1.2
TIME = "2026-12-09 12:00:00"


def run(command, cwd):
    return run_measured(command, cwd)[0]


def settings_text(folder):
    lines = ["[Sys]", f"Devs={PROFILES}", "Addr=08000000", "Ver=101", ""]
    for i in range(PROFILES):
        lines += [f"[Dev{i}]", f"Name=board{i}", f"PBin=firmware/board{i}.bin",
                  f"NBin={folder}/board{i}_app.bin", f"NS19={folder}/board{i}_app.s19", ""]
    return "\n".join(lines)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cli", default=os.path.join(root, "build", "cli", "vandrel-cli"),
                        help="the vandrel-cli executable (default: %(default)s)")
    parser.add_argument("--repetitions", type=int, default=7, help="measurements of each (default: 7)")
    parser.add_argument("--size", type=int, default=16, help="each source's size in MiB (default: 16)")
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)
    if not os.access(cli, os.X_OK):
        sys.exit(f"no vandrel-cli at {cli}; build it or give --cli")

    with tempfile.TemporaryDirectory(prefix="vandrel-release-bench-") as work:
        os.makedirs(os.path.join(work, "firmware"))
        for i in range(PROFILES):
            with open(os.path.join(work, "firmware", f"board{i}.bin"), "wb") as f:
                f.write(random.Random(i).randbytes(args.size * MIB))
        for folder in ("separate", "release"):
            os.makedirs(os.path.join(work, folder))
            with open(os.path.join(work, f"{folder}.ini"), "w") as f:
                f.write(settings_text(folder))
        run([cli, "keygen", "--secret", "key.sec", "--public", "key.pub"], work)

        def separate():
            return sum(run([cli, "convert", "--settings", "separate.ini", "--profile", str(i), "--time", TIME], work)
                       for i in range(PROFILES))

        def release():
            return run([cli, "release", "--settings", "release.ini", "--manifest", "release/release.json",
                        "--sign", "key.sec", "--time", TIME], work)

        times = interleaved({"separate": separate, "release": release}, args.repetitions)

        for i in range(PROFILES):
            for suffix in ("_app.bin", "_app.s19"):
                if not filecmp.cmp(os.path.join(work, "separate", f"board{i}{suffix}"),
                                   os.path.join(work, "release", f"board{i}{suffix}"), shallow=False):
                    sys.exit(f"board{i}{suffix}: the release wrote other bytes than convert")

    separate_median = statistics.median(times["separate"])
    release_median = statistics.median(times["release"])
    ratio = release_median / separate_median
    print(f"{PROFILES} profiles of {args.size} MiB, median of {args.repetitions} interleaved measurements")
    print(f"  {PROFILES} x convert --profile: {separate_median * 1000:8.1f} ms")
    print(f"  release --sign:           {release_median * 1000:8.1f} ms")
    print(f"target: release at most {TARGET_RATIO}x the separate runs: "
          f"{'met' if ratio <= TARGET_RATIO else 'MISSED'} ({ratio:.2f}x)")
    return 0 if ratio <= TARGET_RATIO else 1


if __name__ == "__main__":
    sys.exit(main())

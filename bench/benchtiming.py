"""What the benchmark scripts share: one run measured by GNU time, and the
interleaved runs whose medians they compare.

Two ways of doing one job are measured in turn, alternating which goes first,
after one warming run of each (the page cache), so that a machine's changing
load falls on both alike.
"""

import os
import subprocess
import sys
import time

GNU_TIME = "/usr/bin/time"


def run_measured(command, cwd):
    """Wall seconds, user CPU seconds and peak resident KiB of one run.

    GNU time measures the child: one forked from this script would count the
    script's own pages until exec. A failed run ends the benchmark.
    """
    if not os.access(GNU_TIME, os.X_OK):
        sys.exit(f"GNU time not found at {GNU_TIME} (Debian package time)")
    start = time.perf_counter()
    result = subprocess.run([GNU_TIME, "-f", "%U %M"] + command, cwd=cwd,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    error = result.stderr.decode(errors="replace").strip()
    if result.returncode != 0:
        sys.exit(f"{' '.join(command)} failed ({result.returncode}): {error}")
    user, peak = error.splitlines()[-1].split()
    return elapsed, float(user), int(peak)


def interleaved(ways, repetitions):
    """Each way's results over the repetitions: ways maps a name to a
    function that does the job once and returns its measurement."""
    results = {name: [] for name in ways}
    for measure in ways.values():
        measure()
    for repetition in range(repetitions):
        order = list(ways) if repetition % 2 == 0 else list(reversed(ways))
        for name in order:
            results[name].append(ways[name]())
    return results

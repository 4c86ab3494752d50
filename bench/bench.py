#!/usr/bin/env python3
"""Wall time of `Tavo.Deploy.exe --check` against a trivial static program,
both started the same way under the same warm wineserver (the tree's Wine
session must be running). Prints the medians and their ratio.

usage: bench.py BUILD_TREE [RUNS]"""

import pathlib
import statistics
import subprocess
import sys
import time

WINE_EXEC = pathlib.Path(__file__).resolve().parents[1] / "scripts" / "wine-exec.sh"


def read_env(path):
    values = {}
    for line in path.read_text().splitlines():
        key, _, value = line.partition("=")
        values[key] = value.strip("'")
    return values


def timed_run(tree, program, args):
    start = time.perf_counter()
    result = subprocess.run(["sh", str(WINE_EXEC), str(tree), program, *args], stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit("bench: %s %s exited with %d\n%s" % (program, " ".join(args), result.returncode,
                                                       result.stderr.decode(errors="replace")))
    return elapsed


def main(argv):
    if len(argv) not in (2, 3):
        sys.exit(__doc__)
    tree = pathlib.Path(argv[1]).resolve()
    runs = int(argv[2]) if len(argv) == 3 else 15
    worker = read_env(tree / "test-programs.env")["TAVO_WORKER"]
    trivial = read_env(tree / "bench-programs.env")["TAVO_BENCH_TRIVIAL"]
    cases = [("Tavo.Deploy.exe --check", worker, ["--check"]), ("trivial static program", trivial, [])]
    for _, program, args in cases:  # one unmeasured run each: disk cache, first loads
        timed_run(tree, program, args)
    times = {name: [] for name, _, _ in cases}
    for _ in range(runs):  # interleaved, so drift affects both alike
        for name, program, args in cases:
            times[name].append(timed_run(tree, program, args))
    medians = {name: statistics.median(values) for name, values in times.items()}
    for name, median in medians.items():
        print("%-26s median %7.1f ms  (%d runs, min %.1f ms, max %.1f ms)"
              % (name, median * 1000, runs, min(times[name]) * 1000, max(times[name]) * 1000))
    worker_median, trivial_median = medians[cases[0][0]], medians[cases[1][0]]
    print("%-26s %.2f" % ("ratio worker / trivial", worker_median / trivial_median))


if __name__ == "__main__":
    main(sys.argv)

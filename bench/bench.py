#!/usr/bin/env python3
"""Wall time of `Tavo.Deploy.exe --check` and of a full simulated
`Tavo.Deploy.exe --install` (loopback package host, simulated platform, no
artificial delays) against a trivial static program, all started the same way
under the same warm wineserver (the tree's Wine session and package host must
be running). Prints the medians and the ratios to the trivial program.
Then a passing check run against a probe that makes only its Windows calls,
and the install run's download stage against one bare HTTPS GET.
Then the setup window, under the same Xvfb: the cost of a full `installing`
frame against a clear-only frame (offscreen, scale 1) with the frame's parts,
TavoSetup.exe's start to its first painted frame against a minimal Direct2D
window program that paints one clear frame, and the processor share of the
shown window on `installing` and on `success` against that minimal window
clearing and presenting at the same 33 ms tick.

usage: bench.py BUILD_TREE [RUNS]"""

import json
import os
import pathlib
import signal
import statistics
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[1]
WINE_EXEC = ROOT / "scripts" / "wine-exec.sh"
sys.path.insert(0, str(ROOT / "scripts"))
import demo_install  # noqa: E402  (the package host and descriptor helpers)


def timed_run(tree, program, args, env=None, prepare=None):
    if prepare:
        prepare()
    start = time.perf_counter()
    result = subprocess.run(["sh", str(WINE_EXEC), str(tree), program, *args], stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120,
                            env=dict(os.environ, **(env or {})))
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
    bench = demo_install.tavo_tree.read_programs(tree, "bench-programs.env")
    worker, trivial = bench["TAVO_BENCH_WORKER"], bench["TAVO_BENCH_TRIVIAL"]
    install = prepare_install(tree)
    cases = [("trivial static program", trivial, [], None, None),
             ("Tavo.Deploy.exe --check", worker, ["--check"], None, None),
             ("Tavo.Deploy.exe --install", worker, ["--install"], install["env"], install["prepare"])]
    for _, program, args, env, prepare in cases:  # one unmeasured run each: disk cache, first loads
        timed_run(tree, program, args, env, prepare)
    times = {case[0]: [] for case in cases}
    for _ in range(runs):  # interleaved, so drift affects all alike
        for name, program, args, env, prepare in cases:
            times[name].append(timed_run(tree, program, args, env, prepare))
    medians = {name: statistics.median(values) for name, values in times.items()}
    for name, median in medians.items():
        print("%-26s median %7.1f ms  (%d runs, min %.1f ms, max %.1f ms)"
              % (name, median * 1000, runs, min(times[name]) * 1000, max(times[name]) * 1000))
    trivial_median = medians[cases[0][0]]
    for name, *_ in cases[1:]:
        print("%-26s %.2f" % ("ratio %s / trivial" % name.split()[1], medians[name] / trivial_median))
    probe_figures(tree, runs, worker, install)
    window_figures(tree, runs)


def probe_figures(tree, runs, worker, install):
    """A passing check run against the check probe, which makes the same
    Windows calls and nothing else; the install run's download stage (from its
    verbose trace) against one bare HTTPS GET of the descriptor."""
    bench = demo_install.tavo_tree.read_programs(tree, "bench-programs.env")
    folder = tree / "bench"
    check_report, probe_report = folder / "check.json", folder / "check-probe.json"
    install_report = folder / "install.json"
    install_trace = pathlib.Path(str(install_report) + ".trace.jsonl")
    cases = [("check probe", bench["TAVO_BENCH_CHECK_PROBE"], [demo_install.windows_path(probe_report)]),
             ("Tavo.Deploy.exe --check", worker, ["--check", "--report", demo_install.windows_path(check_report)])]
    for _, program, args in cases:
        timed_run(tree, program, args)
    # Pairs: each check run beside its probe run, so that a busy moment weighs
    # on both, in alternating order, so that neither always runs second; the
    # ratio is the median of the pairs' ratios, with the middle half printed.
    times = {name: [] for name, *_ in cases}
    for pair in range(2 * runs):
        for name, program, args in (cases if pair % 2 == 0 else cases[::-1]):
            times[name].append(timed_run(tree, program, args))
    downloads = {"download probe": [], "install download stage": []}
    for _ in range(runs):
        downloads["download probe"].append(download_probe_ms(tree, bench["TAVO_BENCH_DOWNLOAD_PROBE"]))
        timed_run(tree, worker, ["--install", "--verbose", "--report", demo_install.windows_path(install_report)],
                  install["env"], install["prepare"])
        downloads["install download stage"].append(download_stage_ms(install_trace))
    medians = {name: statistics.median(values) * 1000 for name, values in times.items()}
    for name, median in medians.items():
        print("%-26s median %7.1f ms  (%d runs, min %.1f ms, max %.1f ms)"
              % (name, median, len(times[name]), min(times[name]) * 1000, max(times[name]) * 1000))
    print("ratio --check / check probe %.2f  (%d pairs, middle half %.2f to %.2f)"
          % paired_ratio(times[cases[0][0]], times[cases[1][0]]))
    download_medians = {name: statistics.median(values) for name, values in downloads.items()}
    for name, median in download_medians.items():
        print("%-26s median %7.1f ms  (%d runs, min %.1f ms, max %.1f ms)"
              % (name, median, runs, min(downloads[name]), max(downloads[name])))
    print("ratio download stage / download probe %.2f"
          % (download_medians["install download stage"] / download_medians["download probe"]))


def download_probe_ms(tree, probe):
    result = subprocess.run(["sh", str(WINE_EXEC), str(tree), probe], stdin=subprocess.DEVNULL,
                            capture_output=True, timeout=120)
    if result.returncode != 0:
        sys.exit("bench: the download probe exited with %d\n%s" % (result.returncode,
                                                                  result.stderr.decode(errors="replace")))
    return float(result.stdout.decode().strip().splitlines()[-1])


def download_stage_ms(trace):
    """Milliseconds between the download operation's `begin` and `result` entries."""
    marks = {}
    for line in trace.read_text(encoding="utf-8").splitlines():
        entry = json.loads(line)
        if entry["operation"] == "descriptor.download" and entry["phase"] in ("begin", "result"):
            marks.setdefault(entry["phase"], entry["elapsedMs"])
    if set(marks) != {"begin", "result"}:
        sys.exit("bench: %s lacks the download's begin or result entry" % trace)
    return float(marks["result"] - marks["begin"])


def paired_ratio(baselines, measured):
    """The median of the pairs' ratios measured / baseline, their count, and
    the middle half's ends."""
    ratios = sorted(value / baseline for baseline, value in zip(baselines, measured))
    quarter = len(ratios) // 4
    return statistics.median(ratios), len(ratios), ratios[quarter], ratios[-1 - quarter]


def window_figures(tree, runs):
    programs = demo_install.tavo_tree.read_programs(tree)
    bench = demo_install.tavo_tree.read_programs(tree, "bench-programs.env")
    launcher = demo_install.windows_path(programs["TAVO_LAUNCHER"])
    result = subprocess.run(["sh", str(WINE_EXEC), str(tree), bench["TAVO_BENCH_FRAME"], launcher, "15"],
                            stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
    if result.returncode != 0:
        sys.exit("bench: the frame benchmark failed\n%s" % result.stderr.decode(errors="replace"))
    print(result.stdout.decode("utf-8").rstrip())

    # Each program writes the milliseconds from its own start to its first
    # painted frame, so neither Wine's process start nor the teardown counts.
    record = tree / "bench" / "first-frame.txt"
    record.parent.mkdir(exist_ok=True)
    cases = [("minimal Direct2D window", bench["TAVO_BENCH_WINDOW"], [demo_install.windows_path(record)], None),
             ("TavoSetup.exe first frame", programs["TAVO_LAUNCHER"], ["--preview", "--state", "installing"],
              {"TAVO_TEST_HOOK_FIRST_FRAME_FILE": demo_install.windows_path(record)})]

    expanding = []

    def first_frame(program, args, env):
        record.unlink(missing_ok=True)
        timed_run(tree, program, args, env)
        lines = record.read_text().split()
        if len(lines) > 1:  # the launcher's second line: its expanding so far
            expanding.append(float(lines[1]))
        return float(lines[0])

    for _, program, args, env in cases:  # unmeasured: first loads
        first_frame(program, args, env)
    expanding.clear()
    times = {name: [] for name, *_ in cases}
    # Pairs, as for --check: back to back, so that a busy moment weighs on
    # both, in alternating order; the ratio is the median of the pairs' ratios.
    for pair in range(2 * runs):
        for name, program, args, env in (cases if pair % 2 == 0 else cases[::-1]):
            times[name].append(first_frame(program, args, env))
    medians = {name: statistics.median(values) for name, values in times.items()}
    for name, median in medians.items():
        print("%-26s median %7.1f ms to the first frame  (%d runs)" % (name, median, len(times[name])))
    print("  of which expanding the fonts %.1f ms; the worker is expanded after the first frame, in %s ms"
          % (statistics.median(expanding), worker_expanding_ms(tree, programs)))
    print("ratio first frame / minimal window %.2f  (%d pairs, middle half %.2f to %.2f; target at most 1.1)"
          % paired_ratio(times[cases[0][0]], times[cases[1][0]]))
    window_cpu_figures(tree, programs, bench, record)


def worker_expanding_ms(tree, programs):
    """The median time the launcher's own code takes to expand the worker it
    carries (the release launcher's when the tree names one)."""
    launcher = programs.get("TAVO_RELEASE_LAUNCHER", programs["TAVO_LAUNCHER"])
    output = tree / "bench" / "expanded-worker.exe"
    times = []
    for _ in range(5):
        output.unlink(missing_ok=True)
        result = subprocess.run(["sh", str(WINE_EXEC), str(tree), programs["TAVO_WRITE_WORKER"], launcher,
                                 demo_install.windows_path(output)], stdin=subprocess.DEVNULL, capture_output=True,
                                timeout=120)
        if result.returncode != 0:
            sys.exit("bench: expanding the worker failed (%d)" % result.returncode)
        times.append(float(result.stdout.decode().split()[-1]))
    output.unlink(missing_ok=True)
    return "%.1f" % statistics.median(times)


CPU_SECONDS = 10
CPU_ROUNDS = 3
CPU_TARGET = 1.5


def cpu_seconds(pid):
    """User plus system time of a process (all its threads) in seconds."""
    fields = pathlib.Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def cpu_share(tree, program, args, shown):
    """Percent of one core that `program` uses over CPU_SECONDS once `shown()`
    says its window is up; the program is ended by its pid afterwards. Under
    wine-exec.sh the Windows program keeps the pid that Popen returns."""
    process = subprocess.Popen(["sh", str(WINE_EXEC), str(tree), program, *args], stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        shown()
        time.sleep(1)  # past the entrance animations, into the steady state
        before, start = cpu_seconds(process.pid), time.perf_counter()
        time.sleep(CPU_SECONDS)
        used, elapsed = cpu_seconds(process.pid) - before, time.perf_counter() - start
        return 100 * used / elapsed
    finally:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def window_cpu_figures(tree, programs, bench, record):
    """The shown setup window's processor share on two screens against the
    minimal window ticking at 33 ms, in interleaved rounds."""
    driver = programs["TAVO_WINDOW_DRIVER"]

    def launcher_shown():
        result = subprocess.run(["sh", str(WINE_EXEC), str(tree), driver, "wait-window", "60000"],
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        if result.returncode != 0:
            sys.exit("bench: the setup window did not show\n%s" % result.stderr.decode(errors="replace"))

    def reference_shown():
        deadline = time.monotonic() + 60
        while not record.exists():
            if time.monotonic() > deadline:
                sys.exit("bench: the minimal window did not paint")
            time.sleep(0.05)

    def reference():
        record.unlink(missing_ok=True)
        return cpu_share(tree, bench["TAVO_BENCH_WINDOW"], [demo_install.windows_path(record), "--tick"],
                         reference_shown)

    cases = [("reference window", reference)] + [
        ("TavoSetup.exe " + state,
         lambda state=state: cpu_share(tree, programs["TAVO_LAUNCHER"], ["--preview", "--state", state],
                                       launcher_shown))
        for state in ("installing", "success")]
    shares = {name: [] for name, _ in cases}
    for _ in range(CPU_ROUNDS):
        for name, measure in cases:
            shares[name].append(measure())
    medians = {name: statistics.median(values) for name, values in shares.items()}
    for name, median in medians.items():
        print("%-26s median %5.1f %% of one core over %d s  (%d rounds, %.1f to %.1f %%)"
              % (name, median, CPU_SECONDS, CPU_ROUNDS, min(shares[name]), max(shares[name])))
    for name, _ in cases[1:]:
        print("ratio window CPU / reference CPU %.2f  (%s; target at most %.1f)"
              % (medians[name] / medians[cases[0][0]], name.split()[1], CPU_TARGET))


def prepare_install(tree):
    """Scripts the package host with a valid descriptor and writes a scenario
    whose deployment succeeds at once; each run starts without an install."""
    demo_install.serve_descriptor(tree)
    folder = tree / "bench"
    folder.mkdir(exist_ok=True)
    scenario = folder / "scenario.json"
    scenario.write_text("{}", encoding="utf-8")
    state = folder / "scenario.json.state.json"
    return {"env": {"TAVO_SIM_SCENARIO": demo_install.windows_path(scenario)},
            "prepare": lambda: state.unlink(missing_ok=True)}


if __name__ == "__main__":
    main(sys.argv)

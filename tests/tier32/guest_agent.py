"""Serves the host's test requests inside the guest (see vm.py).

A request is run/requests/NAME.json, {"argv": [...], "env": {...}, "timeout": SECONDS},
run in this folder, written whole by the host. The agent runs one at a time
and answers with run/results/NAME.out (the command's output) and then
run/results/NAME.json, {"status": N}. The request "stop" ends the agent.

usage: guest_agent.py TREE RUN_FOLDER"""

import json
import os
import pathlib
import signal
import subprocess
import sys
import time

HERE = pathlib.Path(__file__).resolve().parent


def run_case(request, env, out):
    """Runs one case in a process group of its own, so that a case ended at its
    bound takes the Windows programs it started with it."""
    try:
        process = subprocess.Popen(request["argv"], cwd=HERE, env=env, stdin=subprocess.DEVNULL, stdout=out,
                                   stderr=subprocess.STDOUT, start_new_session=True)
    except OSError as error:
        out.write(b"\ntier32: the guest could not start the test: %s\n" % str(error).encode())
        return 125
    try:
        return process.wait(timeout=request["timeout"])
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        out.write(b"\ntier32: the guest ended the test after %d s\n" % request["timeout"])
        return 124


def serve(run):
    requests, results = run / "requests", run / "results"
    results.mkdir(parents=True, exist_ok=True)
    while True:
        names = sorted(p.stem for p in requests.glob("*.json"))
        if not names:
            time.sleep(0.2)  # the share gives no change notification: poll it
            continue
        name = names[0]
        request_file = requests / (name + ".json")
        if name == "stop":
            request_file.unlink()
            return
        request = json.loads(request_file.read_text(encoding="utf-8"))
        request_file.unlink()
        env = dict(os.environ, **request.get("env", {}))
        with open(results / (name + ".out"), "wb") as out:
            status = run_case(request, env, out)
        answer = results / (name + ".json.new")
        answer.write_text(json.dumps({"status": status}), encoding="utf-8")
        answer.rename(results / (name + ".json"))


if __name__ == "__main__":
    serve(pathlib.Path(sys.argv[2]))

"""Start-up time of orvo_Printer with a print link against the smallest
windowed program (tests/uidriver/bare_window.cpp), both under the same warm
Wine. Run through tests/bench/startup-bench.sh.

    python3 tests/bench/startup_bench.py [RUNS]     (default 9)

For each run a UI driver is already polling (every 15 ms) when the program
is started; the time is from the start to the moment the driver saw the
window visible. The runs are interleaved, so that a change in the machine's
load touches both alike. orvo_Printer's finished print choice (318 pixels,
after the 100 ms dispatch timer) is reported beside it for information.
"""

import json
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))
from orvo_e2e import (BUILD_DIR, ENV, MAIN_CLASS, PROGRAM, TEST_ROOT, UIDRIVER, WEB, Program, UiDriver,  # noqa: E402
                      link_for, wine_path)

BARE = BUILD_DIR / "tests" / "bare_window.exe"
PRINT_REQUEST = f"cmd=print&filename={WEB}/files/startup.doc&title=t&server={WEB}/upload&type=0&guid=g&x=0"


def one_run(workdir, exe, request, criteria):
    out = Path(workdir) / "seen.json"
    out.unlink(missing_ok=True)
    # Windows of programs already running (other tests on the display) do not count.
    ui = UiDriver(workdir)
    ui.expect_new_process()
    watcher = subprocess.Popen(["wine", str(UIDRIVER), "--out", wine_path(out), "find", "--timeout", "20000",
                                "--visible", *criteria, *ui.scope],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=ENV)
    time.sleep(0.6)  # the driver is up and polling
    program = Program(workdir, request, exe)
    try:
        watcher.wait(timeout=30)
        answer = json.loads(out.read_text(encoding="utf-8"))
        if not answer.get("ok"):
            raise RuntimeError(answer)
        return answer["result"]["found_at_ms"] / 1000.0 - program.started_at
    finally:
        program.kill()
        time.sleep(0.2)


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 9
    link = link_for(PRINT_REQUEST) or "orvo:" + PRINT_REQUEST
    with tempfile.TemporaryDirectory(prefix="orvo-startup-", dir=str(TEST_ROOT)) as workdir:
        cases = {
            "bare window shown": (BARE, None, ["--class", "BareWindow"]),
            "orvo_Printer window shown": (PROGRAM, link, ["--class", MAIN_CLASS]),
            "orvo_Printer print choice": (PROGRAM, link, ["--class", MAIN_CLASS, "--height", "318"]),
        }
        for exe, request, criteria in cases.values():
            one_run(workdir, exe, request, criteria)  # warm the file cache
        times = {name: [] for name in cases}
        for _ in range(runs):
            for name, (exe, request, criteria) in cases.items():
                times[name].append(one_run(workdir, exe, request, criteria))
        medians = {}
        for name, t in times.items():
            medians[name] = statistics.median(t)
            print(f"{name:28s} median {medians[name] * 1000:7.1f} ms  "
                  f"(min {min(t) * 1000:.1f}, max {max(t) * 1000:.1f}, {runs} runs)")
        bare = medians["bare window shown"]
        print(f"ratio, window shown: {medians['orvo_Printer window shown'] / bare:.2f} "
              f"(print choice: {medians['orvo_Printer print choice'] / bare:.2f})")


if __name__ == "__main__":
    main()

"""Start-up time of orvo_Printer against the smallest windowed program, both
under the same warm Wine.

    python3 tests/e2e/measure_startup.py [RUNS]

For each run a UI driver is already polling (every 15 ms) when the program is
started; the time is from the start to the moment the driver saw the window.
orvo_Printer is measured twice: to its window showing (at height 0, before
the request is looked at) and to the finished print choice (318 pixels),
which includes the 100 ms dispatch timer.
"""

import json
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from orvo_e2e import (BUILD_DIR, ENV, MAIN_CLASS, PROGRAM, TEST_ROOT, UIDRIVER, Program, UiDriver,  # noqa: E402
                      wine_path)

BARE = BUILD_DIR / "tests" / "bare_window.exe"


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
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 10
    with tempfile.TemporaryDirectory(prefix="orvo-startup-", dir=str(TEST_ROOT)) as workdir:
        cases = {
            "bare window shown": (BARE, None, ["--class", "BareWindow"]),
            "orvo_Printer window shown": (PROGRAM, "orvo:cmd=print", ["--class", MAIN_CLASS]),
            "orvo_Printer print choice": (PROGRAM, "orvo:cmd=print", ["--class", MAIN_CLASS, "--height", "318"]),
        }
        for exe, request, criteria in cases.values():
            one_run(workdir, exe, request, criteria)  # warm the file cache
        # Interleaved, so that a change in the machine's load touches every case alike.
        times = {name: [] for name in cases}
        for _ in range(runs):
            for name, (exe, request, criteria) in cases.items():
                times[name].append(one_run(workdir, exe, request, criteria))
        results = {}
        for name, t in times.items():
            results[name] = statistics.median(t)
            print(f"{name:28s} median {results[name] * 1000:7.1f} ms  "
                  f"(min {min(t) * 1000:.1f}, max {max(t) * 1000:.1f}, {runs} runs)")
        bare = results["bare window shown"]
        print(f"ratio, window shown:  {results['orvo_Printer window shown'] / bare:.2f}")
        print(f"ratio, print choice:  {results['orvo_Printer print choice'] / bare:.2f}")


if __name__ == "__main__":
    main()

"""Peak working set of a ".doc" preview (not a test): the program previews a
report of SIZE bytes and a small one; the difference in the peak resident
set of its process, as a multiple of SIZE, is what the report costs.

The reports are compound documents whose bulk is a stream the Office
substitute never reads, so the substitute's own copies of the content stay
out of the count."""

import re
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))

import orvo_e2e as e2e  # noqa: E402

DOCGEN = e2e.BUILD_DIR / "tests" / "fakes" / "office" / "fake_office_docgen.exe"
WEB_DIR = e2e.TEST_ROOT / "web" / "bench"


def report(name, pad):
    WEB_DIR.mkdir(parents=True, exist_ok=True)
    target = WEB_DIR / name
    args = ["wine", str(DOCGEN), e2e.wine_path(target)] + (["--pad", str(pad)] if pad else [])
    subprocess.run(args, env=e2e.ENV, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=120)
    return target


def peak_kib(tag):
    """VmHWM of the Linux process that runs this program start."""
    for status in Path("/proc").glob("[0-9]*/cmdline"):
        try:
            if tag.encode() in status.read_bytes():
                text = (status.parent / "status").read_text()
                m = re.search(r"^VmHWM:\s+(\d+) kB", text, re.M)
                if m:
                    return int(m.group(1))
        except OSError:
            continue
    raise SystemExit(f"no process for {tag}")


def preview_peak(path, work):
    url = f"{e2e.WEB}/files/bench/{path.name}"
    program = e2e.Program(work, f"orvo:cmd=viewf&filename={url}")
    ui = e2e.UiDriver(work)
    ui.follow(program)
    try:
        ui("find", "--class", "Tfrm_Priview", "--visible", timeout_ms=120000)
        e2e.wait_until(lambda: ui("control", "--class", "Tfrm_Priview", "Label_Zoom")["control"]["text"] == "100%",
                       60, step=0.2, message="the loaded preview")
        time.sleep(1)
        peak = peak_kib(program.tag)
        ui("close", "--class", "Tfrm_Priview")
        program.wait(30)
        return peak
    finally:
        program.kill()


def main():
    size = int(sys.argv[1]) if len(sys.argv) > 1 else 20 * 1024 * 1024
    work = e2e.TEST_ROOT / "bench-view"
    work.mkdir(parents=True, exist_ok=True)
    small = report("small.doc", 0)
    large = report(f"large-{size}.doc", size)
    report_bytes = large.stat().st_size
    base = preview_peak(small, work)
    peak = preview_peak(large, work)
    extra = (peak - base) * 1024
    print(f"report: {report_bytes} bytes")
    print(f"peak working set: {base / 1024:.1f} MiB with a small report, {peak / 1024:.1f} MiB with this one")
    print(f"the report costs {extra / report_bytes:.2f} x its size at the peak")


if __name__ == "__main__":
    main()

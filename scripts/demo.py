"""Opens sample orvo: links the way a web page does and tells what the
programs did. Run through scripts/demo.sh, which builds and starts the
services first."""

import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "e2e"))

import orvo_e2e as e2e  # noqa: E402

DEMO_DIR = REPO / "build" / "demo"
INSTALL_DIR = e2e.TEST_ROOT / "install"
WEB_ROOT = e2e.TEST_ROOT / "web"


def say(text):
    print(f"[demo] {text}", flush=True)


def wine(*args, timeout=60):
    with tempfile.TemporaryFile() as out:
        return subprocess.run(["wine", *map(str, args)], stdout=out, stderr=out, stdin=subprocess.DEVNULL,
                              env=e2e.ENV, timeout=timeout).returncode


def install_programs():
    """Copies the two programs into an installation folder and registers the
    orvo: scheme the way an installer does."""
    INSTALL_DIR.mkdir(parents=True, exist_ok=True)
    for exe in (e2e.BUILD_DIR / "agent" / "Agent.exe", e2e.PROGRAM):
        shutil.copy2(exe, INSTALL_DIR / exe.name)
    folder = e2e.wine_path(INSTALL_DIR)

    def reg(text):
        return text.replace("\\", "\\\\").replace('"', '\\"')

    body = (
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CLASSES_ROOT\\orvo]\r\n"
        '@="URL:orvo Protocol"\r\n"URL Protocol"=""\r\n\r\n'
        "[HKEY_CLASSES_ROOT\\orvo\\DefaultIcon]\r\n"
        f'@="{reg(chr(34) + folder + chr(92) + "orvo_Printer.exe" + chr(34) + ",0")}"\r\n\r\n'
        "[HKEY_CLASSES_ROOT\\orvo\\shell\\open\\command]\r\n"
        f'@="{reg(chr(34) + folder + chr(92) + "Agent.exe" + chr(34) + " " + chr(34) + "%1" + chr(34))}"\r\n'
    )
    reg_file = e2e.TEST_ROOT / "demo-scheme.reg"
    reg_file.write_bytes(("\ufeff" + body).encode("utf-16-le"))
    wine("regedit", "/S", e2e.wine_path(reg_file))
    say(f"installed Agent.exe and orvo_Printer.exe in {INSTALL_DIR} and registered the orvo: scheme")


def sample_report():
    """A Word report on the test web server; a real compound document when
    the Office substitute's document tool is built."""
    WEB_ROOT.mkdir(parents=True, exist_ok=True)
    docgen = next(iter(sorted(e2e.BUILD_DIR.rglob("fake_office_docgen.exe"))), None)
    target = WEB_ROOT / "demo-report.doc"
    if docgen is not None:
        wine(docgen, "doc", e2e.wine_path(target))
    if not target.exists():
        target.write_bytes(b"demo report\r\n")
    return f"{e2e.WEB}/files/{target.name}"


def open_link(link):
    """As a browser does: the shell looks the scheme up and starts Agent."""
    say(f"opening {link[:72]}{'...' if len(link) > 72 else ''}")
    return subprocess.Popen(["wine", "start", link], env=e2e.ENV, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)


def describe_main_window(ui):
    window = ui.main("--visible", timeout_ms=20000)
    controls = ui.main_controls()
    visible = {name: c for name, c in controls.items() if c.get("visible")}
    say(f"main window \"{window['title']}\" shown, client {window['client']['width']}x{window['client']['height']}")
    for name in ("Label_Title", "Label1", "Label3", "btn_Print", "btn_PrintFile"):
        if name in visible:
            say(f"  {name}: {visible[name].get('text', '')}")
    combo = controls.get("FlatComboBox", {}).get("combo")
    if combo:
        say(f"  printers: {', '.join(combo['items'])} (selected: {combo['selected']})")
    return window


def main():
    DEMO_DIR.mkdir(parents=True, exist_ok=True)
    install_programs()
    url = sample_report()
    request = (f"cmd=print&filename={url}&title=%E6%8A%A5%E8%A1%A8&server=http://127.0.0.1:{e2e.WEB_PORT}/upload"
               "&type=0&guid=demo-1&x=0")
    link = e2e.link_for(request)
    if link is None:
        say("no key for this build; using the plain request")
        link = "orvo:" + request
    say(f"request: {request}")

    work = Path(tempfile.mkdtemp(prefix="demo-", dir=str(e2e.TEST_ROOT)))
    ui = e2e.UiDriver(work)
    ui.expect_new_process()
    opener = open_link(link)
    try:
        window = describe_main_window(ui)
        shot = e2e.screenshot(DEMO_DIR / "print-choice.png")
        say(f"screenshot: {shot}")
        ui("close", "--class", e2e.MAIN_CLASS, check=False)
        time.sleep(1)
        say("closed the main window")
    finally:
        opener.wait(timeout=30)
        subprocess.run(["pkill", "-f", "orvo_Printer.exe"], check=False)
        shutil.rmtree(work, ignore_errors=True)
    say("done")


if __name__ == "__main__":
    main()

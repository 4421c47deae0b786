"""The sign and edit demos: sign mode picks a local Word file, shows the seal
strip with the test web server's seals, stamps one, saves and quits Word
(the Office substitute) as a user would, and reads back how many seals the
saved document holds; edit mode opens a served report in Word with revision
tracking and follows it to the end. Run through scripts/demo.sh sign|edit."""

import shutil
import subprocess
import tempfile
import time
from pathlib import Path

import orvo_e2e as e2e
from demo import DESKTOP, desktop_spec, placement, report_upload, ui_driver, upload_records

DEMO_DIR = e2e.REPO / "build" / "demo"
CTL = e2e.BUILD_DIR / "tests" / "fakes" / "office" / "fake_office_ctl.exe"
DOCGEN = e2e.BUILD_DIR / "tests" / "fakes" / "office" / "fake_office_docgen.exe"
SEAL_CLASS = "TfrmWord"
FILE_NAME_BOX = "0x47C"  # the open dialog's file name box (cmb13)


def say(text):
    print(f"[demo] {text}", flush=True)


def wine(*args, timeout=60):
    with tempfile.TemporaryFile() as out:
        return subprocess.run(["wine", *map(str, args)], stdout=out, stderr=out, stdin=subprocess.DEVNULL,
                              env=e2e.ENV, timeout=timeout).returncode


def word(command):
    """Acts in Word (the Office substitute) as its user would; it runs on the demo's desktop."""
    wine(CTL, "--desktop", DESKTOP, command)


def make_document(path, text):
    wine(DOCGEN, e2e.wine_path(path), "--text", text)
    if not path.exists():
        raise SystemExit(f"could not make the sample document {path}")


def seals_in(path):
    return [line for line in path.read_text(encoding="utf-8", errors="replace").splitlines()
            if line.startswith("picture: ")]


def alert_text(ui):
    controls = {c["name"]: c for c in ui("controls", "--class", SEAL_CLASS)["controls"] if c["name"]}
    return controls["Label_Alert"]["text"]


def wait_alert(ui):
    e2e.wait_until(lambda: ui("find", "--class", SEAL_CLASS, "--visible", timeout_ms=0, check=False) and
                   ui("find", "--class", SEAL_CLASS, timeout_ms=0)["window"]["rect"]["width"] == 500,
                   20, step=0.2, message="the alert view")


def run(request, work):
    ui = ui_driver(work)
    program = e2e.Program(work, request, desktop=desktop_spec())
    ui.follow(program)
    return ui, program


def sign(work, seen):
    document = work / "tender.docx"
    make_document(document, "orvo sign demo")
    request = (f"orvo:cmd=signf&filename=none&title=t&server={e2e.WEB}/upload/ok0"
               f"&seals={e2e.WEB}/seals/list&guid=demo-sign&x=0")
    say(f"request: {request}")
    ui, program = run(request, work)
    try:
        dialog = ui("find", "--class", "#32770", "--title", "请选择投标文件进行盖章", "--visible",
                    timeout_ms=30000)["window"]
        say(f"the open dialog \"{dialog['title']}\": {placement(dialog)}")
        say(f"screenshot: {e2e.screenshot(DEMO_DIR / 'sign-open.png')}")
        ui("settext", "--hwnd", dialog["hwnd"], FILE_NAME_BOX, "--text", e2e.wine_path(document))
        ui("press-ok", "--hwnd", dialog["hwnd"])
        say(f"chose {document} in the open dialog")
        strip = ui("find", "--class", SEAL_CLASS, "--visible", timeout_ms=20000)["window"]
        word_window = ui("find", "--class", "OrvoFakeWordApplication", "--visible", timeout_ms=20000)["window"]
        say(f"Word shows the document: {placement(word_window)}")
        grid = e2e.wait_until(lambda: (lambda g: g if g["list"]["count"] > 1 else None)(
            ui("control", "--class", SEAL_CLASS, "DrawGrid1")["control"]), 20, message="the seals")
        say(f"seal strip at {strip['rect']['left']}/{strip['rect']['top']}, "
            f"{strip['rect']['width']}x{strip['rect']['height']}, top-most: {strip['topmost']}; "
            f"{grid['list']['count']} seals listed")
        ui("pick", "--class", SEAL_CLASS, "DrawGrid1", "--index", "1")
        time.sleep(0.5)
        say(f"screenshot: {e2e.screenshot(DEMO_DIR / 'sign-strip.png')}")
        ui("click", "--class", SEAL_CLASS, "FlatSpeedButton1")
        say("selected the second seal and pressed 盖 章")
        time.sleep(1.5)
        say(f"screenshot: {e2e.screenshot(DEMO_DIR / 'sign-stamped.png')}")
        word("save")
        say("saved the document in Word")
        word("quit")
        say("quit Word")
        report_upload(seen)
        wait_alert(ui)
        say(f"the seal window shows: {alert_text(ui)}")
        say(f"screenshot: {e2e.screenshot(DEMO_DIR / 'sign-alert.png')}")
        seals = seals_in(document)
        say(f"the saved document holds {len(seals)} seal(s):")
        for line in seals:
            say(f"  {line}")
        ui("click", "--class", SEAL_CLASS, "Btn_OK")
        say(f"pressed 关 闭; the program ended with code {program.wait(20)}")
    finally:
        program.kill()


def edit(work, seen):
    web = e2e.TEST_ROOT / "web"
    web.mkdir(parents=True, exist_ok=True)
    name = f"edit-demo-{int(time.time())}.docx"
    make_document(web / name, "orvo edit demo")
    request = (f"orvo:cmd=editf&filename={e2e.WEB}/files/{name}&title=t&server={e2e.WEB}/upload/ok0"
               f"&type=1&guid=demo-edit&x=0")
    say(f"request: {request}")
    ui, program = run(request, work)
    try:
        word_window = ui("find", "--class", "OrvoFakeWordApplication", "--visible", timeout_ms=20000)["window"]
        say(f"Word shows the downloaded report ({placement(word_window)}); the seal window stays hidden")
        time.sleep(0.5)
        say(f"screenshot: {e2e.screenshot(DEMO_DIR / 'edit-word.png')}")
        word("edit")
        word("save")
        say("typed a line and saved in Word (revisions are tracked)")
        word("quit")
        say("quit Word")
        report_upload(seen)
        wait_alert(ui)
        say(f"the seal window shows: {alert_text(ui)}")
        say(f"screenshot: {e2e.screenshot(DEMO_DIR / 'edit-alert.png')}")
        ui("click", "--class", SEAL_CLASS, "Btn_OK")
        say(f"pressed 关 闭; the program ended with code {program.wait(20)}")
    finally:
        program.kill()


def main(mode):
    DEMO_DIR.mkdir(parents=True, exist_ok=True)
    work = Path(tempfile.mkdtemp(prefix=f"demo-{mode}-", dir=str(e2e.TEST_ROOT)))
    try:
        (sign if mode == "sign" else edit)(work, len(upload_records()))
    finally:
        shutil.rmtree(work, ignore_errors=True)

"""Opens sample orvo: links the way a web page does and tells what the
programs did. Run through scripts/demo.sh, which builds and starts the
services first. The programs run on a Wine virtual desktop that fills the
X screen, so the screenshots in build/demo/ show what a user of Windows sees:
title bars, frames, maximised windows.

    demo.sh [MODE]    print (default): print a report directly on Printer_B
                      view: a Word report in the preview, then a text report
                            in its associated program under the title bar
                      login: log in with the software USB key
                      sign: stamp a seal into a local Word file
                      edit: open a report for editing in Word"""

import hashlib
import hmac
import json
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "e2e"))

import orvo_e2e as e2e  # noqa: E402
from test_print import PDF_DIR, jobs_titled, set_wine_default_printer  # noqa: E402

DEMO_DIR = REPO / "build" / "demo"
INSTALL_DIR = e2e.TEST_ROOT / "install"
WEB_ROOT = e2e.TEST_ROOT / "web"
DESKTOP = "orvo-demo"
WINE_FONTS = Path("/usr/share/wine/fonts")


def say(text):
    print(f"[demo] {text}", flush=True)


def desktop_spec():
    """explorer's /desktop= value: the demo's desktop, as large as the screen."""
    width, height = e2e.screen_size()
    return f"{DESKTOP},{width}x{height}"


def prepare_desktop():
    """A bare X server has no window manager: nothing draws title bars, and
    "maximised" keeps the restored size. Wine's virtual desktop draws them as
    Windows does; its caption buttons need Wine's Marlett font in the prefix."""
    fonts = Path(e2e.ENV["WINEPREFIX"]) / "drive_c" / "windows" / "Fonts"
    marlett = WINE_FONTS / "marlett.ttf"
    if marlett.exists() and not (fonts / marlett.name).exists():
        fonts.mkdir(parents=True, exist_ok=True)
        shutil.copy2(marlett, fonts / marlett.name)
    say(f"the programs run on Wine's virtual desktop \"{DESKTOP}\" ({desktop_spec().split(',')[1]}, the whole "
        "screen): what the screenshots show is what a user sees")


def ui_driver(work):
    """The UI driver, looking at the demo's desktop."""
    ui = e2e.UiDriver(work)
    ui.desktop = DESKTOP
    return ui


def placement(window):
    """What of a window the screen shows (the desktop's origin is the
    screen's; a maximised window's frame lies beyond the screen's edges)."""
    r = window["rect"]
    width, height = e2e.screen_size()
    left, top = max(r["left"], 0), max(r["top"], 0)
    right, bottom = min(r["right"], width), min(r["bottom"], height)
    state = "maximised" if window["zoomed"] else "minimised" if window["iconic"] else "restored"
    return f"{state}, {max(right - left, 0)}x{max(bottom - top, 0)} on the screen at {left},{top}"


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


def sample_report(name):
    """A Word report (a compound document the Office substitute serves) on
    the test web server."""
    WEB_ROOT.mkdir(parents=True, exist_ok=True)
    docgen = e2e.BUILD_DIR / "tests" / "fakes" / "office" / "fake_office_docgen.exe"
    target = WEB_ROOT / name
    wine(docgen, e2e.wine_path(target), "--name", name, "--text", "orvo demo report")
    if not target.exists():
        raise SystemExit(f"could not make the sample report {target}")
    return f"{e2e.WEB}/files/{target.name}"


def open_link(link, env=None):
    """As the browser does through the scheme's open command: Agent with the
    link as its first argument. (Wine's own URL launcher drops links longer
    than about 260 characters, and enciphered links are longer.) env: variables
    added for this start; the program Agent starts inherits them."""
    say(f"opening {link[:72]}{'...' if len(link) > 72 else ''}")
    # Everything Agent starts runs on the desktop it runs on.
    argv = ["wine", "explorer", f"/desktop={desktop_spec()}", e2e.wine_path(INSTALL_DIR / "Agent.exe"), link]
    return subprocess.Popen(argv, env=dict(e2e.ENV, **(env or {})),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)


def wait_for(process, timeout=30):
    """Waits for a process the demo started; the desktop's own explorer ends
    a moment after the last program on it."""
    try:
        process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        say(f"process {process.pid} still runs after {timeout} s")


def describe_main_window(ui):
    window = ui.main("--visible", "--height", 318, timeout_ms=20000)
    controls = ui.main_controls()
    visible = {name: c for name, c in controls.items() if c.get("visible")}
    say(f"main window \"{window['title']}\" shown: {placement(window)}")
    for name in ("Label_Title", "Label1", "Label3", "btn_Print", "btn_PrintFile"):
        if name in visible:
            say(f"  {name}: {visible[name].get('text', '')}")
    combo = controls.get("FlatComboBox", {}).get("combo")
    if combo:
        say(f"  printers: {', '.join(combo['items'])} (selected: {combo['items'][combo['selected']]})")
    return window


def print_directly(ui, printer, title):
    """As the user: choose a printer, press "直接打印", wait for the job."""
    ui("pick", "--class", e2e.MAIN_CLASS, "FlatComboBox", "--text", printer)
    say(f"chose {printer} and pressed 直接打印")
    ui("click", "--class", e2e.MAIN_CLASS, "btn_PrintFile")
    jobs = e2e.wait_until(lambda: (lambda j: j if j and all(q for _, q in j) else None)(jobs_titled(title)),
                          60, step=0.25, message=f"a print job titled {title}")
    status = ui.main_control("Label1")["text"]
    gauge = ui.main_control("FlatGauge")["progress"]
    say(f"  status line: {status}; progress {gauge['pos']}/{gauge['max']} bytes")
    for number, queue in jobs:
        pdf = next(iter(PDF_DIR.glob(f"{title}*-job_{number}.pdf")), None)
        say(f"  CUPS job {number} printed on {queue}" + (f" (cups-pdf wrote {pdf})" if pdf else ""))


def upload_records():
    """The test web server's records of the documents uploaded to it, oldest
    first (tests/server/endpoints_upload.py)."""
    return [entry["upload"] for entry in e2e.web_journal() if "upload" in entry]


def report_upload(seen=0, timeout=60):
    """Waits for an upload after the first `seen` records and tells what the
    server received: the guid, the MD5 sent in the query, the MD5 of the
    bytes that arrived, and the file name. Returns the record."""
    record = e2e.wait_until(lambda: (upload_records()[seen:] or [None])[0], timeout, step=0.25,
                            message="the upload to reach the server")
    say(f"the server received an upload ({record['version']}, reply mode {record['mode']}):")
    say(f"  guid: {record['fileguid_text']} (as it came: {record['fileguid']})")
    say(f"  MD5 sent in the query:     {record['filemd5']}")
    if record["file_parts"]:
        verdict = "the same" if record["md5_matches"] else "DIFFERENT"
        say(f"  MD5 of the bytes received: {record['received_md5']} ({record['received_size']} bytes, {verdict})")
        say(f"  file name: {record['filename']}")
        say(f"  content type: {record['content_type']}, transfer encoding {record['transfer_encoding']}")
    else:
        say("  no file part arrived")
    return record


def demo_print():
    install_programs()
    set_wine_default_printer("Printer_A")
    title = f"demo-{int(time.time())}.doc"
    url = sample_report(title)
    request = (f"cmd=print&filename={url}&title=%E6%8A%A5%E8%A1%A8&server=http://127.0.0.1:{e2e.WEB_PORT}/upload"
               "&type=0&guid=demo-1&x=0")
    link = e2e.link_for(request)
    if link is None:
        say("no key for this build; using the plain request")
        link = "orvo:" + request
    say(f"request: {request}")

    work = Path(tempfile.mkdtemp(prefix="demo-", dir=str(e2e.TEST_ROOT)))
    ui = ui_driver(work)
    ui.expect_new_process()
    opener = open_link(link)
    try:
        window = describe_main_window(ui)
        shot = e2e.screenshot(DEMO_DIR / "print-choice.png")
        say(f"screenshot: {shot}")
        print_directly(ui, "Printer_B", title)
        shot = e2e.screenshot(DEMO_DIR / "printed.png")
        say(f"screenshot: {shot}")
        ui("close", "--class", e2e.MAIN_CLASS, check=False)
        time.sleep(1)
        say("closed the main window")
    finally:
        wait_for(opener)
        subprocess.run(["pkill", "-f", re.escape(str(INSTALL_DIR)).replace("/", ".") + r".orvo_Printer\.exe"], check=False)
        shutil.rmtree(work, ignore_errors=True)


def demo_login():
    """Logs in with the software USB key against the test web server: the key
    signs the request's token, the user confirms the server, and the server
    checks the digest it receives against its own HMAC-MD5."""
    install_programs()
    # Beside the program, where an installation finds the key vendor's library.
    shutil.copy2(e2e.BUILD_DIR / "tests" / "fakes" / "usbkey" / "FT_ET99_API.dll", INSTALL_DIR / "FT_ET99_API.dll")
    pid, pin, secret = "ET99-DEMO", "1234", "orvo-test-secret"
    token = f"demo-token-{int(time.time())}"
    request = f"cmd=login&pid={pid}&pin={pin}&token={token}&url={e2e.WEB}/login/demo"
    link = e2e.link_for(request) or "orvo:" + request
    say(f"request: {request}")
    say(f"software key: product id {pid}, PIN {pin}, secret {secret!r}")

    work = Path(tempfile.mkdtemp(prefix="demo-", dir=str(e2e.TEST_ROOT)))
    key_journal = work / "key.jsonl"
    ui = ui_driver(work)
    ui.expect_new_process()
    opener = open_link(link, {"ORVO_USBKEY_PID": pid, "ORVO_USBKEY_PIN": pin, "ORVO_USBKEY_SECRET": secret,
                              "ORVO_USBKEY_JOURNAL": str(key_journal)})
    try:
        box = ui("msgbox", "--title", e2e.APP_TITLE, "--visible", timeout_ms=20000)
        say("the program asks: " + box["text"].replace("\n", " / ") + f" ({placement(box['window'])})")
        say(f"screenshot: {e2e.screenshot(DEMO_DIR / 'login-confirm.png')}")
        ui("press-ok", "--hwnd", box["window"]["hwnd"])
        say("pressed OK")
        ended = ui("wait-gone", "--class", e2e.MAIN_CLASS, timeout_ms=20000, check=False) is not None
        say("the program ended" if ended else "the program is still running")
        for call in (json.loads(line) for line in key_journal.read_text().splitlines()):
            details = ", ".join(f"{k}={v}" for k, v in call.items() if k != "call")
            say(f"  key: {call['call']} {details}")
        entries = [e for e in e2e.web_journal() if e["path"] == "/login/demo" and token in (e.get("body") or "")]
        if not entries:
            say("the server received no login")
            return
        entry = entries[-1]
        login = entry["login"]
        mine = hmac.new(secret.encode(), token.encode(), hashlib.md5).hexdigest().upper()
        say(f"the server received: {entry['requestline']}")
        say(f"  body: {entry['body']}")
        say(f"  Digest {login['digest']}; the server's HMAC-MD5 {login['expected']}; this script's {mine}")
        say("  the digest matches" if login["digest_ok"] and login["digest"] == mine else "  the digest DOES NOT match")
    finally:
        wait_for(opener)
        shutil.rmtree(work, ignore_errors=True)


def demo_link(mode, url):
    request = (f"cmd={mode}&filename={url}&title=%E6%8A%A5%E8%A1%A8&server=http://127.0.0.1:{e2e.WEB_PORT}/upload"
               "&type=0&guid=demo-1&x=0")
    link = e2e.link_for(request)
    if link is None:
        say("no key for this build; using the plain request")
        link = "orvo:" + request
    say(f"request: {request}")
    return link


def run_link(link, act):
    """Opens the link, lets act(ui) play the user, and waits for the programs to end."""
    work = Path(tempfile.mkdtemp(prefix="demo-", dir=str(e2e.TEST_ROOT)))
    ui = ui_driver(work)
    ui.expect_new_process()
    opener = open_link(link)
    try:
        act(ui)
    finally:
        wait_for(opener)
        # Only the copy installed for this demo.
        subprocess.run(["pkill", "-f", re.escape(str(INSTALL_DIR)).replace("/", ".") + r".orvo_Printer\.exe"],
                       check=False)
        shutil.rmtree(work, ignore_errors=True)


def program_ended(ui, pid, timeout=15):
    try:
        e2e.wait_until(lambda: not ui("windows", "--pid", pid, timeout_ms=0, scoped=False)["windows"], timeout,
                       step=0.2, message="the program's end")
        return True
    except AssertionError:
        return False


def preview_word_report(ui):
    window = ui("find", "--class", "Tfrm_Priview", "--visible", timeout_ms=30000)["window"]
    zoom = lambda: ui("control", "--class", "Tfrm_Priview", "Label_Zoom")["control"]["text"]
    say(f"preview \"{window['title']}\" shown: {placement(window)}; zoom {zoom()}")
    ui("click", "--class", "Tfrm_Priview", "FlatSpeedButton6")
    e2e.wait_until(lambda: zoom() == "110%", 10, message="110%")
    say(f"pressed 放大: zoom {zoom()}")
    time.sleep(0.5)
    say(f"screenshot: {e2e.screenshot(DEMO_DIR / 'view-preview.png')}")
    ui("close", "--class", "Tfrm_Priview")
    say("closed the preview: " + ("the program ended" if program_ended(ui, window["pid"]) else "the program still runs"))


def associate_text_viewer():
    """A fresh Wine prefix opens ".txt" with nothing; Wine's Notepad shows it."""
    wine("reg", "add", r"HKCR\.txt", "/ve", "/d", "orvo_demo_txtfile", "/f")
    wine("reg", "add", r"HKCR\orvo_demo_txtfile\shell\open\command", "/ve", "/d",
         r'C:\windows\system32\notepad.exe "%1"', "/f")
    say("associated .txt with Wine's Notepad in the Wine prefix")


def view_in_associated_program(ui):
    bar = ui("find", "--class", "TfrmWriteRead_bar", "--visible", timeout_ms=30000)["window"]
    title = ui("control", "--class", "TfrmWriteRead_bar", "lb_FileTitle")["control"]["text"]
    r = bar["rect"]
    say(f"title bar at {r['left']},{r['top']} {r['width']}x{r['height']}, "
        f"{'top-most' if bar['topmost'] else 'not top-most'}, title \"{title}\"")
    viewer = e2e.wait_until(
        lambda: ui("windows", "--class", "Notepad", "--visible", timeout_ms=0, scoped=False)["windows"], 20,
        message="the viewer")[0]
    say(f"viewer \"{viewer['title']}\": {placement(viewer)}")
    shown = [c.get("text", "") for c in ui("controls", "--hwnd", viewer["hwnd"], scoped=False)["controls"]
             if c.get("class", "").lower() == "edit"]
    say(f"  it shows: {' / '.join(t.strip() for t in shown) or '(nothing)'}")
    time.sleep(0.5)
    # The window order has the top-most bar in front, as Windows shows it;
    # Wine's virtual desktop draws another program's newer window over it
    # until the bar is placed again.
    ui("restack", "--class", "TfrmWriteRead_bar")
    say("  Wine drew the viewer over the top-most title bar; placed the bar in front again, as Windows shows it")
    time.sleep(0.5)
    say(f"screenshot: {e2e.screenshot(DEMO_DIR / 'view-viewer.png')}")
    ui("click", "--class", "TfrmWriteRead_bar", "ImgBtn1")
    say("pressed the title bar's button")
    ended = program_ended(ui, bar["pid"])
    viewer_gone = program_ended(ui, viewer["pid"])
    say(f"  the program {'ended' if ended else 'still runs'}; the viewer {'ended' if viewer_gone else 'still runs'}")


def demo_view():
    install_programs()
    title = f"demo-{int(time.time())}.doc"
    run_link(demo_link("viewf", sample_report(title)), preview_word_report)
    associate_text_viewer()
    text = WEB_ROOT / f"demo-{int(time.time())}.txt"
    text.write_text("orvo demo: a plain text report\r\n", encoding="ascii")
    run_link(demo_link("viewf", f"{e2e.WEB}/files/{text.name}"), view_in_associated_program)


def demo_sign_or_edit(mode):
    import demo_seals
    demo_seals.main(mode)


MODES = {"print": demo_print, "login": demo_login, "view": demo_view,
         "sign": lambda: demo_sign_or_edit("sign"), "edit": lambda: demo_sign_or_edit("edit")}


def main():
    mode = sys.argv[1] if len(sys.argv) > 1 else "print"
    if mode not in MODES:
        raise SystemExit(f"usage: demo.sh [{'|'.join(MODES)}]")
    DEMO_DIR.mkdir(parents=True, exist_ok=True)
    prepare_desktop()
    MODES[mode]()
    say("done")


if __name__ == "__main__":
    main()

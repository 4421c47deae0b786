"""Opens sample orvo: links the way a web page does and tells what the
programs did. Run through scripts/demo.sh, which builds and starts the
services first.

    demo.sh [MODE]    print (default): print a report directly on Printer_B
                      login: log in with the software USB key
                      sign: stamp a seal into a local Word file
                      edit: open a report for editing in Word"""

import hashlib
import hmac
import json
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
    return subprocess.Popen(["wine", str(INSTALL_DIR / "Agent.exe"), link], env=dict(e2e.ENV, **(env or {})),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)


def describe_main_window(ui):
    window = ui.main("--visible", "--height", 318, timeout_ms=20000)
    controls = ui.main_controls()
    visible = {name: c for name, c in controls.items() if c.get("visible")}
    say(f"main window \"{window['title']}\" shown, client {window['client']['width']}x{window['client']['height']}")
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
    ui = e2e.UiDriver(work)
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
        opener.wait(timeout=30)
        subprocess.run(["pkill", "-f", r"install.orvo_Printer\.exe"], check=False)
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
    ui = e2e.UiDriver(work)
    ui.expect_new_process()
    opener = open_link(link, {"ORVO_USBKEY_PID": pid, "ORVO_USBKEY_PIN": pin, "ORVO_USBKEY_SECRET": secret,
                              "ORVO_USBKEY_JOURNAL": str(key_journal)})
    try:
        box = ui("msgbox", "--title", e2e.APP_TITLE, "--visible", timeout_ms=20000)
        say("the program asks: " + box["text"].replace("\n", " / "))
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
        opener.wait(timeout=30)
        shutil.rmtree(work, ignore_errors=True)


def demo_sign_or_edit(mode):
    import demo_seals
    demo_seals.main(mode)


MODES = {"print": demo_print, "login": demo_login,
         "sign": lambda: demo_sign_or_edit("sign"), "edit": lambda: demo_sign_or_edit("edit")}


def main():
    mode = sys.argv[1] if len(sys.argv) > 1 else "print"
    if mode not in MODES:
        raise SystemExit(f"usage: demo.sh [{'|'.join(MODES)}]")
    DEMO_DIR.mkdir(parents=True, exist_ok=True)
    MODES[mode]()
    say("done")


if __name__ == "__main__":
    main()

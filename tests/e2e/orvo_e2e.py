"""End-to-end test framework: runs the real orvo_Printer under Wine + Xvfb and
drives it from outside with uidriver.exe and xdotool.

Settings (environment):
  ORVO_BUILD_DIR   the Windows build to test (default build/win under the repo)
  ORVO_KEY_FILE    the request key of that build (default build/test-key.env)
  ORVO_LINK_TOOL   the link builder (default build/host/tools/orvo-link)

tests/harness/start-services.sh must have run (Xvfb, warm wineserver, CUPS,
test web server). Every wait here is bounded; nothing sleeps longer than the
polling step.
"""

import json
import os
import re
import signal
import subprocess
import tempfile
import time
import unittest
import urllib.request
import uuid
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
HARNESS = REPO / "tests" / "harness"

MAIN_CLASS = "TfrmMain"
MAIN_TITLE = "orvoPrinter"
SHADOW_CLASS = "TDropShadow"
APP_TITLE = "orvo_Printer"
# The last lines of a message box that ends a run: they name the day's log file.
LOG_HINT = "\n\n如需帮助，请把日志文件发给技术支持：\n"


def _harness_environment():
    """The variables tests/harness/env.sh sets, on top of ours."""
    out = subprocess.run(
        ["bash", "-c", f'. "{HARNESS}/env.sh" >/dev/null 2>&1; env -0'],
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True, timeout=30,
    ).stdout
    env = dict(os.environ)
    for item in out.split(b"\0"):
        if b"=" in item:
            k, v = item.split(b"=", 1)
            env[k.decode()] = v.decode(errors="replace")
    return env


ENV = _harness_environment()


def _setting(name, default):
    """A path from the environment; relative ones are taken from the repository root."""
    return (REPO / os.environ.get(name, default)).resolve()


BUILD_DIR = _setting("ORVO_BUILD_DIR", os.environ.get("ORVO_WIN_BUILD", "build/win"))
KEY_FILE = _setting("ORVO_KEY_FILE", "build/test-key.env")
LINK_TOOL = _setting("ORVO_LINK_TOOL", "build/host/tools/orvo-link")
PROGRAM = BUILD_DIR / "printer" / "orvo_Printer.exe"
UIDRIVER = BUILD_DIR / "tests" / "uidriver.exe"
WEB_PORT = int(ENV.get("ORVO_WEB_PORT", "18080"))
WEB = f"http://127.0.0.1:{WEB_PORT}"
WEB_TLS_PORT = int(ENV.get("ORVO_WEB_TLS_PORT", "18443"))
# The TLS port by the name on its certificates (Wine's name check never
# passes an IP address).
SECURE_WEB = f"https://localhost:{WEB_TLS_PORT}"
TEST_ROOT = Path(ENV.get("ORVO_TEST_ROOT", "/tmp/orvo-test"))


# The machine's list of trusted servers. The harness trusts the test web
# server there; a test that points a link elsewhere trusts that server too.
MACHINE_SERVERS = r"HKLM\Software\Policies\orvo\TrustedServers"


def wine_reg(*args):
    """Runs Wine's reg.exe (the 64-bit one of the test prefix); answers its exit code."""
    with tempfile.TemporaryFile() as out:
        return subprocess.run(["wine", "reg", *map(str, args)], stdout=out, stderr=out, stdin=subprocess.DEVNULL,
                              env=ENV, timeout=60).returncode


def wine_path(path):
    """A Unix path as Wine's Z: drive sees it."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def prefix_path(windows_path):
    """Where a C:\\ path of the current Wine prefix is on this side."""
    drive, _, rest = windows_path.partition(":\\")
    assert drive.upper() == "C", windows_path
    return Path(ENV["WINEPREFIX"]) / "drive_c" / Path(*rest.split("\\"))


def helpdesk_log_folder():
    """%LOCALAPPDATA%\\orvo\\logs of the current prefix, or None."""
    found = sorted(Path(ENV["WINEPREFIX"]).glob("drive_c/users/*/AppData/Local/orvo/logs"))
    return found[0] if found else None


def helpdesk_log_text(path=None):
    """A helpdesk log file (the newest of the current prefix by default) as text; "" when there is none."""
    if path is None:
        folder = helpdesk_log_folder()
        files = sorted(folder.glob("orvo-*.log")) if folder and folder.is_dir() else []
        path = files[-1] if files else None
    return Path(path).read_bytes().decode("utf-8-sig") if path and Path(path).is_file() else ""


class UiDriverError(AssertionError):
    pass


class UiDriver:
    """Runs uidriver.exe once per call; answers its parsed JSON result."""

    def __init__(self, workdir):
        self.workdir = Path(workdir)
        self.calls = 0
        # Selection added to every call: which process's windows the test
        # looks at, so that other programs on the same display never answer.
        self.scope = []
        # The desktop whose windows it looks at: None for the default one, or
        # the name of a Wine virtual desktop the programs run on.
        self.desktop = None

    def __call__(self, command, *args, timeout_ms=5000, check=True, scoped=True):
        self.calls += 1
        out = self.workdir / f"uidriver-{self.calls}.json"
        log = self.workdir / f"uidriver-{self.calls}.log"
        argv = ["wine", str(UIDRIVER), "--out", wine_path(out), command, "--timeout", str(timeout_ms)]
        argv += [str(a) for a in args] + (self.scope if scoped else [])
        argv += ["--desktop", self.desktop] if self.desktop else []
        with open(log, "wb") as sink:
            proc = subprocess.run(argv, stdout=sink, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                  env=ENV, timeout=timeout_ms / 1000 + 20)
        try:
            answer = json.loads(out.read_text(encoding="utf-8"))
        except (OSError, ValueError):
            raise UiDriverError(f"uidriver {command} {args} wrote nothing (exit {proc.returncode}): "
                                f"{log.read_text(errors='replace')[-2000:]}")
        if not answer.get("ok"):
            if check:
                raise UiDriverError(f"uidriver {command} {args}: {answer.get('error')}")
            return None
        result = answer["result"]
        if command in ("msgbox", "press-ok") and LOG_HINT in result.get("text", ""):
            # A box's own text, and apart from it the log file it names.
            result["text"], result["log_file"] = result["text"].split(LOG_HINT, 1)
        return result

    # -- conveniences for the main window
    def main(self, *criteria, timeout_ms=5000, check=True):
        """The main window; once found, later calls look at its process only."""
        r = self("find", "--class", MAIN_CLASS, *criteria, timeout_ms=timeout_ms, check=check)
        if not r:
            return None
        self.scope = ["--pid", str(r["window"]["pid"])]
        return r["window"]

    def follow(self, program):
        """Later calls look at the windows of this run only."""
        if program.tag:
            self.scope = ["--cmdline-has", program.tag]

    def expect_new_process(self):
        """Before a start: every process that has windows now is someone else's."""
        pids = sorted({w["pid"] for w in self("windows", timeout_ms=0, scoped=False)["windows"]})
        self.scope = ["--exclude-pids", ",".join(map(str, pids))] if pids else []

    def main_control(self, name):
        return self("control", "--class", MAIN_CLASS, name)["control"]

    def main_controls(self):
        r = self("controls", "--class", MAIN_CLASS)
        return {c["name"]: c for c in r["controls"] if c["name"]}

    def windows_of(self, pid):
        return self("windows", "--pid", pid, timeout_ms=0)["windows"]


class Program:
    """One run of orvo_Printer.exe under Wine, in a process group of its own so
    that it and anything it starts can be ended together.

    A run with a request also gets a second, unique argument (the program
    reads only the first): the UI driver finds this run's windows by it, even
    when other programs share the display."""

    def __init__(self, workdir, request=None, exe=PROGRAM, env=None, desktop=None):
        """env: variables added to the harness environment for this run only.
        desktop: "NAME,WIDTHxHEIGHT" runs it on that Wine virtual desktop,
        where windows get title bars and can be maximised as on Windows."""
        self.log_path = Path(workdir) / f"program-{int(time.time() * 1000)}.log"
        self.tag = None if request is None else f"--e2e-run={uuid.uuid4().hex}"
        launcher = ["wine", str(exe)] if desktop is None else ["wine", "explorer", f"/desktop={desktop}", wine_path(exe)]
        argv = launcher + ([] if request is None else [request, self.tag])
        self.started_at = time.time()
        self._log = open(self.log_path, "wb")
        self.proc = subprocess.Popen(argv, stdout=self._log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                     env=dict(ENV, **(env or {})), cwd=str(workdir), start_new_session=True)

    def wait(self, timeout):
        """The exit code, or None if it is still running after timeout seconds."""
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def running(self):
        return self.proc.poll() is None

    def kill(self):
        if self.proc.poll() is None:
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        self._log.close()


def screenshot(path):
    """The whole Xvfb screen as a PNG."""
    subprocess.run(["import", "-window", "root", str(path)], env=ENV, check=True, timeout=30,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return Path(path)


def screen_size():
    out = subprocess.run(["xdpyinfo"], env=ENV, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                         timeout=10, check=True).stdout.decode()
    m = re.search(r"dimensions:\s+(\d+)x(\d+)", out)
    return int(m.group(1)), int(m.group(2))


def xdotool(*args, timeout=20):
    return subprocess.run(["xdotool", *[str(a) for a in args]], env=ENV, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=timeout).stdout.decode()


def x_stacking():
    """The X server's top-level windows, top-most first, as
    (X id, title, geometry (width, height, left, top)) tuples."""
    out = subprocess.run(["xwininfo", "-root", "-children"], env=ENV, stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, timeout=20).stdout.decode(errors="replace")
    found = []
    for line in out.splitlines():
        m = re.match(r'\s+(0x[0-9a-f]+) (?:"(.*?)"|\(has no name\)):.*?\s(\d+)x(\d+)\+(-?\d+)\+(-?\d+)\s', line)
        if m:
            found.append((m.group(1), m.group(2) or "", tuple(int(m.group(i)) for i in range(3, 7))))
    return found


def cups_printers():
    """The CUPS queues and the default one, as Wine lists them."""
    env = dict(ENV, LANG="C", LC_ALL="C")
    names = subprocess.run(["lpstat", "-e"], env=env, stdout=subprocess.PIPE, timeout=20).stdout.decode().split()
    default = subprocess.run(["lpstat", "-d"], env=env, stdout=subprocess.PIPE, timeout=20).stdout.decode()
    m = re.search(r"destination:\s*(\S+)", default)
    return names, (m.group(1) if m else None)


def web_journal():
    """What the test web server has received since its last reset."""
    with urllib.request.urlopen(WEB + "/_journal", timeout=10) as r:
        return json.loads(r.read().decode("utf-8"))


def reset_web_journal():
    req = urllib.request.Request(WEB + "/_reset", data=b"", method="POST")
    with urllib.request.urlopen(req, timeout=10):
        pass


def serve_certificate(name):
    """The certificate the TLS port gives new connections: "localhost" (the
    good one, back after every journal reset), "selfsigned" or "otherhost"."""
    req = urllib.request.Request(f"{WEB}/_tls?cert={name}", data=b"", method="POST")
    with urllib.request.urlopen(req, timeout=10):
        pass


def _build_key():
    cache = BUILD_DIR / "CMakeCache.txt"
    if not cache.exists():
        return None
    m = re.search(r"^ORVO_RSA_MODULUS:\w+=(\S+)$", cache.read_text(errors="replace"), re.M)
    return m.group(1) if m else None


def link_for(text):
    """An orvo: link that enciphers text with the tested build's key; None
    when the link builder or the key file is missing (a build keyed with
    another key fails instead)."""
    if not (LINK_TOOL.exists() and KEY_FILE.exists()):
        return None
    m = re.search(r"^ORVO_RSA_MODULUS=(\S+)$", KEY_FILE.read_text(), re.M)
    if not m:
        return None
    if m.group(1) != _build_key():
        # A key file beside a build keyed otherwise is a broken set-up, not a
        # reason to leave decoding untested.
        raise AssertionError(f"{BUILD_DIR} is not keyed with {KEY_FILE}; run scripts/configure.sh")
    out = subprocess.run([str(LINK_TOOL), "link", "--key", str(KEY_FILE), "--from-utf8", text],
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30, check=True)
    return out.stdout.decode().strip()


def wait_until(predicate, timeout, step=0.05, message="condition"):
    """Polls predicate until it returns a true value; fails after timeout seconds."""
    deadline = time.time() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.time() >= deadline:
            raise AssertionError(f"timed out after {timeout}s waiting for {message}")
        time.sleep(step)


def make_prefix(kind):
    """An extra Wine prefix under the test root, made once and kept
    (tests/harness/make-prefix.sh): "wps" or "none". Its path."""
    out = subprocess.run(["bash", str(HARNESS / "make-prefix.sh"), kind, str(BUILD_DIR)], env=ENV,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, timeout=600)
    text = out.stdout.decode(errors="replace").strip()
    if out.returncode != 0 or not text:
        raise AssertionError(f"make-prefix.sh {kind} failed: {text[-2000:]}")
    return text.splitlines()[-1]


class InOtherPrefix:
    """Mixin for a test class that runs everything (the program, the UI
    driver, every wine call) in the extra prefix named by PREFIX_KIND, as on
    another PC; the main prefix is back once the class is done."""

    PREFIX_KIND = None

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls._main_prefix = ENV["WINEPREFIX"]
        ENV["WINEPREFIX"] = make_prefix(cls.PREFIX_KIND)

    @classmethod
    def tearDownClass(cls):
        ENV["WINEPREFIX"] = cls._main_prefix
        super().tearDownClass()


class OrvoTestCase(unittest.TestCase):
    """Gives each test a scratch folder, a UI driver and program starts that
    are always ended afterwards."""

    @classmethod
    def setUpClass(cls):
        missing = [p for p in (PROGRAM, UIDRIVER) if not p.exists()]
        if missing:
            raise unittest.SkipTest(f"not built: {', '.join(map(str, missing))}")
        if subprocess.run(["xdpyinfo"], env=ENV, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=10).returncode != 0:
            raise unittest.SkipTest("no X display; run tests/harness/start-services.sh")

    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory(prefix="orvo-e2e-", dir=str(TEST_ROOT))
        self.workdir = Path(self._tmp.name)
        self.ui = UiDriver(self.workdir)
        self.programs = []

    def tearDown(self):
        outcome = getattr(self, "_outcome", None)
        if outcome is not None and not outcome.success:
            # The screen as the failure left it, for whoever reads the report.
            try:
                shot = screenshot(TEST_ROOT / f"failed-{self.id()}.png")
                print(f"\n[screenshot of the failure: {shot}]")
            except Exception:
                pass
        for p in self.programs:
            p.kill()
        self._tmp.cleanup()

    def trust_server(self, origin):
        """Puts origin on the machine's list of trusted servers for this test."""
        self.assertEqual(wine_reg("add", MACHINE_SERVERS, "/v", origin, "/t", "REG_SZ", "/d", "", "/f"), 0)
        self.addCleanup(wine_reg, "delete", MACHINE_SERVERS, "/v", origin, "/f")

    def start(self, request=None, exe=PROGRAM, env=None):
        self.ui.expect_new_process()
        p = Program(self.workdir, request, exe, env)
        self.ui.follow(p)
        self.programs.append(p)
        return p

    def assertEnds(self, program, timeout=10, code=0):
        rc = program.wait(timeout)
        self.assertIsNotNone(rc, f"the program still runs after {timeout}s")
        if code is not None:
            self.assertEqual(rc, code)

"""Agent, end to end under Wine: the hand-over to a new or a running orvo_Printer.

A stand-in orvo_Printer.exe (tests/agent/agent_probe.cpp) records what it is
started with and every WM_COPYDATA it receives, so the tests see exactly what
Agent hands over. The last test uses the real program.
"""
import os
import pathlib
import re
import subprocess
import tempfile
import time
import unittest

REPO = pathlib.Path(__file__).resolve().parents[2]
BUILD = pathlib.Path(os.environ.get("ORVO_BUILD_DIR", REPO / os.environ.get("ORVO_WIN_BUILD", "build/win"))).resolve()
ROOT = pathlib.Path(os.environ.get("ORVO_TEST_ROOT", "/tmp/orvo-test"))
AGENT = BUILD / "agent" / "Agent.exe"
PROBE_DIR = BUILD / "tests" / "agent-probe"
REAL_DIR = BUILD / "printer"


def wine_env(extra=None):
    env = dict(os.environ)
    env.setdefault("WINEPREFIX", str(ROOT / "wineprefix"))
    env.setdefault("WINEDEBUG", "-all")
    env.setdefault("DISPLAY", ":97")
    env["LANG"] = env["LC_ALL"] = "zh_CN.UTF-8"
    env.update(extra or {})
    return env


def win_path(path):
    return "Z:" + str(path).replace("/", "\\")


def run_wine(args, env=None, timeout=30):
    with tempfile.TemporaryFile() as out:
        proc = subprocess.run(["wine", *args], stdout=out, stderr=out, stdin=subprocess.DEVNULL,
                              env=wine_env(env), timeout=timeout)
    return proc.returncode


def set_icon_value(value):
    """Writes HKCR\\orvo\\DefaultIcon (None removes the key) through a .reg file."""
    reg = ROOT / "agent-test.reg"
    if value is None:
        body = "[-HKEY_CLASSES_ROOT\\orvo]\r\n"
    else:
        escaped = value.replace("\\", "\\\\").replace('"', '\\"')
        body = f'[HKEY_CLASSES_ROOT\\orvo\\DefaultIcon]\r\n@="{escaped}"\r\n'
    reg.write_bytes(("\ufeffWindows Registry Editor Version 5.00\r\n\r\n" + body).encode("utf-16-le"))
    assert run_wine(["regedit", "/S", win_path(reg)]) == 0


def wait_for(predicate, timeout=10.0, interval=0.05):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        result = predicate()
        if result:
            return result
        time.sleep(interval)
    return predicate()


def gbk_hex(text):
    return text.encode("gbk").hex().upper()


class AgentHandOver(unittest.TestCase):
    def setUp(self):
        self.log = pathlib.Path(tempfile.mkstemp(prefix="agent-probe-", suffix=".log", dir=ROOT)[1])
        self.log.write_text("")
        self.stay = None

    def tearDown(self):
        if self.stay:
            self.stay.kill()
            self.stay.wait()
        # Only this build's processes: other runs on the machine keep theirs.
        subprocess.run(["pkill", "-f", re.escape(str(BUILD)).replace("/", ".") + r".*agent-probe.orvo_Printer\.exe"], check=False)
        self.log.unlink(missing_ok=True)
        set_icon_value(None)

    def lines(self):
        return [l for l in self.log.read_text().splitlines() if l]

    def run_agent(self, request):
        env = {"ORVO_AGENT_PROBE_LOG": win_path(self.log)}
        return run_wine([str(AGENT), request], env=env)

    def start_running_probe(self):
        env = wine_env({"ORVO_AGENT_PROBE_LOG": win_path(self.log), "ORVO_AGENT_PROBE_STAY": "1"})
        self.stay = subprocess.Popen(["wine", str(PROBE_DIR / "orvo_Printer.exe")], env=env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        self.assertTrue(wait_for(lambda: "window" in self.lines()), "probe window did not appear")
        self.log.write_text("")

    def test_starts_program_from_icon_folder_with_request_unquoted(self):
        set_icon_value(f'"{win_path(PROBE_DIR / "orvo.ico")}",0')
        self.assertEqual(self.run_agent("orvo:cmd=print&filename=http://h/r.doc"), 0)
        started = wait_for(lambda: [l for l in self.lines() if l.startswith("started")])
        self.assertEqual(started, ["started argc=2 arg1=" + gbk_hex("orvo:cmd=print&filename=http://h/r.doc")])

    def test_blank_in_request_cuts_the_programs_first_argument(self):
        # No quotes are added on the way to the program.
        set_icon_value(f'"{win_path(PROBE_DIR / "orvo.ico")}"')
        self.assertEqual(self.run_agent("orvo:a b"), 0)
        started = wait_for(lambda: [l for l in self.lines() if l.startswith("started")])
        self.assertEqual(started, ["started argc=3 arg1=" + gbk_hex("orvo:a")])

    def test_unquoted_registry_value_still_finds_the_program(self):
        set_icon_value(win_path(PROBE_DIR / "orvo.ico"))
        self.assertEqual(self.run_agent("orvo:x"), 0)
        self.assertTrue(wait_for(lambda: any(l.startswith("started") for l in self.lines())))

    def test_running_instance_receives_request_with_nul_and_nothing_starts(self):
        set_icon_value(f'"{win_path(PROBE_DIR / "orvo.ico")}",0')
        self.start_running_probe()
        request = "orvo:报表&filename=x"
        self.assertEqual(self.run_agent(request), 0)
        data = gbk_hex(request)
        expected = f"copydata dwData=0 cbData={len(data) // 2 + 1} bytes={data}00"
        self.assertEqual(wait_for(lambda: [l for l in self.lines() if l.startswith("copydata")]), [expected])
        time.sleep(0.5)
        self.assertFalse([l for l in self.lines() if l.startswith("started")], "a second instance was started")

    def test_no_registry_key_starts_nothing_and_exits_zero(self):
        set_icon_value(None)
        self.assertEqual(self.run_agent("orvo:x"), 0)
        time.sleep(0.5)
        self.assertEqual(self.lines(), [])



class AgentWithRealProgram(unittest.TestCase):
    """Agent and the real orvo_Printer: the first link starts it, a second one
    is handed to it and dropped."""

    def setUp(self):
        import orvo_e2e
        self.e2e = orvo_e2e
        if not orvo_e2e.PROGRAM.exists() or not orvo_e2e.UIDRIVER.exists():
            self.skipTest("orvo_Printer or uidriver not built")
        self.work = pathlib.Path(tempfile.mkdtemp(prefix="agent-real-", dir=ROOT))
        self.ui = orvo_e2e.UiDriver(self.work)

    def tearDown(self):
        subprocess.run(["pkill", "-f", re.escape(str(BUILD)).replace("/", ".") + r".*printer.orvo_Printer\.exe"], check=False)
        set_icon_value(None)
        subprocess.run(["rm", "-rf", str(self.work)], check=False)

    def main_windows(self):
        windows = self.ui("windows", timeout_ms=0, scoped=False)["windows"]
        return [w for w in windows if w["class"] == self.e2e.MAIN_CLASS]

    def test_second_link_goes_to_the_running_program(self):
        set_icon_value(f'"{win_path(REAL_DIR / "orvo_Printer.exe")}",0')
        self.ui.expect_new_process()
        first = f"orvo:cmd=print&filename={self.e2e.WEB}/files/first.doc"
        self.assertEqual(run_wine([str(AGENT), first]), 0)
        window = self.ui.main("--visible", "--height", 318, timeout_ms=15000)

        second = f"orvo:cmd=viewf&filename={self.e2e.WEB}/files/second.doc"
        self.assertEqual(run_wine([str(AGENT), second]), 0)
        time.sleep(1.0)
        mains = self.main_windows()
        self.assertEqual([w["pid"] for w in mains], [window["pid"]], "exactly the first instance runs")
        # The running instance goes on with its own request: still the print choice.
        self.assertEqual(mains[0]["client"]["height"], 318)


if __name__ == "__main__":
    unittest.main()

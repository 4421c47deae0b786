"""The report download seen from outside: status texts, the progress bar, one
fetch per run, what failures leave behind, the time-stamped copy, and a
window that stays alive while the transfer runs.

The web server's journal and the temporary folder are shared with whatever
else runs on this display, so every test names its reports with a token of
its own and looks only for that token."""

import getpass
import os
import re
import time
import unittest
from datetime import datetime
from pathlib import Path

from orvo_e2e import APP_TITLE, ENV, MAIN_CLASS, WEB, OrvoTestCase, screenshot, wait_until, web_journal

EXPANDED = 318
COMPACT = 80

WAITING = "等待打印..."
GENERATING = "正在生成报表..."
FAILED = "下载报表文件失败，请重试..."
READY = "下载报表文件完成，请打印..."
PRINTING = "正在打印..."
PREVIEWING = "正在预览..."
TITLE = "orvo 报表打印系统"
READ_FAILED = "正在读取文件失败，请重试..."

# A loopback port where nothing listens: the connection is refused at once.
DEAD_PORT = 18099


def generated(size):
    """The body the test server's /gen/<size>/... sends."""
    return bytes(((i % 251) + 13 * (i // 251)) & 0xFF for i in range(size))


def temp_folder():
    """The program's temporary folder (Wine takes it from the registry, not from TEMP)."""
    return Path(ENV["WINEPREFIX"]) / "drive_c" / "users" / getpass.getuser() / "Temp"


class FlowTestCase(OrvoTestCase):
    """Starts the program on a report and reads its status line."""

    def token(self, stem="r"):
        return f"{stem}{os.getpid()}x{time.time_ns() % 10**12}"

    def start_on(self, url, mode="print", height=EXPANDED, env=None):
        program = self.start(f"orvo:cmd={mode}&filename={url}", env=env)
        window = self.ui.main("--visible", "--height", height, timeout_ms=10000)
        return program, window

    def control(self, name):
        return self.ui.main_control(name)

    def label(self):
        return self.control("Label1")["text"]

    def wait_label(self, text, timeout=10):
        return wait_until(lambda: self.label() == text, timeout, step=0.1, message=f"Label1 = {text}")

    def click(self, name):
        self.ui("click", "--class", MAIN_CLASS, name)

    def box(self, pid, timeout_ms=300):
        return self.ui("msgbox", "--pid", pid, "--visible", timeout_ms=timeout_ms, check=False)

    def requests_for(self, token):
        return [e for e in web_journal() if e["method"] == "GET" and token in e["path"] + "?" + e["query"]]

    def stamped_copies(self, extension):
        pattern = re.compile(r"^\d{17}" + re.escape(extension) + "$")
        folder = temp_folder()
        return sorted(p for p in folder.iterdir() if pattern.match(p.name)) if folder.is_dir() else []


# Each breaks the transfer its own way; the token lands in the request.
# (One query item only: "&" would end the file address in the request.)
FAILURES = {
    "redirect": WEB + "/redirect?to=/gen/64/{token}{ext}",
    "404": WEB + "/gen/64/{token}{ext}?status=404",
    "500": WEB + "/gen/64/{token}{ext}?status=500",
    "reset mid-body": WEB + "/gen/600000/{token}{ext}?reset_after=300000",
    "wrong length": WEB + "/gen/5000/{token}{ext}?short_by=100",
    "no server": f"http://127.0.0.1:{DEAD_PORT}/" + "{token}{ext}",
}


class DownloadFailureTest(FlowTestCase):
    def setUp(self):
        super().setUp()
        # Trusted, so that the refused connection is what the tests meet.
        self.trust_server(f"http://127.0.0.1:{DEAD_PORT}")

    def test_print_buttons_show_the_failure_and_fetch_again_next_time(self):
        for kind, pattern in FAILURES.items():
            with self.subTest(failure=kind):
                token = self.token()
                program, window = self.start_on(pattern.format(token=token, ext=".doc"))
                self.click("btn_PrintFile")
                self.wait_label(FAILED)
                self.assertEqual(self.control("Label_Title")["text"], TITLE)
                self.assertIsNone(self.box(window["pid"]), "download failures show no message box")
                # Nothing was kept: print with set-up goes to the server again.
                self.click("btn_Print")
                if kind != "no server":
                    wait_until(lambda: len(self.requests_for(token)) == 2, 10, message="a second request")
                self.wait_label(FAILED)
                self.assertIsNone(self.box(window["pid"]))
                self.assertTrue(program.running())
                program.kill()

    def test_prepare_report_shows_both_texts_and_writes_nothing(self):
        for kind, pattern in FAILURES.items():
            with self.subTest(failure=kind):
                extension = "." + self.token("e")
                url = pattern.format(token=self.token(), ext=extension)
                program, window = self.start_on(url, mode="editf", height=COMPACT)
                wait_until(lambda: self.control("Label_Title")["text"] == READ_FAILED, 10,
                           message="the title's failure text")
                self.assertEqual(self.label(), FAILED)
                self.assertIsNone(self.box(window["pid"]))
                self.assertEqual(self.stamped_copies(extension), [])
                program.kill()


class DownloadTest(FlowTestCase):
    def test_short_file_addresses_do_nothing(self):
        token = self.token()
        program, window = self.start_on(f"{token[:1]}.doc")  # 5 characters
        for button in ("btn_PrintFile", "btn_Print"):
            self.click(button)
        time.sleep(0.5)
        self.assertEqual(self.label(), WAITING)
        self.assertIsNone(self.box(window["pid"]))
        program.kill()
        # Six characters are tried, and fail as any bad address does.
        self.start_on("ab.doc")
        self.click("btn_PrintFile")
        self.wait_label(FAILED)

    def test_report_is_fetched_once_per_run(self):
        token = self.token()
        size = 3000
        program, window = self.start_on(f"{WEB}/gen/{size}/{token}.txt")
        pid = window["pid"]
        # Not a compound document: each print ends at the print host's load,
        # and the status line says that the print failed, with the box's reason.
        for button in ("btn_PrintFile", "btn_Print", "btn_PrintFile"):
            self.click(button)
            box = wait_until(lambda: self.box(pid, 1000), 10, message="the load's error box")
            self.assertEqual(box["caption"], APP_TITLE)
            self.ui("press-ok", "--hwnd", box["window"]["hwnd"])
            self.assertEqual(self.label(), "打印失败：" + box["text"].rstrip("."))
        requests = self.requests_for(token)
        self.assertEqual(len(requests), 1)
        headers = {k.lower(): v for k, v in requests[0]["headers"]}
        self.assertEqual(headers["accept"], "text/html, */*")
        self.assertEqual(headers["user-agent"], "Mozilla/3.0 (compatible; Indy Library)")
        gauge = self.control("FlatGauge")["progress"]
        self.assertEqual((gauge["pos"], gauge["max"]), (size, size))

    def test_edit_mode_keeps_a_time_stamped_copy(self):
        token = self.token()
        extension = "." + self.token("e")
        size = 5000
        before = datetime.now()
        self.start_on(f"{WEB}/gen/{size}/{token}{extension}", mode="editf", height=COMPACT)
        copies = wait_until(lambda: self.stamped_copies(extension), 10, message="the copy in the temporary folder")
        after = datetime.now()
        self.assertEqual(len(copies), 1)
        wait_until(lambda: copies[0].stat().st_size == size, 5, message="the whole copy")
        self.assertEqual(copies[0].read_bytes(), generated(size))
        stamp = datetime.strptime(copies[0].name[:17] + "000", "%Y%m%d%H%M%S%f")
        self.assertLessEqual(before.replace(microsecond=before.microsecond // 1000 * 1000), stamp)
        self.assertLessEqual(stamp, after)
        self.assertEqual(self.label(), PREVIEWING)
        self.assertEqual(self.control("Label_Title")["text"], "正在加载")


class SlowDownloadTest(FlowTestCase):
    SIZE = 120000
    STEP = 2000  # per 100 ms: six seconds in all

    def slow_url(self, token):
        return f"{WEB}/gen/{self.SIZE}/{token}.txt?trickle={self.STEP}"

    def test_window_answers_and_progress_moves_while_the_report_arrives(self):
        token = self.token()
        program, window = self.start_on(self.slow_url(token))
        self.click("btn_PrintFile")
        wait_until(lambda: 0 < self.control("FlatGauge")["progress"]["pos"], 5, message="the transfer to start")
        self.assertEqual(self.label(), GENERATING)
        self.assertEqual(self.control("FlatGauge")["progress"]["max"], self.SIZE)
        # A second click, and the other button, while the first flow runs: ignored.
        self.click("btn_PrintFile")
        self.click("btn_Print")
        pings = self.ui("ping", "--class", MAIN_CLASS, "FlatGauge", "--count", 12, "--interval", 100,
                        timeout_ms=20000)
        screenshot(Path(ENV["ORVO_TEST_ROOT"]) / "download-in-progress.png")
        self.assertTrue(all(s["answered"] for s in pings["samples"]))
        self.assertLess(pings["max_ms"], 50)
        positions = [s["progress"] for s in pings["samples"]]
        self.assertEqual(positions, sorted(positions))
        self.assertGreaterEqual(len(set(positions)), 4, f"the bar moves: {positions}")

        box = wait_until(lambda: self.box(window["pid"], 1000), 15, message="the end of the first flow")
        gauge = self.control("FlatGauge")["progress"]
        self.assertEqual((gauge["pos"], gauge["max"]), (self.SIZE, self.SIZE))
        self.ui("press-ok", "--hwnd", box["window"]["hwnd"])
        self.assertIsNone(self.box(window["pid"], 1500), "only one flow ran")
        self.assertEqual(len(self.requests_for(token)), 1)
        self.assertTrue(program.running())

    def test_closing_the_window_during_the_download_ends_the_program(self):
        token = self.token()
        program, window = self.start_on(self.slow_url(token))
        self.click("btn_PrintFile")
        wait_until(lambda: 0 < self.control("FlatGauge")["progress"]["pos"], 5, message="the transfer to start")
        self.click("ImgBtn1")
        self.assertEnds(program, timeout=5)
        self.assertEqual(self.ui.windows_of(window["pid"]), [])

    def test_closing_the_window_while_the_server_says_nothing_ends_the_program(self):
        # The server accepts and then stays silent far longer than the test.
        token = self.token()
        program, window = self.start_on(f"{WEB}/gen/64/{token}.doc?delay_ms=60000")
        self.click("btn_PrintFile")
        wait_until(lambda: self.requests_for(token), 5, message="the request to arrive")
        self.click("ImgBtn1")
        self.assertEnds(program, timeout=6)
        self.assertEqual(self.ui.windows_of(window["pid"]), [])


if __name__ == "__main__":
    unittest.main()

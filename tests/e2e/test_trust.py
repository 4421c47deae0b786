"""Servers nobody has trusted: the question before the first contact, the
user's remembered answers, and the machine list an administrator fills.

The reports come from a small server of the test's own on a port of its own,
so that its origin is on no list."""

import http.server
import subprocess
import threading
import unittest

from orvo_e2e import ENV, MACHINE_SERVERS, helpdesk_log_text, prefix_path, screenshot, wait_until, wine_reg
from test_view import ViewTestCase

QUESTION_TITLE = "orvo_Printer 安全提示"
SERVER_LIST = 202
REMEMBER = 204
ALLOW = 205
REFUSE = 2
USER_KEY = r"HKCU\Software\orvo"


class RecordingServer:
    """Serves the files of a folder on 127.0.0.1 and keeps the paths asked for."""

    def __init__(self, folder):
        paths = self.paths = []

        class Handler(http.server.SimpleHTTPRequestHandler):
            def __init__(self, *args, **kwargs):
                super().__init__(*args, directory=str(folder), **kwargs)

            def do_GET(self):
                paths.append(self.path)
                super().do_GET()

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.origin = f"http://127.0.0.1:{self.httpd.server_address[1]}"
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


def user_list(name):
    """The value names of a list under HKCU\\Software\\orvo, or None when it is absent."""
    out = subprocess.run(["wine", "reg", "query", f"{USER_KEY}\\{name}"], stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, timeout=60, env=ENV)
    if out.returncode != 0:
        return None
    return [line.split()[0] for line in out.stdout.decode(errors="replace").splitlines() if "REG_SZ" in line]


class TrustTestCase(ViewTestCase):
    def setUp(self):
        super().setUp()
        self.server = RecordingServer(self.web_dir)
        self.addCleanup(self.server.close)
        wine_reg("delete", USER_KEY, "/f")
        self.addCleanup(wine_reg, "delete", USER_KEY, "/f")

    def question(self, timeout_ms=15000):
        return self.ui("find", "--title", QUESTION_TITLE, "--visible", timeout_ms=timeout_ms)["window"]

    def no_question(self):
        self.assertIsNone(self.ui("find", "--title", QUESTION_TITLE, timeout_ms=0, check=False))

    def question_control(self, control):
        return self.ui("control", "--title", QUESTION_TITLE, control)["control"]

    def answer(self, button):
        self.ui("click", "--title", QUESTION_TITLE, button)


class UnknownServerTest(TrustTestCase):
    def test_refused_then_allowed_and_remembered(self):
        stem = self.token("t")
        self.document(stem + ".doc", "--name", stem)
        url = f"{self.server.origin}/{stem}.doc"

        # The question names the server and what the page wants, before any
        # window of the mode; 拒绝 ends the run without a request.
        program = self.start_viewing(url)
        self.question()
        self.assertEqual(self.question_control(SERVER_LIST)["text"], f"{self.server.origin}    下载报表")
        self.assertFalse(self.question_control(REMEMBER)["checked"])
        screenshot(self.workdir / "question.png")
        self.assertNotIn(self.ui.main()["rect"]["height"], (80, 318), "no layout of a mode yet")
        self.answer(REFUSE)
        self.assertEnds(program, 10)
        self.assertEqual(self.server.paths, [])
        self.assertIsNone(user_list("TrustedServers"))
        self.assertIsNone(user_list("RefusedServers"))
        self.assertFalse(subprocess.run(["pgrep", "-f", stem], stdout=subprocess.PIPE).stdout.split())

        # 允许 with the box ticked: the report arrives and the server is kept.
        program = self.start_viewing(url)
        self.question()
        self.answer(REMEMBER)
        self.assertTrue(self.question_control(REMEMBER)["checked"])
        self.answer(ALLOW)
        self.preview()
        self.assertEqual(self.server.paths, [f"/{stem}.doc"])
        self.assertEqual(user_list("TrustedServers"), [self.server.origin])
        self.assertIsNone(user_list("RefusedServers"))
        self.assertMacrosOffAtEveryOpen()
        program.kill()

        # The next run asks nothing.
        program = self.start_viewing(url)
        self.preview()
        self.no_question()
        self.assertEqual(len(self.server.paths), 2)
        program.kill()

    def test_refused_for_good_ends_after_a_message_naming_the_server(self):
        url = f"{self.server.origin}/{self.token('r')}.doc"
        program = self.start(f"orvo:cmd=print&filename={url}")
        self.question()
        self.answer(REMEMBER)
        self.answer(REFUSE)
        self.assertEnds(program, 10)
        self.assertEqual(user_list("RefusedServers"), [self.server.origin])
        self.assertIsNone(user_list("TrustedServers"))

        program = self.start(f"orvo:cmd=print&filename={url}")
        pid = self.ui.main(timeout_ms=10000)["pid"]
        box = wait_until(lambda: self.box(pid, 1000), 15, message="the message")
        self.assertIn(self.server.origin, box["text"])
        self.no_question()
        self.ui("press-ok", "--hwnd", box["window"]["hwnd"])
        self.assertEnds(program, 10)
        self.assertEqual(self.server.paths, [])
        # The message names the day's log, which tells why the run ended.
        self.assertIn(f"trust: {self.server.origin} was refused before: the run ends",
                      helpdesk_log_text(prefix_path(box["log_file"])))


class MachineListTest(TrustTestCase):
    def test_an_administrators_64_bit_entries_and_patterns_ask_nothing(self):
        # As "reg add" on a 64-bit Windows writes them: a pattern as a value
        # name, and an origin as the text of a numbered policy value.
        for name, data in (("http://*.corp.example:8080", ""), ("7", "https://reports.other.example")):
            self.assertEqual(wine_reg("add", MACHINE_SERVERS, "/v", name, "/t", "REG_SZ", "/d", data, "/f",
                                      "/reg:64"), 0)
            self.addCleanup(wine_reg, "delete", MACHINE_SERVERS, "/v", name, "/f", "/reg:64")
        for url in ("http://a.corp.example:8080/r.doc", "https://REPORTS.other.example:443/r.doc"):
            with self.subTest(url=url):
                program, _ = self.start_on(url)
                self.no_question()
                program.kill()

        # The pattern covers hosts under the name, not the name itself. Sign
        # mode names the seal list's server and the upload's.
        other = "http://corp.example:8080"
        program = self.start(f"orvo:cmd=signf&filename=none&title=t&server={other}/up&seals={other}/seals"
                             f"&guid=g&x=0")
        self.question()
        self.assertEqual(self.question_control(SERVER_LIST)["text"], f"{other}    读取印章列表、上传您的文档")
        self.answer(REFUSE)
        self.assertEnds(program, 10)


if __name__ == "__main__":
    unittest.main()

"""The helpdesk log, seen from outside: one run of each mode with tell-tale
values in the request's query string, guid, token, PIN and payload; then
each run's lines are in the day's log file and none of those values is.
Also: the box that ends a run names the log file, and a log that cannot be
written changes nothing for the user but that the box names no file. (The
boxes of other failures are checked for the file where those failures are
tested: test_trust, test_wps, test_https.)"""

import hashlib
import hmac
import re
import uuid

import orvo_e2e as e2e
import test_login as login
import test_seals as seals
from orvo_e2e import MAIN_CLASS, WEB, helpdesk_log_folder, helpdesk_log_text, link_for, prefix_path, wait_until, \
    wine_path
from test_download import COMPACT, EXPANDED

VERSION = re.search(r"^CMAKE_PROJECT_VERSION:\w+=(.*)$",
                    (e2e.BUILD_DIR / "CMakeCache.txt").read_text(errors="replace"), re.M).group(1)
WEB_ORIGIN = WEB + ("" if re.search(r":\d+$", WEB) else ":80")


def secret(kind):
    return f"{kind}{uuid.uuid4().hex[:12]}"


class HelpdeskLog(seals.SealTestCase):
    def log_text(self):
        return helpdesk_log_text()

    def run_lines(self, since):
        """The lines the runs since this much of the log wrote, without their time stamps."""
        return [re.sub(r"^\S+ \S+ \[\d+\] ", "", line) for line in self.log_text()[since:].splitlines()]

    def wait_log(self, since, line, timeout=20):
        wait_until(lambda: line in self.run_lines(since), timeout, step=0.2, message=f"{line!r} in the log")

    def assertRun(self, since, expected):
        """The run's lines hold these, in this order (others may come between)."""
        lines = self.run_lines(since)
        at = 0
        for line in expected:
            self.assertIn(line, lines[at:], "\n".join(lines))
            at = lines.index(line, at) + 1

    def test_each_mode_logs_its_steps_and_none_of_its_secrets(self):
        secrets = {name: secret(name) for name in ("query", "guid", "token", "title")}
        start = len(self.log_text())

        # Print, through an enciphered payload.
        url = self.document("print.doc")
        plain = (f"cmd=print&filename={url}?q={secrets['query']}.doc&title={secrets['title']}&server={WEB}/upload/x"
                 f"&type=0&guid={secrets['guid']}&x=0")
        link = link_for(plain) or "orvo:" + plain
        secrets["payload"] = link.split("=", 1)[1][:40]
        since = len(self.log_text())
        program = self.start(link)
        self.ui.main("--visible", "--height", EXPANDED, timeout_ms=15000)
        self.ui("click", "--class", MAIN_CLASS, "btn_PrintFile")
        self.wait_log(since, "print: sent to the printer", timeout=30)
        self.ui("close", "--class", MAIN_CLASS)
        self.assertEnds(program)
        self.assertRun(since, [f"orvo_Printer {VERSION} started", "mode: print choice",
                               f"trust: {WEB_ORIGIN} is on a list of trusted servers",
                               "office: documents by Word.Application", f"server report: {WEB_ORIGIN}",
                               "download: ok, " + str((self.web_dir / "print.doc").stat().st_size) + " bytes",
                               "print: sent to the printer", "run ended, exit code 0"])

        # View, of a report the server does not have.
        since = len(self.log_text())
        program = self.start(f"orvo:cmd=viewf&filename={WEB}/files/none-{secrets['query']}.doc?token={secrets['token']}.doc"
                             f"&title=t&server=s&type=0&guid={secrets['guid']}&x=0")
        self.ui.main("--visible", "--height", COMPACT, timeout_ms=15000)
        self.wait_log(since, "download: HTTP status 404")
        self.ui("close", "--class", MAIN_CLASS)
        self.assertEnds(program)
        self.assertRun(since, ["mode: viewf", f"server report: {WEB_ORIGIN}", "download: HTTP status 404",
                               "run ended, exit code 0"])

        # Edit: the report saved in Word goes back to the server, although
        # Word dies after the save; the guid it sends is the test's folder name.
        secrets["folder guid"] = self.folder
        since = len(self.log_text())
        program = self.start_edit("0")
        self.wait_word_open()
        self.assertEqual(self.word("save"), 0)
        local = self.opened_file()
        self.assertEqual(self.word("crash"), 0)
        self.assertUploadConfirmed()
        self.close_alert_and_end(program)
        sent = local.stat().st_size
        lines = self.run_lines(since)
        [progress] = [line for line in lines if re.fullmatch(r"upload: \d+ of \d+ bytes sent", line)]
        body, total = map(int, re.findall(r"\d+", progress))
        self.assertEqual(body, total)  # the whole body went, and it holds the document
        self.assertGreater(body, sent)
        self.assertRun(since, ["mode: editf", f"server report: {WEB_ORIGIN}", "word: document opened",
                               "word: gone without quitting", "word: ended, the document was saved",
                               f"server upload: {WEB_ORIGIN}", progress, "upload: the server answered",
                               "run ended, exit code 0"])

        # Sign: the seal list is read; Word quits with nothing stamped.
        since = len(self.log_text())
        program, _ = self.start_sign()
        self.wait_word_open()
        self.wait_log(since, "seal list: ok, 3 seals")
        self.assertEqual(self.word("quit"), 0)
        wait_until(lambda: self.seal_controls()[0]["rect"]["width"] == 500, 10, message="the alert view")
        self.close_alert_and_end(program)
        self.assertRun(since, ["mode: signf", "word: document opened", f"server seal list: {WEB_ORIGIN}",
                               "word: quit", "word: ended, the document was not saved", "run ended, exit code 0"])

        # Login, with the software key: PIN, token and digest stay out.
        secrets["pin"] = secret("pin")[:10]
        secrets["digest"] = hmac.new(login.SECRET.encode(), secrets["token"].encode(), hashlib.md5).hexdigest().upper()
        since = len(self.log_text())
        env = {"ORVO_USBKEY_PID": login.PID, "ORVO_USBKEY_PIN": secrets["pin"], "ORVO_USBKEY_SECRET": login.SECRET,
               "ORVO_USBKEY_JOURNAL": str(self.workdir / "key.jsonl"), "WINEPATH": wine_path(login.KEY_DIR)}
        program = self.start(f"orvo:cmd=login&pid={login.PID}&pin={secrets['pin']}&token={secrets['token']}"
                             f"&url={WEB}/login/{secrets['query']}", env=env)
        self.ui("press-ok", "--visible", "--title", e2e.APP_TITLE, timeout_ms=15000)
        self.assertEnds(program, timeout=20)
        self.assertRun(since, ["mode: login", "usb key: token signed", f"server login: {WEB_ORIGIN}",
                               "login: posted", "run ended, exit code 0"])

        # A box that ends the run names the day's log file.
        refused = f"orvo:cmd=viewf&filename={WEB}/files/run.exe&title=t&server=s&type=0&guid=g&x=0"
        since = len(self.log_text())
        box = self.refusal_box(refused)
        today = sorted(helpdesk_log_folder().glob("orvo-*.log"))[-1]
        self.assertEqual(prefix_path(box["log_file"]), today)
        self.assertRun(since, ["mode: viewf", "view: refused, the file type could run as a program",
                               "error box, the run ends: no error code", "run ended, exit code 0"])

        log = self.log_text()[start:]
        for name, value in secrets.items():
            self.assertNotIn(value, log, f"the {name} reached the log")
        self.assertNotIn("?", log, "a query string reached the log")

        # A log that cannot be written: the program does the same, and its
        # box names no file.
        folder = helpdesk_log_folder()
        aside = folder.with_name("logs-aside")
        folder.rename(aside)
        try:
            folder.write_text("not a folder")
            self.assertNotIn("log_file", self.refusal_box(refused))
        finally:
            folder.unlink(missing_ok=True)
            aside.rename(folder)

    def refusal_box(self, link):
        """The box that refuses a report of a type that could run, once the run has ended after it."""
        program = self.start(link)
        box = self.ui("msgbox", "--visible", "--title", e2e.APP_TITLE, timeout_ms=15000)
        self.assertEqual(box["text"], "此报表的文件类型可以作为程序运行，为安全起见已拒绝打开.")
        self.ui("press-ok", "--hwnd", box["window"]["hwnd"])
        self.assertEnds(program)
        return box


if __name__ == "__main__":
    import unittest
    unittest.main()

"""Every exchange over https, against the test web server's TLS port: a
certificate from the test CA (in the host's store, which Wine trusts) works
like plain http; a self-signed one, or one for another host, ends the
exchange before anything reaches the server, and the user is told why and
which server. Nothing falls back to http."""

import re

from orvo_e2e import (SECURE_WEB, WEB_TLS_PORT, helpdesk_log_text, link_for, prefix_path, reset_web_journal,
                      serve_certificate, wait_until, web_journal)
from test_download import EXPANDED, PRINTING
from test_login import CANCEL, OK, LoginTestCase, hmac_md5
from test_print import PrintTestCase
from test_seals import SEAL_CLASS, SEAL_LOAD_FAILED, SealTestCase

SERVER = f"localhost:{WEB_TLS_PORT}"
# Under Wine a failed certificate comes back as the general secure-channel
# error, so the general text is the one seen here.
REFUSED = re.compile(rf"^服务器 {re.escape(SERVER)} 的安全证书[^\n]*，连接已取消。$")
UPLOAD_FAILED = "无法连接服务器，请重新上传文件。"
LOGIN_FAILED = "无法连接服务器，请重新登录。"


class HttpsPrintTest(PrintTestCase):
    web = SECURE_WEB

    def setUp(self):
        super().setUp()
        reset_web_journal()
        self.addCleanup(serve_certificate, "localhost")

    def test_a_doc_report_prints_on_printer_b(self):
        stem = self.token("s")
        url = self.document(stem + ".doc", "--name", stem + "-title")
        # Enciphered by the web side's link builder where there is one, as a
        # page would send it.
        request = f"cmd=print&filename={url}&title=t&server=s&type=1&guid=g&x=y"
        link = link_for(request) or "orvo:" + request
        self.start(link, env={"ORVO_FAKE_OFFICE_JOURNAL": str(self.journal_path)})
        self.ui.main("--visible", "--height", EXPANDED, timeout_ms=10000)
        self.choose("Printer_B")
        self.click("btn_PrintFile")
        self.assertEqual(self.wait_jobs(stem + "-title"), ["Printer_B"])
        self.wait_label("已发送到打印机 Printer_B")
        [fetch] = self.requests_for(stem)
        self.assertEqual(fetch["scheme"], "https")

    def test_a_self_signed_certificate_stops_the_download(self):
        serve_certificate("selfsigned")
        stem = self.token("s")
        url = self.document(stem + ".doc", "--name", stem + "-title")
        program, window = self.start_printing(url)
        self.click("btn_PrintFile")
        text = wait_until(lambda: (lambda t: t if REFUSED.match(t) else None)(self.label()), 15,
                          message="the certificate failure in the status line")
        # The status line has room for it: the text is not cut off.
        label = self.control("Label1")
        self.assertLessEqual(label["rect"]["left"] + label["rect"]["width"],
                             window["rect"]["left"] + window["rect"]["width"], text)
        self.assertIsNone(self.box(window["pid"]))
        # A second try meets the same refusal; nothing was loaded or printed.
        self.click("btn_Print")
        self.wait_label(text)
        self.assertEqual(self.journal(), [])
        self.assertEqual(web_journal(), [])
        # Closing the window ends the program: nothing is left waiting.
        self.click("ImgBtn1")
        self.assertEnds(program)


class HttpsSealTest(SealTestCase):
    web = SECURE_WEB

    def setUp(self):
        super().setUp()
        self.addCleanup(serve_certificate, "localhost")

    def test_seals_and_the_upload_after_signing(self):
        program, local = self.start_sign()
        self.strip()
        self.wait_word_open()
        wait_until(lambda: self.ui("control", "--class", SEAL_CLASS, "DrawGrid1")["control"]["list"]["count"] == 3,
                   15, message="three seals")
        self.click("FlatSpeedButton1")
        self.wait_journal("Application.Selection.ShapeRange.ZOrder(4)")
        self.assertEqual(self.word("save"), 0)
        self.assertEqual(self.word("quit"), 0)
        self.assertUploaded(local)  # the digest matches the bytes received
        self.assertUploadConfirmed()
        self.close_alert_and_end(program)
        seen = web_journal()
        self.assertTrue(any(e["path"].startswith("/seals/img/") for e in seen))
        self.assertEqual({e["scheme"] for e in seen}, {"https"})

    def test_a_certificate_for_another_host_stops_seals_and_upload(self):
        serve_certificate("otherhost")
        program, local = self.start_sign()
        box = self.ui("msgbox", "--visible", "--title", "同步错误", timeout_ms=30000)
        first, reason = box["text"].split("\n")
        self.assertEqual(first, SEAL_LOAD_FAILED)
        self.assertRegex(reason, REFUSED)
        self.assertNotIn("log_file", box)  # the run goes on
        self.ui("press-ok", "--hwnd", box["window"]["hwnd"])
        self.strip()
        self.wait_word_open()
        # Saved in Word: the upload meets the same certificate and names the file.
        self.assertEqual(self.word("save"), 0)
        self.assertEqual(self.word("quit"), 0)
        box = self.ui("msgbox", "--visible", "--title", "同步错误", timeout_ms=20000)
        lines = box["text"].split("\n")
        self.assertEqual(lines[0], UPLOAD_FAILED)
        self.assertRegex(lines[1], REFUSED)
        self.assertTrue(lines[2].startswith("文件：") and lines[2].lower().endswith(local.name.lower()), lines)
        self.assertTrue(box["icon"])
        self.ui("press-ok", "--hwnd", box["window"]["hwnd"])
        self.assertEnds(program, timeout=15)
        self.assertEqual(web_journal(), [])
        # The box names the day's log, which holds the failure's code.
        log = helpdesk_log_text(prefix_path(box["log_file"]))
        for step in ("seal list", "upload"):
            self.assertRegex(log, rf"\] {step}: certificate or secure channel refused, error \d+\r?\n")


class HttpsLoginTest(LoginTestCase):
    def setUp(self):
        super().setUp()
        self.addCleanup(serve_certificate, "localhost")

    def login_url(self, query=""):
        return f"{SECURE_WEB}/login/{self.tag}{query}"

    def confirm_and_wait(self, token):
        program = self.start_login(self.request(token))
        box = self.box()
        self.assertEqual(box["text"], f"请点击确定（OK）进行登录\n登录服务器：{SERVER}")
        self.assertEqual([b["id"] for b in box["buttons"]], [OK, CANCEL])
        self.press(box, OK)
        return program

    def test_the_digest_arrives_over_https(self):
        token = "tls-中文"
        program = self.confirm_and_wait(token)
        self.assertEnds(program)
        [entry] = self.logins()
        self.assertEqual(entry["scheme"], "https")
        self.assertEqual(entry["login"]["token"], token)
        self.assertEqual(entry["login"]["digest"], hmac_md5(token))
        self.assertTrue(entry["login"]["digest_ok"])

    def test_a_certificate_for_another_host_sends_nothing(self):
        serve_certificate("otherhost")
        program = self.confirm_and_wait("tok")
        box = wait_until(lambda: (lambda b: b if b["caption"] == "登录错误" else None)(self.box()), 15,
                         message="the login error box")
        first, reason = box["text"].split("\n")
        self.assertEqual(first, LOGIN_FAILED)
        self.assertRegex(reason, REFUSED)
        self.assertTrue(box["icon"])
        self.press(box, OK)
        self.assertEnds(program)
        self.assertEqual(self.logins(), [])

"""The USB-key login seen from outside, with the software key
(tests/fakes/usbkey) and the test web server's login endpoint.

The key library is found through the search path (WINEPATH), as a vendor's
installation puts it there. Every run also finds a copy of it planted in its
current folder, and every run checks by the key's own journal that the copy
on the search path is the one that was loaded, or that none was."""

import hashlib
import hmac
import json
import os
import shutil
import time

from orvo_e2e import APP_TITLE, BUILD_DIR, WEB, WEB_PORT, OrvoTestCase, wait_until, web_journal, wine_path

KEY_DIR = BUILD_DIR / "tests" / "fakes" / "usbkey"
KEY_DLL = KEY_DIR / "FT_ET99_API.dll"
COMPACT = 80

PID, PIN, SECRET = "ET99-TEST", "1234", "orvo-test-secret"
CONFIRM = f"请点击确定（OK）进行登录\n登录服务器：127.0.0.1:{WEB_PORT}"
KEY_CALLS = ["load", "et_FindToken", "et_OpenToken", "et_Verify", "et_HMAC_MD5", "et_CloseToken", "unload"]
OK, CANCEL = 1, 2


def hmac_md5(token):
    return hmac.new(SECRET.encode(), token.encode("gbk"), hashlib.md5).hexdigest().upper()


class LoginTestCase(OrvoTestCase):
    def setUp(self):
        super().setUp()
        if not KEY_DLL.exists():
            self.skipTest(f"not built: {KEY_DLL}")
        self.tag = f"t{os.getpid()}x{time.time_ns() % 10**12}"
        shutil.copy2(KEY_DLL, self.workdir / KEY_DLL.name)  # the plant

    def login_url(self, query=""):
        return f"{WEB}/login/{self.tag}{query}"

    def start_login(self, request, key=True, fail=None):
        self.journal_path = self.workdir / f"key-{time.time_ns()}.jsonl"
        env = {"ORVO_USBKEY_PID": PID, "ORVO_USBKEY_PIN": PIN, "ORVO_USBKEY_SECRET": SECRET,
               "ORVO_USBKEY_JOURNAL": str(self.journal_path)}
        if key:
            env["WINEPATH"] = wine_path(KEY_DIR)
        if fail:
            env["ORVO_USBKEY_FAIL"] = fail
        program = self.start(request, env=env)
        self.pid = self.ui.main("--visible", "--height", COMPACT, timeout_ms=10000)["pid"]
        return program

    def key_calls(self):
        if not self.journal_path.exists():
            return []
        return [json.loads(line) for line in self.journal_path.read_text().splitlines()]

    def assert_key_calls(self, names):
        calls = self.key_calls()
        self.assertEqual([c["call"] for c in calls], names)
        if calls:
            # The copy on the search path, never the one in the current folder,
            # and freed by the program before it ended.
            self.assertEqual(calls[0]["path"].lower(), (wine_path(KEY_DLL)).lower())
            self.assertEqual(calls[-1]["by"], "FreeLibrary")
        return {c["call"]: c for c in calls}

    def box(self):
        return self.ui("msgbox", "--pid", self.pid, "--visible", timeout_ms=10000)

    def assert_plain_box(self, box, text, buttons=(OK,)):
        self.assertEqual(box["text"], text)
        self.assertEqual(box["caption"], APP_TITLE)
        self.assertEqual([b["id"] for b in box["buttons"]], list(buttons))
        self.assertFalse(box["icon"])

    def press(self, box, button):
        self.ui("click", "--hwnd", box["window"]["hwnd"], button, "--command")
        self.ui("wait-gone", "--hwnd", box["window"]["hwnd"], timeout_ms=5000)

    def logins(self):
        return [e for e in web_journal() if self.tag in e["path"]]

    def request(self, token="tok"):
        return f"orvo:cmd=login&pid={PID}&pin={PIN}&token={token}&url={self.login_url()}"


class ConfirmationTest(LoginTestCase):
    def test_names_the_server_and_cancel_sends_nothing(self):
        program = self.start_login(self.request())
        box = self.box()
        self.assert_plain_box(box, CONFIRM, buttons=(OK, CANCEL))
        self.assertEqual([b["text"] for b in box["buttons"]], ["确定", "取消"])
        self.press(box, CANCEL)
        self.assertEnds(program)
        self.assertEqual(self.logins(), [])
        self.assert_key_calls(KEY_CALLS)


class SuccessfulLoginTest(LoginTestCase):
    def test_the_server_gets_the_keys_digest_of_the_token(self):
        token = "Ab+/=%41~中文"
        program = self.start_login(self.request(token))
        box = self.box()
        # The first message is the confirmation, and nothing is sent before it is pressed.
        self.assert_plain_box(box, CONFIRM, buttons=(OK, CANCEL))
        self.assertEqual(self.logins(), [])
        self.press(box, OK)
        self.assertEnds(program)

        [entry] = self.logins()
        login = entry["login"]
        self.assertEqual(login["fields"], ["Digest", "Token"])
        self.assertEqual(login["token"], token)
        self.assertRegex(login["digest"], r"^[0-9A-F]{32}$")
        self.assertEqual(login["digest"], hmac_md5(token))
        self.assertTrue(login["digest_ok"])
        self.assertEqual(entry["body"], f"Digest={login['digest']}&Token=Ab%2B%2F%3D%2541~%E4%B8%AD%E6%96%87")
        self.assertTrue(entry["requestline"].endswith(" HTTP/1.0"), entry["requestline"])
        headers = {k.lower(): v for k, v in entry["headers"]}
        self.assertEqual(headers["content-type"], "application/x-www-form-urlencoded")
        self.assertEqual(headers["accept"], "text/html, */*")
        self.assertEqual(headers["user-agent"], "Mozilla/3.0 (compatible; Indy Library)")
        self.assertNotIn("cookie", headers)

        calls = self.assert_key_calls(KEY_CALLS)
        self.assertEqual(calls["et_FindToken"]["pid"], PID)
        self.assertEqual(calls["et_OpenToken"]["index"], 1)
        self.assertEqual((calls["et_Verify"]["flags"], calls["et_Verify"]["pin"]), (0, PIN))
        self.assertEqual(calls["et_HMAC_MD5"]["key"], 1)
        self.assertEqual(calls["et_HMAC_MD5"]["text"].encode("latin-1"), token.encode("gbk"))

    def test_request_edge_cases(self):
        # "pid" first occurs inside "rapid"; "PIN1 T0K" is split at its blank,
        # which shifts the token into the next item; items without "=" are
        # taken whole.
        request = f"orvo:cmd=login&rapid&{PID}&{PIN} T0K&url={self.login_url()}"
        program = self.start_login(request)
        self.press(self.box(), OK)
        self.assertEnds(program)
        [entry] = self.logins()
        self.assertEqual((entry["login"]["token"], entry["login"]["digest"]), ("T0K", hmac_md5("T0K")))
        self.assertEqual(self.assert_key_calls(KEY_CALLS)["et_Verify"]["pin"], PIN)

    def test_fewer_than_four_values_leave_the_window_open(self):
        program = self.start_login(f"orvo:cmd=login&pid={PID}&pin={PIN}&token=t")
        box = self.box()
        self.assertEqual(box["text"], "List index out of bounds (3)")
        self.assertTrue(box["icon"])
        self.press(box, OK)
        time.sleep(0.5)
        self.assertTrue(program.running())
        self.assertEqual(self.ui.main()["rect"]["height"], COMPACT)
        self.assert_key_calls(["load", "unload"])
        self.ui("click", "--class", "TfrmMain", "ImgBtn1")
        self.assertEnds(program)
        self.assertEqual(self.logins(), [])


class KeyFailureTest(LoginTestCase):
    def test_each_step_shows_its_status_sends_nothing_and_ends(self):
        wrong_pin = f"orvo:cmd=login&pid={PID}&pin=9999&token=t&url={self.login_url()}"
        cases = [
            ("no library", {"key": False}, "未能找到 FT_ET99_API.dll", []),
            ("no key", {"fail": "et_FindToken=10"}, "ERROR: 10\n请插入正确的USB-Key！",
             ["load", "et_FindToken", "unload"]),
            ("open", {"fail": "et_OpenToken=3"}, "ERROR of ET_Open : 3",
             ["load", "et_FindToken", "et_OpenToken", "unload"]),
            ("rejected PIN", {"request": wrong_pin}, "ERROR: F0000005",
             ["load", "et_FindToken", "et_OpenToken", "et_Verify", "et_CloseToken", "unload"]),
        ]
        for name, options, message, calls in cases:
            with self.subTest(step=name):
                program = self.start_login(options.pop("request", self.request()), **options)
                box = self.box()
                self.assert_plain_box(box, message)
                self.press(box, OK)
                self.assertEnds(program)
                self.assert_key_calls(calls)
                self.assertEqual(self.logins(), [])

    def test_failed_digest_posts_an_empty_digest(self):
        program = self.start_login(self.request(), fail="et_HMAC_MD5=F0000007")
        box = self.box()
        self.assert_plain_box(box, "et_HMAC_MD5 ERROR: F0000007")
        self.press(box, OK)
        self.press(self.box(), OK)  # the confirmation
        self.assertEnds(program)
        [entry] = self.logins()
        self.assertEqual(entry["login"]["fields"], ["Digest", "Token"])
        self.assertEqual((entry["login"]["digest"], entry["login"]["token"]), ("", "tok"))
        self.assert_key_calls(KEY_CALLS)


class FailingPostTest(LoginTestCase):
    def test_shows_the_login_error_then_ends(self):
        request = f"orvo:cmd=login&pid={PID}&pin={PIN}&token=tok&url={self.login_url('?status=500')}"
        program = self.start_login(request)
        self.press(self.box(), OK)
        box = wait_until(lambda: (lambda b: b if b["caption"] == "登录错误" else None)(self.box()), 10,
                         message="the login error box")
        self.assertEqual(box["text"], "无法连接服务器，请重新登录。")
        self.assertEqual([b["id"] for b in box["buttons"]], [OK])
        self.assertTrue(box["icon"])
        self.assertTrue(program.running())
        self.press(box, OK)
        self.assertEnds(program)
        self.assertEqual(len(self.logins()), 1)

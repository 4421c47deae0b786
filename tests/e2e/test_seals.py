"""Sign and edit modes from outside: the seal strip and its seals, stamping
into the document Word (the Office substitute) has open, the decision after
Word has quit (upload, the not-stamped alert, or the quiet end), revision
tracking in edit mode, and what happens when Word cannot open the file.

A saved document goes back to the test web server's upload endpoint, which
records what arrived."""

import hashlib
import os
import re
import subprocess
import time
import unittest

from orvo_e2e import (APP_TITLE, BUILD_DIR, ENV, MAIN_CLASS, WEB, reset_web_journal, screen_size, screenshot, wait_until,
                      web_journal, wine_path, xdotool)
from test_download import temp_folder
from test_print import PrintTestCase, wine

SEAL_CLASS = "TfrmWord"
WORD_CLASS = "OrvoFakeWordApplication"
CTL = BUILD_DIR / "tests" / "fakes" / "office" / "fake_office_ctl.exe"
AGENT = BUILD_DIR / "agent" / "Agent.exe"
UNSAVED_QUESTION = "文档已修改但尚未保存。是否保存后上传？"
IDYES, IDNO, IDCANCEL = 6, 7, 2
DIALOG_TITLE = "请选择投标文件进行盖章"
NOT_STAMPED = "您没有对投标文件进行盖章，请重新进行操作！"
SEAL_LOAD_FAILED = "无法读取印章文件，请重新打开。"
LONG_MSG = ("文件未能保存：服务器上的同名文件正在被其他用户编辑。\n请稍后重新上传，或联系系统管理员解除锁定。\n"
            "锁定者：办公室 张三（内线 8021）\n"
            "服务器路径：D:\\报表系统\\归档\\2026年\\十二月\\投标文件\\第三季度汇总\\最终版本\\盖章稿.doc")
CANNOT_OPEN = "请退出所有Word程序再尝试打开文件..."
# The eight statements of one stamp, as the substitute journals them.
PASTE_STEPS = [
    "Application.Selection.Paste()",
    "Application.Selection.MoveLeft(1, 1, 1)",
    "Application.Selection.InlineShapes.Item(1).PictureFormat.TransparentBackground = True",
    "Application.Selection.InlineShapes.Item(1).PictureFormat.TransparencyColor = 16777215",
    "Application.Selection.InlineShapes.Item(1).Fill.Visible = False",
    "Application.Selection.InlineShapes.Item(1).ConvertToShape().Select()",
    "Application.Selection.ShapeRange.WrapFormat.Type = 3",
    "Application.Selection.ShapeRange.ZOrder(4)",
]


def pictures(path):
    """The picture lines of a document the substitute wrote in the plain form."""
    text = path.read_text(encoding="utf-8", errors="replace")
    return [dict(re.findall(r"(\w+)=(\w+)", line), kind=line.split()[1])
            for line in text.splitlines() if line.startswith("picture: ")]


def pixel(shot, x, y):
    out = subprocess.run(["convert", str(shot), "-format", f"%[fx:int(255*p{{{x},{y}}}.r)],"
                          f"%[fx:int(255*p{{{x},{y}}}.g)],%[fx:int(255*p{{{x},{y}}}.b)]", "info:"],
                         stdout=subprocess.PIPE, check=True, timeout=30).stdout.decode()
    return tuple(int(v) for v in out.split(","))


class SealTestCase(PrintTestCase):
    def setUp(self):
        super().setUp()
        reset_web_journal()
        self.upload_path = "/upload/ok0"

    # ---- starting the flows
    def start_sign(self, file_name="sign.docx", seals="/seals/list", *docgen):
        """Sign mode on a local document chosen in the open dialog."""
        self.document(file_name, *docgen)
        local = self.web_dir / file_name
        request = (f"orvo:cmd=signf&filename=none&title=t&server={self.web}{self.upload_path}"
                   f"&seals={self.web}{seals}&guid={self.folder}&x=0")
        program = self.start(request, env={"ORVO_FAKE_OFFICE_JOURNAL": str(self.journal_path)})
        found = xdotool("search", "--sync", "--onlyvisible", "--pid", program.proc.pid, "--name",
                        f"^{DIALOG_TITLE}$", timeout=30).split()
        self.assertTrue(found, "the open dialog")
        xdotool("windowfocus", "--sync", found[0])
        xdotool("type", "--delay", "5", wine_path(local))
        xdotool("key", "Return")
        return program, local

    def start_edit(self, file_type, file_name="edit.docx", *docgen):
        url = self.document(file_name, *docgen)
        request = (f"orvo:cmd=editf&filename={url}&title=t&server={self.web}{self.upload_path}"
                   f"&type={file_type}&guid={self.folder}&x=0")
        return self.start(request, env={"ORVO_FAKE_OFFICE_JOURNAL": str(self.journal_path)})

    # ---- the seal window and Word
    def strip(self, timeout_ms=15000):
        return self.ui("find", "--class", SEAL_CLASS, "--visible", timeout_ms=timeout_ms)["window"]

    def seal_controls(self):
        r = self.ui("controls", "--class", SEAL_CLASS)
        return r["window"], {c["name"]: c for c in r["controls"] if c["name"]}

    def click(self, name):
        self.ui("click", "--class", SEAL_CLASS, name)

    def word(self, *command):
        out = wine(CTL, *command)
        return out.returncode

    def wait_word_open(self):
        wait_until(lambda: any(l.startswith("Event Application.DocumentChange") for l in self.journal()), 20,
                   message="Word opened the document")

    def upload_requests(self):
        return [e for e in web_journal()
                if e["path"] == self.upload_path and (e.get("upload") or {}).get("fileguid") == self.folder]

    def assertUploaded(self, local):
        """One POST of the saved file: the digest in the query is the file's,
        the bytes that arrived match it, and the part names the full path."""
        [request] = wait_until(self.upload_requests, 20, message="the upload to reach the server")
        record = request["upload"]
        self.assertEqual(request["method"], "POST")
        self.assertEqual(record["filemd5"], hashlib.md5(local.read_bytes()).hexdigest().upper())
        self.assertTrue(record["md5_matches"], record)
        self.assertEqual(record["version"], "HTTP/1.0")
        self.assertTrue(record["filename"].lower().endswith(local.name.lower()), record["filename"])

    def assertUploadConfirmed(self):
        wait_until(lambda: self.ui("find", "--class", SEAL_CLASS, "--visible", timeout_ms=0, check=False), 10,
                   message="the alert view")
        self.assertEqual(self.seal_controls()[1]["Label_Alert"]["text"], "文件上传保存成功！")

    def assertAlertView(self, text):
        window, controls = self.seal_controls()
        width, height = screen_size()
        rect = window["rect"]
        self.assertEqual((rect["width"], rect["height"]), (500, 150))
        self.assertEqual((rect["left"], rect["top"]), ((width - 500) // 2, (height - 150) // 2))
        self.assertEqual(controls["Label_Alert"]["text"], text)
        client = window["client"]

        def shown(c):
            box = c["in_parent"]
            return c["visible"] and box["left"] < client["width"] and box["top"] < client["height"]
        self.assertEqual(sorted(n for n, c in controls.items() if shown(c)), ["Btn_OK", "Label_Alert"])
        ok = controls["Btn_OK"]["in_parent"]
        self.assertEqual((ok["left"], ok["top"]), ((500 - 101) // 2, 100))

    def close_alert_and_end(self, program):
        self.click("Btn_OK")
        self.assertEnds(program)

    def opened_file(self):
        """The local copy Word was asked to open in edit mode."""
        opened = next(l for l in self.journal() if l.startswith("Application.Documents.Open("))
        return temp_folder() / re.search(r'\\([^\\"]+)"', opened).group(1)

    def answer_unsaved_question(self, button):
        box = self.ui("msgbox", "--visible", "--title", APP_TITLE, timeout_ms=10000)
        self.assertEqual(box["text"], UNSAVED_QUESTION)
        self.assertEqual(sorted(b["id"] for b in box["buttons"]), sorted([IDYES, IDNO, IDCANCEL]))
        self.ui("click", "--hwnd", box["window"]["hwnd"], "--command", button)
        self.ui("wait-gone", "--hwnd", box["window"]["hwnd"], timeout_ms=5000)

    def assertNothingLeft(self, program):
        """No process of the run is left: Wine's processes carry its tag."""
        time.sleep(0.5)
        left = subprocess.run(["pgrep", "-f", program.tag], stdout=subprocess.PIPE).stdout.split()
        self.assertFalse(left, "processes of the run are left behind")


class SignModeTest(SealTestCase):
    @unittest.skip("after the merge of this week's branches the run stops after Word is shown, before the document opens; not yet understood")
    def test_stamping_two_copies_of_the_second_seal_then_saving_reaches_the_upload(self):
        # The seal list answers once: its fetch again for the alert view fails.
        program, local = self.start_sign("sign.docx", f"/seals/list?once={self.folder}")
        strip = self.strip()
        self.assertEqual((strip["rect"]["left"], strip["rect"]["top"]), (20, 160))
        self.assertEqual((strip["rect"]["width"], strip["rect"]["height"]), (118, 306))
        self.assertTrue(strip["topmost"])
        self.assertEqual(strip["title"], "orvo")
        _, controls = self.seal_controls()
        places = {n: (c["in_parent"]["left"], c["in_parent"]["top"], c["in_parent"]["width"], c["in_parent"]["height"])
                  for n, c in controls.items()}
        self.assertEqual(places["DrawGrid1"], (8, 16, 101, 201))
        self.assertEqual(places["FlatSpeedButton1"], (8, 224, 101, 33))
        self.assertEqual(places["FlatSpeedButton2"], (8, 264, 101, 33))
        self.assertEqual(places["Btn_OK"], (128, 224, 101, 33))  # beyond the strip's width
        self.assertEqual((controls["FlatSpeedButton1"]["text"], controls["FlatSpeedButton2"]["text"]), ("盖 章", "上 传"))
        self.assertFalse(controls["Label_Alert"]["visible"])
        self.wait_word_open()
        word = self.ui("find", "--class", WORD_CLASS, "--visible", timeout_ms=5000)["window"]
        self.assertEqual(word["title"], "orvo ZUN!")
        self.assertInOrder([
            'Application.Caption = "orvo ZUN!"', "Application.Visible = True", "Application.AutomationSecurity = 3",
            f'Application.Documents.Open("{wine_path(local)}", False, False, False, "", "", True, "", "", 0)',
            "Event Document.Open", "Event Application.DocumentChange", "Application.NormalTemplate.Saved = True"])
        self.assertFalse([l for l in self.journal() if "TrackRevisions" in l])
        self.assertMacrosOffAtEveryOpen()

        # The server's three seals are listed and drawn; the first is selected.
        grid = wait_until(lambda: (lambda g: g if g["list"]["count"] == 3 else None)(
            self.ui("control", "--class", SEAL_CLASS, "DrawGrid1")["control"]), 10, message="three seals")
        self.assertEqual(grid["list"]["selected"], 0)
        self.assertEqual(sorted(e["path"] for e in web_journal() if e["path"].startswith("/seals/img/")),
                         ["/seals/img/oval", "/seals/img/round", "/seals/img/square"])
        self.ui("pick", "--class", SEAL_CLASS, "DrawGrid1", "--index", "1")
        time.sleep(0.5)
        shot = screenshot(self.workdir / "strip.png")
        grid = self.ui("control", "--class", SEAL_CLASS, "DrawGrid1")["control"]
        row = grid["list"]["item_height"]
        left = grid["rect"]["left"]
        top = grid["rect"]["top"] + (1 - grid["list"]["top"]) * row  # the second row, maybe scrolled up
        self.assertEqual(pixel(shot, left + 2, top + 2), (255, 0, 0))          # the selected cell
        self.assertEqual(pixel(shot, left, top), (210, 210, 210))              # its frame
        self.assertEqual(pixel(shot, left + 2, top + row + 2), (95, 95, 95))   # the next, unselected
        self.assertEqual(pixel(shot, left + 5, top + row + 50), (210, 210, 210))  # its picture's frame

        self.click("FlatSpeedButton1")
        self.wait_journal(PASTE_STEPS[-1], 1)
        self.click("FlatSpeedButton1")
        self.wait_journal(PASTE_STEPS[-1], 2)
        for step in PASTE_STEPS:
            self.assertEqual(self.journal().count(step), 2, step)
        self.assertEqual(self.ui("clipboard")["formats"], [])

        # Saved and quit in Word: the upload starts, and the saved file holds
        # two floating, transparent copies of the same seal.
        self.assertEqual(self.word("save"), 0)
        self.assertEqual(self.word("quit"), 0)
        self.assertUploaded(local)
        stamped = pictures(local)
        self.assertEqual(len(stamped), 2)
        for p in stamped:
            self.assertEqual((p["kind"], p["transparent"], p["fill"], p["wrap"], p["zorder"]),
                             ("floating", "1", "0", "3", "4"))
        self.assertEqual(stamped[0]["hash"], stamped[1]["hash"])
        # The worker's result comes back in the alert view, and the failed
        # fetch of the seal list that follows raises no box over it.
        self.assertUploadConfirmed()
        wait_until(lambda: len([e for e in web_journal() if e["path"] == "/seals/list"]) == 2, 10,
                   message="the seal list fetched again")
        self.assertFalse(self.ui("msgbox", "--visible", timeout_ms=1500, check=False))
        self.assertEqual(self.seal_controls()[1]["Label_Alert"]["text"], "文件上传保存成功！")
        self.close_alert_and_end(program)

    def test_quit_without_saving_shows_the_not_stamped_alert(self):
        program, local = self.start_sign()
        strip = self.strip()
        self.wait_word_open()
        # The drag strip along the top moves the borderless window.
        x, y = strip["rect"]["left"] + 60, strip["rect"]["top"] + 5
        xdotool("mousemove", x, y, "mousedown", "1")
        xdotool("mousemove", x + 30, y + 20)
        xdotool("mousemove", x + 40, y + 30)
        xdotool("mouseup", "1")
        moved = wait_until(lambda: (lambda w: w if w["rect"]["left"] == strip["rect"]["left"] + 40 else None)(
            self.strip()), 5, message="the strip to follow the drag")
        self.assertEqual(moved["rect"]["top"], strip["rect"]["top"] + 30)
        wait_until(lambda: self.ui("control", "--class", SEAL_CLASS, "DrawGrid1")["control"]["list"]["count"] == 3,
                   10, message="three seals")
        # "上 传" with a stamp Word never saved: Word closes without it.
        self.click("FlatSpeedButton1")
        self.wait_journal(PASTE_STEPS[-1], 1)
        before = local.read_bytes()
        # The unsaved stamp is asked about: 取消 goes back to Word as it was.
        self.click("FlatSpeedButton2")
        self.answer_unsaved_question(IDCANCEL)
        time.sleep(0.5)
        self.assertNotIn("Event Application.Quit", self.journal())
        self.assertEqual(self.strip()["rect"]["width"], 118)
        self.ui("find", "--class", WORD_CLASS, "--visible", timeout_ms=0)
        # 否: Word closes without the stamp, as before the question.
        self.click("FlatSpeedButton2")
        self.answer_unsaved_question(IDNO)
        self.wait_journal("Event Application.Quit")
        wait_until(lambda: self.seal_controls()[0]["rect"]["width"] == 500, 10, message="the alert view")
        self.assertAlertView(NOT_STAMPED)
        self.assertEqual(local.read_bytes(), before)
        self.assertEqual(self.journal().count("Event Application.Quit"), 1)
        self.assertEqual(self.upload_requests(), [])
        self.close_alert_and_end(program)

    def test_seal_list_failures_show_the_box_and_keep_the_strip_usable(self):
        for fail in ("status", "notjson", "notjpeg"):
            with self.subTest(fail=fail):
                program, _ = self.start_sign(f"sign-{fail}.docx", f"/seals/list?fail={fail}")
                box = self.ui("msgbox", "--visible", "--title", "同步错误", timeout_ms=15000)
                self.assertEqual(box["text"], SEAL_LOAD_FAILED)
                self.ui("press-ok", "--hwnd", box["window"]["hwnd"])
                self.strip()
                self.assertEqual(self.ui("control", "--class", SEAL_CLASS, "DrawGrid1")["control"]["list"]["count"], 1)
                # Nothing to stamp; Word closed by its window then gives the alert.
                self.click("FlatSpeedButton1")
                self.ui("close", "--class", WORD_CLASS)
                wait_until(lambda: self.seal_controls()[0]["rect"]["width"] == 500, 10, message="the alert view")
                self.assertNotIn(PASTE_STEPS[0], self.journal())
                self.close_alert_and_end(program)
                self.journal_path.unlink(missing_ok=True)

    @unittest.skip("after the merge of this week's branches the run stops after Word is shown, before the document opens; not yet understood")
    def test_a_document_word_cannot_open_leaves_the_strip_without_word(self):
        program, _ = self.start_sign("broken.docx", "/seals/list", "--broken")
        box = self.ui("msgbox", "--visible", "--title", APP_TITLE, timeout_ms=15000)
        self.assertEqual(box["text"], CANNOT_OPEN)
        self.ui("press-ok", "--hwnd", box["window"]["hwnd"])
        self.strip()
        self.wait_journal("Event Application.Quit")  # the link was ended
        self.click("FlatSpeedButton1")  # no Word: nothing happens
        time.sleep(0.5)
        self.assertNotIn(PASTE_STEPS[0], self.journal())
        # Closing the strip decides as Word's quit would; closing the alert ends the run.
        self.ui("close", "--class", SEAL_CLASS)
        wait_until(lambda: self.seal_controls()[0]["rect"]["width"] == 500, 10, message="the alert view")
        self.assertAlertView(NOT_STAMPED)
        self.ui("close", "--class", SEAL_CLASS)
        self.assertEnds(program)


class SignRunInFrontTest(SealTestCase):
    def test_a_second_link_brings_the_strip_forward_and_yes_saves_and_uploads_the_stamp(self):
        program, local = self.start_sign("front.docx")
        strip = self.strip()
        self.wait_word_open()
        wait_until(lambda: self.ui("control", "--class", SEAL_CLASS, "DrawGrid1")["control"]["list"]["count"] == 3,
                   10, message="three seals")
        self.click("FlatSpeedButton1")
        self.wait_journal(PASTE_STEPS[-1], 1)
        # The user goes on in Word; then a web page opens another link.
        word = self.ui("find", "--class", WORD_CLASS, "--visible", timeout_ms=5000)["window"]
        rect = word["rect"]
        xdotool("mousemove", rect["left"] + rect["width"] // 2, rect["top"] + rect["height"] // 2, "click", "1")
        wait_until(lambda: self.ui("find", "--class", WORD_CLASS, timeout_ms=0)["window"]["foreground"], 5,
                   message="Word in front")
        second = f"{WEB}/files/flows/{self.folder}/second-{self.token()}.doc"
        out = subprocess.run(["wine", str(AGENT), f"orvo:cmd=print&filename={second}"], env=ENV,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        self.assertEqual(out.returncode, 0)
        wait_until(lambda: self.strip()["foreground"], 10, message="the strip in front")
        self.assertEqual(self.strip()["hwnd"], strip["hwnd"])
        # The second request is not acted on: nothing fetched, no other window.
        time.sleep(1)
        self.assertFalse([e for e in web_journal() if "second-" in e["path"]])
        self.assertFalse(self.ui("find", "--class", MAIN_CLASS, "--visible", timeout_ms=0, check=False))

        # "上 传" with the stamp unsaved: 是 saves it, and it is uploaded.
        self.click("FlatSpeedButton2")
        self.answer_unsaved_question(IDYES)
        self.assertUploaded(local)
        self.assertEqual(len(pictures(local)), 1)
        self.assertUploadConfirmed()
        self.close_alert_and_end(program)


class WordCrashTest(SealTestCase):
    def test_edit_mode_a_crash_after_a_save_still_uploads_and_leaves_nothing_behind(self):
        program = self.start_edit("0", "crash.docx")
        self.wait_word_open()
        self.assertEqual(self.word("save"), 0)
        local = self.opened_file()
        crashed = time.monotonic()
        self.assertEqual(self.word("crash"), 0)
        self.assertUploaded(local)
        self.assertLess(time.monotonic() - crashed, 6)
        self.assertNotIn("Event Application.Quit", self.journal())
        self.assertUploadConfirmed()
        self.close_alert_and_end(program)
        self.assertNothingLeft(program)

    def test_sign_mode_a_crash_without_a_save_shows_the_alert_and_its_close_ends_the_run(self):
        program, _ = self.start_sign("crash-sign.docx")
        self.strip()
        self.wait_word_open()
        self.assertEqual(self.word("crash"), 0)
        wait_until(lambda: self.seal_controls()[0]["rect"]["width"] == 500, 6, message="the alert view")
        self.assertAlertView(NOT_STAMPED)
        self.assertFalse(self.ui("find", "--class", WORD_CLASS, "--visible", timeout_ms=0, check=False))
        self.assertEqual(self.upload_requests(), [])
        self.close_alert_and_end(program)
        self.assertNothingLeft(program)


class LongUploadTest(SealTestCase):
    def test_a_slow_upload_shows_the_compact_window_with_its_progress_until_the_reply(self):
        # Larger than what the system's socket buffers take at once.
        self.upload_path = "/upload/slowbody/15"
        program = self.start_edit("0", "large.docx")
        self.wait_word_open()
        self.assertEqual(self.word("save"), 0)
        local = self.opened_file()
        local.write_bytes(os.urandom(24 << 20))  # a large saved document
        self.assertEqual(self.word("quit"), 0)

        window = self.ui("find", "--class", MAIN_CLASS, "--visible", timeout_ms=10000)["window"]
        self.assertEqual(window["rect"]["height"], 80)
        self.assertEqual(self.ui.main_control("Label_Title")["text"], "正在上传...")
        positions = set()
        while True:
            main = self.ui("find", "--class", MAIN_CLASS, timeout_ms=0)["window"]
            alert = self.ui("find", "--class", SEAL_CLASS, "--visible", timeout_ms=0, check=False)
            if alert:
                # The compact window went before the alert came.
                self.assertFalse(main["visible"])
                break
            if main["visible"]:
                gauge = self.ui.main_control("FlatGauge")["progress"]
                positions.add(gauge["pos"] * 100 // max(gauge["max"], 1))
            time.sleep(0.1)
        moving = sorted(p for p in positions if 0 < p < 100)
        self.assertGreaterEqual(len(moving), 2, positions)
        self.assertUploaded(local)
        self.assertUploadConfirmed()
        self.close_alert_and_end(program)


class EditModeTest(SealTestCase):
    def test_type_1_tracks_revisions_and_a_save_in_the_same_two_seconds_reaches_the_upload(self):
        program = self.start_edit("1")
        self.wait_word_open()
        self.wait_journal("Document.TrackRevisions = True")
        self.assertInOrder(["Document.ShowRevisions = True", "Document.TrackRevisions = True"])
        self.assertMacrosOffAtEveryOpen()
        opened = next(l for l in self.journal() if l.startswith("Application.Documents.Open("))
        local = temp_folder() / re.search(r'\\([^\\"]+)"', opened).group(1)
        before, original = local.stat(), local.read_bytes()
        # A save that leaves the size as it was and lands 100 ns after the
        # opening, in the same 2-second slot of DOS time: still a change.
        self.assertEqual(self.word("save"), 0)
        local.write_bytes(original)
        os.utime(local, ns=(before.st_atime_ns, before.st_mtime_ns + 100))
        self.assertEqual(self.word("quit"), 0)
        self.assertUploaded(local)
        self.assertUploadConfirmed()
        self.close_alert_and_end(program)

    def test_other_types_leave_tracking_off_and_an_unsaved_quit_ends_quietly(self):
        program = self.start_edit("0")
        self.wait_word_open()
        self.ui("find", "--class", WORD_CLASS, "--visible", timeout_ms=5000)
        time.sleep(0.5)
        self.assertFalse([l for l in self.journal() if "TrackRevisions" in l])
        self.ui("close", "--class", WORD_CLASS)  # the user closes Word's window
        self.assertEnds(program)
        self.assertEqual(self.upload_requests(), [])

    def test_a_long_server_message_shows_all_its_lines(self):
        self.upload_path = "/upload/longmsg"
        program = self.start_edit("0")
        self.wait_word_open()
        self.assertEqual(self.word("save"), 0)
        self.assertEqual(self.word("quit"), 0)
        wait_until(lambda: self.ui("find", "--class", SEAL_CLASS, "--visible", timeout_ms=0, check=False), 20,
                   message="the alert view")
        window, controls = self.seal_controls()
        label, ok = controls["Label_Alert"], controls["Btn_OK"]
        self.assertEqual(label["text"].replace("\r\n", "\n"), LONG_MSG)
        # Four lines or more of a 14-pixel font, all inside the label, which
        # ends above the button; the view grew to hold them.
        self.assertGreaterEqual(label["in_parent"]["height"], 4 * 16)
        self.assertLessEqual(label["in_parent"]["top"] + label["in_parent"]["height"], ok["in_parent"]["top"])
        self.assertEqual(window["rect"]["height"], label["in_parent"]["height"] + 102)
        width, height = screen_size()
        self.assertEqual((window["rect"]["left"], window["rect"]["top"]),
                         ((width - 500) // 2, (height - window["rect"]["height"]) // 2))
        screenshot(self.workdir / "long-alert.png")
        self.close_alert_and_end(program)

    def test_a_report_word_cannot_open_ends_the_program_after_the_box(self):
        program = self.start_edit("1", "broken.docx", "--broken")
        box = self.ui("msgbox", "--visible", "--title", APP_TITLE, timeout_ms=15000)
        self.assertEqual(box["text"], CANNOT_OPEN)
        self.ui("press-ok", "--hwnd", box["window"]["hwnd"])
        self.assertEnds(program)


if __name__ == "__main__":
    unittest.main()

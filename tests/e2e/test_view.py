"""View mode seen from outside: a Word report in the locked-down preview
(zoom, wheel, keys, save a copy, print, close), a report that cannot be
opened, a report of another type in the program associated with it under
the floating title bar, and report types that would run as programs.

The other type is ".txt", associated in the test prefix with fake_viewer.exe,
which journals how it was started."""

import re
import struct
import subprocess
import time
import unittest
import urllib.parse
import uuid
from pathlib import Path

from orvo_e2e import BUILD_DIR, ENV, MAIN_CLASS, WEB, screen_size, wait_until, web_journal, wine_path, xdotool
from test_download import temp_folder
from test_print import PrintTestCase, wine

PREVIEW = "Tfrm_Priview"
BAR = "TfrmWriteRead_bar"
VIEWER = BUILD_DIR / "tests" / "fake_viewer.exe"
TITLE = "月度报表（测试）"
# The substitute's document classes, as a saved compound file's root names them.
WORD_CLASSES = {".doc": "{00020906-0000-0000-C000-000000000046}", ".docx": "{F4754C9B-64F5-4B40-8AF4-679732AC0607}"}
LOCKING = ['Document.CommandBars("Standard").Enabled = False', 'Document.CommandBars("Formatting").Enabled = False',
           'Document.CommandBars("Drawing").Enabled = False', 'Document.CommandBars("Reviewing").Visible = False',
           "Document.ActiveWindow.DisplayRulers = False", 'Document.CommandBars("Menu Bar").Enabled = False',
           "Document.ShowRevisions = False", "Document.TrackRevisions = False",
           "Document.ActiveWindow.ActivePane.View.Zoom.Percentage", "Document.Protect(1)",
           'Document.CommandBars("iSignature")']


def storage_class(path):
    """The class id a compound file's root entry names, or None for another file."""
    data = Path(path).read_bytes()
    if data[:8] != bytes.fromhex("D0CF11E0A1B11AE1"):
        return None
    sector = 1 << struct.unpack_from("<H", data, 0x1E)[0]
    first_directory = struct.unpack_from("<I", data, 0x30)[0]
    root = (first_directory + 1) * sector
    return "{" + str(uuid.UUID(bytes_le=data[root + 0x50:root + 0x60])).upper() + "}"


class ViewTestCase(PrintTestCase):
    def start_viewing(self, url, env=None):
        title = urllib.parse.quote(TITLE.encode("utf-8"))
        request = f"orvo:cmd=viewf&filename={url}&{title}&s&1&g&x"
        self.request = request
        return self.start(request, env=dict({"ORVO_FAKE_OFFICE_JOURNAL": str(self.journal_path)}, **(env or {})))

    def preview(self, timeout_ms=20000):
        return self.ui("find", "--class", PREVIEW, "--visible", timeout_ms=timeout_ms)["window"]

    def preview_control(self, name):
        return self.ui("control", "--class", PREVIEW, name)["control"]

    def zoom_after(self, button, expected):
        self.ui("click", "--class", PREVIEW, button)
        wait_until(lambda: self.preview_control("Label_Zoom")["text"] == expected, 10, message=f"zoom {expected}")


class WordPreviewTest(ViewTestCase):
    def test_doc_and_docx_previews(self):
        width, height = screen_size()
        for extension in (".doc", ".docx"):
            with self.subTest(extension=extension):
                self.journal_path.unlink(missing_ok=True)
                stem = self.token("v")
                url = self.document(stem + extension, "--name", stem)
                program = self.start_viewing(url, env={"ORVO_FAKE_OFFICE_FIT_READS_ZERO": "1"})
                window = self.preview()
                self.assertTrue(window["zoomed"])
                self.assertEqual(window["title"], "显示文件")
                self.assertFalse(self.ui("find", "--class", MAIN_CLASS, timeout_ms=0)["window"]["visible"])
                wait_until(lambda: self.preview_control("Label_Zoom")["text"] == "100%", 10, message="100%")
                self.assertInOrder(LOCKING + ["Document.ActiveWindow.ActivePane.View.Zoom.Percentage = 99",
                                              "Document.ActiveWindow.ActivePane.View.Zoom.Percentage = 100"])
                # The tool bar's buttons are named for screen readers, and the
                # document fills the window below it.
                self.assertEqual(self.preview_control("FlatSpeedButton6")["text"], "放大")
                wait_until(self.container_fills_the_window, 10, message="the document below the tool bar")
                # The keyboard reaches the document, through its accelerators first.
                self.assertEqual(self.ui("focus", "--class", PREVIEW)["focus"]["class"], "OrvoFakeOfficePage")
                self.ui("key", "--class", PREVIEW, "--index", 0x22)
                self.wait_journal("InPlaceActiveObject.TranslateAccelerator(WM_KEYDOWN, 34)")

                self.zoom_after("FlatSpeedButton6", "110%")
                self.zoom_after("btn_BestSzie", "100%")
                self.zoom_after("FlatSpeedButton5", "90%")
                self.zoom_after("FlatSpeedButton5", "80%")
                self.wait_journal("Document.ActiveWindow.ActivePane.View.Zoom.Percentage = 80")
                self.zoom_after("btn_PageFitBestFit", "100%")
                self.wait_journal("Document.ActiveWindow.ActivePane.View.Zoom.PageFit = 2")

                self.ui("wheel", "--class", PREVIEW)
                self.wait_journal("Document.ActiveWindow.SmallScroll(1, 0, 0, 0)")
                self.ui("wheel", "--class", PREVIEW, "--delta", 120)
                self.wait_journal("Document.ActiveWindow.SmallScroll(0, 1, 0, 0)")

                # The last "/" item of the whole request, as it stands.
                self.save_copy(program, self.request.rsplit("/", 1)[1], WORD_CLASSES[extension])

                self.ui("click", "--class", PREVIEW, "Btn_Print")
                self.confirm_print_dialog(program)
                # Printed under the document's name: its stored one, or its file's.
                printed = wait_until(lambda: [l for l in self.journal() if l.startswith('Print("')], 20,
                                     message="the print")[0]
                self.assertEqual(self.wait_jobs(printed.split('"')[1]), ["Printer_A"])

                self.ui("close", "--class", PREVIEW)
                self.assertEnds(program, 15)
                self.assertInOrder(["Document.ActiveWindow.DisplayRulers = True", "OleObject.Close(0)"])

    def container_fills_the_window(self):
        client = self.preview()["client"]
        container = self.preview_control("OleContainer")["in_parent"]
        return (container["top"], container["left"], container["width"], container["height"]) == (
            33, 0, client["width"] - 1, client["height"] - 34)

    def save_copy(self, program, proposed, clsid):
        target = self.workdir / f"copy-{self.token()}.doc"
        self.ui("click", "--class", PREVIEW, "Btn_Save")
        found = xdotool("search", "--sync", "--onlyvisible", "--pid", program.proc.pid, "--name", "^保存文档$",
                        timeout=20).split()
        self.assertTrue(found, "the save dialog")
        texts = [c["text"] for c in self.ui("controls", "--title", "保存文档")["controls"]]
        self.assertIn(proposed, texts)
        xdotool("windowfocus", "--sync", found[0])
        xdotool("key", "ctrl+a")
        xdotool("type", "--delay", "20", wine_path(target))
        xdotool("key", "Return")
        wait_until(lambda: target.exists() and storage_class(target), 15, message="the saved copy")
        self.assertEqual(storage_class(target), clsid)


class BrokenReportTest(ViewTestCase):
    def test_a_report_that_cannot_be_opened_is_reported_once_and_the_program_ends(self):
        # ".doc": the preview's own message; ".docx": the general error report,
        # after which the program must not live on without a window.
        for extension, caption, text in ((".doc", "文件错误", "无法打开此文件。"), (".docx", "orvo_Printer", None)):
            with self.subTest(extension=extension):
                stem = self.token("b")
                program = self.start_viewing(self.document(stem + extension, "--broken"))
                pid = self.ui("find", "--class", MAIN_CLASS, timeout_ms=10000)["window"]["pid"]
                box = wait_until(lambda: self.box(pid, 1000), 20, message="the error box")
                self.assertEqual(box["caption"], caption)
                if text:
                    self.assertEqual(box["text"], text)
                self.assertFalse(self.ui("find", "--class", PREVIEW, "--visible", timeout_ms=0, check=False))
                self.ui("press-ok", "--hwnd", box["window"]["hwnd"])
                self.assertEnds(program, 15)


class AssociatedViewerTest(ViewTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if not VIEWER.exists():
            raise unittest.SkipTest(f"not built: {VIEWER}")
        wine("reg", "add", r"HKCR\.txt", "/ve", "/d", "orvo_e2e_txtfile", "/f")
        wine("reg", "add", r"HKCR\orvo_e2e_txtfile\shell\open\command", "/ve", "/d",
             f'"{wine_path(VIEWER)}" "%1"', "/f")

    def setUp(self):
        super().setUp()
        self.viewer_journal = self.workdir / "viewer-journal.log"

    def open_text_report(self, env=None):
        stem = self.token("t")
        (self.web_dir / (stem + ".txt")).write_text("a plain text report\r\n", encoding="ascii")
        program = self.start_viewing(f"{WEB}/files/flows/{self.folder}/{stem}.txt",
                                     env=dict({"ORVO_FAKE_VIEWER_JOURNAL": str(self.viewer_journal)}, **(env or {})))
        line = wait_until(lambda: self.viewer_journal.exists() and self.viewer_journal.read_text(), 20,
                          message="the viewer's start")
        m = re.match(r"open (.*) show=(\d+) pid=(\d+)$", line.strip())
        self.assertIsNotNone(m, line)
        viewer = self.ui("find", "--pid", m.group(3), "--visible", timeout_ms=10000, scoped=False)["window"]
        return program, m.group(1), int(m.group(2)), viewer

    def test_viewer_runs_maximised_under_the_bar_and_its_end_ends_the_program(self):
        program, file, show, viewer = self.open_text_report()
        self.assertEqual(show, 3)  # maximised
        self.assertTrue(viewer["zoomed"])
        self.assertRegex(file, r"\\\d{17}\.txt$")
        self.assertTrue((temp_folder() / file.rsplit("\\", 1)[1]).is_file())
        bar = self.ui("find", "--class", BAR, "--visible")["window"]
        width, _ = screen_size()
        self.assertTrue(bar["topmost"])
        self.assertEqual((bar["rect"]["left"], bar["rect"]["top"], bar["rect"]["width"], bar["rect"]["height"]),
                         (width - 305, 0, 305, 37))
        self.assertEqual(self.ui("control", "--class", BAR, "lb_FileTitle")["control"]["text"], TITLE)
        self.assertFalse(self.ui("find", "--class", MAIN_CLASS, timeout_ms=0)["window"]["visible"])
        self.ui("close", "--hwnd", viewer["hwnd"], scoped=False)
        self.assertEnds(program, 15)

    def test_bar_button_ends_the_viewer_and_the_program(self):
        program, _, _, viewer = self.open_text_report()
        self.ui("click", "--class", BAR, "ImgBtn1")
        self.assertEnds(program, 15)
        self.ui("wait-gone", "--hwnd", viewer["hwnd"], timeout_ms=10000, scoped=False)

    def test_bar_button_lets_a_viewer_with_unsaved_work_ask_and_never_forces_it(self):
        program, _, _, viewer = self.open_text_report(env={"ORVO_FAKE_VIEWER_ASK": "1"})
        self.ui("click", "--class", BAR, "ImgBtn1")
        # The viewer asks its question; we end after a few seconds without it.
        box = self.ui("msgbox", "--pid", viewer["pid"], "--visible", timeout_ms=10000, scoped=False)
        self.assertEqual(box["text"], "是否保存对文件的更改？")
        self.assertEnds(program, 15)
        time.sleep(0.5)
        self.assertTrue(self.ui("find", "--hwnd", viewer["hwnd"], timeout_ms=0, scoped=False)["window"]["visible"])
        # The user answers 否: the viewer closes itself.
        self.ui("click", "--hwnd", box["window"]["hwnd"], "--command", "7", scoped=False)
        self.ui("wait-gone", "--hwnd", viewer["hwnd"], timeout_ms=10000, scoped=False)


class DangerousTypeTest(ViewTestCase):
    def test_types_that_would_run_are_refused_before_the_download(self):
        # Scripts, and an Office type that carries macros.
        for extension in (".bat", ".CMD", ".xlsm", ".pyw"):
            with self.subTest(extension=extension):
                copies = self.stamped_copies(extension)
                stem = self.token("d")
                marker = self.workdir / f"{stem}.marker"
                (self.web_dir / (stem + extension)).write_bytes(
                    f"echo ran > {wine_path(marker)}\r\n".encode("ascii"))
                program = self.start_viewing(f"{WEB}/files/flows/{self.folder}/{stem}{extension}")
                pid = self.ui("find", "--class", MAIN_CLASS, timeout_ms=10000)["window"]["pid"]
                box = wait_until(lambda: self.box(pid, 1000), 20, message="the refusal")
                self.assertIn("拒绝", box["text"])
                self.ui("press-ok", "--hwnd", box["window"]["hwnd"])
                self.assertEnds(program, 15)
                time.sleep(1)
                self.assertFalse(marker.exists())
                self.assertFalse(self.requests_for(stem), "nothing is downloaded")
                self.assertEqual(self.stamped_copies(extension), copies, "nothing is written")
                lingering = subprocess.run(["pgrep", "-f", stem], stdout=subprocess.PIPE).stdout.split()
                self.assertFalse(lingering, "no process runs the report")


if __name__ == "__main__":
    unittest.main()

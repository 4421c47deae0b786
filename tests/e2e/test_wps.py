"""Other PCs than the one with Microsoft Office: one with WPS Office alone
(the Office substitute registered under WPS's class names only, its Writer
answering to interface ids of its own) and one with no office suite at all.
Each runs in a Wine prefix of its own (tests/harness/make-prefix.sh), made on
first use and kept under the test root."""

import os
import subprocess

from orvo_e2e import MAIN_CLASS, InOtherPrefix, helpdesk_log_text, prefix_path, wait_until, web_journal
from test_seals import PASTE_STEPS, SealTestCase, pictures
from test_view import PREVIEW, ViewTestCase

NO_WORD = "未找到 Microsoft Word 或 WPS 文字，无法打开文档。"
NO_EXCEL = "未找到 Microsoft Excel 或 WPS 表格，无法打开文档。"


class SuiteTestCase(SealTestCase, ViewTestCase):
    def press_print(self):
        self.ui("click", "--class", MAIN_CLASS, "btn_PrintFile")

    def created(self):
        """The classes the program asked the substitute for, in order."""
        return [l[len('Create("'):-2] for l in self.journal() if l.startswith('Create("')]

    def assertNothingLeft(self, program):
        """The program ended, and so did everything it started."""
        self.assertEnds(program, 15)
        with self.assertRaises(ProcessLookupError):
            os.killpg(program.proc.pid, 0)


class WpsOnlyTest(InOtherPrefix, SuiteTestCase):
    PREFIX_KIND = "wps"

    def test_genuine_doc_and_xls_print_on_the_chosen_printer(self):
        documents = (("genuine-word97.doc", "KWPS.Document.8", "genuine-doc-title", "GENUINE-DOC-BODY"),
                     ("genuine-excel97.xls", "KET.Sheet.12", "genuine-xls-title", "GENUINE-XLS-BODY"))
        for name, wps_class, title, body in documents:
            with self.subTest(document=name):
                program, window, pdf = self.print_genuine_on_printer_b(name, "w", title)
                self.assertEqual(self.created(), [wps_class])
                # The page shows what WPS read from the document (once cups-pdf has written it all).
                wait_until(lambda: body in subprocess.run(["pdftotext", str(pdf), "-"], stdout=subprocess.PIPE,
                                                          stderr=subprocess.DEVNULL, timeout=20).stdout.decode(),
                           20, step=0.5, message=f"{body} in {pdf.name}")
                self.assertIsNone(self.box(window["pid"]))
                program.kill()

    def test_doc_and_docx_previews(self):
        for extension, wps_class in ((".doc", "KWPS.Document.8"), (".docx", "KWPS.Document.12")):
            with self.subTest(extension=extension):
                self.journal_path.unlink(missing_ok=True)
                stem = self.token("v")
                program = self.start_viewing(self.document(stem + extension, "--name", stem))
                self.preview()
                wait_until(lambda: self.preview_control("Label_Zoom")["text"] == "100%", 10, message="100%")
                self.assertEqual(set(self.created()), {wps_class})
                self.ui("close", "--class", PREVIEW)
                self.assertNothingLeft(program)

    def test_sign_with_a_stamp_reaches_the_upload(self):
        program, local = self.start_sign()
        self.strip()
        self.wait_word_open()
        wait_until(lambda: self.ui("control", "--class", "TfrmWord", "DrawGrid1")["control"]["list"]["count"] == 3,
                   10, message="three seals")
        self.click("FlatSpeedButton1")
        self.wait_journal(PASTE_STEPS[-1])
        self.assertEqual(self.word("save"), 0)
        # Quit arrives through WPS's own application events.
        self.assertEqual(self.word("quit"), 0)
        self.assertUploaded(local)
        self.assertEqual(len(pictures(local)), 1)
        self.assertUploadConfirmed()
        self.assertEqual(self.created(), ["KWPS.Application"])
        self.close_alert_and_end(program)
        self.assertIn("office: documents by KWPS.Application", helpdesk_log_text())

    def test_edit_tracks_revisions_and_reaches_the_upload(self):
        program = self.start_edit("1")
        self.wait_word_open()
        self.wait_journal("Document.TrackRevisions = True")
        opened = next(l for l in self.journal() if l.startswith("Application.Documents.Open("))
        self.assertEqual(self.word("save"), 0)
        self.assertEqual(self.word("quit"), 0)
        [request] = wait_until(self.upload_requests, 20, message="the upload to reach the server")
        self.assertTrue(request["upload"]["md5_matches"], request["upload"])
        self.assertUploadConfirmed()
        self.assertEqual(self.created(), ["KWPS.Application"])
        self.assertIn("Application.Documents.Open(", opened)
        self.close_alert_and_end(program)


class NoSuiteTest(InOtherPrefix, SuiteTestCase):
    PREFIX_KIND = "none"

    def assertMessageThenEnd(self, program, text):
        pid = self.ui("find", "--class", MAIN_CLASS, timeout_ms=15000)["window"]["pid"]
        box = wait_until(lambda: self.box(pid, 1000), 20, message="the message")
        self.assertEqual((box["caption"], box["text"]), ("orvo_Printer", text))
        self.ui("press-ok", "--hwnd", box["window"]["hwnd"])
        self.assertNothingLeft(program)
        self.assertIn(" by no suite installed", helpdesk_log_text(prefix_path(box["log_file"])))

    def test_each_mode_names_both_suites_and_ends(self):
        for extension, text in ((".doc", NO_WORD), (".xls", NO_EXCEL)):
            with self.subTest(mode="print", extension=extension):
                stem = self.token("n")
                program, _ = self.start_printing(self.document(stem + extension))
                self.press_print()
                self.assertMessageThenEnd(program, text)
                # Nothing was fetched that nothing could open.
                self.assertEqual(self.requests_for(stem), [])
        with self.subTest(mode="view"):
            program = self.start_viewing(self.document(self.token("n") + ".doc"))
            self.assertMessageThenEnd(program, NO_WORD)
        with self.subTest(mode="sign"):
            program, _ = self.start_sign()
            self.assertMessageThenEnd(program, NO_WORD)
            self.assertEqual(self.upload_requests(), [])
        with self.subTest(mode="edit"):
            program = self.start_edit("1")
            self.assertMessageThenEnd(program, NO_WORD)
        self.assertEqual(self.journal(), [])

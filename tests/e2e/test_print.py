"""The print buttons with the Office substitute standing in for Word and
Excel: the printer the job reaches, the calls the program makes, the print
dialog, the print host loaded once, and the documents it must refuse.

Which queue got a job: cups-pdf names its output after the job's title (the
document's name, unique per test) and the CUPS job number; lpstat lists the
queue of every job by number."""

import os
import re
import shutil
import subprocess
import time
import unittest
from pathlib import Path

from orvo_e2e import BUILD_DIR, ENV, MAIN_CLASS, TEST_ROOT, WEB, wait_until, wine_path, xdotool
from test_download import EXPANDED, READY, FlowTestCase, temp_folder

DOCGEN = BUILD_DIR / "tests" / "fakes" / "office" / "fake_office_docgen.exe"
# Documents a real office suite wrote (see the folder's make.sh).
GENUINE_DIR = Path(__file__).resolve().parents[1] / "data" / "genuine"
PDF_DIR = Path(os.environ.get("ORVO_CUPS_PDF_DIR", Path.home() / "PDF"))
DEVICE_KEY = r"HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows"
# The Word and Excel document classes the substitute serves.
OFFICE_CLASSES = ("{00020906-0000-0000-C000-000000000046}", "{F4754C9B-64F5-4B40-8AF4-679732AC0607}",
                  "{00020820-0000-0000-C000-000000000046}", "{00020830-0000-0000-C000-000000000046}")
# The standard error box ends the container's message with a full stop.
REFUSED = "不支持的文档类型，已拒绝打开."


def wine(*args, timeout=60):
    return subprocess.run(["wine", *map(str, args)], env=ENV, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          stdin=subprocess.DEVNULL, timeout=timeout)


def windows_temp(name=""):
    """A file of the temporary folder as the program names it."""
    return "C:\\users\\" + temp_folder().parent.name + "\\Temp\\" + name


def substitute_registered():
    return all(wine("reg", "query", rf"HKCR\CLSID\{c}\InprocServer32").returncode == 0 for c in OFFICE_CLASSES)


def set_wine_default_printer(name):
    """The default the next program start reads (Wine keeps it in the registry,
    shared with every program of the prefix: written only when it differs)."""
    current = wine("reg", "query", DEVICE_KEY, "/v", "Device").stdout.decode(errors="replace")
    if not re.search(rf"\bDevice\s+REG_SZ\s+{re.escape(name)},", current):
        wine("reg", "add", DEVICE_KEY, "/v", "Device", "/d", f"{name},wineps.drv,CUPS:{name}", "/f")


def jobs_titled(title):
    """[(job number, queue)] of the cups-pdf output whose name starts with title."""
    numbers = []
    for pdf in PDF_DIR.glob(f"{title}*.pdf") if PDF_DIR.is_dir() else []:
        m = re.search(r"-job_(\d+)\.pdf$", pdf.name)
        if m:
            numbers.append(int(m.group(1)))
    if not numbers:
        return []
    listing = subprocess.run(["lpstat", "-W", "all", "-o"], env=dict(ENV, LANG="C", LC_ALL="C"),
                             stdout=subprocess.PIPE, timeout=20).stdout.decode()
    queues = {int(m.group(2)): m.group(1) for m in re.finditer(r"^(\S+)-(\d+)\s", listing, re.M)}
    return sorted((n, queues.get(n)) for n in numbers)


class PrintTestCase(FlowTestCase):
    web = WEB  # where the documents are served

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if not DOCGEN.exists():
            raise unittest.SkipTest(f"not built: {DOCGEN}")
        if not substitute_registered():
            raise unittest.SkipTest("the Office substitute is not registered (tests/harness/register-fakes.sh)")

    def setUp(self):
        super().setUp()
        set_wine_default_printer("Printer_A")
        self.addCleanup(set_wine_default_printer, "Printer_A")
        self.journal_path = self.workdir / "office-journal.log"
        self.folder = self.token("f")
        self.web_dir = TEST_ROOT / "web" / "flows" / self.folder
        self.web_dir.mkdir(parents=True)
        self.addCleanup(shutil.rmtree, self.web_dir, ignore_errors=True)

    def document(self, file_name, *options):
        """A sample document served at the returned address."""
        out = wine(DOCGEN, wine_path(self.web_dir / file_name), *options)
        self.assertEqual(out.returncode, 0, out.stdout.decode(errors="replace"))
        return f"{self.web}/files/flows/{self.folder}/{file_name}"

    def start_printing(self, url, after=""):
        return self.start_on(url + after, env={"ORVO_FAKE_OFFICE_JOURNAL": str(self.journal_path)})

    def print_genuine_on_printer_b(self, name, tag, title):
        """Serves the genuine document name under a new name, prints it directly
        on Printer_B and waits for its job there; returns the run, its main
        window and the PDF cups-pdf writes for the job."""
        self.journal_path.unlink(missing_ok=True)
        served = self.token(tag) + Path(name).suffix
        shutil.copyfile(GENUINE_DIR / name, self.web_dir / served)
        # The title is the same in every run: only new jobs count.
        earlier = {number for number, _ in jobs_titled(title)}
        program, window = self.start_printing(f"{WEB}/files/flows/{self.folder}/{served}")
        self.choose("Printer_B")
        self.ui("click", "--class", MAIN_CLASS, "btn_PrintFile")
        self.wait_journal(f'Print("{title}", "Printer_B")')
        jobs = wait_until(lambda: [(n, q) for n, q in jobs_titled(title) if n not in earlier and q] or None,
                          30, step=0.2, message=f"a new job titled {title}")
        self.assertIn("Printer_B", [queue for _, queue in jobs])
        number = max(n for n, q in jobs if q == "Printer_B")
        return program, window, next(PDF_DIR.glob(f"{title}*-job_{number}.pdf"))

    def choose(self, printer):
        self.ui("pick", "--class", MAIN_CLASS, "FlatComboBox", "--text", printer)

    def journal(self):
        try:
            return self.journal_path.read_text(encoding="utf-8").splitlines()
        except FileNotFoundError:
            return []

    def wait_journal(self, line, count=1, timeout=15):
        return wait_until(lambda: sum(1 for l in self.journal() if l == line) >= count, timeout,
                          message=f"{count} x {line!r} in the substitute's journal")

    def assertInOrder(self, expected):
        lines = self.journal()
        at = 0
        for line in expected:
            try:
                at = lines.index(line, at) + 1
            except ValueError:
                self.fail(f"{line!r} missing or out of order in:\n" + "\n".join(lines))

    def assertMacrosOffAtEveryOpen(self):
        """Word and Excel had macros forced off whenever a document opened."""
        opens = [l for l in self.journal() if l.startswith("AutomationSecurity at open:")]
        self.assertTrue(opens, "a document was opened")
        self.assertEqual(set(opens), {"AutomationSecurity at open: 3"})

    def wait_jobs(self, title, count=1, timeout=30):
        """The queues of the jobs titled title, once there are count of them."""
        jobs = wait_until(lambda: (lambda j: j if len(j) >= count and all(q for _, q in j) else None)(
            jobs_titled(title)), timeout, step=0.2, message=f"{count} job(s) titled {title}")
        return [queue for _, queue in jobs]

    def confirm_print_dialog(self, program):
        """The substitute's print dialog, as a user presses Return in it."""
        found = xdotool("search", "--sync", "--onlyvisible", "--pid", program.proc.pid, "--name", "^打印$",
                        timeout=20).split()
        self.assertTrue(found, "the print dialog")
        xdotool("windowfocus", "--sync", found[0])
        xdotool("key", "Return")


class DirectPrintTest(PrintTestCase):
    # extension: (class, how it is loaded, its automation path)
    FORMATS = {
        ".doc": ("Word.Document.8", "PersistStorage.Load", "-1", "Document", "ActiveDocument"),
        ".xls": ("Excel.Sheet.8", "PersistStorage.Load", "-1", "Workbook", "ActiveWorkbook"),
        ".docx": ("Word.Document.12", "PersistFile.Load", "0", "Document", "ActiveDocument"),
        ".xlsx": ("Excel.Sheet.12", "PersistFile.Load", "0", "Workbook", "ActiveWorkbook"),
    }

    def test_each_office_format_prints_on_the_chosen_printer(self):
        for extension, (progid, load, verb, kind, active) in self.FORMATS.items():
            with self.subTest(extension=extension):
                self.journal_path.unlink(missing_ok=True)
                stem = self.token("p")
                url = self.document(stem + extension, "--name", stem + "-title")
                # Items after the file address, as a web page sends them: the
                # copy is still named after the file.
                program, window = self.start_printing(url, "&title=t&server=s&type=1&guid=g&x=y")
                self.choose("Printer_B")
                self.click("btn_PrintFile")
                # A file of its own name is printed under that name; a stream under its stored one.
                title = stem + extension if load == "PersistFile.Load" else stem + "-title"
                self.assertEqual(self.wait_jobs(title), ["Printer_B"])
                loaded = f'{load}("{windows_temp(stem + extension)}")' if load == "PersistFile.Load" else load
                self.assertInOrder([f'Create("{progid}")', loaded, f"OleObject.DoVerb({verb})",
                                    f"{kind}.Application", f"Application.{active}", f"{kind}.PrintOut()",
                                    f'Print("{title}", "Printer_B")'])
                self.assertInOrder([f"{kind}.Application", "Application.AutomationSecurity = 3",
                                    f"OleObject.DoVerb({verb})"])
                self.assertMacrosOffAtEveryOpen()
                self.wait_label("已发送到打印机 Printer_B")
                self.assertIsNone(self.box(window["pid"]))
                program.kill()

    def test_a_failed_print_says_so_with_the_reason_and_can_be_tried_again(self):
        stem = self.token("f")
        url = self.document(stem + ".doc", "--name", stem + "-title")
        program, window = self.start_on(url, env={"ORVO_FAKE_OFFICE_JOURNAL": str(self.journal_path),
                                                  "ORVO_FAKE_OFFICE_PRINT_FAILS": "打印机脱机"})
        for attempt in (1, 2):
            self.click("btn_PrintFile")
            self.wait_journal("Document.PrintOut()", attempt)
            self.wait_label("打印失败：打印机脱机")
            if attempt == 1:
                self.ui("pick", "--class", MAIN_CLASS, "FlatComboBox", "--text", "Printer_A")
        self.assertEqual(jobs_titled(stem + "-title"), [])
        self.assertIsNone(self.box(window["pid"]))
        program.kill()

    def test_other_extensions_load_but_print_only_through_the_dialog(self):
        # A Word document all the same, under a name that is none of the four
        # (comparisons are case-sensitive).
        for extension in (".DOC",):
            with self.subTest(extension=extension):
                self.journal_path.unlink(missing_ok=True)
                stem = self.token("o")
                url = self.document(stem + ".doc", "--name", stem + "-title")
                (self.web_dir / (stem + ".doc")).rename(self.web_dir / (stem + extension))
                program, window = self.start_printing(url.replace(".doc", extension))
                self.click("btn_PrintFile")
                self.wait_journal("OleObject.DoVerb(-1)")
                # Nothing printed, and the status line says so.
                self.wait_label("打印失败：此类文件不能直接打印")
                time.sleep(1)
                self.assertFalse([l for l in self.journal() if "PrintOut" in l or l.startswith("Print(")])
                self.assertIsNone(self.box(window["pid"]))
                # Print with set-up reaches the application's dialog and prints.
                self.click("btn_Print")
                self.confirm_print_dialog(program)
                self.assertEqual(self.wait_jobs(stem + "-title"), ["Printer_A"])
                self.assertEqual(self.label(), READY)
                self.assertEqual(sum(1 for l in self.journal() if l.startswith("OleObject.DoVerb")), 1)
                program.kill()


class GenuineDocumentTest(PrintTestCase):
    # file: (class, its stored title, the start of its text). Embedded, a
    # genuine document keeps no file name: its title names the print job.
    DOCUMENTS = {
        "genuine-word97.doc": ("Word.Document.8", "genuine-doc-title", "GENUINE-DOC-BODY"),
        "genuine-excel97.xls": ("Excel.Sheet.5", "genuine-xls-title", "GENUINE-XLS-BODY"),
        "genuine-word.docx": ("Word.Document.12", "genuine-docx-title", "GENUINE-DOCX-BODY"),
        "genuine-excel.xlsx": ("Excel.Sheet.12", "genuine-xlsx-title", "GENUINE-XLSX-BODY"),
    }

    def test_documents_of_a_real_office_suite_print_on_the_chosen_printer(self):
        for name, (progid, title, body) in self.DOCUMENTS.items():
            with self.subTest(document=name):
                program, window, pdf = self.print_genuine_on_printer_b(name, "g", title)
                self.assertIn(f'Create("{progid}")', self.journal())
                # The page shows what was read from the document itself.
                text = subprocess.run(["pdftotext", str(pdf), "-"], stdout=subprocess.PIPE, timeout=20).stdout.decode()
                self.assertIn(body, text)
                self.assertEqual(self.label(), "已发送到打印机 Printer_B")
                self.assertIsNone(self.box(window["pid"]))
                program.kill()


class PrintWithDialogTest(PrintTestCase):
    def test_dialog_offers_the_chosen_printer_and_prints_there(self):
        stem = self.token("d")
        url = self.document(stem + ".xls", "--name", stem + "-title")
        program, window = self.start_printing(url)
        self.choose("Printer_B")
        self.click("btn_Print")
        self.confirm_print_dialog(program)
        self.assertEqual(self.wait_jobs(stem + "-title"), ["Printer_B"])
        self.assertInOrder(["OleObject.DoVerb(-1)", "CommandTarget.QueryStatus(6)", "CommandTarget.Exec(6, 1)",
                            f'PrintDialog("{stem}-title") -> "Printer_B"', f'Print("{stem}-title", "Printer_B")'])
        self.assertEqual(self.label(), READY)


class PrinterChoiceTest(PrintTestCase):
    def test_each_print_goes_to_the_printer_chosen_for_it(self):
        stem = self.token("c")
        url = self.document(stem + ".doc", "--name", stem + "-title")
        program, window = self.start_printing(url)
        self.assertEqual(self.control("lb_fileName")["text"], "Printer_A")
        # The start default chosen: the default stays as it is.
        self.click("btn_PrintFile")
        self.assertEqual(self.wait_jobs(stem + "-title", 1), ["Printer_A"])
        # B, then A again: each job reaches the printer picked for it, and
        # the label keeps the start default.
        self.choose("Printer_B")
        self.click("btn_PrintFile")
        self.assertEqual(self.wait_jobs(stem + "-title", 2), ["Printer_A", "Printer_B"])
        self.choose("Printer_A")
        self.click("btn_PrintFile")
        self.assertEqual(self.wait_jobs(stem + "-title", 3), ["Printer_A", "Printer_B", "Printer_A"])
        self.assertEqual(self.control("lb_fileName")["text"], "Printer_A")
        # One download and one load for the three prints.
        self.assertEqual(len(self.requests_for(stem)), 1)
        self.assertEqual(sum(1 for l in self.journal() if l == "PersistStorage.Load"), 1)
        self.assertEqual(sum(1 for l in self.journal() if l.startswith("OleObject.DoVerb")), 1)
        self.assertEqual(sum(1 for l in self.journal() if l == "Document.PrintOut()"), 3)


class RefusedDocumentTest(PrintTestCase):
    def test_foreign_class_is_refused_before_any_server_starts(self):
        for button in ("btn_PrintFile", "btn_Print"):
            with self.subTest(button=button):
                self.journal_path.unlink(missing_ok=True)
                stem = self.token("x")
                program, window = self.start_printing(self.document(stem + ".doc", "--foreign"))
                self.click(button)
                box = wait_until(lambda: self.box(window["pid"], 1000), 15, message="the refusal")
                self.assertEqual(box["text"], REFUSED)
                self.assertFalse([l for l in self.journal() if l.startswith("Create(")])
                self.ui("press-ok", "--hwnd", box["window"]["hwnd"])
                program.kill()


class HostileNameTest(PrintTestCase):
    def test_file_address_cannot_place_the_copy_outside_the_temporary_folder(self):
        items = "&title=t&server=s&type=1&guid=g&x=a/b.docx"
        for hostile, kept in (("..\\..\\..\\{stem}.docx", "{stem}.docx"),
                              ("C:\\{stem}.docx", "{stem}.docx"),
                              ("a\\NUL.docx", None)):
            with self.subTest(name=hostile):
                self.journal_path.unlink(missing_ok=True)
                stem = self.token("h")
                # The server ignores the query; the program's copy is named
                # after the last item of the whole address.
                url = self.document("report.docx", "--name", stem) + "?n=" + hostile.format(stem=stem)
                program, window = self.start_printing(url, items)
                self.click("btn_PrintFile")
                line = wait_until(lambda: [l for l in self.journal() if l.startswith("PersistFile.Load(")], 15,
                                  message="the load from the file")[0]
                path = line[len('PersistFile.Load("'):-2]
                folder, name = path.rsplit("\\", 1)
                self.assertEqual(folder + "\\", windows_temp())
                if kept:
                    self.assertEqual(name, kept.format(stem=stem))
                else:
                    self.assertRegex(name, r"^\d{17}\.docx$")
                self.assertTrue((temp_folder() / name).is_file())
                self.assertFalse((temp_folder().parents[2] / f"{stem}.docx").exists())
                self.assertEqual(self.wait_jobs(name), ["Printer_A"])
                program.kill()


if __name__ == "__main__":
    unittest.main()

"""The MSI package under Wine's msiexec, in a fresh prefix of its own: a silent
per-machine install with TRUSTEDSERVERS, a link opened through the shell, the
uninstall that leaves nothing of ours and keeps what was there before; then a
newer version over an older one, and an older one refused over a newer one.

What Wine's msiexec cannot show: the downgrade message of a silent run goes to
no log under Wine (Windows writes it there), so the test reads it from the box
of an interactive run; and Wine's exit codes are the low byte of Windows'
(1603 arrives as 67)."""

import re
import shutil
import subprocess
import tempfile
import unittest
import uuid
from pathlib import Path

import orvo_e2e as e2e
import test_installer as nsis
from orvo_e2e import ENV, MAIN_CLASS, WEB, OrvoTestCase, wait_until, wine_path

ERROR_INSTALL_FAILURE = 1603 & 0xFF
PRINT_CHOICE_HEIGHT = 318
VERSION = nsis.VERSION
INSTALL_DIR = r"C:\Program Files (x86)\orvo_Printer"
MACHINE_LIST = r"HKLM\Software\Policies\orvo\TrustedServers"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
WEB_ORIGIN = WEB + ("" if re.search(r":\d+$", WEB) else ":80")
# Set by an administrator before the install: never the package's to remove.
FOREIGN_ORIGIN = "https://gpo.example.com:443"
SCHEME_KEY = r"HKLM\Software\Classes\orvo"
# Keys that Wine adds or refreshes at random, and the empty containers in
# which Windows Installer keeps its products (every Windows has them; a
# product left in one would be a key below them).
NOT_OURS = re.compile(r"\\(Wine|Microsoft\\Windows NT\\CurrentVersion\\(Perflib|NetworkCards)|Microsoft\\Cryptography)(\\|$)"
                      r"|\\Classes\\Installer(\\(Features|Products|UpgradeCodes))?$"
                      r"|\\CurrentVersion\\Installer\\(UpgradeCodes|UserData(\\S-1-5-18(\\(Components|Products))?)?)$", re.I)

BUILD_MSI = e2e.REPO / "installer" / "msi" / "build-msi.sh"


def next_version(version):
    parts = version.split(".")
    return ".".join(parts[:-1] + [str(int(parts[-1]) + 1)])


def wine(*args, timeout=180):
    return nsis.wine(*args, timeout=timeout)


def registry_keys(root):
    """Every key under root in both registry views, as a set of names."""
    keys = set()
    with tempfile.TemporaryDirectory(dir=str(e2e.TEST_ROOT)) as tmp:
        for view in ("/reg:32", "/reg:64"):
            out = Path(tmp) / "export.reg"
            if wine("reg", "export", root, wine_path(out), "/y", view) == 0:
                text = out.read_bytes().decode("utf-16")
                keys |= {view + line[1:-1] for line in text.splitlines() if line.startswith("[")}
    return {k for k in keys if not NOT_OURS.search(k)}


class MsiPackage(OrvoTestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if not (shutil.which("wixl") and shutil.which("msibuild")):
            raise unittest.SkipTest("wixl or msibuild not installed (Debian packages wixl, msitools)")
        if not nsis.is_32bit(e2e.PROGRAM):
            raise unittest.SkipTest("the MSI package is built from the 32-bit programs")
        subprocess.run(["cmake", "--build", str(e2e.BUILD_DIR), "--target", "msi_package"], check=True,
                       stdout=subprocess.DEVNULL, timeout=600)
        msi_dir = e2e.BUILD_DIR / "installer" / "msi"
        cls.package = msi_dir / f"orvo-{VERSION}.msi"
        cls.shipped = msi_dir / "shipped"

        cls.root = Path(tempfile.mkdtemp(prefix="msi-", dir=str(e2e.TEST_ROOT)))
        # The next version: the same programs, told apart by a mark at the end
        # of orvo_Printer.exe (a PE file runs with bytes appended).
        cls.newer_version = next_version(VERSION)
        newer_printer = cls.root / "orvo_Printer.exe"
        cls.newer_printer_bytes = (cls.shipped / "orvo_Printer.exe").read_bytes() + b"next version\0"
        newer_printer.write_bytes(cls.newer_printer_bytes)
        cls.newer_package = cls.root / f"orvo-{cls.newer_version}.msi"
        subprocess.run(["bash", str(BUILD_MSI), cls.newer_version, str(newer_printer),
                        str(cls.shipped / "Agent.exe"), str(cls.shipped / "orvo_msi_actions.dll"),
                        str(e2e.REPO / "printer/resources/orvo_Printer.ico"), str(cls.newer_package)],
                       check=True, stdout=subprocess.DEVNULL, timeout=300)

        # A prefix that no other install has touched, with its own warm server
        # started inside the X session.
        cls.saved_prefix = ENV["WINEPREFIX"]
        cls.prefix = cls.root / "prefix"
        ENV["WINEPREFIX"] = str(cls.prefix)
        subprocess.run(["wineboot", "-i"], env=ENV, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=300)
        subprocess.run(["wineserver", "-p"], env=ENV, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=60)
        wine("reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0", "/f")

    @classmethod
    def tearDownClass(cls):
        if getattr(cls, "saved_prefix", None) is not None:
            subprocess.run(["wineserver", "-k"], env=ENV, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           timeout=60)
            ENV["WINEPREFIX"] = cls.saved_prefix
        if getattr(cls, "root", None) is not None:
            shutil.rmtree(cls.root, ignore_errors=True)
        super().tearDownClass()

    def tearDown(self):
        # A test that failed half-way must not leave its install to the next one.
        for code in self.entries():
            wine("msiexec", "/x", code, "/qn")
        super().tearDown()

    def unix_path(self, windows_path):
        drive, rest = windows_path.split(":", 1)
        return self.prefix / "drive_c" / Path(*[p for p in rest.split("\\") if p])

    def msiexec(self, *args, quiet=True):
        return wine("msiexec", *args, *(["/qn"] if quiet else []))

    def installed_files(self):
        folder = self.unix_path(INSTALL_DIR)
        return {p.name: p.read_bytes() for p in folder.iterdir()} if folder.exists() else {}

    def entries(self):
        """Our entries in the list of installed programs: {key: values}."""
        tree = nsis.reg_tree(UNINSTALL) or {}
        return {k: v for k, v in tree.items() if v.get("DisplayName") == "orvo_Printer"}

    def machine_list(self):
        tree = nsis.reg_tree(MACHINE_LIST, view="/reg:64")
        return None if tree is None else tree[""]

    def start_link(self):
        """Opens a print link through the shell; answers the program's main window."""
        token = uuid.uuid4().hex
        self.ui.expect_new_process()
        self.assertEqual(wine("start", f"orvo:cmd=print&filename={WEB}/files/{token}.doc"), 0)
        return self.ui("find", "--class", MAIN_CLASS, "--cmdline-has", token, "--visible",
                       "--height", PRINT_CHOICE_HEIGHT, timeout_ms=30000)["window"]

    def test_1_install_with_servers_opens_links_and_uninstall_leaves_nothing(self):
        self.assertEqual(wine("reg", "add", MACHINE_LIST, "/v", FOREIGN_ORIGIN, "/d", FOREIGN_ORIGIN, "/f",
                              "/reg:64"), 0)
        files_before = {p for p in (self.prefix / "drive_c").rglob("*") if "users" not in p.parts}
        keys_before = registry_keys("HKLM\\Software")

        # A list that names no server is refused whole, and nothing stays of the attempt.
        self.assertEqual(self.msiexec("/i", wine_path(self.package), "TRUSTEDSERVERS=report.example.com"),
                         ERROR_INSTALL_FAILURE)
        self.assertEqual(self.installed_files(), {})
        self.assertEqual(self.machine_list(), {FOREIGN_ORIGIN: FOREIGN_ORIGIN})

        servers = f"{WEB.upper()}/, https://GPO.example.com ,https://*.Example.org:8443"
        self.assertEqual(self.msiexec("/i", wine_path(self.package), f"TRUSTEDSERVERS={servers}"), 0)
        shipped = {name: (self.shipped / name).read_bytes() for name in ("orvo_Printer.exe", "Agent.exe")}
        self.assertEqual(self.installed_files(), shipped)
        self.assertEqual(nsis.reg_tree(SCHEME_KEY), nsis.scheme_tree(INSTALL_DIR))
        # One value per origin, named and holding it, in the form the program compares.
        self.assertEqual(self.machine_list(), {origin: origin for origin in (
            WEB_ORIGIN, FOREIGN_ORIGIN, "https://*.example.org:8443")})
        [entry] = self.entries().values()
        self.assertEqual((entry["DisplayVersion"], entry["Publisher"], entry["InstallLocation"]),
                         (VERSION, "orvo", INSTALL_DIR + "\\"))

        window = self.start_link()
        self.ui("find", "--pid", window["pid"], "--cmdline-has", INSTALL_DIR + "\\orvo_Printer.exe")
        self.ui("close", "--class", MAIN_CLASS, "--pid", window["pid"])
        self.ui("wait-gone", "--pid", window["pid"], timeout_ms=10000)

        self.assertEqual(self.msiexec("/x", wine_path(self.package)), 0)
        self.assertFalse(self.unix_path(INSTALL_DIR).exists())
        self.assertEqual(self.entries(), {})
        self.assertEqual(self.machine_list(), {FOREIGN_ORIGIN: FOREIGN_ORIGIN})
        self.assertEqual(wine("reg", "delete", MACHINE_LIST, "/f", "/reg:64"), 0)
        files_after = {p for p in (self.prefix / "drive_c").rglob("*") if "users" not in p.parts}
        # Windows Installer's own cache folder (every Windows has it) stays, empty.
        files_after.discard(self.prefix / "drive_c" / "windows" / "Installer")
        self.assertEqual(sorted(map(str, files_after - files_before)), [])
        self.assertEqual(sorted(registry_keys("HKLM\\Software") - keys_before), [])

    def test_2_newer_version_replaces_older_and_older_is_refused(self):
        self.assertEqual(self.msiexec("/i", wine_path(self.package), f"TRUSTEDSERVERS={WEB}"), 0)
        # No TRUSTEDSERVERS this time: the list the older version wrote stays.
        self.assertEqual(self.msiexec("/i", wine_path(self.newer_package)), 0)
        [entry] = self.entries().values()
        self.assertEqual(entry["DisplayVersion"], self.newer_version)
        self.assertEqual(self.installed_files()["orvo_Printer.exe"], self.newer_printer_bytes)
        self.assertEqual(self.machine_list(), {WEB_ORIGIN: WEB_ORIGIN})

        self.assertEqual(self.msiexec("/i", wine_path(self.package)), ERROR_INSTALL_FAILURE)
        # As a user sees it: the same refusal, with the message, in a box.
        self.ui.scope = []
        installer = subprocess.Popen(["wine", "msiexec", "/i", wine_path(self.package)], env=ENV,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            box = self.ui("press-ok", "--visible", timeout_ms=30000)
            self.assertIn("已安装更新版本的 orvo_Printer", box["text"])
            self.assertIn(f"不能再安装此旧版本（{VERSION}）", box["text"])
            self.assertEqual(installer.wait(timeout=60), ERROR_INSTALL_FAILURE)
        finally:
            if installer.poll() is None:
                installer.kill()
        [entry] = self.entries().values()
        self.assertEqual(entry["DisplayVersion"], self.newer_version)
        self.assertEqual(self.installed_files()["orvo_Printer.exe"], self.newer_printer_bytes)

        self.assertEqual(self.msiexec("/x", wine_path(self.newer_package)), 0)
        self.assertEqual(self.entries(), {})
        self.assertIsNone(self.machine_list())
        self.assertFalse(self.unix_path(INSTALL_DIR).exists())


if __name__ == "__main__":
    unittest.main()

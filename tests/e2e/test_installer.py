"""The installer under Wine: silent installs for all users and for the current
user, a link opened through the shell as a browser opens it, the refusal to
replace or remove a running program, and uninstalls that take away only what
the install wrote.

The shipped installer is 32-bit. A machine that cannot run 32-bit programs
tests the 64-bit build (build/win64), whose installer target makes the same
script for amd64 with the 64-bit programs."""

import re
import shutil
import subprocess
import tempfile
import unittest
import uuid
from pathlib import Path

import orvo_e2e as e2e
from orvo_e2e import ENV, MAIN_CLASS, WEB, OrvoTestCase, wait_until, wine_path

EXIT_RUNNING = 3
PRINT_CHOICE_HEIGHT = 318
SCHEME = r"Software\Classes\orvo"
ENTRY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\orvo_Printer"
PROGRAMS = ("orvo_Printer.exe", "Agent.exe", "uninstall.exe")
PREFIX = Path(ENV["WINEPREFIX"])


def cache_value(name):
    cache = (e2e.BUILD_DIR / "CMakeCache.txt").read_text(errors="replace")
    m = re.search(rf"^{name}:\w+=(.*)$", cache, re.M)
    return m.group(1) if m else ""


def is_32bit(exe):
    """Whether a Windows executable is built for x86 (PE machine 0x14C)."""
    data = exe.read_bytes()[:4096]
    header = int.from_bytes(data[0x3C:0x40], "little")
    return int.from_bytes(data[header + 4:header + 6], "little") == 0x14C


VERSION = cache_value("CMAKE_PROJECT_VERSION")
# The registry view the installer of this build writes to.
VIEW = "/reg:32" if e2e.PROGRAM.exists() and is_32bit(e2e.PROGRAM) else "/reg:64"


def wine(*args, timeout=120):
    """Runs a Windows program to its end; answers its exit code."""
    with tempfile.TemporaryFile() as out:
        return subprocess.run(["wine", *map(str, args)], stdout=out, stderr=out, stdin=subprocess.DEVNULL,
                              env=ENV, timeout=timeout).returncode


def unix_path(windows_path):
    """C:\\a\\b as a path in the test prefix."""
    drive, rest = windows_path.split(":", 1)
    assert drive.upper() == "C", windows_path
    return PREFIX / "drive_c" / Path(*[p for p in rest.split("\\") if p])


def reg_tree(key, view=VIEW):
    """A registry key with all its subkeys, as {relative subkey: {value name: data}}
    ("" is the key itself, "@" the default value); None when the key is absent."""
    with tempfile.TemporaryDirectory(dir=str(e2e.TEST_ROOT)) as tmp:
        out = Path(tmp) / "export.reg"
        if wine("reg", "export", key, wine_path(out), "/y", view) != 0 or not out.exists():
            return None
        text = out.read_bytes().decode("utf-16")
    tree, current, top = {}, None, None
    for line in text.splitlines():
        if line.startswith("["):
            name = line[1:-1]
            top = top or name  # the export names the key itself first, in full
            current = tree.setdefault(name[len(top):].lstrip("\\"), {})
        elif current is not None and "=" in line:
            name, data = line.split("=", 1)
            name = "@" if name == "@" else name.strip('"').replace('\\"', '"').replace("\\\\", "\\")
            if data.startswith('"'):
                data = data[1:-1].replace('\\"', '"').replace("\\\\", "\\")
            current[name] = data
    return tree


def scheme_tree(install_dir):
    """The scheme's keys exactly as an install into install_dir writes them."""
    return {
        "": {"@": "URL:orvo 报表打印", "URL Protocol": ""},
        "DefaultIcon": {"@": f'"{install_dir}\\orvo_Printer.exe",0'},
        "shell": {},
        "shell\\open": {},
        "shell\\open\\command": {"@": f'"{install_dir}\\Agent.exe" "%1"'},
    }


class InstallerTestCase(OrvoTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if not shutil.which("makensis"):
            raise unittest.SkipTest("makensis not installed (Debian package nsis)")
        subprocess.run(["cmake", "--build", str(e2e.BUILD_DIR), "--target", "installer"], check=True,
                       stdout=subprocess.DEVNULL, timeout=600)
        cls.setup_exe = e2e.BUILD_DIR / "installer" / f"orvo-setup-{VERSION}.exe"

    def setUp(self):
        super().setUp()
        self.remove_installs()
        self.started_pids = []  # Windows process ids of programs the shell started

    def tearDown(self):
        for pid in self.started_pids:
            wine("taskkill", "/F", "/PID", pid)
        self.remove_installs()
        super().tearDown()

    def remove_installs(self):
        """A clean prefix: no install and no orvo key of any earlier run."""
        for folder in [PREFIX / "drive_c/Program Files", PREFIX / "drive_c/Program Files (x86)",
                       *PREFIX.glob("drive_c/users/*/AppData/Local/Programs")]:
            shutil.rmtree(folder / "orvo_Printer", ignore_errors=True)
        keys = [f"{root}\\{key}" for root in ("HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER") for key in (SCHEME, ENTRY)]
        keys += ["HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\" + ENTRY.split("\\", 1)[1]]
        reg = self.workdir / "clean.reg"
        body = "".join(f"[-{key}]\r\n" for key in keys)
        reg.write_bytes(("\ufeffWindows Registry Editor Version 5.00\r\n\r\n" + body).encode("utf-16-le"))
        self.assertEqual(wine("regedit", "/S", wine_path(reg)), 0)

    def install(self, *switches):
        return wine(self.setup_exe, "/S", *switches)

    def uninstall_with_exit_code(self, install_dir):
        """Runs the uninstaller as NSIS itself does, from a copy outside the
        folder, waiting for it: its exit code is then the run's."""
        copy = self.workdir / "uninstall-copy.exe"
        shutil.copy(unix_path(install_dir + "\\uninstall.exe"), copy)
        # _?= must stand last and unquoted, so the line goes through a batch file.
        batch = self.workdir / "uninstall.bat"
        batch.write_bytes(f'@"{wine_path(copy)}" /S _?={install_dir}\r\n@exit /b %errorlevel%\r\n'.encode())
        return wine("cmd", "/c", wine_path(batch))

    def assertInstalledIn(self, root, install_dir):
        folder = unix_path(install_dir)
        self.assertEqual(sorted(p.name for p in folder.iterdir()), sorted(PROGRAMS))
        self.assertEqual(reg_tree(f"{root}\\{SCHEME}"), scheme_tree(install_dir))
        entry = reg_tree(f"{root}\\{ENTRY}")[""]
        self.assertEqual(entry["DisplayName"], "orvo_Printer")
        self.assertEqual(entry["DisplayVersion"], VERSION)
        self.assertEqual(entry["UninstallString"], f'"{install_dir}\\uninstall.exe"')
        self.assertEqual(entry["QuietUninstallString"], f'"{install_dir}\\uninstall.exe" /S')

    def entry_location(self, root):
        entry = reg_tree(f"{root}\\{ENTRY}")
        self.assertIsNotNone(entry, f"no entry in {root}'s list of installed programs")
        return entry[""]["InstallLocation"]


class AllUsersInstall(InstallerTestCase):
    def test_install_opens_links_refuses_a_running_program_and_uninstalls_cleanly(self):
        self.assertEqual(self.install("/AllUsers"), 0)
        install_dir = self.entry_location("HKLM")
        self.assertRegex(install_dir, r"^C:\\Program Files( \(x86\))?\\orvo_Printer$")
        self.assertInstalledIn("HKLM", install_dir)
        self.assertIsNone(reg_tree(f"HKCU\\{SCHEME}"))
        # One version everywhere: the project's, in both programs and the installer.
        version_text = f"{VERSION}.0".encode("utf-16-le")
        for exe in (unix_path(install_dir + "\\orvo_Printer.exe"), unix_path(install_dir + "\\Agent.exe"),
                    self.setup_exe):
            self.assertIn(version_text, exe.read_bytes(), f"{exe.name} carries version {VERSION}.0")

        # A link opened through the shell's URL handling, as a browser opens it.
        token = uuid.uuid4().hex
        self.ui.expect_new_process()
        self.assertEqual(wine("start", f"orvo:cmd=print&filename={WEB}/files/{token}.doc"), 0)
        window = self.ui("find", "--class", MAIN_CLASS, "--cmdline-has", token, "--visible",
                         "--height", PRINT_CHOICE_HEIGHT, timeout_ms=20000)["window"]
        self.started_pids.append(window["pid"])
        self.ui("find", "--pid", window["pid"], "--cmdline-has", install_dir + "\\orvo_Printer.exe")

        # While it runs, neither a new install nor the uninstall touches it.
        files = {name: unix_path(f"{install_dir}\\{name}") for name in PROGRAMS}
        before = {name: path.read_bytes() for name, path in files.items()}
        self.assertEqual(self.install("/AllUsers"), EXIT_RUNNING)
        self.assertEqual(self.uninstall_with_exit_code(install_dir), EXIT_RUNNING)
        self.assertEqual({name: path.read_bytes() for name, path in files.items()}, before)
        self.assertInstalledIn("HKLM", install_dir)

        self.ui("close", "--class", MAIN_CLASS, "--pid", window["pid"])
        self.ui("wait-gone", "--pid", window["pid"], timeout_ms=10000)
        self.started_pids.remove(window["pid"])
        # The uninstall as the list of installed programs runs it (it returns at
        # once and finishes from a copy of itself).
        self.assertEqual(wine(install_dir + "\\uninstall.exe", "/S"), 0)
        wait_until(lambda: not unix_path(install_dir).exists(), 30, message="the install folder to go")
        self.assertIsNone(reg_tree(f"HKLM\\{SCHEME}"))
        self.assertIsNone(reg_tree(f"HKLM\\{ENTRY}"))


class CurrentUserInstall(InstallerTestCase):
    def test_install_writes_under_hkcu_and_uninstall_leaves_foreign_keys(self):
        self.assertEqual(self.install("/CurrentUser"), 0)
        install_dir = self.entry_location("HKCU")
        self.assertRegex(install_dir, r"^C:\\users\\[^\\]+\\AppData\\Local\\Programs\\orvo_Printer$")
        self.assertInstalledIn("HKCU", install_dir)
        self.assertIsNone(reg_tree(f"HKLM\\{SCHEME}"))
        self.assertIsNone(reg_tree(f"HKLM\\{ENTRY}"))

        # Another program's verb under the same scheme is not ours to remove.
        foreign = r"shell\edit\command"
        self.assertEqual(wine("reg", "add", f"HKCU\\{SCHEME}\\{foreign}", "/ve", "/d", 'other.exe "%1"', "/f",
                              VIEW), 0)
        self.assertEqual(self.uninstall_with_exit_code(install_dir), 0)
        self.assertFalse(unix_path(install_dir).exists())
        self.assertIsNone(reg_tree(f"HKCU\\{ENTRY}"))
        self.assertEqual(reg_tree(f"HKCU\\{SCHEME}"), {
            # The scheme stays a scheme while someone's handler is left in it.
            "": {"@": "URL:orvo 报表打印", "URL Protocol": ""},
            "shell": {},
            "shell\\edit": {},
            foreign: {"@": 'other.exe "%1"'},
        })


if __name__ == "__main__":
    unittest.main()

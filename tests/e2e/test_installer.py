"""The installer under Wine: silent installs for all users and for the current
user, a link opened through the shell as a browser opens it, the refusal to
replace or remove a running program, and uninstalls that take away only what
the install wrote. Signing with a certificate made for the run, and
scripts/package.sh's refusal of keys that decode no real link.

The shipped installer is 32-bit. A machine that cannot run 32-bit programs
tests the 64-bit build (build/win64), whose installer target makes the same
script for amd64 with the 64-bit programs."""

import os
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
MACHINE_SERVERS = r"Software\Policies\orvo\TrustedServers"
USER_SERVERS = r"Software\orvo\TrustedServers"
# What /Servers= hands the installer, and the values it writes from it.
SERVERS = "http://reports.example:8080,https://*.corp.example"
SERVER_VALUES = {"http://reports.example:8080": "", "https://*.corp.example": ""}


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
        keys += [f"HKEY_CURRENT_USER\\{USER_SERVERS}"]
        body = "".join(f"[-{key}]\r\n" for key in keys)
        # Servers an earlier run wrote; the harness's own stay.
        body += f"[HKEY_LOCAL_MACHINE\\{MACHINE_SERVERS}]\r\n"
        body += "".join(f'"{name}"=-\r\n' for name in SERVER_VALUES)
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
        self.assertEqual(self.install("/AllUsers", f"/Servers={SERVERS}"), 0)
        install_dir = self.entry_location("HKLM")
        self.assertRegex(install_dir, r"^C:\\Program Files( \(x86\))?\\orvo_Printer$")
        self.assertInstalledIn("HKLM", install_dir)
        self.assertIsNone(reg_tree(f"HKCU\\{SCHEME}"))
        # The servers go to the machine list, beside what was there before.
        before_servers = reg_tree(f"HKLM\\{MACHINE_SERVERS}")[""]
        self.assertLessEqual(SERVER_VALUES.items(), before_servers.items())
        self.assertTrue(set(before_servers) - set(SERVER_VALUES), "the test web server stays trusted")
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
        # Only the servers this install wrote leave the machine list.
        self.assertEqual(reg_tree(f"HKLM\\{MACHINE_SERVERS}")[""],
                         {k: v for k, v in before_servers.items() if k not in SERVER_VALUES})


class CurrentUserInstall(InstallerTestCase):
    def test_install_writes_under_hkcu_and_uninstall_leaves_foreign_keys(self):
        self.assertEqual(self.install("/CurrentUser", f"/Servers={SERVERS}"), 0)
        install_dir = self.entry_location("HKCU")
        # Without the rights to write the machine list, the user's own list.
        self.assertEqual(reg_tree(f"HKCU\\{USER_SERVERS}"), {"": SERVER_VALUES})
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
        self.assertIsNone(reg_tree(f"HKCU\\{USER_SERVERS}"))
        self.assertEqual(reg_tree(f"HKCU\\{SCHEME}"), {
            # The scheme stays a scheme while someone's handler is left in it.
            "": {"@": "URL:orvo 报表打印", "URL Protocol": ""},
            "shell": {},
            "shell\\edit": {},
            foreign: {"@": 'other.exe "%1"'},
        })


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                   timeout=60)


def make_code_signing_certificate(folder):
    """A throwaway certificate authority and a code-signing certificate it
    issued, as a PKCS#12 file with its password in a file. Answers the
    PKCS#12 file, the password file and the authority's certificate."""
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
            "-subj", "/CN=orvo throwaway test CA", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=folder)
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "signer.key", "-out", "signer.csr",
            "-subj", "/CN=orvo test signer", cwd=folder)
    (folder / "signer.ext").write_text("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                                       "extendedKeyUsage=codeSigning\n")
    openssl("x509", "-req", "-in", "signer.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-out", "signer.pem", "-days", "2", "-extfile", "signer.ext", cwd=folder)
    (folder / "pass.txt").write_text(uuid.uuid4().hex + "\n")
    openssl("pkcs12", "-export", "-inkey", "signer.key", "-in", "signer.pem", "-certfile", "ca.pem",
            "-out", "signer.pfx", "-passout", "file:pass.txt", cwd=folder)
    return folder / "signer.pfx", folder / "pass.txt", folder / "ca.pem"


def verify_signature(exe, ca=None):
    """osslsigncode's verdict on a file's Authenticode signature, against the
    authority ca (default: the system's trusted ones): (ok, its report)."""
    args = ["osslsigncode", "verify"] + (["-CAfile", str(ca)] if ca else []) + ["-in", str(exe)]
    out = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
    return out.returncode == 0, out.stdout.decode(errors="replace")


class SignedInstall(InstallerTestCase):
    def setUp(self):
        super().setUp()
        if not (shutil.which("osslsigncode") and shutil.which("openssl")):
            self.skipTest("osslsigncode or openssl not installed")

    def tearDown(self):
        # The next installer build makes the unsigned one again.
        self.setup_exe.unlink(missing_ok=True)
        super().tearDown()

    def test_programs_uninstaller_and_installer_are_signed_and_installed_signed(self):
        pfx, password, ca = make_code_signing_certificate(self.workdir)
        self.setup_exe.unlink(missing_ok=True)
        env = dict(os.environ, ORVO_SIGN_PFX=str(pfx), ORVO_SIGN_PASS_FILE=str(password))
        subprocess.run(["cmake", "--build", str(e2e.BUILD_DIR), "--target", "installer"], check=True, env=env,
                       stdout=subprocess.DEVNULL, timeout=600)
        shipped = e2e.BUILD_DIR / "installer" / "shipped"

        self.assertEqual(self.install("/CurrentUser", r"/D=C:\orvo-signed"), 0)
        installed = unix_path(r"C:\orvo-signed")
        self.assertEqual(sorted(p.name for p in installed.iterdir()), sorted(PROGRAMS))
        for exe in (self.setup_exe, shipped / "Agent.exe", shipped / "orvo_Printer.exe",
                    installed / "uninstall.exe", installed / "Agent.exe", installed / "orvo_Printer.exe"):
            ok, report = verify_signature(exe, ca)
            self.assertTrue(ok, f"{exe}: {report}")
            self.assertIn("CN=orvo test signer", report, exe)
            self.assertRegex(report, r"(?i)message digest algorithm\s*:\s*SHA256", exe)
        for name in ("Agent.exe", "orvo_Printer.exe"):
            self.assertEqual((installed / name).read_bytes(), (shipped / name).read_bytes(),
                             f"the installed {name} is the signed one")
        # The check rests on the chain: the same signature against the
        # system's authorities, which never issued it, fails.
        ok, report = verify_signature(self.setup_exe)
        self.assertFalse(ok, report)
        shutil.rmtree(installed, ignore_errors=True)


class PackageKeyCheck(unittest.TestCase):
    """scripts/package.sh stops before building when the key would decode no
    link of the real web system."""

    def package(self, *args):
        out = subprocess.run(["bash", str(e2e.REPO / "scripts" / "package.sh"), *args], stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, timeout=60, cwd=str(e2e.REPO))
        return out.returncode, out.stdout.decode(errors="replace")

    def test_refuses_the_placeholder_and_the_tests_key(self):
        cmake = (e2e.REPO / "CMakeLists.txt").read_text()
        builtin = [re.search(rf'^set\({name}\s+"(\w+)"', cmake, re.M).group(1)
                   for name in ("ORVO_RSA_MODULUS", "ORVO_RSA_EXPONENT")]
        code, out = self.package(f"-DORVO_RSA_MODULUS={builtin[0]}", f"-DORVO_RSA_EXPONENT={builtin[1]}")
        self.assertEqual(code, 1, out)
        self.assertIn("--test-key", out)
        self.assertNotIn("Building", out)
        if e2e.KEY_FILE.exists():
            key = dict(line.split("=", 1) for line in e2e.KEY_FILE.read_text().split())
            code, out = self.package(f"-DORVO_RSA_MODULUS={key['ORVO_RSA_MODULUS']}",
                                     f"-DORVO_RSA_EXPONENT={key['ORVO_RSA_EXPONENT']}")
            self.assertEqual(code, 1, out)
            self.assertIn("tests' key", out)
        code, out = self.package("--test-key", "-DORVO_RSA_MODULUS=00")
        self.assertEqual(code, 1, out)


if __name__ == "__main__":
    unittest.main()

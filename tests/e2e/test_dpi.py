"""The print choice on a screen of 144 DPI (150 %): every design pixel of the
layout, the fonts and the shadow scale by 1.5. Wine takes the system DPI from
LogPixels when a program starts; the value holds for the whole prefix, so
this module restores it and must not run beside other tests."""

import subprocess

from orvo_e2e import ENV, SHADOW_CLASS, OrvoTestCase, TEST_ROOT, WEB, screenshot, wait_until
from test_main_window import EXPANDED, PRINT_CHOICE, WIDTH

DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
DPI = 144


def scaled(design):
    """Design pixels at DPI, rounded as MulDiv rounds."""
    return (design * DPI + 48) // 96


def wine_reg(*args):
    return subprocess.run(["wine", "reg", *args], env=ENV, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          stdin=subprocess.DEVNULL, timeout=60)


def set_log_pixels(value):
    if value is None:
        wine_reg("delete", DESKTOP_KEY, "/v", "LogPixels", "/f")
    else:
        wine_reg("add", DESKTOP_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(value), "/f")


def current_log_pixels():
    out = wine_reg("query", DESKTOP_KEY, "/v", "LogPixels")
    if out.returncode != 0:
        return None
    for line in out.stdout.decode(errors="replace").splitlines():
        if "LogPixels" in line:
            return int(line.split()[-1], 0)
    return None


class HighDpiTest(OrvoTestCase):
    def setUp(self):
        super().setUp()
        self.addCleanup(set_log_pixels, current_log_pixels())
        set_log_pixels(DPI)

    def test_print_choice_scales_with_the_system_dpi(self):
        self.start(f"orvo:cmd=print&filename={WEB}/missing/r.doc")
        window = self.ui.main("--visible", "--height", scaled(EXPANDED), timeout_ms=10000)
        screenshot(TEST_ROOT / "print-choice-144dpi.png")
        self.assertEqual(window["client"], {"width": scaled(WIDTH), "height": scaled(EXPANDED)})
        self.assertEqual((scaled(WIDTH), scaled(EXPANDED)), (759, 477))

        controls = self.ui.main_controls()
        for name, ((x, y, w, h), visible) in PRINT_CHOICE.items():
            with self.subTest(control=name):
                place = controls[name]["in_parent"]
                self.assertEqual((place["left"], place["top"]), (scaled(x), scaled(y)))
                if w is not None:
                    self.assertEqual((place["width"], place["height"]), (scaled(w), scaled(h)))
        # Texts grow with their fonts: the 14-pixel status text is 21 pixels high here.
        self.assertGreaterEqual(controls["Label1"]["in_parent"]["height"], scaled(14))

        # The shadow keeps its proportions around the window.
        def placed():
            shadows = [w for w in self.ui.windows_of(window["pid"]) if w["class"] == SHADOW_CLASS]
            if not shadows or not shadows[0]["visible"]:
                return None
            s, m = shadows[0]["rect"], window["rect"]
            return (s["left"] - m["left"], s["top"] - m["top"], s["width"] - m["width"], s["height"] - m["height"])
        self.assertEqual(wait_until(placed, 5, message="the shadow"), (scaled(-16), scaled(-14), scaled(32), scaled(32)))

"""The main window seen from outside: layouts by mode, the printer list, the
drop shadow, closing, and how intake failures are shown."""

import time
import unittest

from orvo_e2e import (APP_TITLE, MAIN_CLASS, MAIN_TITLE, SHADOW_CLASS, WEB, OrvoTestCase, cups_printers,
                      link_for, screen_size, wait_until, x_stacking, xdotool)

EXPANDED = 318
COMPACT = 80
WIDTH = 506

# Control: (left, top, width, height or None when sized by its text), visible in the print choice.
PRINT_CHOICE = {
    "FlatGauge": ((16, 272, 473, 25), True),
    "Label1": ((18, 248, None, None), True),
    "Panel1": ((0, 0, 506, 28), True),
    "Label_Title": ((14, 4, None, None), True),
    "ImgBtn1": ((460, 0, 46, 28), True),
    "Image1": ((16, 64, 105, 105), True),
    "lb_fileName": ((256, 80, None, None), False),
    "btn_Print": ((200, 184, 137, 41), True),
    "Label3": ((160, 80, None, None), True),
    "FlatComboBox": ((160, 112, 329, 28), True),
    "btn_PrintFile": ((352, 184, 137, 41), True),
    "btn_ViewFile": ((48, 184, 137, 41), False),
}
HIDDEN_WHEN_COMPACT = ("Image1", "Label3", "FlatComboBox", "btn_Print", "btn_PrintFile")

PLAIN_REPORT = f"filename={WEB}/missing/r.doc"
# View mode downloads at once; a reply this slow keeps the loading strip up
# while it is looked at.
SLOW_REPORT = f"filename={WEB}/gen/64/r.doc?delay_ms=20000"


class MainWindowTestCase(OrvoTestCase):
    def shadow(self, pid):
        shadows = [w for w in self.ui.windows_of(pid) if w["class"] == SHADOW_CLASS]
        self.assertEqual(len(shadows), 1, "one drop shadow window")
        return shadows[0]

    def dismiss_box(self, pid, timeout_ms=1500):
        """Presses OK on a message box of the program, if one comes up."""
        return self.ui("press-ok", "--pid", pid, timeout_ms=timeout_ms, check=False)

    def centre(self):
        w, h = screen_size()
        return (w - WIDTH) // 2, h // 2


class PrintChoiceTest(MainWindowTestCase):
    def test_unknown_mode_opens_the_print_choice(self):
        self.start(f"orvo:cmd=print&{PLAIN_REPORT}")
        window = self.ui.main("--visible", "--height", EXPANDED, timeout_ms=10000)
        left, middle = self.centre()
        self.assertEqual(window["title"], MAIN_TITLE)
        self.assertEqual((window["rect"]["left"], window["rect"]["top"]), (left, middle - 150))
        self.assertEqual(window["client"], {"width": WIDTH, "height": EXPANDED})

        controls = self.ui.main_controls()
        for name, ((x, y, w, h), visible) in PRINT_CHOICE.items():
            with self.subTest(control=name):
                c = controls[name]
                place = c["in_parent"]
                self.assertEqual((place["left"], place["top"]), (x, y))
                if w is not None:
                    self.assertEqual((place["width"], place["height"]), (w, h))
                self.assertEqual(c["visible"], visible)
        self.assertEqual(controls["Label1"]["text"], "等待打印...")
        self.assertEqual(controls["Label_Title"]["text"], "orvo 报表打印系统")
        self.assertEqual(controls["Label3"]["text"], "请选择打印机")
        self.assertEqual(controls["btn_Print"]["text"], "设置并打印")
        self.assertEqual(controls["btn_PrintFile"]["text"], "直接打印")
        self.assertEqual(controls["btn_ViewFile"]["text"], "浏览文件")
        self.assertEqual(controls["FlatGauge"]["progress"]["pos"], 0)

        # The printers as CUPS has them, the default one selected; the hidden
        # label keeps the default's name for the print flows.
        names, default = cups_printers()
        combo = controls["FlatComboBox"]["combo"]
        self.assertEqual(sorted(combo["items"]), sorted(names))
        self.assertEqual(combo["items"][combo["selected"]], default)
        self.assertEqual(controls["lb_fileName"]["text"], default)

    def test_modes_are_case_sensitive(self):
        for request in (f"orvo:cmd=VIEWF&{PLAIN_REPORT}", f"orvo:cmd=Login&{PLAIN_REPORT}"):
            with self.subTest(request=request):
                program = self.start(request)
                window = self.ui.main("--visible", "--height", EXPANDED, timeout_ms=10000)
                self.assertEqual(self.ui.main_control("Label_Title")["text"], "orvo 报表打印系统")
                self.assertTrue(self.ui.main_control("FlatComboBox")["visible"])
                self.ui("close", "--hwnd", window["hwnd"])
                self.assertEnds(program)

    def test_request_without_mode_or_parameters(self):
        # No "cmd": the mode is characters 4 to 8 of the request, matching no
        # branch; no "filename": nothing is cut, nothing is reported.
        self.start("orvo:viewf")
        self.ui.main("--visible", "--height", EXPANDED, timeout_ms=10000)
        self.assertIsNone(self.ui("msgbox", "--pid", self.ui.main()["pid"], timeout_ms=300, check=False))

    def test_forwarded_request_is_answered_and_ignored(self):
        self.start(f"orvo:cmd=print&{PLAIN_REPORT}")
        before = self.ui.main("--visible", "--height", EXPANDED, timeout_ms=10000)
        answer = self.ui("copydata", "--class", MAIN_CLASS, "--text", f"orvo:cmd=viewf&{PLAIN_REPORT}")
        self.assertEqual(answer["answer"], 0)
        answer = self.ui("copydata", "--title", APP_TITLE, "--class", "TApplication", "--text", "orvo:cmd=viewf")
        self.assertEqual(answer["answer"], 0)
        time.sleep(0.3)  # long enough for a dispatch timer to have fired
        after = self.ui.main()
        self.assertEqual(after["rect"], before["rect"])
        self.assertEqual(self.ui.main_control("Label_Title")["text"], "orvo 报表打印系统")


class CompactLayoutTest(MainWindowTestCase):
    def assert_compact(self, window):
        left, middle = self.centre()
        self.assertEqual((window["rect"]["left"], window["rect"]["top"]), (left, middle - 40))
        self.assertEqual(window["rect"]["height"], COMPACT)
        controls = self.ui.main_controls()
        self.assertEqual(controls["Label_Title"]["text"], "正在加载")
        for name in HIDDEN_WHEN_COMPACT:
            self.assertFalse(controls[name]["visible"], name)
        self.assertTrue(controls["FlatGauge"]["visible"])
        self.assertEqual(controls["FlatGauge"]["in_parent"]["top"], 42)

    def test_view_mode_is_a_loading_strip_and_never_the_print_choice(self):
        program = self.start(f"orvo:cmd=viewf&{SLOW_REPORT}")
        window = self.ui.main("--visible", "--height", COMPACT, timeout_ms=10000)
        self.assert_compact(window)
        # Watch it for a while: the print choice never comes.
        deadline = time.time() + 1.0
        while time.time() < deadline and program.running():
            w = self.ui.main(check=False, timeout_ms=0)
            if w and w["visible"]:
                self.assertNotEqual(w["rect"]["height"], EXPANDED)
        self.assertFalse(self.ui.main_control("FlatComboBox")["visible"])

    def test_enciphered_request_is_decoded_before_dispatch(self):
        link = link_for(f"cmd=viewf&{SLOW_REPORT}&title=%E6%8A%A5%E8%A1%A8&server=s&type=t&guid=g&x=y")
        if link is None:
            self.skipTest("no link builder or no key matching this build")
        self.assertNotIn("viewf", link)
        self.start(link)
        self.assert_compact(self.ui.main("--visible", "--height", COMPACT, timeout_ms=10000))


class ShadowTest(MainWindowTestCase):
    def test_shadow_sits_behind_and_follows_the_window(self):
        self.start(f"orvo:cmd=print&{PLAIN_REPORT}")
        window = self.ui.main("--visible", "--height", EXPANDED, timeout_ms=10000)
        pid = window["pid"]

        def placed(w):
            s = self.shadow(pid)
            r, m = s["rect"], w["rect"]
            return s["visible"] and (r["left"], r["top"], r["width"], r["height"]) == \
                (m["left"] - 16, m["top"] - 14, m["width"] + 32, m["height"] + 32)

        wait_until(lambda: placed(window), 5, message="the shadow around the window")
        self.assert_shadow_below(window)
        # Drag the title strip: the window moves with the mouse, the shadow with it.
        x, y = window["rect"]["left"] + 250, window["rect"]["top"] + 12
        xdotool("mousemove", x, y, "mousedown", "1")
        xdotool("mousemove", x + 30, y + 20)
        xdotool("mousemove", x + 40, y + 30)
        xdotool("mouseup", "1")
        moved = wait_until(lambda: (lambda w: w if w["rect"]["left"] == window["rect"]["left"] + 40 else None)(
            self.ui.main()), 5, message="the window to follow the drag")
        self.assertEqual(moved["rect"]["top"], window["rect"]["top"] + 30)
        wait_until(lambda: placed(moved), 5, message="the shadow to follow")
        self.assert_shadow_below(moved)

    def assert_shadow_below(self, window):
        """On the screen (the X server's stacking) the window lies over its shadow."""
        r = window["rect"]
        main_geometry = (r["width"], r["height"], r["left"], r["top"])
        shadow_geometry = (r["width"] + 32, r["height"] + 32, r["left"] - 16, r["top"] - 14)

        def order():
            stack = [geometry for _, _, geometry in x_stacking()]
            if main_geometry in stack and shadow_geometry in stack:
                return stack.index(main_geometry), stack.index(shadow_geometry)
            return None
        main_at, shadow_at = wait_until(order, 5, message="both windows on the X server")
        self.assertLess(main_at, shadow_at)

    def minimise_and_restore(self, pid):
        self.ui("minimize", "--class", MAIN_CLASS)
        wait_until(lambda: self.ui.main()["iconic"], 5, message="the window to minimise")
        self.assertFalse(self.shadow(pid)["visible"], "the shadow hides with the window")
        self.ui("restore", "--class", MAIN_CLASS)
        wait_until(lambda: not self.ui.main()["iconic"], 5, message="the window to come back")

    def test_restore_brings_the_shadow_back_in_the_print_choice(self):
        self.start(f"orvo:cmd=print&{PLAIN_REPORT}")
        pid = self.ui.main("--visible", "--height", EXPANDED, timeout_ms=10000)["pid"]
        self.minimise_and_restore(pid)
        wait_until(lambda: self.shadow(pid)["visible"], 5, message="the shadow to come back")

    def test_restore_leaves_the_shadow_away_in_the_loading_strip(self):
        self.start(f"orvo:cmd=viewf&{SLOW_REPORT}")
        pid = self.ui.main("--visible", "--height", COMPACT, timeout_ms=10000)["pid"]
        self.dismiss_box(pid)
        self.assertTrue(self.shadow(pid)["visible"])
        self.minimise_and_restore(pid)
        time.sleep(0.3)
        self.assertEqual(self.ui.main()["rect"]["height"], COMPACT)
        self.assertFalse(self.shadow(pid)["visible"])


class EndingTest(MainWindowTestCase):
    def test_empty_request_ends_the_program(self):
        for request in ("", None):
            with self.subTest(request=request):
                program = self.start(request)
                self.assertEnds(program)

    def test_close_button_ends_the_program(self):
        program = self.start(f"orvo:cmd=print&{PLAIN_REPORT}")
        pid = self.ui.main("--visible", "--height", EXPANDED, timeout_ms=10000)["pid"]
        self.ui("click", "--class", MAIN_CLASS, "ImgBtn1")
        self.assertEnds(program)
        self.assertEqual(self.ui.windows_of(pid), [])

    def test_cancelled_file_choice_ends_the_sign_mode(self):
        program = self.start(f"orvo:cmd=signf&{PLAIN_REPORT}")
        dialog = self.ui("find", "--class", "#32770", "--title", "请选择投标文件进行盖章", "--visible",
                         timeout_ms=10000)["window"]
        self.assertEqual(self.ui.main()["rect"]["height"], COMPACT)
        self.ui("click", "--hwnd", dialog["hwnd"], "2", "--command")  # Cancel
        self.assertEnds(program)


class IntakeFailureTest(MainWindowTestCase):
    def test_decoding_error_is_shown_then_the_program_ends(self):
        for payload, message in (("orvo:sys=ZZ", "Error: not a Hex String."),
                                 ("orvo:sys=2A2A2A2A", "Invalid Base64 Character.")):
            with self.subTest(payload=payload):
                program = self.start(payload)
                box = self.ui("msgbox", "--title", APP_TITLE, "--visible", timeout_ms=10000)
                self.assertEqual(box["caption"], APP_TITLE)
                self.assertEqual(box["text"], message)
                self.assertEqual([b["id"] for b in box["buttons"]], [1])
                # Nothing was dispatched: the window keeps its zero height.
                time.sleep(0.3)
                self.assertEqual(self.ui.main()["rect"]["height"], 0)
                self.ui("press-ok", "--hwnd", box["window"]["hwnd"])
                self.assertEnds(program)

    def test_parameter_error_is_shown_and_the_mode_still_dispatched(self):
        program = self.start(f"orvo:cmd=print&{PLAIN_REPORT}&title=t&server=s")
        box = self.ui("msgbox", "--title", APP_TITLE, "--visible", timeout_ms=10000)
        # ")" sorts below ".", so the box adds no full stop to this message.
        self.assertEqual(box["text"], "List index out of bounds (3)")
        # The dispatch timer runs behind the box.
        self.ui.main("--height", EXPANDED, timeout_ms=5000)
        self.ui("press-ok", "--hwnd", box["window"]["hwnd"])
        # The default printer was never read: the rest of the show step was skipped.
        self.assertEqual(self.ui.main_control("lb_fileName")["text"], "")
        self.assertTrue(program.running())


if __name__ == "__main__":
    unittest.main()

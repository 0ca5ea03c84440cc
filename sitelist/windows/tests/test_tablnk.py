#!/usr/bin/python3
"""Black-box tests of TABLNK.exe under Wine on the harness's Xvfb display:
start-up with and without settings, the upgrade of earlier-version files with
its message and "Stop" box, the splash, the About box, the menus, window
positions in TABLNK.INI, and screenshots of all of them.

Usage: test_tablnk.py TABLNK.exe winctl.exe tablnk_fixture.exe
"""
import os
import re
import subprocess
import time
import unittest

import tablnk_driver as driver
import txharness as h

TABLNK, WINCTL, FIXTURE = driver.take_programs()
SHOTS = driver.SHOTS
WORK = os.path.abspath("tablnk-work")
INI = driver.INI
read_ini, write_ini = driver.read_ini, driver.write_ini

# Menu command numbers (resource.h).
IDM_FILE_PRINTSETUP = 2005
IDM_FILE_EXIT = 2006
IDM_WINDOW_CASCADE = 2302
IDM_HELP_ABOUT = 2403

NEW_VERSION_TEXT = ("To allow you to take full advantage of all the new features in this version of "
                    "Tabulink, your files must be updated.  Press OK to begin upgrading files.")


def fixture(*args, timeout=300):
    return driver.fixture_json(args, cwd=WORK, timeout=timeout)


class TablnkTest(driver.TablnkCase):
    """Each test starts from no TABLNK.INI and an empty working directory."""

    WORK = WORK

    # ---- helpers --------------------------------------------------------------

    def start(self):
        return self.launch()

    def wait_frame(self, timeout=30):
        frame = self.find_frame(timeout=timeout)
        self.assertTrue(frame, "the frame did not open")
        end = time.time() + 10
        while time.time() < end and not self.ctl.describe(frame)["visible"]:
            time.sleep(0.1)
        return frame

    def expect_box(self, title, text=None, press=None, timeout=30, text_match=None):
        """Waits for a message box; fails on a box with another title or text.
        Returns the box (and presses `press` when given)."""
        end = time.time() + timeout
        while time.time() < end:
            for box in self.boxes():
                self.assertEqual(box["title"], title, "unexpected box %r" % box)
                joined = " ".join(box["texts"])
                if text is not None:
                    self.assertIn(text, box["texts"], "box %r" % box)
                if text_match is not None:
                    self.assertRegex(joined, text_match)
                if press is not None:
                    buttons = [b.replace("&", "") for b in box["buttons"]]
                    self.assertIn(press, buttons, "box %r" % box)
                    self.assertTrue(self.ctl.ask("click", box["hwnd"], press)["ok"])
                    self.assertTrue(self.ctl.wait("#32770", title, timeout=10, gone=True))
                return box
            if self.proc is not None and self.proc.poll() is not None:
                self.fail("the program ended (%s) before the box %r" % (self.proc.returncode, title))
            time.sleep(0.1)
        self.fail("no box titled %r appeared" % title)

    def boxes(self):
        """Dialogs on the display, without the upgrade's progress window."""
        return [b for b in self.ctl.boxes() if b["title"] != "Processing Records"]

    def assert_no_box(self):
        self.assertEqual(self.boxes(), [], "unexpected box")

    def exit_program(self, frame):
        self.assertTrue(self.ctl.ask("command", frame, IDM_FILE_EXIT)["ok"])
        self.assertEqual(self.proc.wait(timeout=20), 0)

    def shot(self, name):
        return h.screenshot(os.path.join(SHOTS, name))

    def ksf(self):
        return sorted(n for n in os.listdir(WORK) if n.upper().endswith(".KSF"))

    # ---- start-up and splash ------------------------------------------------------

    def test_first_start_without_settings(self):
        self.start()
        frame = self.wait_frame()
        splash = self.ctl.wait("TabulinkSplash", "Splash", timeout=10)
        self.assertTrue(splash, "no splash")
        seen = time.time()
        info = self.ctl.describe(splash)
        self.assertTrue(info["visible"])
        self.assertEqual(info["owner"], frame)
        self.shot("tablnk-frame-splash.png")
        self.assert_no_box()
        self.assertEqual(read_ini().get("System", {}).get("Version"), "1.5")
        ftitle = self.ctl.describe(frame)
        self.assertEqual(ftitle["title"], "Tabulink")
        # The splash closes itself after 3 seconds.
        self.assertTrue(self.ctl.wait("TabulinkSplash", "Splash", timeout=8, gone=True))
        gone = time.time() - seen
        self.assertGreater(gone, 1.5)
        self.assertLess(gone, 5.0)
        self.assert_no_box()
        # The site browse opened at start, and with it its files (created empty);
        # no earlier-version file was made.
        hosts = [c["text"] for c in self.ctl.describe(frame)["children"] if c["class"] == "TabulinkWindow"]
        self.assertEqual(hosts, ["Browse Locations"])
        self.assertEqual(self.ksf(), ["URL_C.KSF", "URL_L.KSF"])
        self.exit_program(frame)
        ini = read_ini()
        self.assertEqual(ini["System"]["Version"], "1.5")
        self.assertEqual(ini["Main"]["Maximize"], "No")
        self.assertNotIn("Export", ini)

    def test_splash_closes_at_first_menu_choice(self):
        self.start()
        frame = self.wait_frame()
        self.assertTrue(self.ctl.wait("TabulinkSplash", "Splash", timeout=10))
        t = time.time()
        self.ctl.ask("command", frame, IDM_WINDOW_CASCADE)
        self.assertTrue(self.ctl.wait("TabulinkSplash", "Splash", timeout=3, gone=True))
        self.assertLess(time.time() - t, 1.5)
        self.exit_program(frame)

    def test_splash_closes_on_a_click(self):
        self.start()
        frame = self.wait_frame()
        splash = self.ctl.wait("TabulinkSplash", "Splash", timeout=10)
        x, y, w, hgt = self.ctl.describe(splash)["rect"]
        t = time.time()
        subprocess.run(["xdotool", "mousemove", str(x + w // 2), str(y + hgt // 2), "click", "3"],
                       env=h.wine_env(), check=True)
        self.assertTrue(self.ctl.wait("TabulinkSplash", "Splash", timeout=3, gone=True))
        self.assertLess(time.time() - t, 1.5)
        self.exit_program(frame)

    def test_start_with_current_version_does_not_look_for_old_files(self):
        write_ini({"System": {"Version": "1.5"}})
        fixture("old", 3)
        self.start()
        frame = self.wait_frame()
        self.assert_no_box()
        self.assertIn("TABLNK.KSF", self.ksf())
        self.exit_program(frame)

    # ---- menus, About, Print Setup ----------------------------------------------------

    def test_menus_and_about(self):
        self.start()
        frame = self.wait_frame()
        self.ctl.ask("command", frame, IDM_WINDOW_CASCADE)  # closes the splash
        self.assertTrue(self.ctl.wait("TabulinkSplash", "Splash", timeout=3, gone=True))
        for letter, name in (("f", "file"), ("b", "browse"), ("r", "reports"), ("w", "window"), ("h", "help")):
            self.assertTrue(self.ctl.ask("keymenu", frame, letter)["ok"])
            self.assertTrue(self.ctl.wait("#32768", "", timeout=5), "menu %s did not open" % name)
            time.sleep(0.3)
            self.shot("tablnk-menu-%s.png" % name)
            if name == "reports":
                self.ctl.ask("key", frame, 39)  # Right: opens the "Locations" sub-menu
                time.sleep(0.5)
                self.shot("tablnk-menu-reports-locations.png")
                self.ctl.ask("key", frame, 27)
            self.ctl.ask("key", frame, 27)
            self.ctl.ask("key", frame, 27)
            self.assertTrue(self.ctl.wait("#32768", "", timeout=5, gone=True), "menu %s stayed open" % name)
            time.sleep(0.2)
        self.ctl.ask("command", frame, IDM_HELP_ABOUT)
        box = self.expect_box("About Tabulink")
        self.assertIn("Version 1.5", box["texts"])
        self.assertEqual([b for b in box["buttons"]], ["&OK"])
        about = box["hwnd"]
        info = self.ctl.describe(about)
        self.assertEqual(info["owner"], frame)
        self.assertFalse(self.ctl.describe(frame)["enabled"], "About is not modal")
        logo = [c for c in info["children"] if c["class"] == "Static" and c["rect"][2] >= 200]
        self.assertTrue(logo, "no logo in the About box")
        self.shot("tablnk-about.png")
        # Moved About boxes reopen where they were left.
        self.ctl.ask("move", about, 123, 97, info["rect"][2], info["rect"][3])
        time.sleep(0.3)
        self.ctl.ask("click", about, "OK")
        self.assertTrue(self.ctl.wait("#32770", "About Tabulink", timeout=5, gone=True))
        self.assertTrue(self.ctl.describe(frame)["enabled"])
        about_ini = read_ini()["About"]
        self.assertEqual((about_ini["XPosit"], about_ini["YPosit"]), ("123", "97"))
        self.ctl.ask("command", frame, IDM_HELP_ABOUT)
        box = self.expect_box("About Tabulink")
        self.assertEqual(self.ctl.describe(box["hwnd"])["rect"][:2], [123, 97])
        self.ctl.ask("click", box["hwnd"], "OK")
        self.assertTrue(self.ctl.wait("#32770", "About Tabulink", timeout=5, gone=True))
        self.exit_program(frame)

    def test_print_setup_uses_the_common_dialog(self):
        self.start()
        frame = self.wait_frame()
        self.ctl.ask("command", frame, IDM_FILE_PRINTSETUP)
        end = time.time() + 20
        boxes = []
        while time.time() < end and not boxes:
            boxes = self.ctl.boxes()
            time.sleep(0.2)
        self.assertTrue(boxes, "no print set-up dialog")
        box = boxes[0]
        # The first menu choice closed the splash; the dialog is modal to the frame.
        self.assertTrue(self.ctl.wait("TabulinkSplash", "Splash", timeout=3, gone=True))
        self.assertFalse(self.ctl.describe(frame)["enabled"])
        time.sleep(0.3)
        self.shot("tablnk-print-setup.png")
        # Wine's print dialog, or its notice that no printer is installed.
        self.assertTrue(box["title"] in ("Print Setup", "Print") or "printer" in " ".join(box["texts"]).lower(),
                        box)
        press = "Cancel" if any(b.replace("&", "") == "Cancel" for b in box["buttons"]) else "OK"
        self.ctl.ask("click", box["hwnd"], press)
        end = time.time() + 10
        while time.time() < end and self.ctl.boxes():
            for b in self.ctl.boxes():
                self.ctl.ask("click", b["hwnd"], "Cancel" if "Cancel" in
                             [x.replace("&", "") for x in b["buttons"]] else "OK")
            time.sleep(0.3)
        self.assert_no_box()
        self.exit_program(frame)

    # ---- window positions ------------------------------------------------------------

    def test_frame_position_is_kept(self):
        self.start()
        frame = self.wait_frame()
        designed = self.ctl.describe(frame)["normal"]
        self.ctl.ask("move", frame, 101, 77, 640, 420)
        time.sleep(0.3)
        self.exit_program(frame)
        main = read_ini()["Main"]
        self.assertEqual([main[k] for k in ("XPosit", "YPosit", "Width", "Height", "Maximize")],
                         ["101", "77", "640", "420", "No"])
        # Reopens there.
        self.start()
        frame = self.wait_frame()
        self.assertEqual(self.ctl.describe(frame)["normal"], [101, 77, 640, 420])
        # Closed while minimized: the earlier values stay.
        self.ctl.ask("show", frame, "min")
        end = time.time() + 5
        while time.time() < end and not self.ctl.describe(frame)["iconic"]:
            time.sleep(0.1)
        self.assertTrue(self.ctl.describe(frame)["iconic"])
        self.exit_program(frame)
        self.assertEqual(read_ini()["Main"], main)
        # "XPosit" 0 keeps the designed position and size.
        ini = read_ini()
        ini["Main"]["XPosit"] = "0"
        write_ini(ini)
        self.start()
        frame = self.wait_frame()
        self.assertEqual(self.ctl.describe(frame)["normal"], designed)
        # Closed maximized: "Maximize" "Yes" reopens it maximized.
        self.ctl.ask("show", frame, "max")
        end = time.time() + 5
        while time.time() < end and not self.ctl.describe(frame)["zoomed"]:
            time.sleep(0.1)
        self.exit_program(frame)
        self.assertEqual(read_ini()["Main"]["Maximize"], "Yes")
        self.start()
        frame = self.wait_frame()
        info = self.ctl.describe(frame)
        self.assertTrue(info["zoomed"])
        self.shot("tablnk-frame-maximized.png")
        self.exit_program(frame)

    # ---- upgrade of earlier-version files ----------------------------------------------

    def test_upgrade_of_earlier_files(self):
        made = fixture("old", 20000)
        self.assertEqual(self.ksf(), ["CATEGORI.KSF", "CATHTML.KSF", "TABLNK.KSF"])
        write_ini({"System": {"Version": "1.0"}})
        self.start()
        box = self.expect_box("New version detected!", text=NEW_VERSION_TEXT)
        self.assertEqual([b.replace("&", "") for b in box["buttons"]], ["OK"])
        self.assertEqual(read_ini().get("Export"), None)  # the defaults follow the answer
        self.shot("tablnk-upgrade-message.png")
        self.ctl.ask("click", box["hwnd"], "OK")
        progress = self.ctl.wait("#32770", "Processing Records", timeout=20)
        self.assertTrue(progress, "no progress window")
        texts = [c["text"] for c in self.ctl.describe(progress)["children"]]
        self.assertIn("Upgrading Location File", texts)
        self.assertTrue(any(re.fullmatch(r"\d{1,3}% Completed", t) for t in texts), texts)
        self.shot("tablnk-upgrade-progress.png")
        frame = self.wait_frame(timeout=120)
        self.assert_no_box()
        self.assertEqual(self.ksf(), ["URL_C.KSF", "URL_H.KSF", "URL_L.KSF"])
        ini = read_ini()
        self.assertEqual(ini["Export"], {"SiteInfo": "1", "Ratings": "1", "Type": "HTML - Table",
                                         "Categories": "All", "Name": "TLNKEXP.HTM"})
        self.assertEqual(ini["System"]["Version"], "1.5")
        self.exit_program(frame)
        got = fixture("dump")
        self.assertEqual(got["sites"], 20001)
        self.assertEqual(got["long"], {"location": made["long"], "description": "The long one",
                                       "category": "Arts", "rating": 0, "keyword": "http",
                                       "info": "Notes kept by the earlier version"})
        self.assertEqual(len(made["long"]), 128)
        self.assertEqual(got["categories"], ["Arts", "Fifteen Chars!!", "News"])
        self.assertEqual(got["texts"], [["News", "After Category", "<p>After Category</p>"],
                                        ["News", "Before Category", "<p>Before Category</p>"]])
        # The next start does nothing of the kind.
        self.start()
        frame = self.wait_frame()
        self.assert_no_box()
        self.assertEqual(self.ksf(), ["URL_C.KSF", "URL_H.KSF", "URL_L.KSF"])
        self.exit_program(frame)
        self.assertEqual(fixture("dump")["sites"], 20001)

    def start_upgrade_with_collision(self, sites):
        fixture("old", sites)
        # Another station adds a site with the location of the second-to-last old site
        # as soon as the new site file exists.
        other = h.start([FIXTURE, "collide", "http://site%d.example/" % (sites - 1), "120"], cwd=WORK,
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1.0)
        self.start()
        self.expect_box("New version detected!", text=NEW_VERSION_TEXT, press="OK")
        box = self.expect_box("Stop", timeout=120,
                              text_match=r"^Error upgrading - can't add record to TABLNK: "
                                         r"Creates Duplicate Key \(40\)$")
        self.assertEqual(sorted(b.replace("&", "") for b in box["buttons"]), ["Abort", "Ignore"])
        self.assertEqual(other.wait(timeout=30), 0)
        return box

    def test_failed_site_add_ignore_goes_on(self):
        box = self.start_upgrade_with_collision(20000)
        self.shot("tablnk-upgrade-stop.png")
        self.ctl.ask("click", box["hwnd"], "Ignore")
        frame = self.wait_frame(timeout=120)
        self.assert_no_box()
        self.assertEqual(self.ksf(), ["URL_C.KSF", "URL_H.KSF", "URL_L.KSF"])
        self.exit_program(frame)
        got = fixture("dump")
        self.assertEqual(got["sites"], 20001)  # the other station's site stands for the skipped one
        self.assertEqual(got["long"]["info"], "Notes kept by the earlier version")

    def test_failed_site_add_abort_ends_the_program(self):
        box = self.start_upgrade_with_collision(20000)
        self.ctl.ask("click", box["hwnd"], "Abort")
        self.assertEqual(self.proc.wait(timeout=30), 3)
        self.assertEqual(self.ctl.find("TabulinkFrame", "Tabulink"), 0)
        self.assertIn("TABLNK.KSF", self.ksf())  # nothing lost: the old files stay
        self.assertNotIn("Version", read_ini().get("System", {}))  # the check runs again next time

    def test_unusable_earlier_file_is_reported_and_kept(self):
        with open(os.path.join(WORK, "TABLNK.KSF"), "wb") as f:
            f.write(b"this is not a keyed file of any kind\r\n" * 10)
        self.start()
        self.expect_box("New version detected!", text=NEW_VERSION_TEXT, press="OK")
        self.expect_box("Invalid File", press="OK")
        frame = self.wait_frame()
        self.assert_no_box()
        self.assertIn("TABLNK.KSF", self.ksf())
        self.assertNotIn("Version", read_ini().get("System", {}))  # checked again next time
        self.exit_program(frame)

    def test_new_file_that_cannot_be_created_is_reported(self):
        fixture("old", 2)
        os.makedirs(os.path.join(WORK, "URL_L.KSF"))
        self.start()
        self.expect_box("New version detected!", text=NEW_VERSION_TEXT, press="OK")
        self.expect_box("File Creation Error", press="OK")
        frame = self.wait_frame(timeout=60)
        # The site browse opened at start meets the same unusable file; Cancel
        # leaves the program running without it.
        self.expect_box("File Access Error", press="Cancel")
        self.assert_no_box()
        self.assertIn("TABLNK.KSF", self.ksf())
        self.assertFalse(os.path.exists(os.path.join(WORK, "CATEGORI.KSF")))  # the others went on
        self.exit_program(frame)


if __name__ == "__main__":
    unittest.main(verbosity=2)

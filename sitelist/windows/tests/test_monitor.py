#!/usr/bin/python3
"""Black-box tests of the clipboard monitor, MonitorClipboard, in the real
TABLNK.exe under Wine: texts are put on the real clipboard of the harness's
display with xclip (another X client, as another program would), and the sites
the monitor adds are read back from the files through the store
(browse_fixture.exe). Covered: the opening question (Yes leaves the text, No is
the default and scans it, asked again on reopening, the count starting again,
the program ending while it or the "Stop" box waits),
sentences, links, a bookmark fragment with a folder heading, "www." addresses,
"#" links, a generated description with date and time, duplicates in other
letter case, the "Clipboard" category created once, the status line, the
monitor adding while the site form of another window saves, the "Stop" box of
an add that fails while another station holds the site file (Ignore goes on,
Abort ends the program with exit code 3), and the window's position under
"MonitorClipboard". Screenshots go to build/screenshots/monitor-*.png.

Usage: test_monitor.py TABLNK.exe winctl.exe browse_fixture.exe
"""
import os
import re
import shutil
import subprocess
import unittest

import tablnk_driver as driver
import txharness as h

TABLNK, WINCTL, FIXTURE = driver.take_programs()
SHOTS = driver.SHOTS
WORK = os.path.abspath("monitor-work")
INI = driver.INI
read_ini, wait_for, WinCtl = driver.read_ini, driver.wait_for, driver.WinCtl

# resource.h
IDM_FILE_CLIPBOARD = 2002
IDM_FILE_EXIT = 2006
IDC_UT_LOCATION, IDC_UT_DESCRIPTION, IDC_UT_CATEGORY = 1122, 1124, 1126
IDC_BT_LIST, IDC_PAGE_ROWS = 1101, 1110
IDC_MC_STATUS = 1703
WM_GETDLGCODE, DLGC_DEFPUSHBUTTON = 0x87, 0x10

MONITOR_LINES = ["Any text copied to the clipboard from other applications",
                 "that contains a URL will be imported automatically",
                 "until the Exit button is pressed."]
STAMP = r"[A-Z][a-z]{2} \d{1,2}, \d{4} \d{1,2}:\d{2}[AP]M"


def copy(text):
    """Puts text on the display's clipboard, as another program would."""
    subprocess.run(["xclip", "-selection", "clipboard", "-display", h.display()], input=text.encode("latin-1"),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=10)


def fixture(*args):
    return driver.fixture_json(args, cwd=WORK, timeout=120)


class MonitorTest(unittest.TestCase):
    moved_to = None  # where the first run left the window
    @classmethod
    def setUpClass(cls):
        os.makedirs(SHOTS, exist_ok=True)
        if os.path.exists(INI):
            os.remove(INI)
        shutil.rmtree(WORK, ignore_errors=True)
        os.makedirs(WORK)

    def setUp(self):
        self.ctl = WinCtl()
        self.proc = None
        self.frame = None

    def tearDown(self):
        if self.proc is not None and self.proc.poll() is None:
            for box in self.ctl.boxes():
                self.ctl.ask("close", box["hwnd"])
            if self.frame:
                self.ctl.ask("command", self.frame, IDM_FILE_EXIT)
            try:
                self.proc.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.ctl.close()

    # ---- helpers ------------------------------------------------------------------

    def start(self):
        self.proc = h.start([TABLNK], cwd=WORK)
        self.frame = self.ctl.wait("TabulinkFrame", "Tabulink")
        self.assertTrue(self.frame, "the frame did not open")
        self.assertTrue(self.child_dialog("Browse Locations"), "the site browse did not open")
        self.ctl.ask("close", self.ctl.find("", "Splash") or 0)

    def child_dialog(self, title):
        """The dialog in the frame's MDI child titled `title` (0 while there is none)."""
        def look():
            children = self.ctl.describe(self.frame).get("children", [])
            hosts = [c["hwnd"] for c in children if c["class"] == "TabulinkWindow" and c["text"] == title]
            dialogs = [c["hwnd"] for c in children if hosts and c["parent"] == hosts[0]]
            return dialogs[0] if dialogs else 0
        return wait_for(look)

    def open_monitor(self):
        self.ctl.ok("command", self.frame, IDM_FILE_CLIPBOARD)

    def question(self):
        """The opening question: its title, text, buttons and default button."""
        box = wait_for(lambda: [b for b in self.ctl.boxes() if b["title"] != "Monitor Clipboard"])
        self.assertTrue(box, "no question about the clipboard's text")
        box = box[0]
        self.assertEqual("Clipboard Contains Data", box["title"])
        self.assertEqual(["Ignore current clipboard contents?"], box["texts"])
        self.assertEqual(["&Yes", "&No"], box["buttons"])
        buttons = {c["text"]: c["hwnd"] for c in self.ctl.describe(box["hwnd"])["children"] if c["class"] == "Button"}
        default = [text for text, hwnd in buttons.items()
                   if self.ctl.ok("send", hwnd, WM_GETDLGCODE, 0, 0)["result"] & DLGC_DEFPUSHBUTTON]
        self.assertEqual(["&No"], default)
        return box

    def answer(self, box, button):
        self.ctl.ok("click", box["hwnd"], button)
        self.assertTrue(self.ctl.wait("#32770", box["title"], timeout=10, gone=True))

    def status(self, monitor):
        return self.ctl.ask("text", self.ctl.ask("child", monitor, IDC_MC_STATUS)["hwnd"])["text"]

    def wait_status(self, monitor, expected, timeout=30):
        self.assertTrue(wait_for(lambda: self.status(monitor) == expected, timeout),
                        "status %r, expected %r" % (self.status(monitor), expected))

    def sites(self):
        return {s["location"]: s for s in fixture("dump")["sites"]}

    def categories(self):
        return [c["name"] for c in fixture("dump")["categories"]]

    def stop_box_while_held(self, text, shot=None):
        """Copies text while another station holds the site file in a
        transaction; returns the "Stop" box of the add that fails (the holder
        has let go by then)."""
        for name in ("held", "release"):
            if os.path.exists(os.path.join(WORK, name)):
                os.remove(os.path.join(WORK, name))
        holder = h.start([FIXTURE, "hold", "60"], cwd=WORK, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            self.assertTrue(wait_for(lambda: os.path.exists(os.path.join(WORK, "held")), 30), "nothing held")
            copy(text)
            stop = wait_for(lambda: [b for b in self.ctl.boxes() if b["title"] == "Stop"], 40)
            self.assertTrue(stop, "no Stop box for the failed add")
            box = stop[0]
            self.assertEqual(["File Is Already Locked (32) adding location"], box["texts"])
            self.assertEqual(["&Abort", "&Ignore"], box["buttons"])
            if shot:
                self.shot(shot)
        finally:
            open(os.path.join(WORK, "release"), "w").close()
            holder.wait(timeout=30)
        return box

    def shot(self, name):
        return h.screenshot(os.path.join(SHOTS, "monitor-%s.png" % name))

    # ---- the tests ----------------------------------------------------------------------

    def test_1_captures_from_the_clipboard(self):
        copy("Earlier text http://earlier.example/ here")
        self.start()
        self.open_monitor()
        box = self.question()
        self.shot("question")
        self.answer(box, "Yes")
        monitor = self.child_dialog("Monitor Clipboard")
        self.assertTrue(monitor, "the monitor did not open")
        texts = [c["text"] for c in self.ctl.describe(monitor)["children"]]
        self.assertEqual(MONITOR_LINES + ["", "E&xit"], texts)
        self.assertEqual("", self.status(monitor))

        # A sentence with one address: the rest of the sentence describes it,
        # in the category "Clipboard", created now; the text answered Yes to
        # was left alone.
        copy("Have a look at http://Example.com/news today, it is good.")
        self.wait_status(monitor, "Added 1:  http://Example.com/news")
        sites = self.sites()
        self.assertEqual(["http://Example.com/news"], list(sites))
        site = sites["http://Example.com/news"]
        self.assertEqual(("today, it is good.", "Clipboard", "http", 0, ""),
                         (site["description"], site["category"], site["keyword"], site["rating"], site["info"]))
        self.assertEqual(["Clipboard"], self.categories())

        # A bookmark fragment: the folder names the first link only; a "#" link
        # is skipped; "www." gets "http://" in front.
        copy('<DT><H3 ADD_DATE="1">Tools</H3>\n<DL><p>\n'
             '<DT><A HREF="http://one.example/" ADD_DATE="2">One</A>\n'
             '<DT><A HREF="http://two.example/">Two</A> notes on two\n'
             '<a href="#top">Top</a> try www.nowhere.net please')
        self.wait_status(monitor, "Added 4:  http://www.nowhere.net")
        sites = self.sites()
        self.assertEqual(("One", "Tools"), (sites["http://one.example/"]["description"],
                                            sites["http://one.example/"]["category"]))
        # What follows a link's "</a>" is its site information.
        self.assertEqual(("Two", "Clipboard"),
                         (sites["http://two.example/"]["description"], sites["http://two.example/"]["category"]))
        self.assertTrue(sites["http://two.example/"]["info"].startswith("notes on two\r\n<a href="))
        self.assertEqual("please", sites["http://www.nowhere.net"]["description"])
        self.assertNotIn("#top", sites)
        self.assertEqual(["Clipboard", "Tools"], sorted(self.categories()))

        # An address alone: a description with the date and time; a stored
        # location in other letter case is not added again.
        copy("ftp://files.example.com/pub")
        self.wait_status(monitor, "Added 5:  ftp://files.example.com/pub")
        self.assertRegex(self.sites()["ftp://files.example.com/pub"]["description"],
                         "^Added from clipboard %s ftp://files.example.com/pub$" % STAMP)
        copy("see HTTP://EXAMPLE.COM/NEWS and mailto:someone@example.com too")
        self.wait_status(monitor, "Added 6:  mailto:someone@example.com")
        sites = self.sites()
        self.assertEqual(6, len(sites))  # "#top" never, the stored one not twice
        self.assertEqual("mailto:", sites["mailto:someone@example.com"]["keyword"])
        self.shot("after-captures")

        # Two windows at once: the site form of the browse saves while the
        # monitor adds; each writes its own record.
        browse = self.child_dialog("Browse Locations")
        self.ctl.ok("click", browse, "Insert")
        form = self.ctl.wait("#32770", "Adding Location")
        self.assertTrue(form, "the site form did not open")
        self.ctl.ok("type", self.ctl.ask("child", form, IDC_UT_LOCATION)["hwnd"], "http://typed.example/")
        self.ctl.ok("focus", self.ctl.ask("child", form, IDC_UT_DESCRIPTION)["hwnd"])
        self.ctl.ok("type", self.ctl.ask("child", form, IDC_UT_DESCRIPTION)["hwnd"], "Typed in the form")
        self.ctl.ok("choose", self.ctl.ask("child", form, IDC_UT_CATEGORY)["hwnd"], "Tools")
        # Many addresses, so that the scan is still adding when the form saves.
        many = " ".join("http://s%02d.example/" % i for i in range(60))
        copy("meanwhile http://during.example/ arrives " + many)
        self.ctl.ok("click", form, "OK")
        self.assertTrue(self.ctl.wait("#32770", "Adding Location", timeout=10, gone=True))
        self.wait_status(monitor, "Added 67:  http://s59.example/")
        sites = self.sites()
        self.assertEqual(("Typed in the form", "Tools", "http", ""),
                         (sites["http://typed.example/"]["description"], sites["http://typed.example/"]["category"],
                          sites["http://typed.example/"]["keyword"], sites["http://typed.example/"]["info"]))
        self.assertEqual((("arrives " + many)[:100].rstrip(), "Clipboard"),
                         (sites["http://during.example/"]["description"], sites["http://during.example/"]["category"]))
        self.assertEqual(60 + 6 + 2, len(sites))
        # The browse, which stays on the row it highlights, reads its rows
        # again: it shows sites of the monitor's last text around it.
        view = self.ctl.ask("child", self.ctl.ask("child", browse, IDC_BT_LIST)["hwnd"], IDC_PAGE_ROWS)["hwnd"]
        shown = lambda: [r[1] for r in self.ctl.ok("rows", view)["rows"]]
        self.assertTrue(wait_for(lambda: any(re.match(r"http://s\d\d\.example/$", l) for l in shown()), 20),
                        "the browse does not show the monitor's sites: %r" % shown())

        # Another station holds the site file: the add fails after the
        # store's wait, with the "Stop" box; Ignore goes on with the next pass.
        box = self.stop_box_while_held("first http://locked.example/ then http://after.example/ end", "stop")
        self.answer(box, "Ignore")
        self.wait_status(monitor, "Added 68:  http://after.example/")
        self.assertNotIn("http://locked.example/", self.sites())

        # The window's position is kept when the program ends with it open.
        host = self.ctl.describe(self.frame)
        host = [c for c in host["children"] if c["hwnd"] == monitor][0]["parent"]
        self.ctl.ok("move", host, 37, 41, 500, 300)
        MonitorTest.moved_to = self.ctl.describe(host)["rect"][:2]  # on the screen
        self.ctl.ok("command", self.frame, IDM_FILE_EXIT)
        self.assertEqual(0, self.proc.wait(timeout=30))
        kept = read_ini().get("MonitorClipboard", {})
        self.assertEqual(("37", "41", "No"), (kept.get("XPosit"), kept.get("YPosit"), kept.get("Maximize")))

    def test_2_reopening_asks_again(self):
        # The text seen last lives only in memory: a new run asks again; No
        # (the default) scans it.
        copy("Again http://again.example/ now")
        self.start()
        self.open_monitor()
        self.answer(self.question(), "No")
        monitor = self.child_dialog("Monitor Clipboard")
        self.wait_status(monitor, "Added 1:  http://again.example/")
        self.assertEqual("now", self.sites()["http://again.example/"]["description"])
        # Restored where it was left, in the frame's client area.
        host = [c for c in self.ctl.describe(self.frame)["children"] if c["hwnd"] == monitor][0]["parent"]
        # (the frame is where it was, as "Main" keeps it), at its designed size.
        self.assertEqual(MonitorTest.moved_to, self.ctl.describe(host)["rect"][:2])
        self.assertNotEqual([500, 300], self.ctl.describe(host)["rect"][2:])
        self.shot("reopened")
        # "E&xit" closes the window, keeping its position.
        self.ctl.ok("click", monitor, "Exit")
        self.assertTrue(wait_for(lambda: not self.ctl.describe(host)["exists"], 10), "the monitor stayed open")
        kept = read_ini()["MonitorClipboard"]
        self.assertEqual(("37", "41"), (kept["XPosit"], kept["YPosit"]))

        # Opened again: asked again, counting from 0; Abort in the "Stop" box
        # ends the program (exit code 3) and the scan with it.
        self.open_monitor()
        self.answer(self.question(), "Yes")
        monitor = self.child_dialog("Monitor Clipboard")
        copy("x http://recount.example/ y")
        self.wait_status(monitor, "Added 1:  http://recount.example/")
        box = self.stop_box_while_held("a http://aborted.example/ b http://never.example/ c")
        self.ctl.ok("click", box["hwnd"], "Abort")
        self.assertEqual(3, self.proc.wait(timeout=30))
        sites = self.sites()
        self.assertIn("http://recount.example/", sites)
        self.assertNotIn("http://aborted.example/", sites)
        self.assertNotIn("http://never.example/", sites)
    def test_3_program_ends_while_the_question_is_open(self):
        # File, Exit while the opening question waits closes it with the
        # window, and the program ends normally.
        copy("Still here http://still.example/ now")
        self.start()
        self.open_monitor()
        self.question()
        self.ctl.ok("command", self.frame, IDM_FILE_EXIT)
        self.assertEqual(0, self.proc.wait(timeout=20))
        self.assertNotIn("http://still.example/", self.sites())

    def test_4_program_ends_while_the_stop_box_is_open(self):
        # File, Exit while the "Stop" box waits: the box goes, the rest of the
        # scan is dropped, and the program ends normally.
        copy("Nothing new")
        self.start()
        self.open_monitor()
        self.answer(self.question(), "Yes")
        self.child_dialog("Monitor Clipboard")
        self.stop_box_while_held("a http://held.example/ b http://dropped.example/ c")
        self.ctl.ok("command", self.frame, IDM_FILE_EXIT)
        self.assertEqual(0, self.proc.wait(timeout=20))
        sites = self.sites()
        self.assertNotIn("http://held.example/", sites)
        self.assertNotIn("http://dropped.example/", sites)


if __name__ == "__main__":
    unittest.main(verbosity=2)

#!/usr/bin/python3
"""Black-box tests of the import and merge windows of TABLNK.exe under Wine on
the harness's Xvfb display, driven as a user would through winctl.exe: the
"Import" window for each type and the methods S, M and A (with AskCategory's
"&Insert", "&Select" and "&Use Best Guess"), the progress window and its end
line, the messages for an empty name and a missing file, the merge from a
second working directory's URL_L.KSF and "Cannot Import" for another name, an
import running while the merge window saves; the records checked through the
store (import_fixture.exe), TABLNK.INI and History checked; screenshots of the
import window, AskCategory, the category form and the progress window.

Usage: test_import.py TABLNK.exe winctl.exe import_fixture.exe
"""
import os
import shutil
import time
import unittest

import tablnk_driver as driver
import txharness as h

TABLNK, WINCTL, FIXTURE = driver.take_programs()
HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "fixtures")
SHOTS = driver.SHOTS
WORK = os.path.abspath("import-work")
OTHER = os.path.abspath("import-other")
INI = driver.INI
read_ini = driver.read_ini

# Menu commands and controls (sitelist/windows/resource.h).
IDM_FILE_IMPORT = 2001
IDM_FILE_MERGE = 2004
IDM_FILE_EXIT = 2006
IDOK = 1
IDC_IMPORT_FILE = 1481
IDC_IMPORT_TYPE = {"H": 1483, "C": 1484, "A": 1485}
IDC_IMPORT_METHOD = {"S": 1486, "M": 1487, "A": 1488}
IDC_IMPORT_CATEGORY = 1489
IDC_IMPORT_HELP = 1490
IDC_ASK_LIST = 1503
IDC_ASK_BEST_GUESS = 1502
IDC_ASK_LOCATION = 1500
IDC_UCN_NAME = 1520
IDC_MERGE_NAME = 1540
IDC_PROGRESS_LINE = 1007


def fixture(*args, cwd=WORK):
    return driver.fixture_json(args, cwd=cwd, timeout=120)


def sites():
    return {s["location"]: s for s in fixture("dump")["sites"]}


def big_bookmarks(path, links, folders):
    per = links // folders
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                '<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=UTF-8">\n'
                "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n")
        for i in range(links):
            if i % per == 0:
                if i:
                    f.write("    </DL><p>\n")
                f.write('    <DT><H3 ADD_DATE="1">Folder %d</H3>\n    <DL><p>\n' % (i // per))
            f.write('        <DT><A HREF="https://big%d.example/" ADD_DATE="%d">Big site %d</A>\n' % (i, i, i))
        f.write("    </DL><p>\n</DL><p>\n")


class ImportTest(driver.TablnkCase):
    """Each test starts TABLNK.exe in an empty working directory without TABLNK.INI."""

    WORK = WORK
    CTL_ENCODING = "cp1252"

    def setUp(self):
        super().setUp()
        shutil.rmtree(OTHER, ignore_errors=True)
        os.makedirs(OTHER)
        for name in os.listdir(FIXTURES):
            shutil.copy(os.path.join(FIXTURES, name), WORK)

    # ---- helpers ----------------------------------------------------------------------------

    def start(self):
        self.launch()
        frame = self.ctl.poll(lambda: self.ctl.find("TabulinkFrame", "Tabulink"))
        self.assertTrue(frame, "the frame did not open")
        # The splash opens just after the frame; the first menu choice after that closes it.
        self.ctl.poll(lambda: self.ctl.find("TabulinkSplash", ""), timeout=10)
        self.frame = frame
        return frame

    def shot(self, name):
        return h.screenshot(os.path.join(SHOTS, name))

    def open_window(self, command, title):
        self.ctl.ok("command", self.frame, command)
        w = self.ctl.poll(lambda: self.ctl.findchild(self.frame, "", title), timeout=60)
        self.assertTrue(w, "no window %r; boxes %r; frame %r" % (title, self.ctl.ask("boxes"),
                                                                 self.ctl.describe(self.frame)))
        self.assertTrue(self.ctl.poll(lambda: self.ctl.find("TabulinkSplash", ""), timeout=10, gone=True))
        return w

    def boxes(self):
        return [b for b in self.ctl.ask("boxes") if b["title"] != "Processing Records"]

    def expect_box(self, title, text, press="OK", timeout=30):
        end = time.time() + timeout
        while time.time() < end:
            for box in self.boxes():
                if box["title"] in ("Category Assignment", "Update the Categories File",
                                    "Category Will Be Added"):
                    continue
                self.assertEqual(box["title"], title, "unexpected box %r" % box)
                self.assertIn(text, " ".join(box["texts"]))
                self.ctl.ok("click", box["hwnd"], press)
                self.assertTrue(self.ctl.poll(lambda: self.ctl.find("#32770", title), timeout=10, gone=True))
                return box
            time.sleep(0.1)
        self.fail("no box titled %r" % title)

    def set_text(self, window, control, text):
        """Types text into control (of a combo box: into its edit field) as a user would."""
        w = self.ctl.child(window, control)
        self.assertTrue(w, "no control %d" % control)
        if self.ctl.describe(w)["class"] == "ComboBox":
            w = self.ctl.findchild(w, "Edit")
        self.ctl.ok("type", w, text)

    def press(self, window, control):
        w = self.ctl.child(window, control)
        self.assertTrue(w, "no control %d" % control)
        self.ctl.ok("bmclick", w)

    def fill_import(self, window, name, type_letter, method_letter, category=None):
        self.set_text(window, IDC_IMPORT_FILE, name)
        self.press(window, IDC_IMPORT_TYPE[type_letter])
        self.press(window, IDC_IMPORT_METHOD[method_letter])
        if category is not None:
            self.ctl.ok("choose", self.ctl.child(window, IDC_IMPORT_CATEGORY), category)

    def wait_end_line(self, shot=None, timeout=120):
        """Waits for the progress window's end state; returns its end line and closes it."""
        progress = self.ctl.poll(lambda: self.ctl.find("#32770", "Processing Records"), timeout=timeout)
        self.assertTrue(progress, "no progress window")
        end = time.time() + timeout
        line = ""
        while time.time() < end:
            info = self.ctl.describe(progress)
            if not info["exists"]:
                self.fail("the progress window closed without its end state")
            texts = [c["text"] for c in info["children"]]
            if "Process Completed" in texts:
                line = self.ctl.ask("text", self.ctl.child(progress, IDC_PROGRESS_LINE))["text"]
                break
            time.sleep(0.1)
        self.assertTrue(line, "no end line")
        if shot:
            self.shot(shot)
        self.ctl.ok("click", progress, "OK")
        self.assertTrue(self.ctl.poll(lambda: self.ctl.find("#32770", "Processing Records"), gone=True))
        return line

    def run_import(self, name, type_letter, method_letter, category=None, shot=None):
        w = self.open_window(IDM_FILE_IMPORT, "Import")
        self.fill_import(w, name, type_letter, method_letter, category)
        self.press(w, IDOK)
        line = self.wait_end_line(shot)
        self.assertTrue(self.ctl.poll(lambda: self.ctl.findchild(self.frame, "", "Import"), gone=True))
        return line

    # ---- the import window ---------------------------------------------------------------

    def test_bookmark_file_by_best_guess_and_twice(self):
        self.start()
        w = self.open_window(IDM_FILE_IMPORT, "Import")
        # The name the program starts with, and the defaults of a blank INI.
        self.assertEqual(self.ctl.ask("text", self.ctl.child(w, IDC_IMPORT_FILE))["text"], "bookmark.htm")
        self.assertTrue(self.ctl.ask("radio", self.ctl.child(w, IDC_IMPORT_TYPE["H"]))["checked"])
        self.assertTrue(self.ctl.ask("radio", self.ctl.child(w, IDC_IMPORT_METHOD["M"]))["checked"])
        self.fill_import(w, "firefox_bookmarks.html", "H", "M")
        self.shot("import-window.png")
        self.press(w, IDOK)
        line = self.wait_end_line("import-progress-end.png")
        self.assertEqual(line, "9 sites added, 0 skipped as duplicates")
        s = sites()
        self.assertEqual(len(s), 9)
        self.assertEqual(s["https://news.example.com/world"]["category"], "Work News")
        self.assertEqual(s["https://news.example.com/world"]["note"], "Read every morning before the stand-up")
        self.assertEqual(s["https://cafe.example.fr/creme"]["description"], "Caf\u00e9 Cr\u00e8me \u0096 Paris")
        self.assertEqual(s["https://tokyo.example.jp/"]["description"], "&#26481;&#20140; Guide")
        self.assertEqual(s["mailto:help@example.com"]["keyword"], "mailto:")
        cats = [c["name"] for c in fixture("dump")["categories"]]
        self.assertEqual(cats, ["Bookmarks Menu", "Bookmarks Toolbar", "Caf\u00e9 Reviews", "Work News"])
        ini = read_ini()["Import"]
        self.assertEqual(ini["Name"], "firefox_bookmarks.html")
        self.assertEqual(ini["Type"], "HTML Document")
        self.assertEqual(ini["Categories"], "Make Best Guess")
        # Again: every site a duplicate; the window remembers the settings and the history.
        w = self.open_window(IDM_FILE_IMPORT, "Import")
        self.assertEqual(self.ctl.ask("text", self.ctl.child(w, IDC_IMPORT_FILE))["text"], "firefox_bookmarks.html")
        items = self.ctl.ask("comboitems", self.ctl.child(w, IDC_IMPORT_FILE))["items"]
        self.assertEqual(items, ["Previously Imported Files", "firefox_bookmarks.html"])
        self.press(w, IDOK)
        self.assertEqual(self.wait_end_line(), "0 sites added, 9 skipped as duplicates")
        self.assertEqual(len(sites()), 9)
        history = fixture("dump")["history"]
        self.assertEqual([x["type"] for x in history], ["Import", "Import"])
        self.assertEqual({x["name"] for x in history}, {"firefox_bookmarks.html"})

    def test_comma_delimited_and_text_with_selected_category(self):
        fixture("category", "Reading")
        fixture("category", "_Before All")
        self.start()
        w = self.open_window(IDM_FILE_IMPORT, "Import")
        combo = self.ctl.ask("comboitems", self.ctl.child(w, IDC_IMPORT_CATEGORY))["items"]
        self.assertEqual(combo, ["Reading"])  # no pseudo-category is offered
        self.ctl.ok("close", self.ctl.findchild(self.frame, "", "Import"))
        self.assertTrue(self.ctl.poll(lambda: self.ctl.findchild(self.frame, "", "Import"), gone=True))
        self.assertEqual(self.run_import("sites.csv", "C", "S", "Reading"), "3 sites added, 0 skipped as duplicates")
        self.assertEqual(self.run_import(os.path.join(WORK, "notes.txt"), "A", "S", "Reading"),
                         "6 sites added, 0 skipped as duplicates")
        s = sites()
        self.assertEqual(len(s), 9)
        self.assertEqual({x["category"] for x in s.values()}, {"Reading"})
        self.assertEqual(s["http://www.example.com/"]["note"], "Reserved for documentation")
        self.assertEqual(s["telnet://bbs.example.org"]["keyword"], "telnet")
        ini = read_ini()["Import"]
        self.assertEqual((ini["Type"], ini["Categories"], ini["Category"]),
                         ("Any ASCII text file", "Selected Category", "Reading"))

    def test_ask_for_each_url(self):
        fixture("category", "Existing")
        fixture("category", "_After All")
        self.start()
        w = self.open_window(IDM_FILE_IMPORT, "Import")
        self.fill_import(w, "edge_favorites.html", "H", "A")
        self.press(w, IDOK)
        # First site: a new category through "&Insert", then "&Select".
        ask = self.ctl.poll(lambda: self.ctl.find("#32770", "Category Assignment"))
        self.assertTrue(ask, "no Category Assignment")
        self.assertEqual(self.ctl.ask("text", self.ctl.child(ask, IDC_ASK_LOCATION))["text"], "https://www.bing.com/")
        self.assertEqual(self.ctl.ask("text", self.ctl.child(ask, IDC_ASK_BEST_GUESS))["text"],
                         "Best Guess:  Favorites bar")
        rows = self.ctl.ask("rows", self.ctl.child(ask, IDC_ASK_LIST))["rows"]
        self.assertEqual([r[0] for r in rows], ["Existing"])  # no pseudo-category
        self.shot("import-askcategory.png")
        self.ctl.ok("click", ask, "Insert")
        form = self.ctl.poll(lambda: self.ctl.find("#32770", "Category Will Be Added"))
        self.assertTrue(form, "no category form")
        self.set_text(form, IDC_UCN_NAME, "Picked Here")
        self.shot("import-updatecategoriesnomdi.png")
        self.press(form, IDOK)
        self.assertTrue(self.ctl.poll(lambda: self.ctl.find("#32770", "Category Will Be Added"), gone=True))
        rows = self.ctl.ask("rows", self.ctl.child(ask, IDC_ASK_LIST))
        self.assertEqual([r[0] for r in rows["rows"]], ["Existing", "Picked Here"])
        self.assertEqual(rows["selected"], 1)
        self.ctl.ok("click", ask, "Select")
        # Second site: an existing category chosen in the list.
        ask = self.ctl.poll(lambda: self.second_question(ask))
        self.assertEqual(self.ctl.ask("text", self.ctl.child(ask, IDC_ASK_LOCATION))["text"],
                         "https://shop.example.de/strasse")
        self.ctl.ok("selectrow", self.ctl.child(ask, IDC_ASK_LIST), 0)
        self.ctl.ok("click", ask, "Select")
        # Third site: "&Use Best Guess" gives "New".
        ask = self.ctl.poll(lambda: self.second_question(ask))
        self.ctl.ok("click", ask, "Use Best Guess")
        self.assertEqual(self.wait_end_line(), "3 sites added, 0 skipped as duplicates")
        s = sites()
        self.assertEqual(s["https://www.bing.com/"]["category"], "Picked Here")
        self.assertEqual(s["https://shop.example.de/strasse"]["category"], "Existing")
        self.assertEqual(s["https://docs.example.com/guide#install"]["category"], "New")
        cats = [c["name"] for c in fixture("dump")["categories"]]
        self.assertEqual(cats, ["_After All", "Existing", "New", "Picked Here"])

    def second_question(self, previous):
        w = self.ctl.find("#32770", "Category Assignment")
        return w if w and w != previous else 0

    def test_empty_name_and_missing_file(self):
        self.start()
        w = self.open_window(IDM_FILE_IMPORT, "Import")
        self.set_text(w, IDC_IMPORT_FILE, "   ")
        self.press(w, IDOK)
        self.expect_box("Information Required", "You must enter an Import file name.")
        self.assertTrue(self.ctl.findchild(self.frame, "", "Import"), "the window stays open")
        self.set_text(w, IDC_IMPORT_FILE, "no_such_file.htm")
        self.press(w, IDOK)
        self.expect_box("File Access Error", "no_such_file.htm")
        self.assertTrue(self.ctl.findchild(self.frame, "", "Import"), "the window stays open to put the name right")
        self.assertFalse(os.path.exists(os.path.join(WORK, "no_such_file.htm")))
        self.assertEqual(sites(), {})
        # "Help!": the viewer of Export.Txt, titled as the export's help.
        shutil.copy(os.path.join(HERE, "..", "Export.Txt"), os.path.join(WORK, "Export.Txt"))
        self.press(w, IDC_IMPORT_HELP)
        viewer = self.ctl.poll(lambda: self.ctl.findchild(self.frame, "", "Using Tabulink") or
                               self.ctl.find("", "Using Tabulink"))
        self.assertTrue(viewer, "no viewer of Export.Txt")
        self.ctl.ok("close", viewer)

    def test_cancel_tells_what_was_done(self):
        big_bookmarks(os.path.join(WORK, "big.html"), 100000, 500)
        self.start()
        w = self.open_window(IDM_FILE_IMPORT, "Import")
        self.fill_import(w, "big.html", "H", "M")
        self.press(w, IDOK)
        progress = self.ctl.poll(lambda: self.ctl.find("#32770", "Processing Records"))
        self.assertTrue(progress)
        self.ctl.ok("click", progress, "Cancel")
        box = self.expect_box("Import", "Import cancelled at")
        text = " ".join(box["texts"])
        added = int(text.split(": ")[1].split(" ")[0])
        self.assertLess(added, 100000)
        self.assertIn("%d sites added, 0 skipped as duplicates" % added, text)
        self.assertEqual(len(sites()), added)

    # ---- the merge ----------------------------------------------------------------------

    def test_merge_from_another_directory(self):
        fixture("source", h.winpath(OTHER), 50)
        self.start()
        self.run_import("sites.csv", "C", "M")  # holds http://www.example.com/ already
        w = self.open_window(IDM_FILE_MERGE, "Import from Tabulink Database")
        self.assertEqual(self.ctl.ask("text", self.ctl.child(w, IDC_MERGE_NAME))["text"], "URL_L.KSF")
        self.shot("import-merge-window.png")
        self.set_text(w, IDC_MERGE_NAME, h.winpath(os.path.join(OTHER, "URL_C.KSF")))
        self.press(w, IDOK)
        self.expect_box("Cannot Import",
                        "You can only import from databases created by Tabulink version 1.5 and above.")
        missing = os.path.join(OTHER, "nowhere", "URL_L.KSF")
        self.set_text(w, IDC_MERGE_NAME, h.winpath(missing))
        self.press(w, IDOK)
        self.expect_box("File Access Error", "attempting to open the Tabulink database")
        self.assertFalse(os.path.exists(missing), "a missing source is never created")
        self.set_text(w, IDC_MERGE_NAME, h.winpath(os.path.join(OTHER, "url_l.ksf")))
        self.press(w, IDOK)
        self.assertEqual(self.wait_end_line("import-merge-progress-end.png"),
                         "50 sites added, 1 skipped as duplicates")
        s = sites()
        self.assertEqual(len(s), 53)
        m = s["http://merge7.example/"]
        self.assertEqual((m["description"], m["category"], m["rating"], m["keyword"], m["note"]),
                         ("Merged site 7", "Merged", 7, "http", ""))
        self.assertEqual(s["http://www.example.com/"]["description"], "Example Domain")
        self.assertEqual([c["name"] for c in fixture("dump")["categories"]], ["New"])

    def test_import_runs_while_another_window_saves(self):
        big_bookmarks(os.path.join(WORK, "big.html"), 100000, 500)
        fixture("source", h.winpath(OTHER), 3000)
        self.start()
        w = self.open_window(IDM_FILE_IMPORT, "Import")
        self.fill_import(w, "big.html", "H", "M")
        self.press(w, IDOK)
        progress = self.ctl.poll(lambda: self.ctl.find("#32770", "Processing Records"))
        self.assertTrue(progress)
        self.shot("import-progress-running.png")
        # While the import runs on its thread, the merge window saves on another.
        m = self.open_window(IDM_FILE_MERGE, "Import from Tabulink Database")
        self.set_text(m, IDC_MERGE_NAME, h.winpath(os.path.join(OTHER, "URL_L.KSF")))
        self.press(m, IDOK)
        both = self.ctl.poll(lambda: len([b for b in self.ctl.ask("boxes") if b["title"] == "Processing Records"]) == 2)
        self.assertTrue(both, "the merge's progress window did not open")
        info = self.ctl.describe(progress)
        self.assertNotIn("Process Completed", [c["text"] for c in info["children"]],
                         "the import ended before the merge began: nothing ran at once")
        lines = set()
        end = time.time() + 300
        while len(lines) < 2 and time.time() < end:
            for box in self.ctl.ask("boxes"):
                if box["title"] == "Processing Records" and "Process Completed" in box["texts"]:
                    line = self.ctl.ask("text", self.ctl.child(box["hwnd"], IDC_PROGRESS_LINE))["text"]
                    lines.add(line)
                    self.ctl.ok("click", box["hwnd"], "OK")
            time.sleep(0.2)
        self.assertEqual(lines, {"100000 sites added, 0 skipped as duplicates",
                                 "3001 sites added, 0 skipped as duplicates"})
        s = sites()
        self.assertEqual(len(s), 103001)
        self.assertEqual(s["https://big99999.example/"]["category"], "Folder 499")
        self.assertEqual(s["http://merge2999.example/"]["category"], "Merged")


if __name__ == "__main__":
    unittest.main(verbosity=2)

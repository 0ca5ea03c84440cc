#!/usr/bin/python3
"""Black-box tests of Tabulink's site and category windows in the real
TABLNK.exe under Wine: the site browse opened at start with its five tabs, page
reading, thumb and category limit, the site form (typed into its controls) with
the keyword rule, the category check and the record messages, the category
browse, picker and forms with renames and deletes that cascade, quick HTML
publishing, "URL -> Clipboard" read back with xclip, two windows working at
once, and screenshots of every window. Records are checked in the files
through the store (browse_fixture.exe).

Usage: test_browse.py TABLNK.exe winctl.exe browse_fixture.exe
"""
import os
import subprocess
import time
import unittest

import tablnk_driver as driver
import txharness as h

TABLNK, WINCTL, FIXTURE = driver.take_programs()
SHOTS = driver.SHOTS
WORK = os.path.abspath("browse-work")
read_ini, wait_for = driver.read_ini, driver.wait_for

# resource.h
IDM_FILE_EXIT = 2006
IDM_BROWSE_LOCATIONS = 2101
IDM_BROWSE_CATEGORIES = 2102
IDC_BT_LIST, IDC_BT_TABS, IDC_BT_SELECT_CATEGORY = 1101, 1102, 1103
IDC_PAGE_ROWS, IDC_PAGE_SCROLL = 1110, 1111
IDC_UT_TABS, IDC_UT_LOCATION, IDC_UT_DESCRIPTION, IDC_UT_CATEGORY = 1120, 1122, 1124, 1126
IDC_UT_RATING, IDC_UT_KEYWORD, IDC_UT_SITEINFO = 1128, 1131, 1133
IDC_BC_LIST = 1141
IDC_CB_LIST = 1151
IDC_SC_LIST = 1161
IDC_UC_NAME, IDC_UC_TABS, IDC_UC_DESCRIPTION = 1172, 1173, 1175
IDC_UC_HTML_LIST, IDC_UC_SITE_LIST = 1176, 1180
IDC_UC_HTML_INSERT, IDC_UC_SITE_INSERT = 1177, 1181
IDC_UH_TYPES = [1192, 1193, 1194, 1195, 1196]
IDC_UH_TEXT = 1199
IDC_QH_NAME = 1202
SB_PAGEDOWN, SB_THUMBPOSITION = 3, 4
VK_NEXT, VK_END, VK_ESCAPE, VK_DOWN = 34, 35, 27, 40

FORMS = {"Adding Location", "Changing Location", "Select Category", "Category Will Be Added",
         "Category Will Be Changed", "Adding HTML", "Changing HTML", "Generate an HTML document",
         "Enter the name of your HTML File", "Processing Records"}
TYPES = ["Replace Title", "Before Category", "Before Category Title", "After Category Title", "After Category"]

CONFIRM_DELETE = ("You've selected to delete the highlighted record.  Press OK to confirm deletion of this "
                  "record.")
QUICK_HEADER = ("<HTML>\r\n\r\n<HEAD><TITLE>Tabulink - Quick Published Site List</TITLE></HEAD>\r\n\r\n<BODY>\r\n"
                "\r\n<H1>Tabulink - Quick Published Site List</H1><P>\r\n<HR>\r\n<TABLE BORDER=1>\r\n"
                "<TR> <TD>Description</TD> <TD>Location</TD> <TD>Category</TD> <TD>Rating</TD> "
                "<TD>Keyword</TD> </TR>\r\n")
QUICK_FOOTER = "\r\n</TABLE>\r\n\r\n</BODY>\r\n</HTML>\r\n"


def fixture(*args):
    return driver.fixture_json(args, cwd=WORK, timeout=300)


class BrowseTest(driver.TablnkCase):
    WORK = WORK

    def setUp(self):
        super().setUp()
        self.frame = None

    def leave_boxes(self):
        for box in self.boxes():  # leave nothing modal behind
            self.ctl.ask("close", box["hwnd"])

    # ---- helpers ----------------------------------------------------------------

    def start(self):
        """Starts TABLNK.exe; returns the site browse's dialog, opened at start."""
        self.launch()
        self.frame = wait_for(lambda: self.ctl.find("TabulinkFrame", "Tabulink"))
        self.assertTrue(self.frame, "the frame did not open")
        browse = self.window("Browse Locations")
        self.assertTrue(browse, "the site browse did not open at start")
        self.ctl.ask("close", self.ctl.find("", "Splash") or 0)
        return browse

    def children(self, root):
        return self.ctl.ask("describe", root).get("children", [])

    def window(self, title, timeout=30, index=0):
        """The dialog hosted in the frame's MDI child titled `title` (or `title - what it shows`)."""
        def look():
            hosts = [c for c in self.children(self.frame) if c["class"] == "TabulinkWindow" and
                     (c["text"] == title or c["text"].startswith(title + " - "))]
            if len(hosts) <= index:
                return 0
            host = hosts[index]["hwnd"]
            dialogs = [c for c in self.children(host) if c["class"] == "#32770" and c["parent"] == host]
            return dialogs[0]["hwnd"] if dialogs else 0
        return wait_for(look, timeout)

    def host_of(self, dialog):
        for c in self.children(self.frame):
            if c["hwnd"] == dialog:
                return c["parent"]
        return 0

    def control(self, parent, cid):
        w = self.ctl.ask("child", parent, cid)["hwnd"]
        self.assertTrue(w, "no control %d in %d" % (cid, parent))
        return w

    def form(self, title, timeout=30):
        """The form titled `title` once it shows (a dialog exists hidden until it is set up)."""
        w = wait_for(lambda: self.ctl.find("#32770", title), timeout)
        self.assertTrue(w, "the form %r did not open" % title)
        self.assertTrue(wait_for(lambda: self.ctl.ask("describe", w).get("visible"), timeout),
                        "the form %r did not show" % title)
        return w

    def gone(self, hwnd, timeout=30):
        self.assertTrue(wait_for(lambda: not self.ctl.ask("describe", hwnd)["exists"], timeout),
                        "window %d stayed" % hwnd)

    def boxes(self):
        return [b for b in self.ctl.ask("boxes") if b["title"] not in FORMS]

    def expect_box(self, title, text=None, contains=None, press="OK", timeout=30):
        box = wait_for(lambda: self.boxes(), timeout)
        self.assertTrue(box, "no box titled %r" % title)
        box = box[0]
        self.assertEqual(title, box["title"], "unexpected box %r" % box)
        joined = " ".join(box["texts"])
        if text is not None:
            self.assertIn(text, box["texts"], box)
        if contains is not None:
            self.assertIn(contains, joined, box)
        if press is not None:
            self.ctl.ok("click", box["hwnd"], press)
            self.gone(box["hwnd"])
        return box

    def assert_no_box(self):
        self.assertEqual([], self.boxes())

    def rows(self, dialog, list_id=IDC_BT_LIST):
        """The rows a list shows: a page list's list-view, or a list-view itself."""
        w = self.control(dialog, list_id)
        if list_id in (IDC_BT_LIST, IDC_BC_LIST):
            w = self.control(w, IDC_PAGE_ROWS)
        return self.ctl.ok("rows", w)

    def rows_view(self, dialog, list_id=IDC_BT_LIST):
        w = self.control(dialog, list_id)
        return self.control(w, IDC_PAGE_ROWS) if list_id in (IDC_BT_LIST, IDC_BC_LIST) else w

    def wait_rows(self, dialog, predicate, list_id=IDC_BT_LIST, timeout=20):
        found = wait_for(lambda: predicate(self.rows(dialog, list_id)), timeout)
        self.assertTrue(found, "rows stayed %r" % self.rows(dialog, list_id))
        return self.rows(dialog, list_id)

    def shot(self, name):
        return h.screenshot(os.path.join(SHOTS, "browse-%s.png" % name))

    def dump(self):
        return fixture("dump")

    def sites(self):
        return {s["location"]: s for s in self.dump()["sites"]}

    def type(self, form, cid, text):
        self.ctl.ok("type", self.control(form, cid), text)

    def text(self, form, cid):
        return self.ctl.ask("text", self.control(form, cid))["text"]

    def insert_site(self, browse, location, description, category, keyword=None, leave_to=IDC_UT_DESCRIPTION):
        """Adds a site through the site form as a user would; returns the form's keyword."""
        self.ctl.ok("click", browse, "Insert")
        form = self.form("Adding Location")
        self.type(form, IDC_UT_LOCATION, location)
        if keyword is not None:
            self.type(form, IDC_UT_KEYWORD, keyword)
        self.ctl.ok("focus", self.control(form, leave_to))
        self.type(form, IDC_UT_DESCRIPTION, description)
        if category is not None:
            self.ctl.ok("choose", self.control(form, IDC_UT_CATEGORY), category)
        shown = self.text(form, IDC_UT_KEYWORD)
        self.ctl.ok("click", form, "OK")
        return form, shown

    # ---- the site browse and form ----------------------------------------------------

    def test_site_form_keyword_rule_category_check_and_record_messages(self):
        for name in ("News", "_Before All", "_after all", "Arts", "_BEFORE ALL x"):
            fixture("category", name)
        browse = self.start()
        self.assertEqual([], self.rows(browse)["rows"])
        self.shot("empty")

        # The keyword from the location's scheme, on leaving the location.
        cases = [("http://www.example.com/", "http"), ("ftp://ftp.example.org/pub", "ftp"),
                 ("mailto:someone@example.com", "mailto:"), ("www.bare-host.example", "?"),
                 ("averyveryverylongscheme://x.example/", "averyveryv")]
        for i, (location, keyword) in enumerate(cases):
            self.ctl.ok("click", browse, "Insert")
            form = self.form("Adding Location")
            combo = self.ctl.ok("comboitems", self.control(form, IDC_UT_CATEGORY))
            self.assertEqual(["Arts", "News", "_BEFORE ALL x"], sorted(combo["items"]))
            self.type(form, IDC_UT_LOCATION, location)
            self.ctl.ok("focus", self.control(form, IDC_UT_DESCRIPTION))
            self.assertTrue(wait_for(lambda: self.text(form, IDC_UT_KEYWORD) == keyword, 10),
                            "keyword %r for %r" % (self.text(form, IDC_UT_KEYWORD), location))
            self.type(form, IDC_UT_DESCRIPTION, "Site %d" % i)
            self.type(form, IDC_UT_RATING, str(i + 3))
            self.ctl.ok("choose", self.control(form, IDC_UT_CATEGORY), "News")
            if i == 0:
                self.shot("site-form-general")
                self.ctl.ok("tabclick", self.control(form, IDC_UT_TABS), 1)
                self.type(form, IDC_UT_SITEINFO, "Notes about the first site")
                self.shot("site-form-siteinfo")
            self.ctl.ok("click", form, "OK")
            self.gone(form)
            self.assert_no_box()
        stored = self.sites()
        for i, (location, keyword) in enumerate(cases):
            self.assertEqual(keyword, stored[location]["keyword"])
            self.assertEqual("News", stored[location]["category"])
            self.assertEqual(i + 3, stored[location]["rating"])
        self.assertEqual("Notes about the first site", stored["http://www.example.com/"]["info"])
        # The browse shows them in description order.
        rows = self.wait_rows(browse, lambda r: len(r["rows"]) == 5)
        self.assertEqual(["Site %d" % i for i in range(5)], [r[0] for r in rows["rows"]])
        self.assertEqual(["http://www.example.com/", "http", "News", " 3"],
                         [rows["rows"][0][1], rows["rows"][0][4], rows["rows"][0][2], rows["rows"][0][3]])
        self.shot("filled")

        # A keyword typed before leaving the location stays.
        form, shown = self.insert_site(browse, "gopher://old.example/", "Typed keyword", "Arts", keyword="mine")
        self.gone(form)
        self.assertEqual("mine", self.sites()["gopher://old.example/"]["keyword"])

        # A location that differs only in case: "Duplicate Key Error" naming "Site Location"; the form stays.
        form, _ = self.insert_site(browse, "HTTP://WWW.EXAMPLE.COM/", "Again", "News")
        self.expect_box("Duplicate Key Error", contains="Site Location")
        self.assertTrue(self.ctl.ask("describe", form)["visible"])
        # A site without a listed category is refused with "Field Contents Error".
        self.type(form, IDC_UT_LOCATION, "http://unique.example/")
        self.ctl.ok("choose", self.control(form, IDC_UT_CATEGORY), "Arts")
        fixture_before = len(self.sites())
        self.ctl.ok("click", form, "Cancel")
        self.gone(form)
        self.assertEqual(fixture_before, len(self.sites()), "cancel wrote nothing")

        self.ctl.ok("click", browse, "Insert")
        form = self.form("Adding Location")
        self.type(form, IDC_UT_LOCATION, "http://nocategory.example/")
        self.ctl.ok("click", form, "OK")
        box = self.expect_box("Field Contents Error",
                              text="The value for URL:Category must be found in the Categories file.")
        self.assertTrue(box)
        self.ctl.ok("click", form, "Cancel")
        self.gone(form)
        self.assertNotIn("http://nocategory.example/", self.sites())

        # Change: a new location keeps the keyword.
        view = self.rows_view(browse)
        rows = self.rows(browse)["rows"]
        at = [r[1] for r in rows].index("ftp://ftp.example.org/pub")
        self.ctl.ok("selectrow", view, at)
        self.ctl.ok("click", browse, "Change")
        form = self.form("Changing Location")
        self.assertEqual("ftp://ftp.example.org/pub", self.text(form, IDC_UT_LOCATION))
        self.type(form, IDC_UT_LOCATION, "http://moved.example/")
        self.ctl.ok("focus", self.control(form, IDC_UT_DESCRIPTION))
        self.assertEqual("ftp", self.text(form, IDC_UT_KEYWORD))
        self.ctl.ok("click", form, "OK")
        self.gone(form)
        stored = self.sites()
        self.assertNotIn("ftp://ftp.example.org/pub", stored)
        self.assertEqual("ftp", stored["http://moved.example/"]["keyword"])
        self.wait_rows(browse, lambda r: "http://moved.example/" in [x[1] for x in r["rows"]])

        # Delete: "Confirm Delete" without the form; Cancel keeps, OK deletes.
        rows = self.rows(browse)["rows"]
        at = [r[1] for r in rows].index("http://moved.example/")
        self.ctl.ok("selectrow", view, at)
        self.ctl.ok("click", browse, "Delete")
        self.expect_box("Confirm Delete", text=CONFIRM_DELETE, press="Cancel")
        self.assertIn("http://moved.example/", self.sites())
        self.ctl.ok("click", browse, "Delete")
        self.expect_box("Confirm Delete", text=CONFIRM_DELETE, press="OK")
        self.assertEqual(None, self.ctl.find("#32770", "Changing Location") or None)
        self.assertNotIn("http://moved.example/", self.sites())
        self.wait_rows(browse, lambda r: "http://moved.example/" not in [x[1] for x in r["rows"]])
        self.assert_no_box()
        # The site form keeps its position and its 17 scaled controls under "UpdateTABLNK".
        ini = read_ini().get("UpdateTABLNK", {})
        self.assertEqual("714334612808", ini.get("WindowScaled"))
        self.assertEqual(17, len([k for k in ini if k.startswith("CtrlSize")]))
        self.assertIn("XPosit", ini)

    def test_tabs_pages_thumb_category_limit_clipboard_and_popup(self):
        fixture("category", "Misc")
        fixture("category", "News")
        fixture("category", "Empty")
        fixture("sites", 300, "Misc")
        for i, cat in enumerate(["News", "news", "NEWS"]):
            fixture("site", "http://news%d.example/" % i, "News item %d" % i, cat, 50, "http")
        browse = self.start()
        rows = self.wait_rows(browse, lambda r: len(r["rows"]) > 5)
        capacity = len(rows["rows"])
        self.assertEqual(["News item 0", "News item 1", "News item 2"], [r[0] for r in rows["rows"][:3]])
        self.assertEqual("Site 00000", rows["rows"][3][0])
        self.assertEqual(0, rows["selected"])
        view = self.rows_view(browse)
        bar = self.control(self.control(browse, IDC_BT_LIST), IDC_PAGE_SCROLL)
        self.assertEqual(1, self.ctl.ask("scrollpos", bar)["pos"])

        # Page down reads the next page from the key.
        self.ctl.ok("keydown", view, VK_NEXT)
        rows = self.wait_rows(browse, lambda r: r["rows"][0][0] != "News item 0")
        self.assertEqual("Site %05d" % (capacity - 3), rows["rows"][0][0])
        # The thumb to 100 shows the last site, to 1 the first, to 50 the middle of the key.
        self.ctl.ok("scroll", bar, SB_THUMBPOSITION, 100)
        rows = self.wait_rows(browse, lambda r: r["rows"][-1][0] == "Site 00299")
        self.assertEqual(len(rows["rows"]) - 1, rows["selected"])
        self.assertEqual(100, self.ctl.ask("scrollpos", bar)["pos"])
        self.ctl.ok("scroll", bar, SB_THUMBPOSITION, 1)
        self.wait_rows(browse, lambda r: r["rows"][0][0] == "News item 0" and r["selected"] == 0)
        self.ctl.ok("keydown", view, VK_END)
        self.wait_rows(browse, lambda r: r["rows"][r["selected"]][0] == "Site 00299")

        # Each tab's order; screenshots of each.
        tabs = self.control(browse, IDC_BT_TABS)
        firsts = {1: "http://news0.example/", 3: "Site 00099", 4: "News item 0"}
        for tab, name in enumerate(["description", "location", "category", "rating", "keyword"]):
            self.ctl.ok("tabclick", tabs, tab)
            if tab in firsts:
                col = 1 if tab == 1 else 0
                self.wait_rows(browse, lambda r, t=tab, c=col: r["rows"] and r["rows"][0][c] == firsts[t])
            select = self.ctl.ask("describe", self.control(browse, IDC_BT_SELECT_CATEGORY))
            self.assertEqual(tab == 2, select["visible"], "Select Category on tab %d" % tab)
            self.shot("tab-%s" % name)
        # The "Keyword" tab: only positions 1 and 100 act.
        self.ctl.ok("tabclick", tabs, 4)
        self.wait_rows(browse, lambda r: r["rows"] and r["rows"][0][0] == "News item 0")
        self.ctl.ok("scroll", bar, SB_THUMBPOSITION, 50)
        time.sleep(0.5)  # a thumb that does not act: nothing to wait for
        self.assertEqual("News item 0", self.rows(browse)["rows"][0][0])

        # The "Rating" tab's thumb at 50: the samples run from 99 down to 0, so
        # position 50 stands for rating 50, the first site rated 50 or less.
        self.ctl.ok("tabclick", tabs, 3)
        self.wait_rows(browse, lambda r: r["rows"] and r["rows"][0][0] == "Site 00099")
        self.ctl.ok("scroll", bar, SB_THUMBPOSITION, 50)
        rows = self.wait_rows(browse, lambda r: r["rows"][r["selected"]][3] == "50")
        self.assertEqual("News item 0", rows["rows"][rows["selected"]][0])
        self.assertEqual(50, self.ctl.ask("scrollpos", bar)["pos"])
        self.ctl.ok("scroll", bar, SB_PAGEDOWN, 0)
        self.wait_rows(browse, lambda r: r["rows"][r["selected"]][3] != "50")

        # The "Category" tab with "Select Category": the sites of "news" in any letter case.
        self.ctl.ok("tabclick", tabs, 2)
        self.ctl.ok("click", browse, "Select Category")
        picker = self.form("Select Category")
        plist = self.control(picker, IDC_SC_LIST)
        names = [r[0] for r in self.ctl.ok("rows", plist)["rows"]]
        self.assertEqual(["Empty", "Misc", "News"], names)
        self.shot("picker")
        self.ctl.ok("selectrow", plist, 2)
        self.ctl.ok("click", picker, "Select")
        self.gone(picker)
        rows = self.wait_rows(browse, lambda r: len(r["rows"]) == 3)
        self.assertEqual(["News item 0", "News item 1", "News item 2"], [r[0] for r in rows["rows"]])
        self.shot("tab-category-news")
        # Inserting from the "Category" tab pre-fills the category.
        self.ctl.ok("click", browse, "Insert")
        form = self.form("Adding Location")
        combo = self.ctl.ok("comboitems", self.control(form, IDC_UT_CATEGORY))
        self.assertEqual("News", combo["items"][combo["selected"]])
        self.ctl.ok("click", form, "Cancel")
        self.gone(form)

        # "URL -> Clipboard" puts the highlighted location on the real clipboard.
        self.ctl.ok("selectrow", view, 1)
        self.ctl.ok("click", browse, "URL -> Clipboard")
        clip = wait_for(lambda: subprocess.run(["xclip", "-selection", "clipboard", "-o", "-display", h.display()],
                                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                               timeout=10).stdout == b"http://news1.example/", 10)
        self.assertTrue(clip, "the clipboard does not hold the location")

        # The pop-up menu, on a filled list and on an empty one.
        self.ctl.ok("rclick", view, 20, 30)
        menu = wait_for(lambda: self.ctl.find("#32768", ""), 10)
        self.assertTrue(menu, "no pop-up menu")
        self.shot("popup")
        self.ctl.ok("key", view, VK_ESCAPE)
        self.assertTrue(wait_for(lambda: not self.ctl.find("#32768", ""), 10))
        self.ctl.ok("click", browse, "Select Category")
        picker = self.form("Select Category")
        self.ctl.ok("selectrow", self.control(picker, IDC_SC_LIST), 0)
        self.ctl.ok("click", picker, "Select")
        self.gone(picker)
        self.wait_rows(browse, lambda r: r["rows"] == [])
        self.ctl.ok("rclick", view, 20, 30)
        self.assertTrue(wait_for(lambda: self.ctl.find("#32768", ""), 10))
        self.shot("popup-empty")
        self.ctl.ok("key", view, VK_ESCAPE)
        self.assertTrue(wait_for(lambda: not self.ctl.find("#32768", ""), 10))

        # Resizing scales the 14 controls; the stamp and sizes are kept in TABLNK.INI.
        host = self.host_of(browse)
        self.ctl.ok("move", host, 10, 10, 700, 420)
        wait_for(lambda: self.ctl.ask("describe", host)["rect"][2] == 700, 10)
        self.shot("resized")
        self.ctl.ok("close", host)
        self.gone(host)
        ini = read_ini().get("BrowseTABLNK", {})
        self.assertEqual("714333785850", ini.get("WindowScaled"))
        self.assertEqual(["CtrlSize%d" % i for i in range(1, 15)],
                         sorted((k for k in ini if k.startswith("CtrlSize")), key=lambda k: int(k[8:])))
        self.assertEqual("700", ini.get("Width"))
        self.assert_no_box()

    # ---- quick HTML ------------------------------------------------------------------

    def quick(self, browse, name, button):
        self.ctl.ok("click", browse, "HTML")
        small = self.form("Generate an HTML document")
        default = self.text(small, IDC_QH_NAME)
        self.assertTrue(default.upper().endswith("\\QUICK.HTM"), default)
        self.type(small, IDC_QH_NAME, h.winpath(name))
        self.ctl.ok("click", small, button)
        return small

    def test_quick_html_empty_all_records_and_cancel(self):
        fixture("category", "Misc")
        fixture("category", "Empty")
        fixture("sites", 1000, "Misc")
        fixture("site", "http://long.example/" + "x" * 230, "D" * 100, "C" * 30, -7, "kkkkkkkkkk")
        browse = self.start()
        self.wait_rows(browse, lambda r: len(r["rows"]) > 3)

        # "Displayed records only" of an empty list: header and footer only.
        tabs = self.control(browse, IDC_BT_TABS)
        self.ctl.ok("tabclick", tabs, 2)
        self.ctl.ok("click", browse, "Select Category")
        picker = self.form("Select Category")
        rows = [r[0] for r in self.ctl.ok("rows", self.control(picker, IDC_SC_LIST))["rows"]]
        self.ctl.ok("selectrow", self.control(picker, IDC_SC_LIST), rows.index("Empty"))
        self.ctl.ok("click", picker, "Select")
        self.gone(picker)
        self.wait_rows(browse, lambda r: r["rows"] == [])
        empty = os.path.join(WORK, "EMPTY.HTM")
        small = self.quick(browse, empty, "Displayed records only")
        self.gone(small)
        with open(empty, "rb") as f:
            self.assertEqual((QUICK_HEADER + QUICK_FOOTER).encode("latin-1"), f.read())

        # "All records" on the "Description" tab: every site, byte for byte, the
        # long row whole on one line.
        self.ctl.ok("tabclick", tabs, 0)
        self.wait_rows(browse, lambda r: len(r["rows"]) > 3)
        whole = os.path.join(WORK, "ALL.HTM")
        small = self.quick(browse, whole, "All records")
        mid = wait_for(lambda: "Record Read" in self.text(small, 1206), 30)
        self.assertTrue(mid)
        self.shot("quick-mid-run")
        self.gone(small, timeout=120)
        sites = sorted(self.dump()["sites"], key=lambda s: (s["description"].lower(), s["location"]))
        expected = QUICK_HEADER + "".join(
            "<TR> <TD>%s</TD> <TD>%s</TD> <TD>%s</TD> <TD>%2d</TD> <TD>%s</TD> </TR>\r\n"
            % (s["description"], s["location"], s["category"], s["rating"], s["keyword"]) for s in sites
        ) + QUICK_FOOTER
        with open(whole, "rb") as f:
            written = f.read().decode("latin-1")
        self.assertEqual(1001, written.count("<TR> <TD>") - 1)
        self.assertEqual(expected, written)
        self.assertIn("<TD>-7</TD>", written)

        # "..." opens the save dialog with its title; a name longer than 80
        # characters is written where it says.
        self.ctl.ok("click", browse, "HTML")
        small = self.form("Generate an HTML document")
        self.ctl.ok("click", small, "...")
        save = self.form("Enter the name of your HTML File")
        self.shot("quick-save-dialog")
        self.ctl.ok("close", save)
        self.gone(save)
        deep = os.path.join(WORK, "a-folder-whose-name-is-long-enough-to-pass-eighty-characters-in-all")
        os.makedirs(deep)
        long_name = os.path.join(deep, "LONG.HTM")
        self.assertGreater(len(h.winpath(long_name)), 80)
        self.type(small, IDC_QH_NAME, h.winpath(long_name))
        self.ctl.ok("click", small, "Displayed records only")
        self.gone(small)
        with open(long_name, "rb") as f:
            self.assertTrue(f.read().decode("latin-1").endswith(QUICK_FOOTER))

        # "&Cancel" mid-run still writes the footer.
        fixture("sites", 4000, "Misc", 1000)
        cut = os.path.join(WORK, "CUT.HTM")
        small = self.quick(browse, cut, "All records")
        self.assertTrue(wait_for(lambda: "Record Read" in self.text(small, 1206), 30))
        progress = wait_for(lambda: self.ctl.find("#32770", "Generate an HTML document") and
                            [b for b in self.ctl.ask("boxes") if b["title"] == "Generate an HTML document"
                             and "Cancel" in [x.replace("&", "") for x in b["buttons"]] and b["hwnd"] != small])
        self.assertTrue(progress)
        self.ctl.ok("click", progress[0]["hwnd"], "Cancel")
        self.gone(small, timeout=60)
        with open(cut, "rb") as f:
            text = f.read().decode("latin-1")
        self.assertTrue(text.startswith(QUICK_HEADER) and text.endswith(QUICK_FOOTER))
        self.assertLess(text.count("<TR> <TD>") - 1, 1001)
        self.assert_no_box()

    # ---- categories ------------------------------------------------------------------

    def category_form(self, browse, button, title):
        self.ctl.ok("click", browse, button)
        return self.form(title)

    def select_category(self, browse, name):
        rows = [r[0] for r in self.rows(browse, IDC_CB_LIST)["rows"]]
        self.ctl.ok("selectrow", self.control(browse, IDC_CB_LIST), rows.index(name))

    def add_text(self, form, type_index, html, expect_refusal=False):
        self.ctl.ok("command", form, IDC_UC_HTML_INSERT)  # the "&Insert" of the "HTML" tab
        text_form = self.form("Adding HTML")
        self.assertTrue(self.ctl.ask("radio", self.control(text_form, IDC_UH_TYPES[1]))["checked"])
        radio = self.control(text_form, IDC_UH_TYPES[type_index])
        self.ctl.ok("bmclick", radio)
        self.assertTrue(wait_for(lambda: self.ctl.ask("radio", radio)["checked"], 10))
        self.type(text_form, IDC_UH_TEXT, html)
        self.ctl.ok("click", text_form, "OK")
        if expect_refusal:
            self.expect_box("Duplicate Key Error", contains="Category - Add HTML")
            self.ctl.ok("click", text_form, "Cancel")
        self.gone(text_form)

    def test_categories_duplicates_texts_rename_and_delete_cascade(self):
        fixture("category", "Arts", "Paintings and music")
        browse = self.start()
        self.ctl.ok("command", self.frame, IDM_BROWSE_CATEGORIES)
        cats = self.window("Browse Categories")
        self.assertTrue(cats)
        self.assertEqual([["Arts", "Paintings and music"]], self.rows(cats, IDC_CB_LIST)["rows"])
        self.shot("categories")

        form = self.category_form(cats, "Insert", "Category Will Be Added")
        self.type(form, IDC_UC_NAME, "News")
        self.type(form, IDC_UC_DESCRIPTION, "All the news")
        self.shot("category-form-general")
        self.ctl.ok("click", form, "OK")
        self.gone(form)
        self.wait_rows(cats, lambda r: ["News", "All the news"] in r["rows"], IDC_CB_LIST)
        # A blank name is asked for again: the form stays and nothing is written.
        form = self.category_form(cats, "Insert", "Category Will Be Added")
        self.ctl.ok("click", form, "OK")
        self.assertTrue(self.ctl.ask("describe", form)["visible"])
        self.ctl.ok("click", form, "Cancel")
        self.gone(form)
        # "news" beside "News" is refused, naming "Category"; the form stays.
        form = self.category_form(cats, "Insert", "Category Will Be Added")
        self.type(form, IDC_UC_NAME, "news")
        self.ctl.ok("click", form, "OK")
        self.expect_box("Duplicate Key Error", contains="Category")
        self.ctl.ok("click", form, "Cancel")
        self.gone(form)
        self.assertEqual(["Arts", "News"], [c["name"] for c in self.dump()["categories"]])

        # Five texts of five types; a sixth of one type is refused.
        self.select_category(cats, "News")
        form = self.category_form(cats, "Change", "Category Will Be Changed")
        self.ctl.ok("tabclick", self.control(form, IDC_UC_TABS), 1)
        for i in range(5):
            self.add_text(form, i, "<P>text %d</P>" % i)
        self.add_text(form, 2, "<P>again</P>", expect_refusal=True)
        self.assertEqual(sorted(TYPES), sorted(r[0] for r in self.ctl.ok(
            "rows", self.control(form, IDC_UC_HTML_LIST))["rows"]))
        self.shot("category-form-html")
        # A site through the "Locations" tab: the category pre-filled.
        self.ctl.ok("tabclick", self.control(form, IDC_UC_TABS), 2)
        self.ctl.ok("command", form, IDC_UC_SITE_INSERT)  # the "&Insert" of the "Locations" tab
        site_form = self.form("Adding Location")
        combo = self.ctl.ok("comboitems", self.control(site_form, IDC_UT_CATEGORY))
        self.assertEqual("News", combo["items"][combo["selected"]])
        self.type(site_form, IDC_UT_LOCATION, "http://daily.example/")
        self.type(site_form, IDC_UT_DESCRIPTION, "Daily")
        self.ctl.ok("click", site_form, "OK")
        self.gone(site_form)
        self.assertEqual([["Daily", "http://daily.example/"]],
                         self.ctl.ok("rows", self.control(form, IDC_UC_SITE_LIST))["rows"])
        self.shot("category-form-locations")
        # The lists follow the name in the field.
        self.type(form, IDC_UC_NAME, "Arts")
        self.assertTrue(wait_for(lambda: self.ctl.ok("rows", self.control(form, IDC_UC_SITE_LIST))["rows"] == []))
        # Rename to "World": every text and site follows.
        self.type(form, IDC_UC_NAME, "World")
        self.ctl.ok("click", form, "OK")
        self.gone(form)
        dump = self.dump()
        self.assertEqual(["Arts", "World"], [c["name"] for c in dump["categories"]])
        self.assertEqual(["World"] * 5, [t["category"] for t in dump["texts"]])
        self.assertEqual("World", dump["sites"][0]["category"])
        # The site browse shows the site as stored now.
        self.wait_rows(browse, lambda r: r["rows"] and r["rows"][0][2] == "World")

        # "Locations for this Category" opens the category's sites.
        self.wait_rows(cats, lambda r: ["World", "All the news"] in r["rows"], IDC_CB_LIST)
        self.select_category(cats, "World")
        self.ctl.ok("click", cats, "Locations for this Category")
        by_cat = self.window("Browse Location by Category")
        self.assertTrue(by_cat)
        self.assertEqual("Browse Location by Category - World", self.ctl.ask("text", self.host_of(by_cat))["text"])
        self.wait_rows(by_cat, lambda r: len(r["rows"]) == 1, IDC_BC_LIST)
        self.assertEqual("http://daily.example/", self.rows(by_cat, IDC_BC_LIST)["rows"][0][0])
        self.shot("by-category")
        self.ctl.ok("close", self.host_of(by_cat))

        # Delete: the category, its texts and its sites go; the browses no longer show them.
        self.select_category(cats, "World")
        self.ctl.ok("click", cats, "Delete")
        self.expect_box("Confirm Delete", text=CONFIRM_DELETE, press="OK")
        dump = self.dump()
        self.assertEqual(["Arts"], [c["name"] for c in dump["categories"]])
        self.assertEqual([], dump["texts"])
        self.assertEqual([], dump["sites"])
        self.wait_rows(browse, lambda r: r["rows"] == [])
        self.wait_rows(cats, lambda r: [x[0] for x in r["rows"]] == ["Arts"], IDC_CB_LIST)
        # The pseudo-categories take texts like any category.
        form = self.category_form(cats, "Insert", "Category Will Be Added")
        self.type(form, IDC_UC_NAME, "_Before All")
        self.ctl.ok("click", form, "OK")
        self.gone(form)
        self.assert_no_box()

    # ---- two windows at once ----------------------------------------------------------

    def test_two_browses_work_at_once(self):
        fixture("category", "Misc")
        fixture("sites", 120, "Misc")
        first = self.start()
        self.ctl.ok("command", self.frame, IDM_BROWSE_LOCATIONS)
        second = self.window("Browse Locations", index=1)
        self.assertTrue(second)
        self.wait_rows(second, lambda r: len(r["rows"]) > 3)
        # A form open in the first browse does not stop the second (its own thread).
        self.ctl.ok("click", first, "Insert")
        form = self.form("Adding Location")
        before = self.rows(second)["rows"][0][0]
        self.ctl.ok("keydown", self.rows_view(second), VK_NEXT)
        self.wait_rows(second, lambda r: r["rows"][0][0] != before)
        self.shot("two-browses")
        self.type(form, IDC_UT_LOCATION, "http://aaa.example/")
        self.type(form, IDC_UT_DESCRIPTION, "AAA first of all")
        self.ctl.ok("choose", self.control(form, IDC_UT_CATEGORY), "Misc")
        self.ctl.ok("click", form, "OK")
        self.gone(form)
        # The first shows the new site; the second, back at the top, shows it too.
        self.wait_rows(first, lambda r: r["rows"][r["selected"]][0] == "AAA first of all")
        self.ctl.ok("scroll", self.control(self.control(second, IDC_BT_LIST), IDC_PAGE_SCROLL), SB_THUMBPOSITION, 1)
        self.wait_rows(second, lambda r: r["rows"][0][0] == "AAA first of all")
        self.assertIn("http://aaa.example/", self.sites())
        self.assert_no_box()


if __name__ == "__main__":
    unittest.main(verbosity=2)

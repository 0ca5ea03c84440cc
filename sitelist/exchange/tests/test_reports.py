#!/usr/bin/python3
"""Black-box tests of Tabulink's reports, print preview and text viewers on the
real TABLNK.exe under Wine: every report run to its preview and printed to a
PDF printer (a CUPS scheduler of the test's own with Debian's cups-pdf), the
PDF read back with pdfinfo and pdftotext; the preview's paging, zooms,
thumbnails and jump; "Cancel" during "Generating Report"; the viewers with
find, print and their positions; and screenshots of all of them.

Usage: test_reports.py TABLNK.exe winctl.exe report_fixture.exe
"""
import glob
import json
import os
import re
import shutil
import subprocess
import time
import unittest

import tablnk_driver as driver
import txharness as h

TABLNK, WINCTL, FIXTURE = driver.take_programs()
SHOTS = driver.SHOTS
WORK = os.path.abspath("reports-work")
CUPS = os.path.abspath("reports-cups")
INI = driver.INI
PDF_DIR = os.path.join(os.path.expanduser("~"), "PDF")

# Menu commands (resource.h).
IDM_FILE_EXIT = 2006
IDM_REPORT = {"URLs by Description": 2201, "URLs by Location": 2202, "URLs by Category": 2203,
              "URLs by Rating": 2204, "URLs by Keyword": 2205, "Categories": 2206}
IDM_HELP_README = 2401
IDM_HELP_WHATSNEW = 2402
IDM_PREVIEW_PRINT, IDM_PREVIEW_EXIT = 2601, 2602
IDM_PREVIEW_NEXT, IDM_PREVIEW_PREVIOUS, IDM_PREVIEW_JUMP = 2611, 2612, 2613
IDM_ZOOM_NONE, IDM_ZOOM_PAGEWIDTH, IDM_ZOOM_50, IDM_ZOOM_200 = 2620, 2621, 2622, 2625
# Controls.
IDC_PREVIEW_PAGE, IDC_PREVIEW_ACROSS, IDC_PREVIEW_DOWN = 1574, 1577, 1580
IDC_JUMP_PAGE = 1592
IDC_FIND_WHAT, IDC_FIND_WHOLE, IDC_FIND_CASE, IDC_FIND_UP, IDC_FIND_DOWN = 1621, 1622, 1623, 1625, 1626

# The sites of the ordering cases: two ties at rating 10, a blank keyword, a
# blank description, a long location and description that wrap.
LONG_LOCATION = "http://c.example/" + "/".join("part%02d" % i for i in range(12)) + "/index.html"
SITES = [
    ("http://b.example/", "Beta site", "News", 2, "http"),
    ("ftp://a.example/", "alpha archive", "Files", 10, "ftp"),
    (LONG_LOCATION, "Gamma, with a description long enough to wrap in its column of the report page",
     "news", 10, ""),
    ("mailto:x@example.com", "", "Mail", 5, "mailto"),
    ("http://d.example/", "Delta", "Files", 10, "http"),
    ("telnet://e.example/", "Epsilon", "Remote", -3, "telnet"),
]
CATEGORIES = [
    ("News", "Daily news\\nand weekly papers"),
    ("Files", "Archives of programs"),
    ("_Before All", ""),
]


class Printer:
    """A CUPS scheduler of the test's own (socket in the build tree) with one
    cups-pdf queue "PDF", the default. Jobs become PDF files in ~/PDF."""

    def __init__(self):
        shutil.rmtree(CUPS, ignore_errors=True)
        for d in ("root/ppd", "cache", "state", "spool", "log", "run"):
            os.makedirs(os.path.join(CUPS, d))
        self.socket = os.path.join(CUPS, "run", "cups.sock")
        with open(os.path.join(CUPS, "root", "cupsd.conf"), "w") as f:
            f.write("Listen %s\nLogLevel warn\nWebInterface No\nBrowsing No\n"
                    "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                    "<Location /admin>\n  Order allow,deny\n  Allow all\n</Location>\n" % self.socket)
        with open(os.path.join(CUPS, "root", "cups-files.conf"), "w") as f:
            for key, sub in (("ServerRoot", "root"), ("CacheDir", "cache"), ("StateDir", "state"),
                             ("RequestRoot", "spool"), ("TempDir", "spool")):
                f.write("%s %s\n" % (key, os.path.join(CUPS, sub)))
            for key, name in (("ErrorLog", "error_log"), ("AccessLog", "access_log"), ("PageLog", "page_log")):
                f.write("%s %s\n" % (key, os.path.join(CUPS, "log", name)))
            f.write("FileDevice No\nSandboxing Relaxed\n")
        self.env = dict(os.environ, CUPS_SERVER=self.socket)
        self.proc = subprocess.Popen(["/usr/sbin/cupsd", "-F", "-c", os.path.join(CUPS, "root", "cupsd.conf"),
                                      "-s", os.path.join(CUPS, "root", "cups-files.conf")],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL, start_new_session=True)
        end = time.time() + 30
        while subprocess.run(["lpstat", "-r"], env=self.env, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL).returncode != 0:
            if self.proc.poll() is not None or time.time() > end:
                raise AssertionError("cupsd did not start (see %s/log/error_log)" % CUPS)
            time.sleep(0.1)
        ppd = "/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd"
        # A scheduler that answers lpstat may still refuse a new queue for a moment
        # while it loads its backends: ask again until it takes it.
        while subprocess.run(["lpadmin", "-p", "PDF", "-v", "cups-pdf:/", "-P", ppd, "-E"], env=self.env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode != 0:
            if self.proc.poll() is not None or time.time() > end:
                self.stop()
                raise AssertionError("cupsd refused the PDF queue (see %s/log/error_log)" % CUPS)
            time.sleep(0.2)
        subprocess.run(["lpadmin", "-d", "PDF"], env=self.env, check=True, stdout=subprocess.DEVNULL)

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()

    @staticmethod
    def pattern(title):
        # cups-pdf names the file after the job's title, with '_' for what files should not hold.
        return os.path.join(PDF_DIR, "*".join(w for w in re.split(r"[^A-Za-z0-9]+", title) if w) + "*.pdf")

    def clear(self, title):
        for p in glob.glob(self.pattern(title)):
            os.remove(p)

    def wait_pdf(self, title, timeout=90):
        """The PDF of the job titled `title`, once cups-pdf has finished it."""
        end = time.time() + timeout
        while time.time() < end:
            for p in glob.glob(self.pattern(title)):
                r = subprocess.run(["pdfinfo", p], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
                if r.returncode == 0:
                    return p
            time.sleep(0.2)
        raise AssertionError("no PDF for %r in %s" % (title, PDF_DIR))


def pdf_pages(path):
    out = subprocess.run(["pdfinfo", path], stdout=subprocess.PIPE, text=True, check=True).stdout
    for line in out.splitlines():
        if line.startswith("Pages:"):
            return int(line.split()[1])
    raise AssertionError("pdfinfo gave no page count")


def pdf_text(path, page):
    """The text of one page; the PostScript driver's hyphen and semicolon come back as a soft hyphen
    and a Greek question mark."""
    out = subprocess.run(["pdftotext", "-layout", "-f", str(page), "-l", str(page), path, "-"],
                         stdout=subprocess.PIPE, check=True).stdout.decode("utf-8", "replace")
    return out.replace("\u00ad", "-").replace("\u037e", ";")


def fixture(*args, input=None):
    return driver.fixture_json(args, cwd=WORK, input=input, timeout=600)


def add_records(sites=SITES, categories=CATEGORIES):
    lines = ["S\t%s\t%s\t%s\t%d\t%s" % s for s in sites] + ["C\t%s\t%s" % c for c in categories]
    return fixture("add", input=("\n".join(lines) + "\n").encode("latin-1"))


class ReportsTest(driver.TablnkCase):
    """Each test starts from no TABLNK.INI and an empty working directory."""

    WORK = WORK

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.printer = Printer()
        # Wine lists the scheduler's printers to a program that has CUPS_SERVER.
        r = h.run([FIXTURE, "printers"], env={"CUPS_SERVER": cls.printer.socket})
        listed = json.loads(r.stdout.decode("latin-1").strip().splitlines()[-1])
        if "PDF" not in listed["printers"]:
            cls.printer.stop()
            raise AssertionError("Wine does not list the PDF printer: %s" % listed)

    @classmethod
    def tearDownClass(cls):
        cls.printer.stop()

    def setUp(self):
        super().setUp()
        self.frame = 0

    # ---- helpers ------------------------------------------------------------------

    def start(self, program=TABLNK):
        self.launch(program, env={"CUPS_SERVER": self.printer.socket}, stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL)
        self.frame = self.ctl.expect(lambda: self.ctl.find("TabulinkFrame", "Tabulink"), what="the frame")
        # The site browse opens with the frame once it is part of the program; the
        # splash closes with the first menu choice.
        return self.frame

    def unexpected_boxes(self):
        return [b for b in self.ctl.boxes() if b["title"] not in ("Searching Text...", "Jump to a Report Page",
                                                                   "Generating Report", "Reading File")]

    def open_preview(self, title):
        self.ctl.ask("command", self.frame, IDM_REPORT[title])
        preview = self.ctl.expect(lambda: self.ctl.find("TabulinkReportPreview", "Report Preview"),
                                what="the preview of " + title)
        self.assertEqual(self.unexpected_boxes(), [])
        return preview

    def status(self, preview, part=0):
        bar = self.ctl.findchild(preview, "msctls_statusbar32")
        answer = self.ctl.ask("sbtext", bar, part)
        self.assertTrue(answer["ok"], answer)
        return answer["text"]

    def wait_status(self, preview, text, part=0):
        self.ctl.expect(lambda: self.status(preview, part) == text, timeout=20,
                      what="status %r (it shows %r)" % (text, self.status(preview, part)))

    def page_count(self, preview):
        text = self.status(preview)  # "Page 1 of N"
        self.assertRegex(text, r"^Page \d+ of \d+$")
        return int(text.split()[-1])

    def bar(self, preview):
        return preview  # the tool bar's controls are the preview's own

    def shot(self, name):
        h.screenshot(os.path.join(SHOTS, "reports-%s.png" % name))

    def print_preview(self, preview, title):
        self.printer.clear(title)
        self.ctl.ask("command", preview, IDM_PREVIEW_PRINT)
        self.ctl.expect(lambda: not self.ctl.find("TabulinkReportPreview", "Report Preview"),
                      what="the preview to close after printing")
        self.assertEqual(self.unexpected_boxes(), [])
        return self.printer.wait_pdf(title)

    # ---- reports ------------------------------------------------------------------

    def test_every_report_prints_all_its_pages_in_its_order(self):
        add_records()
        fixture("generate", 150)  # three pages and more of sites
        self.start()
        order_checks = {
            # Highest rating first, ties by description; the negative rating last.
            "URLs by Rating": ["alpha archive", "Delta", "Gamma", "Beta site"],
            "URLs by Description": ["alpha archive", "Beta site", "Delta", "Epsilon", "Gamma"],
            "URLs by Location": ["ftp://a.example/", "http://b.example/", "http://c.example/", "mailto:x@example.com"],
            "URLs by Category": ["alpha archive", "Delta", "Beta site", "Gamma"],
            "URLs by Keyword": ["http://c.example/", "ftp://a.example/", "mailto:x@example.com"],
            "Categories": ["_Before All", "Files", "News"],
        }
        for title, command in IDM_REPORT.items():
            with self.subTest(report=title):
                preview = self.open_preview(title)
                pages = self.page_count(preview)
                self.assertGreaterEqual(pages, 1 if title == "Categories" else 3)
                path = self.print_preview(preview, title)
                self.assertEqual(pdf_pages(path), pages)
                first, last = pdf_text(path, 1), pdf_text(path, pages)
                everything = "".join(pdf_text(path, p) for p in range(1, pages + 1))
                for page_text, number in ((first, 1), (last, pages)):
                    self.assertIn(title, page_text)
                    self.assertEqual(page_text.strip().splitlines()[-1].strip(), "Page %d" % number)
                if title == "Categories":
                    self.assertIn("Category", first)
                    self.assertIn("Daily news", first)
                    self.assertIn("and weekly papers", first)
                else:
                    for heading in ("Location", "Description", "Category", "Rating", "Keyword"):
                        self.assertIn(heading, first)
                    # Every site once: five of the cases and the 150 generated ones.
                    self.assertEqual(everything.count(".example/"), 155)
                positions = [everything.find(t) for t in order_checks[title]]
                self.assertNotIn(-1, positions, "%s: %s" % (title, order_checks[title]))
                self.assertEqual(positions, sorted(positions), title)
                if title == "URLs by Description":
                    self.assertNotIn("mailto:x@example.com", everything)  # its description is blank
                if title == "URLs by Keyword":
                    self.assertIn("http://c.example/", first)  # the blank keyword comes first
                if title == "URLs by Rating":
                    self.assertIn("-3", everything)
                    # The long location and description wrap inside their columns.
                    # The long location is cut to 100 characters and wraps with the
                    # description inside their columns.
                    self.assertIn("art10/part11", everything)
                    self.assertNotIn("index.html", everything)
                    self.assertIn("report page", everything)
                if title == "URLs by Location":
                    subprocess.run(["pdftoppm", "-r", "50", "-png", "-f", "1", "-l", "1", path,
                                    os.path.join(SHOTS, "reports-pdf-location")], check=True)

    def test_preview_pages_zooms_thumbnails_and_jump(self):
        add_records()
        fixture("generate", 700)
        self.start()
        preview = self.open_preview("URLs by Location")
        pages = self.page_count(preview)
        self.assertGreaterEqual(pages, 8)
        self.wait_status(preview, "No Zoom", part=1)
        self.shot("preview-1x1")
        self.ctl.ask("command", preview, IDM_PREVIEW_NEXT)
        self.wait_status(preview, "Page 2 of %d" % pages)
        self.ctl.ask("command", preview, IDM_PREVIEW_PREVIOUS)
        self.wait_status(preview, "Page 1 of %d" % pages)
        # Thumbnails: three across, two down; next and previous move by six pages.
        bar = self.bar(preview)
        self.ctl.ask("settext", bar, IDC_PREVIEW_ACROSS, "3")
        self.ctl.ask("settext", bar, IDC_PREVIEW_DOWN, "2")
        self.ctl.ask("command", preview, IDM_PREVIEW_NEXT)
        self.wait_status(preview, "Page 7 of %d" % pages)
        self.shot("preview-3x2")
        self.ctl.ask("command", preview, IDM_PREVIEW_PREVIOUS)
        self.wait_status(preview, "Page 1 of %d" % pages)
        self.ctl.ask("settext", bar, IDC_PREVIEW_ACROSS, "2")
        self.ctl.ask("settext", bar, IDC_PREVIEW_DOWN, "1")
        self.shot("preview-2x1")
        # Zooms.
        self.ctl.ask("command", preview, IDM_ZOOM_PAGEWIDTH)
        self.wait_status(preview, "Zoom (Page Width)", part=1)
        self.shot("preview-page-width")
        self.ctl.ask("command", preview, IDM_ZOOM_200)
        self.wait_status(preview, "Zoom (200 Percent)", part=1)
        self.shot("preview-200")
        self.ctl.ask("command", preview, IDM_ZOOM_50)
        self.wait_status(preview, "Zoom (50 Percent)", part=1)
        self.ctl.ask("command", preview, IDM_PREVIEW_NEXT)  # one page at a time when zoomed
        self.wait_status(preview, "Page 2 of %d" % pages)
        self.shot("preview-50")
        # Typing a page number into the tool bar.
        self.ctl.ask("settext", bar, IDC_PREVIEW_PAGE, str(pages))
        self.wait_status(preview, "Page %d of %d" % (pages, pages))
        self.ctl.ask("command", preview, IDM_ZOOM_NONE)
        self.wait_status(preview, "No Zoom", part=1)
        # Jump to a Report Page: the prompt names the range; a number out of it is refused.
        self.ctl.ask("command", preview, IDM_PREVIEW_JUMP)
        box = self.ctl.expect(lambda: [b for b in self.ctl.boxes() if b["title"] == "Jump to a Report Page"],
                            what="the jump dialog")[0]
        jump = box["hwnd"]
        self.assertIn("Enter a page number from 1 to %d" % pages, box["texts"])
        self.assertIn("&Page:", box["texts"])
        self.assertIn("OK", box["buttons"])
        self.shot("jump")
        self.ctl.ask("settext", jump, IDC_JUMP_PAGE, str(pages + 1))
        self.ctl.ask("click", jump, "OK")
        time.sleep(0.5)  # the dialog must still be there: nothing to wait for but its staying
        self.assertTrue(self.ctl.find("#32770", "Jump to a Report Page"))
        self.ctl.ask("settext", jump, IDC_JUMP_PAGE, "3")
        self.ctl.ask("click", jump, "OK")
        self.ctl.expect(lambda: not self.ctl.find("#32770", "Jump to a Report Page"), what="the jump dialog to close")
        self.wait_status(preview, "Page 3 of %d" % pages)
        # Exit leaves without printing and keeps the window's place.
        self.printer.clear("URLs by Location")
        self.ctl.ask("command", preview, IDM_PREVIEW_EXIT)
        self.ctl.expect(lambda: not self.ctl.find("TabulinkReportPreview", "Report Preview"), what="the preview to go")
        self.assertEqual(glob.glob(self.printer.pattern("URLs by Location")), [])
        self.assertEqual(self.unexpected_boxes(), [])

    def test_cancel_stops_the_report_without_a_preview(self):
        fixture("generate", 100000)  # the run takes a second or so
        self.start()
        self.ctl.ask("command", self.frame, IDM_REPORT["URLs by Description"])
        # The responder waits for the progress window itself and cancels the moment it shows:
        # polling from here could miss a run that ends between two looks.
        answer = self.ctl.ask("awaitclick", "#32770", "Generating Report", "Cancel", 60000)
        self.assertTrue(answer.get("ok"), answer)
        self.ctl.expect(lambda: not self.ctl.find("#32770", "Generating Report"), what="the progress window to go")
        end = time.time() + 3
        while time.time() < end:  # no preview may follow
            self.assertFalse(self.ctl.find("TabulinkReportPreview", "Report Preview"))
            time.sleep(0.2)
        # Run again to its end: the window shows the report and its percentage, then the preview.
        self.ctl.ask("command", self.frame, IDM_REPORT["URLs by Description"])
        progress = self.ctl.expect(lambda: self.ctl.find("#32770", "Generating Report") or
                                   self.ctl.find("TabulinkReportPreview", "Report Preview"),
                                   what="the progress window or the preview")
        self.shot("generating")
        boxes = [b for b in self.ctl.boxes() if b["hwnd"] == progress]
        if boxes and boxes[0]["texts"]:  # unless the run ended meanwhile
            self.assertIn("URLs by Description", boxes[0]["texts"])
            for t in boxes[0]["texts"][1:]:
                self.assertRegex(t, r"^ {0,2}\d{1,3}% Completed$")
        preview = self.ctl.expect(lambda: self.ctl.find("TabulinkReportPreview", "Report Preview"),
                                what="the preview after the whole run")
        self.assertEqual(self.status(preview), "Page 1 of %d" % self.page_count(preview))
        self.assertGreater(self.page_count(preview), 1000)
        self.ctl.ask("command", preview, IDM_PREVIEW_EXIT)

    # ---- viewers ------------------------------------------------------------------

    def open_viewer(self, command, title):
        """The viewer's window (the frame's child), its dialog and its list."""
        self.ctl.ask("command", self.frame, command)
        host = self.ctl.expect(lambda: self.ctl.findchild(self.frame, "TabulinkWindow", title),
                             what="the viewer " + title)
        viewer = self.ctl.findchild(host, "TabulinkTextViewer", title)
        listbox = self.ctl.findchild(viewer, "ListBox")
        self.assertTrue(listbox)
        self.host = host
        return viewer, listbox

    def find(self, viewer, what, whole=False, case=False, up=False):
        self.ctl.ask("click", viewer, "Find...")
        box = self.ctl.expect(lambda: [b for b in self.ctl.boxes() if b["title"] == "Searching Text..."],
                            what="the find dialog")[0]
        dialog = box["hwnd"]
        self.assertIn("Find What:", box["texts"])
        for b in ("Match &Whole Word Only", "Match &Case", "Direction", "&Up", "&Down", "Find", "Cancel"):
            self.assertIn(b, box["buttons"])
        self.ctl.ask("settext", dialog, IDC_FIND_WHAT, what)
        self.ctl.ask("check", dialog, IDC_FIND_WHOLE, int(whole))
        self.ctl.ask("check", dialog, IDC_FIND_CASE, int(case))
        self.ctl.ask("check", dialog, IDC_FIND_UP, int(up))
        self.ctl.ask("check", dialog, IDC_FIND_DOWN, int(not up))
        self.ctl.ask("click", dialog, "Find")
        self.ctl.expect(lambda: not self.ctl.ask("describe", dialog)["exists"], what="the find dialog to close")

    def selected(self, listbox):
        return self.ctl.ask("listbox", listbox)

    def test_viewers_find_print_and_keep_their_place(self):
        with open(os.path.join(os.path.dirname(TABLNK), "whatsnew.txt"), "rb") as f:
            lines = f.read().decode("cp1252").split("\r\n")
        self.start()
        viewer, listbox = self.open_viewer(IDM_HELP_WHATSNEW, "What's New")
        state = self.selected(listbox)
        self.assertEqual(state["count"], len(lines) - (1 if lines[-1] == "" else 0))
        self.assertEqual(state["selected"], -1)
        # Down from the top: the first line holding "print" in any case.
        want = [i for i, l in enumerate(lines) if "print" in l.lower()]
        self.assertGreaterEqual(len(want), 2)
        self.find(viewer, "print")
        self.ctl.expect(lambda: self.selected(listbox)["selected"] == want[0], what="the first match")
        self.shot("viewer-found")
        # Find Next goes on down, then wraps to the first again.
        for expect in want[1:] + want[:1]:
            self.ctl.ask("click", viewer, "Find Next")
            self.ctl.expect(lambda: self.selected(listbox)["selected"] == expect, what="match %d" % expect)
        # Up, whole word, matching case: "Print" as a word.
        whole = [i for i, l in enumerate(lines) if re.search(r"(?<![A-Za-z0-9_])Print(?![A-Za-z0-9_])", l)]
        self.assertTrue(whole)
        self.find(viewer, "Print", whole=True, case=True, up=True)
        before = [i for i in whole if i < want[0]]
        self.ctl.expect(lambda: self.selected(listbox)["selected"] == (before[-1] if before else whole[-1]),
                      what="the whole-word match upwards")
        # A text that is not there says so and leaves the selection.
        was = self.selected(listbox)["selected"]
        self.find(viewer, "zebra crossing")
        box = self.ctl.expect(lambda: [b for b in self.ctl.boxes() if b["title"] == "Text Not Found"],
                            what="the not-found message")[0]
        self.assertEqual(box["texts"], ['"zebra crossing" was not found in What\'s New.'])
        self.ctl.ask("click", box["hwnd"], "OK")
        self.ctl.expect(lambda: not self.ctl.find("#32770", "Text Not Found"), what="the message to close")
        self.assertEqual(self.selected(listbox)["selected"], was)
        # Print: the lines as a report, through the preview.
        self.ctl.ask("click", viewer, "Print")
        preview = self.ctl.expect(lambda: self.ctl.find("TabulinkReportPreview", "Report Preview"),
                                what="the viewer's preview")
        pages = self.page_count(preview)
        path = self.print_preview(preview, "What's New")
        self.assertEqual(pdf_pages(path), pages)
        printed = " ".join(" ".join(pdf_text(path, p).split()) for p in range(1, pages + 1))
        for line in lines:
            if line.strip():
                self.assertIn(" ".join(line.split()), printed)
        # Its place is kept under its name.
        self.ctl.ask("move", self.host, 30, 20, 500, 300)
        self.ctl.ask("click", viewer, "Close")
        self.ctl.expect(lambda: not self.ctl.findchild(self.frame, "TabulinkWindow", "What's New"),
                      what="the viewer to close")
        section = {}
        with open(INI, "rb") as f:
            current = None
            for raw in f.read().decode("latin-1").splitlines():
                if raw.startswith("["):
                    current = raw.strip()[1:-1]
                elif current == "WhatsNew" and "=" in raw:
                    k, v = raw.strip().split("=", 1)
                    section[k] = v
        self.assertEqual(section.get("Width"), "500")
        self.assertEqual(section.get("Height"), "300")
        # The read-me shows under its own title.
        viewer, listbox = self.open_viewer(IDM_HELP_README, "Using Tabulink")
        self.assertGreater(self.selected(listbox)["count"], 50)
        self.shot("viewer-readme")
        self.assertEqual(self.unexpected_boxes(), [])

    def test_missing_text_file_is_reported_and_the_program_goes_on(self):
        # A copy of the program without its text files beside it or in the working directory.
        program = os.path.join(WORK, "TABLNK.exe")
        shutil.copy(TABLNK, program)
        self.start(program)
        self.ctl.ask("command", self.frame, IDM_HELP_WHATSNEW)
        box = self.ctl.expect(lambda: [b for b in self.ctl.boxes() if b["title"] == "Record Retrieval Error"],
                            what="the file error")[0]
        self.assertEqual(box["texts"], ["Error: (File Not Found (2)) attempting to access a record from the "
                                        "whatsnew.txt file.  Returning to previous window."])
        self.ctl.ask("click", box["hwnd"], "OK")
        self.ctl.expect(lambda: not self.ctl.find("#32770", "Record Retrieval Error"), what="the box to close")
        self.assertFalse(self.ctl.findchild(self.frame, "TabulinkWindow", "What's New"))
        # The program goes on: a report still runs.
        preview = self.open_preview("URLs by Rating")
        self.assertEqual(self.status(preview), "Page 1 of 1")
        self.ctl.ask("command", preview, IDM_PREVIEW_EXIT)


if __name__ == "__main__":
    unittest.main(verbosity=2)

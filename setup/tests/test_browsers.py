#!/usr/bin/python3
"""Black-box tests of TXSETUP.exe's browser configuration under Wine: products made
with setup/tools/make_product.py carry our checkwb.dll stand-in, which finds Wine's own
Internet Explorer (its App Paths entry) and a Netscape stand-in the tests install (a
program, its bookmark file and its App Paths entry), and NCSA Mosaic once "Add
Browser..." has located it. The wizard's browser pages are driven with winctl as a
user would; the browsers' settings files, the HTML handler and the uninstall log are
checked, and the uninstaller stand-in (or a failed run) must leave the machine as it
was.

Usage: test_browsers.py TXSETUP.exe winctl.exe txuninst.exe txarchive.exe checkwb.dll
"""
import os
import shutil
import struct
import sys
import time
import unittest

CHECKWB = os.path.abspath(sys.argv.pop(5))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_txsetup as t  # noqa: E402  (takes the first four arguments)
import txharness as h  # noqa: E402

t.WORK = os.path.abspath("browsers-work")
WORK = t.WORK
TITLE, DEST_WIN, KEY, HKCR = t.TITLE, t.DEST_WIN, t.KEY, t.HKCR
SHOTS = t.SHOTS

IDC_HEADING, IDC_LIST, IDC_BOOKMARK, IDC_PLUGIN, IDC_EXTENSION, IDC_PATH = 3242, 3243, 3244, 3245, 3246, 3247
IDC_ADD, IDC_CUSTOMISE, IDC_BROWSE, IDC_NOT_FOUND = 3248, 3249, 3238, 3255
IDC_LOCATE_PROMPT, IDC_LOCATE_PATH, IDC_LOCATE_BROWSE = 101, 102, 103  # the library's locate dialog
IDOK, IDCANCEL, IDC_FILE_TYPES, IDC_FILE_NAME, IDC_FILE_NAME_EDIT = 1, 2, 0x470, 0x47c, 0x480  # the open-file dialog
IDC_USER_NAME, IDC_BACK, IDC_NEXT, IDC_FINISH, IDC_UPPER = 3239, 3252, 3253, 3254, 3226
LB_SETSEL, LB_SETCURSEL, WM_GETTEXTLENGTH, DM_GETDEFID = 0x0185, 0x0186, 0x000E, 0x0400

IE, NETSCAPE, MOSAIC = "Microsoft Internet Explorer", "Netscape Navigator", "NCSA Mosaic"
IE_EXE = "C:\\Program Files\\Internet Explorer\\iexplore.exe"
NS_DIR = "C:\\TessaBrowsers\\Netscape\\Program\\"
NS_EXE = NS_DIR + "netscape.exe"
MOSAIC_EXE = "C:\\TessaBrowsers\\Mosaic\\mosaic.exe"
APP_PATHS = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\netscape.exe"
# What the library makes besides the settings files: Internet Explorer's control class,
# Netscape's helper entry for the user, its plug-in and its Xtra.
CONTROL_CLASS = "CLSID\\{6C7A5E31-2B4D-4C8E-9F1A-7D3B2E5A9C40}"
NS_USER_KEYS = ["Software\\Netscape", "Software\\Netscape\\Netscape Navigator",
                "Software\\Netscape\\Netscape Navigator\\Helpers",
                "Software\\Netscape\\Netscape Navigator\\Helpers\\Tessa Test Player"]
NS_PLUGIN = NS_DIR + "Plugins\\npTessavox.ini"
NS_XTRA = NS_DIR + "Plugins\\Xtras\\Tessavox Xtra.ini"
HKCU = "HKEY_CURRENT_USER\\"

SCRIPT = r"""[Default Setting]
Caption=Tessa Test Setup
DestName=C:\TessaTest\Player
ProductName=Tessa Test Player
RegistrationName=TessaTest
MainExe=txplay.exe
DetectWaveDriver=0
CheckWebBrowsers=1
SondrellBaseURL=http://tessa.invalid/first

[File Groups]
Group1=Main
Group2=Uninstaller

[Main]
GroupPath=ROOT
F1=txplay.exe

[Uninstaller]
GroupPath=ROOT
Type=UNINSTALLER
F1=txuninst.exe
"""


def unix(path):
    """The Linux path of a C: path in the prefix."""
    return os.path.join(h.drive_c(), *path[3:].split("\\"))


def ini(path):
    """An INI file as {section: {key: value}}."""
    out, section = {}, None
    for line in t.get(unix(path)).decode("latin-1").splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            section = out.setdefault(line[1:-1], {})
        elif "=" in line and section is not None:
            k, v = line.split("=", 1)
            section[k] = v
    return out


def favorites():
    r = h.run(["cmd", "/c", "echo", "%USERPROFILE%"])
    return r.stdout.decode("latin-1").strip() + "\\Favorites"


def install_stand_in_browsers():
    """The Netscape stand-in: its program, a sibling program whose icon it shows, its
    bookmark file and its App Paths entry; Mosaic's program, not yet found."""
    os.makedirs(unix(NS_DIR))
    shutil.copyfile(t.WINCTL, unix(NS_EXE))
    shutil.copyfile(t.TXSETUP, unix("C:\\TessaBrowsers\\Netscape\\vozaruz.exe"))
    t.put(unix(NS_DIR + "bookmark.htm"), b"<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n")
    os.makedirs(os.path.dirname(unix(MOSAIC_EXE)))
    shutil.copyfile(t.WINCTL, unix(MOSAIC_EXE))
    h.run(["reg", "add", APP_PATHS, "/ve", "/d", NS_EXE, "/f"])


def remove_stand_in_browsers():
    h.run(["reg", "delete", APP_PATHS, "/f"])
    shutil.rmtree(os.path.join(h.drive_c(), "TessaBrowsers"), ignore_errors=True)


class BrowserTest(t.TxSetupTest):
    @classmethod
    def setUpClass(cls):
        files = t.fresh_work("txplay.exe", "txuninst.exe")
        shutil.copyfile(CHECKWB, os.path.join(files, "checkwb.dll"))
        cls.product = os.path.join(WORK, "product")
        t.make_product(cls.product, template=SCRIPT)
        for key in ("HKCR\\Software\\Orvane Labs", "HKCR\\" + t.UNINSTALL, "HKLM\\" + t.UNINSTALL,
                    "HKCR\\HtmlDefBrowser", "HKCR\\TessaHtml", "HKCR\\.htm", APP_PATHS, "HKCR\\" + CONTROL_CLASS,
                    "HKCU\\Software\\Netscape"):
            h.run(["reg", "delete", key, "/f"])
        # An empty "Software" key another test left would go with the uninstaller's
        # clean-up of the maker's key.
        r = h.run(["reg", "query", "HKCR\\Software"])
        if r.returncode == 0 and sum(line.startswith("HKEY_") for line in r.stdout.decode("latin-1").splitlines()) <= 1:
            h.run(["reg", "delete", "HKCR\\Software", "/f"])
        for d in ("TessaTest", "TessaBrowsers"):
            shutil.rmtree(os.path.join(h.drive_c(), d), ignore_errors=True)
        install_stand_in_browsers()
        # Web pages open in Netscape now.
        h.run(["reg", "add", "HKCR\\.htm", "/ve", "/d", "TessaHtml", "/f"])
        h.run(["reg", "add", "HKCR\\TessaHtml\\shell\\open\\command", "/ve", "/d", NS_EXE + ' -h "%1"', "/f"])
        cls.favorites = favorites()
        cls.clean = t.snapshot()
        cls.ctl = t.WinCtl()

    @classmethod
    def tearDownClass(cls):
        cls.ctl.close()
        for key in ("HKCR\\TessaHtml", "HKCR\\.htm"):
            h.run(["reg", "delete", key, "/f"])
        remove_stand_in_browsers()

    # ---- helpers ---------------------------------------------------------------

    def shot(self, name):
        return h.screenshot(os.path.join(SHOTS, "browsers-" + name + ".png"))

    def items(self, d):
        return [(i["text"], i["selected"]) for i in self.ctl.ask("lbitems", d["ids"][IDC_LIST]["hwnd"])["items"]]

    def click_item(self, d, n):
        self.assertTrue(self.ctl.ask("lbclick", d["ids"][IDC_LIST]["hwnd"], n)["ok"])

    def default_button(self, d):
        return self.ctl.ask("send", d["hwnd"], DM_GETDEFID, 0, 0)["result"] & 0xFFFF

    def checked(self, d, control):
        return self.ctl.ask("radio", d["ids"][control]["hwnd"])["checked"]

    def wait_text(self, hwnd, text, timeout=10):
        """The text of a control once it reads text (or as it stands at the timeout)."""
        end = time.time() + timeout
        while True:
            now = self.ctl.ask("text", hwnd)["text"]
            if now == text or time.time() > end:
                return now
            time.sleep(0.1)

    def open_file(self, title):
        """The open-file dialog with this title, once it is up; its file types as the
        list offers them."""
        d = self.dialog(title, control=IDC_FILE_TYPES)
        d["types"] = self.ctl.ask("combo", d["hwnd"], IDC_FILE_TYPES)
        return d

    def file_name_box(self, d):
        return IDC_FILE_NAME if self.ctl.ask("combo", d["hwnd"], IDC_FILE_NAME)["ok"] else IDC_FILE_NAME_EDIT

    def file_name(self, d):
        return self.ctl.ask("text", self.ctl.ask("child", d["hwnd"], self.file_name_box(d))["hwnd"])["text"]

    def choose_file(self, d, name):
        """Types name into the open-file dialog's file name box and presses Open."""
        self.set_text(d, self.file_name_box(d), name)
        self.assertTrue(self.ctl.ask("press", d["hwnd"], IDOK)["ok"])
        self.gone(d["hwnd"])

    def cancel_file(self, d):
        self.assertTrue(self.ctl.ask("press", d["hwnd"], IDCANCEL)["ok"])
        self.gone(d["hwnd"])

    def to_browser_page(self):
        """Welcome, user information and destination; the browser selection page."""
        self.leave(self.page(), "Next >")
        d = self.page(" - User Information")
        self.set_text(d, IDC_USER_NAME, "Ada Tester")
        self.leave(d, "Next >")
        self.leave(self.page(" - Destination Directory"), "Next >")
        return self.page(" - Web Browsers", control=IDC_LIST)

    def variant(self, name, change):
        product = os.path.join(WORK, name)
        shutil.rmtree(product, ignore_errors=True)
        shutil.copytree(self.product, product)
        change(product)
        return product

    def rename_export(self, product, name, other):
        """Renames one export of the product's checkwb.dll in its export directory."""
        path = os.path.join(product, "checkwb.dll")
        data = bytearray(t.get(path))
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        sections, optional = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
        magic = struct.unpack_from("<H", data, pe + 24)[0]
        exports = struct.unpack_from("<I", data, pe + 24 + (112 if magic == 0x20B else 96))[0]
        table = [struct.unpack_from("<IIII", data, pe + 24 + optional + 40 * i + 8) for i in range(sections)]

        def offset(rva):
            for size, address, _, raw in table:
                if address <= rva < address + size:
                    return rva - address + raw
            self.fail("rva %x outside the sections" % rva)
        count, names = struct.unpack_from("<I", data, offset(exports) + 24)[0], struct.unpack_from(
            "<I", data, offset(exports) + 32)[0]
        for i in range(count):
            at = offset(struct.unpack_from("<I", data, offset(names) + 4 * i)[0])
            if data[at:at + len(name) + 1] == name + b"\0":
                data[at:at + len(name)] = other
                t.put(path, bytes(data))
                return
        self.fail("no export %r" % name)

    def uninstall(self):
        r = h.run([os.path.join(t.DEST, "txuninst.exe"), KEY], timeout=60)
        self.assertEqual(0, r.returncode)
        end = time.time() + 60
        while time.time() < end:  # the uninstaller goes on in a copy of itself
            gone = not os.path.exists(t.DEST)
            try:
                snap = t.snapshot()
            except AssertionError:
                continue
            if gone and not any(k.startswith(HKCR + "Software\\Orvane Labs") for k in snap["registry"]):
                return snap
            time.sleep(0.5)
        self.fail("the uninstaller did not finish")

    # ---- the tests, in order ------------------------------------------------------

    def test_0_a_missing_library_or_export_fails_with_3297(self):
        # Without the library the run fails at its start, naming the library's path.
        product = self.variant("no-library", lambda p: os.remove(os.path.join(p, "checkwb.dll")))
        self.start(product)
        self.dialog(TITLE, control=IDC_UPPER, without=IDC_NEXT, timeout=120)  # the prefix's first window
        texts = self.message("Could not load required library: ", shot="no-library")
        self.assertIn(h.winpath(os.path.join(product, "checkwb.dll")), texts)
        self.finish(ok=False)
        # Without SetBrowserAsFound the wizard ends at the browser page.
        product = self.variant("no-set-found", lambda p: self.rename_export(p, b"SetBrowserAsFound",
                                                                           b"SetBrowserAsFounX"))
        self.start(product)
        self.leave(self.page(), "Next >")
        d = self.page(" - User Information")
        self.set_text(d, IDC_USER_NAME, "Ada Tester")
        self.leave(d, "Next >")
        self.leave(self.page(" - Destination Directory"), "Next >")
        texts = self.message("Could not load required library: ", shot="no-export")
        self.assertIn("checkwb.dll", texts)
        self.finish(ok=False)
        # Without ConfigureBrowser the installation fails after its file groups.
        product = self.variant("no-configure", lambda p: self.rename_export(p, b"ConfigureBrowser",
                                                                           b"ConfigureBrowsex"))
        self.start(product)
        self.leave(self.to_browser_page(), "Finish")
        texts = self.message("Could not load required library: ")
        self.assertIn("checkwb.dll", texts)
        self.finish(ok=False)
        self.assertSameMachine(self.clean, t.snapshot())

    def test_1_browsers_customised_and_a_new_default_handler(self):
        # The handler this test registers is not the uninstaller's to remove.
        self.addCleanup(h.run, ["reg", "delete", "HKCR\\HtmlDefBrowser", "/f"])
        self.addCleanup(h.run, ["reg", "add", "HKCR\\.htm", "/ve", "/d", "TessaHtml", "/f"])
        self.start()
        d = self.to_browser_page()
        # 6: the two browsers found, both selected; Mosaic can be added.
        self.assertEqual([(IE, True), (NETSCAPE, True)], self.items(d))
        self.assertTrue(d["ids"][IDC_ADD]["enabled"])
        self.assertFalse(self.checked(d, IDC_CUSTOMISE))
        self.assertEqual(IDC_FINISH, self.default_button(d))
        self.shot("selection")
        # Mosaic chosen with OK, its program not located: nothing changes.
        self.press(d, "Add Browser...")
        add = self.dialog("Add Browser", control=IDC_NOT_FOUND)
        self.ctl.ask("send", add["ids"][IDC_NOT_FOUND]["hwnd"], LB_SETCURSEL, 0, 0)
        self.shot("add-browser")
        self.leave(add, "OK")
        locate = self.dialog("Locate Browser", control=IDC_LOCATE_PATH)  # the library's own dialog
        self.assertIn("Where is the program of NCSA Mosaic installed?", locate["ids"][IDC_LOCATE_PROMPT]["text"])
        self.leave(locate, "Cancel")
        self.assertEqual([(IE, True), (NETSCAPE, True)], self.items(d))
        self.assertTrue(self.page(" - Web Browsers", control=IDC_LIST)["ids"][IDC_ADD]["enabled"])
        # Mosaic double-clicked, its program found with Browse, starting in the folder typed.
        self.press(d, "Add Browser...")
        add = self.dialog("Add Browser", control=IDC_NOT_FOUND)
        self.assertTrue(self.ctl.ask("lbdblclick", add["ids"][IDC_NOT_FOUND]["hwnd"], 0)["ok"])
        self.gone(add["hwnd"])
        locate = self.dialog("Locate Browser", control=IDC_LOCATE_PATH)
        self.set_text(locate, IDC_LOCATE_PATH, MOSAIC_EXE.rsplit("\\", 1)[0])
        self.assertTrue(self.ctl.ask("press", locate["hwnd"], IDC_LOCATE_BROWSE)["ok"])
        chooser = self.open_file("Locate " + MOSAIC)
        self.assertEqual(["Programs (*.exe)", "All files (*.*)"], chooser["types"]["items"])
        self.shot("locate-browse")
        self.choose_file(chooser, "mosaic.exe")
        self.assertEqual(MOSAIC_EXE, self.wait_text(locate["ids"][IDC_LOCATE_PATH]["hwnd"], MOSAIC_EXE))
        self.shot("locate-browser")
        self.leave(locate, "OK")
        end = time.time() + 10
        while len(self.items(d)) < 3 and time.time() < end:
            time.sleep(0.1)
        self.assertEqual([(IE, True), (NETSCAPE, True), (MOSAIC, True)], self.items(d))
        d = self.page(" - Web Browsers", control=IDC_LIST)
        self.assertFalse(d["ids"][IDC_ADD]["enabled"])  # nothing left to add
        self.assertTrue(self.ctl.ask("press", d["hwnd"], IDC_CUSTOMISE)["ok"])
        self.shot("selection-customise")
        self.leave(d, "Next >")

        # 7 for Internet Explorer: its ActiveX controls, no extension, the fixed bookmark.
        d = self.page(" - Browser Components", control=IDC_HEADING)
        ids = d["ids"]
        self.assertEqual(IE + " Custom Options", ids[IDC_HEADING]["text"])
        self.assertEqual("Install Tessavox ActiveX Controls for Internet Explorer?", ids[IDC_PLUGIN]["text"])
        self.assertTrue(ids[IDC_PLUGIN]["visible"] and self.checked(d, IDC_PLUGIN))
        self.assertFalse(ids[IDC_EXTENSION]["visible"])
        self.assertTrue(ids[IDC_BOOKMARK]["visible"] and self.checked(d, IDC_BOOKMARK))
        self.assertEqual(self.favorites, ids[IDC_PATH]["text"])
        self.assertFalse(ids[IDC_PATH]["enabled"] or ids[IDC_BROWSE]["enabled"])
        self.assertEqual(IDC_FINISH, self.default_button(d))
        self.shot("components-ie")
        self.leave(d, "Next >")
        # 7 for Netscape: plug-in and extension; a bookmark path is checked.
        d = self.page(" - Browser Components", control=IDC_HEADING)
        ids = d["ids"]
        self.assertEqual(NETSCAPE + " Custom Options", ids[IDC_HEADING]["text"])
        self.assertEqual("Install Tessavox Plug-in for Netscape?", ids[IDC_PLUGIN]["text"])
        self.assertTrue(ids[IDC_EXTENSION]["visible"] and self.checked(d, IDC_EXTENSION))
        self.assertEqual(NS_DIR + "bookmark.htm", ids[IDC_PATH]["text"])
        self.assertTrue(ids[IDC_PATH]["enabled"] and ids[IDC_BROWSE]["enabled"])
        self.shot("components-netscape")
        self.set_text(d, IDC_PATH, NS_DIR + "missing.htm")
        self.press(d, "Next >")
        self.message("Could not find file", shot="bookmark-missing")
        self.set_text(d, IDC_PATH, NS_EXE)
        self.press(d, "Next >")
        texts = self.message("Please enter the path to the file ", shot="bookmark-name")
        self.assertIn("bookmark.htm", texts)
        # Back is not checked: Internet Explorer's page again, then Netscape's.
        self.leave(d, "< Back")
        d = self.page(" - Browser Components", control=IDC_HEADING)
        self.assertEqual(IE + " Custom Options", d["ids"][IDC_HEADING]["text"])
        self.assertEqual(IDC_BACK, self.default_button(d))
        self.leave(d, "Next >")
        d = self.page(" - Browser Components", control=IDC_HEADING)
        self.assertEqual(NETSCAPE + " Custom Options", d["ids"][IDC_HEADING]["text"])
        # Browse: the configuration files of the bookmark's form offered first, in the
        # folder of the path shown; Cancel changes nothing, a file chosen lands in the
        # page with its bookmark box checked.
        path = d["ids"][IDC_PATH]["hwnd"]
        self.assertTrue(self.ctl.ask("press", d["hwnd"], IDC_BOOKMARK)["ok"])
        self.assertTrue(self.ctl.ask("press", d["hwnd"], IDC_BROWSE)["ok"])
        chooser = self.open_file("Choose the configuration file you need")
        self.assertEqual(["Initial files (*.INI)", "Bookmark files (*.htm)", "All files (*.*)"],
                         chooser["types"]["items"])
        self.assertEqual(1, chooser["types"]["selected"])
        self.assertEqual("*.htm", self.file_name(chooser))
        self.cancel_file(chooser)
        self.assertEqual(NS_DIR + "bookmark.htm", self.ctl.ask("text", path)["text"])
        self.assertFalse(self.checked(d, IDC_BOOKMARK))
        self.assertTrue(self.ctl.ask("press", d["hwnd"], IDC_BROWSE)["ok"])
        chooser = self.open_file("Choose the configuration file you need")
        self.shot("components-browse")
        self.choose_file(chooser, "BOOKMARK.HTM")
        self.assertEqual(NS_DIR + "BOOKMARK.HTM", self.wait_text(path, NS_DIR + "BOOKMARK.HTM"))
        self.assertTrue(self.checked(d, IDC_BOOKMARK))
        self.shot("components-browsed")
        self.assertTrue(self.ctl.ask("press", d["hwnd"], IDC_EXTENSION)["ok"])
        self.leave(d, "Next >")

        # 8: Mosaic (kind 14) is never offered; Netscape opens web pages now and is chosen.
        d = self.page(" - Default Browser", control=IDC_LIST)
        self.assertEqual([(IE, False), (NETSCAPE, True)], self.items(d))
        self.shot("default")
        self.leave(d, "< Back")  # the last browser's components page
        d = self.page(" - Browser Components", control=IDC_HEADING)
        self.assertEqual(NETSCAPE + " Custom Options", d["ids"][IDC_HEADING]["text"])
        self.assertFalse(self.checked(d, IDC_EXTENSION))
        self.leave(d, "Next >")
        d = self.page(" - Default Browser", control=IDC_LIST)
        self.click_item(d, 0)  # Internet Explorer instead: one entry at most
        end = time.time() + 10
        while self.items(d) != [(IE, True), (NETSCAPE, False)] and time.time() < end:
            time.sleep(0.1)
        self.assertEqual([(IE, True), (NETSCAPE, False)], self.items(d))
        self.shot("default-changed")
        self.leave(d, "Next >")
        self.leave(self.page(control=IDC_FINISH), "Finish")
        self.finish(ok=True)

        snap = t.snapshot()
        product = "Tessa Test Player"
        helper = DEST_WIN + "txplay.exe"
        base = {"MimeType": "audio/x-ov-tessavox", "Extensions": ".tx,.txm", "Helper": helper}
        ie_ini = IE_EXE[:-4] + ".ini"
        url = self.favorites + "\\Tessa Test Player Home Page.url"
        self.assertEqual({product: dict(base, Plugin="1", Bookmark=self.favorites)}, ini(ie_ini))
        self.assertEqual({"InternetShortcut": {"URL": "http://tessa.invalid/first"}}, ini(url))
        self.assertEqual({product: dict(base, Plugin="1", Extension="0", Bookmark=NS_DIR + "BOOKMARK.HTM")},
                         ini(NS_DIR + "netscape.ini"))
        self.assertEqual({product: base}, ini(MOSAIC_EXE[:-4] + ".ini"))
        self.assertEqual([(DEST_WIN + "txplay.exe", None), (ie_ini, None), (url, None), (NS_PLUGIN, None),
                          (NS_DIR + "netscape.ini", None), (MOSAIC_EXE[:-4] + ".ini", None)],
                         self.log(snap, "Files"))
        # Internet Explorer's control, Netscape's helper entry and plug-in (its Xtra was
        # not chosen), each key and directory made logged before what it holds.
        self.assertEqual({"@": "Tessa Test Player Control"}, snap["registry"][HKCR + CONTROL_CLASS])
        self.assertEqual({"@": helper}, snap["registry"][HKCR + CONTROL_CLASS + "\\LocalServer32"])
        self.assertEqual([(CONTROL_CLASS, "HKEY_CLASSES_ROOT"), (CONTROL_CLASS + "\\LocalServer32", "HKEY_CLASSES_ROOT")],
                         [e for e in self.log(snap, "Keys") if e[0].startswith("CLSID")])
        self.assertEqual({"MimeType": "audio/x-ov-tessavox", "Extensions": ".tx,.txm", "Helper": helper},
                         snap["registry"][HKCU + NS_USER_KEYS[-1]])
        self.assertEqual([(k, "HKEY_CURRENT_USER") for k in NS_USER_KEYS], self.log(snap, "KeyValues"))
        self.assertEqual({"Plug-in": {"MimeType": "audio/x-ov-tessavox", "Extensions": ".tx,.txm", "Helper": helper}},
                         ini(NS_PLUGIN))
        self.assertFalse(os.path.exists(unix(NS_DIR + "Plugins\\Xtras")))
        self.assertEqual([(NS_DIR + "Plugins", None)],
                         [e for e in self.log(snap, "Directories") if e[0].startswith(NS_DIR)])
        # Internet Explorer is the HTML handler now (not logged: it stays the handler).
        self.assertEqual("HtmlDefBrowser", t.reg_default("HKCR\\.htm"))
        self.assertEqual(IE_EXE + " %1", t.reg_default("HKCR\\HtmlDefBrowser\\shell\\open\\command"))
        self.assertEqual("Hypertext Documents", t.reg_default("HKCR\\HtmlDefBrowser"))
        self.assertEqual("0", t.reg_default("HKCR\\" + KEY + "\\Preferences\\HurledURL"))

        after = self.uninstall()
        changed = {k for k in set(after["registry"]) | set(self.clean["registry"])
                   if after["registry"].get(k) != self.clean["registry"].get(k)}
        self.assertEqual({HKCR + ".htm"} | {HKCR + "HtmlDefBrowser" + k for k in
                                            ("", "\\DefaultIcon", "\\shell", "\\shell\\open",
                                             "\\shell\\open\\command")}, changed)
        self.assertEqual(self.clean["tree"], after["tree"])

    def test_2_no_browser_page_then_the_current_handler_kept(self):
        self.start()
        d = self.to_browser_page()
        self.assertEqual([(IE, True), (NETSCAPE, True)], self.items(d))  # Mosaic is not found
        self.ctl.ask("send", d["ids"][IDC_LIST]["hwnd"], LB_SETSEL, 0, -1)
        self.leave(d, "Next >")
        # 9: nothing selected.
        d = self.page(" - Web Browsers", control=IDC_UPPER)
        text = d["ids"][IDC_UPPER]["text"]
        self.assertTrue(text.startswith("\tNo Web Browsers Configured!\n\nMost Tessavox content is accessible"), text)
        self.assertIn("The Tessa Test Player Installer could not configure any Web browsers on this system.", text)
        self.assertIn("\tMime Type: audio/x-ov-tessavox\n\tExtensions: .tx, .txm\n\tHelper Application: " +
                      DEST_WIN + "txplay.exe\n\nAfter installing", text)
        length = self.ctl.ask("send", d["ids"][IDC_UPPER]["hwnd"], WM_GETTEXTLENGTH, 0, 0)["result"]
        tail = ("\n\nAfter installing a World Wide Web browser, please re-install the Tessa Test Player to "
                "automatically configure the browser.")
        self.assertEqual(text.index("\n\nAfter installing") + len(tail), length)
        self.shot("no-browser")
        self.leave(d, "< Back")  # 8 and 7 do not apply
        d = self.page(" - Web Browsers", control=IDC_LIST)
        self.assertEqual([(IE, False), (NETSCAPE, False)], self.items(d))
        self.click_item(d, 1)
        end = time.time() + 10
        while self.items(d) != [(IE, False), (NETSCAPE, True)] and time.time() < end:
            time.sleep(0.1)
        self.leave(d, "Next >")
        d = self.page(" - Default Browser", control=IDC_LIST)
        self.assertEqual([(NETSCAPE, True)], self.items(d))
        self.leave(d, "Finish")
        self.finish(ok=True)
        # Netscape already opens web pages: no "HtmlDefBrowser"; only Netscape configured.
        self.assertEqual("TessaHtml", t.reg_default("HKCR\\.htm"))
        self.assertIsNone(t.reg_default("HKCR\\HtmlDefBrowser"))
        self.assertFalse(os.path.exists(unix(IE_EXE[:-4] + ".ini")))
        self.assertEqual(["Plugin", "Extension", "Bookmark"],
                         [k for k in ini(NS_DIR + "netscape.ini")["Tessa Test Player"]][3:])
        # Its plug-in and Xtra (both offered and chosen) in folders of their own; no control class.
        snap = t.snapshot()
        xtra = {"MimeType": "audio/x-ov-tessavox", "Extensions": ".tx,.txm", "Helper": DEST_WIN + "txplay.exe"}
        self.assertEqual({"Xtra": xtra}, ini(NS_XTRA))
        self.assertEqual([(NS_DIR + "Plugins", None), (NS_DIR + "Plugins\\Xtras", None)],
                         [e for e in self.log(snap, "Directories") if e[0].startswith(NS_DIR)])
        self.assertEqual([NS_PLUGIN, NS_XTRA, NS_DIR + "netscape.ini"],
                         [e[0] for e in self.log(snap, "Files") if e[0].startswith(NS_DIR)])
        self.assertEqual([(k, "HKEY_CURRENT_USER") for k in NS_USER_KEYS], self.log(snap, "KeyValues"))
        self.assertNotIn(HKCR + CONTROL_CLASS, snap["registry"])
        # Netscape keeps a setting of its own in a key the library made: the uninstaller
        # leaves it, and the keys that hold it; the library's own key goes.
        navigator = "HKCU\\" + NS_USER_KEYS[1]
        h.run(["reg", "add", navigator + "\\Main", "/v", "Home Page", "/d", "http://home.invalid/", "/f"], check=True)
        after = self.uninstall()
        self.assertEqual({"Home Page": "http://home.invalid/"}, after["registry"].get(HKCU + NS_USER_KEYS[1] + "\\Main"))
        self.assertEqual([HKCU + k for k in NS_USER_KEYS[:2]] + [HKCU + NS_USER_KEYS[1] + "\\Main"],
                         sorted(k for k in after["registry"] if k.startswith(HKCU + NS_USER_KEYS[0])))
        h.run(["reg", "delete", "HKCU\\" + NS_USER_KEYS[0], "/f"], check=True)
        self.assertSameMachine(self.clean, t.snapshot())

    def test_3_a_failing_configuration_undoes_the_run(self):
        os.makedirs(unix(NS_DIR + "netscape.ini"), exist_ok=True)  # Netscape's settings cannot be written
        try:
            before = t.snapshot()
            self.start()
            self.leave(self.to_browser_page(), "Next >")
            d = self.page(" - Default Browser", control=IDC_LIST)
            self.click_item(d, 0)  # Internet Explorer: the handler is registered first
            self.leave(d, "Finish")
            self.finish(ok=False)
            self.assertSameMachine(before, t.snapshot())
        finally:
            os.rmdir(unix(NS_DIR + "netscape.ini"))
        self.assertSameMachine(self.clean, t.snapshot())


def load_tests(loader, tests, pattern):
    """Only this file's tests (not those of the class it builds on)."""
    names = sorted(n for n in BrowserTest.__dict__ if n.startswith("test_"))
    return unittest.TestSuite(BrowserTest(n) for n in names)


if __name__ == "__main__":
    unittest.main(verbosity=2)

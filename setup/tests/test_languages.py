#!/usr/bin/python3
"""Black-box tests of TXSETUP.exe's language libraries and sound check under Wine:
the German language library TXDE.DLL (outside/satellite_de) as the script's own
Satellite turns every page and box German, in the library's font and with its side
picture and icon; installed as a SATELLITE group it is registered, counted and logged for the
uninstaller; without a language the program's own texts and font show and the
registry is left alone. The sound check refuses a machine without a wave-output
device with 3270/3271 and passes one with an ALSA null device (a private HOME with
an .asoundrc for the Wine processes). The library holds every template (with the same
controls) and every text of the setup, and with checkwb.dll and the browser stand-ins
of test_browsers.py the browser pages speak German, their lists in the library's
stock font; so do the program group's uninstaller item, the desktop shortcut and the
question that follows a group Program Manager refused.

Usage: test_languages.py TXSETUP.exe winctl.exe txuninst.exe txarchive.exe checkwb.dll progman_probe.exe
       TXDE.dll
"""
import json
import os
import shutil
import struct
import subprocess
import sys
import time
import unittest

import test_browsers as browsers  # takes the fifth argument, then test_txsetup the first four
import test_txsetup as base
from test_txsetup import WinCtl, make_product, snapshot

import txharness as h

PROBE, TXDE = [os.path.abspath(p) for p in sys.argv[1:3]]  # progman_probe.exe reads shell links
del sys.argv[1:3]

WORK = os.path.abspath("languages-work")
base.WORK = WORK  # make_product keeps its template and files here
SHOTS = base.SHOTS
TITLE = base.TITLE
DEST = os.path.join(h.drive_c(), "TessaLang")
KEY = "Software\\Orvane Labs\\TessaLang\\3.0"
HKCR = base.HKCR
LANGUAGES = "Software\\Orvane Labs\\Languages"
GERMAN = LANGUAGES + "\\32bit\\1031"
GERMAN_FILE = GERMAN + "\\TXDE.DLL"

SHARED_DLLS = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls"

IDC_UPPER, IDC_LOWER, IDC_PICTURE = 3226, 3228, 3251
IDC_HEADING, IDC_LIST, IDC_BOOKMARK, IDC_PLUGIN, IDC_EXTENSION, IDC_PATH = 3242, 3243, 3244, 3245, 3246, 3247
IDC_ADD, IDC_CUSTOMISE, IDC_NOT_FOUND = 3248, 3249, 3255
IDC_FILE_TYPES = 0x470  # the open-file dialog's filter list
LB_SETSEL, LB_GETITEMHEIGHT, WM_GETTEXTLENGTH = 0x0185, 0x01A1, 0x000E
SYSTEM_FONT = 13  # the stock font of list items
IDC_DESTINATION, IDC_USER_NAME, IDC_NEXT, IDC_GROUP_NAME = 3237, 3239, 3253, 3224
EM_POSFROMCHAR = 0x00D6

# The dialog font as the setup asks for it, and the face the German library makes it in;
# the German library's stock font.
PAGE_FONT = ("MS Sans Serif", -11, 400)
GERMAN_FONT = ("Liberation Sans Narrow", -11, 400)
GERMAN_STOCK_FONT = ("Liberation Sans Narrow", -12, 400)

SCRIPT = r"""[Default Setting]
Caption=Tessa Lang Setup
DestName=C:\TessaLang
ProductName=Tessa Test Player
RegistrationName=TessaLang
MainExe=txplay.exe
DetectWaveDriver=0
AskBandwidth=1
AskContents=1
%(extra)s

[File Groups]
Group1=Main
Group2=Uninstaller
%(groups)s

[Main]
GroupPath=ROOT
F1=txplay.exe

[Uninstaller]
GroupPath=ROOT
Type=UNINSTALLER
F1=txuninst.exe

[Language]
GroupPath=ROOT
Type=SATELLITE
F1=TXDE.DLL
"""


# A program group, made as shortcut files (no Program Manager conversation): the
# uninstaller's item and the desktop shortcut take their texts from the language.
GROUP_SCRIPT = """
[Progman Group]
Name=Tessa Lang
Item1=_PRODUCT_NAME_,Main::F1
"""


def script(extra="", groups=""):
    return SCRIPT % {"extra": extra, "groups": groups}


def probe(*args):
    r = h.run([PROBE] + list(args), timeout=90)
    return json.loads(r.stdout.decode("latin-1").strip().splitlines()[-1])


def no_wave_device_env():
    """A private HOME without an .asoundrc: Wine's ALSA driver finds no device."""
    home = os.path.join(WORK, "home-none")
    os.makedirs(home, exist_ok=True)
    return {"HOME": home}


def pixel(png, x, y):
    """(r, g, b) of one pixel of a screenshot."""
    channels = ",".join("%%[fx:int(255*p{%d,%d}.%s)]" % (x, y, c) for c in "rgb")
    out = subprocess.run(["convert", png, "-format", channels, "info:"], check=True, stdout=subprocess.PIPE,
                         text=True).stdout
    return tuple(int(v) for v in out.strip().split(","))


def pe_resources(path):
    """The dialog templates and texts of a PE file's resource section, read with the
    file format's own offsets: {"dialogs": {id: [(control id, class), ...]},
    "strings": {id: text}} (only the texts that are not empty)."""
    with open(path, "rb") as f:
        data = f.read()
    u16 = lambda at: struct.unpack_from("<H", data, at)[0]
    u32 = lambda at: struct.unpack_from("<I", data, at)[0]
    pe = u32(0x3C)
    sections, optional = u16(pe + 6), u16(pe + 20)
    directories = pe + 24 + (112 if u16(pe + 24) == 0x20B else 96)
    root_rva = u32(directories + 2 * 8)  # the resource directory
    table = [struct.unpack_from("<IIII", data, pe + 24 + optional + 40 * i + 8) for i in range(sections)]

    def offset(rva):
        return next(rva - address + raw for size, address, _, raw in table if address <= rva < address + size)

    root = offset(root_rva)

    def entries(directory):
        count = u16(directory + 12) + u16(directory + 14)
        for i in range(count):
            name, target = u32(directory + 16 + 8 * i), u32(directory + 20 + 8 * i)
            yield name, target

    def leaves(type_id):
        """(name id, bytes) of every resource of one type, whatever its language."""
        for kind, types in entries(root):
            if kind != type_id:
                continue
            for name, languages in entries(root + (types & 0x7FFFFFFF)):
                for _, leaf in entries(root + (languages & 0x7FFFFFFF)):
                    rva, size = u32(root + leaf), u32(root + leaf + 4)
                    yield name, data[offset(rva):offset(rva) + size]

    def text_at(blob, at):
        """A template's name-or-number field: (value, offset after it)."""
        first = struct.unpack_from("<H", blob, at)[0]
        if first == 0xFFFF:
            return struct.unpack_from("<H", blob, at + 2)[0], at + 4
        end = at
        while struct.unpack_from("<H", blob, end)[0]:
            end += 2
        return blob[at:end].decode("utf-16-le"), end + 2

    dialogs = {}
    for name, blob in leaves(5):
        assert struct.unpack_from("<HH", blob, 0) == (1, 0xFFFF), "dialog %d is no extended template" % name
        style, count = struct.unpack_from("<I", blob, 12)[0], struct.unpack_from("<H", blob, 16)[0]
        at = 26
        for _ in range(3):  # menu, class, caption
            _, at = text_at(blob, at)
        if style & 0x40:  # DS_SETFONT: size, weight, italic, character set, face
            _, at = text_at(blob, at + 6)
        controls = []
        for _ in range(count):
            at = (at + 3) & ~3
            control = struct.unpack_from("<i", blob, at + 20)[0]
            window_class, at = text_at(blob, at + 24)
            _, at = text_at(blob, at)
            at += 2 + struct.unpack_from("<H", blob, at)[0]
            controls.append((control, window_class))
        dialogs[name] = sorted(controls, key=repr)
    strings = {}
    for block, blob in leaves(6):  # sixteen counted texts per block
        at = 0
        for i in range(16):
            length = struct.unpack_from("<H", blob, at)[0]
            if length:
                strings[(block - 1) * 16 + i] = blob[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            at += 2 + 2 * length
    return {"dialogs": dialogs, "strings": strings}


class LanguageDriver(base.WizardDriver):
    """The language tests' product, machine and message-box helpers, on the setup tests'
    wizard driver; the tests of two products sharing a library take them too."""
    maxDiff = None
    # The browser tests' list and radio-button look-ups.
    items = browsers.BrowserTest.items
    checked = browsers.BrowserTest.checked

    @classmethod
    def setUpClass(cls):
        files = base.fresh_work("txplay.exe", "txuninst.exe")
        shutil.copyfile(TXDE, os.path.join(files, "TXDE.DLL"))
        shutil.copyfile(browsers.CHECKWB, os.path.join(files, "checkwb.dll"))
        # The parents of the keys these tests make, removed at the end if they were not here.
        cls.parents = [k for k in ("HKEY_CLASSES_ROOT\\Software\\Orvane Labs", "HKEY_CLASSES_ROOT\\Software",
                                   SHARED_DLLS) if h.run(["reg", "query", k]).returncode != 0]
        cls.clear()
        cls.ctl = WinCtl()

    @classmethod
    def tearDownClass(cls):
        cls.ctl.close()
        cls.clear()
        # A run cut short leaves the library's shared count behind.
        h.run(["reg", "delete", SHARED_DLLS, "/v", "c:\\tessalang\\txde.dll", "/f"])
        for key in cls.parents:
            r = h.run(["reg", "query", key])
            lines = [line.strip() for line in r.stdout.decode("latin-1").splitlines() if line.strip()]
            if r.returncode == 0 and all(line == key for line in lines):  # neither values nor subkeys
                h.run(["reg", "delete", key, "/f"])

    @staticmethod
    def clear():
        """Removes what a run of these tests may have left, in one registry import."""
        path = os.path.join(WORK, "clear.reg")
        with open(path, "w", encoding="utf-16", newline="\r\n") as f:
            f.write("Windows Registry Editor Version 5.00\n\n")
            # (The family values stay when the uninstaller finds language keys of the maker.)
            for key in ("HKEY_CLASSES_ROOT\\" + LANGUAGES, "HKEY_CLASSES_ROOT\\Software\\Orvane Labs\\TessaLang",
                        "HKEY_CLASSES_ROOT\\Software\\Orvane Labs\\Preferences",
                        "HKEY_CLASSES_ROOT\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TessaLang",
                        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TessaLang",
                        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\txplay.exe"):
                f.write("[-%s]\n\n" % key)
        h.run(["reg", "import", h.winpath(path)], check=True)
        shutil.rmtree(DEST, ignore_errors=True)

    # ---- helpers ---------------------------------------------------------------

    def product(self, name, template, satellite=False):
        out = os.path.join(WORK, name)
        shutil.rmtree(out, ignore_errors=True)
        make_product(out, template)
        if satellite:  # beside the setup, not in a group: the script's Satellite
            shutil.copyfile(TXDE, os.path.join(out, "TXDE.DLL"))
        return out

    def start(self, product, env=None):
        self.proc = h.start([os.path.join(product, "TXSETUP.exe")], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)

    def shot(self, name):
        return h.screenshot(os.path.join(SHOTS, "languages-" + name + ".png"))

    def box(self, title=TITLE):
        """The message dialog up now: its hwnd and its texts in control order."""
        d = self.dialog(title, control=IDC_UPPER, without=IDC_NEXT)
        d["texts"] = [c["text"].replace("&", "") for c in d["children"] if c["text"]]
        return d

    def answer(self, texts, press, title=TITLE, shot=None):
        """Waits for a message dialog, checks that its texts are exactly `texts` (the
        upper, the lower when given, then the buttons) and presses `press`."""
        d = self.box(title)
        self.assertEqual(texts, d["texts"])
        if shot:
            self.shot(shot)
        self.leave(d, press)

    def font_width(self, d, control, text):
        """The width in pixels of text less its last character, as the edit control
        `control` shows it: from the left of the first character to the left of the last
        (the position past the end is not answered)."""
        hwnd = d["ids"][control]["hwnd"]
        self.set_text(d, control, text)
        start = self.ctl.ask("send", hwnd, EM_POSFROMCHAR, 0, 0)["result"] & 0xFFFF
        last = self.ctl.ask("send", hwnd, EM_POSFROMCHAR, len(text) - 1, 0)["result"] & 0xFFFF
        return last - start

    def measured(self, font, text):
        face, height, weight = font
        return self.ctl.ask("textwidth", face, height, weight, text)["width"]

    def side_colour(self, d, png):
        """The colour at the top left of the side picture, as the screenshot shows it."""
        x, y, w, _ = d["ids"][IDC_PICTURE]["rect"]
        return pixel(png, x + w // 2, y + 6)

    @staticmethod
    def caption_icon_colour(png):
        """The colour at the top left of the main window's caption icon (the class icon
        the run sets from its language), as the screenshot shows it."""
        return pixel(png, 8, 7)

    def ink(self, png, rect):
        """The width of what is drawn inside rect (x, y, w, h) of a screenshot, against
        the colour of its top left pixel."""
        x, y, w, hgt = rect
        box = subprocess.run(["convert", png, "-crop", "%dx%d+%d+%d" % (w, hgt, x, y), "+repage", "-trim",
                              "-format", "%@", "info:"], check=True, stdout=subprocess.PIPE, text=True).stdout
        return int(box.split("x")[0])

    def reg(self, key):
        return base.reg_default("HKCR\\" + key)

    def uninstall(self):
        r = h.run([os.path.join(DEST, "txuninst.exe"), KEY], timeout=60)
        self.assertEqual(0, r.returncode)
        end = time.time() + 60
        while time.time() < end and os.path.exists(os.path.join(DEST, "txplay.exe")):
            time.sleep(0.2)

    # ---- the tests, in order ----------------------------------------------------


class LanguageTest(LanguageDriver, unittest.TestCase):
    def test_0_without_a_language_the_programs_own_texts_and_font_show(self):
        product = self.product("plain", script())
        before = snapshot()
        self.start(product)
        d = self.page()
        self.assertIn("Welcome to the Tessa Test Player Setup program.", d["ids"][IDC_UPPER]["text"])
        self.assertEqual("Next >", d["ids"][IDC_NEXT]["text"].replace("&", ""))
        png = self.shot("english-welcome")
        self.assertLess(self.side_colour(d, png)[0], 100)  # the program's blue picture and icon
        self.assertLess(self.caption_icon_colour(png)[0], 100)
        self.leave(d, "Next >")
        d = self.page(" - User Information")
        text = "Tessa Tester Mmmm"
        self.assertEqual(self.measured(PAGE_FONT, text[:-1]), self.font_width(d, IDC_USER_NAME, text))
        self.press(d, "Cancel")
        self.answer(["The Tessa Test Player setup is not complete. If you exit now, the Tessa Test Player will "
                     "not be installed.", "You may, however, choose to run setup at a later time.", "Continue",
                     "Exit"], "Exit", title="Exit Setup")
        self.answer(["Setup Failed!", "Setup was unable to properly complete installing the Tessa Test Player.",
                     "OK"], "OK")
        self.assertEqual(0, self.proc.wait(timeout=30))
        # Not even Locale is written when no language was ever chosen.
        self.assertSameMachine(before, snapshot())

    def test_1_the_german_satellite_speaks_on_every_page_and_box(self):
        product = self.product("german", script(extra="Satellite=TXDE.DLL") + GROUP_SCRIPT, satellite=True)
        folders = probe("folders")  # the Shell Folders key holds them once the shell was asked
        self.assertTrue(folders["ok"], folders)
        group = browsers.unix(folders["programs"] + "\\Tessa Lang")
        desktop_link = os.path.join(browsers.unix(folders["desktop"]), "Tessa Test Player.lnk")
        self.start(product, env={"TXSETUP_NO_PROGMAN": "1"})
        # 1 Welcome, with the library's side picture.
        d = self.page()
        self.assertEqual("Willkommen beim Setup-Programm von Tessa Test Player. Dieses Setup-Programm installiert "
                         "Tessa Test Player auf Ihrem Computer.\n\nWir empfehlen dringend, alle anderen Anwendungen zu "
                         "beenden, bevor Sie Tessa Test Player installieren.\n\n ", d["ids"][IDC_UPPER]["text"])
        self.assertEqual(["< Zurück", "Weiter >", "Fertig stellen", "Abbrechen"],
                         [d["ids"][i]["text"].replace("&", "") for i in (3252, 3253, 3254, 2)])
        png = self.shot("german-welcome")
        for r, g, b in (self.side_colour(d, png), self.caption_icon_colour(png)):
            self.assertGreater(r, 150)  # the German library's red picture and icon, not the program's blue ones
            self.assertLess(b, 100)
        self.leave(d, "Weiter >")
        # 2 User information: the German error box, the library's font.
        d = self.page(" - Benutzerinformationen")
        self.assertIn("Bitte geben Sie Ihren Namen", d["ids"][IDC_UPPER]["text"])
        text = "Tessa Tester Mmmm"
        german = self.font_width(d, IDC_USER_NAME, text)
        self.assertEqual(self.measured(GERMAN_FONT, text[:-1]), german)
        self.assertNotEqual(self.measured(PAGE_FONT, text[:-1]), german)
        self.set_text(d, IDC_USER_NAME, " ")
        self.press(d, "Weiter >")
        self.answer(["Das Feld Name darf nicht leer sein.", "OK"], "OK", shot="german-error")
        self.set_text(d, IDC_USER_NAME, "Ada Tester")
        self.shot("german-user-information")
        self.leave(d, "Weiter >")
        # 3 Connection speed, 4 content.
        d = self.page(" - Verbindungsgeschwindigkeit")
        self.assertIn("Geschwindigkeit Ihrer Verbindung", d["ids"][IDC_UPPER]["text"])
        self.leave(d, "Weiter >")
        d = self.page(" - Programmangebot")
        self.assertEqual("Klassische Musik", d["ids"][3234]["text"].replace("&", ""))
        self.shot("german-content")
        self.leave(d, "Weiter >")
        # 5 Destination: a path without a drive is refused in German; Cancel asks in German.
        d = self.page(" - Zielverzeichnis")
        self.assertIn("Setup installiert Tessa Test Player in das folgende Verzeichnis.", d["ids"][IDC_UPPER]["text"])
        self.set_text(d, IDC_DESTINATION, "TessaLang")
        self.press(d, "Fertig stellen")
        self.answer(["Der eingegebene Pfad ist ungültig.", "OK"], "OK")
        self.set_text(d, IDC_DESTINATION, "C:\\TessaLang")
        self.press(d, "Abbrechen")
        self.answer(["Die Installation von Tessa Test Player ist nicht abgeschlossen. Wenn Sie Setup jetzt beenden, "
                     "wird Tessa Test Player nicht installiert.", "Sie können Setup aber auch später noch ausführen.",
                     "Fortsetzen", "Beenden"], "Fortsetzen", title="Setup beenden", shot="german-exit")
        d = self.page(" - Zielverzeichnis")
        self.shot("german-destination")
        self.leave(d, "Weiter >")
        # 10 Finish.
        d = self.page(control=3254)
        self.assertEqual("Klicken Sie auf Fertig stellen, um Tessa Test Player auf Ihrer Festplatte zu installieren."
                         "\n\nVielen Dank, dass Sie sich für Tessa Test Player entschieden haben.",
                         d["ids"][IDC_UPPER]["text"])
        self.shot("german-finish")
        self.leave(d, "Fertig stellen")
        self.answer(["Tessa Test Player wurde erfolgreich installiert.", "OK"], "OK", shot="german-success")
        self.assertEqual(0, self.proc.wait(timeout=60))
        # An imported satellite leaves its language (count 0) and Locale, not its file key.
        self.assertEqual("1031", self.reg(LANGUAGES + "\\Locale"))
        self.assertEqual("0", self.reg(GERMAN))
        self.assertIsNone(self.reg(GERMAN_FILE))
        self.assertNotIn("SharedKeys", " ".join(k for k in snapshot()["registry"] if KEY in k))
        # The uninstaller's item and the desktop shortcut in German.
        uninstaller = "Tessa Test Player 32-bit Deinstallation"
        self.assertEqual(sorted(["Tessa Test Player.lnk", uninstaller + ".lnk"]), sorted(os.listdir(group)))
        for path, target, arguments, description in (
                (os.path.join(group, uninstaller + ".lnk"), "txuninst.exe", KEY, uninstaller),
                (desktop_link, "txplay.exe", "", "Verknüpfung mit Tessa Test Player")):
            link = probe("link", h.winpath(path))
            self.assertEqual((True, "c:\\tessalang\\" + target, arguments, description),
                             (link["ok"], link["path"].lower(), link["arguments"], link["description"]))
        self.uninstall()
        end = time.time() + 30
        while time.time() < end and (os.path.exists(desktop_link) or os.path.exists(group)):
            time.sleep(0.2)
        self.assertFalse(os.path.exists(desktop_link) or os.path.exists(group))
        self.clear()

    def test_2_a_satellite_group_is_registered_counted_and_logged(self):
        product = self.product("group", script(groups="Group3=Language"))
        for run in (1, 2):
            self.start(product)
            self.leave(self.page(), "Next >")
            d = self.page(" - User Information")
            self.set_text(d, IDC_USER_NAME, "Ada Tester")
            self.leave(d, "Next >")
            self.leave(self.page(" - Connection Speed"), "Next >")
            self.leave(self.page(" - Content"), "Next >")
            self.leave(self.page(" - Destination Directory"), "Finish")
            # Registering does not switch the language: the program's texts stay.
            self.answer(["The Tessa Test Player has been successfully installed.", "OK"], "OK")
            self.assertEqual(0, self.proc.wait(timeout=60))
            self.assertEqual(str(run), self.reg(GERMAN))
            self.assertEqual(str(run), self.reg(GERMAN_FILE))
        self.assertIsNone(self.reg(LANGUAGES + "\\Locale"))
        machine = snapshot()["registry"]
        shared = machine.get(HKCR + KEY + "\\SharedKeys", {})
        self.assertEqual({"Item1": GERMAN_FILE, "AddInfo1": "HKEY_CLASSES_ROOT",
                          "Item2": GERMAN, "AddInfo2": "HKEY_CLASSES_ROOT",
                          "Item3": GERMAN_FILE, "AddInfo3": "HKEY_CLASSES_ROOT",
                          "Item4": GERMAN, "AddInfo4": "HKEY_CLASSES_ROOT"}, shared)
        files = machine.get(HKCR + KEY + "\\SharedFiles", {})
        self.assertEqual("C:\\TessaLang\\TXDE.DLL", files.get("Item1"))
        self.uninstall()
        self.assertIsNone(self.reg(GERMAN))
        self.clear()

    def test_3_sound_check_without_and_with_a_wave_device(self):
        sound = script().replace("DetectWaveDriver=0", "DetectWaveDriver=1")
        product = self.product("sound", sound)
        before = snapshot()
        self.start(product, env=no_wave_device_env())
        self.answer(["You do not have sound card drivers installed on your machine.",
                     "The Tessa Test Player requires these drivers to work. Please contact your card vendor.", "OK"],
                    "OK", shot="no-sound-driver")
        self.answer(["Setup Failed!", "Setup was unable to properly complete installing the Tessa Test Player.",
                     "OK"], "OK")
        self.assertEqual(0, self.proc.wait(timeout=30))
        # The ALSA null device is one wave-output device, which opens at 11025 Hz: the
        # wizard comes up (in German: the Satellite was imported before the check). Its
        # name is no card's that wants the lower rate.
        product = self.product("sound-german", sound.replace("AskContents=1", "Satellite=TXDE.DLL"), satellite=True)
        self.start(product, env=base.wave_device_env())
        d = self.page()
        self.assertIn("Willkommen", d["ids"][IDC_UPPER]["text"])
        self.press(d, "Abbrechen")
        self.answer(["Die Installation von Tessa Test Player ist nicht abgeschlossen. Wenn Sie Setup jetzt beenden, "
                     "wird Tessa Test Player nicht installiert.", "Sie können Setup aber auch später noch ausführen.",
                     "Fortsetzen", "Beenden"], "Beenden", title="Setup beenden")
        self.answer(["Setup ist fehlgeschlagen!",
                     "Setup konnte die Installation von Tessa Test Player nicht ordnungsgemäß abschließen.", "OK"], "OK",
                    shot="german-failure")
        self.assertEqual(0, self.proc.wait(timeout=30))
        with open(os.path.join(product, "txsetup.inf"), "rb") as f:
            self.assertNotIn(b"Install11", f.read())
        # The failed run took back what it wrote, the imported language keys and Locale too.
        self.assertSameMachine(before, snapshot())


    def test_4_the_german_library_has_every_page_and_text_of_the_setup(self):
        english, german = pe_resources(base.TXSETUP), pe_resources(TXDE)
        # Every template with the same controls (numbers and classes), every text.
        self.assertEqual(english["dialogs"], {k: v for k, v in german["dialogs"].items() if k in english["dialogs"]})
        self.assertEqual(sorted(english["strings"]), sorted(german["strings"]))
        # Translated, all but the shortcut's file name.
        self.assertEqual([3280], [k for k, v in english["strings"].items() if german["strings"][k] == v])

    def test_5_the_browser_pages_in_german_and_in_the_librarys_font(self):
        browser_script = script(extra="Satellite=TXDE.DLL\nCheckWebBrowsers=1").replace("AskBandwidth=1\n", "")
        browser_script = browser_script.replace("AskContents=1\n", "")
        # Without the browser library: 3297 in German, naming the library.
        product = self.product("no-checkwb", browser_script, satellite=True)
        os.remove(os.path.join(product, "checkwb.dll"))
        self.start(product)
        self.answer(["Eine benötigte Bibliothek konnte nicht geladen werden: ",
                     h.winpath(os.path.join(product, "checkwb.dll")), "OK"], "OK", shot="german-no-library")
        self.answer(["Setup ist fehlgeschlagen!",
                     "Setup konnte die Installation von Tessa Test Player nicht ordnungsgemäß abschließen.", "OK"], "OK")
        self.assertEqual(0, self.proc.wait(timeout=30))

        browsers.install_stand_in_browsers()
        self.addCleanup(browsers.remove_stand_in_browsers)
        before = snapshot()
        self.start(self.product("browsers", browser_script, satellite=True))
        self.leave(self.page(), "Weiter >")
        d = self.page(" - Benutzerinformationen")
        self.set_text(d, IDC_USER_NAME, "Ada Tester")
        self.leave(d, "Weiter >")
        self.leave(self.page(" - Zielverzeichnis"), "Weiter >")
        # 6: the selection, its list drawn in the library's stock font.
        d = self.page(" - Webbrowser", control=IDC_LIST)
        ie, netscape = browsers.IE, browsers.NETSCAPE
        self.assertEqual("Setup hat die folgenden Webbrowser auf Ihrem Computer gefunden. Wählen Sie jeden Browser, "
                         "den Setup für Tessa Test Player einrichten soll.", d["ids"][IDC_UPPER]["text"])
        self.assertEqual("Browser hinzufügen...", d["ids"][IDC_ADD]["text"].replace("&", ""))
        self.assertEqual("Komponenten für jeden Browser einzeln auswählen",
                         d["ids"][IDC_CUSTOMISE]["text"].replace("&", ""))
        self.assertEqual([(ie, True), (netscape, True)], self.items(d))
        png = self.shot("german-browsers")
        face, height, weight = GERMAN_STOCK_FONT
        german = self.ctl.ask("textmetrics", face, height, weight, ie)
        stock = self.ctl.ask("textmetrics", "stock", SYSTEM_FONT, 0, ie)
        self.assertNotEqual(german["line"], stock["line"])
        self.assertGreater(abs(german["width"] - stock["width"]), 10)
        line = self.ctl.ask("send", d["ids"][IDC_LIST]["hwnd"], LB_GETITEMHEIGHT, 0, 0)["result"]
        self.assertEqual(german["line"] + 2, line)
        # The first entry's name, right of its box (side: the line less 4, 3 and 6 apart).
        x, y, w, _ = d["ids"][IDC_LIST]["rect"]
        left = x + 1 + 3 + (line - 4) + 6 - 1
        drawn = self.ink(png, (left, y + 2, x + w - 4 - left, line - 2))
        self.assertLessEqual(abs(german["width"] - drawn), 3, (german["width"], drawn, stock["width"]))
        # "Add Browser...": the browsers not found.
        self.press(d, "Browser hinzufügen...")
        add = self.dialog("Browser hinzufügen", control=IDC_NOT_FOUND)
        self.assertEqual(["Wählen Sie einen Browser, den Setup auf Ihrem Computer nicht gefunden hat:", "OK",
                          "Abbrechen"], [c["text"] for c in add["children"] if c["text"]])
        self.shot("german-add-browser")
        self.leave(add, "Abbrechen")
        self.assertTrue(self.ctl.ask("press", d["hwnd"], IDC_CUSTOMISE)["ok"])
        self.leave(d, "Weiter >")
        # 7 for Internet Explorer.
        d = self.page(" - Browserkomponenten", control=IDC_HEADING)
        ids = d["ids"]
        self.assertEqual(ie + " - Benutzerdefinierte Optionen", ids[IDC_HEADING]["text"])
        self.assertEqual("Tessavox-ActiveX-Steuerelemente für Internet Explorer installieren?", ids[IDC_PLUGIN]["text"])
        self.assertEqual("Lesezeichen für die Tessavox-Homepage installieren?", ids[IDC_BOOKMARK]["text"])
        self.shot("german-components-ie")
        self.leave(d, "Weiter >")
        # 7 for Netscape: the bookmark checks and the file chooser in German.
        d = self.page(" - Browserkomponenten", control=IDC_HEADING)
        ids = d["ids"]
        self.assertEqual("Tessavox-Plug-in für Netscape installieren?", ids[IDC_PLUGIN]["text"])
        self.assertEqual("Tessavox Xtra (Shockwave-Plug-in) installieren?", ids[IDC_EXTENSION]["text"])
        self.assertTrue(ids[IDC_EXTENSION]["visible"])
        self.shot("german-components-netscape")
        missing = browsers.NS_DIR + "missing.htm"
        self.set_text(d, IDC_PATH, missing)
        self.press(d, "Weiter >")
        self.answer(["Die Datei wurde nicht gefunden", missing, "OK"], "OK")
        self.set_text(d, IDC_PATH, browsers.NS_EXE)
        self.press(d, "Weiter >")
        self.answer(["Bitte geben Sie den Pfad zu dieser Datei ein: ", "bookmark.htm", "OK"], "OK",
                    shot="german-bookmark-name")
        self.press(d, "Durchsuchen...")
        chooser = self.dialog("Wählen Sie die benötigte Konfigurationsdatei", control=IDC_FILE_TYPES)
        types = self.ctl.ask("combo", chooser["hwnd"], IDC_FILE_TYPES)
        self.assertEqual(["Initialisierungsdateien (*.INI)", "Lesezeichendateien (*.htm)", "Alle Dateien (*.*)"],
                         types["items"])
        self.assertEqual(1, types["selected"])
        self.shot("german-choose-bookmark")
        self.leave(chooser, "Cancel")  # the platform's own dialog speaks the platform's language
        self.set_text(d, IDC_PATH, browsers.NS_DIR + "bookmark.htm")
        self.leave(d, "Weiter >")
        # 8: the default browser.
        d = self.page(" - Standardbrowser", control=IDC_LIST)
        self.assertEqual("Wählen Sie den Webbrowser, der auf Ihrem Computer Webseiten (HTML-Dokumente) öffnet. "
                         "Markieren Sie keinen Eintrag, wenn der Browser bleiben soll, der sie jetzt öffnet.",
                         d["ids"][IDC_UPPER]["text"])
        self.assertEqual([ie, netscape], [name for name, _ in self.items(d)])
        self.assertEqual(line, self.ctl.ask("send", d["ids"][IDC_LIST]["hwnd"], LB_GETITEMHEIGHT, 0, 0)["result"])
        self.shot("german-default-browser")
        self.leave(d, "< Zurück")
        self.leave(self.page(" - Browserkomponenten", control=IDC_HEADING), "< Zurück")
        self.leave(self.page(" - Browserkomponenten", control=IDC_HEADING), "< Zurück")
        # 9: none selected.
        d = self.page(" - Webbrowser", control=IDC_LIST)
        self.ctl.ask("send", d["ids"][IDC_LIST]["hwnd"], LB_SETSEL, 0, -1)
        self.leave(d, "Weiter >")
        d = self.dialog(TITLE + " - Webbrowser", control=IDC_UPPER, without=IDC_LIST)
        expected = (
            "\tKein Webbrowser eingerichtet!\n\nDie meisten Tessavox-Inhalte erreichen Sie über das World Wide Web. "
            "Das Installationsprogramm von Tessa Test Player konnte auf diesem System keinen Webbrowser einrichten. "
            "Sie müssen Ihren Webbrowser selbst für Tessavox einrichten. Der Browser muss den folgenden MIME-Typ und "
            "die folgenden Erweiterungen erkennen:\n\n\tMIME-Typ: audio/x-ov-tessavox\n\tErweiterungen: .tx, .txm\n"
            "\tHilfsanwendung: C:\\TessaLang\\txplay.exe\n\nInstallieren Sie Tessa Test Player erneut, nachdem Sie "
            "einen Webbrowser installiert haben; dann wird der Browser automatisch eingerichtet.")
        # (winctl reads the first 511 characters; the length tells the rest is there)
        shown = d["ids"][IDC_UPPER]["text"]
        self.assertEqual(expected[:max(len(shown), 500)], shown)
        self.assertEqual(len(expected), self.ctl.ask("send", d["ids"][IDC_UPPER]["hwnd"], WM_GETTEXTLENGTH, 0, 0)["result"])
        self.shot("german-no-browser")
        self.press(d, "Abbrechen")
        self.answer(["Die Installation von Tessa Test Player ist nicht abgeschlossen. Wenn Sie Setup jetzt beenden, "
                     "wird Tessa Test Player nicht installiert.", "Sie können Setup aber auch später noch ausführen.",
                     "Fortsetzen", "Beenden"], "Beenden", title="Setup beenden")
        self.answer(["Setup ist fehlgeschlagen!",
                     "Setup konnte die Installation von Tessa Test Player nicht ordnungsgemäß abschließen.", "OK"], "OK")
        self.assertEqual(0, self.proc.wait(timeout=30))
        self.assertSameMachine(before, snapshot())


    def test_6_a_refused_program_group_is_asked_for_in_german(self):
        """Program Manager lists the group under another name than the script's (Wine's
        shell turns "/" into "_") and lists "Main": the group counts as refused."""
        shell_groups = ("Main", "Tessa_Lang")

        def close_folder_windows():
            end = time.time() + 30
            while time.time() < end:
                shown = [w for w in self.ctl.ask("list") if w["title"] in shell_groups]
                if not shown:
                    return
                for w in shown:
                    self.ctl.ask("close", w["hwnd"])
                time.sleep(0.2)
            self.fail("the shell's folder windows stayed open")

        grouped = script(extra="Satellite=TXDE.DLL").replace("AskBandwidth=1\nAskContents=1\n", "")
        product = self.product("refused", grouped + GROUP_SCRIPT.replace("Tessa Lang", "Tessa/Lang"), satellite=True)
        before = snapshot()
        self.assertTrue(probe("execute", "[CreateGroup(Main)]")["ok"])
        left = list(shell_groups)  # the shell's groups still to delete when the test stops early

        def delete_groups():
            for name in list(left):
                h.run([PROBE, "execute", "[DeleteGroup(%s)]" % name], timeout=90)
                left.remove(name)

        self.addCleanup(delete_groups)
        self.addCleanup(close_folder_windows)
        self.start(product)
        self.leave(self.page(), "Weiter >")
        d = self.page(" - Benutzerinformationen")
        self.set_text(d, IDC_USER_NAME, "Ada Tester")
        self.leave(d, "Weiter >")
        self.leave(self.page(" - Zielverzeichnis"), "Fertig stellen")
        d = self.dialog("Programm-Manager-Gruppe einrichten", control=IDC_GROUP_NAME, timeout=120)
        self.assertEqual(["Der Programm-Manager hat die Programmgruppe für Tessa Test Player nicht angenommen. Bitte "
                          "geben Sie den Namen einer anderen Gruppe ein:", "Main", "Fortsetzen", "Beenden"],
                         [c["text"].replace("&", "") for c in d["children"] if c["text"]])
        for w in self.ctl.ask("list"):  # the shell's folder windows come up over the question
            if w["title"] in shell_groups and w["visible"]:
                self.ctl.ask("move", w["hwnd"], 600, 480, 410, 280)
        self.shot("german-progman-group")
        self.leave(d, "Beenden")
        self.answer(["Die Installation von Tessa Test Player ist nicht abgeschlossen. Wenn Sie Setup jetzt beenden, "
                     "wird Tessa Test Player nicht installiert.", "Sie können Setup aber auch später noch ausführen.",
                     "Fortsetzen", "Beenden"], "Beenden", title="Setup beenden")
        self.answer(["Setup ist fehlgeschlagen!",
                     "Setup konnte die Installation von Tessa Test Player nicht ordnungsgemäß abschließen.", "OK"], "OK")
        self.assertEqual(0, self.proc.wait(timeout=60))
        # The run's own changes are undone; the shell keeps what it made of the groups.
        close_folder_windows()
        for name in shell_groups:
            self.assertTrue(probe("execute", "[DeleteGroup(%s)]" % name)["ok"], name)
            left.remove(name)
        self.assertSameMachine(before, snapshot())


if __name__ == "__main__":
    unittest.main(verbosity=2)

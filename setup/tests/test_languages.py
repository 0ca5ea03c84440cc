#!/usr/bin/python3
"""Black-box tests of TXSETUP.exe's language libraries and sound check under Wine:
the German language library TXDE.DLL (outside/satellite_de) as the script's own
Satellite turns every page and box German, in the library's font and with its side
picture and icon; installed as a SATELLITE group it is registered, counted and logged for the
uninstaller; without a language the program's own texts and font show and the
registry is left alone. The sound check refuses a machine without a wave-output
device with 3270/3271 and passes one with an ALSA null device (a private HOME with
an .asoundrc for the Wine processes).

Usage: test_languages.py TXSETUP.exe winctl.exe txuninst.exe txarchive.exe TXDE.dll
"""
import os
import shutil
import subprocess
import sys
import time
import unittest

import test_txsetup as base  # takes the first four arguments
from test_txsetup import WinCtl, make_product, snapshot

import txharness as h

TXDE = os.path.abspath(sys.argv[1])
del sys.argv[1:2]

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
IDC_DESTINATION, IDC_USER_NAME, IDC_NEXT = 3237, 3239, 3253
EM_POSFROMCHAR = 0x00D6

# The dialog font as the setup asks for it, and the face the German library makes it in.
PAGE_FONT = ("MS Sans Serif", -11, 400)
GERMAN_FONT = ("Liberation Sans Narrow", -11, 400)

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


def script(extra="", groups=""):
    return SCRIPT % {"extra": extra, "groups": groups}


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


class LanguageTest(unittest.TestCase):
    maxDiff = None
    # The wizard-driving helpers of the setup's own tests.
    dialog = base.TxSetupTest.dialog
    page = base.TxSetupTest.page
    gone = base.TxSetupTest.gone
    press = base.TxSetupTest.press
    leave = base.TxSetupTest.leave
    set_text = base.TxSetupTest.set_text
    assertSameMachine = base.TxSetupTest.assertSameMachine
    setUp = base.TxSetupTest.setUp
    tearDown = base.TxSetupTest.tearDown

    @classmethod
    def setUpClass(cls):
        files = base.fresh_work("txplay.exe", "txuninst.exe")
        shutil.copyfile(TXDE, os.path.join(files, "TXDE.DLL"))
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

    def reg(self, key):
        return base.reg_default("HKCR\\" + key)

    def uninstall(self):
        r = h.run([os.path.join(DEST, "txuninst.exe"), KEY], timeout=60)
        self.assertEqual(0, r.returncode)
        end = time.time() + 60
        while time.time() < end and os.path.exists(os.path.join(DEST, "txplay.exe")):
            time.sleep(0.2)

    # ---- the tests, in order ----------------------------------------------------

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
        product = self.product("german", script(extra="Satellite=TXDE.DLL"), satellite=True)
        self.start(product)
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
        self.uninstall()
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


if __name__ == "__main__":
    unittest.main(verbosity=2)

#!/usr/bin/python3
"""Black-box tests of the uninstaller stand-in (outside/txuninst) under Wine on what
products share: two products that both install the German language library TXDE.DLL
as a SATELLITE group count its language keys up to 2; uninstalling one counts them
down to 1 and leaves them (the other product still uses the library); uninstalling the
other removes them, the "32bit" and "Languages" keys they leave empty, and with them
the maker's family values: the registry and drive C: are as before the first install.

Usage: test_uninstaller.py TXSETUP.exe winctl.exe txuninst.exe txarchive.exe checkwb.dll progman_probe.exe
       TXDE.dll (the arguments of test_languages.py)
"""
import os
import shutil
import time
import unittest

import test_languages as lang  # takes the arguments (through test_browsers and test_txsetup)
from test_txsetup import snapshot

import txharness as h

base = lang.base
WORK = os.path.abspath("uninstaller-work")
base.WORK = lang.WORK = WORK  # make_product and the language helpers keep their files here

# The language tests' product, and a second one under another name and directory.
FIRST = {"key": lang.KEY, "dest": lang.DEST, "dest_win": "C:\\TessaLang\\"}
SECOND = {"key": "Software\\Orvane Labs\\TessaLing\\3.0", "dest": os.path.join(h.drive_c(), "TessaLing"),
          "dest_win": "C:\\TessaLing\\"}
SECOND_KEYS = ("HKEY_CLASSES_ROOT\\Software\\Orvane Labs\\TessaLing",
               "HKEY_CLASSES_ROOT\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TessaLing",
               "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TessaLing")


def second_script():
    return lang.script(groups="Group3=Language").replace("DestName=C:\\TessaLang", "DestName=C:\\TessaLing").replace(
        "RegistrationName=TessaLang", "RegistrationName=TessaLing")


class SharedLanguageTest(lang.LanguageDriver, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.clear_second()

    @classmethod
    def tearDownClass(cls):
        cls.clear_second()
        super().tearDownClass()

    @classmethod
    def clear_second(cls):
        for key in SECOND_KEYS:
            h.run(["reg", "delete", key, "/f"])
        h.run(["reg", "delete", lang.SHARED_DLLS, "/v", "c:\\tessaling\\txde.dll", "/f"])
        shutil.rmtree(SECOND["dest"], ignore_errors=True)

    def install(self, product):
        self.start(product)
        self.leave(self.page(), "Next >")
        d = self.page(" - User Information")
        self.set_text(d, lang.IDC_USER_NAME, "Ada Tester")
        self.leave(d, "Next >")
        self.leave(self.page(" - Connection Speed"), "Next >")
        self.leave(self.page(" - Content"), "Next >")
        self.leave(self.page(" - Destination Directory"), "Finish")
        self.answer(["The Tessa Test Player has been successfully installed.", "OK"], "OK")
        self.assertEqual(0, self.proc.wait(timeout=60))

    def uninstall(self, which, done):
        """Runs a product's uninstaller by hand; the machine once done(machine) holds
        (the uninstaller goes on in a copy of itself), or as it stands at the timeout."""
        r = h.run([os.path.join(which["dest"], "txuninst.exe"), which["key"]], timeout=60)
        self.assertEqual(0, r.returncode)
        end, snap = time.time() + 60, None
        while time.time() < end:
            try:
                snap = snapshot()
            except AssertionError:  # reg export of a key the uninstaller is removing
                continue
            if done(snap):
                break
            time.sleep(0.5)
        return snap

    def test_a_language_library_two_products_share(self):
        before = snapshot()
        self.install(self.product("first", lang.script(groups="Group3=Language")))
        self.install(self.product("second", second_script()))
        self.assertEqual("2", self.reg(lang.GERMAN))
        self.assertEqual("2", self.reg(lang.GERMAN_FILE))
        for which in (FIRST, SECOND):
            shared = snapshot()["registry"].get(base.HKCR + which["key"] + "\\SharedKeys", {})
            self.assertEqual({"Item1": lang.GERMAN_FILE, "AddInfo1": "HKEY_CLASSES_ROOT",
                              "Item2": lang.GERMAN, "AddInfo2": "HKEY_CLASSES_ROOT"}, shared)

        # The first product goes: the library's keys count one use less and stay.
        machine = self.uninstall(FIRST, lambda m: not os.path.exists(FIRST["dest"]) and
                                 base.HKCR + FIRST["key"] not in m["registry"])
        self.assertFalse(os.path.exists(FIRST["dest"]))
        self.assertNotIn(base.HKCR + FIRST["key"], machine["registry"])
        self.assertEqual("1", self.reg(lang.GERMAN))
        self.assertEqual("1", self.reg(lang.GERMAN_FILE))
        self.assertTrue(os.path.exists(os.path.join(SECOND["dest"], "TXDE.DLL")))
        self.assertIn(base.HKCR + SECOND["key"], machine["registry"])

        # The second goes: nothing is left of either, the language keys' parents neither.
        machine = self.uninstall(SECOND, lambda m: m == before)
        self.assertIsNone(self.reg(lang.GERMAN))
        self.assertNotIn(base.HKCR + lang.LANGUAGES + "\\32bit", machine["registry"])
        self.assertSameMachine(before, machine)


if __name__ == "__main__":
    unittest.main(verbosity=2)

#!/usr/bin/python3
"""Black-box tests of TXSETUP.exe under Wine on the harness's display: product
directories made with setup/tools/make_product.py are installed through the wizard
(driven with winctl as a user would), directly and through the self-extracting archive
stand-in, then checked file by file and value by value in the registry; damaged
products and a failed re-install must leave the machine as the run found it
(snapshots of the prefix's drive C: and of the registry before and after); the
uninstaller stand-in removes an installation completely.

Usage: test_txsetup.py TXSETUP.exe winctl.exe txuninst.exe txarchive.exe
The tests run in their numbered order: each builds on the machine the last one left.
"""
import json
import os
import random
import shutil
import subprocess
import sys
import time
import unittest
import wave

import txharness as h

TXSETUP, WINCTL, TXUNINST, TXARCHIVE = [os.path.abspath(p) for p in sys.argv[1:5]]
del sys.argv[1:5]
SOURCE = os.environ.get("TX_SOURCE", os.path.join(os.path.dirname(__file__), "..", ".."))
MAKE = os.path.join(SOURCE, "setup", "tools", "make_product.py")
SHOTS = os.environ.get("TX_SCREENSHOTS", os.path.abspath("screenshots"))
WORK = os.path.abspath("txsetup-work")

DEST_WIN = "C:\\TessaTest\\Player\\"
DEST = os.path.join(h.drive_c(), "TessaTest", "Player")
KEY = "Software\\Orvane Labs\\TessaTest\\3.0"
HKCR = "HKEY_LOCAL_MACHINE\\Software\\Classes\\"  # HKEY_CLASSES_ROOT as the export shows it
HKLM = "HKEY_LOCAL_MACHINE\\"
UNINSTALL = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TessaTest"
TITLE = "Tessa Test Player Setup"
CAPTION = "Tessa Test Setup"

IDC_SPEED, IDC_DESTINATION, IDC_USER_NAME = 3231, 3237, 3239
IDC_CONTENT_CLASSICAL, IDC_BACK, IDC_NEXT, IDC_FINISH = 3234, 3252, 3253, 3254
CB_SETCURSEL, DM_GETDEFID = 0x014E, 0x0400

SCRIPT = r"""[Default Setting]
Caption=Tessa Test Setup
BackgroundText=Tessavox
DestName=C:\TessaTest\Player
ProductName=Tessa Test Player
RegistrationName=TessaTest
MainExe=txplay.exe
DetectWaveDriver=0
AskBandwidth=1
AskContents=1
RegisterExtensions=1
SondrellBaseURL=http://tessa.invalid/first
ReadMeFileName=readme.txt
ReadMeReplacement=@@URL@@

[INI File]
Preference1=NetworkLatency,5000
Preference2=NoCommaHere
Install11=1

[Unload]
Caption1=Tessa Test Player Running

[File Groups]
Group1=Main
Group2=Plugins
Group3=Shared
Group4=Uninstaller

[Main]
GroupPath=ROOT
F1=txplay.exe
F2=readme.txt
F3=empty.dat
F4=one.dat
F5=chunk.dat
F6=big.dat

[Plugins]
GroupPath=ROOT\Plugins
F1=plug.dll

[Shared]
GroupPath=ROOT\Plugins
Type=SHARED
F1=shared.dll

[Uninstaller]
GroupPath=ROOT
Type=UNINSTALLER
F1=txuninst.exe

[Content14-2]
Presets1=ovm://classical.invalid/one
Presets2=ovm://classical.invalid/two
"""

FILES = {"txplay.exe": None, "txuninst.exe": None, "readme.txt": b"Visit @@URL@@ now.\r\nAgain: @@URL@@\r\n",
         "empty.dat": b"", "one.dat": b"\x07", "chunk.dat": bytes((i * 131 + 7) % 256 for i in range(64000))}


class WinCtl:
    """One running winctl.exe: a command a line in, a JSON answer a line out."""

    def __init__(self):
        self.proc = h.start([WINCTL], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    def ask(self, *fields):
        self.proc.stdin.write(("\t".join(str(f) for f in fields) + "\n").encode("latin-1"))
        self.proc.stdin.flush()
        line = self.proc.stdout.readline()
        if not line:
            raise RuntimeError("winctl ended")
        return json.loads(line.decode("latin-1"))

    def close(self):
        try:
            self.ask("quit")
            self.proc.wait(timeout=10)
        except (RuntimeError, BrokenPipeError, ValueError, subprocess.TimeoutExpired):
            self.proc.kill()
            self.proc.wait()


def put(path, data):
    with open(path, "wb") as f:
        f.write(data)


def get(path):
    with open(path, "rb") as f:
        return f.read()


def reg_default(key):
    """The default value of a key as `reg query /ve` prints it, or None."""
    r = h.run(["reg", "query", key, "/ve"])
    for line in r.stdout.decode("latin-1").splitlines():
        parts = line.split(None, 2)
        if len(parts) == 3 and parts[1] == "REG_SZ":
            return parts[2].strip()
    return None


def wave_device_env():
    """Environment for Wine processes that should meet one wave-output device: a private
    HOME whose .asoundrc makes ALSA's null device the default (the sound check at the
    start of a setup run needs a device)."""
    home = os.path.join(WORK, "home-wave")
    os.makedirs(home, exist_ok=True)
    with open(os.path.join(home, ".asoundrc"), "w") as f:
        f.write("pcm.!default { type null }\n")
    return {"HOME": home}


def make_product(out, template=SCRIPT, archive=None):
    os.makedirs(os.path.join(WORK, "files"), exist_ok=True)
    with open(os.path.join(WORK, "template.inf"), "w", newline="\r\n") as f:
        f.write(template)
    args = ["/usr/bin/python3", MAKE, os.path.join(WORK, "template.inf"), out,
            "--from", os.path.join(WORK, "files"), "--from", os.path.dirname(TXSETUP)]
    if archive:
        args += ["--archive", TXARCHIVE, archive]
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)


def edit_script(product, old, new):
    path = os.path.join(product, "txsetup.inf")
    text = get(path).decode("latin-1")
    assert old in text, old
    put(path, text.replace(old, new, 1).encode("latin-1"))


def parse_reg(path):
    """A `reg export` file as {key: {name: value}}."""
    keys, current = {}, None
    text = get(path).decode("utf-16")
    lines = text.replace("\\\r\n  ", "").splitlines()
    for line in lines:
        if line.startswith("[") and line.endswith("]"):
            current = keys.setdefault(line[1:-1], {})
        elif current is not None and "=" in line and (line.startswith('"') or line.startswith("@")):
            if line.startswith("@"):
                name, value = "@", line[2:]
            else:
                end = 1
                while line[end] != '"':
                    end += 2 if line[end] == "\\" else 1
                name, value = line[1:end].replace("\\\\", "\\").replace('\\"', '"'), line[end + 2:]
            if value.startswith('"') and value.endswith('"'):
                value = value[1:-1].replace("\\\\", "\\").replace('\\"', '"')
            current[name] = value
    return keys


# Keys Wine itself changes while programs come and go.
VOLATILE = ("HKEY_CURRENT_USER\\Software\\Wine", "HKEY_LOCAL_MACHINE\\Software\\Wine",
            "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer",
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Perflib",
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
            # Wine mirrors the print scheduler's queues here as they come and go (the reports tests run one).
            "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices",
            "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts",
            "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Print",
            # Wine's audio devices, entered when a program first meets a wave-output device.
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\MMDevices")


def registry():
    out = {}
    for root in ("HKLM\\Software", "HKCU\\Software"):
        path = os.path.join(WORK, "snapshot.reg")
        r = h.run(["reg", "export", root, h.winpath(path), "/y"])
        assert r.returncode == 0, r.stderr
        for k, v in parse_reg(path).items():
            if not k.startswith(VOLATILE) and "\\Windows NT\\CurrentVersion\\NetworkCards" not in k:
                out[k] = v
    return out


def tree():
    """Every file and directory of drive C: outside the temporary directories, with sizes."""
    out = {}
    base = h.drive_c()
    for d, dirs, files in os.walk(base):
        rel = os.path.relpath(d, base)
        low = rel.lower().replace("\\", "/")
        if "/temp" in "/" + low or low.startswith("windows/temp"):
            dirs[:] = []
            continue
        out[rel + "/"] = None
        for f in files:
            p = os.path.join(d, f)
            out[os.path.join(rel, f)] = os.path.getsize(p) if os.path.isfile(p) else None
    return out


def snapshot():
    return {"tree": tree(), "registry": registry()}


class TxSetupTest(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        h.run(["reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Decorated", "/d", "N", "/f"])
        os.makedirs(SHOTS, exist_ok=True)
        shutil.rmtree(WORK, ignore_errors=True)
        files = os.path.join(WORK, "files")
        os.makedirs(files)
        rnd = random.Random(14)
        for name, data in FILES.items():
            if data is None:
                shutil.copyfile(TXUNINST, os.path.join(files, name))
            else:
                put(os.path.join(files, name), data)
        put(os.path.join(files, "big.dat"), rnd.randbytes(24 << 20))
        put(os.path.join(files, "plug.dll"), rnd.randbytes(5000))
        put(os.path.join(files, "shared.dll"), rnd.randbytes(7000))
        cls.product = os.path.join(WORK, "product")
        make_product(cls.product)
        # Whatever an interrupted earlier run of these tests may have left.
        for key in ("HKCR\\Software\\Orvane Labs", "HKCR\\.tx", "HKCR\\.txm", "HKCR\\txmfile", "HKCR\\tx,txmfile",
                    "HKCR\\" + UNINSTALL, "HKLM\\" + UNINSTALL,
                    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\txplay.exe"):
            h.run(["reg", "delete", key, "/f"])
        for name in ("plug.dll", "shared.dll"):
            h.run(["reg", "delete", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls", "/v",
                   "c:\\tessatest\\player\\plugins\\" + name, "/f"])
        shutil.rmtree(os.path.join(h.drive_c(), "TessaTest"), ignore_errors=True)
        for root, dirs, _ in os.walk(os.path.join(h.drive_c(), "users")):
            for d in dirs:
                if d.startswith("txs") and d[3:].isdigit():
                    shutil.rmtree(os.path.join(root, d))
        cls.clean = snapshot()
        cls.ctl = WinCtl()

    @classmethod
    def tearDownClass(cls):
        cls.ctl.close()

    def setUp(self):
        self.proc = None

    def tearDown(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    # ---- helpers ---------------------------------------------------------------

    def start(self, product=None, exe=None, env=None):
        exe = exe or os.path.join(product or self.product, "TXSETUP.exe")
        self.proc = h.start([exe], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self.proc

    def shot(self, name):
        return h.screenshot(os.path.join(SHOTS, "txsetup-" + name + ".png"))

    def dialog(self, title, control=None, timeout=40, without=None):
        """The dialog with this title (and control, when given, and not the control
        `without`), once it is up."""
        end = time.time() + timeout
        while time.time() < end:
            for w in self.ctl.ask("list"):
                if w["class"] == "#32770" and w["title"] == title and w["visible"]:
                    d = self.ctl.ask("describe", w["hwnd"])
                    ids = {c["id"]: c for c in d.get("children", [])}
                    if (control is None or control in ids) and (without is None or without not in ids):
                        d["hwnd"], d["ids"] = w["hwnd"], ids
                        return d
            if self.proc is not None and self.proc.poll() is not None:
                self.fail("setup ended (%s) before the dialog %r" % (self.proc.returncode, title))
            time.sleep(0.1)
        self.fail("no dialog %r with control %s" % (title, control))

    def page(self, suffix="", control=IDC_NEXT, title=TITLE):
        return self.dialog(title + suffix, control)

    def gone(self, hwnd, timeout=20):
        end = time.time() + timeout
        while time.time() < end:
            if not self.ctl.ask("describe", hwnd)["exists"]:
                return
            time.sleep(0.1)
        self.fail("window %s stayed" % hwnd)

    def press(self, d, button):
        self.assertTrue(self.ctl.ask("click", d["hwnd"], button)["ok"], button)

    def leave(self, d, button):
        self.press(d, button)
        self.gone(d["hwnd"])

    def message(self, text, title=TITLE, press="OK", shot=None):
        # (title: the product's setup title; every message dialog carries it)
        """Waits for a message dialog whose texts hold text; presses press."""
        d = self.dialog(title, control=3226, without=IDC_NEXT)
        texts = " | ".join(c["text"] for c in d["children"])
        self.assertIn(text, texts)
        if shot:
            self.shot(shot)
        self.leave(d, press)
        return texts

    def set_text(self, d, control, text):
        self.assertTrue(self.ctl.ask("settext", d["hwnd"], control, text)["ok"])

    def quick_wizard(self):
        """Through the wizard with the values it proposes; Finish on the destination page."""
        self.leave(self.page(), "Next >")
        d = self.page(" - User Information")
        self.set_text(d, IDC_USER_NAME, "Ada Tester")
        self.leave(d, "Next >")
        self.leave(self.page(" - Connection Speed"), "Next >")
        self.leave(self.page(" - Content"), "Next >")
        self.leave(self.page(" - Destination Directory"), "Finish")

    def finish(self, ok, timeout=120):
        if ok:
            self.message("The Tessa Test Player has been successfully installed.")
        else:
            self.message("Setup was unable to properly complete installing the Tessa Test Player.")
        self.assertEqual(0, self.proc.wait(timeout=timeout))

    def values(self, snap, key):
        return snap["registry"].get(key, {})

    def log(self, snap, category):
        v = self.values(snap, HKCR + KEY + "\\" + category)
        items, n = [], 1
        while "Item%d" % n in v:
            items.append((v["Item%d" % n], v.get("AddInfo%d" % n)))
            n += 1
        return items

    def assertSameMachine(self, before, after):
        self.assertEqual(before["tree"], after["tree"])
        b, a = before["registry"], after["registry"]
        self.assertEqual(sorted(set(a) - set(b)), [], "keys the run left")
        self.assertEqual(sorted(set(b) - set(a)), [], "keys the run removed")
        for k in b:
            self.assertEqual(b[k], a[k], k)

    def installed(self, name, sub=""):
        return get(os.path.join(DEST, sub, name))

    # ---- the tests, in order ------------------------------------------------------

    def test_0_second_start_is_refused(self):
        self.start()
        first = self.proc
        welcome = self.page()
        second = h.start([os.path.join(self.product, "TXSETUP.exe")])
        d = self.dialog(TITLE, control=3226, without=IDC_NEXT)
        self.assertIn("Cannot launch second instance of this application", " ".join(c["text"] for c in d["children"]))
        self.shot("second-instance")
        self.leave(d, "OK")
        self.assertEqual(0, second.wait(timeout=30))
        # Cancel, Exit: the first run ends without installing.
        self.press(welcome, "Cancel")
        self.message("If you exit now", title="Exit Setup", press="Exit")
        self.proc = first
        self.finish(ok=False)
        self.assertSameMachine(self.clean, snapshot())

    def damaged(self, name, change, expect, shot):
        product = os.path.join(WORK, name)
        shutil.rmtree(product, ignore_errors=True)
        shutil.copytree(self.product, product)
        change(product)
        self.start(product)
        try:
            self.quick_wizard()
            self.message(expect, shot=shot)
            self.finish(ok=False)
        finally:
            self.tearDown()

    def test_1_damaged_products_leave_nothing(self):
        def flip(product):
            p = os.path.join(product, "chunk.dat")
            data = bytearray(get(p))
            data[40000] ^= 0x10
            put(p, data)
        cases = [
            ("byte", flip, "This file was changed during downloading."),
            ("length", lambda p: edit_script(p, "L5=64000", "L5=64001"), "Wrong length of file"),
            ("nosums", lambda p: edit_script(p, "L2=", "X2="), "Could not read Control Sums for the file"),
            ("seven", lambda p: edit_script(p, "[Shared Control Sums]\r\nL1=7000\r\nF1=",
                                            "[Shared Control Sums]\r\nL1=7000\r\nF1=12-200 7 0 255 9 31 64\r\nX1="),
             "Not valid Control Sums for the file"),
            ("missing", lambda p: os.remove(os.path.join(p, "plug.dll")), "Could not find file"),
        ]
        for name, change, expect in cases:
            with self.subTest(name):
                self.damaged(name, change, expect, "error-" + name)
                self.assertSameMachine(self.clean, snapshot())
        # A destination that cannot take the Plugins directory: a file is in its way.
        os.makedirs(DEST)
        put(os.path.join(DEST, "Plugins"), b"")
        before = snapshot()
        self.start()
        self.quick_wizard()
        texts = self.message("Could not copy file to the following directory:", shot="error-directory")
        self.assertIn(DEST_WIN + "Plugins", texts)
        self.finish(ok=False)
        self.assertSameMachine(before, snapshot())
        shutil.rmtree(os.path.join(h.drive_c(), "TessaTest"))
        self.assertSameMachine(self.clean, snapshot())

    def test_2_full_install_through_the_archive(self):
        archive = os.path.join(WORK, "TessaSetup.exe")
        make_product(os.path.join(WORK, "archived"), archive=archive)
        self.start(exe=archive)
        # 1 Welcome: Back and Finish disabled, Next the default.
        d = self.page()
        self.assertFalse(d["ids"][IDC_BACK]["enabled"])
        self.assertFalse(d["ids"][IDC_FINISH]["enabled"])
        self.assertEqual(IDC_NEXT, self.ctl.ask("send", d["hwnd"], DM_GETDEFID, 0, 0)["result"] & 0xFFFF)
        self.assertIn("Welcome to the Tessa Test Player Setup program.", d["ids"][3226]["text"])
        self.assertNotIn("_PRODUCT_NAME_", json.dumps(d))
        self.shot("welcome")
        self.press(d, "Finish")  # disabled: nothing happens
        self.assertTrue(self.ctl.ask("describe", d["hwnd"])["exists"])
        self.leave(d, "Next >")
        # 2 User information: a blank name is refused.
        d = self.page(" - User Information")
        self.assertFalse(d["ids"][IDC_FINISH]["enabled"])
        self.set_text(d, IDC_USER_NAME, "  ")
        self.press(d, "Next >")
        self.message("The name field cannot be blank.", shot="error-name")
        self.set_text(d, IDC_USER_NAME, "Ada Tester")
        self.set_text(d, 3240, "Tessa Works")
        self.set_text(d, 3241, "ada@tessa.invalid")
        self.shot("user-information")
        self.leave(d, "Next >")
        # 3 Connection speed: 28.8 proposed; choose 14.4; Back and Next keep it.
        d = self.page(" - Connection Speed")
        self.assertEqual("28.8 Modem", d["ids"][IDC_SPEED]["text"])
        self.ctl.ask("send", d["ids"][IDC_SPEED]["hwnd"], CB_SETCURSEL, 0, 0)
        self.shot("connection-speed")
        self.leave(d, "< Back")
        d = self.page(" - User Information")
        self.assertEqual("Ada Tester", d["ids"][IDC_USER_NAME]["text"])
        self.assertEqual(IDC_BACK, self.ctl.ask("send", d["hwnd"], DM_GETDEFID, 0, 0)["result"] & 0xFFFF)
        self.leave(d, "Next >")
        d = self.page(" - Connection Speed")
        self.assertEqual("14.4 Modem", d["ids"][IDC_SPEED]["text"])
        self.leave(d, "Next >")
        # 4 Content: Cancel, Continue shows the same page with its values.
        d = self.page(" - Content")
        self.assertTrue(self.ctl.ask("press", d["hwnd"], IDC_CONTENT_CLASSICAL)["ok"])
        self.press(d, "Cancel")
        box = self.dialog("Exit Setup", control=3226, without=IDC_NEXT)
        self.shot("exit-confirmation")
        self.leave(box, "Continue")
        self.assertTrue(self.ctl.ask("describe", d["hwnd"])["exists"])
        self.shot("content")
        self.leave(d, "Next >")
        # 5 Destination: a path without a drive is refused; Finish installs at once.
        d = self.page(" - Destination Directory")
        self.assertEqual(IDC_FINISH, self.ctl.ask("send", d["hwnd"], DM_GETDEFID, 0, 0)["result"] & 0xFFFF)
        self.assertEqual(DEST_WIN[:-1], d["ids"][IDC_DESTINATION]["text"])
        self.set_text(d, IDC_DESTINATION, "TessaTest\\Player")
        self.press(d, "Next >")
        self.message("The path entered is not valid.", shot="error-path")
        self.set_text(d, IDC_DESTINATION, DEST_WIN[:-1])
        self.leave(d, "Next >")
        # 10 Finish: Next disabled; Back returns to the destination.
        d = self.page()
        self.assertFalse(d["ids"][IDC_NEXT]["enabled"])
        self.assertIn("Click Finish to complete the installation of the Tessa Test Player", d["ids"][3226]["text"])
        self.shot("finish")
        self.leave(d, "< Back")
        d = self.page(" - Destination Directory")
        self.shot("destination")
        self.leave(d, "Finish")
        # The progress dialog while the large file is copied.
        p = self.dialog(TITLE, control=3230, timeout=60)
        self.shot("progress")
        self.assertIn("Now copying files...", [c["text"] for c in p["children"]])
        self.message("The Tessa Test Player has been successfully installed.", shot="success")
        # The archive got result 1 (not installed into its own directory) and cleaned up.
        self.assertEqual(1, self.proc.wait(timeout=60))
        for root, dirs, _ in os.walk(os.path.join(h.drive_c(), "users")):
            self.assertFalse([x for x in dirs if x.startswith("txs") and x[3:].isdigit()], root)

        snap = snapshot()
        type(self).first = snap
        self.check_first_install(snap)

    def check_first_install(self, snap):
        files = os.path.join(WORK, "files")
        for name in ("txplay.exe", "empty.dat", "one.dat", "chunk.dat", "big.dat"):
            self.assertEqual(get(os.path.join(files, name)), self.installed(name), name)
        self.assertEqual(get(os.path.join(files, "plug.dll")), self.installed("plug.dll", "Plugins"))
        self.assertEqual(get(os.path.join(files, "shared.dll")), self.installed("shared.dll", "Plugins"))
        self.assertEqual(b"Visit http://tessa.invalid/first now.\r\nAgain: http://tessa.invalid/first\r\n",
                         self.installed("readme.txt"))
        self.assertEqual(sorted(os.listdir(DEST)), sorted(["txplay.exe", "readme.txt", "empty.dat", "one.dat",
                                                           "chunk.dat", "big.dat", "Plugins",
                                                           "txuninst.exe"]))
        key = HKCR + KEY
        self.assertEqual(DEST_WIN, self.values(snap, key)["@"])
        self.assertEqual("1", self.values(snap, key + "\\Preferences")["@"])
        prefs = {k[len(key) + 13:]: v["@"] for k, v in snap["registry"].items() if k.startswith(key + "\\Preferences\\")}
        self.assertEqual({"NetworkLatency": "5000", "SamplingRate": "11025", "Bandwidth": "14400",
                          "URLtoHurl": "http://tessa.invalid/first", "HurledURL": "0",
                          "Presets1": "ovm://classical.invalid/one", "Presets2": "ovm://classical.invalid/two"}, prefs)
        family = HKCR + "Software\\Orvane Labs\\Preferences\\"
        self.assertEqual("Ada Tester", self.values(snap, family + "UserName")["@"])
        self.assertEqual("Tessa Works", self.values(snap, family + "UserCompany")["@"])
        self.assertEqual("ada@tessa.invalid", self.values(snap, family + "UserAddress")["@"])
        self.assertEqual("Tessa Test Player", self.values(snap, key + "\\DisplayName")["@"])
        self.assertEqual([(DEST_WIN + n, None) for n in ("txplay.exe", "readme.txt", "empty.dat", "one.dat",
                                                          "chunk.dat", "big.dat")] +
                         [(DEST_WIN + "Plugins\\plug.dll", None)], self.log(snap, "Files"))
        self.assertEqual([(DEST_WIN + "Plugins\\shared.dll", None)], self.log(snap, "SharedFiles"))
        self.assertEqual([("C:\\TessaTest\\Player", None), ("C:\\TessaTest", None),
                          ("C:\\TessaTest\\Player\\Plugins", None), ("C:\\TessaTest\\Player", None),
                          ("C:\\TessaTest", None)], self.log(snap, "Directories"))
        cr, lm = "HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE"
        types = []
        for ext, cls in ((".tx", "tx,txmfile"), (".txm", "tx,txmfile"), (".tx", "txmfile"), (".txm", "txmfile")):
            types += [(ext, cr), (cls + "\\shell\\open\\command", cr), (cls + "\\shell\\open", cr),
                      (cls + "\\shell", cr), (cls + "\\DefaultIcon", cr), (cls, cr)]
        self.assertEqual(types + [(UNINSTALL, cr), (UNINSTALL, lm),
                                  ("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\txplay.exe", lm)],
                         self.log(snap, "Keys"))
        self.assertEqual([("Tessa Test Player Running", None)], self.log(snap, "ShutdownNames"))
        for c in ("SelfRegs", "ProgmanGroup", "KeyValues", "SharedKeys"):
            self.assertEqual([], self.log(snap, c), c)
        command = DEST_WIN + "txuninst.exe " + KEY
        self.assertEqual(command, self.values(snap, HKCR + UNINSTALL)["@"])
        self.assertEqual({"DisplayName": "Tessa Test Player 3.0", "UninstallString": command},
                         self.values(snap, HKLM + UNINSTALL))
        self.assertEqual({"@": DEST_WIN + "txplay.exe", "Path": "C:\\TessaTest\\Player;"},
                         self.values(snap, HKLM + "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\txplay.exe"))
        shared = self.values(snap, HKLM + "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls")
        self.assertEqual("dword:00000001", shared["c:\\tessatest\\player\\plugins\\shared.dll"])
        for ext in (".tx", ".txm"):
            self.assertEqual("txmfile", self.values(snap, HKCR + ext)["@"])
        for cls in ("txmfile", "tx,txmfile"):
            self.assertEqual("Tessavox Files", self.values(snap, HKCR + cls)["@"])
            self.assertEqual(DEST_WIN + "txplay.exe %1", self.values(snap, HKCR + cls + "\\shell\\open\\command")["@"])
            self.assertEqual(DEST_WIN + "txplay.exe,0", self.values(snap, HKCR + cls + "\\DefaultIcon")["@"])
        # The same values through reg query.
        self.assertEqual("Tessa Test Player 3.0", h.reg_query("HKLM\\" + UNINSTALL, "DisplayName"))
        self.assertEqual(DEST_WIN + "txplay.exe %1", reg_default(r"HKCR\txmfile\shell\open\command"))
        self.assertEqual("14400", reg_default("HKCR\\" + KEY + "\\Preferences\\Bandwidth"))

    def test_3_failed_reinstall_keeps_the_first_installation(self):
        product = os.path.join(WORK, "reinstall-damaged")
        shutil.rmtree(product, ignore_errors=True)
        shutil.copytree(self.product, product)
        p = os.path.join(product, "shared.dll")  # in the third group: two groups are replaced first
        data = bytearray(get(p))
        data[10] ^= 1
        put(p, data)
        self.start(product)
        self.quick_wizard()
        self.message("This file was changed during downloading.")
        self.finish(ok=False)
        self.assertSameMachine(self.first, snapshot())

    def test_4_second_install_appends_to_the_log(self):
        self.start()
        self.quick_wizard()
        self.finish(ok=True)
        snap = snapshot()
        self.assertEqual("2", self.values(snap, HKCR + KEY + "\\Preferences")["@"])
        for category in ("Files", "SharedFiles", "Directories", "Keys", "ShutdownNames"):
            first = self.log(self.first, category)
            again = self.log(snap, category)
            self.assertEqual(first + first, again, category)
        shared = self.values(snap, HKLM + "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls")
        self.assertEqual("dword:00000002", shared["c:\\tessatest\\player\\plugins\\shared.dll"])
        self.assertEqual([], [n for n in os.listdir(DEST) if ".txold" in n or n.endswith(".tmp")])

    def test_5_uninstaller_removes_everything(self):
        r = h.run([os.path.join(DEST, "txuninst.exe"), KEY], timeout=60)
        self.assertEqual(0, r.returncode)
        # The uninstaller goes on in a copy of itself: wait for the machine to settle.
        end = time.time() + 60
        while time.time() < end:
            try:
                snap = snapshot()
            except AssertionError:  # reg export of a key the uninstaller is removing
                continue
            if snap == self.clean:
                break
            time.sleep(0.5)
        self.assertSameMachine(self.clean, snap)

    def open_a_clip_by_its_file_type(self):
        """The installed product end to end: a .tx file opened by its file type starts the
        installed TXPLAYER, whose player library decodes it through the installed TXDECODE
        to a WAVE file beside the clip; its PCM is the decoder's own for that stream (a52wav).
        The clip lies outside drive C:, which the snapshots compare."""
        clips = os.path.join(WORK, "e2e")
        shutil.rmtree(clips, ignore_errors=True)
        os.makedirs(clips)
        clip, log = os.path.join(clips, "tone.tx"), os.path.join(clips, "ovui3230.log")
        subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                        "sine=f=440:r=44100:d=0.5", "-ac", "2", "-c:a", "ac3", "-b:a", "128k", "-f", "ac3", clip],
                       check=True)
        a52wav = os.path.join(os.environ["TX_BUILD"], "outside", "a52wav", "a52wav.exe")
        want = os.path.join(clips, "want.wav")
        r = h.run([a52wav, h.winpath(clip), h.winpath(want)], cwd=os.environ["TX_DIST"])
        self.assertEqual(0, r.returncode, r.stderr)
        h.run(["start", h.winpath(clip)], env={"OVUI3230_LOG": h.winpath(log)})
        end = time.time() + 60
        # A first start asks whether to visit the maker's site; no.
        question = []
        while time.time() < end and not question:
            question = [b for b in self.ctl.ask("boxes") if "Sondrel web site" in " ".join(b["texts"])]
            time.sleep(0.2)
        self.assertTrue(question, "the player's first-run question")
        self.ctl.ask("click", question[0]["hwnd"], "No")
        while time.time() < end and "PlayEnd" not in (get(log).decode("latin-1") if os.path.exists(log) else ""):
            time.sleep(0.2)
        text = get(log).decode("latin-1")
        self.assertIn("TxguiSetSource\t" + h.winpath(clip) + "\r\n", text)
        self.assertIn("\tcomplete\r\n", text)
        player = self.ctl.ask("find", "Orvane Labs TXPlayer", "")["hwnd"]
        self.assertNotEqual(0, player)
        self.ctl.ask("close", player)
        while time.time() < end and self.ctl.ask("find", "Orvane Labs TXPlayer", "")["hwnd"]:
            time.sleep(0.2)
        w, v = wave.open(os.path.join(clips, "tone.wav"), "rb"), wave.open(want, "rb")
        self.assertEqual((2, 44100), (w.getnchannels(), w.getframerate()))
        self.assertTrue(w.readframes(w.getnframes()) == v.readframes(v.getnframes()), "PCM differs from a52wav's")
        w.close()
        v.close()

    def test_6_the_projects_own_product_installs_and_uninstalls(self):
        """dist/<kind>/TessavoxSetup.exe, made by the build, through the archive stand-in."""
        archive = os.path.join(os.environ.get("TX_DIST", os.path.dirname(TXSETUP)), "TessavoxSetup.exe")
        title, dest = "Tessavox Player Setup", os.path.join(h.drive_c(), "Program Files", "Tessavox")
        key = "Software\\Orvane Labs\\Tessavox Player\\3.0"
        shutil.rmtree(dest, ignore_errors=True)
        before = snapshot()
        self.start(exe=archive, env=wave_device_env())  # the product checks for a sound device
        self.leave(self.page(title=title), "Next >")
        d = self.page(" - User Information", title=title)
        self.set_text(d, IDC_USER_NAME, "Ada Tester")
        self.leave(d, "Next >")
        self.leave(self.page(" - Destination Directory", title=title), "Next >")
        self.leave(self.page(title=title, control=IDC_FINISH), "Finish")
        self.message("The Tessavox Player has been successfully installed.", title=title)
        self.assertEqual(1, self.proc.wait(timeout=60))
        self.assertEqual(sorted(["readme.txt", "txuninst.exe", "TXDECODE.dll", "TXPLAYER.exe", "ovui3230.dll"]),
                         sorted(os.listdir(dest)))
        command = reg_default("HKCR\\" + UNINSTALL.replace("TessaTest", "Tessavox Player"))
        self.assertEqual("C:\\Program Files\\Tessavox\\txuninst.exe " + key, command)
        self.open_a_clip_by_its_file_type()
        r = h.run([os.path.join(dest, "txuninst.exe"), key], timeout=60)
        self.assertEqual(0, r.returncode)
        end = time.time() + 60
        while time.time() < end:
            try:
                snap = snapshot()
            except AssertionError:  # reg export of a key the uninstaller is removing
                continue
            if snap == before:
                break
            time.sleep(0.5)
        self.assertSameMachine(before, snap)


if __name__ == "__main__":
    unittest.main(verbosity=2)

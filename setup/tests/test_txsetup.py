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
import winctl_driver

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

# A small product for the runs that check the start, the resumed run and the shutdown:
# the probe program (a window to close, a recorder of [Launch] commands) and a library
# that registers itself are among its files.
SMALL = r"""[Default Setting]
Caption=Tessa Test Setup
BackgroundText=Tessavox
DestName=C:\TessaTest\Player
ProductName=Tessa Test Player
RegistrationName=TessaTest
MainExe=txplay.exe
DetectWaveDriver=0

[File Groups]
Group1=Main
Group2=Common
Group3=Uninstaller

[Main]
GroupPath=ROOT
F1=txplay.exe
F2=setup_probe.exe
F3=selfreg_probe.dll
F4=readme.txt

[Common]
GroupPath=ROOT
Type=SHARED
F1=tessacom.dll

[Extra]
GroupPath=ROOT\Extra
F1=one.dat
F2=chunk.dat

[Uninstaller]
GroupPath=ROOT
Type=UNINSTALLER
F1=txuninst.exe
"""
BUILD = os.environ.get("TX_BUILD", os.path.join(SOURCE, "build", "win64"))
PROBE = os.path.join(BUILD, "setup", "setup_probe.exe")  # version 2.0
SELFREG = os.path.join(BUILD, "setup", "selfreg_probe.dll")  # version 1.0
MAIN_CLASS = "TXSetupMainWndClass"
WM_SETUP_INSTALL_GROUP, WM_SETUP_LOG_KEY = 0x420, 0x440
SHARED_DLLS = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls"

FILES = {"txplay.exe": None, "txuninst.exe": None, "readme.txt": b"Visit @@URL@@ now.\r\nAgain: @@URL@@\r\n",
         "empty.dat": b"", "one.dat": b"\x07", "chunk.dat": bytes((i * 131 + 7) % 256 for i in range(64000))}


class WinCtl(winctl_driver.WinCtl):
    """The winctl.exe of the command line (the other setup tests start theirs here too)."""

    def __init__(self):
        super().__init__(WINCTL)


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


def delete_if_empty(key):
    """Deletes key when it holds no value and no subkey; True when it did."""
    r = h.run(["reg", "query", key])
    if r.returncode != 0 or len([x for x in r.stdout.decode("latin-1").splitlines() if x.strip()]) > 1:
        return False
    return h.run(["reg", "delete", key, "/f"]).returncode == 0


def remove_empty_parents(key):
    """Deletes the parents of key, deepest first, while they hold nothing."""
    while "\\" in key[5:]:
        key = key.rsplit("\\", 1)[0]
        if not delete_if_empty(key):
            return


def wave_device_env():
    """Environment for Wine processes that should meet one wave-output device: a private
    HOME whose .asoundrc makes ALSA's null device the default (the sound check at the
    start of a setup run needs a device)."""
    home = os.path.join(WORK, "home-wave")
    os.makedirs(home, exist_ok=True)
    with open(os.path.join(home, ".asoundrc"), "w") as f:
        f.write("pcm.!default { type null }\n")
    return {"HOME": home}


def fresh_work(*stand_ins):
    """The opening of a setup test file's set-up: Wine's windows drawn without frames (as
    the screenshots show them), the screenshot folder, and WORK made anew with the folder
    files/ that make_product takes a product's files from; the uninstaller stand-in goes
    there under each name of stand_ins (any program will do for a product's programs).
    Returns that folder."""
    h.run(["reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Decorated", "/d", "N", "/f"])
    os.makedirs(SHOTS, exist_ok=True)
    shutil.rmtree(WORK, ignore_errors=True)
    files = os.path.join(WORK, "files")
    os.makedirs(files)
    for name in stand_ins:
        shutil.copyfile(TXUNINST, os.path.join(files, name))
    return files


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
        # Wine's own processes (the desktop's folder windows, the device services) change
        # keys under these roots at any time; an export that meets a key going away fails,
        # and is made again.
        for _ in range(5):
            r = h.run(["reg", "export", root, h.winpath(path), "/y"])
            if r.returncode == 0:
                break
        assert r.returncode == 0, "reg export %s failed (%d) five times: %r" % (root, r.returncode, r.stderr)
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


class WizardDriver:
    """How the setup tests drive TXSETUP and look at what it did: the wizard pages, the
    message dialogs, the uninstaller, the machine's files and registry. The test class
    that takes it sets cls.ctl (a WinCtl) and, for start(), cls.product."""

    def setUp(self):
        self.proc = None

    def tearDown(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

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

    def small_wizard(self, name="Ada Tester"):
        """Welcome, user information, Finish on the destination page (the small product)."""
        self.leave(self.page(), "Next >")
        d = self.page(" - User Information")
        self.set_text(d, IDC_USER_NAME, name)
        self.leave(d, "Next >")
        self.leave(self.page(" - Destination Directory"), "Finish")

    def uninstalled(self, target, timeout=60):
        """Runs the installed uninstaller by hand; the machine once it equals target
        (the uninstaller goes on in a copy of itself), or as it stands at the timeout."""
        r = h.run([os.path.join(DEST, "txuninst.exe"), KEY], timeout=60)
        self.assertEqual(0, r.returncode)
        end, snap = time.time() + timeout, None
        while time.time() < end:
            try:
                snap = snapshot()
            except AssertionError:  # reg export of a key the uninstaller is removing
                continue
            if snap == target:
                break
            time.sleep(0.5)
        return snap

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


class TxSetupTest(WizardDriver, unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        files = fresh_work()
        rnd = random.Random(14)
        for name, data in FILES.items():
            if data is None:
                shutil.copyfile(TXUNINST, os.path.join(files, name))
            else:
                put(os.path.join(files, name), data)
        put(os.path.join(files, "big.dat"), rnd.randbytes(24 << 20))
        shutil.copyfile(PROBE, os.path.join(files, "setup_probe.exe"))
        shutil.copyfile(SELFREG, os.path.join(files, "selfreg_probe.dll"))
        shutil.copyfile(SELFREG, os.path.join(files, "tessacom.dll"))  # a shared library of version 1.0
        put(os.path.join(files, "plug.dll"), rnd.randbytes(5000))
        put(os.path.join(files, "shared.dll"), rnd.randbytes(7000))
        cls.product = os.path.join(WORK, "product")
        make_product(cls.product)
        # Whatever an interrupted earlier run of these tests may have left.
        for key in ("HKCR\\Software\\Orvane Labs", "HKCR\\.tx", "HKCR\\.txm", "HKCR\\txmfile", "HKCR\\tx,txmfile",
                    "HKCR\\" + UNINSTALL, "HKLM\\" + UNINSTALL,
                    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\txplay.exe"):
            h.run(["reg", "delete", key, "/f"])
        for name in ("plugins\\plug.dll", "plugins\\shared.dll", "tessacom.dll"):
            h.run(["reg", "delete", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls", "/v",
                   "c:\\tessatest\\player\\" + name, "/f"])
        for key in ("HKCR\\Software\\Tessa Older", "HKCR\\Software\\TessaTest Library", "HKCU\\Software\\TessaTest Library",
                    "HKCU\\Software\\TessaTest Probe"):
            h.run(["reg", "delete", key, "/f"])
        # Empty parents an interrupted run left: the uninstaller takes them with the last key.
        remove_empty_parents("HKCR\\" + UNINSTALL)
        for d in ("TessaTest", "TessaOld", "TessaOlder", "TessaProbe"):
            shutil.rmtree(os.path.join(h.drive_c(), d), ignore_errors=True)
        if os.path.exists(os.path.join(h.drive_c(), "windows", "TESSAOLD.INI")):
            os.remove(os.path.join(h.drive_c(), "windows", "TESSAOLD.INI"))
        for root, dirs, _ in os.walk(os.path.join(h.drive_c(), "users")):
            for d in dirs:
                if d.startswith("txs") and d[3:].isdigit():
                    shutil.rmtree(os.path.join(root, d))
        cls.clean = snapshot()
        cls.ctl = WinCtl()

    @classmethod
    def tearDownClass(cls):
        cls.ctl.close()

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
        # The copy is quick: look for the progress dialog with the cheapest question.
        end, found = time.time() + 60, 0
        while time.time() < end and not found:
            found = self.ctl.ask("find", "#32770", TITLE)["hwnd"]
        p = self.ctl.ask("describe", found)
        if 3230 in [c["id"] for c in p.get("children", [])]:  # a fast copy may be over already
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

    def test_7_an_earlier_version_is_uninstalled_first_and_setup_resumes(self):
        """Version 2.0 in another directory, an old INI file, programs to close by title,
        [Old Files], self-registration, and messages from another process."""
        old_key = "Software\\Orvane Labs\\TessaTest\\2.0"
        old_dir = os.path.join(h.drive_c(), "TessaOld")
        os.makedirs(old_dir)
        shutil.copyfile(TXUNINST, os.path.join(old_dir, "txuninst.exe"))
        put(os.path.join(old_dir, "oldplay.exe"), b"the player of version 2.0")
        for key, name, value in (
                (old_key, None, "C:\\TessaOld\\"), (old_key + "\\Preferences", None, "1"),
                (old_key + "\\Preferences\\Volume", None, "70"),
                (old_key + "\\Preferences\\Sites", None, "ovm://old.invalid/site"),
                (old_key + "\\Files", "Item1", "C:\\TessaOld\\oldplay.exe"),
                (old_key + "\\Directories", "Item1", "C:\\TessaOld"),
                (old_key + "\\Keys", "Item1", UNINSTALL), (old_key + "\\Keys", "AddInfo1", "HKEY_CLASSES_ROOT"),
                (UNINSTALL, None, "C:\\TessaOld\\txuninst.exe " + old_key)):
            args = ["reg", "add", "HKCR\\" + key] + (["/v", name] if name else ["/ve"]) + ["/d", value, "/f"]
            self.assertEqual(0, h.run(args).returncode, args)
        ini = os.path.join(h.drive_c(), "windows", "TESSAOLD.INI")
        put(ini, b"[Player]\r\nVolume=55\r\nLastURL=ovm://ini.invalid/last\r\n[Net]\r\nHttpHost=proxy.invalid\r\n")
        os.chmod(ini, 0o444)
        os.makedirs(DEST)
        put(os.path.join(DEST, "stale.dll"), b"left by an older version")
        product = os.path.join(WORK, "small-resume")
        make_product(product, SMALL + r"""
[INI File]
INI=TESSAOLD.INI
Group1=Player
Item1_1=Volume
Item1_2=LastURL
Item1_3=Missing
Group2=Net
Item2_1=HttpHost

[Unload]
Caption1=Tessa Probe Window
Caption2=Tessa Stubborn Window

[Old Files]
File1=stale.dll

[SelfReg]
File1=selfreg_probe.dll
File2=absent.dll
File3=readme.txt
""")
        polite = h.start([PROBE, "window", "Tessa Probe Window", "closes"])
        stubborn = h.start([PROBE, "window", "Tessa Stubborn Window", "stays"])
        try:
            for title in ("Tessa Probe Window", "Tessa Stubborn Window"):
                end = time.time() + 30
                while not self.ctl.ask("find", "TxSetupProbe", title)["hwnd"] and time.time() < end:
                    time.sleep(0.1)
            self.start(product)
            # The polite window closes when asked; the stubborn one makes setup ask.
            texts = self.message("is currently in use on your computer.", press="Exit", shot="retry-in-use")
            self.assertIn("Please close the Tessa Test Player or restart Windows before continuing.", texts)
            self.assertEqual(0, polite.wait(timeout=10))
            self.message("If you exit now", title="Exit Setup", press="Continue")
            box = self.dialog(TITLE, control=3226, without=IDC_NEXT)  # asked again after five more tries
            self.assertIn("is currently in use on your computer.", box["ids"][3226]["text"])
            stubborn.kill()
            stubborn.wait()
            self.leave(box, "Retry")
        finally:
            for p in (polite, stubborn):
                if p.poll() is None:
                    p.kill()
                    p.wait()
        self.small_wizard()
        self.message("Do you want to uninstall Tessa Test Player from the C:\\TessaOld\\ directory?", press="Yes",
                     shot="yes-no")
        # The uninstaller of 2.0 has removed its files and resumed setup.
        box = self.dialog(TITLE, control=3226, without=IDC_NEXT, timeout=60)
        self.assertIn("successfully installed", box["ids"][3226]["text"], box["ids"].get(3228))
        self.assertFalse(os.path.exists(os.path.join(old_dir, "oldplay.exe")))
        # Another process (the browser library's place) logs entries and installs a group
        # while the main window is still there.
        main = self.ctl.ask("find", MAIN_CLASS, CAPTION)["hwnd"]
        self.assertTrue(main)
        sent = [(10, "C:\\TessaTest\\Player\\library.dat"), (0, "Software\\TessaTest Library"),
                (20, "Software\\TessaTest Library"), (30, "C:\\TessaTest\\Player\\LibraryDir"), (99, "ignored")]
        for kind, text in sent:
            self.assertEqual(1, self.ctl.ask("sendtext", main, WM_SETUP_LOG_KEY, kind, text)["result"], text)
        # A number that points nowhere in setup's memory is refused, not read.
        self.assertEqual(0, self.ctl.ask("send", main, WM_SETUP_LOG_KEY, 10, 0x1234)["result"])
        for _ in range(2):  # the second time over the first copies
            self.assertEqual(1, self.ctl.ask("sendtext", main, WM_SETUP_INSTALL_GROUP, 0, "Extra")["result"])
        self.leave(box, "OK")
        self.assertEqual(0, self.proc.wait(timeout=60))

        snap = snapshot()
        files = os.path.join(WORK, "files")
        for name in ("one.dat", "chunk.dat"):
            self.assertEqual(get(os.path.join(files, name)), self.installed(name, "Extra"))
        self.assertEqual(sorted(["txplay.exe", "setup_probe.exe", "selfreg_probe.dll", "readme.txt", "txuninst.exe",
                                 "tessacom.dll", "Extra"]), sorted(os.listdir(DEST)))  # stale.dll went, no .txold stayed
        self.assertEqual(["one.dat", "chunk.dat"], sorted(os.listdir(os.path.join(DEST, "Extra")), reverse=True))
        self.assertFalse(os.path.exists(ini))
        key = HKCR + KEY
        prefs = {k[len(key) + 13:]: v["@"] for k, v in snap["registry"].items() if k.startswith(key + "\\Preferences\\")}
        # The INI's values where the product had none, then version 2.0's over them.
        self.assertEqual({"Volume": "70", "LastURL": "ovm://ini.invalid/last", "HttpHost": "proxy.invalid",
                          "Sites": "ovm://old.invalid/site"}, prefs)
        self.assertEqual("1", self.values(snap, key + "\\Preferences")["@"])
        self.assertEqual([], [k for k in snap["registry"] if k.startswith(HKCR + old_key)], "2.0 cleaned up")
        self.assertEqual(DEST_WIN + "txuninst.exe " + KEY, self.values(snap, HKCR + UNINSTALL)["@"])
        selfreg = DEST_WIN + "selfreg_probe.dll"
        self.assertEqual(selfreg, self.values(snap, "HKEY_CURRENT_USER\\Software\\TessaTest Probe")["@"])
        self.assertEqual([(selfreg, None)], self.log(snap, "SelfRegs"))
        self.assertEqual([("Tessa Probe Window", None), ("Tessa Stubborn Window", None)],
                         self.log(snap, "ShutdownNames"))
        extra = [(DEST_WIN + "Extra\\one.dat", None), (DEST_WIN + "Extra\\chunk.dat", None)]
        self.assertEqual([(DEST_WIN + n, None) for n in ("txplay.exe", "setup_probe.exe", "selfreg_probe.dll",
                                                          "readme.txt")] +
                         [(DEST_WIN + "library.dat", None)] + extra + extra, self.log(snap, "Files"))
        up = [("C:\\TessaTest\\Player", None), ("C:\\TessaTest", None)]  # every prefix, deepest first
        self.assertEqual(up + [(DEST_WIN + "LibraryDir", None)] +
                         [(DEST_WIN + "Extra", None)] + up + [(DEST_WIN + "Extra", None)] + up,
                         self.log(snap, "Directories"))
        self.assertEqual([(DEST_WIN + "tessacom.dll", None)], self.log(snap, "SharedFiles"))
        self.assertIn(("Software\\TessaTest Library", "HKEY_CLASSES_ROOT"), self.log(snap, "Keys"))
        self.assertEqual([("Software\\TessaTest Library", "HKEY_CURRENT_USER")], self.log(snap, "KeyValues"))

        # What the library logged exists; the uninstaller run by hand removes it with the rest.
        put(os.path.join(DEST, "library.dat"), b"made by the library")
        os.makedirs(os.path.join(DEST, "LibraryDir"))
        for root in ("HKCR", "HKCU"):
            h.run(["reg", "add", root + "\\Software\\TessaTest Library", "/ve", "/d", "x", "/f"])
        shutil.rmtree(old_dir)  # the 2.0 uninstaller left only itself
        self.assertSameMachine(self.clean, self.uninstalled(self.clean))

    def test_8_older_product_by_registry_path_and_launch_commands(self):
        """[Old Files] RegPath, an installed shared library newer than the product's
        (3284: Cancel fails the run, OK installs), [Launch] after a failed and a
        successful run."""
        older = os.path.join(h.drive_c(), "TessaOlder")
        os.makedirs(older)
        put(os.path.join(older, "oldplay.exe"), b"an older player")
        put(os.path.join(older, "old.hlp"), b"its help")
        h.run(["reg", "add", "HKCR\\Software\\Tessa Older\\Player", "/ve", "/d", "C:\\TessaOlder\\oldplay.exe", "/f"])
        probe_dir = os.path.join(h.drive_c(), "TessaProbe")
        os.makedirs(probe_dir)
        shutil.copyfile(PROBE, os.path.join(probe_dir, "setup_probe.exe"))
        # Another product's newer copy of the shared library, counted once.
        os.makedirs(DEST)
        shutil.copyfile(PROBE, os.path.join(DEST, "tessacom.dll"))
        shared_name = "c:\\tessatest\\player\\tessacom.dll"
        h.run(["reg", "add", "HKLM\\" + SHARED_DLLS, "/v", shared_name, "/t", "REG_DWORD", "/d", "1", "/f"])
        product = os.path.join(WORK, "small-launch")
        make_product(product, SMALL + r"""
[Old Files]
File1=oldplay.exe
File2=old.hlp
RegPath=Software\Tessa Older\Player

[Launch]
L1=Main::F2 after install
L2=C:\TessaProbe\setup_probe.exe always
""")
        launched = os.path.join(WORK, "launched.txt")
        env = {"TXPROBE_OUT": h.winpath(launched)}

        def launch_lines(count):
            end = time.time() + 30
            while time.time() < end:
                if os.path.exists(launched):
                    lines = get(launched).decode("latin-1").splitlines()
                    if len(lines) >= count:
                        os.remove(launched)
                        return sorted(lines)
                time.sleep(0.1)
            self.fail("the [Launch] commands did not run")

        before = snapshot()
        for answer in ("Cancel", "OK"):
            with self.subTest(answer):
                self.start(product, env=env)
                self.small_wizard()
                self.message("Do you want to uninstall Tessa Test Player from the C:\\TessaOlder\\ directory?",
                             press="Yes")
                texts = self.message("Shared component " + DEST_WIN + "tessacom.dll already installed",
                                     press=answer, shot="ok-cancel" if answer == "Cancel" else None)
                self.assertIn("Install older version?", texts)
                if answer == "Cancel":
                    self.message("Setup Failed!", shot="failure")
                    self.assertEqual(0, self.proc.wait(timeout=60))
                    # Only the command with a drive path runs after a failure.
                    self.assertEqual(["|\"C:\\TessaProbe\\setup_probe.exe\" always"],
                                     [line[line.index("|"):] for line in launch_lines(1)])
                    self.assertSameMachine(before, snapshot())
                else:
                    self.finish(ok=True)
                    self.assertEqual(sorted(["C:\\TessaTest\\Player|\"C:\\TessaTest\\Player\\setup_probe.exe\" "
                                             "after install",
                                             "C:\\TessaTest\\Player|\"C:\\TessaProbe\\setup_probe.exe\" always"]),
                                     launch_lines(2))
        snap = snapshot()
        self.assertFalse(os.path.exists(older), "the older product's files and directory went")
        self.assertEqual("C:\\TessaOlder\\oldplay.exe", reg_default("HKCR\\Software\\Tessa Older\\Player"))
        self.assertEqual(get(SELFREG), get(os.path.join(DEST, "tessacom.dll")))
        self.assertEqual("dword:00000002", self.values(snap, HKLM + SHARED_DLLS)[shared_name])
        # The uninstaller leaves the library the other product still counts.
        target = {"tree": {k: v for k, v in before["tree"].items() if not k.startswith("TessaOlder")},
                  "registry": before["registry"]}
        target["tree"][os.path.join("TessaTest", "Player", "tessacom.dll")] = os.path.getsize(SELFREG)
        self.assertSameMachine(target, self.uninstalled(target))
        shutil.rmtree(os.path.join(h.drive_c(), "TessaTest"))
        shutil.rmtree(probe_dir)
        h.run(["reg", "delete", "HKLM\\" + SHARED_DLLS, "/v", shared_name, "/f"])
        delete_if_empty("HKLM\\" + SHARED_DLLS)
        h.run(["reg", "delete", "HKCR\\Software\\Tessa Older", "/f"])
        remove_empty_parents("HKCR\\Software\\Tessa Older")
        self.assertSameMachine(self.clean, snapshot())


if __name__ == "__main__":
    unittest.main(verbosity=2)

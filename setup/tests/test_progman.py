#!/usr/bin/python3
"""Black-box tests of TXSETUP.exe's program group under Wine: a full install makes the
group and its items through Program Manager's DDE service, which Wine's desktop shell
answers (checked through DDE "GROUPS" and as shortcut files under the prefix's Start
Menu, read back through IShellLink), plus the uninstaller's item and the desktop
shortcut; without a Program Manager conversation the group is a directory of shortcut
files made by the installer itself. The uninstaller stand-in then leaves the prefix
as it was (drive C:, the registry and the desktop folder).

Usage: test_progman.py TXSETUP.exe winctl.exe txuninst.exe txarchive.exe progman_probe.exe fpprobe.dll
The tests run in their numbered order.
"""
import json
import os
import shutil
import subprocess
import sys
import time
import unittest

import txharness as h

FPPROBE = os.path.abspath(sys.argv.pop(6))  # the library that asks the installer WM_SETUP_FIND_PROGRAM
PROBE = os.path.abspath(sys.argv.pop(5))
import test_txsetup as tx  # noqa: E402 (takes its four programs from the command line)

tx.WORK = os.path.abspath("progman-work")  # make_product's scratch directory, not the other test's
SHOTS = tx.SHOTS

PRODUCT = "Tessa Group Player"
TITLE = PRODUCT + " Setup"
GROUP = "Tessa Group"
DEST_WIN = "C:\\TessaGroup\\Player\\"
DEST = os.path.join(h.drive_c(), "TessaGroup", "Player")
KEY = "Software\\Orvane Labs\\TessaGroup\\3.0"
HKCR = tx.HKCR
LONG_TITLE = "A title that is much longer than forty characters in all"
UNINSTALLER_TITLE = PRODUCT + " 32-bit Uninstaller"

SCRIPT = r"""[Default Setting]
Caption=Tessa Group Setup
DestName=C:\TessaGroup\Player
ProductName=Tessa Group Player
RegistrationName=TessaGroup
MainExe=txplay.exe
MainVersion=3.0
DetectWaveDriver=0

[File Groups]
Group1=Main
Group2=Uninstaller

[Main]
GroupPath=ROOT
F1=txplay.exe
F2=readme.txt
F3=fpprobe.dll

[SelfReg]
File1=fpprobe.dll

[Uninstaller]
GroupPath=ROOT
Type=UNINSTALLER
F1=txuninst.exe

[Progman Group]
Name=Tessa Group
Item1=_PRODUCT_NAME_,Main::F1
Item2=Read me (text),Main::F2
Item3=Play the demo,Main::F1 /demo
Item4=No comma in this item
Item5=%s,Main::F1
""" % LONG_TITLE

SHELL_FOLDERS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"


def unix_path(windows_path):
    """The Linux path of a C: path of the prefix."""
    assert windows_path[:3].upper() == "C:\\", windows_path
    return os.path.join(h.drive_c(), *windows_path[3:].split("\\"))


def settled_screenshot(name, title=None):
    """A screenshot once the picture has stopped changing (Wine's shell fills its
    folder windows after they appear): taken again until two in a row show the same
    pixels."""
    out = os.path.join(SHOTS, name)
    if title is not None and h.wait_window(title, timeout=60) is None:
        raise AssertionError("no window titled %r came" % title)
    previous = None
    for _ in range(40):
        h.screenshot(out, title)
        pixels = subprocess.run(["identify", "-format", "%#", out], stdout=subprocess.PIPE, check=True).stdout
        if pixels == previous:
            return out
        previous = pixels
    raise AssertionError("the picture of %r kept changing" % (title or "the screen"))


def listing(path):
    return sorted(os.listdir(path)) if os.path.isdir(path) else None


class ProgmanTest(unittest.TestCase):
    maxDiff = None

    # The wizard driving of the installer's own tests, reused as it is.
    dialog = tx.TxSetupTest.dialog
    gone = tx.TxSetupTest.gone
    press = tx.TxSetupTest.press
    leave = tx.TxSetupTest.leave
    message = tx.TxSetupTest.message
    set_text = tx.TxSetupTest.set_text
    values = tx.TxSetupTest.values
    assertSameMachine = tx.TxSetupTest.assertSameMachine
    setUp = tx.TxSetupTest.setUp
    tearDown = tx.TxSetupTest.tearDown

    @classmethod
    def setUpClass(cls):
        files = tx.fresh_work("txuninst.exe", "txplay.exe")
        tx.put(os.path.join(files, "readme.txt"), b"Tessa Group Player\r\n")
        shutil.copyfile(FPPROBE, os.path.join(files, "fpprobe.dll"))
        cls.product = os.path.join(tx.WORK, "product")
        tx.make_product(cls.product, template=SCRIPT)
        cls.ctl = tx.WinCtl()  # a program of the prefix keeps Wine's desktop shell running
        answer = cls.probe("wait", "60")
        assert answer["ok"], "Wine's desktop shell does not answer Program Manager's DDE service"
        # The Shell Folders key, which setup reads, holds a folder once a program has asked the
        # shell for it; on a fresh prefix nothing may have asked for these two yet.
        folders = cls.probe("folders")
        assert folders["ok"], folders
        cls.programs = h.reg_query(SHELL_FOLDERS, "Programs")
        cls.desktop = h.reg_query(SHELL_FOLDERS, "Desktop")
        assert cls.programs and cls.desktop, (cls.programs, cls.desktop)
        cls.group_dir = os.path.join(unix_path(cls.programs), GROUP)
        cls.desktop_dir = unix_path(cls.desktop)
        # Whatever an interrupted earlier run of these tests may have left.
        for key in ("HKCR\\Software\\Orvane Labs", "HKCR\\" + tx.UNINSTALL.replace("TessaTest", "TessaGroup"),
                    "HKLM\\" + tx.UNINSTALL.replace("TessaTest", "TessaGroup"),
                    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\txplay.exe"):
            h.run(["reg", "delete", key, "/f"])
        shutil.rmtree(os.path.join(h.drive_c(), "TessaGroup"), ignore_errors=True)
        shutil.rmtree(cls.group_dir, ignore_errors=True)
        for name in os.listdir(cls.desktop_dir):
            if name.startswith(PRODUCT):
                os.remove(os.path.join(cls.desktop_dir, name))

    @classmethod
    def tearDownClass(cls):
        cls.close_folder_windows()
        cls.ctl.close()

    @classmethod
    def close_folder_windows(cls):
        """Closes the folder windows Wine's shell opened for the group, and waits for them."""
        end = time.time() + 30
        while time.time() < end:
            open_ = [w for w in cls.ctl.ask("list") if w["title"] in (GROUP, "Main", "Tessa_Group")]
            if not open_:
                return
            for w in open_:
                cls.ctl.ask("close", w["hwnd"])
            time.sleep(0.2)
        raise AssertionError("the group's folder windows stayed open")

    # ---- helpers ---------------------------------------------------------------

    @staticmethod
    def probe(*args):
        r = h.run([PROBE] + list(args), timeout=90)
        return json.loads(r.stdout.decode("latin-1").strip().splitlines()[-1])

    def log(self, snap, category):
        v = self.values(snap, HKCR + KEY + "\\" + category)
        return [(v["Item%d" % n], v.get("AddInfo%d" % n)) for n in range(1, len(v) + 1) if "Item%d" % n in v]

    def machine(self):
        """The installer's own snapshot plus the desktop folder (a link to the harness's
        home, which the snapshot of drive C: does not follow)."""
        snap = tx.snapshot()
        snap["desktop"] = listing(self.desktop_dir)
        return snap

    def find_program_answer(self):
        """What the product's library was told when it sent WM_SETUP_FIND_PROGRAM
        during self-registration (written into the temporary directory)."""
        for user in os.listdir(os.path.join(h.drive_c(), "users")):
            path = os.path.join(h.drive_c(), "users", user, "Temp", "find_program.txt")
            if os.path.exists(path):
                with open(path) as f:
                    answer = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
                os.remove(path)
                return answer
        return None

    def install(self, env=None, product=None, during=None):
        """Through the wizard to the success notice (which is returned, still open);
        during(), when given, runs once the wizard has ended."""
        self.find_program_answer()  # none left from an earlier run
        self.proc = h.start([os.path.join(product or self.product, "TXSETUP.exe")], env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.leave(self.dialog(TITLE, tx.IDC_NEXT), "Next >")
        d = self.dialog(TITLE + " - User Information", tx.IDC_NEXT)
        self.set_text(d, tx.IDC_USER_NAME, "Ada Tester")
        self.leave(d, "Next >")
        self.leave(self.dialog(TITLE + " - Destination Directory", tx.IDC_NEXT), "Finish")
        if during:
            during()
        box = self.dialog(TITLE, control=3226, without=tx.IDC_NEXT, timeout=120)
        self.assertIn("The Tessa Group Player has been successfully installed.",
                      " | ".join(c["text"] for c in box["children"]))
        return box

    def close_box(self, box):
        self.leave(box, "OK")
        self.assertEqual(0, self.proc.wait(timeout=60))

    def uninstall_to(self, before, afterwards=None):
        """Runs the uninstaller by hand and waits for the machine to be `before` again;
        afterwards(), when given, runs once the group's directory is gone."""
        r = h.run([os.path.join(DEST, "txuninst.exe"), KEY], timeout=60)
        self.assertEqual(0, r.returncode)
        # The uninstaller goes on in a copy of itself: wait for the machine to settle.
        end = time.time() + 60
        while time.time() < end:
            if afterwards and listing(self.group_dir) is None:
                afterwards()
                afterwards = None
            try:
                snap = self.machine()
            except AssertionError:  # reg export of a key the uninstaller is removing
                continue
            if snap == before:
                break
            time.sleep(0.5)
        self.assertEqual(before["desktop"], snap["desktop"])
        self.assertSameMachine(before, snap)

    def link(self, path, program, arguments, description):
        got = self.probe("link", h.winpath(path))
        self.assertTrue(got["ok"], path)
        self.assertEqual((program.lower(), arguments, description),
                         (got["path"].lower(), got["arguments"], got["description"]), path)

    def desktop_shortcut(self):
        path = os.path.join(self.desktop_dir, PRODUCT + ".lnk")
        self.link(path, DEST_WIN + "txplay.exe", "", "Shortcut to the Tessa Group Player")
        return self.desktop + "\\" + PRODUCT + ".lnk"

    # ---- the tests, in order ------------------------------------------------------

    def test_1_group_through_program_managers_dde(self):
        before = self.machine()
        type(self).before = before
        box = self.install()
        settled_screenshot("txsetup-progman-installed.png")
        # While the installer runs, two servers take "PROGMAN": Wine's shell and the
        # installer's own service; the installer's own conversation went to the shell.
        setup_pid = [w["pid"] for w in self.ctl.ask("list") if w["hwnd"] == box["hwnd"]]
        servers = self.probe("servers")["pids"]
        self.assertEqual(2, len(servers), servers)
        self.assertEqual(1, len(set(servers) & set(setup_pid)), (servers, setup_pid))
        self.close_box(box)
        # With a conversation the lookup asks the group itself; Wine's shell answers
        # nothing there, so the path is not found: result 0, the buffer emptied, and
        # nothing written past its 260 bytes.
        self.assertEqual({"window": "1", "result": "0", "text": "", "tail": "kept"}, self.find_program_answer())

        groups = self.probe("request", "GROUPS")
        self.assertTrue(groups["ok"])
        self.assertIn(GROUP + "\r\n", groups["data"])
        # Wine's shell answers no request of a group's own name (Program Manager lists
        # the group's items there): item lookups and WM_SETUP_FIND_PROGRAM find nothing.
        own = self.probe("request", GROUP)
        if own["ok"]:
            self.assertIn('"%s"' % PRODUCT, own["data"])
        # The items as the shell made them. Wine's shell refuses an AddItem whose
        # command line holds arguments: "Play the demo" and the uninstaller's item.
        self.assertEqual(sorted([PRODUCT + ".lnk", "Read me (text).lnk", LONG_TITLE[:40] + ".lnk"]),
                         listing(self.group_dir))
        self.link(os.path.join(self.group_dir, PRODUCT + ".lnk"), DEST_WIN + "txplay.exe", "", PRODUCT)
        self.link(os.path.join(self.group_dir, "Read me (text).lnk"), DEST_WIN + "readme.txt", "", "Read me (text)")
        self.link(os.path.join(self.group_dir, LONG_TITLE[:40] + ".lnk"), DEST_WIN + "txplay.exe", "",
                  LONG_TITLE[:40])
        # The log: the group's name in the ProgmanGroup key, each item's title (also
        # those the shell refused: the uninstaller deletes by title), the desktop link.
        snap = self.machine()
        self.assertEqual(GROUP, self.values(snap, HKCR + KEY + "\\ProgmanGroup")["@"])
        self.assertEqual([(t, None) for t in (PRODUCT, "Read me (text)", "Play the demo", LONG_TITLE[:40],
                                               UNINSTALLER_TITLE)], self.log(snap, "ProgmanGroup"))
        desktop_link = self.desktop_shortcut()
        self.assertEqual([(DEST_WIN + "txplay.exe", None), (DEST_WIN + "readme.txt", None),
                          (DEST_WIN + "fpprobe.dll", None), (desktop_link, None)], self.log(snap, "Files"))
        self.assertEqual([], [d for d, _ in self.log(snap, "Directories") if GROUP in d])
        self.assertEqual([PRODUCT + ".lnk"], [n for n in snap["desktop"] if n not in before["desktop"]])
        settled_screenshot("txsetup-progman-group.png", GROUP)

    def test_2_uninstaller_removes_the_dde_group(self):
        self.uninstall_to(self.before)
        self.assertIsNone(listing(self.group_dir))
        self.assertNotIn(GROUP + "\r\n", self.probe("request", "GROUPS")["data"])
        self.close_folder_windows()

    def test_3_shortcut_files_without_a_conversation(self):
        self.close_folder_windows()
        before = self.machine()
        self.close_box(self.install(env={"TXSETUP_NO_PROGMAN": "1"}))
        # Without a conversation: not found, the buffer emptied.
        self.assertEqual({"window": "1", "result": "0", "text": "", "tail": "kept"}, self.find_program_answer())
        self.assertNotIn(GROUP, [w["title"] for w in self.ctl.ask("list") if w["visible"]])
        # Every item is a link of the installer's own, arguments and all.
        self.assertEqual(sorted([PRODUCT + ".lnk", "Read me (text).lnk", "Play the demo.lnk",
                                 LONG_TITLE[:40] + ".lnk", UNINSTALLER_TITLE + ".lnk"]), listing(self.group_dir))
        self.link(os.path.join(self.group_dir, PRODUCT + ".lnk"), DEST_WIN + "txplay.exe", "", PRODUCT)
        self.link(os.path.join(self.group_dir, "Play the demo.lnk"), DEST_WIN + "txplay.exe", "/demo", "Play the demo")
        self.link(os.path.join(self.group_dir, "Read me (text).lnk"), DEST_WIN + "readme.txt", "", "Read me (text)")
        self.link(os.path.join(self.group_dir, UNINSTALLER_TITLE + ".lnk"), DEST_WIN + "txuninst.exe", KEY,
                  UNINSTALLER_TITLE)
        snap = self.machine()
        group_win = self.programs + "\\" + GROUP
        links = [group_win + "\\" + t + ".lnk" for t in (PRODUCT, "Read me (text)", "Play the demo", LONG_TITLE[:40],
                                                          UNINSTALLER_TITLE)]
        files = [DEST_WIN + "txplay.exe", DEST_WIN + "readme.txt", DEST_WIN + "fpprobe.dll"] + links
        self.assertEqual([(p, None) for p in files + [self.desktop_shortcut()]], self.log(snap, "Files"))
        self.assertIn((group_win, None), self.log(snap, "Directories"))
        self.assertEqual([], self.log(snap, "ProgmanGroup"))
        self.assertNotIn(HKCR + KEY + "\\ProgmanGroup", snap["registry"])
        # The Start-menu folder as the shell shows it (Program Manager's ShowGroup opens it).
        self.assertTrue(self.probe("execute", "[ShowGroup(%s,1)]" % GROUP)["ok"])
        self.assertIsNotNone(h.wait_window(GROUP))
        settled_screenshot("txsetup-progman-start-menu.png", GROUP)
        self.close_folder_windows()
        self.uninstall_to(before)
        self.assertIsNone(listing(self.group_dir))

    def test_4_a_refused_group_asks_for_another_name(self):
        """Program Manager lists the group under another name than the script's (Wine's
        shell turns "/" into "_"), and it lists "Main": the group counts as refused."""
        self.close_folder_windows()
        before = self.machine()
        product = os.path.join(tx.WORK, "product-refused")
        tx.make_product(product, template=SCRIPT.replace("\nName=Tessa Group\n", "\nName=Tessa/Group\n"))
        self.assertTrue(self.probe("execute", "[CreateGroup(Main)]")["ok"])
        shown = []

        def refused():
            d = self.dialog("Program Manager Group Setup", 3224, timeout=120)
            self.assertEqual("Main", d["ids"][3224]["text"])
            # Wine's shell opens a folder window for each CreateGroup and ShowGroup, and
            # it comes up over the question: moved aside for the picture.
            for w in self.ctl.ask("list"):
                if w["title"] in ("Main", "Tessa_Group") and w["visible"]:
                    self.ctl.ask("move", w["hwnd"], 560, 440, 460, 320)
            shown.append(settled_screenshot("txsetup-progman-refused.png"))
            # Exit asks first; Continue there shows the question again.
            self.leave(d, "Exit")
            self.leave(self.dialog("Exit Setup", control=3226, without=tx.IDC_NEXT), "Continue")
            d = self.dialog("Program Manager Group Setup", 3224)
            self.set_text(d, 3224, GROUP)
            self.leave(d, "Continue")

        self.close_box(self.install(product=product, during=refused))
        self.assertEqual(1, len(shown))
        groups = self.probe("request", "GROUPS")["data"]
        self.assertIn(GROUP + "\r\n", groups)
        self.assertIn("Tessa_Group\r\n", groups)  # where the shell put the first round's items
        snap = self.machine()
        self.assertEqual(GROUP, self.values(snap, HKCR + KEY + "\\ProgmanGroup")["@"])
        self.assertEqual(sorted([PRODUCT + ".lnk", "Read me (text).lnk", LONG_TITLE[:40] + ".lnk"]),
                         listing(self.group_dir))
        titles = [PRODUCT, "Read me (text)", "Play the demo", LONG_TITLE[:40]]
        self.assertEqual([(t, None) for t in titles + titles + [UNINSTALLER_TITLE]], self.log(snap, "ProgmanGroup"))

        def shell_groups_of_this_test():
            self.close_folder_windows()
            for name in ("Main", "Tessa_Group"):
                self.assertTrue(self.probe("execute", "[DeleteGroup(%s)]" % name)["ok"], name)

        self.uninstall_to(before, afterwards=shell_groups_of_this_test)

    def test_5_exit_at_a_refused_group_fails_the_installation(self):
        self.close_folder_windows()
        before = self.machine()
        product = os.path.join(tx.WORK, "product-refused")
        self.assertTrue(self.probe("execute", "[CreateGroup(Main)]")["ok"])
        self.proc = h.start([os.path.join(product, "TXSETUP.exe")], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
        self.leave(self.dialog(TITLE, tx.IDC_NEXT), "Next >")
        d = self.dialog(TITLE + " - User Information", tx.IDC_NEXT)
        self.set_text(d, tx.IDC_USER_NAME, "Ada Tester")
        self.leave(d, "Next >")
        self.leave(self.dialog(TITLE + " - Destination Directory", tx.IDC_NEXT), "Finish")
        self.leave(self.dialog("Program Manager Group Setup", 3224, timeout=120), "Exit")
        self.leave(self.dialog("Exit Setup", control=3226, without=tx.IDC_NEXT), "Exit")
        self.message("Setup was unable to properly complete installing the Tessa Group Player.", title=TITLE)
        self.assertEqual(0, self.proc.wait(timeout=60))
        # The run's own changes are undone; the shell keeps what it made of the group.
        self.close_folder_windows()
        for name in ("Main", "Tessa_Group"):
            self.assertTrue(self.probe("execute", "[DeleteGroup(%s)]" % name)["ok"], name)
        self.assertSameMachine(before, self.machine())


if __name__ == "__main__":
    unittest.main(verbosity=2)

#!/usr/bin/python3
"""Black-box tests of TXPLAYER.exe under Wine on the harness's display, with the
player library stand-in ovui3230 beside it: the library logs every call the shell
makes (OVUI3230_LOG), so the tests check the calls, their arguments and their
order; the stand-in really plays (A/52 through TXDECODE.dll to a WAVE file beside
the clip, or to the wave device), and fetches ovm:// locations from a local HTTP
server. The windows are driven with winctl as a user would.

Usage: test_player.py TXPLAYER.exe winctl.exe a52wav.exe TXPLFR.dll
(TXPLFR.dll: a French language library of the player's texts)
The tests run in their numbered order on one running player where they can.
"""
import http.server
import json
import os
import re
import shutil
import socketserver
import subprocess
import sys
import threading
import time
import unittest
import wave

import txharness as h
from winctl_driver import WinCtl

TXPLAYER, WINCTL, A52WAV, TXPLFR = [os.path.abspath(p) for p in sys.argv[1:5]]
del sys.argv[1:5]
SHOTS = os.environ.get("TX_SCREENSHOTS", os.path.abspath("screenshots"))
WORK = os.path.abspath("txplayer-work")
CLIPS = os.path.join(h.drive_c(), "clips")
LOG = os.path.join(WORK, "ovui3230.log")
CLASS = "Orvane Labs TXPlayer"
TITLE = "Tessavox Player Plus"
PREFS = "HKEY_CLASSES_ROOT\\Software\\Orvane Labs\\Tessavox Player\\3.0\\Preferences"
LANGUAGES = "HKEY_CLASSES_ROOT\\Software\\Orvane Labs\\Languages"

IDM = dict(exit=804, help=805, about=806, location=807, open=808, info=810, status=811, prefs=812, stats=813,
           ontop=814, prev=815, next=816, presets=825, rivovuzudav=829)
IDC_LOCATION = 803
WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX = 0x00C00000, 0x00080000, 0x00020000
WS_THICKFRAME, WS_MAXIMIZEBOX = 0x00040000, 0x00010000


def wait_for(what, predicate, timeout=30):
    end = time.time() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.time() > end:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.1)


def log_lines():
    try:
        with open(LOG, "rb") as f:
            return [l for l in f.read().decode("latin-1").split("\r\n") if l]
    except FileNotFoundError:
        return []


def calls(lines=None):
    """The calls of the log as (name, args...) tuples."""
    return [tuple(l.split("\t")) for l in (log_lines() if lines is None else lines)]


def reg_import(text):
    path = os.path.join(WORK, "prefs.reg")
    with open(path, "w", newline="\r\n") as f:
        f.write("REGEDIT4\n\n" + text)
    h.run(["regedit", "/s", h.winpath(path)], check=True)


def set_prefs(**values):
    """Preferences as the store keeps them: the default value of a key per name; None deletes."""
    text = ""
    for name, value in values.items():
        key = "[%s\\%s]" % (PREFS, name)
        text += ("[-%s\\%s]\n\n" % (PREFS, name)) if value is None else ('%s\n@="%s"\n\n' % (key, value))
    reg_import(text)


def pref(name):
    r = h.run(["reg", "query", PREFS + "\\" + name, "/ve"])
    for line in r.stdout.decode("latin-1").splitlines():
        if "REG_SZ" in line:
            return line.split("REG_SZ", 1)[1][4:]  # reg separates the fields by four blanks
    return None


def make_clip(path, seconds, freq):
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "sine=f=%d:r=44100:d=%s" % (freq, seconds), "-ac", "2", "-c:a", "ac3", "-b:a", "128k",
                    "-f", "ac3", path], check=True)


def linux_path(path):
    """The Linux name of a Windows path on drive C: or Z:."""
    drive, rest = path[:3].upper(), path[3:].replace("\\", "/")
    if drive == "Z:\\":
        return "/" + rest
    assert drive == "C:\\", path
    return os.path.join(h.drive_c(), rest)


def pcm_of(path):
    w = wave.open(path, "rb")
    info = (w.getnchannels(), w.getframerate(), w.readframes(w.getnframes()))
    w.close()
    return info


class ClipServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    requests = []

    def __init__(self, *a, **kw):
        super().__init__(*a, directory=os.path.join(WORK, "http"), **kw)

    def log_message(self, fmt, *args):
        QuietHandler.requests.append(self.path)


class Player:
    """One TXPLAYER.exe started with the stand-in's log pointed at LOG."""

    def __init__(self, ctl, args=(), env=None):
        e = {"OVUI3230_LOG": h.winpath(LOG)}
        e.update(env or {})
        self.proc = h.start([TXPLAYER] + list(args), env=e, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.ctl = ctl
        self.hwnd = wait_for("the player's window", lambda: ctl.ask("find", CLASS, "")["hwnd"])
        wait_for("the player's window shown", lambda: ctl.ask("describe", self.hwnd).get("visible"))

    def close(self):
        self.ctl.ask("close", self.hwnd)
        return self.proc.wait(timeout=30)


def second_start(*args, env=None):
    """A second TXPLAYER.exe: it forwards its command line and ends."""
    e = {"OVUI3230_LOG": h.winpath(LOG)}
    e.update(env or {})
    return h.start([TXPLAYER] + list(args), env=e, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class PlayerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        os.makedirs(os.path.join(WORK, "http"))
        os.makedirs(SHOTS, exist_ok=True)
        shutil.rmtree(CLIPS, ignore_errors=True)
        os.makedirs(CLIPS)
        make_clip(os.path.join(CLIPS, "a.tx"), "0.5", 500)
        make_clip(os.path.join(CLIPS, "b.tx"), "0.3", 800)
        make_clip(os.path.join(WORK, "long.tx"), "4", 300)
        shutil.copy(os.path.join(CLIPS, "b.tx"), os.path.join(WORK, "http", "clip.tx"))
        cls.server = ClipServer(("127.0.0.1", 0), QuietHandler)
        cls.port = cls.server.server_address[1]
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()
        cls.host = "127.0.0.1:%d" % cls.port
        with open(os.path.join(CLIPS, "a.txm"), "w", newline="\r\n") as f:
            f.write("file:c:\\clips\\a.tx\novm://%s/clip.tx\n" % cls.host)
        with open(os.path.join(WORK, "http", "x.txm"), "w", newline="\r\n") as f:
            f.write("ovm://%s/clip.tx\n" % cls.host)
        # The decoder's own output for the clips, through a52wav (TXDECODE's other caller).
        for name in ("a", "b"):
            r = h.run([A52WAV, h.winpath(os.path.join(CLIPS, name + ".tx")),
                       h.winpath(os.path.join(WORK, name + "-expected.wav"))], cwd=os.environ["TX_DIST"])
            assert r.returncode == 0, r.stderr
        # Wine draws the caption and frame itself, so that screenshots show them.
        h.run(["reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Decorated", "/d", "N", "/f"])
        # Visited already: the first-run question belongs to the browser link's tests.
        set_prefs(HurledURL="1", x=None, y=None, MaxClipCount="4")
        cls.ctl = WinCtl(WINCTL)
        cls.player = Player(cls.ctl)

    @classmethod
    def tearDownClass(cls):
        if cls.player.proc.poll() is None:
            cls.player.close()
        cls.ctl.close()
        cls.server.shutdown()

    def mark(self):
        return len(log_lines())

    def since(self, mark):
        return calls(log_lines()[mark:])

    def wait_call(self, mark, name, *args, timeout=30):
        want = (name,) + args
        return wait_for("%r in the library's log" % (want,),
                        lambda: any(c[:len(want)] == want for c in self.since(mark)), timeout)

    def wait_idle(self, mark, played=1, timeout=30):
        """Waits until `played` clips ended and the library is idle again."""
        def done():
            names = [c[0] for c in self.since(mark)]
            return names.count("PlayEnd") >= played and "Idle" in names[len(names) - names[::-1].index("PlayEnd"):] \
                if "PlayEnd" in names else False
        wait_for("%d clip(s) played" % played, done, timeout)

    def box(self, text):
        return wait_for("a message box saying %r" % text,
                        lambda: [b for b in self.ctl.ask("boxes") if any(text in t for t in b.get("texts", []))])

    # ---- start-up ---------------------------------------------------------

    def test_01_library_calls_at_start_in_order(self):
        c = calls()
        names = [x[0] for x in c]
        self.assertEqual(names[:10], ["TxguiSetupClient", "TxguiNew", "TxguiSetReportError", "TxguiSetConsoleName",
                                      "TxguiSetControlsFlags", "TxguiGetPreferedClientWidth",
                                      "TxguiGetPreferedClientHeight", "TxguiResizeWindow", "TxguiSetWindow",
                                      "TxguiSetPlayMode"])
        setup = dict(f.split("=", 1) for f in c[0][1:])
        self.assertEqual(setup["size"], "110")  # the 64-bit build's record; 62 in the shipped 32-bit one
        self.assertRegex(setup["platform"], r"^WinNT_\d+\.\d+_3\.0\.0\.9_plus32_OV01_EN_(SLOW|486|586|686|UNK)$")
        self.assertEqual(setup["title"], TITLE)
        self.assertEqual(setup["fullName"], TITLE + " (tm) (32-bit) ")
        self.assertEqual((setup["version"], setup["release"]), ("3.0.0.9", "Beta 1"))
        self.assertEqual(setup["cell"], "window")
        self.assertEqual(setup["callbacks"], "1111")
        self.assertEqual(c[2], ("TxguiSetReportError", "1"))
        self.assertEqual(c[3], ("TxguiSetConsoleName", "_unique", "1"))
        self.assertEqual(c[4], ("TxguiSetControlsFlags", "0x37700"))  # NT, info, status bar, presets, full set
        self.assertEqual(c[8], ("TxguiSetWindow", "window"))
        self.assertEqual(c[9], ("TxguiSetPlayMode", "0"))

    def test_02_window_style_size_and_title(self):
        d = self.ctl.ask("describe", self.player.hwnd)
        self.assertEqual(d["class"], CLASS)
        self.assertEqual(d["title"], TITLE)
        style = self.ctl.ask("style", self.player.hwnd)["style"]
        for bit in (WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX):
            self.assertTrue(style & bit, hex(style))
        for bit in (WS_THICKFRAME, WS_MAXIMIZEBOX):
            self.assertFalse(style & bit, hex(style))
        # The client area is what the library asked for: 340 x 144 with every control shown.
        self.assertEqual(d["client"], [340, 144])
        h.screenshot(os.path.join(SHOTS, "txplayer-window.png"))

    # ---- second start, forwarding ---------------------------------------------

    def test_03_second_start_forwards_a_file_and_plays_it(self):
        m = self.mark()
        p = second_start("c:\\clips\\a.tx")
        self.assertEqual(p.wait(timeout=30), 0)
        self.wait_call(m, "TxguiSetSource", "c:\\clips\\a.tx")
        self.wait_idle(m)
        c = self.since(m)
        names = [x[0] for x in c]
        self.assertLess(names.index("TxguiSetSource"), names.index("TxguiDoPlay"))
        # The second process made no window and no library object of its own.
        self.assertEqual(names.count("TxguiSetupClient"), 0)
        windows = [w for w in self.ctl.ask("list") if w["class"] == CLASS]
        self.assertEqual(len(windows), 1)
        end = [x for x in c if x[0] == "PlayEnd"][0]
        self.assertEqual(end[2], "c:\\clips\\a.wav")
        self.assertEqual(end[-1], "complete")
        # The clip's PCM is exactly what the decoder gives for that stream.
        got = pcm_of(os.path.join(CLIPS, "a.wav"))
        want = pcm_of(os.path.join(WORK, "a-expected.wav"))
        self.assertEqual(got[:2], (2, 44100))
        self.assertEqual(len(got[2]), len(want[2]))
        self.assertTrue(got[2] == want[2], "decoded PCM differs from a52wav's")
        # NowPlaying set the caption from the format.
        self.assertIn(("NowPlaying", "a.tx", "file:c:\\clips\\a.tx"), c)
        self.assertEqual(self.ctl.ask("text", self.player.hwnd)["text"], TITLE + ": a.tx")

    def test_04_two_second_starts_at_once_both_arrive(self):
        m = self.mark()
        p1 = second_start("c:\\clips\\a.tx")
        p2 = second_start("c:\\clips\\b.tx")
        self.assertEqual((p1.wait(timeout=30), p2.wait(timeout=30)), (0, 0))
        self.wait_call(m, "TxguiSetSource", "c:\\clips\\a.tx")
        self.wait_call(m, "TxguiSetSource", "c:\\clips\\b.tx")
        self.wait_idle(m)

    def test_05_command_line_location_and_clip_lists(self):
        m = self.mark()
        QuietHandler.requests.clear()
        self.assertEqual(second_start("ovm://%s/clip.tx" % self.host).wait(timeout=30), 0)
        self.wait_call(m, "TxguiSetSource", "ovm://%s/clip.tx" % self.host)
        self.wait_idle(m)
        self.assertIn("/clip.tx", QuietHandler.requests)
        end = [x for x in self.since(m) if x[0] == "PlayEnd"][0]
        self.assertEqual(end[-1], "complete")
        # Fetched clips are written to the temporary directory; this one is b.tx.
        self.assertEqual(pcm_of(linux_path(end[2]))[2], pcm_of(os.path.join(WORK, "b-expected.wav"))[2])
        # A clip list as a path and as "file:": the library gets the text unchanged.
        for text in ("c:\\clips\\a.txm", "file:c:\\clips\\a.txm"):
            m = self.mark()
            self.assertEqual(second_start(text).wait(timeout=30), 0)
            self.wait_call(m, "TxguiSetSource", text)
            self.wait_call(m, "SourceItems", "2")
            self.wait_idle(m, 2)
        # The last file has no "file:": Open File starts in c:\clips with a.txm.
        self.ctl.ask("command", self.player.hwnd, IDM["open"])
        box = wait_for("the Open File dialog", lambda: self.ctl.ask("find", "#32770", "Open File")["hwnd"])
        d = self.ctl.ask("describe", box)
        texts = [c.get("text", "") for c in d["children"]]
        self.assertIn("a.txm", texts)
        h.screenshot(os.path.join(SHOTS, "txplayer-open-file.png"))
        self.ctl.ask("click", box, "Cancel")
        wait_for("Open File to close", lambda: not self.ctl.ask("find", "#32770", "Open File")["hwnd"])

    def test_06_open_location(self):
        cases = [("host/clip.tx", "ovm://host/clip.tx"),
                 ("  http://%s/x.txm" % self.host, "http://%s/x.txm" % self.host)]
        for typed, played in cases:
            m = self.mark()
            self.ctl.ask("command", self.player.hwnd, IDM["location"])
            box = wait_for("Open Location", lambda: self.ctl.ask("find", "#32770", "Open Location")["hwnd"])
            edit = self.ctl.ask("child", box, IDC_LOCATION)["hwnd"]
            self.ctl.ask("type", edit, typed)
            if played.startswith("ovm://host"):
                h.screenshot(os.path.join(SHOTS, "txplayer-open-location.png"))
            self.ctl.ask("click", box, "OK")
            self.wait_call(m, "TxguiSetSource", played)
        self.wait_idle(m)
        # The dialog opens with the last location typed.
        self.ctl.ask("command", self.player.hwnd, IDM["location"])
        box = wait_for("Open Location", lambda: self.ctl.ask("find", "#32770", "Open Location")["hwnd"])
        edit = self.ctl.ask("child", box, IDC_LOCATION)["hwnd"]
        self.assertEqual(self.ctl.ask("text", edit)["text"], "  http://%s/x.txm" % self.host)
        self.ctl.ask("click", box, "Cancel")
        wait_for("Open Location to close", lambda: not self.ctl.ask("find", "#32770", "Open Location")["hwnd"])

    def test_07_forward_ignored_while_preferences_open(self):
        m = self.mark()
        self.ctl.ask("command", self.player.hwnd, IDM["prefs"])
        box = wait_for("Preferences", lambda: self.ctl.ask("find", "#32770", TITLE + " Preferences")["hwnd"])
        self.assertEqual(second_start("c:\\clips\\b.tx").wait(timeout=30), 0)
        self.ctl.ask("click", box, "Cancel")
        self.wait_call(m, "PreferencesClosed", "cancel")
        self.assertNotIn("TxguiSetSource", [c[0] for c in self.since(m)])
        # Once it is closed, the same request is taken.
        self.assertEqual(second_start("c:\\clips\\b.tx").wait(timeout=30), 0)
        self.wait_call(m, "TxguiSetSource", "c:\\clips\\b.tx")
        self.wait_idle(m)

    def test_08_long_command_lines(self):
        # Deeper than a global atom holds: the running copy still gets it whole.
        deep = "c:\\clips\\" + "\\".join(["folder%02d" % i for i in range(30)]) + "\\deep.tx"
        self.assertGreater(len(deep), 255)
        m = self.mark()
        self.assertEqual(second_start(deep).wait(timeout=30), 0)
        self.wait_call(m, "TxguiSetSource", deep)
        # Longer than any open request: the second start says so instead of losing it.
        m = self.mark()
        p = second_start("ovm://host/" + "x" * 1400)
        b = self.box("was not given this clip")
        self.ctl.ask("click", b[0]["hwnd"], "OK")
        self.assertEqual(p.wait(timeout=30), 0)
        self.assertNotIn("TxguiSetSource", [c[0] for c in self.since(m)])

    def test_08b_three_dropped_files_play_as_a_temporary_clip_list(self):
        helper = os.path.join(WORK, "xdnd_drop")
        source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "xdnd_drop.c")
        subprocess.run(["cc", "-O1", "-o", helper, source, "-lX11"], check=True)
        shutil.copy(os.path.join(CLIPS, "b.tx"), os.path.join(CLIPS, "c d.tx"))
        wid = [w for w, t in h.x_windows() if t.startswith(TITLE)][0]
        m = self.mark()
        files = [os.path.join(CLIPS, n) for n in ("a.tx", "b.tx", "c d.tx")]
        r = subprocess.run([helper, wid] + files, env=dict(os.environ, DISPLAY=h.display()), timeout=60,
                           stderr=subprocess.PIPE)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.wait_call(m, "SourceItems", "3")
        source = [c for c in self.since(m) if c[0] == "TxguiSetSource"][0][1]
        self.assertRegex(source.rsplit("\\", 1)[1], r"^TXM.*\.tmp$")
        items = [c[2] for c in self.since(m) if c[0] == "SourceItem"]
        self.assertEqual([i.lower() for i in items], ["file:c:\\clips\\a.tx", "file:c:\\clips\\b.tx",
                                                      "file:c:\\clips\\c d.tx"])
        with open(linux_path(source), "rb") as f:
            text = f.read()
        self.assertEqual(text.count(b"\r\n"), 3)  # one CR LF line per file
        self.assertNotIn(b"\r\r", text)
        self.wait_idle(m, 3)
        # A second drop of several files replaces the temporary list; the first one goes.
        m = self.mark()
        r = subprocess.run([helper, wid] + files[:2], env=dict(os.environ, DISPLAY=h.display()), timeout=60)
        self.assertEqual(r.returncode, 0)
        self.wait_call(m, "SourceItems", "2")
        self.wait_idle(m, 2)
        self.assertFalse(os.path.exists(linux_path(source)))
        # One dropped file opens as a local file.
        m = self.mark()
        r = subprocess.run([helper, wid, files[1]], env=dict(os.environ, DISPLAY=h.display()), timeout=60)
        self.assertEqual(r.returncode, 0)
        self.wait_call(m, "SourceItems", "1")
        self.assertEqual([c[1].lower() for c in self.since(m) if c[0] == "TxguiSetSource"], ["c:\\clips\\b.tx"])
        self.wait_idle(m)

    def test_09_menus_and_their_status_texts(self):
        texts = {"F": ["Opens a Tessavox file via an Internet URL.", "Opens a local file.", "",
                       "Enables or Disables RivovuzUdav mode.", "Quits the Tessavox Player."],
                 "V": ["Displays or hides preset and scan buttons.", "Displays or hides information section.",
                       "Displays or hides status bar.", "Edit configuration options.",
                       "Displays or hides connection statistics.", "Keeps Player above other windows."],
                 "C": [], "S": [], "H": ["Displays a list of topics in Help.",
                                         "Displays version and copyright information."]}
        for letter, want in texts.items():
            m = self.mark()
            self.ctl.ask("keymenu", self.player.hwnd, letter.lower())
            self.wait_call(m, "TxguiStatusScanStart")
            for _ in want[1:]:
                self.ctl.ask("key", self.player.hwnd, 40)  # Down
            if want:
                wait_for("the menu's last status text",
                         lambda: ("TxguiStatusScan", want[-1]) in self.since(m))
            h.screenshot(os.path.join(SHOTS, "txplayer-menu-%s.png" % letter))
            self.ctl.ask("key", self.player.hwnd, 27)
            self.ctl.ask("key", self.player.hwnd, 27)
            self.wait_call(m, "TxguiStatusScanEnd")
            shown = [c[1] if len(c) > 1 else "" for c in self.since(m) if c[0] == "TxguiStatusScan"]
            # The first selection may be the pop-up itself (an empty text) before its first item.
            while shown and want and shown[0] == "" and want[0] != "":
                shown.pop(0)
            self.assertEqual(shown[:len(want)], want, letter)
        # Opening the menus asked the library for their states.
        names = [c[0] for c in calls()]
        for query in ("TxguiCanStop", "TxguiIsStatisticsVisible", "TxguiHasNextItem", "TxguiHasPrevItem"):
            self.assertIn(query, names)

    def test_10_view_toggles_resize_to_the_library(self):
        m = self.mark()
        self.ctl.ask("command", self.player.hwnd, IDM["info"])
        self.wait_call(m, "TxguiSetControlsFlags", "0x37500")
        self.wait_call(m, "TxguiResizeWindow")
        wait_for("the smaller window", lambda: self.ctl.ask("describe", self.player.hwnd)["client"][1] == 104)
        self.ctl.ask("command", self.player.hwnd, IDM["info"])
        self.wait_call(m, "TxguiSetControlsFlags", "0x37700")
        m = self.mark()
        for cmd, want in (("status", "0x37300"), ("presets", "0x27300")):
            self.ctl.ask("command", self.player.hwnd, IDM[cmd])
            self.wait_call(m, "TxguiSetControlsFlags", want)
        for cmd in ("status", "presets"):
            self.ctl.ask("command", self.player.hwnd, IDM[cmd])
        self.wait_call(m, "TxguiSetControlsFlags", "0x37700")
        m = self.mark()
        self.ctl.ask("command", self.player.hwnd, IDM["rivovuzudav"])
        self.wait_call(m, "TxguiSetPlayMode", "2")
        self.ctl.ask("command", self.player.hwnd, IDM["rivovuzudav"])
        self.wait_call(m, "TxguiSetPlayMode", "0")
        self.ctl.ask("command", self.player.hwnd, IDM["stats"])
        self.wait_call(m, "TxguiHideShowStatistics")
        self.ctl.ask("command", self.player.hwnd, IDM["stats"])
        self.ctl.ask("command", self.player.hwnd, IDM["next"])
        self.ctl.ask("command", self.player.hwnd, IDM["prev"])
        self.wait_call(m, "TxguiDoPrevItem")
        self.assertLess([c[0] for c in self.since(m)].index("TxguiDoNextItem"),
                        [c[0] for c in self.since(m)].index("TxguiDoPrevItem"))

    def test_11_help_and_about(self):
        self.ctl.ask("command", self.player.hwnd, IDM["help"])
        b = self.box("Unable to activate help.")
        self.assertEqual(b[0]["title"], TITLE)
        self.ctl.ask("click", b[0]["hwnd"], "OK")
        m = self.mark()
        self.ctl.ask("command", self.player.hwnd, IDM["about"])
        box = wait_for("the about box", lambda: self.ctl.ask("find", "#32770", "About " + TITLE)["hwnd"])
        h.screenshot(os.path.join(SHOTS, "txplayer-about.png"))
        self.ctl.ask("click", box, "OK")
        self.wait_call(m, "TxguiShowAbout")

    def test_12_exit_writes_and_a_far_position_comes_back(self):
        m = self.mark()
        self.assertEqual(self.player.close(), 0)
        names = [c[0] for c in self.since(m)]
        self.assertEqual(names[-2:], ["TxguiDestroy", "TxguiShutdownClient"])
        self.assertEqual(pref("LastURL"), "  http://%s/x.txm" % self.host)
        self.assertEqual((pref("StatusBar"), pref("InfoandVolume"), pref("ShowPresets"), pref("OnTop"),
                          pref("RivovuzUdavMode")), ("1", "1", "1", "0", "0"))
        set_prefs(x="5000", y="100", OnTop="1")
        p = Player(self.ctl)
        self.__class__.player = p
        d = self.ctl.ask("describe", p.hwnd)
        left, top, width, _ = d["rect"]
        self.assertEqual(left + width, 1024)
        self.assertEqual(top, 100)
        self.assertTrue(self.ctl.ask("style", p.hwnd)["exstyle"] & 0x8, "Always On Top keeps the window topmost")
        self.assertEqual(p.close(), 0)
        self.assertEqual((pref("x"), pref("y"), pref("OnTop")), (str(1024 - width), "100", "1"))
        set_prefs(OnTop="0")

    def test_13_result_60_ends_the_shells_part(self):
        m = self.mark()
        p = Player(self.ctl, env={"OVUI3230_CONSOLE_RESULT": "60"})
        self.wait_call(m, "TxguiSetConsoleName", "_unique", "1")
        self.assertEqual(p.close(), 0)
        names = [c[0] for c in self.since(m)]
        for skipped in ("TxguiSetControlsFlags", "TxguiSetWindow", "TxguiSetPlayMode"):
            self.assertNotIn(skipped, names)
        # 60 from TxguiSetSource: no TxguiDoPlay, and the shell stays in its opening state.
        m = self.mark()
        p = Player(self.ctl, env={"OVUI3230_SOURCE_RESULT": "60"})
        self.assertEqual(second_start("c:\\clips\\a.tx").wait(timeout=30), 0)
        self.wait_call(m, "TxguiSetSource", "c:\\clips\\a.tx")
        self.assertEqual(second_start("c:\\clips\\b.tx").wait(timeout=30), 0)
        self.assertEqual(p.close(), 0)
        c = self.since(m)
        self.assertNotIn("TxguiDoPlay", [x[0] for x in c])
        self.assertNotIn(("TxguiSetSource", "c:\\clips\\b.tx"), c)
        # Any other refusal plays nothing and says nothing; the next request is taken.
        m = self.mark()
        p = Player(self.ctl, env={"OVUI3230_SOURCE_RESULT": "7"})
        for clip in ("a", "b"):
            self.assertEqual(second_start("c:\\clips\\%s.tx" % clip).wait(timeout=30), 0)
        self.wait_call(m, "TxguiSetSource", "c:\\clips\\b.tx")
        self.assertEqual(self.ctl.ask("boxes"), [])
        self.assertEqual(p.close(), 0)
        self.assertNotIn("TxguiDoPlay", [x[0] for x in self.since(m)])

    def test_14_a_clip_playing_on_the_wave_device(self):
        if self.player.proc.poll() is None:
            self.player.close()
        home = os.path.join(WORK, "home")
        os.makedirs(home, exist_ok=True)
        with open(os.path.join(home, ".asoundrc"), "w") as f:
            f.write("pcm.!default { type null }\n")
        m = self.mark()
        p = Player(self.ctl, args=[h.winpath(os.path.join(WORK, "long.tx"))], env={"HOME": home})
        self.__class__.player = p
        self.wait_call(m, "NowPlaying")
        wait_for("the position to move", lambda: "Playing  0:01" in json.dumps(self.ctl.ask("describe", p.hwnd)))
        h.screenshot(os.path.join(SHOTS, "txplayer-playing.png"))
        self.assertEqual(self.ctl.ask("text", p.hwnd)["text"], TITLE + ": long.tx")
        self.assertEqual(p.close(), 0)
        end = [c for c in self.since(m) if c[0] == "PlayEnd"]
        self.assertEqual(end[0][2], "wave device")

    def menu_texts(self, hwnd, letter, count):
        """The status texts of the first `count` items of a menu, walked with the keyboard."""
        m = self.mark()
        self.ctl.ask("keymenu", hwnd, letter)
        self.wait_call(m, "TxguiStatusScanStart")
        def shown():
            return len([c for c in self.since(m) if c[0] == "TxguiStatusScan" and len(c) > 1 and c[1]])
        # One key at a time, each once the last one's text came: a key that reaches the
        # menu while it is still opening moves nothing, and is pressed again.
        for i in range(count):
            for _ in range(3):
                self.ctl.ask("key", hwnd, 40)
                try:
                    wait_for("the status text of item %d" % (i + 1), lambda: shown() > i, timeout=10)
                    break
                except AssertionError:
                    pass
        wait_for("the menu's status texts", lambda: shown() >= count)
        self.ctl.ask("key", hwnd, 27)
        self.ctl.ask("key", hwnd, 27)
        self.wait_call(m, "TxguiStatusScanEnd")
        return [c[1] for c in self.since(m) if c[0] == "TxguiStatusScan" and len(c) > 1 and c[1]]

    def test_15_menus_and_texts_in_the_language_of_the_machine(self):
        if self.player.proc.poll() is None:
            self.player.close()
        shutil.copy(TXPLFR, os.path.join(h.windows_dir(), "TXPLFR.dll"))
        reg_import('[%s\\Locale]\n@="1036"\n\n[%s\\32bit\\1036]\n@="1"\n\n[%s\\32bit\\1036\\TXPLFR.dll]\n@="1"\n\n'
                   % (LANGUAGES, LANGUAGES, LANGUAGES))
        try:
            m = self.mark()
            p = Player(self.ctl)
            self.__class__.player = p
            french = "Lecteur Tessavox Plus"
            self.assertEqual(self.ctl.ask("text", p.hwnd)["text"], french)
            self.assertIn("title=" + french, self.since(m)[0])
            # The language's menu, with the inserted items in the language's words.
            self.assertEqual(self.menu_texts(p.hwnd, "f", 4),
                             ["Ouvre un fichier Tessavox par une adresse Internet.", "Ouvre un fichier local.",
                              "Active ou désactive le mode RivovuzUdav.", "Quitte le lecteur Tessavox."])
            h.screenshot(os.path.join(SHOTS, "txplayer-french.png"))
            self.ctl.ask("command", p.hwnd, IDM["location"])
            box = wait_for("Ouvrir un emplacement",
                           lambda: self.ctl.ask("find", "#32770", "Ouvrir un emplacement")["hwnd"])
            self.ctl.ask("click", box, "Annuler")
            m = self.mark()
            self.assertEqual(second_start("c:\\clips\\b.tx").wait(timeout=30), 0)
            self.wait_idle(m)
            self.assertEqual(self.ctl.ask("text", p.hwnd)["text"], french + " : b.tx")
            # The language changes while the player runs: the library's preferences dialog
            # calls CheckSettings, and the menus and texts are made again.
            reg_import('[%s\\Locale]\n@="1024"\n\n' % LANGUAGES)
            m = self.mark()
            self.ctl.ask("command", p.hwnd, IDM["prefs"])
            box = wait_for("Preferences", lambda: self.ctl.ask("find", "#32770", french + " Preferences")["hwnd"])
            self.ctl.ask("click", box, "OK")
            self.wait_call(m, "CheckSettings")
            wait_for("the English title", lambda: self.ctl.ask("text", p.hwnd)["text"] == TITLE)
            self.assertEqual(self.menu_texts(p.hwnd, "f", 1)[0], "Opens a Tessavox file via an Internet URL.")
            self.assertEqual(p.close(), 0)
        finally:
            reg_import("[-%s]\n\n" % LANGUAGES)
            os.remove(os.path.join(h.windows_dir(), "TXPLFR.dll"))


if __name__ == "__main__":
    unittest.main(verbosity=2)

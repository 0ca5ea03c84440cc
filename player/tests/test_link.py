#!/usr/bin/python3
"""Black-box tests of TXPLAYER.exe's browser link and lists under Wine: the stand-in
browser txbrowser (a DDE server for the WWW_ topics that logs every request and start)
receives the Sites items and the first-run visit, over DDE when it runs and through the
".htm" handler when it does not; the recent-clip list is checked in the running
player (its Open Recent commands, as the player library's call log shows them) and in
the preferences it writes at exit. The Sites and Open Recent menus are photographed.

Usage: test_link.py TXPLAYER.exe winctl.exe txbrowser.exe
"""
import os
import shutil
import subprocess
import sys
import time
import unittest

import txharness as h
from winctl_driver import WinCtl

TXPLAYER, WINCTL, TXBROWSER = [os.path.abspath(p) for p in sys.argv[1:4]]
del sys.argv[1:4]
SHOTS = os.environ.get("TX_SCREENSHOTS", os.path.abspath("screenshots"))
WORK = os.path.abspath("txlink-work")

PREFS = "HKEY_CLASSES_ROOT\\Software\\Orvane Labs\\Tessavox Player\\3.0\\Preferences"
PLAYER_CLASS, PLAYER_TITLE = "Orvane Labs TXPlayer", "Tessavox Player Plus"
FIRST_RUN = ("You have not visited the Sondrel web site since installing this Tessavox Player. "
             "Would you like to visit the Sondrel web site now?")
IDM_EXIT, IDM_ABOUT, IDM_PREFERENCES = 804, 806, 812
IDM_SITE_FIRST, IDM_RECENT_FIRST = 41000, 42000
IDC_PREF_CLIPS = 120  # MaxClipCount in the player library's preferences dialog
IDC_PRESET_FIRST = 1010  # the player library's four preset buttons
MAKER_ADDRESS = "http://www.orvane.invalid/"  # the web address the player hands its library
VK_RETURN, VK_ESCAPE, VK_RIGHT, VK_DOWN = 13, 27, 39, 40
ITEM_TAIL = ",,4294967295,0,,,,"


def reg_text(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


def import_reg(lines):
    """Applies REGEDIT4 lines with one regedit run."""
    path = os.path.join(WORK, "prefs.reg")
    with open(path, "w", encoding="latin-1", newline="\r\n") as f:
        f.write("REGEDIT4\n\n" + "\n".join(lines) + "\n")
    r = h.run(["regedit", "/s", h.winpath(path)])
    assert r.returncode == 0, r


def set_prefs(values):
    """The player's preferences are exactly these (name -> text)."""
    lines = ["[-%s]" % PREFS, "[%s]" % PREFS]
    for name, text in values.items():
        lines += ["[%s\\%s]" % (PREFS, name), "@=%s" % reg_text(text)]
    import_reg(lines)


def read_prefs():
    """Every preference of the player (name -> text), from one registry export."""
    out = os.path.join(WORK, "export.reg")
    if os.path.exists(out):
        os.remove(out)
    h.run(["regedit", "/e", h.winpath(out), PREFS])
    if not os.path.exists(out):
        return {}
    with open(out, "rb") as f:
        raw = f.read()
    text = raw.decode("utf-16") if raw[:2] == b"\xff\xfe" else raw.decode("latin-1")
    values, name = {}, None
    for line in text.splitlines():
        if line.startswith("[") and line.endswith("]"):
            key = line[1:-1]
            name = key[len(PREFS) + 1:] if key.lower().startswith(PREFS.lower() + "\\") else None
        elif name and line.startswith('@="') and line.endswith('"'):
            values[name] = line[3:-1].replace('\\"', '"').replace("\\\\", "\\")
    return values


def browser_command(service, log, percent_one):
    command = '"%s" -service %s -log "%s"' % (h.winpath(TXBROWSER), service, h.winpath(log))
    return command + (' -tag 100%s%d "%1"' if percent_one else "")


def register_html(command):
    """".htm" handled by the class TXLinkHtml with this open command (None: nothing registered)."""
    lines = ["[-HKEY_CLASSES_ROOT\\.htm]", "[-HKEY_CLASSES_ROOT\\.html]", "[-HKEY_CLASSES_ROOT\\TXLinkHtml]"]
    if command is not None:
        lines += ["[HKEY_CLASSES_ROOT\\.htm]", '@="TXLinkHtml"',
                  "[HKEY_CLASSES_ROOT\\TXLinkHtml\\shell\\open\\command]", "@=%s" % reg_text(command)]
    import_reg(lines)


def read_lines(path):
    try:
        with open(path, "rb") as f:
            return f.read().decode("latin-1").splitlines()
    except OSError:
        return []


def wait_line(path, predicate, timeout=30):
    """The first line of the file that satisfies predicate, waiting for it; None."""
    end = time.time() + timeout
    while time.time() < end:
        for line in read_lines(path):
            if predicate(line):
                return line
        time.sleep(0.1)
    return None


class TxLinkTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        os.makedirs(WORK)
        os.makedirs(SHOTS, exist_ok=True)
        # The prefix's own ".htm" and ".html" registrations come back at the end.
        cls.saved = []
        for ext in (".htm", ".html"):
            saved = os.path.join(WORK, "saved%s.reg" % ext)
            h.run(["regedit", "/e", h.winpath(saved), "HKEY_CLASSES_ROOT\\" + ext])
            if os.path.exists(saved):
                cls.saved.append(saved)
        cls.ctl = WinCtl(WINCTL)

    @classmethod
    def tearDownClass(cls):
        cls.ctl.close()
        register_html(None)
        for saved in cls.saved:
            h.run(["regedit", "/s", h.winpath(saved)])
        import_reg(["[-%s]" % PREFS])

    def setUp(self):
        self.player = None
        self.browsers = []
        self.n = getattr(self, "n", 0)
        self.library_log = os.path.join(WORK, "%s-ovui3230.log" % self._testMethodName)

    def tearDown(self):
        if self.player is not None and self.player.poll() is None:
            hwnd = self.ctl.ask("find", PLAYER_CLASS, "")["hwnd"]
            if hwnd:
                self.ctl.ask("command", hwnd, IDM_EXIT)
            try:
                self.player.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.player.kill()
        for service, proc in self.browsers:
            self.stop_browser(service, proc)
        register_html(None)

    # ---- helpers ---------------------------------------------------------------

    def start_browser(self, service, *extra):
        log = os.path.join(WORK, service + ".log")
        if os.path.exists(log):
            os.remove(log)
        proc = h.start([TXBROWSER, "-service", service, "-log", h.winpath(log)] + list(extra), cwd=WORK,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.browsers.append((service, proc))
        self.assertTrue(self.ctl.wait("", "TX Browser - " + service), "the browser %s did not open" % service)
        return log

    def stop_browser(self, service, proc=None):
        hwnd = self.ctl.wait("", "TX Browser - " + service, timeout=30 if proc is None else 5)
        if hwnd:
            self.ctl.ask("close", hwnd)
        if proc is not None:
            try:
                proc.wait(timeout=20)
            except subprocess.TimeoutExpired:
                proc.kill()
        else:
            self.assertTrue(wait_line(os.path.join(WORK, service + ".log"), lambda l: l.startswith("end ")))

    def start_player(self, *args):
        if os.path.exists(self.library_log):
            os.remove(self.library_log)
        self.player = h.start([TXPLAYER] + list(args), cwd=WORK, env={"OVUI3230_LOG": h.winpath(self.library_log)},
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        hwnd = self.ctl.wait(PLAYER_CLASS, PLAYER_TITLE)
        self.assertTrue(hwnd, "the player's window did not open")
        return hwnd

    def exit_player(self, hwnd):
        self.assertTrue(self.ctl.ask("command", hwnd, IDM_EXIT)["ok"])
        self.assertEqual(self.player.wait(timeout=30), 0)

    def library_calls(self, name):
        """The arguments of every logged call of that name, in order."""
        return [line.split("\t")[1:] for line in read_lines(self.library_log) if line.split("\t")[0] == name]

    def wait_call(self, name, *args, timeout=30):
        want = list(args)
        line = wait_line(self.library_log, lambda l: l.split("\t")[0] == name and l.split("\t")[1:1 + len(want)] == want,
                         timeout)
        self.assertIsNotNone(line, "the library saw no %s %r; its log: %r" % (name, want, read_lines(self.library_log)))

    def wait_until(self, predicate, timeout=30):
        end = time.time() + timeout
        while time.time() < end and not predicate():
            time.sleep(0.1)
        self.assertTrue(predicate())

    def first_run_box(self, timeout=30):
        """The first message box with the player's title (the first-run question or another)."""
        end = time.time() + timeout
        while time.time() < end:
            for box in self.ctl.ask("boxes"):
                if box["title"] == PLAYER_TITLE:
                    return box
            time.sleep(0.1)
        self.fail("no first-run question")

    def shot(self, name):
        return h.screenshot(os.path.join(SHOTS, name))

    def open_menu(self, hwnd, letter, downs=0, submenu=False):
        self.assertTrue(self.ctl.ask("keymenu", hwnd, letter)["ok"])
        self.assertTrue(self.ctl.wait("#32768", "", timeout=5), "the menu did not open")
        for _ in range(downs):
            self.ctl.ask("key", hwnd, VK_DOWN)
        if submenu:
            self.ctl.ask("key", hwnd, VK_RIGHT)
        time.sleep(0.5)

    def close_menus(self, hwnd):
        for _ in range(3):
            if not self.ctl.ask("find", "#32768", "")["hwnd"]:
                break
            self.ctl.ask("key", hwnd, VK_ESCAPE)
            time.sleep(0.3)

    def play(self, path):
        """Plays a local clip in the running player by a second start, as the shell does."""
        self.assertEqual(h.run([TXPLAYER, h.winpath(path)], cwd=WORK, timeout=60).returncode, 0)
        self.wait_call("NowPlaying", os.path.basename(path), "file:" + h.winpath(path))

    def clip(self, name):
        path = os.path.join(WORK, name + ".tx")
        with open(path, "wb") as f:
            f.write(b"\x0b\x77" + bytes(64))
        return path

    # ---- Sites and the browser -------------------------------------------------

    def test_sites_item_goes_to_the_running_browser_and_shows_its_status(self):
        log = self.start_browser("TXLinkRunning")
        register_html(browser_command("TXLinkShell", os.path.join(WORK, "TXLinkShell.log"), True))
        set_prefs({"HurledURL": "1", "Browser1": "TXLinkRunning",
                   "Sites1": "ovm://news.example/hourly.tx|News|Hourly news",
                   "Sites2": "http://sondrel.example/|Sondrel|The Sondrel web site"})
        hwnd = self.start_player()
        self.open_menu(hwnd, "s")
        self.wait_call("TxguiStatusScan", "Hourly news")
        self.shot("txplayer-menu-sites.png")
        self.ctl.ask("key", hwnd, VK_DOWN)
        self.wait_call("TxguiStatusScan", "The Sondrel web site")
        self.ctl.ask("key", hwnd, VK_DOWN)  # round to the first again
        self.ctl.ask("key", hwnd, VK_RETURN)
        line = wait_line(log, lambda l: l.startswith("request WWW_OpenURL"))
        self.assertEqual('request WWW_OpenURL "ovm://news.example/hourly.tx"' + ITEM_TAIL, line)
        self.wait_call("TxguiStatusScanEnd")
        # Nothing was started: one browser, and the handler never ran.
        self.assertEqual(1, sum(1 for l in read_lines(log) if l.startswith("start ")))
        self.assertFalse(os.path.exists(os.path.join(WORK, "TXLinkShell.log")))
        self.assertEqual(1, sum(1 for _, t in h.x_windows() if t.startswith("TX Browser - ")))
        self.assertEqual([l for l in read_lines(log) if l.startswith("request ")],
                         ['request WWW_OpenURL "ovm://news.example/hourly.tx"' + ITEM_TAIL])

    def test_without_a_browser_the_handler_starts_with_the_url(self):
        shell_log = os.path.join(WORK, "TXLinkShell.log")
        if os.path.exists(shell_log):
            os.remove(shell_log)
        register_html(browser_command("TXLinkShell", shell_log, True))
        set_prefs({"HurledURL": "1", "Browser1": "TXLinkNobody",
                   "Sites1": "http://sondrel.example/a b.htm|Sondrel|status",
                   "Sites2": 'http://evil.example/" -service TXLinkEvil|Evil|status'})
        hwnd = self.start_player()
        self.ctl.ask("command", hwnd, IDM_SITE_FIRST)
        line = wait_line(shell_log, lambda l: l.startswith("url "))
        self.assertEqual("url http://sondrel.example/a b.htm", line)
        start = wait_line(shell_log, lambda l: l.startswith("start "))
        # The handler's own "%s" and "%d" stay as they are registered.
        self.assertTrue(start.endswith(' -tag 100%s%d "http://sondrel.example/a b.htm"'), start)
        self.stop_browser("TXLinkShell")

        # A quote in a site's URL cannot end the argument and name another service.
        os.remove(shell_log)
        self.ctl.ask("command", hwnd, IDM_SITE_FIRST + 1)
        line = wait_line(shell_log, lambda l: l.startswith("url "))
        self.assertEqual("url http://evil.example/%22 -service TXLinkEvil", line)
        self.assertTrue(wait_line(shell_log, lambda l: l == "start TXLinkShell" or l.startswith("start TXLinkShell ")))
        self.assertFalse(os.path.exists(os.path.join(WORK, "TXLinkEvil.log")))
        self.stop_browser("TXLinkShell")

    def test_a_handler_without_percent_one_starts_and_takes_the_url_over_dde(self):
        dde_log = os.path.join(WORK, "TXLinkLate.log")
        if os.path.exists(dde_log):
            os.remove(dde_log)
        register_html(browser_command("TXLinkLate", dde_log, False))
        set_prefs({"HurledURL": "1", "Browser1": "TXLinkLate", "Sites1": "http://sondrel.example/late.htm|Late|s"})
        hwnd = self.start_player()
        self.ctl.ask("command", hwnd, IDM_SITE_FIRST)
        line = wait_line(dde_log, lambda l: l.startswith("request WWW_OpenURL"))
        self.assertEqual('request WWW_OpenURL "http://sondrel.example/late.htm"' + ITEM_TAIL, line)
        lines = read_lines(dde_log)
        self.assertFalse([l for l in lines if l.startswith("url ")], lines)
        self.stop_browser("TXLinkLate")

    def test_first_run_question_yes_visits_and_is_not_asked_again(self):
        log = self.start_browser("TXLinkRunning")
        set_prefs({"Browser1": "TXLinkRunning", "URLtoHurl": "http://sondrel.example/first.htm"})
        hwnd = self.start_player()
        box = self.first_run_box()
        self.assertIn(FIRST_RUN, box["texts"])
        self.assertEqual(["&Yes", "&No"], box["buttons"][:2])
        self.shot("txplayer-first-run.png")
        self.assertTrue(self.ctl.ask("click", box["hwnd"], "Yes")["ok"])
        line = wait_line(log, lambda l: l.startswith("request WWW_OpenURL"))
        self.assertEqual('request WWW_OpenURL "http://sondrel.example/first.htm"' + ITEM_TAIL, line)
        self.exit_player(hwnd)
        self.assertEqual("1", read_prefs().get("HurledURL"))

        hwnd = self.start_player()
        time.sleep(1)  # the question would come right after the window
        self.assertEqual([], [b for b in self.ctl.ask("boxes") if b["title"] == PLAYER_TITLE])
        self.exit_player(hwnd)

    def test_first_run_question_no_asks_again_at_the_next_start(self):
        log = self.start_browser("TXLinkRunning")
        set_prefs({"Browser1": "TXLinkRunning", "URLtoHurl": "http://sondrel.example/first.htm"})
        hwnd = self.start_player()
        box = self.first_run_box()
        self.assertTrue(self.ctl.ask("click", box["hwnd"], "No")["ok"])
        self.exit_player(hwnd)
        self.assertEqual("0", read_prefs().get("HurledURL"))
        self.assertFalse([l for l in read_lines(log) if l.startswith("request ")])

        hwnd = self.start_player()
        box = self.first_run_box()
        self.assertIn(FIRST_RUN, box["texts"])
        self.ctl.ask("click", box["hwnd"], "No")
        self.exit_player(hwnd)

    # ---- the player library calling back ---------------------------------------

    def test_visit_in_the_library_about_box_goes_to_the_browser(self):
        register_html(None)
        set_prefs({"HurledURL": "1", "Browser1": "TXLinkRunning"})
        hwnd = self.start_player()
        self.ctl.ask("command", hwnd, IDM_ABOUT)
        about = self.ctl.wait("#32770", "About " + PLAYER_TITLE)
        self.assertTrue(about, "no about box")
        # No browser answers and none is registered: the shell says no, the library tells the user.
        self.assertTrue(self.ctl.ask("click", about, "Visit")["ok"])
        self.wait_call("OpenInBrowserAnswer", "0")
        box = self.first_run_box()
        self.assertIn("No web browser could show the page. Start your web browser, or install one for web pages, "
                      "and choose Visit again.", box["texts"])
        self.shot("txplayer-about-no-browser.png")
        self.assertTrue(self.ctl.ask("click", box["hwnd"], "OK")["ok"])

        log = self.start_browser("TXLinkRunning")
        self.assertTrue(self.ctl.ask("click", about, "Visit")["ok"])
        line = wait_line(log, lambda l: l.startswith("request WWW_OpenURL"))
        self.assertEqual('request WWW_OpenURL "%s"' % MAKER_ADDRESS + ITEM_TAIL, line)
        self.wait_call("OpenInBrowserAnswer", "1")
        self.assertEqual([[MAKER_ADDRESS], [MAKER_ADDRESS]], self.library_calls("OpenInBrowser"))
        self.shot("txplayer-about-visit.png")
        self.assertTrue(self.ctl.ask("click", about, "OK")["ok"])
        self.exit_player(hwnd)

    def test_a_preset_of_a_downloaded_file_keeps_the_location_the_browser_knows(self):
        alpha = self.clip("alpha")
        source = "http://sondrel.example/clips/alpha.tx"
        downloads = os.path.join(WORK, "downloads.txt")
        with open(downloads, "w", encoding="latin-1", newline="\r\n") as f:
            f.write("%s|%s\n" % (h.winpath(alpha), source))
        log = self.start_browser("TXLinkRunning", "-downloads", h.winpath(downloads))
        set_prefs({"HurledURL": "1", "Browser1": "TXLinkRunning"})
        hwnd = self.start_player()
        self.play(alpha)  # a second start: opened as a local file
        self.assertTrue(self.ctl.ask("click", hwnd, "Set")["ok"])
        self.assertTrue(self.ctl.ask("click", hwnd, "Preset 1")["ok"])
        line = wait_line(log, lambda l: l.startswith("request WWW_QueryURLFile"))
        self.assertEqual('request WWW_QueryURLFile "%s"' % h.winpath(alpha), line)
        self.wait_call("TxguiSetPreset", "1", "0", source, "0")
        self.assertEqual([["1"]], self.library_calls("PresetFromFileAnswer"))
        button = self.ctl.ask("child", hwnd, IDC_PRESET_FIRST)["hwnd"]
        self.wait_until(lambda: self.ctl.ask("text", button)["text"] == "1: alpha.tx")
        self.shot("txplayer-preset-stored.png")

        # Played again from the recent list it was not opened as a local file: the
        # shell does not ask the browser, and the library keeps the file itself.
        self.ctl.ask("command", hwnd, IDM_RECENT_FIRST)
        self.wait_until(lambda: len(self.library_calls("NowPlaying")) == 2)
        self.ctl.ask("click", hwnd, "Set")
        self.ctl.ask("click", hwnd, "Preset 3")
        self.wait_call("PresetStored", "3", "0", "file:" + h.winpath(alpha))
        self.assertEqual([["1"], ["0"]], self.library_calls("PresetFromFileAnswer"))
        self.assertEqual(1, sum(1 for l in read_lines(log) if l.startswith("request WWW_QueryURLFile")))

        # Preset 3 plays the file again; the presets are kept for the next start.
        self.ctl.ask("click", hwnd, "3: alpha.tx")
        self.wait_call("PresetPlay", "3", "0", "file:" + h.winpath(alpha))
        self.wait_until(lambda: len(self.library_calls("NowPlaying")) == 3)
        self.exit_player(hwnd)
        prefs = read_prefs()
        self.assertEqual("0|" + source, prefs.get("Preset1"))
        self.assertEqual("0|file:" + h.winpath(alpha), prefs.get("Preset3"))
        self.assertNotIn("Preset2", prefs)
        hwnd = self.start_player()
        button = self.ctl.ask("child", hwnd, IDC_PRESET_FIRST)["hwnd"]
        self.assertEqual("1: alpha.tx", self.ctl.ask("text", button)["text"])
        self.exit_player(hwnd)

    # ---- recent clips ----------------------------------------------------------

    def test_the_same_clip_twice_gives_one_entry(self):
        set_prefs({"HurledURL": "1", "MaxClipCount": "4"})
        a, b = self.clip("alpha"), self.clip("beta")
        hwnd = self.start_player()
        self.play(a)
        self.play(b)
        os.remove(self.library_log)
        self.play(a)
        self.exit_player(hwnd)
        prefs = read_prefs()
        self.assertEqual("file:%s|alpha.tx" % h.winpath(a), prefs.get("Clips1"))
        self.assertEqual("file:%s|beta.tx" % h.winpath(b), prefs.get("Clips2"))
        self.assertNotIn("Clips3", prefs)

    def test_a_fifth_clip_drops_the_oldest_and_a_lower_count_cuts_the_menu_at_once(self):
        set_prefs({"HurledURL": "1", "MaxClipCount": "4"})
        clips = [self.clip("clip%d" % i) for i in range(1, 6)]
        hwnd = self.start_player()
        for path in clips:
            self.play(path)
        # Newest first: clip5 ... clip2; clip1 went. The last Open Recent item plays the
        # oldest clip, which comes to the front: four times round gives clip2 to clip5,
        # and a fifth item is not there.
        os.remove(self.library_log)
        for n in (2, 3, 4, 5):
            self.ctl.ask("command", hwnd, IDM_RECENT_FIRST + 3)
            self.wait_call("NowPlaying", "clip%d.tx" % n, "file:" + h.winpath(clips[n - 1]))
        self.ctl.ask("command", hwnd, IDM_RECENT_FIRST + 4)  # handled before the next one
        self.ctl.ask("command", hwnd, IDM_RECENT_FIRST)
        self.wait_call("TxguiSetSource", "file:" + h.winpath(clips[4]))
        self.wait_until(lambda: len(self.library_calls("NowPlaying")) == 5)
        self.assertEqual(["file:" + h.winpath(clips[n - 1]) for n in (2, 3, 4, 5, 5)],
                         [args[0] for args in self.library_calls("TxguiSetSource")])
        self.open_menu(hwnd, "f", downs=2, submenu=True)
        self.shot("txplayer-menu-recent-four.png")
        self.close_menus(hwnd)

        # MaxClipCount 2 in the library's preferences dialog: the list is cut when it closes.
        self.ctl.ask("command", hwnd, IDM_PREFERENCES)
        dialog = self.ctl.wait("#32770", "Tessavox Player Plus Preferences")
        self.assertTrue(dialog, "no preferences dialog")
        self.assertTrue(self.ctl.ask("settext", dialog, IDC_PREF_CLIPS, "2")["ok"])
        self.assertTrue(self.ctl.ask("click", dialog, "OK")["ok"])
        self.wait_call("PreferencesClosed", "ok")
        os.remove(self.library_log)
        self.ctl.ask("command", hwnd, IDM_RECENT_FIRST + 2)  # gone: plays nothing
        self.ctl.ask("command", hwnd, IDM_RECENT_FIRST + 1)
        self.wait_call("TxguiSetSource", "file:" + h.winpath(clips[3]))
        self.assertEqual(1, len(self.library_calls("TxguiSetSource")), read_lines(self.library_log))
        self.open_menu(hwnd, "f", downs=2, submenu=True)
        self.shot("txplayer-menu-recent-two.png")
        self.close_menus(hwnd)
        self.exit_player(hwnd)
        prefs = read_prefs()
        self.assertEqual("file:%s|clip4.tx" % h.winpath(clips[3]), prefs.get("Clips1"))
        self.assertEqual("file:%s|clip5.tx" % h.winpath(clips[4]), prefs.get("Clips2"))
        self.assertNotIn("Clips3", prefs)


if __name__ == "__main__":
    unittest.main(verbosity=2)

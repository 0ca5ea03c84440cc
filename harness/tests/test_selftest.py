#!/usr/bin/python3
"""Harness self-test: a win64 program under Wine on the harness's Xvfb display
opens a window, receives a message from another process, uses the registry and
an INI file, and the harness photographs it."""
import os
import sys
import unittest

import txharness as h

EXE = sys.argv.pop(1)
SHOTS = os.environ.get("TX_SCREENSHOTS", "screenshots")


class HarnessSelfTest(unittest.TestCase):
    def test_window_message_and_screenshot(self):
        out = os.path.abspath("selftest-messages.txt")
        if os.path.exists(out):
            os.remove(out)
        proc = h.start([EXE, "window", h.winpath(out)])
        try:
            wid = h.wait_window("Harness Self-Test", timeout=30)
            self.assertIsNotNone(wid, "the window did not appear on the harness's display")
            shot = h.screenshot(os.path.join(SHOTS, "harness-selftest.png"), "Harness Self-Test")
            self.assertGreater(os.path.getsize(shot), 500)
            sent = h.run([EXE, "send"], timeout=60)
            self.assertEqual(sent.returncode, 0, sent.stdout)
            self.assertIn(b"reply 42", sent.stdout)
            self.assertEqual(proc.wait(timeout=30), 0)
        finally:
            if proc.poll() is None:
                proc.kill()
        with open(out) as f:
            self.assertEqual(f.read().split("\n"), ["created", "received 40 2", "destroyed", ""])
        self.assertIsNone(h.wait_window("Harness Self-Test", timeout=1))

    def test_registry_and_ini(self):
        ini = os.path.join(h.windows_dir(), "txharness.ini")
        if os.path.exists(ini):
            os.remove(ini)
        h.run(["reg", "delete", r"HKCU\Software\TxHarness", "/f"])
        r = h.run([EXE, "store"], timeout=60)
        self.assertEqual(r.returncode, 0, r.stdout)
        # Seen from outside the program: the registry through reg.exe, the INI on disk.
        self.assertEqual(h.reg_query(r"HKCU\Software\TxHarness", "SelfTest"), "registry-ok")
        with open(ini, "rb") as f:
            self.assertIn(b"[System]\r\nSelfTest=ini-ok", f.read())


if __name__ == "__main__":
    unittest.main(verbosity=2)

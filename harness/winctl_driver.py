"""The test scripts' side of winctl.exe (sitelist/windows/tests/winctl.cpp), the
responder that reads and drives the windows of the program under test on the
harness's display: one command a line in (its fields separated by tabs), one JSON
answer a line out.

    ctl = WinCtl(WINCTL)                      # the winctl.exe of the test's command line
    frame = ctl.wait("TabulinkFrame", "Tabulink")
    ctl.ok("command", frame, 2006)
    ctl.close()

ask() sends any command the responder knows; the helpers below name the common ones
and wait for windows without sleeping longer than a poll step.
"""
import json
import subprocess
import time

import txharness as h

POLL_STEP = 0.1  # seconds between two questions while waiting


class WinCtl:
    """One running winctl.exe. Texts go out in `encoding` (the responder hands them to
    the ANSI calls); answers come back in Latin-1."""

    def __init__(self, program, encoding="latin-1"):
        self.encoding = encoding
        self.proc = h.start([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    def ask(self, *fields):
        """Sends one command; returns its decoded JSON answer. Raises RuntimeError when
        the responder has ended."""
        self.proc.stdin.write(("\t".join(str(f) for f in fields) + "\n").encode(self.encoding))
        self.proc.stdin.flush()
        line = self.proc.stdout.readline()
        if not line:
            raise RuntimeError("winctl ended")
        return json.loads(line.decode("latin-1"))

    def ok(self, *fields):
        """ask() for a command that answers {"ok": ...}; fails unless it is true."""
        answer = self.ask(*fields)
        if not answer.get("ok"):
            raise AssertionError("winctl %r: %r" % (fields, answer))
        return answer

    def find(self, cls="", title=""):
        """The first top-level window with that class and title ("" matches any), or 0."""
        return self.ask("find", cls, title)["hwnd"]

    def findchild(self, parent, cls="", title=""):
        """The first descendant of parent with that class and title ("" matches any), or 0."""
        return self.ask("findchild", parent, cls, title)["hwnd"]

    def child(self, parent, control):
        """The descendant of parent with that control number, or 0."""
        return self.ask("child", parent, control)["hwnd"]

    def describe(self, hwnd):
        return self.ask("describe", hwnd)

    def boxes(self):
        return self.ask("boxes")

    def wait(self, cls="", title="", timeout=30, gone=False):
        """Waits for a top-level window with that class and title: returns it (0 when
        none came), or with gone=True whether it went."""
        return self.poll(lambda: self.find(cls, title), timeout=timeout, gone=gone)

    def poll(self, probe, timeout=30, gone=False):
        """Calls probe() until it gives a true value (returned; 0 when it never did), or
        with gone=True until it gives a false one (True; False when it never did)."""
        end = time.time() + timeout
        while time.time() < end:
            w = probe()
            if bool(w) != gone:
                return w if not gone else True
            time.sleep(POLL_STEP)
        return 0 if not gone else False

    def expect(self, test, timeout=60, what="condition"):
        """Calls test() until it gives a true value and returns it; fails naming what was
        awaited and the windows shown when it never did."""
        end = time.time() + timeout
        while time.time() < end:
            got = test()
            if got:
                return got
            time.sleep(POLL_STEP)
        shown = [(w["class"], w["title"]) for w in self.ask("list") if w["visible"]]
        raise AssertionError("timed out waiting for %s; windows %s, boxes %s" % (what, shown, self.boxes()))

    def close(self):
        """Asks the responder to quit, kills it when it does not within 10 s."""
        try:
            self.ask("quit")
        except (RuntimeError, BrokenPipeError, ValueError):
            pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        for pipe in (self.proc.stdin, self.proc.stdout):
            try:
                pipe.close()
            except OSError:  # a command left unsent to a responder that had gone
                pass

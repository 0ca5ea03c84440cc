"""What every black-box test of TABLNK.exe under Wine shares: the responder
winctl.exe that reads and drives the program's windows (WinCtl, harness's
winctl_driver bound to the test's winctl.exe), TABLNK.INI, the test's fixture
program, and a test case that starts each test from no TABLNK.INI and an empty
working directory and leaves no program running.

A test file takes its programs from its command line and names its working
directory:

    import tablnk_driver as driver
    TABLNK, WINCTL, FIXTURE = driver.take_programs()   # test_x.py TABLNK.exe winctl.exe x_fixture.exe

    class XTest(driver.TablnkCase):
        WORK = os.path.abspath("x-work")

        def test_something(self):
            self.launch()
            frame = self.find_frame()
            ...
"""
import json
import os
import shutil
import subprocess
import sys
import time
import unittest

import txharness as h
import winctl_driver

SHOTS = os.environ.get("TX_SCREENSHOTS", os.path.abspath("screenshots"))
INI = os.path.join(h.windows_dir(), "TABLNK.INI")

# Menu commands of the frame (sitelist/windows/resource.h).
IDM_FILE_EXIT = 2006

_programs = {}


def take_programs():
    """Takes TABLNK.exe, winctl.exe and the fixture program (absolute paths) off the
    command line, leaving the rest to unittest; returns the three."""
    if len(sys.argv) < 4:
        sys.exit("usage: %s TABLNK.exe winctl.exe FIXTURE.exe [unittest arguments]" % sys.argv[0])
    tablnk, winctl, fixture = [os.path.abspath(p) for p in sys.argv[1:4]]
    del sys.argv[1:4]
    _programs.update(tablnk=tablnk, winctl=winctl, fixture=fixture)
    return tablnk, winctl, fixture


def wait_for(what, timeout=30, step=0.1):
    """Calls what() until it gives a true value or the time is up; returns its last value."""
    end = time.time() + timeout
    while time.time() < end:
        value = what()
        if value:
            return value
        time.sleep(step)
    return what()


class WinCtl(winctl_driver.WinCtl):
    """The winctl.exe of the test's command line."""

    def __init__(self, encoding="latin-1"):
        super().__init__(_programs["winctl"], encoding)


def read_ini():
    """TABLNK.INI as {section: {key: value}}; {} when missing."""
    out = {}
    if not os.path.exists(INI):
        return out
    section = None
    with open(INI, "rb") as f:
        for raw in f.read().decode("latin-1").splitlines():
            line = raw.strip()
            if line.startswith("[") and line.endswith("]"):
                section = out.setdefault(line[1:-1], {})
            elif "=" in line and section is not None:
                k, v = line.split("=", 1)
                section[k] = v
    return out


def write_ini(sections):
    with open(INI, "wb") as f:
        for name, keys in sections.items():
            f.write(("[%s]\r\n" % name).encode("latin-1"))
            for k, v in keys.items():
                f.write(("%s=%s\r\n" % (k, v)).encode("latin-1"))


def run_fixture(args, cwd, input=None, timeout=300, env=None):
    """Runs the fixture program with args in cwd; returns its standard output as text.
    Fails when it ends with an error."""
    r = h.run([_programs["fixture"]] + [str(a) for a in args], cwd=cwd, input=input, timeout=timeout, env=env)
    if r.returncode != 0:
        raise AssertionError("fixture %s failed: %s %s" % (tuple(args), r.stdout, r.stderr))
    return r.stdout.decode("latin-1")


def fixture_json(args, cwd, input=None, timeout=300):
    """run_fixture(), and the JSON of its last line of output."""
    return json.loads(run_fixture(args, cwd, input=input, timeout=timeout).strip().splitlines()[-1])


class TablnkCase(unittest.TestCase):
    """Each test starts from no TABLNK.INI, an empty WORK (the subclass names it) and
    a winctl of its own (self.ctl); TABLNK.exe started with launch() is ended at the
    test's end (File, Exit, or killed when it does not go)."""

    WORK = None
    CTL_ENCODING = "latin-1"

    @classmethod
    def setUpClass(cls):
        os.makedirs(SHOTS, exist_ok=True)

    def setUp(self):
        if os.path.exists(INI):
            os.remove(INI)
        shutil.rmtree(self.WORK, ignore_errors=True)
        os.makedirs(self.WORK)
        self.ctl = WinCtl(self.CTL_ENCODING)
        self.proc = None

    def tearDown(self):
        if self.proc is not None and self.proc.poll() is None:
            self.leave_boxes()
            frame = self.ctl.find("TabulinkFrame", "Tabulink")
            if frame:
                self.ctl.ask("command", frame, IDM_FILE_EXIT)
            try:
                self.proc.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.ctl.close()

    def leave_boxes(self):
        """Called before File, Exit at a test's end, to put away what a failed test left
        open (nothing by default)."""

    def launch(self, program=None, env=None, **kw):
        """Starts TABLNK.exe (or another copy of it) in WORK; returns its Popen."""
        self.proc = h.start([program or _programs["tablnk"]], cwd=self.WORK, env=env, **kw)
        return self.proc

    def find_frame(self, timeout=30):
        """The frame once it is there, or 0."""
        return self.ctl.wait("TabulinkFrame", "Tabulink", timeout=timeout)

#!/usr/bin/python3
"""The Wine and Xvfb test harness.

As a command:
    txharness.py up          start a private Xvfb display and a fresh Wine prefix
    txharness.py down        stop Wine's server and the display
    txharness.py screenshot OUT.png [WINDOW-TITLE]

Wine's processes get the private home <harness>/home (the prefix's Desktop and
Documents link into it) and never start Wine's menu builder. Wine's desktop shell
(explorer.exe /desktop), which also answers Program Manager's DDE service, runs
from `up` to `down` (see below).

As a module, for test scripts: run() and start() run win64 programs under Wine,
wait_window() waits for a window by title on the harness's display, screenshot()
writes a PNG, reg_query() reads the prefix's registry, winpath() maps a Linux path.

The harness state lives in $TX_HARNESS (CTest sets it to <build>/harness):
display (the display number), xvfb.pid, wm_state.pid, wineprefix/.

Two companions run while the harness is up, so that no test pays Wine's waits
for what a desktop would have: wm_state.py marks top-level windows mapped and
unmapped as a window manager does (Wine waits 2 s for that on every closed
captioned window otherwise), and a console program of the prefix waits on a pipe
only it holds, which keeps Wine's desktop process running between programs (a
desktop started anew costs about 10 s). Because of that program, never wait for
the prefix's processes to end (`wineserver -w`): wait for the program itself.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

WINE64 = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
HERE = os.path.dirname(os.path.abspath(__file__))


def harness_dir():
    d = os.environ.get("TX_HARNESS")
    if not d:
        d = os.path.join(HERE, "..", "build", "win64", "wine-harness")
    return os.path.abspath(d)


def prefix():
    return os.path.join(harness_dir(), "wineprefix")


def display():
    with open(os.path.join(harness_dir(), "display")) as f:
        return ":" + f.read().strip()


def home():
    """The private home of the prefix's Wine processes: the user folders Wine links
    to (Desktop, Documents ...) and anything a program writes to the Unix desktop
    stay inside the harness."""
    return os.path.join(harness_dir(), "home")


def wine_env(extra=None):
    env = dict(os.environ)
    env["WINEPREFIX"] = prefix()
    env["HOME"] = home()
    env["XDG_CONFIG_HOME"] = os.path.join(home(), ".config")
    env.setdefault("WINEDEBUG", "-all")
    # Saving a shell link would start Wine's menu builder, which writes menu entries
    # for the machine's own desktop.
    env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d")
    try:
        env["DISPLAY"] = display()
    except OSError:
        pass
    if extra:
        env.update(extra)
    return env


def winpath(path):
    """The Windows name of a Linux path (drive Z: is the Linux root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def drive_c():
    return os.path.join(prefix(), "drive_c")


def windows_dir():
    return os.path.join(drive_c(), "windows")


def run(args, cwd=None, env=None, input=None, timeout=120, check=False):
    """Run a win64 program under Wine to its end; returns CompletedProcess (bytes).

    Output goes through temporary files, not pipes: Wine may leave helper processes
    (services, the desktop) running that would hold a pipe open and hang the reader.
    """
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err, \
            tempfile.TemporaryFile() as inp:
        if input is not None:
            inp.write(input)
            inp.seek(0)
        proc = subprocess.Popen([WINE64] + list(args), cwd=cwd, env=wine_env(env), stdin=inp,
                                stdout=out, stderr=err)
        try:
            code = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            raise
        out.seek(0)
        err.seek(0)
        result = subprocess.CompletedProcess(proc.args, code, out.read(), err.read())
    if check:
        result.check_returncode()
    return result


def start(args, cwd=None, env=None, **kw):
    """Start a win64 program under Wine and return its Popen."""
    return subprocess.Popen([WINE64] + list(args), cwd=cwd, env=wine_env(env), **kw)


def x_windows():
    """(id, title) of every named X window on the harness's display."""
    out = subprocess.run(["xwininfo", "-root", "-tree", "-display", display()],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout
    found = []
    for line in out.splitlines():
        line = line.strip()
        if line.startswith("0x") and '"' in line:
            wid = line.split()[0]
            title = line.split('"')[1]
            found.append((wid, title))
    return found


def wait_window(title, timeout=30):
    """Wait until an X window with exactly this title exists; returns its id or None."""
    end = time.time() + timeout
    while time.time() < end:
        for wid, t in x_windows():
            if t == title:
                return wid
        time.sleep(0.2)
    return None


def screenshot(out, title=None):
    """Write a PNG of the whole display, or of the window with this title. Returns the path."""
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    target = "root"
    if title is not None:
        target = wait_window(title, timeout=5)
        if target is None:
            raise RuntimeError("no window titled %r to photograph" % title)
    subprocess.run(["import", "-display", display(), "-window", target, out], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=60)
    return out


def reg_query(key, value):
    """The data of a registry value as `reg query` prints it, or None when absent."""
    r = run(["reg", "query", key, "/v", value])
    if r.returncode != 0:
        return None
    for line in r.stdout.decode("latin-1").splitlines():
        parts = line.split(None, 2)
        if len(parts) >= 2 and parts[0] == value and parts[1].startswith("REG_"):
            return parts[2].strip() if len(parts) == 3 else ""
    return None


def _free_display():
    for n in range(90, 200):
        if not os.path.exists("/tmp/.X%d-lock" % n) and not os.path.exists("/tmp/.X11-unix/X%d" % n):
            return n
    raise RuntimeError("no free X display number between 90 and 199")


def _start_wm_state(n):
    """Starts wm_state.py on display :n (see the module's notes); `down` ends it."""
    d = harness_dir()
    log = open(os.path.join(d, "wm_state.log"), "w")
    keeper = subprocess.Popen([sys.executable, os.path.join(HERE, "wm_state.py"), ":%d" % n],
                              stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
    with open(os.path.join(d, "wm_state.pid"), "w") as f:
        f.write(str(keeper.pid))


def _keep_desktop():
    """Starts the prefix's cmd.exe reading a pipe whose writing end only it holds: it
    never ends before `down` stops the server, and with it Wine's desktop stays up."""
    rd, wr = os.pipe()
    try:
        subprocess.Popen([WINE64, "cmd.exe"], env=wine_env(), stdin=rd, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL, pass_fds=(wr,), start_new_session=True)
    finally:
        os.close(rd)
        os.close(wr)


def up():
    d = harness_dir()
    os.makedirs(d, exist_ok=True)
    down(quiet=True)
    n = _free_display()
    log = open(os.path.join(d, "xvfb.log"), "w")
    xvfb = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            stdout=log, stderr=log, start_new_session=True)
    with open(os.path.join(d, "xvfb.pid"), "w") as f:
        f.write(str(xvfb.pid))
    with open(os.path.join(d, "display"), "w") as f:
        f.write(str(n))
    end = time.time() + 20
    while not os.path.exists("/tmp/.X11-unix/X%d" % n):
        if xvfb.poll() is not None or time.time() > end:
            raise SystemExit("Xvfb did not start on :%d (see %s/xvfb.log)" % (n, d))
        time.sleep(0.1)
    _start_wm_state(n)
    shutil.rmtree(prefix(), ignore_errors=True)
    shutil.rmtree(home(), ignore_errors=True)
    os.makedirs(prefix())
    os.makedirs(os.path.join(home(), ".config"))
    os.makedirs(os.path.join(home(), "Desktop"))  # the prefix's Desktop folder links here
    t = time.time()
    # A persistent server keeps later Wine starts quick; `down` ends it.
    subprocess.Popen([WINESERVER, "-p"], env=wine_env(), stdin=subprocess.DEVNULL,
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    r = run(["wineboot", "-i"], timeout=300)
    if r.returncode != 0 or not os.path.isdir(windows_dir()):
        sys.stdout.write((r.stdout + r.stderr).decode("latin-1"))
        raise SystemExit("wineboot failed (%d)" % r.returncode)
    # The display has no window manager: Wine draws the windows' frames and captions.
    r = run(["reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Decorated", "/d", "N", "/f"])
    if r.returncode != 0:
        raise SystemExit("setting the X11 driver's Decorated failed (%d)" % r.returncode)
    _keep_desktop()
    print("harness up: display :%d, prefix %s (wineboot %.1f s)" % (n, prefix(), time.time() - t))


def down(quiet=False):
    d = harness_dir()
    if os.path.isdir(prefix()):
        subprocess.run([WINESERVER, "-k"], env=wine_env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
    for name in ("wm_state.pid", "xvfb.pid"):
        pidfile = os.path.join(d, name)
        if os.path.exists(pidfile):
            try:
                with open(pidfile) as f:
                    pid = int(f.read().strip())
                os.killpg(pid, signal.SIGTERM)
            except (ValueError, ProcessLookupError, PermissionError):
                pass
            os.remove(pidfile)
    if not quiet:
        print("harness down")


if __name__ == "__main__":
    if len(sys.argv) >= 2 and sys.argv[1] == "up":
        up()
    elif len(sys.argv) >= 2 and sys.argv[1] == "down":
        down()
    elif len(sys.argv) >= 3 and sys.argv[1] == "screenshot":
        print(screenshot(sys.argv[2], sys.argv[3] if len(sys.argv) > 3 else None))
    else:
        sys.exit(__doc__)

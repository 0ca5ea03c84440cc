"""lighttpd on 127.0.0.1 with a CGI mapping that runs formsend.exe under Wine,
deployed as a site would deploy it: cgi-bin/ holds formsend.exe, formsend.ini and
the mail templates, and is the program's working directory.

The CGI mapping hands every ".exe" under cgi-bin to a wrapper script that sets up
Wine (prefix, display, quiet debug output) as harness/wine-run does and starts the
64-bit loader with the program. The wrapper can also note, per run, the times
around the Wine process (for the benchmark).
"""
import os
import shutil
import socket
import subprocess
import time

import txharness

LIGHTTPD = "/usr/sbin/lighttpd"
MODULES = "/usr/lib/lighttpd"

WRAPPER = """#!/bin/sh
# CGI wrapper: runs the Windows CGI program named by lighttpd under Wine.
export PATH=/usr/bin:/bin
export WINEPREFIX='{prefix}'
export WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml='
export DISPLAY='{display}'
{timing_start}
/usr/lib/wine/wine64 "$1"
status=$?
{timing_end}
exit $status
"""


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class Lighttpd:
    """Start with `with Lighttpd(root, exe, ini_text, templates) as web:`; web.url is
    the CGI's address."""

    def __init__(self, root, exe, ini_text, templates, timing_file=None):
        self.root = root
        self.exe = exe
        self.ini_text = ini_text
        self.templates = templates
        self.timing_file = timing_file
        self.port = free_port()
        self.proc = None

    @property
    def cgi_dir(self):
        return os.path.join(self.root, "htdocs", "cgi-bin")

    @property
    def url(self):
        return "http://127.0.0.1:%d/cgi-bin/formsend.exe" % self.port

    def __enter__(self):
        shutil.rmtree(self.root, ignore_errors=True)
        os.makedirs(self.cgi_dir)
        shutil.copy(self.exe, os.path.join(self.cgi_dir, "formsend.exe"))
        with open(os.path.join(self.cgi_dir, "formsend.ini"), "w", newline="") as f:
            f.write(self.ini_text)
        for name, text in self.templates.items():
            with open(os.path.join(self.cgi_dir, name), "w", newline="", encoding="latin-1") as f:
                f.write(text)
        start = end = ""
        if self.timing_file:
            start = "t0=$(date +%s%N)"
            end = "echo \"$t0 $(date +%%s%%N)\" >> '%s'" % self.timing_file
        try:
            display = txharness.display()
        except OSError:
            display = ""
        wrapper = os.path.join(self.root, "wine-cgi")
        with open(wrapper, "w") as f:
            f.write(WRAPPER.format(prefix=txharness.prefix(), display=display,
                                   timing_start=start, timing_end=end))
        os.chmod(wrapper, 0o755)
        conf = os.path.join(self.root, "lighttpd.conf")
        with open(conf, "w") as f:
            f.write("""server.modules = ("mod_cgi")
server.document-root = "{docroot}"
server.bind = "127.0.0.1"
server.port = {port}
server.errorlog = "{root}/error.log"
server.pid-file = "{root}/lighttpd.pid"
server.max-request-size = 4096
$HTTP["url"] =~ "^/cgi-bin/" {{
    cgi.assign = ( ".exe" => "{wrapper}" )
}}
""".format(docroot=os.path.join(self.root, "htdocs"), port=self.port, root=self.root, wrapper=wrapper))
        self.proc = subprocess.Popen([LIGHTTPD, "-D", "-f", conf, "-m", MODULES],
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        end_by = time.time() + 10
        while time.time() < end_by:
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return self
            except OSError:
                if self.proc.poll() is not None:
                    raise RuntimeError("lighttpd ended: %s" % self.proc.stdout.read().decode())
                time.sleep(0.1)
        raise RuntimeError("lighttpd did not start on port %d" % self.port)

    def __exit__(self, *exc):
        self.proc.terminate()
        self.proc.wait(10)
        self.proc.stdout.close()

    def read(self, name):
        p = os.path.join(self.cgi_dir, name)
        if not os.path.exists(p):
            return None
        with open(p, "rb") as f:
            return f.read()

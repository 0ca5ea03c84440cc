#!/usr/bin/python3
"""Benchmark (run by hand, with the harness up): posts N forms (200 by default), one after
another, through lighttpd to formsend.exe under Wine and on to aiosmtpd, and prints
runs per second and where the time of a run goes:

  web server and client   the HTTP round trip outside the CGI wrapper
  Wine process            starting and ending a Windows process under Wine, measured
                          with the same program on an empty form (it opens its log,
                          finds no fields and ends: no configuration, template or SMTP)
  formsend's own work     what a full run takes beyond that

    TX_HARNESS=build/win64/wine-harness PYTHONPATH=harness \\
        /usr/bin/python3 formsend/tests/bench_formsend_web.py [N]
"""
import http.client
import os
import statistics
import sys
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from smtpserver import RecordingSmtp  # noqa: E402
from webserver import Lighttpd  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
EXE = os.path.join(os.environ.get("TX_DIST", os.path.join(HERE, "../../dist/win64")), "formsend.exe")
ROOT = os.path.join(os.environ.get("TX_BUILD", "/tmp"), "formsend-bench")
INI = ("[Quenby Mailer]\r\nGateway=127.0.0.1\r\nSender=webmaster@example.org\r\n"
       "Realname=Web Master\r\nMIMEncode=yes\r\nCharset=iso-8859-1\r\n")
TEMPLATE = "Name: $Name$\nComment: $Comment$\n" * 20


def post(port, body):
    c = http.client.HTTPConnection("127.0.0.1", port, timeout=120)
    c.request("POST", "/cgi-bin/formsend.exe", body,
              {"Content-Type": "application/x-www-form-urlencoded"})
    r = c.getresponse()
    r.read()
    c.close()
    return r.status, r.getheader("Location")


def timed_runs(web, body, n, timing):
    if os.path.exists(timing):
        os.remove(timing)
    totals = []
    for _ in range(n):
        t0 = time.perf_counter()
        status, _ = post(web.port, body)
        totals.append(time.perf_counter() - t0)
        assert status in (200, 302), status
    with open(timing) as f:
        inside = [(int(b) - int(a)) / 1e9 for a, b in (line.split() for line in f)]
    return totals, inside


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 200
    timing = os.path.join(ROOT + "-timing.txt")
    full = urllib.parse.urlencode([("$File$", "mail.txt"), ("$LocationOK$", "http://x/ok"),
                                   ("$LocationKO$", "http://x/ko"), ("$To$", "anne@example.com"),
                                   ("$Subject$", "Caf\xe9"), ("$Name$", "Bob"),
                                   ("$Comment$", "\xe9t\xe9 " * 40)], encoding="latin-1").encode()
    with RecordingSmtp() as smtp, Lighttpd(ROOT, EXE, INI, {"mail.txt": TEMPLATE}, timing_file=timing) as web:
        post(web.port, full)  # warm the page cache and Wine's server
        t = time.perf_counter()
        totals, inside = timed_runs(web, full, n, timing)
        wall = time.perf_counter() - t
        sent = len(smtp.handler.messages) - 1
        empty_totals, empty_inside = timed_runs(web, b"", max(20, n // 5), timing)
    mean = statistics.mean
    http_only = mean(totals) - mean(inside)
    wine = mean(empty_inside)
    own = mean(inside) - wine
    print("formsend through lighttpd and Wine to aiosmtpd: %d forms in %.1f s = %.2f runs/s (%d mails received)"
          % (n, wall, n / wall, sent))
    print("  per run: %.1f ms (median %.1f ms)" % (mean(totals) * 1e3, statistics.median(totals) * 1e3))
    print("    web server and client  %6.1f ms" % (http_only * 1e3))
    print("    Wine process start/end %6.1f ms  (empty form, %d runs)" % (wine * 1e3, len(empty_inside)))
    print("    formsend's own work    %6.1f ms  (form, ini, template, SMTP dialogue, log)" % (own * 1e3))


if __name__ == "__main__":
    main()

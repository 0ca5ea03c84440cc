#!/usr/bin/python3
"""formsend end to end, as deployed: lighttpd runs formsend.exe under Wine as a CGI,
curl posts the form as a browser does, aiosmtpd on 127.0.0.1:25 takes the mail."""
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from smtpserver import RecordingSmtp  # noqa: E402
from webserver import Lighttpd  # noqa: E402

EXE = os.path.join(os.environ.get("TX_DIST", ""), "formsend.exe")
ROOT = os.path.join(os.environ.get("TX_BUILD", "/tmp"), "formsend-web")
INI = ("[Quenby Mailer]\r\nGateway=localhost\r\nSender=webmaster@example.org\r\n"
       "Realname=Web Master\r\nMIMEncode=no\r\nCharset=iso-8859-1\r\n")
TEMPLATE = "A visitor wrote:\nName: $Name$\nComment: $Comment$\n"
OK_URL = "http://www.example.org/thanks.html"
KO_URL = "http://www.example.org/sorry.html"


def post(url, fields):
    """Posts the fields as application/x-www-form-urlencoded; returns (code, Location, body)."""
    args = ["curl", "-s", "-o", "-", "-w", "\n%{http_code} %{redirect_url}", url]
    for name, value in fields:
        args += ["--data-urlencode", "%s=%s" % (name, value)]
    r = subprocess.run(args, stdout=subprocess.PIPE, timeout=120, check=True)
    body, _, status = r.stdout.rpartition(b"\n")
    code, _, location = status.decode().partition(" ")
    return int(code), location, body


def form(**extra):
    fields = [("$File$", "mail.txt"), ("$LocationOK$", OK_URL), ("$LocationKO$", KO_URL),
              ("$To$", "anne@example.com"), ("$Subject$", "Feedback"), ("$Name$", "Bob Smith"),
              ("$Comment$", "Fine & dandy: 100% +1")]
    fields += list(extra.items())
    return fields


class EndToEnd(unittest.TestCase):
    def test_posted_form_is_mailed_and_redirected(self):
        with RecordingSmtp() as smtp, Lighttpd(ROOT, EXE, INI, {"mail.txt": TEMPLATE}) as web:
            code, location, _ = post(web.url, form())
            log = web.read("Formsend.log")
        self.assertEqual((code, location), (302, OK_URL), log)
        mail_from, rcpts, content = smtp.handler.messages[0]
        self.assertEqual((mail_from, rcpts), ("webmaster@example.org", ["anne@example.com"]))
        self.assertTrue(content.endswith(
            b"From: Web Master <webmaster@example.org>\r\nTo: anne@example.com\r\nSubject: Feedback\r\n\r\n"
            b"A visitor wrote:\r\nName: Bob Smith\r\nComment: Fine & dandy: 100% +1\r\n\r\n"))
        self.assertTrue(log.endswith(b"Mail sent\r\nConnection closed\r\nProgram normally terminated\r\n"))

    def test_refused_mail_redirects_to_the_failure_page(self):
        with RecordingSmtp(refuse_rcpts=["anne@example.com"]) as smtp, \
                Lighttpd(ROOT, EXE, INI, {"mail.txt": TEMPLATE}) as web:
            code, location, _ = post(web.url, form())
            dead = web.read("dead.letter.txt")
        self.assertEqual((code, location), (302, KO_URL))
        self.assertEqual(smtp.handler.messages, [])
        self.assertIn(b"\r\nName: Bob Smith\r\n", dead)

    def test_injection_attempt_redirects_to_the_failure_page(self):
        with RecordingSmtp() as smtp, Lighttpd(ROOT, EXE, INI, {"mail.txt": TEMPLATE}) as web:
            code, location, _ = post(web.url, form(**{"$Subject$": "hi\r\nBcc: everyone@example.com"}))
        self.assertEqual((code, location), (302, KO_URL))
        self.assertEqual(smtp.handler.commands, [])

    def test_form_without_control_fields_gets_the_internal_error_page(self):
        with RecordingSmtp(), Lighttpd(ROOT, EXE, INI, {"mail.txt": TEMPLATE}) as web:
            code, location, body = post(web.url, [("Name", "Bob")])
        self.assertEqual((code, location), (200, ""))
        self.assertEqual(body, b"An internal error as occured, please inform the Webmaster!<p>")


if __name__ == "__main__":
    unittest.main(verbosity=2)

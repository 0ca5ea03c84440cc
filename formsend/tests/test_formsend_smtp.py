#!/usr/bin/python3
"""formsend.exe under Wine against real SMTP peers on 127.0.0.1:25.

Each test makes a working directory with formsend.ini and templates, runs the
program with CONTENT_LENGTH and the body on standard input, and checks standard
output byte for byte, the log, dead.letter.txt and what the SMTP server received.
"""
import os
import quopri
import re
import shutil
import socket
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import txharness  # noqa: E402
from smtpserver import RecordingSmtp, ScriptedSmtp  # noqa: E402

EXE = os.path.join(os.environ.get("TX_DIST", os.path.join(os.path.dirname(__file__), "../../dist/win64")),
                   "formsend.exe")
WORK = os.path.join(os.environ.get("TX_BUILD", tempfile.gettempdir()), "formsend-work")
LOCAL_HOST = socket.gethostname()
INTERNAL_ERROR = b"Content-type: text/html\r\n\r\nAn internal error as occured, please inform the Webmaster!<p>"
OK_URL = "http://www.example.org/thanks.html"
KO_URL = "http://www.example.org/sorry.html"

BASE_INI = {"Gateway": "localhost", "Sender": "webmaster@example.org", "Realname": "Web Master",
            "MIMEncode": "no", "Charset": "iso-8859-1"}


def crlf(text):
    """What a "\\n" text becomes in a text-mode file written by the program."""
    if isinstance(text, str):
        text = text.encode("latin-1")
    return text.replace(b"\n", b"\r\n")


def urlencode(pairs):
    out = []
    for name, value in pairs:
        enc = []
        for part in (name, value):
            s = ""
            for b in part.encode("latin-1"):
                c = chr(b)
                if c.isalnum() or c in "-_.*@":
                    s += c
                elif c == " ":
                    s += "+"
                else:
                    s += "%%%02X" % b
            enc.append(s)
        out.append("%s=%s" % tuple(enc))
    return "&".join(out).encode("latin-1")


class Run:
    def __init__(self, rc, stdout, log, dead):
        self.rc, self.stdout, self.log, self.dead = rc, stdout, log, dead


class FormsendCase(unittest.TestCase):
    def setUp(self):
        self.dir = os.path.join(WORK, self.id().split(".")[-1])
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.write_ini(BASE_INI)
        self.write("mail.txt", "Hello $Name$,\nyour message:\n$Text$\n-- \n")

    def write(self, name, text, mode="w"):
        with open(os.path.join(self.dir, name), mode, newline="" if mode == "w" else None,
                  encoding="latin-1" if mode == "w" else None) as f:
            f.write(text)

    def write_ini(self, values):
        lines = ["[Quenby Mailer]"] + ["%s=%s" % kv for kv in values.items()]
        self.write("formsend.ini", "\r\n".join(lines) + "\r\n")

    def form(self, *extra, to=("anne@example.com",), template="mail.txt", text="Hi there"):
        pairs = [("$File$", template), ("$LocationOK$", OK_URL), ("$LocationKO$", KO_URL)]
        pairs += [("$To$", t) for t in to]
        pairs += [("$Name$", "Bob"), ("$Text$", text)]
        pairs += list(extra)
        return urlencode(pairs)

    def run_formsend(self, body, length=None, env=None, timeout=120):
        e = {"CONTENT_LENGTH": str(len(body) if length is None else length)}
        if length is False:
            e = {}
        e.update(env or {})
        os.environ.pop("CONTENT_LENGTH", None)
        r = txharness.run([EXE], cwd=self.dir, env=e, input=body, timeout=timeout)
        return Run(r.returncode, r.stdout, self.read("Formsend.log"), self.read("dead.letter.txt"))

    def read(self, name):
        p = os.path.join(self.dir, name)
        if not os.path.isfile(p):
            return None
        with open(p, "rb") as f:
            return f.read()

    # Expected log pieces ("\n" texts; crlf() turns them into the file's bytes).
    HEAD = "\n--- Quenby's Formsend V1.03\n\nHTML data retrieved from http server.\n\n"

    def connected(self, name="localhost", dotted="127.0.0.1"):
        return ("Local Host: %s\n\nRemote Host Name: %s\nIP Address: %s\n\n"
                "Connected to remote SMTP port:\n" % (LOCAL_HOST, name, dotted))

    @staticmethod
    def reply(text):
        return text + "\r\n\n"

    def assert_dead_letter(self, run, plain, records=1):
        self.assertIsNotNone(run.dead)
        parts = run.dead.split(b"\r\n--- CUT HERE ---\r\n")
        self.assertEqual(len(parts), records + 1)
        self.assertEqual(parts[-1], b"")
        for p in parts[:-1]:
            m = re.match(rb"Date: (Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)"
                         rb" [0-3]\d [0-2]\d:[0-5]\d:[0-5]\d \d{4}\r\n", p)
            self.assertIsNotNone(m, p[:60])
            self.assertEqual(p[m.end():], crlf(plain))


def split_block(message):
    """The X-mailer block (its four lines) and the text after it, from a message as received."""
    lines = message.split(b"\r\n", 4)
    return b"\r\n".join(lines[:4]) + b"\r\n", lines[4]


PLAIN_BODY = "Hello Bob,\nyour message:\nHi there\n-- \n"
BLOCK_8BIT = ("X-mailer: Quenby's Formsend V1.03\r\nMime-Version: 1.0\r\n"
              "Content-type: text/plain; charset=\"iso-8859-1\"\r\nContent-transfer-encoding: 8bit\r\n")


class Delivery(FormsendCase):
    def test_eight_bit_success_recipient_order_header_and_log(self):
        body = self.form(("$Cc$", "c1@example.com"), ("$Bcc$", "b1@example.com"),
                         ("$Subject$", "Hello"), ("$Cc$", "c2@example.com"),
                         to=("t1@example.com", "t2@example.com"))
        with RecordingSmtp() as srv:
            run = self.run_formsend(body)
        self.assertEqual(run.stdout, ("Location: %s\r\n\r\n" % OK_URL).encode())
        self.assertEqual(run.rc, 0)
        self.assertIsNone(run.dead)
        h = srv.handler
        rcpts = ["c2@example.com", "c1@example.com", "b1@example.com", "t2@example.com", "t1@example.com"]
        self.assertEqual(h.commands, [("HELO", LOCAL_HOST), ("MAIL", "webmaster@example.org")] +
                         [("RCPT", r) for r in rcpts] + [("DATA",), ("QUIT",)])
        header = ("From: Web Master <webmaster@example.org>\nTo: t1@example.com, t2@example.com\n"
                  "Cc: c1@example.com, c2@example.com\nSubject: Hello\n\n")
        self.assertEqual(h.messages[0][2], BLOCK_8BIT.encode() + crlf(header + PLAIN_BODY) + b"\r\n")
        log = self.HEAD + self.connected() + self.reply(srv.greeting)
        log += "Sending HELO %s...\n" % LOCAL_HOST + self.reply("250 mail.test")
        log += "Sending MAIL FROM: webmaster@example.org...\n" + self.reply("250 OK")
        for r in rcpts:
            log += "Sending RCPT TO: %s...\n" % r + self.reply("250 OK")
        log += "Sending DATA...\n" + self.reply("354 End data with <CR><LF>.<CR><LF>")
        log += "OK, let's go to send the mail, now...\n" + self.reply("250 Message accepted for delivery")
        log += "Sending QUIT...\n" + self.reply("221 Bye")
        log += "Mail sent\nConnection closed\nProgram normally terminated\n"
        self.assertEqual(run.log, crlf(log))

    def test_quoted_printable_message_as_received(self):
        self.write_ini(dict(BASE_INI, MIMEncode="yes", Realname="J\xe9r\xf4me"))
        self.write("qp.txt", ".starts with a dot\n$Text$\ntrailing space \ntrailing tab\t\n"
                   "a=b x==y ?\n" + "0123456789" * 10 + "\n$Opt.Comment$!\n")
        body = self.form(("$Subject$", "Caf\xe9 ok"), ("$Optional$", "extra"),
                         template="qp.txt")
        body = body.replace(b"Hi+there", b"line1%0D%0Aline2+%E9")
        with RecordingSmtp() as srv:
            run = self.run_formsend(body)
        self.assertEqual(run.stdout, ("Location: %s\r\n\r\n" % OK_URL).encode())
        block = BLOCK_8BIT.replace("8bit", "Quoted-Printable")
        expected = (block +
                    "From: =?iso-8859-1?Q?J=E9r=F4me?= <webmaster@example.org>\r\n"
                    "To: anne@example.com\r\n"
                    "Subject: =?iso-8859-1?Q?Caf=E9 ok?=\r\n\r\n\r\n"
                    # the server takes the extra dot of a line off again
                    ".starts with a dot\r\n"
                    "line1=0D\r\n"
                    "line2 =E9\r\n"
                    "trailing space=20\r\n"
                    "trailing tab\t\r\n"
                    "a=3Db x==3Dy =3F\r\n" +
                    ("0123456789" * 8)[:72] + "=\r\n" + ("0123456789" * 10)[72:] + "\r\n"
                    "extra!\r\n\r\n")
        self.assertEqual(srv.handler.messages[0][2].decode("latin-1"), expected)

    def test_no_subject_header_runs_into_the_template(self):
        with RecordingSmtp() as srv:
            self.run_formsend(self.form())
        msg = srv.handler.messages[0][2].decode("latin-1")
        self.assertEqual(msg, BLOCK_8BIT + crlf("From: Web Master <webmaster@example.org>\nTo: anne@example.com\n"
                                                + PLAIN_BODY).decode() + "\r\n")

    def test_form_sender_and_realname_need_no_ini_keys(self):
        ini = dict(BASE_INI)
        del ini["Sender"], ini["Realname"]
        self.write_ini(ini)
        with RecordingSmtp() as srv:
            run = self.run_formsend(self.form(("$Sender$", "v@example.net"), ("$Realname$", "Vis")))
        self.assertEqual(run.rc, 0)
        self.assertIn(("MAIL", "v@example.net"), srv.handler.commands)
        self.assertTrue(srv.handler.messages[0][2].decode().startswith(BLOCK_8BIT + "From: Vis <v@example.net>\r\n"))

    def test_dotted_gateway_address(self):
        self.write_ini(dict(BASE_INI, Gateway="127.0.0.1"))
        with RecordingSmtp() as srv:
            run = self.run_formsend(self.form())
        self.assertEqual(run.rc, 0)
        self.assertTrue(run.log.startswith(crlf(self.HEAD + self.connected("localhost", "127.0.0.1"))))
        self.assertEqual(len(srv.handler.messages), 1)

    def test_all_recipients_refused(self):
        with RecordingSmtp(refuse_rcpts=["t1@x.org", "t2@x.org"]) as srv:
            run = self.run_formsend(self.form(to=("t1@x.org", "t2@x.org")))
        self.assertEqual(run.stdout, ("Location: %s\r\n\r\n" % KO_URL).encode())
        self.assertEqual(run.rc, 0)
        self.assertEqual([c[0] for c in srv.handler.commands], ["HELO", "MAIL", "RCPT", "RCPT", "QUIT"])
        self.assertTrue(run.log.endswith(crlf(
            "Sending QUIT...\n" + self.reply("221 Bye") + "WARNING: Mail NOT sent!\n"
            "Unsent mail appended to .\\dead.letter.txt\nConnection closed\nProgram normally terminated\n")))
        self.assert_dead_letter(run, "From: Web Master <webmaster@example.org>\nTo: t1@x.org, t2@x.org\n" + PLAIN_BODY)

    def test_last_recipient_refused_is_incomplete(self):
        # t1 is the last RCPT TO (table order is the reverse of the form's)
        with RecordingSmtp(refuse_rcpts=["t1@x.org"]) as srv:
            run = self.run_formsend(self.form(to=("t1@x.org", "t2@x.org")))
        self.assertEqual(run.stdout, ("Location: %s\r\n\r\n" % KO_URL).encode())
        self.assertEqual([c for c in srv.handler.commands if c[0] == "RCPT"],
                         [("RCPT", "t2@x.org"), ("RCPT", "t1@x.org")])
        self.assertEqual(srv.handler.messages[0][1], ["t2@x.org"])
        self.assertIn(crlf("Mail sent\n")[:0] + crlf("WARNING: Mail incompletely sent, check your recipients\n"
                                                    "Unsent mail appended to .\\dead.letter.txt\n"
                                                    "Connection closed\n"), run.log)
        self.assert_dead_letter(run, "From: Web Master <webmaster@example.org>\nTo: t1@x.org, t2@x.org\n" + PLAIN_BODY)

    def test_message_refused(self):
        with RecordingSmtp(refuse_message=True) as srv:
            run = self.run_formsend(self.form())
        self.assertEqual(run.stdout, ("Location: %s\r\n\r\n" % KO_URL).encode())
        self.assertEqual(run.rc, 0)
        self.assertEqual(srv.handler.commands[-1], ("QUIT",))
        self.assertIn(crlf(self.reply("554 Message refused") + "Sending QUIT...\n" + self.reply("221 Bye") +
                           "WARNING: Mail NOT sent!\n"), run.log)
        self.assert_dead_letter(run, "From: Web Master <webmaster@example.org>\nTo: anne@example.com\n" + PLAIN_BODY)

    def test_dead_letters_are_appended(self):
        with RecordingSmtp(refuse_message=True):
            self.run_formsend(self.form())
            run = self.run_formsend(self.form())
        self.assert_dead_letter(run, "From: Web Master <webmaster@example.org>\nTo: anne@example.com\n" + PLAIN_BODY,
                                records=2)

    def test_dead_letter_cannot_be_opened(self):
        os.makedirs(os.path.join(self.dir, "dead.letter.txt"))
        with RecordingSmtp(refuse_message=True):
            run = self.run_formsend(self.form())
        self.assertTrue(run.log.endswith(crlf("WARNING: Mail NOT sent!\nCannot open dead.letter.txt\n"
                                              "Connection closed\nProgram normally terminated\n")))


class Misbehaving(FormsendCase):
    def test_greeting_negative(self):
        for code in (b"421", b"554"):
            with self.subTest(code=code):
                with ScriptedSmtp(greeting=code + b" busy\r\n") as srv:
                    run = self.run_formsend(self.form())
                self.assertEqual(srv.commands, [b"QUIT"])
                self.assertEqual(run.stdout, ("Location: %s\r\n\r\n" % KO_URL).encode())
                self.assertEqual(run.rc, 0)
                self.assertEqual(run.log, crlf(self.HEAD + self.connected() + self.reply(code.decode() + " busy") +
                                               "Sending QUIT...\n" + self.reply("221 Bye") +
                                               "WARNING: Mail NOT sent!\nUnsent mail appended to .\\dead.letter.txt\n"
                                               "Connection closed\nProgram normally terminated\n"))
                os.remove(os.path.join(self.dir, "dead.letter.txt"))

    def test_connection_closed_at_each_step(self):
        steps = ["greeting", "HELO", "MAIL", "RCPT", "DATA", "MESSAGE"]
        for step in steps:
            with self.subTest(step=step):
                dead = os.path.join(self.dir, "dead.letter.txt")
                if os.path.exists(dead):
                    os.remove(dead)
                if step == "greeting":
                    srv = ScriptedSmtp(greeting="close")
                else:
                    srv = ScriptedSmtp(replies={step: "close"})
                with srv:
                    run = self.run_formsend(self.form())
                self.assertEqual(run.stdout, ("Location: %s\r\n\r\n" % KO_URL).encode())
                self.assertEqual(run.rc, 1)
                self.assertNotIn(b"QUIT", srv.commands)
                self.assertRegex(run.log.decode("latin-1"),
                                 r"WARNING: Mail NOT sent!\r\nUnsent mail appended to \.\\dead\.letter\.txt\r\n"
                                 r"Error: [^\r\n]+\r\nProgram aborted\r\n$")
                self.assert_dead_letter(run, "From: Web Master <webmaster@example.org>\nTo: anne@example.com\n"
                                        + PLAIN_BODY)

    def test_replies_in_several_packets_keep_the_dialogue_in_step(self):
        replies = {"HELO": [b"25", b"0 mail", b".test\r\n"],
                   "MAIL": [b"250-first\r\n", b"250 second\r\n"],
                   "DATA": [b"354 ", b"go\r\n"]}
        with ScriptedSmtp(greeting=[b"220-mail.test\r\n", b"220-welcome\r\n", b"220 ready\r\n"],
                          replies=replies) as srv:
            run = self.run_formsend(self.form())
        self.assertEqual(run.stdout, ("Location: %s\r\n\r\n" % OK_URL).encode())
        self.assertEqual(srv.commands[:3], [("HELO " + LOCAL_HOST).encode(), b"MAIL FROM: webmaster@example.org",
                                            b"RCPT TO: anne@example.com"])
        self.assertEqual(srv.commands[-2:], [b"DATA", b"QUIT"])
        self.assertIsNotNone(srv.message)
        log = run.log.decode("latin-1")
        self.assertIn("220-mail.test\r\r\n220-welcome\r\r\n220 ready\r\r\n\r\nSending HELO", log)
        self.assertIn("250-first\r\r\n250 second\r\r\n\r\n", log)

    def test_stalled_gateway_times_out(self):
        with ScriptedSmtp(replies={"MAIL": "stall"}):
            t = time.time()
            run = self.run_formsend(self.form(), timeout=150)
            took = time.time() - t
        self.assertGreaterEqual(took, 59)
        self.assertEqual(run.rc, 1)
        self.assertEqual(run.stdout, ("Location: %s\r\n\r\n" % KO_URL).encode())
        self.assertTrue(run.log.endswith(crlf("Sending MAIL FROM: webmaster@example.org...\n"
                                              "WARNING: Mail NOT sent!\nUnsent mail appended to .\\dead.letter.txt\n"
                                              "Error: Connection timed out\nProgram aborted\n")))

    def test_nothing_listening(self):
        run = self.run_formsend(self.form())
        self.assertEqual(run.stdout, ("Location: %s\r\n\r\n" % KO_URL).encode())
        self.assertEqual(run.rc, 0)
        self.assertEqual(run.log, crlf(self.HEAD + "Local Host: %s\n\nRemote Host Name: localhost\n"
                                       "IP Address: 127.0.0.1\n\nError: Connection refused\nProgram aborted\n"
                                       "WARNING: Mail NOT sent!\nUnsent mail appended to .\\dead.letter.txt\n"
                                       "Program normally terminated\n" % LOCAL_HOST))
        self.assert_dead_letter(run, "From: Web Master <webmaster@example.org>\nTo: anne@example.com\n" + PLAIN_BODY)

    def test_gateway_not_found(self):
        for gateway in ("no-such-host.invalid", "192.0.2.1"):
            with self.subTest(gateway=gateway):
                self.write_ini(dict(BASE_INI, Gateway=gateway))
                run = self.run_formsend(self.form())
                self.assertEqual(run.stdout, b"")
                self.assertEqual(run.rc, 1)
                self.assertIsNone(run.dead)
                self.assertRegex(run.log.decode("latin-1"),
                                 "^" + re.escape(crlf(self.HEAD + "Local Host: %s\n" % LOCAL_HOST).decode()) +
                                 r"Error: [^\r\n]+\r\nProgram aborted\r\n$")

    def test_sockets_library_cannot_be_loaded(self):
        with RecordingSmtp() as srv:
            run = self.run_formsend(self.form(), env={"WINEDLLOVERRIDES": "wsock32=;mscoree,mshtml="})
        self.assertEqual(run.stdout, b"")
        self.assertEqual(run.rc, 0)
        self.assertEqual(srv.handler.commands, [])
        self.assertEqual(run.log, crlf(self.HEAD + "Program normally terminated\n"))


class Form(FormsendCase):
    def test_no_body_gives_internal_error(self):
        for length in (False, 0):
            with self.subTest(length=length):
                run = self.run_formsend(b"", length=length)
                self.assertEqual(run.stdout, INTERNAL_ERROR)
                self.assertEqual(run.rc, 1)
                self.assertEqual(run.log, crlf("\n--- Quenby's Formsend V1.03\n\n"
                                               "Error: Some needed HTML variables were not sent by form.\n"
                                               "Check your HTML form \n"))

    def test_invalid_form_with_failure_url(self):
        run = self.run_formsend(urlencode([("$File$", "mail.txt"), ("$LocationKO$", KO_URL), ("$To$", "a@b")]))
        self.assertEqual(run.stdout, ("Location: %s\r\n\r\n" % KO_URL).encode())
        self.assertEqual(run.rc, 1)
        self.assertIsNone(run.dead)

    def test_invalid_configuration(self):
        for key, value in (("Gateway", None), ("Charset", "none"), ("MIMEncode", None)):
            with self.subTest(key=key):
                ini = dict(BASE_INI)
                if value is None:
                    del ini[key]
                else:
                    ini[key] = value
                self.write_ini(ini)
                run = self.run_formsend(self.form())
                self.assertEqual(run.stdout, ("Location: %s\r\n\r\n" % KO_URL).encode())
                self.assertEqual(run.rc, 1)
                self.assertEqual(run.log, crlf(self.HEAD + "Invalid FORMSEND.INI\nProgram aborted\n"))

    def test_log_cannot_be_opened(self):
        os.makedirs(os.path.join(self.dir, "Formsend.log"))
        r = txharness.run([EXE], cwd=self.dir, env={"CONTENT_LENGTH": "0"}, input=b"")
        self.assertEqual(r.stdout, INTERNAL_ERROR)
        self.assertEqual(r.returncode, 1)


class EightBitWire(FormsendCase):
    """8-bit mail as today's servers take it: aiosmtpd with its own limits (no line over
    1,000 octets with its CR LF, lines ending in CR LF only)."""

    HEADER = "From: Web Master <webmaster@example.org>\nTo: anne@example.com\n"
    LONG_LINE_NOTE = b"A line is longer than 998 characters: sending the mail quoted-printable\r\n"

    @staticmethod
    def lines(text):
        """A text with its line ends aside: CR LF, LF and CR all count as one."""
        if isinstance(text, str):
            text = text.encode("latin-1")
        return text.replace(b"\r\n", b"\n").replace(b"\r", b"\n")

    def deliver(self, template, *fields, text="Hi there"):
        """Runs formsend with `template`; returns the run, the X-mailer block and the text
        as received, after checking what every 8-bit delivery must show."""
        self.write("t.txt", template)
        with RecordingSmtp() as srv:
            run = self.run_formsend(self.form(*fields, template="t.txt", text=text))
        self.assertEqual(run.stdout, ("Location: %s\r\n\r\n" % OK_URL).encode(), run.log)
        self.assertEqual(run.rc, 0)
        self.assertIsNone(run.dead)
        self.assertIn(b"Mail sent\r\n", run.log)
        self.assertEqual(len(srv.handler.messages), 1)
        raw = bytes(srv.handler.raw)
        self.assertIsNone(re.search(rb"(?<!\r)\n", raw), "a bare LF on the wire")
        self.assertIsNone(re.search(rb"\r(?!\n)", raw), "a bare CR on the wire")
        self.assertLessEqual(max(len(line) for line in raw.split(b"\r\n")), 998)
        block, received = split_block(srv.handler.messages[0][2])
        return run, block, received

    def assert_eight_bit(self, run, block, received, body):
        self.assertEqual(block, BLOCK_8BIT.encode())
        self.assertNotIn(self.LONG_LINE_NOTE, run.log)
        # the server took the extra dots off again; the text ends with the line that
        # the end-of-data sequence brings
        self.assertEqual(self.lines(received), self.lines(self.HEADER + body + "\n"))

    def test_three_and_thirty_kilobytes(self):
        for size, count in ((3, 31), (30, 310)):
            with self.subTest(kilobytes=size):
                template = "".join("Line %03d of $Name$: %s\n" % (i, "x" * 78) for i in range(count))
                self.assertGreaterEqual(len(template), size * 1000)
                run, block, received = self.deliver(template)
                self.assert_eight_bit(run, block, received, template.replace("$Name$", "Bob"))

    def test_line_of_990_characters_stays_8bit(self):
        line = "$Name$ " + "y" * 983
        self.assertEqual(len(line), 990)
        template = "Before\n" + line + "\n.dot line\nAfter\n"
        run, block, received = self.deliver(template)
        self.assert_eight_bit(run, block, received, template.replace("$Name$", "Bob"))
        self.assertIn(b"\r\nBob " + b"y" * 983 + b"\r\n", received)

    def test_crlf_lone_cr_and_dots_inside_a_value(self):
        value = "first line\r\nsecond line\r\n.\r\n.hidden\rthird\r.\rlast"
        run, block, received = self.deliver("Hello $Name$,\n$Text$\n-- \n", text=value)
        self.assert_eight_bit(run, block, received, "Hello Bob,\n" + value + "\n-- \n")
        # each line end of the value is one CR LF on the wire, not CR CR LF
        self.assertIn(b"first line\r\nsecond line\r\n.\r\n.hidden\r\nthird\r\n.\r\nlast\r\n", received)

    def test_value_of_2000_characters_without_line_breaks_goes_quoted_printable(self):
        # The value goes in whole, one line longer than SMTP carries: the whole mail
        # goes out quoted-printable, as the program writes it with MIMEncode=yes.
        template = "Hello $Name$,\nyour message:\n$Text$\n-- \n"
        value = "".join("%c" % (0x41 + i % 26) for i in range(2000))
        self.write("t.txt", template)
        with RecordingSmtp(refuse_message=True):  # the plain text, as the dead letter keeps it
            plain = self.run_formsend(self.form(template="t.txt", text=value)).dead
        os.remove(os.path.join(self.dir, "dead.letter.txt"))
        plain = plain.split(b"\r\n", 1)[1].rsplit(b"\r\n--- CUT HERE ---\r\n", 1)[0]
        self.assertIn(b"\r\nyour message:\r\n" + value.encode() + b"\r\n-- \r\n", plain)
        run, block, received = self.deliver(template, text=value)
        self.assertIn(b"Content-transfer-encoding: Quoted-Printable\r\n", block)
        self.assertIn(self.LONG_LINE_NOTE + b"OK, let's go to send the mail, now...\r\n", run.log)
        decoded = quopri.decodestring(received)
        body = plain.split(b"\r\nTo: anne@example.com\r\n", 1)[1]
        self.assertTrue(self.lines(decoded).endswith(self.lines(body + b"\r\n")), decoded[-200:])



class Mends(FormsendCase):
    """The faults mended in this program, each checked where it would show."""

    def assert_refused(self, run, line, srv):
        self.assertEqual(run.stdout, ("Location: %s\r\n\r\n" % KO_URL).encode())
        self.assertEqual(run.rc, 1)
        self.assertIsNone(run.dead)
        self.assertEqual(srv.handler.commands, [])
        self.assertEqual(run.log, crlf("\n--- Quenby's Formsend V1.03\n\n" + line +
                                       "Error: Some needed HTML variables were not sent by form.\n"
                                       "Check your HTML form \n"))

    def test_line_breaks_in_header_fields_are_refused(self):
        for field in ("$Sender$", "$Realname$", "$Subject$", "$To$", "$Cc$", "$Bcc$"):
            with self.subTest(field=field):
                with RecordingSmtp() as srv:
                    run = self.run_formsend(self.form((field, "x@y.org\r\nRCPT TO: victim@example.com")))
                self.assert_refused(run, "Refused field %s: line break in its value\n" % field, srv)

    def test_template_outside_the_working_directory_is_refused(self):
        with open(os.path.join(WORK, "secret.txt"), "w") as f:
            f.write("secret\n")
        for path in ("..\\secret.txt", "../secret.txt", txharness.winpath(os.path.join(WORK, "secret.txt")),
                     "\\windows\\win.ini", "/etc/passwd", "c:..\\x"):
            with self.subTest(path=path):
                with RecordingSmtp() as srv:
                    run = self.run_formsend(self.form(template=path))
                self.assert_refused(run, "Refused template path %s: not a file inside the working directory\n"
                                    % path, srv)

    def test_template_in_a_subfolder_is_allowed(self):
        os.makedirs(os.path.join(self.dir, "forms"))
        self.write("forms/m.txt", "sub $Name$\n")
        with RecordingSmtp() as srv:
            run = self.run_formsend(self.form(template="forms\\m.txt"))
        self.assertEqual(run.rc, 0)
        self.assertTrue(srv.handler.messages[0][2].endswith(b"\r\nsub Bob\r\n\r\n"))

    def test_unopenable_template_fails_the_run(self):
        with RecordingSmtp() as srv:
            run = self.run_formsend(self.form(template="missing.txt"))
        self.assertEqual(run.stdout, ("Location: %s\r\n\r\n" % KO_URL).encode())
        self.assertEqual(run.rc, 1)
        self.assertIsNone(run.dead)
        self.assertEqual(srv.handler.commands, [])
        self.assertEqual(run.log, crlf(self.HEAD + "Error: cannot open the mail template missing.txt\n"
                                       "Program aborted\n"))

    def test_oversize_body_is_refused(self):
        body = self.form() + b"&pad=" + b"x" * (1 << 20)
        with RecordingSmtp() as srv:
            run = self.run_formsend(body)
        self.assertEqual(run.stdout, INTERNAL_ERROR)
        self.assertEqual(run.rc, 1)
        self.assertEqual(srv.handler.commands, [])
        self.assertIn(b"Refused form body: larger than 1048576 bytes\r\n", run.log)

    def test_long_values_and_many_fields_are_cut(self):
        long_subject = "S" * 500
        many = [("f%d" % i, "v") for i in range(1200)]
        body = self.form(("$Subject$", long_subject), ("$Sender$", "s" * 100 + "@x.org"),
                         *many, text="T" * 3000)
        with RecordingSmtp() as srv:
            run = self.run_formsend(body)
        self.assertEqual(run.rc, 0)
        self.assertIn(("MAIL", "s" * 64), srv.handler.commands)
        # "$Text$" goes in whole; its line is longer than SMTP carries, so the mail went
        # quoted-printable
        block, text = split_block(srv.handler.messages[0][2])
        self.assertIn(b"Content-transfer-encoding: Quoted-Printable", block)
        msg = quopri.decodestring(text).decode("latin-1").replace("\r\n", "\n")
        self.assertIn("\nSubject: =?iso-8859-1?Q?" + "S" * 199 + "?", msg)
        self.assertNotIn("S" * 200, msg)
        self.assertIn("\nyour message:\n" + "T" * 3000 + "\n-- \n", msg)

    def test_value_cannot_end_the_message_early(self):
        smuggled = "ok\r\n.\r\nMAIL FROM: evil@x\r\nRCPT TO: victim@example.com\r\nDATA\r\nspam\r\n"
        body = self.form(text=smuggled)
        with RecordingSmtp() as srv:
            run = self.run_formsend(body)
        self.assertEqual(run.rc, 0)
        self.assertEqual([c for c in srv.handler.commands if c[0] == "MAIL"], [("MAIL", "webmaster@example.org")])
        self.assertEqual(len(srv.handler.messages), 1)
        # the stuffed line reaches the server whole and comes out as the visitor wrote it
        self.assertIn(b"\nok\r\n.\r\nMAIL FROM: evil@x\r\n", srv.handler.messages[0][2])


if __name__ == "__main__":
    os.makedirs(WORK, exist_ok=True)
    unittest.main(verbosity=2)

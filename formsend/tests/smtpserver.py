"""SMTP peers for the formsend tests, on 127.0.0.1 port 25.

RecordingSmtp: Debian's aiosmtpd with its own limits and a handler of ours that records
the dialogue (HELO, MAIL, RCPT in order, DATA, QUIT), the message as received and the
raw bytes, and can refuse chosen recipients or the message.

ScriptedSmtp: a small socket server of our own for the gateways that misbehave: a
greeting of any text, a reply per command that can be a text, a list of packets sent
apart, a close of the connection or a stall.
"""
import asyncio
import socket
import threading
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP

HOST = "127.0.0.1"
PORT = 25
SERVER_NAME = "mail.test"


class RecordingHandler:
    def __init__(self, refuse_rcpts=(), refuse_message=False):
        self.refuse_rcpts = set(refuse_rcpts)
        self.refuse_message = refuse_message
        self.commands = []      # ("HELO", host), ("MAIL", addr), ("RCPT", addr), ("DATA",), ("QUIT",)
        self.messages = []      # (mail_from, [rcpt], content bytes)
        self.raw = bytearray()  # every byte received, commands and data, as it came

    async def handle_HELO(self, server, session, envelope, hostname):
        self.commands.append(("HELO", hostname))
        session.host_name = hostname
        return "250 %s" % SERVER_NAME

    async def handle_MAIL(self, server, session, envelope, address, options):
        self.commands.append(("MAIL", address))
        envelope.mail_from = address
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, options):
        self.commands.append(("RCPT", address))
        if address in self.refuse_rcpts:
            return "550 No such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.commands.append(("DATA",))
        self.messages.append((envelope.mail_from, list(envelope.rcpt_tos), envelope.original_content))
        if self.refuse_message:
            return "554 Message refused"
        return "250 Message accepted for delivery"

    async def handle_QUIT(self, server, session, envelope):
        self.commands.append(("QUIT",))
        return "221 Bye"


class _RawRecordingSmtp(SMTP):
    # aiosmtpd as it comes (lines of at most 1001 octets with their CR LF, as RFC 5321
    # allows), keeping every byte the client sent, before any parsing, in handler.raw.
    def data_received(self, data):
        self.event_handler.raw += data
        super().data_received(data)


class RecordingSmtp:
    """aiosmtpd on 127.0.0.1:25; use as a context manager."""

    def __init__(self, **kw):
        self.handler = RecordingHandler(**kw)
        self.controller = None

    def __enter__(self):
        handler = self.handler

        class _Controller(Controller):
            def factory(self):
                return _RawRecordingSmtp(handler, hostname=SERVER_NAME, ident="ESMTP test",
                                      decode_data=False, data_size_limit=None)

        self.controller = _Controller(handler, hostname=HOST, port=PORT, ready_timeout=10)
        self.controller.start()
        return self

    def __exit__(self, *exc):
        self.controller.stop()

    @property
    def greeting(self):
        return "220 %s ESMTP test" % SERVER_NAME


class ScriptedSmtp(threading.Thread):
    """A socket SMTP server that answers as told.

    greeting and each entry of replies (keyed by the command word: HELO, MAIL, RCPT,
    DATA, MESSAGE for the end of the data, QUIT) is one of:
      bytes                  sent as one packet
      [bytes, bytes, ...]    sent as separate packets, `gap` seconds apart
      "close"                the connection is closed instead
      "stall"                nothing is sent and the connection stays open
    """

    DEFAULT = {"HELO": b"250 mail.test\r\n", "MAIL": b"250 OK\r\n", "RCPT": b"250 OK\r\n",
               "DATA": b"354 Go ahead\r\n", "MESSAGE": b"250 Accepted\r\n", "QUIT": b"221 Bye\r\n"}

    def __init__(self, greeting=b"220 mail.test ready\r\n", replies=None, gap=0.3):
        super().__init__(daemon=True)
        self.greeting = greeting
        self.replies = dict(self.DEFAULT)
        self.replies.update(replies or {})
        self.gap = gap
        self.commands = []   # command lines as received (bytes, without CR LF)
        self.message = None  # the data up to its final dot, as received
        self.done = threading.Event()
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind((HOST, PORT))
        self.sock.listen(5)
        self.sock.settimeout(0.5)
        self.stop_flag = False

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop_flag = True
        self.join(5)
        self.sock.close()

    def _answer(self, conn, what):
        if what == "close":
            return False
        if what == "stall":
            while not self.stop_flag:
                time.sleep(0.1)
            return False
        if isinstance(what, bytes):
            conn.sendall(what)
        else:
            for i, packet in enumerate(what):
                if i:
                    time.sleep(self.gap)
                conn.sendall(packet)
        return True

    def _serve(self, conn):
        buf = b""
        conn.settimeout(0.2)

        def read_until(marker):
            nonlocal buf
            while marker not in buf:
                if self.stop_flag:
                    return None
                try:
                    chunk = conn.recv(65536)
                except socket.timeout:
                    continue
                if not chunk:
                    return None
                buf += chunk
            i = buf.index(marker) + len(marker)
            got, buf = buf[:i], buf[i:]
            return got

        if not self._answer(conn, self.greeting):
            return
        while True:
            line = read_until(b"\r\n")
            if line is None:
                return
            line = line[:-2]
            self.commands.append(line)
            verb = line.split(b" ")[0].split(b":")[0].upper().decode("latin-1")
            if verb not in self.replies:
                conn.sendall(b"500 Unknown command\r\n")
                continue
            if not self._answer(conn, self.replies[verb]):
                return
            answer = self.replies["DATA"]
            if isinstance(answer, list):
                answer = b"".join(answer)
            if verb == "DATA" and isinstance(answer, bytes) and answer.startswith(b"3"):
                data = read_until(b"\r\n.\r\n")
                if data is None:
                    return
                self.message = data
                if not self._answer(conn, self.replies["MESSAGE"]):
                    return
            if verb == "QUIT":
                return

    def run(self):
        while not self.stop_flag:
            try:
                conn, _ = self.sock.accept()
            except socket.timeout:
                continue
            try:
                self._serve(conn)
            except OSError:
                pass
            finally:
                conn.close()
                self.done.set()

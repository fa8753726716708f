#!/usr/bin/env python3
"""A reference print service for Norvalisk, on loopback.

It stands in for the print service so that the program's network code meets a real
server: the API script (login, registration and card upload), the help pages shown in
the web view, the site's login page and the help page. Accounts live in SQLite; every
upload is kept on disk as a folder with fields.json, front.png and back.png.

For tests it can record the raw bytes of every request it receives and it can be told
to misbehave (refuse with an error text, answer slowly, drop the connection, send a long
or an exact reply), from the command line or, with --control, at run time through
/_control/... requests. It can also hold an API reply until a test releases it, stall
an upload after its headers (reading the body only as far as the test feeds it), and
read a body slowly, so that tests wait on what the service reports instead of on the
clock. Only the Python standard library is used.

    python3 tools/service/norvalisk_service.py --port 8750 --data DIR
"""

import argparse
import hashlib
import hmac
import html
import json
import os
import re
import secrets
import select
import signal
import socket
import sqlite3
import sys
import threading
import time
from datetime import datetime
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import unquote_to_bytes, urlsplit

API_PATH = "/admin/norvalisk/norvix_api.php"
HELP_PAGE_PATH = "/admin/norvalisk/help_page.php"
LOGIN_PAGE_PATH = "/press_login.php"
HELP_PATH = "/help.php"
CONTROL_PREFIX = "/_control/"

# The program's texts are Shift-JIS (code page 932), and so are the service's replies.
ENCODING = "cp932"
SUCCESS = b"TRUE"

MESSAGES = {
    "bad_request": "不正なリクエストです。",
    "application": "アプリケーションが正しくありません。",
    "bad_login": "IDまたはパスワードが正しくありません。",
    "bad_format": "IDまたはパスワードの形式が正しくありません。（半角英数 4～20文字）",
    "taken": "このIDは既に使用されています。別のIDを入力して下さい。",
    "size": "名刺のサイズが正しくありません。",
    "no_front": "表面の画像がありません。",
    "not_png": "画像ファイルの形式が正しくありません。",
    "refused": "ただいまサービスを停止しております。しばらくしてから再度お試しください。",
}

ID_PATTERN = re.compile(rb"[0-9A-Za-z_-]{4,20}")
PASSWORD_PATTERN = re.compile(rb"[0-9A-Za-z]{4,20}")
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
HASH_ROUNDS = 20000
MAX_BODY = 64 * 1024 * 1024


def message(key):
    return MESSAGES[key].encode(ENCODING)


def parse_form(data):
    """Form data (bytes) to a dict of bytes; the last value of a name wins."""
    fields = {}
    for pair in data.split(b"&"):
        if not pair:
            continue
        name, _, value = pair.partition(b"=")
        fields[unquote_to_bytes(name.replace(b"+", b" "))] = unquote_to_bytes(value.replace(b"+", b" "))
    return fields


def parse_multipart(body, content_type):
    """A multipart/form-data body to a list of (headers dict, value bytes); None if malformed."""
    match = re.search(r'boundary="?([^";]+)"?', content_type or "", re.IGNORECASE)
    if not match:
        return None
    delimiter = b"--" + match.group(1).encode("latin-1")
    pieces = body.split(delimiter)
    if len(pieces) < 2 or not pieces[-1].startswith(b"--"):
        return None
    parts = []
    for piece in pieces[1:-1]:
        if not piece.startswith(b"\r\n") or not piece.endswith(b"\r\n"):
            return None
        head, separator, value = piece[2:-2].partition(b"\r\n\r\n")
        if not separator:
            return None
        headers = {}
        for line in head.split(b"\r\n"):
            key, _, text = line.partition(b":")
            headers[key.strip().lower().decode("latin-1")] = text.strip()
        parts.append((headers, value))
    return parts


def disposition_params(value):
    """name and filename of a Content-Disposition value (bytes)."""
    return {m.group(1).decode("latin-1").lower(): m.group(2) for m in re.finditer(rb'(\w+)="([^"]*)"', value)}


class Behaviour:
    """How the API script answers: normally, or one of the misbehaviours for tests.

    Besides the reply modes it keeps the gates a test steers an API request through:
    `stall` stops reading a request's body after its headers (the test feeds bytes or
    releases it), `rate` reads a body at that many bytes a second, and `hold` keeps the
    reply of a whole request back until the test releases it. The counters describe what
    the API requests went through, for tests to wait on."""

    MODES = ("normal", "refuse", "drop", "long", "reply")
    COUNTERS = ("started", "stalled", "held", "answered", "aborted")

    def __init__(self):
        self.lock = threading.Condition()
        self.counts = dict.fromkeys(self.COUNTERS, 0)
        self.reset()

    def reset(self):
        """Normal answers, no gate; whatever waits at a gate goes on."""
        with self.lock:
            self.mode = "normal"
            self.delay = 0.0
            self.text = message("refused")
            self.length = 5000
            self.stall = False
            self.hold = False
            self.rate = 0
            self.fed = 0
            self.release_count = getattr(self, "release_count", 0) + 1
            self.counts = dict.fromkeys(self.COUNTERS, 0)
            self.body_read = 0
            self.body_length = 0
            self.lock.notify_all()

    def set(self, mode=None, delay=None, text=None, length=None, stall=None, hold=None, rate=None):
        with self.lock:
            if mode is not None:
                if mode not in self.MODES:
                    raise ValueError(mode)
                self.mode = mode
            if delay is not None:
                self.delay = float(delay)
            if text is not None:
                self.text = text
            if length is not None:
                self.length = int(length)
            if stall is not None:
                self.stall = int(stall) != 0
            if hold is not None:
                self.hold = int(hold) != 0
            if rate is not None:
                self.rate = int(rate)
                if self.rate < 0:
                    raise ValueError(rate)

    def snapshot(self):
        with self.lock:
            return self.mode, self.delay, self.text, self.length

    # ---- gates ----

    def count(self, name, step=1):
        with self.lock:
            self.counts[name] += step
            self.lock.notify_all()

    def feed(self, size):
        """Lets a stalled body read `size` more bytes."""
        with self.lock:
            self.fed += size
            self.lock.notify_all()

    def release(self):
        """Stalled bodies are read on and held replies go out; later requests pass freely."""
        with self.lock:
            self.stall = False
            self.hold = False
            self.release_count += 1
            self.lock.notify_all()

    def state(self):
        with self.lock:
            values = dict(self.counts, read=self.body_read, length=self.body_length,
                          stall=int(self.stall), hold=int(self.hold))
        return " ".join("%s=%d" % item for item in values.items())

    def read_body(self, stream, length):
        """Reads `length` body bytes through the stall and rate gates. None when the peer
        went before the body was whole."""
        with self.lock:
            self.body_read, self.body_length = 0, length
            stalled = self.stall
            if stalled:
                self.counts["stalled"] += 1
                self.lock.notify_all()
        data = bytearray()
        started = time.monotonic()
        while len(data) < length:
            piece = min(65536, length - len(data))
            with self.lock:
                rate = self.rate
                if stalled:
                    while self.stall and self.fed == 0:
                        self.lock.wait()
                    if self.stall:
                        piece = min(piece, self.fed)
                        self.fed -= piece
                    else:
                        stalled = False
            if rate:
                piece = min(piece, max(1, rate // 20))
                ahead = (len(data) + piece) / rate - (time.monotonic() - started)
                if ahead > 0:
                    time.sleep(ahead)
            chunk = stream.read(piece)
            if not chunk:
                return None
            data += chunk
            with self.lock:
                self.body_read = len(data)
                self.lock.notify_all()
        return bytes(data)

    def wait_release(self):
        """Holds a finished request until the test releases it (or resets the service)."""
        with self.lock:
            if not self.hold:
                return
            self.counts["held"] += 1
            self.lock.notify_all()
            seen = self.release_count
            while self.release_count == seen:
                self.lock.wait()


def long_reply(length):
    """A reply of `length` bytes: the alphabet over and over, so any cut can be checked."""
    alphabet = b"ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    return (alphabet * (length // len(alphabet) + 1))[:length]


class Recorder:
    """Raw bytes of every request received (control requests aside), in memory and on disk."""

    def __init__(self, folder=None):
        self.folder = folder
        self.lock = threading.Lock()
        self.requests = []
        self.written = 0
        if folder:
            os.makedirs(folder, exist_ok=True)
            self.written = len([n for n in os.listdir(folder) if n.endswith(".http")])

    def add(self, raw):
        with self.lock:
            self.requests.append(raw)
            if self.folder:
                self.written += 1
                with open(os.path.join(self.folder, "%06d.http" % self.written), "wb") as out:
                    out.write(raw)

    def last(self):
        with self.lock:
            return self.requests[-1] if self.requests else None

    def count(self):
        with self.lock:
            return len(self.requests)

    def clear(self):
        with self.lock:
            self.requests.clear()


class Store:
    """Accounts in SQLite and uploaded cards in folders under the data folder."""

    def __init__(self, folder):
        self.folder = folder
        self.uploads = os.path.join(folder, "uploads")
        os.makedirs(self.uploads, exist_ok=True)
        self.lock = threading.Lock()
        self.database = os.path.join(folder, "accounts.sqlite3")
        with self.connect() as db:
            db.execute(
                "CREATE TABLE IF NOT EXISTS accounts (id TEXT PRIMARY KEY, salt BLOB NOT NULL,"
                " hash BLOB NOT NULL, created TEXT NOT NULL)"
            )

    def connect(self):
        return sqlite3.connect(self.database, timeout=10)

    @staticmethod
    def hash(password, salt):
        return hashlib.pbkdf2_hmac("sha256", password, salt, HASH_ROUNDS)

    def register(self, user, password):
        """None on success, else the key of the error message."""
        if not ID_PATTERN.fullmatch(user) or not PASSWORD_PATTERN.fullmatch(password):
            return "bad_format"
        salt = secrets.token_bytes(16)
        with self.lock, self.connect() as db:
            try:
                db.execute(
                    "INSERT INTO accounts VALUES (?, ?, ?, ?)",
                    (user.decode("ascii"), salt, self.hash(password, salt), datetime.now().isoformat()),
                )
            except sqlite3.IntegrityError:
                return "taken"
        return None

    def check(self, user, password):
        if not ID_PATTERN.fullmatch(user or b""):
            return False
        with self.lock, self.connect() as db:
            row = db.execute("SELECT salt, hash FROM accounts WHERE id = ?", (user.decode("ascii"),)).fetchone()
        return row is not None and hmac.compare_digest(self.hash(password or b"", row[0]), row[1])

    def save_upload(self, user, fields, files):
        """Stores one card; returns its folder."""
        with self.lock:
            number = len(os.listdir(self.uploads)) + 1
            while True:
                folder = os.path.join(self.uploads, "%06d" % number)
                try:
                    os.makedirs(folder)
                    break
                except FileExistsError:
                    number += 1
        record = {
            "id": user.decode("ascii"),
            "received": datetime.now().isoformat(timespec="seconds"),
            "fields": {name: value.decode(ENCODING, "replace") for name, value in fields.items()},
            "files": {},
        }
        for name, (filename, content_type, data) in files.items():
            with open(os.path.join(folder, name + ".png"), "wb") as out:
                out.write(data)
            record["files"][name] = {
                "filename": filename.decode(ENCODING, "replace"),
                "content_type": content_type.decode("latin-1"),
                "size": len(data),
            }
        with open(os.path.join(folder, "fields.json"), "w", encoding="utf-8") as out:
            json.dump(record, out, ensure_ascii=False, indent=2)
        return folder

    def uploads_of(self, user):
        found = []
        for name in sorted(os.listdir(self.uploads)):
            try:
                with open(os.path.join(self.uploads, name, "fields.json"), encoding="utf-8") as source:
                    record = json.load(source)
            except (OSError, ValueError):
                continue
            if record.get("id") == user:
                found.append(record)
        return found


class RecordingReader:
    """Wraps the connection's input and keeps a copy of every byte read for one request."""

    def __init__(self, stream):
        self.stream = stream
        self.copy = bytearray()

    def start(self):
        self.copy = bytearray()

    def readline(self, *args):
        line = self.stream.readline(*args)
        self.copy += line
        return line

    def read(self, *args):
        data = self.stream.read(*args)
        self.copy += data
        return data

    def __getattr__(self, name):
        return getattr(self.stream, name)


PAGES = {
    "info": (
        "ノルヴァリスクへようこそ",
        "印刷メニューからプリンター「Norvalisk」を選んで名刺のデザインを印刷すると、ページがここに届きます。"
        "ページを選び、名刺の範囲を合わせて「切り取り」を押してください。",
    ),
    "data_cut": (
        "名刺の切り取り",
        "表面を切り取ったら「裏面」のタブに切り替えて、同じように裏面を切り取ってください。"
        "切り取った画像は右のプレビューで確認できます。",
    ),
    "upload": (
        "アップロード",
        "名称を入力して「送信開始」を押すと、表面と裏面の画像がサービスに送られます。"
        "送信にはログインが必要です。",
    ),
}


def html_page(title, *paragraphs):
    body = "".join("<p>%s</p>\n" % p for p in paragraphs)
    text = (
        '<!DOCTYPE html>\n<html lang="ja"><head><meta charset="Shift_JIS">'
        "<title>%s</title></head>\n<body><h1>%s</h1>\n%s</body></html>\n" % (html.escape(title), html.escape(title), body)
    )
    return text.encode(ENCODING, "xmlcharrefreplace")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "NorvaliskReference/1.0"

    def setup(self):
        super().setup()
        self.rfile = RecordingReader(self.rfile)

    def handle_one_request(self):
        self.rfile.start()
        super().handle_one_request()

    # ---- plumbing ----

    def log_message(self, format, *args):
        self.server.log("%s %s" % (self.address_string(), format % args))

    def read_body(self):
        """The body, or None when its length is bad (the caller refuses it) or, for the API
        script, when the peer went before sending it whole (nothing is answered then)."""
        length = self.headers.get("Content-Length")
        try:
            length = int(length) if length is not None else 0
        except ValueError:
            length = -1
        if length < 0 or length > MAX_BODY:
            self.close_connection = True
            return None
        if urlsplit(self.path).path == API_PATH:
            behaviour = self.server.behaviour
            behaviour.count("started")
            body = behaviour.read_body(self.rfile, length)
            if body is None:
                self.close_connection = True
                behaviour.count("aborted")
                self.server.log("request ended by the peer before its body was whole")
                self.aborted = True
            return body
        data = self.rfile.read(length) if length else b""
        return data if len(data) == length else None

    def send(self, status, body, content_type="text/plain; charset=Shift_JIS"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def send_html(self, body, status=200):
        self.send(status, body, "text/html; charset=Shift_JIS")

    def drop(self):
        """Ends the connection without any reply."""
        self.close_connection = True
        try:
            self.wfile.flush()
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def do_GET(self):
        self.dispatch(b"")

    def do_POST(self):
        self.aborted = False
        body = self.read_body()
        if body is None:
            if not self.aborted:
                self.send(400, message("bad_request"))
            return
        self.dispatch(body)

    do_HEAD = do_GET

    def dispatch(self, body):
        url = urlsplit(self.path)
        if url.path.startswith(CONTROL_PREFIX) and self.server.control:
            self.control(url.path[len(CONTROL_PREFIX):], parse_form(url.query.encode("latin-1")))
            return
        self.server.recorder.add(bytes(self.rfile.copy))
        query = parse_form(url.query.encode("latin-1"))
        if url.path == API_PATH:
            self.api(body)
        elif url.path == HELP_PAGE_PATH:
            self.help_page(query)
        elif url.path == LOGIN_PAGE_PATH:
            self.login_page(query)
        elif url.path == HELP_PATH:
            self.send_html(html_page("ノルヴァリスク ヘルプ", *[text for _, text in PAGES.values()]))
        else:
            self.send_html(html_page("ページが見つかりません"), 404)

    # ---- the API script ----

    def peer_gone(self):
        """True when the peer has closed its side of the connection."""
        try:
            readable, _, _ = select.select([self.connection], [], [], 0)
            return bool(readable) and self.connection.recv(1, socket.MSG_PEEK) == b""
        except OSError:
            return True

    def api(self, body):
        behaviour = self.server.behaviour
        behaviour.wait_release()
        if self.peer_gone():
            # Given up by the program while it waited: nothing is done with it.
            self.close_connection = True
            behaviour.count("aborted")
            self.server.log("request given up by the peer while held")
            return
        mode, delay, text, length = behaviour.snapshot()
        if delay > 0:
            time.sleep(delay)
        behaviour.count("answered")
        if mode == "drop":
            self.drop()
            return
        if mode == "refuse":
            self.send(200, text)
            return
        if mode == "reply":
            self.send(200, text)
            return
        if mode == "long":
            self.send(200, long_reply(length))
            return
        self.send(200, self.api_reply(body))

    def api_reply(self, body):
        if self.command != "POST":
            return message("bad_request")
        content_type = self.headers.get("Content-Type", "")
        if content_type.lower().startswith("multipart/form-data"):
            parts = parse_multipart(body, content_type)
            if parts is None:
                return message("bad_request")
            return self.upload(parts)
        fields = parse_form(body)
        if fields.get(b"application") != b"norvalisk":
            return message("application")
        mode = fields.get(b"mode")
        user, password = fields.get(b"id", b""), fields.get(b"pwd", b"")
        if mode == b"login":
            return SUCCESS if self.server.store.check(user, password) else message("bad_login")
        if mode == b"regist":
            problem = self.server.store.register(user, password)
            return SUCCESS if problem is None else message(problem)
        return message("bad_request")

    def upload(self, parts):
        fields, files = {}, {}
        for headers, value in parts:
            params = disposition_params(headers.get("content-disposition", b""))
            name = params.get("name", b"").decode("latin-1")
            if "filename" in params:
                files[name] = (params["filename"], headers.get("content-type", b""), value)
            else:
                fields[name] = value
        if fields.get("application") != b"norvalisk":
            return message("application")
        if fields.get("mode") != b"upload":
            return message("bad_request")
        user = fields.get("id", b"")
        if not self.server.store.check(user, fields.get("pwd", b"")):
            return message("bad_login")
        try:
            sizes = [float(fields[name].decode("ascii")) for name in ("width", "height", "nuritashi")]
        except (KeyError, ValueError, UnicodeDecodeError):
            return message("size")
        if not all(0 < size < 1000 for size in sizes[:2]) or not 0 <= sizes[2] < 100:
            return message("size")
        if "front" not in files:
            return message("no_front")
        if any(not data.startswith(PNG_SIGNATURE) for _, _, data in files.values()):
            return message("not_png")
        kept = {name: value for name, value in fields.items() if name != "pwd"}
        images = {name: files[name] for name in ("front", "back") if name in files}
        folder = self.server.store.save_upload(user, kept, images)
        self.server.log("stored upload of %s in %s" % (user.decode("ascii"), folder))
        return SUCCESS

    # ---- pages ----

    def help_page(self, query):
        page = query.get(b"page", b"").decode("latin-1")
        if page not in PAGES:
            self.send_html(html_page("ページが見つかりません"), 404)
            return
        self.send_html(html_page(*PAGES[page]))

    def login_page(self, query):
        user, password = query.get(b"id", b""), query.get(b"pwd", b"")
        if query.get(b"mode") != b"_LOGIN" or not self.server.store.check(user, password):
            self.send_html(html_page("ログイン", MESSAGES["bad_login"]), 403)
            return
        name = user.decode("ascii")
        cards = self.server.store.uploads_of(name)
        lines = ["%s さん、ようこそ。登録された名刺は %d 件です。" % (html.escape(name), len(cards))]
        for card in cards:
            fields = card.get("fields", {})
            lines.append(
                "%s ／ %s × %s mm（塗り足し %s mm）／ %s"
                % tuple(html.escape(str(v)) for v in (
                    fields.get("title", ""), fields.get("width", ""), fields.get("height", ""),
                    fields.get("nuritashi", ""), card.get("received", ""),
                ))
            )
        self.send_html(html_page("マイページ", *lines))

    # ---- test control ----

    def control(self, command, query):
        behaviour, recorder = self.server.behaviour, self.server.recorder
        def number(name):
            return query[name].decode("ascii") if name in query else None

        if command == "set":
            try:
                behaviour.set(
                    mode=number(b"mode"), delay=number(b"delay"), text=query.get(b"text"),
                    length=number(b"length"), stall=number(b"stall"), hold=number(b"hold"),
                    rate=number(b"rate"),
                )
            except (ValueError, UnicodeDecodeError):
                self.send(400, b"bad setting")
                return
            self.send(200, b"OK")
        elif command == "feed":
            try:
                size = int(number(b"bytes") or "")
            except ValueError:
                self.send(400, b"bad setting")
                return
            behaviour.feed(size)
            self.send(200, b"OK")
        elif command == "release":
            behaviour.release()
            self.send(200, b"OK")
        elif command == "state":
            self.send(200, behaviour.state().encode("ascii"))
        elif command == "reset":
            behaviour.reset()
            recorder.clear()
            self.send(200, b"OK")
        elif command == "last":
            raw = recorder.last()
            if raw is None:
                self.send(404, b"")
            else:
                self.send(200, raw, "application/octet-stream")
        elif command == "count":
            self.send(200, str(recorder.count()).encode("ascii"))
        else:
            self.send(404, b"")


class Service(ThreadingHTTPServer):
    daemon_threads = True
    block_on_close = False
    allow_reuse_address = True

    def __init__(self, address, store, recorder, behaviour, control=False, log=sys.stderr):
        self.store, self.recorder, self.behaviour, self.control = store, recorder, behaviour, control
        self.log_stream = log
        self.log_lock = threading.Lock()
        super().__init__(address, Handler)

    def log(self, text):
        with self.log_lock:
            self.log_stream.write("%s %s\n" % (datetime.now().isoformat(timespec="milliseconds"), text))
            self.log_stream.flush()


def make_service(data, host="127.0.0.1", port=8750, record=None, control=False, log=sys.stderr):
    return Service((host, port), Store(data), Recorder(record), Behaviour(), control, log)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Reference print service for Norvalisk.")
    parser.add_argument("--host", default="127.0.0.1", help="address to listen on (default 127.0.0.1)")
    parser.add_argument("--port", type=int, default=8750, help="port; 0 picks a free one (default 8750)")
    parser.add_argument("--data", default="service-data", help="folder of the accounts and uploads")
    parser.add_argument("--record", metavar="DIR", help="write the raw bytes of every request into DIR")
    parser.add_argument("--control", action="store_true", help="accept /_control/... requests (tests)")
    parser.add_argument("--ready-file", metavar="FILE", help="write the port into FILE once listening")
    parser.add_argument("--exit-after", type=float, metavar="SECONDS", help="stop after this time")
    parser.add_argument("--log", metavar="FILE", help="append the request log to FILE (default stderr)")
    parser.add_argument("--refuse", nargs="?", const=MESSAGES["refused"], metavar="TEXT",
                        help="answer every API request with this error text")
    parser.add_argument("--slow", type=float, metavar="SECONDS", help="wait before every API reply")
    parser.add_argument("--drop", action="store_true", help="drop API connections without a reply")
    parser.add_argument("--long", type=int, metavar="BYTES", help="answer the API with BYTES letters")
    parser.add_argument("--reply", metavar="TEXT", help="answer the API with exactly TEXT (\\r \\n allowed)")
    parser.add_argument("--hold", action="store_true", help="hold every API reply until released (with --control)")
    parser.add_argument("--stall", action="store_true", help="stall every API body after its headers until released")
    parser.add_argument("--rate", type=int, metavar="BYTES", help="read API bodies at BYTES a second")
    args = parser.parse_args(argv)

    log = open(args.log, "a", encoding="utf-8") if args.log else sys.stderr
    service = make_service(args.data, args.host, args.port, args.record, args.control, log)
    behaviour = service.behaviour
    if args.refuse is not None:
        behaviour.set(mode="refuse", text=args.refuse.encode(ENCODING))
    if args.reply is not None:
        behaviour.set(mode="reply", text=args.reply.replace("\\r", "\r").replace("\\n", "\n").encode(ENCODING))
    if args.long is not None:
        behaviour.set(mode="long", length=args.long)
    if args.drop:
        behaviour.set(mode="drop")
    if args.slow is not None:
        behaviour.set(delay=args.slow)
    behaviour.set(hold=int(args.hold), stall=int(args.stall), rate=args.rate)

    def stop(*_):
        threading.Thread(target=service.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    if args.exit_after:
        timer = threading.Timer(args.exit_after, stop)
        timer.daemon = True
        timer.start()

    port = service.server_address[1]
    if args.ready_file:
        temporary = args.ready_file + ".tmp"
        with open(temporary, "w") as out:
            out.write("%d\n" % port)
        os.replace(temporary, args.ready_file)
    service.log("Norvalisk reference service on http://%s:%d (data %s)" % (args.host, port, os.path.abspath(args.data)))
    try:
        service.serve_forever()
    finally:
        service.server_close()
        service.log("stopped")
    return 0


if __name__ == "__main__":
    sys.exit(main())

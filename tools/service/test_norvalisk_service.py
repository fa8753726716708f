"""Tests of the reference service: API replies, storage, pages, recording and misbehaviours."""

import http.client
import io
import json
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from urllib.parse import quote_from_bytes

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import norvalisk_service as service  # noqa: E402

API = service.API_PATH
FORM = {"Content-type": "application/x-www-form-urlencoded"}
BOUNDARY = "-7d836b1a4d0b3c"
PNG = b"\x89PNG\r\n\x1a\n" + b"\x00\x00\x00\x0dIHDR" + bytes(range(40))


def multipart(fields, files=()):
    """The body the program builds: text parts, file parts and the closing delimiter."""
    body = b""
    for name, value in fields:
        body += b"---7d836b1a4d0b3c\r\nContent-Disposition: form-data; name=\"%s\"\r\n\r\n%s\r\n" % (name, value)
    for name, filename, data in files:
        body += (
            b"---7d836b1a4d0b3c\r\nContent-Disposition: form-data; name=\"%s\"; filename=\"%s\"\r\n"
            b"Content-Type: image/png\r\n\r\n%s\r\n" % (name, filename, data)
        )
    return body + b"---7d836b1a4d0b3c--\r\n"


def upload_fields(user=b"user01", password=b"pass01", title="名刺".encode("cp932")):
    return [
        (b"application", b"norvalisk"), (b"mode", b"upload"), (b"title", title),
        (b"width", b"91.00"), (b"height", b"55.00"), (b"nuritashi", b"2.00"),
        (b"id", user), (b"pwd", password),
    ]


class ServiceTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.data = os.path.join(self.folder.name, "data")
        self.record = os.path.join(self.folder.name, "record")
        self.log = io.StringIO()
        self.service = service.make_service(self.data, port=0, record=self.record, control=True, log=self.log)
        self.port = self.service.server_address[1]
        self.thread = threading.Thread(target=self.service.serve_forever, daemon=True)
        self.thread.start()

    def tearDown(self):
        self.service.shutdown()
        self.service.server_close()
        self.thread.join(5)
        self.folder.cleanup()

    # ---- helpers ----

    def request(self, method, path, body=None, headers=None, timeout=10):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        try:
            connection.request(method, path, body=body, headers=headers or {})
            response = connection.getresponse()
            return response.status, response.read()
        finally:
            connection.close()

    def api(self, body):
        return self.request("POST", API, body, FORM)[1]

    def account(self, mode, user, password):
        return self.api(b"application=norvalisk&mode=%s&id=%s&pwd=%s" % (mode, user, password))

    def upload(self, body):
        headers = {"Content-type": "multipart/form-data; boundary=" + BOUNDARY}
        return self.request("POST", API, body, headers)[1]

    def control(self, command, **settings):
        query = "&".join("%s=%s" % (k, quote_from_bytes(v if isinstance(v, bytes) else str(v).encode()))
                         for k, v in settings.items())
        status, body = self.request("GET", "/_control/%s?%s" % (command, query))
        self.assertEqual(status, 200, body)
        return body

    # ---- API script: accounts ----

    def test_registration_then_login(self):
        self.assertEqual(self.account(b"regist", b"user01", b"pass01"), b"TRUE")
        self.assertEqual(self.account(b"login", b"user01", b"pass01"), b"TRUE")

    def test_refusals_are_shift_jis_texts(self):
        self.assertEqual(self.account(b"regist", b"user01", b"pass01"), b"TRUE")
        cases = [
            ("wrong password", self.account(b"login", b"user01", b"wrong1"), "bad_login"),
            ("unknown ID", self.account(b"login", b"nobody", b"pass01"), "bad_login"),
            ("ID taken", self.account(b"regist", b"user01", b"other1"), "taken"),
            ("ID too short", self.account(b"regist", b"abc", b"pass01"), "bad_format"),
            ("'_' in password", self.account(b"regist", b"user02", b"pa_ss1"), "bad_format"),
            ("other application", self.api(b"application=x&mode=login&id=user01&pwd=pass01"), "application"),
            ("unknown mode", self.api(b"application=norvalisk&mode=x&id=user01&pwd=pass01"), "bad_request"),
        ]
        for label, reply, key in cases:
            with self.subTest(label):
                self.assertEqual(reply, service.MESSAGES[key].encode("cp932"))

    def test_get_on_api_is_refused(self):
        status, body = self.request("GET", API)
        self.assertEqual(body, service.MESSAGES["bad_request"].encode("cp932"))

    def test_accounts_survive_a_restart(self):
        self.account(b"regist", b"user01", b"pass01")
        other = service.make_service(self.data, port=0, log=io.StringIO())
        try:
            self.assertTrue(other.store.check(b"user01", b"pass01"))
            self.assertFalse(other.store.check(b"user01", b"pass02"))
        finally:
            other.server_close()

    # ---- API script: uploads ----

    def test_upload_is_stored_with_its_fields(self):
        self.account(b"regist", b"user01", b"pass01")
        body = multipart(upload_fields(), [(b"front", b"front.png", PNG), (b"back", b"back.png", PNG)])
        self.assertEqual(self.upload(body), b"TRUE")
        folders = os.listdir(os.path.join(self.data, "uploads"))
        self.assertEqual(len(folders), 1)
        folder = os.path.join(self.data, "uploads", folders[0])
        with open(os.path.join(folder, "fields.json"), encoding="utf-8") as source:
            record = json.load(source)
        self.assertEqual(record["id"], "user01")
        self.assertEqual(record["fields"]["title"], "名刺")
        self.assertEqual(record["fields"]["width"], "91.00")
        self.assertEqual(record["fields"]["nuritashi"], "2.00")
        self.assertNotIn("pwd", record["fields"])
        self.assertEqual(record["files"]["front"], {"filename": "front.png", "content_type": "image/png", "size": len(PNG)})
        with open(os.path.join(folder, "front.png"), "rb") as source:
            self.assertEqual(source.read(), PNG)
        self.assertTrue(os.path.exists(os.path.join(folder, "back.png")))

    def test_upload_with_front_only_is_accepted(self):
        self.account(b"regist", b"user01", b"pass01")
        self.assertEqual(self.upload(multipart(upload_fields(), [(b"front", b"front.png", PNG)])), b"TRUE")

    def test_upload_refusals(self):
        self.account(b"regist", b"user01", b"pass01")
        fields = upload_fields()
        cases = [
            ("no front", multipart(fields), "no_front"),
            ("wrong password", multipart(upload_fields(password=b"nope12"), [(b"front", b"front.png", PNG)]), "bad_login"),
            ("not a PNG", multipart(fields, [(b"front", b"front.png", b"GIF89a")]), "not_png"),
            ("bad width", multipart([(n, b"x" if n == b"width" else v) for n, v in fields],
                                    [(b"front", b"front.png", PNG)]), "size"),
            ("cut body", multipart(fields, [(b"front", b"front.png", PNG)])[:-8], "bad_request"),
        ]
        for label, body, key in cases:
            with self.subTest(label):
                self.assertEqual(self.upload(body), service.MESSAGES[key].encode("cp932"))
        self.assertEqual(os.listdir(os.path.join(self.data, "uploads")), [])

    # ---- pages ----

    def test_pages(self):
        self.account(b"regist", b"user01", b"pass01")
        cases = [
            ("/admin/norvalisk/help_page.php?page=info", 200, "ノルヴァリスクへようこそ"),
            ("/admin/norvalisk/help_page.php?page=data_cut", 200, "名刺の切り取り"),
            ("/admin/norvalisk/help_page.php?page=upload", 200, "アップロード"),
            ("/admin/norvalisk/help_page.php?page=other", 404, "ページが見つかりません"),
            ("/press_login.php?mode=_LOGIN&from=View1&id=user01&pwd=pass01", 200, "user01 さん"),
            ("/press_login.php?mode=_LOGIN&from=View1&id=user01&pwd=wrong1", 403, "IDまたはパスワード"),
            ("/help.php", 200, "ヘルプ"),
            ("/nothing", 404, "ページが見つかりません"),
        ]
        for path, status, text in cases:
            with self.subTest(path):
                got_status, body = self.request("GET", path)
                self.assertEqual(got_status, status)
                self.assertIn(text, body.decode("cp932"))
        self.assertIn("page=data_cut", self.log.getvalue())

    # ---- recording ----

    def test_raw_request_is_recorded_exactly(self):
        raw = (b"POST " + API.encode() + b" HTTP/1.1\r\nHost: x\r\nUser-Agent: Application\r\n"
               b"Content-type: application/x-www-form-urlencoded\r\nContent-Length: 9\r\n\r\nabc=1&d=2")
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as connection:
            connection.sendall(raw)
            connection.recv(4096)
        self.assertEqual(self.request("GET", "/_control/last")[1], raw)
        self.assertEqual(self.request("GET", "/_control/count")[1], b"1")
        with open(os.path.join(self.record, "000001.http"), "rb") as source:
            self.assertEqual(source.read(), raw)

    def test_each_request_of_a_kept_alive_connection_is_recorded_apart(self):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        for number in (1, 2):
            connection.request("POST", API, b"n=%d" % number, FORM)
            connection.getresponse().read()
        connection.close()
        last = self.request("GET", "/_control/last")[1]
        self.assertTrue(last.startswith(b"POST "))
        self.assertTrue(last.endswith(b"\r\n\r\nn=2"))
        self.assertEqual(self.request("GET", "/_control/count")[1], b"2")

    def test_control_needs_the_option(self):
        quiet = service.make_service(self.data, port=0, log=io.StringIO())
        thread = threading.Thread(target=quiet.serve_forever, daemon=True)
        thread.start()
        try:
            connection = http.client.HTTPConnection("127.0.0.1", quiet.server_address[1], timeout=10)
            connection.request("GET", "/_control/set?mode=drop")
            self.assertEqual(connection.getresponse().status, 404)
            connection.close()
            self.assertEqual(quiet.behaviour.snapshot()[0], "normal")
        finally:
            quiet.shutdown()
            quiet.server_close()

    # ---- misbehaviours ----

    def test_refuse_sends_the_error_text(self):
        self.account(b"regist", b"user01", b"pass01")
        self.control("set", mode="refuse", text="停止中です。".encode("cp932"))
        self.assertEqual(self.account(b"login", b"user01", b"pass01"), "停止中です。".encode("cp932"))
        self.control("reset")
        self.assertEqual(self.account(b"login", b"user01", b"pass01"), b"TRUE")

    def test_exact_reply(self):
        self.control("set", mode="reply", text=b"TRUE\r\n")
        self.assertEqual(self.account(b"login", b"user01", b"pass01"), b"TRUE\r\n")

    def test_long_reply(self):
        self.control("set", mode="long", length=5000)
        reply = self.api(b"x=1")
        self.assertEqual(len(reply), 5000)
        self.assertEqual(reply[:30], b"ABCDEFGHIJKLMNOPQRSTUVWXYZABCD")
        self.assertEqual(reply, service.long_reply(5000))

    def test_slow_reply_still_arrives(self):
        self.control("set", delay=0.5)
        started = time.monotonic()
        self.assertEqual(self.account(b"regist", b"user01", b"pass01"), b"TRUE")
        self.assertGreaterEqual(time.monotonic() - started, 0.5)

    def test_drop_closes_without_reply(self):
        self.control("set", mode="drop")
        with self.assertRaises((http.client.RemoteDisconnected, ConnectionError)):
            self.api(b"x=1")
        self.assertEqual(self.request("GET", "/_control/count")[1], b"1")

    def test_bad_setting_is_refused(self):
        status, _ = self.request("GET", "/_control/set?mode=explode")
        self.assertEqual(status, 400)
        status, _ = self.request("GET", "/_control/feed?bytes=many")
        self.assertEqual(status, 400)

    # ---- gates: hold, stall, feed, rate ----

    def state(self):
        return dict(item.split("=") for item in self.control("state").decode().split())

    def wait_state(self, **wanted):
        """Waits until the service reports at least these counts (or exactly read/length)."""
        deadline = time.monotonic() + 20
        while True:
            now = self.state()
            if all(int(now[key]) >= value for key, value in wanted.items()):
                return now
            if time.monotonic() > deadline:
                self.fail("state %s never reached %s" % (now, wanted))
            time.sleep(0.01)

    def in_background(self, call):
        """Runs call() on a thread; returns a list that gets its result (or its exception)."""
        result = []

        def run():
            try:
                result.append(call())
            except Exception as error:  # noqa: BLE001 - handed to the test
                result.append(error)
        thread = threading.Thread(target=run, daemon=True)
        thread.start()
        return result, thread

    def test_held_reply_goes_out_once_released(self):
        self.account(b"regist", b"user01", b"pass01")
        self.control("reset")
        self.control("set", hold=1)
        result, thread = self.in_background(lambda: self.account(b"login", b"user01", b"pass01"))
        self.wait_state(held=1)
        self.assertEqual(result, [], "answered while held")
        self.assertEqual(self.state()["answered"], "0")
        self.control("release")
        thread.join(10)
        self.assertEqual(result, [b"TRUE"])
        self.assertEqual(self.state()["answered"], "1")
        # Released means passing freely: the next request is not held.
        self.assertEqual(self.account(b"login", b"user01", b"pass01"), b"TRUE")

    def test_stalled_body_is_read_as_far_as_fed(self):
        self.account(b"regist", b"user01", b"pass01")
        self.control("set", stall=1)
        body = multipart(upload_fields(), [(b"front", b"front.png", PNG + bytes(300000))])
        result, thread = self.in_background(lambda: self.upload(body))
        now = self.wait_state(started=1, stalled=1)
        self.assertEqual((now["read"], now["length"]), ("0", str(len(body))))
        self.control("feed", bytes=1000)
        self.wait_state(read=1000)
        self.assertEqual(self.state()["read"], "1000")
        self.control("feed", bytes=70000)
        self.wait_state(read=71000)
        self.assertEqual(result, [])
        self.control("release")
        thread.join(10)
        self.assertEqual(result, [b"TRUE"])
        self.assertEqual(self.state()["read"], str(len(body)))

    def test_peer_that_goes_during_a_stall_or_a_hold_stores_nothing(self):
        self.account(b"regist", b"user01", b"pass01")
        body = multipart(upload_fields(), [(b"front", b"front.png", PNG)])
        head = (b"POST %s HTTP/1.1\r\nHost: x\r\nContent-Type: multipart/form-data; boundary=%s\r\n"
                b"Content-Length: %d\r\n\r\n" % (API.encode(), BOUNDARY.encode(), len(body)))
        for gate, wanted in (("stall", {"stalled": 1}), ("hold", {"held": 1})):
            with self.subTest(gate):
                self.control("reset")
                self.control("set", **{gate: 1})
                connection = socket.create_connection(("127.0.0.1", self.port), timeout=10)
                connection.sendall(head + (body[:100] if gate == "stall" else body))
                self.wait_state(**wanted)
                connection.close()
                self.control("release")
                self.wait_state(aborted=1)
                self.assertEqual(self.state()["answered"], "0")
        self.assertEqual(os.listdir(os.path.join(self.data, "uploads")), [])

    def test_slow_read_still_takes_the_whole_body(self):
        self.account(b"regist", b"user01", b"pass01")
        self.control("set", rate=200000)
        body = multipart(upload_fields(), [(b"front", b"front.png", PNG + bytes(150000))])
        result, thread = self.in_background(lambda: self.upload(body))
        # Part of the body read, not all of it: the reading goes step by step.
        deadline = time.monotonic() + 20
        seen = set()
        while thread.is_alive() and time.monotonic() < deadline:
            read = int(self.state()["read"])
            if 0 < read < len(body):
                seen.add(read)
            time.sleep(0.01)
        thread.join(10)
        self.assertEqual(result, [b"TRUE"])
        self.assertGreaterEqual(len(seen), 2, "the body came in one go")

    def test_reset_lets_every_gate_go(self):
        self.control("set", hold=1)
        result, thread = self.in_background(lambda: self.api(b"x=1"))
        self.wait_state(held=1)
        self.control("reset")
        thread.join(10)
        self.assertEqual(len(result), 1)
        self.assertEqual(self.state()["held"], "0")


class CommandLineTest(unittest.TestCase):
    def test_starts_writes_its_port_and_stops_by_itself(self):
        with tempfile.TemporaryDirectory() as folder:
            ready = os.path.join(folder, "port")
            process = subprocess.Popen(
                [sys.executable, service.__file__, "--port", "0", "--data", os.path.join(folder, "data"),
                 "--ready-file", ready, "--exit-after", "3", "--reply", "TRUE\\r\\n",
                 "--log", os.path.join(folder, "log")],
            )
            try:
                for _ in range(100):
                    if os.path.exists(ready):
                        break
                    time.sleep(0.05)
                with open(ready) as source:
                    port = int(source.read())
                connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
                connection.request("POST", API, b"a=1", FORM)
                self.assertEqual(connection.getresponse().read(), b"TRUE\r\n")
                connection.close()
                self.assertEqual(process.wait(timeout=15), 0)
            finally:
                if process.poll() is None:
                    process.kill()
                    process.wait()


if __name__ == "__main__":
    unittest.main()

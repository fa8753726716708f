#!/usr/bin/env python3
"""End-to-end test: a whole card order through the real Norvalisk.exe.

The program runs under Wine on the display in DISPLAY and talks to the reference
service at 127.0.0.1:8750 (the address it was built with; run_e2e.sh gives the
test a network namespace of its own, so the port is always free). Everything the
user does is real input through tools/e2e_driver.py.

First run, the order: the printed page appears, page 1 is selected, the selection
is dragged onto the card and the front cut, the back tab chosen and the back placed
1 mm too far left and cut, upload, the bleed warning names 左 and is answered Yes
with its key, the login dialog, registration (the account is new), login, title,
send, completion. Then the checks: the request's ten fields in order with their
values, the stored fields and files, both PNGs 2693 x 1672 and pixel for pixel the
cut computed here from the page file, no front.png or back.png left.

Second run, the refusals: upload before any cut gives "名刺表の画像が切り取られて
いません。"; after a front cut and login (remembered from the first run), the service
refuses the upload: its text is shown, the dialog stays, the PNG files are gone and
nothing is stored.

Third run, a design brought in without the printer: 開く, the file dialog, a 350-dpi
PNG sheet with trim marks typed into its name box; the page appears, the card note
says the card was found by its trim marks; cut, upload (no bleed or safe-area
warning), login, title, send. The stored front PNG must equal, pixel for pixel, the
cut of the design's own trim box (mapped onto the page by the import's placement) from
the page file the import wrote.

    order_test.py --program DIR --inspector EXE --work DIR
"""

import argparse
import json
import os
import shutil
import sys
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))

import e2e_driver as d  # noqa: E402
import card_check as cc  # noqa: E402

USER, PASSWORD = "e2e-user_01", "Secret42"
TITLE = "山田 太郎の名刺 e2e"
REFUSAL = "本日の受付は終了しました。時間をおいて再度お試しください。"
PORT = 8750
FIELD_ORDER = ["application", "mode", "title", "width", "height", "nuritashi", "id", "pwd", "front", "back"]


class Checks:
    """Counts the checks; a failed one is reported and the test goes on where it can."""

    def __init__(self):
        self.passed = 0
        self.failed = []

    def check(self, ok, what, detail=""):
        if ok:
            self.passed += 1
            d.log("ok   %s" % what)
        else:
            self.failed.append(what)
            d.log("FAIL %s%s" % (what, (": " + detail) if detail else ""))
        return ok

    def summary(self):
        print("e2e_order: %d passed, %d failed" % (self.passed, len(self.failed)), flush=True)
        return 0 if not self.failed else 1


def leftover_pngs(folder):
    return [n for n in ("front.png", "back.png") if os.path.exists(os.path.join(folder, n))]


def recorded_requests(record):
    return [os.path.join(record, n) for n in sorted(os.listdir(record)) if n.endswith(".http")] \
        if os.path.isdir(record) else []


def multipart_requests(record):
    found = []
    for path in recorded_requests(record):
        with open(path, "rb") as f:
            line, headers, body = cc.parse_request(f.read())
        if headers.get("content-type", b"").lower().startswith(b"multipart/form-data"):
            found.append((line, headers, body))
    return found


# ---------------------------------------------------------------- first run

def first_run(checks, args, walk, service, page_copy):
    d.walk_order(walk, args.card, USER, PASSWORD, TITLE, register_first=True, may_register=False,
                 page_copy=page_copy)
    checks.check(True, "order walked: page, front and back placed and cut, bleed warning, registration, "
                 "login, title, send, completion dialog")
    checks.check(leftover_pngs(args.program) == [], "no PNG file in the program folder after the upload",
                 str(leftover_pngs(args.program)))
    walk.go_on()
    walk.close_program()
    checks.check(leftover_pngs(args.program) == [], "no PNG file in the program folder after closing")
    checks.check(not os.path.exists(os.path.join(args.program, "page_1.bmp")), "page file deleted at closing")

    # The request as it arrived: ten parts in order with the card's values.
    uploads = multipart_requests(args.record)
    if not checks.check(len(uploads) == 1, "one upload request", "%d found" % len(uploads)):
        return
    line, headers, body = uploads[0]
    checks.check(line == b"POST /admin/norvalisk/norvix_api.php HTTP/1.1", "upload goes to the API script",
                 repr(line))
    checks.check(headers.get("user-agent") == b"Norvalisk", "user agent Norvalisk", repr(headers.get("user-agent")))
    parts = cc.multipart_parts(headers["content-type"], body)
    names = [p[0] for p in parts]
    checks.check(names == FIELD_ORDER, "the ten fields in order", str(names))
    values = {p[0]: p for p in parts}
    expected_text = {
        "application": b"norvalisk", "mode": b"upload", "title": TITLE.encode("cp932"), "width": b"91.00",
        "height": b"55.00", "nuritashi": b"2.00", "id": USER.encode("ascii"), "pwd": PASSWORD.encode("ascii"),
    }
    for name, want in expected_text.items():
        got = values.get(name)
        checks.check(got is not None and got[1] is None and got[3] == want, "field %s = %r" % (name, want),
                     repr(got[3] if got else None))
    for name in ("front", "back"):
        got = values.get(name)
        checks.check(got is not None and got[1] == (name + ".png").encode() and got[2] == b"image/png",
                     "file part %s: %s.png, image/png" % (name, name),
                     repr(got[1:3] if got else None))

    # What the service stored.
    stored = service.uploads()
    if not checks.check(len(stored) == 1, "the service stored one card", str(stored)):
        return
    with open(os.path.join(stored[0], "fields.json"), encoding="utf-8") as f:
        record = json.load(f)
    want_fields = {k: v.decode("cp932") for k, v in expected_text.items() if k != "pwd"}
    checks.check(record["fields"] == want_fields, "stored fields", str(record["fields"]))
    checks.check(record["id"] == USER, "stored for the user", record["id"])

    # Both images: exactly the cut of the page under the placed selections.
    page, height = cc.read_page(page_copy)
    g = walk.geometry
    for side, name in ((0, "front"), (1, "back")):
        path = os.path.join(stored[0], name + ".png")
        with open(path, "rb") as f:
            data = f.read()
        checks.check(values.get(name) is not None and values[name][3] == data,
                     "stored %s.png is the file part sent" % name)
        chunks = cc.png_chunks(data)
        checks.check(chunks[0] == "IHDR" and chunks[-1] == "IEND" and set(chunks[1:-1]) == {"IDAT"},
                     "%s.png holds only IHDR, IDAT, IEND" % name, str(chunks))
        mode, pixels = cc.decode_png(path)
        checks.check(mode == "RGB" and pixels.shape == (1672, 2693, 3), "%s.png is RGB 2693 x 1672" % name,
                     "%s %s" % (mode, pixels.shape))
        trim, margin = cc.trim_rect(walk.placed[side], g.image_left, g.image_top, g.scale)
        if margin < 1e-6:
            checks.check(False, "%s selection converts without a rounding tie" % name, str(margin))
            continue
        expected = cc.expected_card(page, trim)
        if pixels.shape == expected.shape:
            checks.check(cc.first_difference(pixels, expected) is None,
                         "%s.png equals the cut of trim %s from the page" % (name, trim),
                         cc.first_difference(pixels, expected) or "")


# ---------------------------------------------------------------- second run

def second_run(checks, args, walk, service):
    walk.wait_main_window()
    walk.print_page(args.card)

    # Upload with no front cut.
    walk.upload()
    box = walk.expect_message("アップロード")
    text = d.message_box_text(box)
    checks.check(text == "名刺表の画像が切り取られていません。", "no front cut: refusal shown", repr(text))
    walk.shot("no-front-cut")
    walk.screen.click_window(d.button(box, d.IDOK))
    walk.wait_no_dialog("the refusal to close", lambda tops: d.dialog(tops, "アップロード"))

    walk.place_selection(*walk.trim_target(), step="front-placed")
    walk.cut(0, "front-cut")
    walk.upload()

    # The front has its bleed: no warning, straight to the login, filled in from the account file.
    def next_dialog(tops):
        return d.dialog(tops, "塗り足しチェック") or d.dialog(tops, "ログイン", (d.IDC_USER_ID,))
    shown = walk.screen.wait("the login dialog", next_dialog)
    if not checks.check(shown.text == "ログイン", "no bleed warning for a front with bleed", shown.text):
        return
    checks.check(shown.find(cls="Edit", id=d.IDC_USER_ID).text == USER
                 and shown.find(cls="Button", id=d.IDC_SAVE_LOGIN).checked,
                 "login dialog filled in from the saved account")
    walk.log_in(USER, PASSWORD)
    upload = walk.upload_dialog()

    # The service now refuses every request; the upload shows its text.
    service.control("set?mode=refuse&text=" + urllib.parse.quote(REFUSAL.encode("cp932")))
    walk.send(TITLE)

    def refusal(tops):
        for top in tops:
            if top.cls == d.DIALOG_CLASS and top.text == "アップロード" and top.visible:
                return top
        return None
    box = walk.screen.wait("the refusal", refusal, timeout=120)
    text = d.message_box_text(box)
    checks.check(text == REFUSAL, "the service's refusal text is shown", repr(text))
    checks.check(leftover_pngs(args.program) == ["front.png"], "front.png written for the refused upload",
                 str(leftover_pngs(args.program)))
    walk.shot("upload-refused")
    walk.screen.click_window(d.button(box, d.IDOK))

    def back_in_dialog(tops):
        if refusal(tops):
            return None
        found = d.dialog(tops, None, (d.IDC_STATUS, d.IDC_TITLE, d.IDC_SEND))
        if found and found.find(id=d.IDC_SEND).enabled and found.find(id=d.IDCANCEL).enabled:
            return found
        return None
    upload = walk.screen.wait("the upload dialog's buttons enabled again", back_in_dialog)
    checks.check(upload.find(id=d.IDC_STATUS).text == "アップロード中...", "upload dialog stays, status unchanged",
                 upload.find(id=d.IDC_STATUS).text)
    checks.check(leftover_pngs(args.program) == [], "PNG files removed after the refusal",
                 str(leftover_pngs(args.program)))
    checks.check(len(service.uploads()) == 1, "nothing more stored")
    uploads = multipart_requests(args.record)
    if checks.check(len(uploads) == 2, "the refused upload reached the service", "%d found" % len(uploads)):
        parts = cc.multipart_parts(uploads[1][1]["content-type"], uploads[1][2])
        checks.check([p[0] for p in parts] == FIELD_ORDER[:9], "only the front was sent",
                     str([p[0] for p in parts]))
    walk.shot("refused-dialog-stays")

    service.control("reset")
    walk.screen.click_window(upload.find(cls="Button", id=d.IDCANCEL))
    walk.wait_no_dialog("the upload dialog to close",
                        lambda tops: d.dialog(tops, None, (d.IDC_STATUS, d.IDC_TITLE, d.IDC_SEND)))
    walk.close_program()
    checks.check(leftover_pngs(args.program) == [], "no PNG file in the program folder at the end")


# ---------------------------------------------------------------- third run

def import_run(checks, args, walk, service):
    walk.wait_main_window()
    design = os.path.join(args.work, "marked-design.png")
    trim_in_design = cc.make_marked_design(design)
    want_trim, margin = cc.imported_trim(design, cc.MARKED_SHEET, trim_in_design)
    checks.check(margin > 0.1, "the design's trim edges land clear of rounding ties on the page", str(margin))
    walk.open_design(design)

    # The page appears and the card is found by its marks.
    note = walk.screen.wait("the card note", lambda tops: walk.card_note(tops) or None, timeout=120)
    checks.check(note == "名刺を検出：トンボ", "card note: found by its trim marks", repr(note))
    page_path = os.path.join(args.program, "page_1.bmp")
    page_copy = os.path.join(args.work, "page_1-imported.bmp")
    shutil.copyfile(page_path, page_copy)
    walk.shot("design-opened")

    walk.cut(0, "imported-front-cut")
    stored_before = set(service.uploads())
    walk.upload()

    def next_dialog(tops):
        for caption in ("塗り足しチェック", "文字切れチェック"):
            found = d.dialog(tops, caption)
            if found:
                return found
        return d.dialog(tops, "ログイン", (d.IDC_USER_ID,))
    shown = walk.screen.wait("the login dialog", next_dialog)
    if not checks.check(shown.text == "ログイン", "no bleed or safe-area warning for the marked design", shown.text):
        return
    walk.log_in(USER, PASSWORD)
    walk.send(TITLE)
    walk.wait_complete()
    walk.go_on()
    walk.close_program()

    stored = sorted(set(service.uploads()) - stored_before)
    if not checks.check(len(stored) == 1, "the service stored the imported card", str(stored)):
        return
    mode, pixels = cc.decode_png(os.path.join(stored[0], "front.png"))
    page, _ = cc.read_page(page_copy)
    expected = cc.expected_card(page, want_trim)
    checks.check(mode == "RGB" and pixels.shape == expected.shape, "imported front.png is RGB 2693 x 1672",
                 "%s %s" % (mode, pixels.shape))
    if pixels.shape == expected.shape:
        checks.check(cc.first_difference(pixels, expected) is None,
                     "imported front.png equals the cut of the design's trim box %s from the page" % (want_trim,),
                     cc.first_difference(pixels, expected) or "")


def main(argv):
    parser = argparse.ArgumentParser(description="End-to-end test of a whole order.")
    parser.add_argument("--program", required=True, help="program folder with Norvalisk.exe and navo.dll")
    parser.add_argument("--inspector", required=True, help="e2e_inspect.exe")
    parser.add_argument("--work", required=True, help="work folder (emptied first)")
    args = parser.parse_args(argv)
    wine = os.environ.get("WINE", "wine")
    args.record = os.path.join(args.work, "record")
    args.shots = os.path.join(args.work, "screenshots")
    args.card = d.make_sample_card(os.path.join(args.work, "card.png"))
    page_copy = os.path.join(args.work, "page_1-as-printed.bmp")

    checks = Checks()
    if not d.port_free(PORT):
        print("e2e_order: 127.0.0.1:%d is taken; run the test through run_e2e.sh, which gives it a network "
              "namespace of its own" % PORT, file=sys.stderr)
        return 1
    service = d.Service(PORT, os.path.join(args.work, "service"), record=args.record, control=True,
                        log_file=os.path.join(args.work, "service.log"))
    inspector = program = None
    try:
        inspector = d.Inspector(wine, args.inspector)
        screen = d.Screen(inspector, args.shots)
        for number, run in ((1, first_run), (2, second_run), (3, import_run)):
            d.log("== run %d" % number)
            program = d.Program(wine, args.program)
            walk = d.Walk(screen, program)
            try:
                if number == 1:
                    run(checks, args, walk, service, page_copy)
                else:
                    run(checks, args, walk, service)
            except (d.DriverError, OSError, ValueError) as error:
                checks.check(False, "run %d" % number, str(error))
                walk.screen.screenshot("failure")
            finally:
                program.kill()
    finally:
        if inspector:
            inspector.close()
        service.stop()
    d.log("screenshots in %s" % args.shots)
    return checks.summary()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

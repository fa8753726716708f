#!/usr/bin/env python3
"""Walks Norvalisk through a whole card order by real mouse and keyboard input.

The program runs under Wine on an X display (a virtual one on a machine without
a screen). Everything the user does goes through xdotool: the pointer moves,
presses and drags, and keys are typed, exactly as a person would. What the
driver needs to know about the screen (where a button or a dialog is, what a
message box says, whether an edit holds the typed text) it reads from the
window trees through a small inspector program (tests/e2e/inspect.cpp) that
lists the windows of the desktop with class, control id, text and rectangle;
it never sends the program a command of its own.

Used by tools/run.sh (a walkthrough with a screenshot of every step) and by
the end-to-end test tests/e2e/order_test.py (the same walk, then checks of what
the service stored).

    tools/e2e_driver.py walkthrough --program DIR --inspector EXE --work DIR
        [--shots DIR] [--port 8750] [--service-data DIR]
    tools/e2e_driver.py session --program DIR --inspector EXE --work DIR
        [--port 8750] [--service-data DIR]

Both start the reference service and the program, and make a printed sample
page with the page maker once the main window is up (the program deletes page
files left from before at its start). The walkthrough then goes on by itself:
page 1 selected by the recount, selection dragged onto the card, front cut,
back tab, back placed and cut, upload, bleed warning answered, login (or
registration first), title, send, completion. It prints where the service
stored the card and where the screenshots are. A session leaves the program to
the person at the display and stops the service when the program ends.
"""

import argparse
import json
import os
import select
import shutil
import signal
import socket
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SERVICE = os.path.join(HERE, "service", "norvalisk_service.py")
PAGE_MAKER = os.path.join(HERE, "make_page.py")
SAMPLE_CARD = os.path.join(HERE, "make_sample_card.sh")

MAIN_CLASS = "NORVALISK"
MAIN_TITLE = "Norvalisk version 1.0J"
DIALOG_CLASS = "#32770"
BUTTON_CLASS = "_BMPBTN_CLASS_"

# Control ids of the program's windows.
IDC_DATA_CUT, IDC_UPLOAD, IDC_BACK, IDC_CLOSE = 1027, 1031, 1034, 1036
IDC_OPEN_DESIGN = 1043
IDC_LANDSCAPE = 1024
NOTE_CLASS = "NORVALISK_NOTE"
OPEN_DIALOG_TITLE = "名刺のデザインファイルを開く"
IDC_SAVE_LOGIN, IDC_USER_ID, IDC_USER_PWD, IDC_LOGIN, IDC_NEW_MEMBER = 1012, 1014, 1015, 1016, 1035
IDC_REGIST = 1037
IDC_STATUS, IDC_TITLE, IDC_SEND, IDCANCEL = 1021, 1038, 1031, 2
IDC_GO_RET = 1041
IDOK = 1

# The cut geometry of the default card: 普通名刺, landscape, 2 mm bleed, 720 dpi.
CARD_WIDTH_MM, CARD_HEIGHT_MM, BLEED_MM = 91.0, 55.0, 2.0
PIXELS_PER_MM = struct.unpack("<f", struct.pack("<I", 0x41E2C58B))[0]  # 28.346457 as a float
VIEW_REDUCTION = 12
# Where make_sample_card.sh's design is put on the page: its trim edge then lies
# 20 mm from the page's left and top edges.
DESIGN_PLACE_MM = 18.0
TRIM_PLACE_MM = 20.0
PAGE_PIXELS_PER_MM = 720 / 25.4  # the page maker's resolution

POLL_SECONDS = 0.1

PORT_TAKEN = ("port %d on 127.0.0.1 is taken: another program (perhaps a reference service left running) "
              "listens there. Norvalisk talks to the service address it was built with, so stop that "
              "program and run again.")


class DriverError(Exception):
    pass


_started = time.monotonic()


def log(text):
    """A line of progress, with the seconds since the driver started."""
    if text:
        print("[%6.1f] %s" % (time.monotonic() - _started, text), flush=True)
    else:
        print(flush=True)


def f32(value):
    """The value rounded to a 32-bit float, as the program holds it."""
    return struct.unpack("<f", struct.pack("<f", value))[0]


def round_half_up(value):
    """Truncation toward zero of value + 0.5, the program's rounding."""
    return int(value + 0.5)


# ---------------------------------------------------------------- window trees

class Window:
    """One window as the inspector listed it."""

    def __init__(self, fields):
        self.depth = int(fields[0])
        self.hwnd = int(fields[1], 16)
        self.owner = int(fields[2], 16)
        self.pid = int(fields[3])
        self.cls = fields[4]
        self.id = int(fields[5])
        self.visible = fields[6] == "1"
        self.enabled = fields[7] == "1"
        self.checked = fields[8] == "1"
        self.rect = tuple(int(v) for v in fields[9].split())
        self.client = tuple(int(v) for v in fields[10].split())
        self.hover = None if fields[11] == "-" else fields[11] == "1"
        self.text = unescape(fields[12]) if len(fields) > 12 else ""
        self.children = []

    def walk(self):
        yield self
        for child in self.children:
            yield from child.walk()

    def find(self, cls=None, id=None, text=None, visible=True):
        """The first descendant (not the window itself) that matches."""
        for window in self.walk():
            if window is self:
                continue
            if cls is not None and window.cls != cls:
                continue
            if id is not None and window.id != id:
                continue
            if text is not None and window.text != text:
                continue
            if visible is not None and window.visible != visible:
                continue
            return window
        return None

    def center(self):
        left, top, right, bottom = self.rect
        return (left + right) // 2, (top + bottom) // 2

    def describe(self):
        return "%s id=%d %r %s" % (self.cls, self.id, self.text, self.rect)


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            out.append({"\\": "\\", "t": "\t", "r": "\r", "n": "\n"}.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


class WindowList(list):
    """The top-level windows of one listing, with the cursor's clip rectangle then."""

    clip = None


class Inspector:
    """The inspector program, kept running; each call lists the desktop's windows."""

    def __init__(self, wine, exe, timeout=60.0):
        self.timeout = timeout
        self.process = subprocess.Popen([wine, exe], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, start_new_session=True)
        self.buffer = b""

    def _line(self, deadline):
        while b"\n" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                raise DriverError("the window inspector did not answer")
            ready, _, _ = select.select([self.process.stdout], [], [], left)
            if ready:
                chunk = os.read(self.process.stdout.fileno(), 65536)
                if not chunk:
                    raise DriverError("the window inspector ended")
                self.buffer += chunk
        line, _, self.buffer = self.buffer.partition(b"\n")
        return line.decode("utf-8", "replace").rstrip("\r")

    def tops(self):
        """The visible top-level windows, each with its descendants; the list's `clip` is the
        cursor's clip rectangle."""
        self.process.stdin.write(b"list\n")
        self.process.stdin.flush()
        deadline = time.monotonic() + self.timeout
        tops, stack = WindowList(), []
        while True:
            line = self._line(deadline)
            if line == "END":
                return tops
            if line.startswith("CLIP\t"):
                tops.clip = tuple(int(v) for v in line[5:].split())
                continue
            window = Window(line.split("\t"))
            del stack[window.depth:]
            if stack:
                stack[-1].children.append(window)
            else:
                tops.append(window)
            stack.append(window)

    def close(self):
        if self.process.poll() is None:
            try:
                self.process.stdin.write(b"quit\n")
                self.process.stdin.close()
                self.process.wait(timeout=10)
            except (OSError, subprocess.TimeoutExpired):
                self.process.kill()
                self.process.wait()


def dump(tops):
    lines = []
    for top in tops:
        for window in top.walk():
            lines.append("  " * window.depth + window.describe())
    return "\n".join(lines)


# ---------------------------------------------------------------- input and screen

class Screen:
    """Real input on the X display, screenshots, and waits on what the windows show."""

    def __init__(self, inspector, shots=None):
        self.inspector = inspector
        self.shots = shots
        self.shot_number = 0
        if shots:
            os.makedirs(shots, exist_ok=True)

    # -- reading the screen

    def tops(self):
        return self.inspector.tops()

    def wait(self, what, probe, timeout=30.0):
        """Polls probe(tops) until it gives a true value, which is returned."""
        deadline = time.monotonic() + timeout
        while True:
            tops = self.tops()
            result = probe(tops)
            if result:
                return result
            if time.monotonic() > deadline:
                raise DriverError("timed out after %.0f s waiting for %s; windows:\n%s" % (timeout, what, dump(tops)))
            time.sleep(POLL_SECONDS)

    def grab(self, rect):
        """(width, height, RGB bytes) of a screen rectangle."""
        left, top, right, bottom = rect
        data = subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top),
                               "+repage", "-depth", "8", "ppm:-"], check=True, stdout=subprocess.PIPE,
                              timeout=30).stdout
        header = data.split(b"\n", 3)
        width, height = (int(v) for v in header[1].split())
        return width, height, header[3]

    def wait_pixels(self, what, rect, probe, timeout=60.0):
        deadline = time.monotonic() + timeout
        while True:
            if probe(*self.grab(rect)):
                return
            if time.monotonic() > deadline:
                raise DriverError("timed out after %.0f s waiting for %s" % (timeout, what))
            time.sleep(POLL_SECONDS)

    def screenshot(self, step, tops=None):
        """Saves the program's windows as NN-step.png; returns the path."""
        if not self.shots:
            return None
        tops = tops if tops is not None else self.tops()
        rects = [t.rect for t in tops if t.cls == MAIN_CLASS or t.cls == DIALOG_CLASS]
        if not rects:
            rects = [(0, 0, 1280, 1024)]
        left = max(0, min(r[0] for r in rects))
        top = max(0, min(r[1] for r in rects))
        right = max(r[2] for r in rects)
        bottom = max(r[3] for r in rects)
        self.shot_number += 1
        path = os.path.join(self.shots, "%02d-%s.png" % (self.shot_number, step))
        subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top),
                        "+repage", path], check=True, timeout=30)
        return path

    # -- input

    def xdotool(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], check=True, timeout=30)

    def move(self, x, y):
        """Moves the pointer; returns once the X server has it there."""
        self.xdotool("mousemove", "--sync", x, y)

    def click(self, x, y):
        self.move(x, y)
        self.xdotool("click", 1)

    def click_window(self, window):
        """Clicks the middle of the window. A skin button is pressed only once it shows the
        pointer's arrival (its own hover flag), as a person sees the hover before pressing."""
        self.move(*window.center())
        if window.hover is not None:
            def hovered(tops):
                for top in tops:
                    for found in top.walk():
                        if found.hwnd == window.hwnd:
                            return found.hover
                return False
            self.wait("the pointer over %s" % window.describe(), hovered)
        self.xdotool("click", 1)

    def drag(self, x0, y0, x1, y1, steps=8):
        """Presses at (x0, y0), moves in steps to (x1, y1) and releases there. The steps follow
        once the program has taken the press (it confines the cursor to the view while dragging);
        the drag is over when it lets the cursor go."""
        self.move(x0, y0)
        unconfined = self.tops().clip
        self.xdotool("mousedown", 1)
        self.wait("the drag to begin", lambda tops: tops.clip != unconfined)
        for k in range(1, steps + 1):
            self.move(x0 + (x1 - x0) * k // steps, y0 + (y1 - y0) * k // steps)
        self.xdotool("mouseup", 1)
        self.wait("the drag to end", lambda tops: tops.clip == unconfined)

    def key(self, *names):
        self.xdotool("key", "--delay", 60, *names)

    def type(self, text):
        self.xdotool("type", "--delay", 40, text)


# ---------------------------------------------------------------- finding the program's windows

def main_window(tops):
    for top in tops:
        if top.cls == MAIN_CLASS and top.text == MAIN_TITLE and top.visible:
            return top
    return None


def dialog(tops, caption=None, ids=()):
    """A visible top-level dialog with this caption that holds visible controls with all these ids."""
    for top in tops:
        if top.cls != DIALOG_CLASS or not top.visible:
            continue
        if caption is not None and top.text != caption:
            continue
        if all(top.find(id=i) for i in ids):
            return top
    return None


def message_box_text(box):
    """The message of a message box: its longest static text."""
    texts = [w.text for w in box.walk() if w.cls == "Static" and w.visible and w.text]
    return max(texts, key=len) if texts else ""


def button(parent, id):
    """The visible button with this id: a skin button, else a push button."""
    return parent.find(cls=BUTTON_CLASS, id=id) or parent.find(cls="Button", id=id)


# ---------------------------------------------------------------- the editor's geometry

class EditorGeometry:
    """Where the editor view shows a page and its selection, computed as the program does."""

    def __init__(self, client_width, client_height, page_width, page_height):
        self.client_width, self.client_height = client_width, client_height
        self.page_width, self.page_height = page_width, abs(page_height)
        scale = f32(client_width / self.page_width)
        by_height = f32(client_height / self.page_height)
        if by_height < scale:
            scale = by_height
        self.scale = scale
        # The page is drawn reduced by 12, fitted and centred in the client area.
        view_width = self.page_width // VIEW_REDUCTION
        view_height = self.page_height // VIEW_REDUCTION
        rw, rh = f32(client_width), f32(client_height)
        sx, sy = f32(rw / view_width), f32(rh / view_height)
        left, top = 0, 0
        if sx > sy:
            new_width = int(f32(f32(rw * sy) / sx))
            left = (client_width - new_width) // 2
        else:
            new_height = int(f32(f32(rh * sx) / sy))
            top = (client_height - new_height) // 2
        self.image_left, self.image_top = left, top

    def default_selection(self):
        width = int(PIXELS_PER_MM * CARD_WIDTH_MM * self.scale)
        height = int(PIXELS_PER_MM * CARD_HEIGHT_MM * self.scale)
        left = int((self.client_width - width) / 2)
        return left, 50, left + width, 50 + height

    def view_x(self, page_x):
        return self.image_left + round_half_up(page_x * self.scale)

    def view_y(self, page_y):
        return self.image_top + round_half_up(page_y * self.scale)


def page_size(path):
    """Width and signed height of a bitmap file."""
    with open(path, "rb") as f:
        header = f.read(26)
    if header[:2] != b"BM":
        raise DriverError("%s is not a bitmap file" % path)
    return struct.unpack("<ii", header[18:26])


# ---------------------------------------------------------------- service and program

def port_free(port, host="127.0.0.1"):
    probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    try:
        probe.bind((host, port))
        return True
    except OSError:
        return False
    finally:
        probe.close()


class Service:
    """The reference service on loopback, run for the walk and stopped after it."""

    def __init__(self, port, data, record=None, control=False, log_file=None, python=None):
        self.port, self.data = port, data
        os.makedirs(data, exist_ok=True)
        ready = os.path.join(data, ".ready")
        if os.path.exists(ready):
            os.unlink(ready)
        command = [python or sys.executable, SERVICE, "--port", str(port), "--data", data, "--ready-file", ready,
                   "--exit-after", "3600"]
        if record:
            command += ["--record", record]
        if control:
            command += ["--control"]
        if log_file:
            command += ["--log", log_file]
        self.process = subprocess.Popen(command, stdin=subprocess.DEVNULL, start_new_session=True)
        deadline = time.monotonic() + 20
        while not os.path.exists(ready):
            if self.process.poll() is not None:
                raise DriverError("the reference service did not start on 127.0.0.1:%d" % port)
            if time.monotonic() > deadline:
                self.stop()
                raise DriverError("the reference service did not get ready")
            time.sleep(0.05)

    def control(self, query):
        """A run-time control request (the service runs with --control)."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as connection:
            connection.sendall(("GET /_control/%s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"
                                % query).encode("ascii"))
            reply = b""
            while True:
                chunk = connection.recv(65536)
                if not chunk:
                    break
                reply += chunk
        if not reply.startswith(b"HTTP/1.1 200"):
            raise DriverError("control request %s failed: %r" % (query, reply[:80]))
        return reply.partition(b"\r\n\r\n")[2]

    def uploads(self):
        folder = os.path.join(self.data, "uploads")
        return sorted(os.path.join(folder, n) for n in os.listdir(folder)) if os.path.isdir(folder) else []

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class Program:
    """Norvalisk.exe started under Wine from its own folder."""

    def __init__(self, wine, folder):
        self.folder = folder
        self.process = subprocess.Popen([wine, "Norvalisk.exe"], cwd=folder, stdin=subprocess.DEVNULL,
                                        start_new_session=True)

    def running(self):
        return self.process.poll() is None

    def wait_exit(self, timeout):
        try:
            self.process.wait(timeout=timeout)
            return True
        except subprocess.TimeoutExpired:
            return False

    def kill(self):
        if self.running():
            self.process.kill()
            self.process.wait()


def make_sample_card(path):
    if not os.path.exists(path):
        subprocess.run(["bash", SAMPLE_CARD, path], check=True, stdout=subprocess.DEVNULL, timeout=120)
    return path


def make_page(card, page_path, python=None):
    """The printed page of the sample card, as the printer driver would leave it."""
    subprocess.run([python or sys.executable, PAGE_MAKER, card, page_path, "--x-mm", str(DESIGN_PLACE_MM),
                    "--y-mm", str(DESIGN_PLACE_MM)], check=True, stdout=subprocess.DEVNULL, timeout=120)


# ---------------------------------------------------------------- the walk

class Walk:
    """The steps of an order, each by real input, with a screenshot after each."""

    def __init__(self, screen, program):
        self.screen = screen
        self.program = program
        self.geometry = None
        self.selection = None  # view client coordinates of the current selection
        self.placed = {}       # side -> selection when it was cut
        self.page_copy = None

    # -- helpers

    def main(self, tops=None):
        tops = tops if tops is not None else self.screen.tops()
        window = main_window(tops)
        if window is None:
            raise DriverError("the main window is gone; windows:\n%s" % dump(tops))
        return window

    def editor(self, main):
        """The editor view: the main window's IMAGEDLG child, the tallest dialog child."""
        panels = [c for c in main.children if c.cls == DIALOG_CLASS and c.visible]
        return max(panels, key=lambda c: c.client[3] - c.client[1])

    def main_button(self, id):
        window = self.main()
        found = next((c for c in window.children if c.cls == BUTTON_CLASS and c.id == id and c.visible), None)
        if found is None:
            raise DriverError("no button %d on the main window" % id)
        return found

    def shot(self, step):
        path = self.screen.screenshot(step)
        if path:
            log("  screenshot %s" % path)

    def wait_no_dialog(self, what, probe, timeout=20.0):
        self.screen.wait(what, lambda tops: not probe(tops), timeout)

    # -- steps

    def wait_main_window(self, timeout=60.0):
        def probe(tops):
            if not self.program.running():
                raise DriverError("Norvalisk ended before its window appeared")
            return main_window(tops)
        self.screen.wait("the main window", probe, timeout)
        log("main window is up")

    def print_page(self, card, python=None, copy_to=None):
        """The printed page appears in the program folder; waits until the editor shows it."""
        main = self.main()
        client = self.editor(main).client
        page_path = os.path.join(self.program.folder, "page_1.bmp")
        make_page(card, page_path, python)
        if copy_to:
            shutil.copyfile(page_path, copy_to)
            self.page_copy = copy_to
        width, height = page_size(page_path)
        self.geometry = EditorGeometry(client[2] - client[0], client[3] - client[1], width, height)
        log("page_1.bmp printed into the program folder (%d x %d)" % (width, abs(height)))

        # Page 1 is selected by the recount and loaded: the middle of the design shows in the view, in
        # the design's blue and teal (the view is black before, the page around it white).
        g = self.geometry
        design = DESIGN_PLACE_MM * PAGE_PIXELS_PER_MM
        mm = PAGE_PIXELS_PER_MM
        probe_rect = (client[0] + g.view_x(design + 50 * mm), client[1] + g.view_y(design + 20 * mm),
                      client[0] + g.view_x(design + 60 * mm), client[1] + g.view_y(design + 30 * mm))

        def design_shown(width, height, rgb):
            bluish = sum(1 for i in range(0, len(rgb), 3) if rgb[i + 2] > rgb[i] + 40)
            return bluish * 3 > len(rgb) // 2
        self.screen.wait_pixels("page 1 in the editor view", probe_rect, design_shown, timeout=90)
        self.selection = g.default_selection()
        note = self.card_note()
        if note:
            # The program found the sample card (95 x 59 mm: 91 x 55 with 2 mm of bleed) and placed the
            # selection on it. This walk places the card by hand: よこ, clicked again, puts the selection
            # back at its default place and size.
            log("the program found the card (%s); back to the default selection" % note)
            landscape = self.main().find(cls="Button", id=IDC_LANDSCAPE)
            if landscape is None:
                raise DriverError("no よこ button in the options bar")
            self.screen.click_window(landscape)
            self.screen.wait("the card note to go", lambda tops: not self.card_note(tops))
        log("page 1 selected and shown; selection at %s" % (self.selection,))
        self.shot("page-selected")

    def trim_target(self, offset_mm=(0.0, 0.0)):
        """View place of the selection's top-left corner that puts the trim onto the design's trim edge,
        moved by offset_mm."""
        g = self.geometry
        page_x = (TRIM_PLACE_MM + offset_mm[0]) * PAGE_PIXELS_PER_MM
        page_y = (TRIM_PLACE_MM + offset_mm[1]) * PAGE_PIXELS_PER_MM
        return g.view_x(page_x), g.view_y(page_y)

    def place_selection(self, left, top, step):
        """Drags the selection by its middle so that its top-left corner lands at (left, top) in the view."""
        self._drag_selection(left, top)
        self.shot(step)

    def _drag_selection(self, left, top):
        main = self.main()
        client = self.editor(main).client
        l, t, r, b = self.selection
        x0 = client[0] + (l + r) // 2
        y0 = client[1] + (t + b) // 2
        dx, dy = left - l, top - t
        self.screen.drag(x0, y0, x0 + dx, y0 + dy)
        self.selection = (l + dx, t + dy, r + dx, b + dy)
        log("selection dragged by (%d, %d) to %s" % (dx, dy, self.selection))

    @staticmethod
    def _preview_place(main):
        return (main.client[0] + 512, main.client[1] + 104, main.client[0] + 512 + 346, main.client[1] + 104 + 346)

    def cut(self, side, step):
        """Presses 切り取り and waits until the preview shows the cut card."""
        place = self._preview_place(self.main())
        rect = (place[0] + 40, place[1] + 150, place[2] - 40, place[1] + 200)
        before = self.screen.grab(rect)[2]
        self.screen.click_window(self.main_button(IDC_DATA_CUT))
        self.screen.wait_pixels("the cut card in the preview", rect, lambda w, h, rgb: rgb != before, timeout=60)
        self.placed[side] = self.selection
        log("%s cut" % ("front" if side == 0 else "back"))
        self.shot(step)

    def previews(self, main):
        place = self._preview_place(main)
        return [c for c in main.children if c.cls == DIALOG_CLASS and c.rect == place]

    def back_tab(self):
        main = self.main()
        front = [c for c in self.previews(main) if c.visible]
        if len(front) != 1:
            raise DriverError("expected one visible card preview, found %d" % len(front))
        self.screen.click_window(self.main_button(IDC_BACK))

        def back_shown(tops):
            shown = [c for c in self.previews(main_window(tops)) if c.visible]
            return len(shown) == 1 and shown[0].hwnd != front[0].hwnd
        self.screen.wait("the back preview", back_shown)
        log("back tab selected")
        self.shot("back-tab")

    def upload(self):
        self.screen.click_window(self.main_button(IDC_UPLOAD))
        log("upload pressed")

    def open_design(self, path):
        """Presses 開く, types the design's path into the file dialog's name box and presses Enter."""
        self.screen.click_window(self.main_button(IDC_OPEN_DESIGN))
        box = self.screen.wait("the file dialog", lambda tops: dialog(tops, OPEN_DIALOG_TITLE), timeout=60)
        name = None
        for window in box.walk():
            if window.cls == "Edit" and window.visible and window.enabled:
                name = window
        if name is None:
            raise DriverError("no file name box in the file dialog:\n%s" % dump([box]))
        self.shot("open-dialog")
        self.screen.click_window(name)
        windows_path = "Z:" + os.path.abspath(path).replace("/", "\\")
        self.screen.type(windows_path)
        self.screen.key("Return")
        self.wait_no_dialog("the file dialog to close", lambda tops: dialog(tops, OPEN_DIALOG_TITLE), timeout=60)
        log("design %s opened through the file dialog" % path)

    def card_note(self, tops=None):
        """The text of the card note in the main window's header, or None while it is hidden."""
        note = self.main(tops).find(cls=NOTE_CLASS)
        return note.text if note is not None else None

    def expect_message(self, caption, timeout=30.0):
        return self.screen.wait("a message box %r" % caption, lambda tops: dialog(tops, caption), timeout)

    def answer_bleed_warning(self, expect_edges):
        box = self.expect_message("塗り足しチェック")
        text = message_box_text(box)
        want = "・".join(expect_edges) + "　のフチで塗り足しができていない可能性があります。\nこのままアップロードを続けますか？"
        if text != want:
            raise DriverError("bleed warning says %r, expected %r" % (text, want))
        log("bleed warning: %s" % text.replace("\n", " "))
        self.shot("bleed-warning")
        # Yes by its mnemonic key, with the pointer over the box so that the keys reach it.
        self.screen.move(*box.center())
        self.screen.key("y")
        self.wait_no_dialog("the bleed warning to close", lambda tops: dialog(tops, "塗り足しチェック"))

    def set_edit(self, dialog_window, id, text):
        """Clicks into the edit and types text over what it holds; checks what it then holds."""
        edit = dialog_window.find(cls="Edit", id=id)
        if edit is None:
            raise DriverError("no edit %d in %s" % (id, dialog_window.describe()))
        if edit.text == text:
            return

        def holds(tops):
            for top in tops:
                if top.hwnd == dialog_window.hwnd:
                    found = top.find(cls="Edit", id=id)
                    return found is not None and found.text == text
            return False
        # A key lost on the way (the X server remaps a spare key for each character
        # outside the keyboard map) is typed again once.
        for attempt in (1, 2):
            self.screen.click_window(edit)
            self.screen.key("End", "shift+Home")
            if text:
                self.screen.type(text)
            else:
                self.screen.key("BackSpace")
            try:
                self.screen.wait("edit %d to hold %r" % (id, text), holds, timeout=10)
                return
            except DriverError:
                if attempt == 2:
                    raise
                log("edit %d does not hold %r yet; typing it again" % (id, text))

    def login_dialog(self, timeout=30.0):
        return self.screen.wait("the login dialog", lambda tops: dialog(tops, "ログイン", (IDC_USER_ID, IDC_USER_PWD)),
                                timeout)

    def register(self, user, password):
        login = self.login_dialog()
        self.screen.click_window(button(login, IDC_NEW_MEMBER))
        regist = self.screen.wait("the registration dialog",
                                  lambda tops: dialog(tops, "ユーザー新規登録", (IDC_USER_ID, IDC_USER_PWD)))
        self.set_edit(regist, IDC_USER_ID, user)
        self.set_edit(regist, IDC_USER_PWD, password)
        self.shot("registration")
        self.screen.click_window(regist.find(cls="Button", id=IDC_REGIST))

        def answered(tops):
            for top in tops:
                if top.cls == DIALOG_CLASS and top.text == "ユーザー新規登録" and not top.find(id=IDC_USER_ID):
                    return top
            return None
        box = self.screen.wait("the registration's answer", answered)
        text = message_box_text(box)
        if text != "新しいユーザーアカウントを登録しました。":
            raise DriverError("registration answered %r" % text)
        log("registered %s" % user)
        self.shot("registered")
        self.screen.move(*box.center())
        self.screen.key("Return")
        self.wait_no_dialog("the registration dialog to close",
                            lambda tops: dialog(tops, "ユーザー新規登録"))

    def log_in(self, user, password, remember=True, register_first=False, may_register=False):
        """Logs in through the login dialog: registers first when told to, or when the service refuses the
        login and may_register is set."""
        if register_first:
            self.register(user, password)
        login = self.login_dialog()
        self.set_edit(login, IDC_USER_ID, user)
        self.set_edit(login, IDC_USER_PWD, password)
        login = self.login_dialog()
        box = login.find(cls="Button", id=IDC_SAVE_LOGIN)
        if box.checked != remember:
            self.screen.click_window(box)

            def ticked(tops):
                found = dialog(tops, "ログイン", (IDC_SAVE_LOGIN,))
                if found is not None and found.find(cls="Button", id=IDC_SAVE_LOGIN).checked == remember:
                    return found
                return None
            login = self.screen.wait("the remember box", ticked, timeout=10)
        self.shot("login")
        self.screen.click_window(button(login, IDC_LOGIN))

        def outcome(tops):
            refused = dialog(tops, "ユーザー認証")
            if refused:
                return ("refused", refused)
            if not dialog(tops, "ログイン"):
                return ("in", None)
            return None
        result, refused = self.screen.wait("the login's outcome", outcome)
        if result == "refused":
            text = message_box_text(refused)
            if not may_register:
                raise DriverError("login refused: %r" % text)
            log("login refused (%s); registering" % text)
            self.screen.move(*refused.center())
            self.screen.key("Return")
            self.wait_no_dialog("the refusal to close", lambda tops: dialog(tops, "ユーザー認証"))
            self.register(user, password)
            login = self.login_dialog()
            self.screen.click_window(button(login, IDC_LOGIN))
            self.wait_no_dialog("the login dialog to close", lambda tops: dialog(tops, "ログイン"))
        log("logged in as %s" % user)

    def upload_dialog(self, timeout=30.0):
        return self.screen.wait("the upload dialog", lambda tops: dialog(tops, None, (IDC_STATUS, IDC_TITLE, IDC_SEND)),
                                timeout)

    def send(self, title):
        upload = self.upload_dialog()
        status = upload.find(id=IDC_STATUS).text
        if status != "名称を入力して送信開始してください。":
            raise DriverError("upload dialog status %r" % status)
        self.set_edit(upload, IDC_TITLE, title)
        self.shot("title")
        self.screen.click_window(upload.find(cls="Button", id=IDC_SEND))
        log("送信開始 pressed")

    def wait_complete(self, timeout=120.0):
        done = self.screen.wait("the completion dialog", lambda tops: dialog(tops, "アップロード完了"), timeout)
        log("completion dialog: %s" % done.find(id=IDC_STATUS).text)
        self.shot("complete")
        return done

    def go_on(self):
        done = dialog(self.screen.tops(), "アップロード完了")
        self.screen.click_window(button(done, IDC_GO_RET))
        self.wait_no_dialog("the completion dialog to close", lambda tops: dialog(tops, "アップロード完了"))

    def close_program(self, timeout=60.0):
        self.screen.click_window(self.main_button(IDC_CLOSE))
        if not self.program.wait_exit(timeout):
            raise DriverError("Norvalisk did not end after 閉じる")
        log("program closed")


def walk_order(walk, card, user, password, title, register_first=False, may_register=True, page_copy=None,
               python=None):
    """The whole order: page, front, back (its left edge short of bleed), upload, warning, login, title, send."""
    walk.wait_main_window()
    walk.shot("started")
    walk.print_page(card, python=python, copy_to=page_copy)
    walk.place_selection(*walk.trim_target(), step="front-placed")
    walk.cut(0, "front-cut")
    walk.back_tab()
    # The back 1 mm too far left: its left bleed band falls on the white page.
    walk.place_selection(*walk.trim_target((-1.0, 0.0)), step="back-placed")
    walk.cut(1, "back-cut")
    walk.upload()
    walk.answer_bleed_warning(["左"])
    walk.log_in(user, password, remember=True, register_first=register_first, may_register=may_register)
    walk.send(title)
    walk.wait_complete()


def walkthrough(args):
    python = sys.executable
    os.makedirs(args.work, exist_ok=True)
    wine = os.environ.get("WINE", "wine")
    if not port_free(args.port):
        raise DriverError(PORT_TAKEN % args.port)
    data = args.service_data or os.path.join(args.work, "service")
    service = Service(args.port, data, log_file=os.path.join(args.work, "service.log"), python=python)
    log("reference service on http://127.0.0.1:%d (data %s)" % (args.port, data))
    program = inspector = None
    try:
        card = make_sample_card(os.path.join(args.work, "card.png"))
        for stale in ("page_1.bmp", "front.png", "back.png"):
            if os.path.exists(os.path.join(args.program, stale)):
                os.unlink(os.path.join(args.program, stale))
        before = service.uploads()
        program = Program(wine, args.program)
        inspector = Inspector(wine, args.inspector)
        shots = args.shots
        if shots and os.path.isdir(shots):
            for name in os.listdir(shots):
                if name.endswith(".png") and name[:2].isdigit():
                    os.unlink(os.path.join(shots, name))
        screen = Screen(inspector, shots)
        walk = Walk(screen, program)
        try:
            walk_order(walk, card, args.user, args.password, args.title, may_register=True, python=python)
            walk.go_on()
            walk.close_program()
        except DriverError:
            failure = screen.screenshot("failure")
            if failure:
                log("screen at the failure: %s" % failure)
            raise
        stored = [u for u in service.uploads() if u not in before]
        if len(stored) != 1:
            raise DriverError("the service stored %d cards, expected 1" % len(stored))
        with open(os.path.join(stored[0], "fields.json"), encoding="utf-8") as f:
            fields = json.load(f)["fields"]
        log("")
        log("The service stored the card in %s" % stored[0])
        log("  title %s, %s x %s mm, bleed %s mm, user %s; front.png and back.png"
            % (fields.get("title"), fields.get("width"), fields.get("height"), fields.get("nuritashi"), fields.get("id")))
        if shots:
            log("Screenshots of each step: %s/NN-step.png" % shots)
    finally:
        if inspector:
            inspector.close()
        if program:
            program.kill()
        service.stop()


def session(args):
    """Service, program and printed page for a person at the display; ends with the program."""
    python = sys.executable
    os.makedirs(args.work, exist_ok=True)
    wine = os.environ.get("WINE", "wine")
    if not port_free(args.port):
        raise DriverError(PORT_TAKEN % args.port)
    data = args.service_data or os.path.join(args.work, "service")
    service = Service(args.port, data, log_file=os.path.join(args.work, "service.log"), python=python)
    log("reference service on http://127.0.0.1:%d (data %s, log %s)"
        % (args.port, data, os.path.join(args.work, "service.log")))
    program = inspector = None
    try:
        card = make_sample_card(os.path.join(args.work, "card.png"))
        program = Program(wine, args.program)
        inspector = Inspector(wine, args.inspector)
        walk = Walk(Screen(inspector), program)
        walk.wait_main_window()
        make_page(card, os.path.join(args.program, "page_1.bmp"), python)
        inspector.close()
        inspector = None
        log("a printed sample page is in %s as page_1.bmp" % args.program)
        log("Norvalisk is yours now: place the selection, cut front and back, upload (any new ID and "
            "password can be registered). Close it with its close button (閉じる).")
        program.process.wait()
        log("Norvalisk closed; cards the service stored are under %s" % os.path.join(data, "uploads"))
    finally:
        if inspector:
            inspector.close()
        if program:
            program.kill()
        service.stop()
        log("reference service stopped")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    walk = sub.add_parser("walkthrough", help="walk through a whole order with screenshots")
    walk.add_argument("--program", required=True, help="folder with Norvalisk.exe and navo.dll")
    walk.add_argument("--inspector", required=True, help="the window inspector (e2e_inspect.exe)")
    walk.add_argument("--work", required=True, help="folder for the sample card, the service data and logs")
    walk.add_argument("--shots", help="folder for the screenshots NN-step.png")
    walk.add_argument("--port", type=int, default=8750, help="port of the reference service (8750)")
    walk.add_argument("--service-data", help="folder of the service's accounts and uploads")
    walk.add_argument("--user", default="norvalisk-demo")
    walk.add_argument("--password", default="demo1234")
    walk.add_argument("--title", default="山田 太郎の名刺")
    user = sub.add_parser("session", help="service, program and a printed page for a person at the display")
    user.add_argument("--program", required=True, help="folder with Norvalisk.exe and navo.dll")
    user.add_argument("--inspector", required=True, help="the window inspector (e2e_inspect.exe)")
    user.add_argument("--work", required=True, help="folder for the sample card, the service data and logs")
    user.add_argument("--port", type=int, default=8750, help="port of the reference service (8750)")
    user.add_argument("--service-data", help="folder of the service's accounts and uploads")
    args = parser.parse_args(argv)
    try:
        if args.command == "walkthrough":
            walkthrough(args)
        else:
            session(args)
    except (DriverError, subprocess.CalledProcessError, subprocess.TimeoutExpired, OSError) as error:
        print("e2e_driver: %s" % error, file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        return 130
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

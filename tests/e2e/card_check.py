"""What the end-to-end test expects to find at the service, computed on its own.

The card image a cut must produce is computed here from the page file with numpy,
following the cut's rules (selection to page pixels, 2 mm bleed, nearest-neighbour
resampling to 2693 x 1672, white outside the page), without any code of the program.
The recorded upload request is taken apart here too, and PNG files are decoded with
Pillow.
"""

import re
import struct
import zlib

import numpy as np
from PIL import Image

CARD_WIDTH_MM, CARD_HEIGHT_MM, BLEED_MM = 91.0, 55.0, 2.0
PIXELS_PER_MM = struct.unpack("<f", struct.pack("<I", 0x41E2C58B))[0]
CARD_PIXELS = (2693, 1672)


def f32(value):
    return struct.unpack("<f", struct.pack("<f", value))[0]


def round_half_up(value):
    """Truncation toward zero of value + 0.5."""
    return int(value + 0.5)


def read_page(path):
    """The page's stored rows as an array (stored row, column, BGR) and its signed height."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise ValueError("%s is not a bitmap file" % path)
    offset = struct.unpack("<I", data[10:14])[0]
    width, height = struct.unpack("<ii", data[18:26])
    bits = struct.unpack("<H", data[28:30])[0]
    if bits != 24:
        raise ValueError("page is not 24 bits per pixel")
    stride = (width * 3 + 3) // 4 * 4
    rows = np.frombuffer(data, dtype=np.uint8, count=stride * abs(height), offset=offset)
    return rows.reshape(abs(height), stride)[:, :width * 3].reshape(abs(height), width, 3), height


def trim_rect(selection, image_left, image_top, scale):
    """The selection (view client coordinates) in page pixels, and how far each value lay from a
    rounding step (a value close to .5 could round either way in another precision)."""
    rect, margin = [], 1.0
    for value, origin in zip(selection, (image_left, image_top, image_left, image_top)):
        exact = (value - origin) / scale
        rect.append(round_half_up(exact))
        margin = min(margin, abs((exact - int(exact)) - 0.5))
    return tuple(rect), margin


def expected_card(page, trim):
    """The card image (rows top to bottom, RGB) that cutting `trim` out of the page gives."""
    left, top, right, bottom = trim
    bleed = round_half_up((right - left) * BLEED_MM / CARD_WIDTH_MM)
    cut_left, cut_top, cut_right = left - bleed, top - bleed, right + bleed
    width = round_half_up((CARD_WIDTH_MM + 2 * BLEED_MM) * PIXELS_PER_MM)
    height = round_half_up((CARD_HEIGHT_MM + 2 * BLEED_MM) * PIXELS_PER_MM)
    assert (width, height) == CARD_PIXELS
    step = float(np.float32(cut_right - cut_left) / np.float32(width))
    # j * step and i * step are exact in double precision (24-bit step, 12-bit index).
    columns = cut_left + np.floor(np.arange(width, dtype=np.float64) * step + 0.5).astype(np.int64)
    rows = cut_top + np.floor(np.arange(height, dtype=np.float64) * step + 0.5).astype(np.int64)
    page_rows, page_width = page.shape[0], page.shape[1]
    inside_columns = (columns >= 0) & (columns < page_width)
    inside_rows = (rows >= 0) & (rows < page_rows)
    card = np.full((height, width, 3), 255, dtype=np.uint8)
    picked = page[np.clip(rows, 0, page_rows - 1)][:, np.clip(columns, 0, page_width - 1)]
    mask = inside_rows[:, None] & inside_columns[None, :]
    card[mask] = picked[mask]
    return card[:, :, ::-1]  # BGR to RGB


def png_chunks(data):
    """Chunk types of a PNG file in order."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG file")
    types, pos = [], 8
    while pos < len(data):
        length = struct.unpack(">I", data[pos:pos + 4])[0]
        kind = data[pos + 4:pos + 8]
        crc = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])[0]
        if zlib.crc32(kind + data[pos + 8:pos + 8 + length]) != crc:
            raise ValueError("bad CRC in chunk %r" % kind)
        types.append(kind.decode("latin-1"))
        pos += 12 + length
    return types


def decode_png(path):
    with Image.open(path) as image:
        image.load()
        return image.mode, np.asarray(image.convert("RGB"))


def first_difference(actual, expected):
    where = np.argwhere(np.any(actual != expected, axis=2))
    if len(where) == 0:
        return None
    y, x = where[0]
    return "%d pixels differ; first at column %d, row %d: %s instead of %s" % (
        len(where), x, y, tuple(actual[y, x]), tuple(expected[y, x]))


def parse_request(raw):
    """(request line, headers dict with lower-case names, body) of a recorded HTTP request."""
    head, _, body = raw.partition(b"\r\n\r\n")
    lines = head.split(b"\r\n")
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(b":")
        headers[name.strip().lower().decode("latin-1")] = value.strip()
    return lines[0], headers, body


def multipart_parts(content_type, body):
    """[(name, filename or None, content type or None, value)] of a multipart/form-data body, in order."""
    match = re.search(rb'boundary="?([^";]+)"?', content_type)
    if not match:
        raise ValueError("no boundary in %r" % content_type)
    delimiter = b"--" + match.group(1)
    pieces = body.split(delimiter)
    if pieces[0] != b"" or not pieces[-1].startswith(b"--"):
        raise ValueError("the body is not framed by the boundary")
    parts = []
    for piece in pieces[1:-1]:
        if not piece.startswith(b"\r\n") or not piece.endswith(b"\r\n"):
            raise ValueError("a part is not framed by CR LF")
        head, separator, value = piece[2:-2].partition(b"\r\n\r\n")
        if not separator:
            raise ValueError("a part has no header end")
        headers = {}
        for line in head.split(b"\r\n"):
            name, _, text = line.partition(b":")
            headers[name.strip().lower()] = text.strip()
        disposition = headers.get(b"content-disposition", b"")
        name = re.search(rb'\bname="([^"]*)"', disposition)
        filename = re.search(rb'\bfilename="([^"]*)"', disposition)
        parts.append((name.group(1).decode("latin-1") if name else None,
                      filename.group(1) if filename else None, headers.get(b"content-type"), value))
    return parts


# ---------------------------------------------------------------- a design file with trim marks

PAGE_SIZE = (5953, 8419)  # A4 at 720 dpi
MARKED_SHEET = (1680, 1190)  # 120 x 85 mm at 350 dpi: not a card's proportions
MARKED_TRIM = (213, 216, 213 + 1254, 216 + 758)  # 91 x 55 mm at 350 dpi, in sheet pixels
MARK_GAP = 41  # the bleed line 3 mm outside the trim line
MARK_ARM = 138  # 10 mm


def make_marked_design(path):
    """A 350-dpi PNG sheet with a card design, its 3 mm bleed and Japanese corner trim marks (strokes
    two pixels wide centred on the trim and bleed lines). Returns the trim box in sheet pixels."""
    width, height = MARKED_SHEET
    left, top, right, bottom = MARKED_TRIM
    g, arm = MARK_GAP, MARK_ARM
    sheet = np.full((height, width, 3), 255, dtype=np.uint8)
    # Background through the bleed, a band across it, and "text" 5 mm and more inside.
    sheet[top - g:bottom + g, left - g:right + g] = (24, 92, 128)
    sheet[top + 520:top + 600, left - g:right + g] = (240, 180, 40)
    for row in range(4):
        y = top + 90 + row * 60
        sheet[y:y + 30, left + 90:left + 90 + 500 - row * 80] = (250, 250, 250)
    sheet[top + 100:top + 300, right - 300:right - 100] = (200, 40, 60)

    def vertical(x, y0, y1):  # a stroke centred on the boundary x
        sheet[min(y0, y1):max(y0, y1), x - 1:x + 1] = 0

    def horizontal(y, x0, x1):
        sheet[y - 1:y + 1, min(x0, x1):max(x0, x1)] = 0
    for cx, cy, dx, dy in ((left, top, -1, -1), (right, top, 1, -1), (left, bottom, -1, 1), (right, bottom, 1, 1)):
        reach = g + arm
        vertical(cx, cy + dy * g, cy + dy * reach)
        horizontal(cy, cx + dx * g, cx + dx * reach)
        vertical(cx + dx * g, cy + dy * g, cy + dy * reach)
        horizontal(cy + dy * g, cx + dx * g, cx + dx * reach)
    Image.fromarray(sheet, "RGB").save(path, dpi=(350, 350))
    return MARKED_TRIM


def png_dpi(path):
    """The resolution of a PNG's pHYs chunk in dots per inch, as the program reads it."""
    with open(path, "rb") as f:
        data = f.read()
    pos = 8
    while pos + 12 <= len(data):
        length = struct.unpack(">I", data[pos:pos + 4])[0]
        if data[pos + 4:pos + 8] == b"pHYs":
            ppu_x, ppu_y, unit = struct.unpack(">IIB", data[pos + 8:pos + 17])
            assert unit == 1
            return ppu_x * 0.0254, ppu_y * 0.0254
        pos += 12 + length
    raise ValueError("no pHYs chunk")


def imported_trim(design_path, design_size, trim):
    """Where the import puts the design's trim box on the page: the design at its own resolution
    (rounded to whole page pixels) centred on the page, its trim edges scaled with it and rounded to
    the nearest pixel boundary. Also the smallest distance of an unrounded edge from a rounding tie."""
    x_dpi, y_dpi = png_dpi(design_path)
    width = int(design_size[0] * 720 / x_dpi + 0.5)
    height = int(design_size[1] * 720 / y_dpi + 0.5)
    x0, y0 = (PAGE_SIZE[0] - width) // 2, (PAGE_SIZE[1] - height) // 2
    sx, sy = width / design_size[0], height / design_size[1]
    exact = (x0 + trim[0] * sx, y0 + trim[1] * sy, x0 + trim[2] * sx, y0 + trim[3] * sy)
    margin = min(abs((v - int(v)) - 0.5) for v in exact)
    return tuple(round_half_up(v) for v in exact), margin

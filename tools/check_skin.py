#!/usr/bin/env python3
"""Checks the generated skin: every bitmap present at its exact size as a 24-bit
BI_RGB BMP with a BITMAPINFOHEADER, the tabs free of the key colour, and the icons
present as icon files."""
import struct
import sys
from pathlib import Path

KEY = (0, 0, 255)

# Resource name -> (width, height).
BITMAPS = {"WINDOW_BG": (878, 680)}
for name, size in {
    "BTN_CANCEL": (100, 29), "BTN_CLEAR": (95, 43), "BTN_CLOSE": (57, 19), "BTN_CUT": (65, 83),
    "BTN_OPEN": (65, 72),
    "BTN_GO_MYPAGE": (150, 37), "BTN_GO_RET": (150, 37), "BTN_HELP": (67, 34),
    "BTN_LOGIN": (100, 29), "BTN_REGIST": (121, 37), "BTN_SITE": (147, 57), "BTN_UPLOAD": (89, 45),
}.items():
    BITMAPS[name] = size
    BITMAPS[name + "_HV"] = size
for n in range(1, 6):
    BITMAPS[f"PAGE{n}"] = (16, 21)
    BITMAPS[f"PAGE{n}_SEL"] = (16, 21)
BITMAPS.update({
    "PAGE_DIS": (16, 21), "PAGE_SHOW": (21, 21), "PAGE_SHOW_SEL": (21, 22),
    "TAB_BACK": (105, 30), "TAB_BACK_HV": (105, 30), "TAB_BACK_SEL": (105, 30),
    "TAB_FRONT": (106, 30), "TAB_FRONT_HV": (106, 30), "TAB_FRONT_SEL": (106, 31),
})
ICONS = ["A_NORVALISK", "IMG_LOGIN", "IMG_REGIST", "IMG_COMPLETE"]


def read_bmp(path):
    """Returns (width, height, rows of RGB tuples from the top) of a 24-bit BMP, or raises."""
    data = path.read_bytes()
    if data[:2] != b"BM":
        raise ValueError("not a BMP file")
    offset, = struct.unpack_from("<I", data, 10)
    header, width, height, planes, bpp, compression = struct.unpack_from("<IiiHHI", data, 14)
    if header != 40:
        raise ValueError(f"header size {header}, expected 40")
    if bpp != 24 or compression != 0 or planes != 1:
        raise ValueError(f"{bpp} bpp, compression {compression}, planes {planes}")
    stride = (width * 3 + 3) & ~3
    if height <= 0 or len(data) < offset + stride * height:
        raise ValueError("pixel data cut short or top-down")
    rows = []
    for y in range(height - 1, -1, -1):
        start = offset + y * stride
        line = data[start:start + width * 3]
        rows.append([(line[i + 2], line[i + 1], line[i]) for i in range(0, width * 3, 3)])
    return width, height, rows


def near_key(rgb):
    """A bluish pixel that is not exactly the key: it would show as a fringe."""
    r, g, b = rgb
    return rgb != KEY and b > 200 and r < 60 and g < 60


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "resources" / "skin")
    errors = []
    for name, (w, h) in sorted(BITMAPS.items()):
        path = folder / f"{name}.bmp"
        if not path.is_file():
            errors.append(f"{name}: missing")
            continue
        try:
            width, height, rows = read_bmp(path)
        except ValueError as e:
            errors.append(f"{name}: {e}")
            continue
        if (width, height) != (w, h):
            errors.append(f"{name}: {width}x{height}, expected {w}x{h}")
        pixels = [p for row in rows for p in row]
        if name.startswith("TAB_") and KEY in pixels:
            errors.append(f"{name}: a tab must not contain the key colour")
        fringe = sum(1 for p in pixels if near_key(p))
        if fringe:
            errors.append(f"{name}: {fringe} near-blue pixels")
        if not name.startswith("TAB_") and sum(1 for p in rows[0] + rows[-1] if p == KEY) == 0:
            errors.append(f"{name}: no cut-away corners")
    for name in ICONS:
        path = folder / f"{name}.ico"
        data = path.read_bytes() if path.is_file() else b""
        if len(data) < 6 or struct.unpack_from("<HHH", data) [:2] != (0, 1) or data[4] == 0:
            errors.append(f"{name}.ico: missing or not an icon file")
    for e in errors:
        print("check_skin:", e, file=sys.stderr)
    if errors:
        return 1
    print(f"check_skin: {len(BITMAPS)} bitmaps and {len(ICONS)} icons OK")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Makes the page file the virtual printer would leave for a card design.

The printer driver renders each printed page as a top-down 24-bit Windows
bitmap at 720 dots per inch; this tool builds the same from an ordinary image
or PDF, so that Norvalisk can be fed without the driver:

    tools/make_page.py design.png out/page_1.bmp
    tools/make_page.py card.pdf out/page_1.bmp --x-mm 30 --y-mm 40
    tools/make_page.py logo.jpg out/page_2.bmp --width-mm 91

The page is A4 portrait, 210 x 297 mm, at 720 dpi: 5953 x 8419 pixels
(210 / 25.4 x 720 = 5952.76 and 297 / 25.4 x 720 = 8418.90, each rounded to
the nearest pixel, as the program rounds its own geometry). It is white; the
design is placed with its top-left corner at (--x-mm, --y-mm) from the page's
top-left corner (default 20 mm, 20 mm), at its real size:

  * --width-mm or --height-mm: that width or height, the other side keeping
    the design's proportions;
  * --dpi: the design's pixels at that many per inch;
  * otherwise a PDF's own page size, or an image's own resolution (from the
    file; 300 dpi when it records none).

Converters: a binary PPM (P6, 8 bits) at its final size is read directly;
other images go through ImageMagick's `convert` (transparency over white),
PDFs through poppler's `pdfinfo` and `pdftoppm` (first page only).

The file is written under a temporary name beside the target and then moved
into place, so that a watcher never sees a half-written page; its first two
bytes are then written again (same content), so that the folder reports a
write of the complete file.
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile

PAGE_DPI = 720
MM_PER_INCH = 25.4
PAGE_WIDTH_MM = 210.0
PAGE_HEIGHT_MM = 297.0
FALLBACK_DPI = 300.0


def mm_to_px(mm):
    """Page pixels for a length in millimetres, rounded half up."""
    return int(mm * PAGE_DPI / MM_PER_INCH + 0.5)


PAGE_WIDTH = mm_to_px(PAGE_WIDTH_MM)  # 5953
PAGE_HEIGHT = mm_to_px(PAGE_HEIGHT_MM)  # 8419


class PageError(Exception):
    pass


def run(command):
    try:
        return subprocess.run(command, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE).stdout
    except FileNotFoundError:
        raise PageError(f"{command[0]} is not installed")
    except subprocess.CalledProcessError as error:
        raise PageError(f"{command[0]} failed: {error.stderr.decode(errors='replace').strip()}")


def read_ppm(data):
    """(width, height, RGB bytes) of a binary 8-bit PPM."""
    tokens = []
    pos = 0
    while len(tokens) < 4:
        match = re.compile(rb"\s*(?:#[^\n]*\n\s*)*(\S+)").match(data, pos)
        if not match:
            raise PageError("not a PPM image")
        tokens.append(match.group(1))
        pos = match.end()
    magic, width, height, maxval = tokens[0], int(tokens[1]), int(tokens[2]), int(tokens[3])
    if magic != b"P6" or maxval != 255:
        raise PageError("only binary PPM images with 8 bits per sample are read directly")
    pos += 1  # the single whitespace byte after the header
    pixels = data[pos:pos + width * height * 3]
    if len(pixels) != width * height * 3:
        raise PageError("PPM image is truncated")
    return width, height, pixels


def is_pdf(path):
    with open(path, "rb") as f:
        return f.read(5) == b"%PDF-"


def pdf_size_mm(path):
    """Width and height in millimetres of the PDF's first page."""
    info = run(["pdfinfo", "-f", "1", "-l", "1", path]).decode(errors="replace")
    match = re.search(r"Page\s+1 size:\s+([\d.]+) x ([\d.]+) pts", info) or re.search(
        r"Page size:\s+([\d.]+) x ([\d.]+) pts", info)
    if not match:
        raise PageError("pdfinfo reports no page size")
    return float(match.group(1)) * MM_PER_INCH / 72, float(match.group(2)) * MM_PER_INCH / 72


def image_info(path):
    """Pixel width and height of an image and its resolution in dpi, or None when it records none."""
    with open(path, "rb") as f:
        head = f.read(64)
    if head.startswith(b"P6"):
        with open(path, "rb") as f:
            width, height, _ = read_ppm(f.read())
        return width, height, None
    text = run(["identify", "-format", "%w %h %x %y %U\n", path + "[0]"]).decode().split("\n")[0]
    fields = text.split()
    width, height = int(fields[0]), int(fields[1])
    xres = float(fields[2])
    units = fields[4] if len(fields) > 4 else "Undefined"
    if units == "PixelsPerInch" and xres > 0:
        return width, height, xres
    if units == "PixelsPerCentimeter" and xres > 0:
        return width, height, xres * 2.54
    return width, height, None


def target_size(natural_mm, natural_px, args):
    """Pixel size of the design on the page."""
    if args.width_mm:
        width = mm_to_px(args.width_mm)
        return width, max(1, int(width * natural_px[1] / natural_px[0] + 0.5))
    if args.height_mm:
        height = mm_to_px(args.height_mm)
        return max(1, int(height * natural_px[0] / natural_px[1] + 0.5)), height
    return mm_to_px(natural_mm[0]), mm_to_px(natural_mm[1])


def rasterise(path, args):
    """(width, height, RGB bytes) of the design at its size on the page."""
    if is_pdf(path):
        natural_mm = pdf_size_mm(path)
        if args.dpi:
            raise PageError("--dpi does not apply to a PDF; use --width-mm or --height-mm")
        width, height = target_size(natural_mm, natural_mm, args)
        with tempfile.TemporaryDirectory() as folder:
            base = os.path.join(folder, "design")
            run(["pdftoppm", "-f", "1", "-l", "1", "-singlefile", "-r", str(PAGE_DPI), "-scale-to-x",
                 str(width), "-scale-to-y", str(height), path, base])
            with open(base + ".ppm", "rb") as f:
                return read_ppm(f.read())

    px_width, px_height, dpi = image_info(path)
    dpi = args.dpi or dpi or FALLBACK_DPI
    natural_mm = (px_width * MM_PER_INCH / dpi, px_height * MM_PER_INCH / dpi)
    width, height = target_size(natural_mm, (px_width, px_height), args)
    with open(path, "rb") as f:
        if f.read(2) == b"P6" and (width, height) == (px_width, px_height):
            f.seek(0)
            return read_ppm(f.read())
    command = ["convert", path + "[0]", "-background", "white", "-alpha", "remove", "-alpha", "off",
               "-colorspace", "sRGB"]
    if (width, height) != (px_width, px_height):
        command += ["-resize", f"{width}x{height}!"]
    command += ["-depth", "8", "ppm:-"]
    return read_ppm(run(command))


def bmp_header(width, height, stride):
    """File and information headers of a top-down 24-bit bitmap at 720 dpi."""
    image_size = stride * height
    pixels_per_metre = int(PAGE_DPI / 0.0254 + 0.5)  # 28346
    header = bytearray()
    header += b"BM"
    header += (54 + image_size).to_bytes(4, "little")
    header += (0).to_bytes(4, "little")
    header += (54).to_bytes(4, "little")
    header += (40).to_bytes(4, "little")
    header += width.to_bytes(4, "little", signed=True)
    header += (-height).to_bytes(4, "little", signed=True)  # rows stored top-down
    header += (1).to_bytes(2, "little")
    header += (24).to_bytes(2, "little")
    header += (0).to_bytes(4, "little")
    header += image_size.to_bytes(4, "little")
    header += pixels_per_metre.to_bytes(4, "little")
    header += pixels_per_metre.to_bytes(4, "little")
    header += (0).to_bytes(8, "little")
    return bytes(header)


def write_page(out_path, design, x, y):
    width, height, rgb = design
    stride = (PAGE_WIDTH * 3 + 3) // 4 * 4
    bgr = bytearray(len(rgb))
    bgr[0::3] = rgb[2::3]
    bgr[1::3] = rgb[1::3]
    bgr[2::3] = rgb[0::3]
    white = bytes([255]) * (PAGE_WIDTH * 3) + bytes(stride - PAGE_WIDTH * 3)
    folder = os.path.dirname(os.path.abspath(out_path))
    handle, temp_path = tempfile.mkstemp(prefix=".page-", suffix=".tmp", dir=folder)
    try:
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(temp_path, 0o666 & ~umask)
        with os.fdopen(handle, "wb", buffering=1 << 20) as out:
            out.write(bmp_header(PAGE_WIDTH, PAGE_HEIGHT, stride))
            row = bytearray(white)
            for page_row in range(PAGE_HEIGHT):
                design_row = page_row - y
                if 0 <= design_row < height:
                    row[:] = white
                    row[x * 3:(x + width) * 3] = bgr[design_row * width * 3:(design_row + 1) * width * 3]
                    out.write(row)
                else:
                    out.write(white)
        os.replace(temp_path, out_path)
    except BaseException:
        os.unlink(temp_path)
        raise
    with open(out_path, "r+b") as out:
        out.write(b"BM")


def main(argv):
    parser = argparse.ArgumentParser(
        description="Turn a card design (image or PDF) into a 720-dpi A4 page bitmap as the "
                    "Norvalisk printer driver leaves it.")
    parser.add_argument("design", help="image (PNG, JPEG, PPM, ...) or PDF of the design")
    parser.add_argument("output", help="page file to write, for example page_1.bmp")
    parser.add_argument("--x-mm", type=float, default=20.0, help="left edge of the design on the page (20)")
    parser.add_argument("--y-mm", type=float, default=20.0, help="top edge of the design on the page (20)")
    size = parser.add_mutually_exclusive_group()
    size.add_argument("--width-mm", type=float, help="width of the design on the page")
    size.add_argument("--height-mm", type=float, help="height of the design on the page")
    size.add_argument("--dpi", type=float, help="resolution of the design's pixels")
    args = parser.parse_args(argv)
    for name in ("width_mm", "height_mm", "dpi"):
        value = getattr(args, name)
        if value is not None and value <= 0:
            parser.error(f"--{name.replace('_', '-')} must be positive")
    if args.x_mm < 0 or args.y_mm < 0:
        parser.error("the design's place must lie on the page")

    try:
        design = rasterise(args.design, args)
        x, y = mm_to_px(args.x_mm), mm_to_px(args.y_mm)
        if x + design[0] > PAGE_WIDTH or y + design[1] > PAGE_HEIGHT:
            raise PageError(f"the design ({design[0]} x {design[1]} pixels at {x}, {y}) does not fit on "
                            f"the page ({PAGE_WIDTH} x {PAGE_HEIGHT})")
        write_page(args.output, design, x, y)
    except (PageError, OSError) as error:
        print(f"make_page: {error}", file=sys.stderr)
        return 1
    print(f"{args.output}: {PAGE_WIDTH} x {PAGE_HEIGHT} page, design {design[0]} x {design[1]} pixels at "
          f"({x}, {y})")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/env python3
"""Checks that no folder of the program includes a header of a folder above it.

The layers, lowest first, are listed in LAYERS (ARCHITECTURE.md draws them). A
source file in a layer may include headers of its own folder and of the
layers below it, and resources/resource.h (the resource identifiers). The web
view library (webview/) stands apart: it includes only its own headers and
the ground floor, and the program reaches it only through webview/navo.h,
its public interface. Tests, benchmarks and tools stand on top and may
include anything.

  check_layers.py [ROOT]          check; exit status 1 and one line per upward include
  check_layers.py --table [ROOT]  also print which folder includes which
"""
import os
import re
import sys

# Lowest first. A folder may include the folders before it.
LAYERS = ["base", "image", "job", "controls", "net", "pages", "editor", "upload", "app"]
# Folders outside the ladder, and what they may include.
APART = {"webview": {"base", "webview"}}
# Headers that every layer may include.
SHARED_HEADERS = {"resources/resource.h"}
# The only header of an apart folder that the layers may include.
PUBLIC_HEADERS = {"webview/navo.h"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cpp", ".in")


def allowed(source_folder, header):
    """True when a file of `source_folder` may include `header`."""
    if header in SHARED_HEADERS:
        return True
    target = header.split("/", 1)[0]
    if source_folder in APART:
        return target in APART[source_folder] or "/" not in header
    if target in APART:
        return header in PUBLIC_HEADERS
    if target not in LAYERS:
        return True  # a system header or one beside the file
    return LAYERS.index(target) <= LAYERS.index(source_folder)


def scan(root):
    """Yields (source path, source folder, included header) for every quoted include."""
    for folder in LAYERS + sorted(APART):
        base = os.path.join(root, folder)
        if not os.path.isdir(base):
            continue
        for directory, _, files in os.walk(base):
            for name in sorted(files):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(directory, name)
                with open(path, encoding="utf-8", errors="replace") as source:
                    text = source.read()
                for header in INCLUDE.findall(text):
                    yield os.path.relpath(path, root), folder, header


def main(argv):
    table = "--table" in argv
    args = [a for a in argv if not a.startswith("--")]
    root = args[0] if args else os.path.join(os.path.dirname(__file__), "..")
    missing = [f for f in LAYERS if not os.path.isdir(os.path.join(root, f))]
    if missing:
        print("check_layers: no folder " + ", ".join(missing), file=sys.stderr)
        return 2
    upward = []
    edges = {}
    for path, folder, header in scan(root):
        target = header.split("/", 1)[0]
        if "/" in header and target != folder and (target in LAYERS or target in APART):
            edges.setdefault(folder, set()).add(target)
        if not allowed(folder, header):
            upward.append(f"{path}: includes {header}, which is above {folder}/")
    if table:
        for folder in LAYERS + sorted(APART):
            print(f"{folder:9} -> {', '.join(sorted(edges.get(folder, []))) or '(nothing)'}")
    for line in upward:
        print(line, file=sys.stderr)
    if upward:
        print(f"check_layers: {len(upward)} include(s) reach up a layer (see ARCHITECTURE.md)",
              file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

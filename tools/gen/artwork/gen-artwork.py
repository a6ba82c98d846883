#!/usr/bin/env python3
"""Draws every picture and cursor the plug-in loads by name, as listed in
artwork.txt, into an output folder, with one resource script naming them.

Kinds and what is written:
  alpha      the alpha-image stream (RCDATA): zlib around N, header, pixels
  bitmap     a bitmap file (BITMAP) of 24 or 4 bits per pixel
  cursor     a monochrome 32 x 32 cursor file (CURSOR)
  imagelist  the system image-list stream of the cells, deflated (RCDATA):
             the stored form of an image list's "CompressedBitmap"
"""

import argparse
import hashlib
import os
import sys
import zlib

# The drawing modules beside this script; no bytecode is left in the sources.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import raster  # noqa: E402
from recipes import RECIPES  # noqa: E402

KINDS = {
    "alpha": ("RCDATA", ".img"),
    "bitmap": ("BITMAP", ".bmp"),
    "cursor": ("CURSOR", ".cur"),
    "imagelist": ("RCDATA", ".il"),
}


class Entry:
    def __init__(self, line_no, fields):
        if len(fields) < 5:
            raise ValueError("line %d: name kind size format recipe [key=value ...]" % line_no)
        self.name, self.kind, size, self.format, self.recipe = fields[:5]
        self.args = {}
        for item in fields[5:]:
            key, _, value = item.partition("=")
            self.args[key] = value
        if self.kind not in KINDS:
            raise ValueError("line %d: unknown kind %s" % (line_no, self.kind))
        if self.recipe not in RECIPES:
            raise ValueError("line %d: unknown recipe %s" % (line_no, self.recipe))
        w, _, h = size.partition("x")
        self.width, self.height = int(w), int(h)


def read_table(path):
    entries = []
    with open(path, encoding="utf-8") as f:
        for line_no, line in enumerate(f, 1):
            line = line.split("#", 1)[0].strip()
            if line:
                entries.append(Entry(line_no, line.split()))
    names = [e.name for e in entries]
    duplicates = {n for n in names if names.count(n) > 1}
    if duplicates:
        raise ValueError("names listed twice: " + ", ".join(sorted(duplicates)))
    return entries


def draw(entry):
    args = dict(entry.args)
    canvas = raster.Canvas(entry.width, entry.height)
    hotspot = args.pop("hotspot", "0,0")
    background = args.pop("background", "255,0,255")
    cell = args.pop("cell", None)
    keyed = args.pop("keyed", "1") != "0"
    RECIPES[entry.recipe](canvas, **args)
    if entry.kind == "alpha":
        return raster.alpha_image(canvas)
    if entry.kind == "bitmap":
        bits = {"bmp24": 24, "bmp4": 4}[entry.format]
        bg = tuple(int(v) for v in background.split(","))
        # Keyed bitmaps have hard edges: a blend into the key colour would
        # leave a fringe that is neither see-through nor the picture's.
        if keyed:
            for row in canvas.px:
                for p in row:
                    if p[3] < 128:
                        p[:] = list(bg) + [0]
                    else:
                        p[3] = 255
        return raster.bitmap(canvas, bits, bg)
    if entry.kind == "cursor":
        return raster.cursor(entry.width, entry.height,
                             tuple(int(v) for v in hotspot.split(",")), cursor_pixels(canvas))
    if entry.kind == "imagelist":
        cw, _, ch = (cell or "%dx%d" % (entry.height, entry.height)).partition("x")
        cw, ch = int(cw), int(ch)
        pictures = []
        for i in range(entry.width // cw):
            picture = raster.Canvas(cw, ch)
            for y in range(ch):
                for x in range(cw):
                    picture.px[y][x] = list(canvas.px[y][i * cw + x])
            pictures.append(picture)
        return zlib.compress(raster.image_list_stream(cw, ch, pictures), 9)
    raise ValueError(entry.kind)


def cursor_pixels(canvas):
    """White and black where drawn, and a black outline around the white."""
    w, h = canvas.width, canvas.height
    grid = [[" "] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            r, g, b, a = canvas.px[y][x]
            if a >= 128:
                grid[y][x] = "w" if (r + g + b) / 3 >= 128 else "b"
    outlined = [row[:] for row in grid]
    for y in range(h):
        for x in range(w):
            if grid[y][x] != " ":
                continue
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    yy, xx = y + dy, x + dx
                    if 0 <= yy < h and 0 <= xx < w and grid[yy][xx] == "w":
                        outlined[y][x] = "b"
    return outlined


def write_if_changed(path, data):
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except OSError:
        pass
    with open(path, "wb") as f:
        f.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--table", required=True)
    parser.add_argument("--out", required=True, help="folder for the pictures")
    parser.add_argument("--rc", required=True, help="the resource script to write")
    parser.add_argument("--list", help="also write the table as C++ rows for the tests")
    options = parser.parse_args()

    entries = read_table(options.table)
    os.makedirs(options.out, exist_ok=True)
    lines = []
    digest = hashlib.sha1()
    for entry in entries:
        rc_type, suffix = KINDS[entry.kind]
        path = os.path.join(os.path.abspath(options.out), entry.name.lower() + suffix)
        data = draw(entry)
        digest.update(data)
        write_if_changed(path, data)
        lines.append('%s %s "%s"' % (entry.name, rc_type, path.replace(os.sep, "/")))
    # The digest changes the script whenever a picture changes, so the
    # compiled resources follow the pictures and not only the list.
    head = ["// The plug-in's pictures and cursors, drawn at build time.",
            "// pictures " + digest.hexdigest(), ""]
    # The declared outputs are always written, so the build sees them newer
    # than the table and the script.
    with open(options.rc, "wb") as f:
        f.write(("\n".join(head + lines) + "\n").encode("ascii"))

    if options.list:
        rows = ["// Every picture and cursor of the artwork table.", "#pragma once", "",
                "struct TArtworkRow {", "  const wchar_t* Name;", "  const char* Kind;",
                "  unsigned Width;", "  unsigned Height;", "  const char* Format;",
                "  unsigned HotX, HotY;       // cursors", "  unsigned CellWidth, CellHeight; // image lists",
                "};", "",
                "inline constexpr TArtworkRow kArtworkRows[] = {"]
        for e in entries:
            hot = e.args.get("hotspot", "0,0").split(",")
            cw, _, ch = e.args.get("cell", "0x0").partition("x")
            rows.append('    {L"%s", "%s", %d, %d, "%s", %s, %s, %s, %s},' % (
                e.name, e.kind, e.width, e.height, e.format, hot[0], hot[1], cw, ch))
        rows.append("};")
        with open(options.list, "wb") as f:
            f.write(("\n".join(rows) + "\n").encode("ascii"))


if __name__ == "__main__":
    main()

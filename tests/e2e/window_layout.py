#!/usr/bin/env python3
"""Compares where a window's controls are in two screenshots of it (X window dumps of the
whole screen), and whether the second one is wholly drawn.

  window_layout.py crop DUMP X Y W H OUT.png      the window's part of a dump, as PNG
  window_layout.py compare REFERENCE.png OTHER.png

Controls are found as the cells of a grid that hold more than flat colour. Two builds with
different fonts and styles have such cells in nearly the same places when their controls are:
each busy cell of one screenshot must find one of the other's within a cell's distance.
"""
import struct
import sys
import zlib

CELL = 20  # pixels; a control is at least this big
AGREEMENT = 0.8  # share of each screenshot's busy cells that must find the other's
UNPAINTED_STRIP = 0.9  # share of black pixels that makes a strip of the window unpainted


def read_dump(path):
    data = open(path, "rb").read()
    fields = struct.unpack(">25I", data[:100])
    header_size, _, fmt, _, width, height = fields[:6]
    byte_order, bpp, line, ncolors = fields[7], fields[11], fields[12], fields[19]
    size = bpp // 8
    if fmt != 2 or bpp not in (24, 32) or line < size * width:
        raise SystemExit(f"{path}: only 24- and 32-bit ZPixmap dumps are read")
    start = header_size + 12 * ncolors
    pixels = data[start:start + line * height]
    rows = []
    for y in range(height):
        row = pixels[y * line:y * line + width * size]
        if byte_order == 0:  # B G R (x) in memory
            rows.append(bytes(b for i in range(0, len(row), size) for b in (row[i + 2], row[i + 1], row[i])))
        else:  # (x) R G B
            rows.append(bytes(b for i in range(0, len(row), size) for b in row[i + size - 3:i + size]))
    return width, height, rows


def write_png(path, width, height, rows):
    raw = b"".join(b"\0" + r for r in rows)
    chunk = lambda kind, body: (struct.pack(">I", len(body)) + kind + body +
                                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        f.write(chunk(b"IEND", b""))


def read_png(path):
    """Reads the PNGs write_png makes: 8-bit RGB, filter 0 on every row."""
    data = open(path, "rb").read()
    width, height = struct.unpack(">II", data[16:24])
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind == b"IDAT":
            idat += data[pos + 8:pos + 8 + length]
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = 1 + 3 * width
    return width, height, [raw[y * stride + 1:(y + 1) * stride] for y in range(height)]


def busy_cells(width, height, rows):
    """The cells whose pixels are not all one colour."""
    cells = set()
    for cy in range(height // CELL):
        for cx in range(width // CELL):
            seen = set()
            for y in range(cy * CELL, (cy + 1) * CELL, 2):
                row = rows[y]
                for x in range(cx * CELL, (cx + 1) * CELL, 2):
                    seen.add(row[3 * x:3 * x + 3])
                    if len(seen) > 1:
                        break
                if len(seen) > 1:
                    cells.add((cx, cy))
                    break
    return cells


def unpainted_strips(width, height, rows, strips=32):
    """Vertical and horizontal strips of the window that are nearly all black."""
    found = []
    for axis, length, across in (("x", width, height), ("y", height, width)):
        step = max(1, length // strips)
        for start in range(0, length - step + 1, step):
            black = total = 0
            for a in range(start, start + step, 2):
                for b in range(0, across, 4):
                    x, y = (a, b) if axis == "x" else (b, a)
                    total += 1
                    black += rows[y][3 * x:3 * x + 3] == b"\0\0\0"
            if black > UNPAINTED_STRIP * total:
                found.append(f"{axis} {start}..{start + step}")
    return found


def compare(reference, other):
    rw, rh, rrows = read_png(reference)
    ow, oh, orows = read_png(other)
    faults = []
    if (rw, rh) != (ow, oh):
        faults.append(f"window size {ow}x{oh}, reference {rw}x{rh}")
    for strip in unpainted_strips(ow, oh, orows):
        faults.append(f"unpainted: {strip}")
    w, h = min(rw, ow), min(rh, oh)
    ref = {c for c in busy_cells(rw, rh, rrows) if c[0] < w // CELL and c[1] < h // CELL}
    oth = {c for c in busy_cells(ow, oh, orows) if c[0] < w // CELL and c[1] < h // CELL}
    for name, these, those in (("reference", ref, oth), ("screenshot", oth, ref)):
        found = sum(1 for (x, y) in these
                    if any((x + dx, y + dy) in those for dx in (-1, 0, 1) for dy in (-1, 0, 1)))
        print(f"{found} of the {name}'s {len(these)} busy cells found in the other")
        if found < AGREEMENT * max(len(these), 1):
            faults.append(f"controls elsewhere: only {found} of the {name}'s {len(these)} "
                          "busy cells found in the other")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


def main(argv):
    if len(argv) == 8 and argv[1] == "crop":
        width, height, rows = read_dump(argv[2])
        x, y, w, h = (int(v) for v in argv[3:7])
        if x < 0 or y < 0 or x + w > width or y + h > height:
            # What lies off the screen was never drawn; keep the part on it.
            w, h = min(w, width - max(x, 0)), min(h, height - max(y, 0))
            x, y = max(x, 0), max(y, 0)
        write_png(argv[7], w, h, [r[3 * x:3 * (x + w)] for r in rows[y:y + h]])
        return 0
    if len(argv) == 4 and argv[1] == "compare":
        return compare(argv[2], argv[3])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))

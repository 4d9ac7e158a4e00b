#!/usr/bin/env python3
"""The screenshot comparison of window_layout.py on drawn windows: what it must let through
(other fonts, a shade of grey) and what it must catch (moved controls, unpainted strips, another
size)."""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import window_layout  # noqa: E402

GREY, WHITE, BLACK, DARK = b"\xf0\xf0\xf0", b"\xff\xff\xff", b"\0\0\0", b"\x30\x30\x30"


def window(width=400, height=300, controls=((20, 20, 120, 40), (20, 80, 360, 200)), ink=DARK,
           face=GREY, black=None):
    """A window of flat `face` with framed controls (x, y, w, h) holding a line of `ink` text,
    and optionally a black rectangle where nothing was drawn."""
    rows = [bytearray(face * width) for _ in range(height)]

    def fill(x, y, w, h, colour):
        for yy in range(y, y + h):
            rows[yy][3 * x:3 * (x + w)] = colour * w

    for x, y, w, h in controls:
        fill(x, y, w, h, WHITE)
        for edge in ((x, y, w, 1), (x, y + h - 1, w, 1), (x, y, 1, h), (x + w - 1, y, 1, h)):
            fill(*edge, DARK)
        for letter in range(x + 6, x + w - 10, 9):
            fill(letter, y + 8, 5, 7, ink)
    if black:
        fill(*black, BLACK)
    return width, height, [bytes(r) for r in rows]


CASES = [
    # name, reference, other, passes
    ("the same window", window(), window(), True),
    ("other glyphs and greys", window(), window(ink=b"\x50\x20\x20", face=b"\xec\xe9\xd8"), True),
    ("one control moved far", window(),
     window(controls=((250, 20, 120, 40), (20, 80, 360, 200))), False),
    ("the right part unpainted", window(), window(black=(300, 0, 100, 300)), False),
    ("a narrow unpainted column", window(), window(black=(40, 0, 20, 300)), False),
    ("another size", window(), window(width=380), False),
]


def main():
    failed = 0
    with tempfile.TemporaryDirectory() as folder:
        for name, reference, other, passes in CASES:
            paths = []
            for which, image in (("reference", reference), ("other", other)):
                paths.append(os.path.join(folder, which + ".png"))
                window_layout.write_png(paths[-1], *image)
            status = window_layout.compare(*paths)
            if (status == 0) != passes:
                print(f"FAILED: {name}: compare returned {status}")
                failed += 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

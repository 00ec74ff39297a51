#!/usr/bin/env python3
"""Draws the three program icons as 32x32 XPM files.

The XPMs are plain text and are meant to be read by a human too, so every
image uses a few colours of the classic 16-colour VGA palette plus "None"
for transparent pixels.

Usage: python3 tools/make_icons.py [resources-folder]
(default: the "resources" folder next to "tools").
"""

import math
import os
import sys

SIZE = 32

# The 16 VGA colours; each gets a fixed, readable XPM character.
PALETTE = {
    ".": "None",
    "k": "#000000",  # black
    "n": "#000080",  # navy
    "g": "#008000",  # green
    "t": "#008080",  # teal
    "m": "#800000",  # maroon
    "p": "#800080",  # purple
    "o": "#808000",  # olive
    "s": "#C0C0C0",  # silver
    "d": "#808080",  # dark gray
    "b": "#0000FF",  # blue
    "l": "#00FF00",  # lime
    "c": "#00FFFF",  # cyan
    "r": "#FF0000",  # red
    "f": "#FF00FF",  # fuchsia
    "y": "#FFFF00",  # yellow
    "w": "#FFFFFF",  # white
}


class Canvas:
    def __init__(self):
        self.px = [["." for _ in range(SIZE)] for _ in range(SIZE)]

    def set(self, x, y, c):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.px[y][x] = c

    def get(self, x, y):
        return self.px[y][x]

    def rect(self, x0, y0, x1, y1, c):
        """Fills the rectangle with inclusive corners."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def round_rect(self, x0, y0, x1, y1, radius, c):
        """Fills a rectangle whose corners are cut to a circle of 'radius'."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                # distance of the pixel centre from the nearest inner corner
                cx = min(max(x + 0.5, x0 + radius), x1 + 1 - radius)
                cy = min(max(y + 0.5, y0 + radius), y1 + 1 - radius)
                if math.hypot(x + 0.5 - cx, y + 0.5 - cy) <= radius + 0.01:
                    self.set(x, y, c)

    def disc(self, cx, cy, r, c):
        """Fills a circle; cx, cy are in pixel-edge coordinates."""
        for y in range(SIZE):
            for x in range(SIZE):
                if math.hypot(x + 0.5 - cx, y + 0.5 - cy) <= r:
                    self.set(x, y, c)

    def sprite(self, x0, y0, rows):
        """Copies a small picture; spaces are left untouched."""
        for dy, row in enumerate(rows):
            for dx, c in enumerate(row):
                if c != " ":
                    self.set(x0 + dx, y0 + dy, c)

    def write_xpm(self, path, name):
        used = sorted({c for row in self.px for c in row},
                      key=lambda c: list(PALETTE).index(c))
        assert len(used) <= 17, "too many colours"
        lines = ["/* XPM */",
                 f"static const char *{name}[] = {{",
                 "/* columns rows colors chars-per-pixel */",
                 f'"{SIZE} {SIZE} {len(used)} 1 ",']
        for c in used:
            lines.append(f'"{c} c {PALETTE[c]}",')
        lines.append("/* pixels */")
        for i, row in enumerate(self.px):
            end = "," if i < SIZE - 1 else ""
            lines.append('"' + "".join(row) + '"' + end)
        lines.append("};")
        with open(path, "w", encoding="ascii", newline="\n") as f:
            f.write("\n".join(lines) + "\n")


# ---------------------------------------------------------------- traffic light

def traffic_light(top, middle, bottom, lit):
    """top/middle/bottom are lamp colours; lit is the index of the lamp that is on."""
    cv = Canvas()
    # housing: gray rim around a black body
    cv.round_rect(8, 0, 23, 31, 4, "d")
    cv.round_rect(9, 1, 22, 30, 3, "k")
    for i, col in enumerate([top, middle, bottom]):
        cy = 6.0 + 10 * i
        cv.disc(16.0, cy, 4.3, col)
        y = int(cy)
        if i == lit:
            # white reflection in the upper left of the lamp that is on
            cv.sprite(13, y - 3, ["ww", "w"])
        else:
            cv.set(13, y - 3, "d")
    return cv


# ---------------------------------------------------------------- program icon

LANDSCAPE = [  # 14 x 11, sky with sun and cloud, two hills
    "cccccccccccccc",
    "cccccccccyyccc",
    "ccwwccccyyyycc",
    "cwwwwcccyyyycc",
    "cccccccccyyccc",
    "cccccccccccccc",
    "ccgggccccccccc",
    "cgggggcccccccl",
    "gggggggcccclll",
    "ggggggggllllll",
    "ggggggggglllll",
]

LETTER_A = [  # 11 x 11, bold capital A
    "    rrr    ",
    "   rrrrr   ",
    "   rr rr   ",
    "  rrr rrr  ",
    "  rr   rr  ",
    "  rr   rr  ",
    " rrrrrrrrr ",
    " rrrrrrrrr ",
    "rrr     rrr",
    "rr       rr",
    "rr       rr",
]


def program_icon():
    cv = Canvas()
    # picture frame (top left): black edge, olive wood, black inner edge
    cv.rect(0, 1, 21, 19, "k")
    cv.rect(1, 2, 20, 18, "o")
    cv.rect(3, 4, 18, 16, "k")
    cv.rect(4, 5, 17, 15, "l")
    cv.sprite(4, 5, LANDSCAPE)
    # word card (bottom right) with a shadow and the letter A
    cv.rect(15, 14, 31, 31, "d")
    cv.rect(14, 13, 30, 30, "k")
    cv.rect(15, 14, 29, 29, "w")
    cv.sprite(17, 16, LETTER_A)
    # a little "line of text" under the letter
    cv.rect(17, 28, 27, 28, "s")
    return cv


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources")
    os.makedirs(out, exist_ok=True)
    program_icon().write_xpm(os.path.join(out, "diveva.xpm"), "diveva_xpm")
    traffic_light("m", "o", "l", 2).write_xpm(os.path.join(out, "icona_si.xpm"), "icona_si_xpm")
    traffic_light("r", "o", "g", 0).write_xpm(os.path.join(out, "icona_no.xpm"), "icona_no_xpm")


if __name__ == "__main__":
    main()

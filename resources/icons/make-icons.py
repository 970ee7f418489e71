#!/usr/bin/env python3
"""Writes the dialog's button icons (16 x 16, 32-bit with alpha) as .ico files.

Each picture is drawn from a 16-line character map: '#' dark ink, '+' mid ink,
'o' accent, '.' transparent. Run from this folder after editing a picture; the
.ico files are checked in so that builds need no Python.
"""
import struct

INK = {'#': (32, 32, 32, 255), '+': (110, 110, 110, 255), 'o': (30, 110, 210, 255), '.': (0, 0, 0, 0)}

# The lower part of the three join pictures: the band's two legs below the corner.
JOIN_LEGS = ["..#ooo+++++oooo#",
             "..#ooo+....+ooo#"] + ["..#ooo+.....+oo#"] * 5 + ["..#####.....####"] + ["................"] * 2

PICTURES = {
    # map edit tool: an arrow over a dashed frame
    5: ["................",
        ".#..............",
        ".##.............",
        ".#o#............",
        ".#oo#...........",
        ".#ooo#..........",
        ".#oooo#.........",
        ".#ooooo#........",
        ".#oo####........",
        ".##o#...+.+.+.+.",
        ".#..#...........",
        ".....#..+......+",
        ".....#..........",
        "........+......+",
        "................",
        "........+.+.+.+."],
    # hand tool
    6: ["................",
        "......##........",
        "....##oo###.....",
        "...#oo#oo#o#....",
        "...#oo#oo#oo#...",
        "....#oo#oo#o#.#.",
        "....#oo#oo#o##o#",
        ".##.#ooooooo#oo#",
        "#oo##oooooooooo#",
        "#ooo#ooooooooo#.",
        ".#ooooooooooo#..",
        "..#oooooooooo#..",
        "...#oooooooo#...",
        "....#ooooooo#...",
        ".....#oooooo#...",
        "................"],
    # add map layer
    7: ["................",
        "................",
        "......####......",
        "......#oo#......",
        "......#oo#......",
        "......#oo#......",
        "..#####oo#####..",
        "..#oooooooooo#..",
        "..#oooooooooo#..",
        "..#####oo#####..",
        "......#oo#......",
        "......#oo#......",
        "......#oo#......",
        "......####......",
        "................",
        "................"],
    # remove map layer
    8: ["................"] * 6 + ["..############..", "..#oooooooooo#..", "..#oooooooooo#..",
                                 "..############.."] + ["................"] * 6,
    # help
    12: ["................",
         ".....######.....",
         "....#oooooo#....",
         "...#oo####oo#...",
         "...#oo#..#oo#...",
         "....##..#oo#....",
         ".......#oo#.....",
         "......#oo#......",
         "......#oo#......",
         "......####......",
         "................",
         "......####......",
         "......#oo#......",
         "......#oo#......",
         "......####......",
         "................"],
    # round join
    209: ["................",
          "................",
          "....#######.....",
          "...#ooooooo##...",
          "..#ooooooooooo#.",
          "..#oooooooooooo#",
          ] + JOIN_LEGS,
    # bevel join
    210: ["................",
          "................",
          "......#######...",
          ".....#ooooooo#..",
          "....#ooooooooo#.",
          "...#ooooooooooo#",
          ] + JOIN_LEGS,
    # miter join
    211: ["................",
          "................",
          "..##############",
          "..#ooooooooooooo",
          "..#ooooooooooooo",
          "..#ooooooooooooo",
          ] + JOIN_LEGS,
}


def icon_bytes(rows):
    assert len(rows) == 16 and all(len(r) == 16 for r in rows)
    header = struct.pack('<IiiHHIIiiII', 40, 16, 32, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(bytes((INK[c][2], INK[c][1], INK[c][0], INK[c][3])) for row in reversed(rows) for c in row)
    mask = b''.join(struct.pack('>I', sum((1 << (31 - i)) for i, c in enumerate(row) if c == '.'))
                    for row in reversed(rows))
    image = header + pixels + mask
    return struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', 16, 16, 0, 0, 1, 32, len(image), 22) + image


for number, rows in PICTURES.items():
    with open('icon%d.ico' % number, 'wb') as out:
        out.write(icon_bytes(rows))

#!/usr/bin/env python3
"""Writes the preview's tool cursors (32 x 32, monochrome .cur) from the pictures below.

'#' black, '.' white, ' ' transparent; 'H' marks the hot spot (black). Run it here after
changing a picture: python3 make-cursors.py
"""
import struct

PICTURES = {
    "move.cur": """
       .
      .#.
     .###.
    .#####.
     ..#..
  .. .#. ..
 .#...#...#.
.#####H#####.
 .#...#...#.
  .. .#. ..
     ..#..
    .#####.
     .###.
      .#.
       .
""",
    "resize.cur": """
........
.#####.
.####.
.#####.
.##.###.
.#. .###.
..   .###.
      .###.
       .#H#.
        .###.   ..
         .###. .#.
          .###.##.
           .#####.
           .####.
          .#####.
          ........
""",
    "rotate.cur": """
      .....
    ..#####..
   .##.....##.
  .#.     ...#.
 .#.     .#####.
 .#.      .###.
.#.        .#.
.#.    H    .
.#.
 .#.
 .#.       .
  .#.     .#.
   .##...##.
    ..#####.
      .....
""",
    "hand.cur": """
      ..
     .##...
     .#..##..
  .. .#..#..#.
 .##..#..#..#..
 .#.#.#..#..#.#.
  .#.##..#..#..#.
  .#..#..H..#..#.
   .#.#........#.
   .#..........#.
    .#.........#.
    .#........#.
     .#.......#.
     .#......#.
      .#.....#.
      .#######.
      .........
""",
}


def cursor(picture):
    rows = picture.strip("\n").split("\n")
    size = 32
    xor = [[0] * size for _ in range(size)]
    mask = [[1] * size for _ in range(size)]
    hot = (0, 0)
    for y, row in enumerate(rows):
        for x, c in enumerate(row):
            if c == " ":
                continue
            mask[y][x] = 0
            xor[y][x] = 1 if c == "." else 0
            if c == "H":
                hot = (x, y)

    def packed(bits):
        out = b""
        for row in reversed(bits):  # bottom-up rows
            value = 0
            for b in row:
                value = (value << 1) | b
            out += value.to_bytes(size // 8, "big")
        return out

    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    image = header + palette + packed(xor) + packed(mask)
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 2, 0, hot[0], hot[1], len(image), 6 + 16)
    return directory + entry + image


for name, picture in PICTURES.items():
    with open(name, "wb") as f:
        f.write(cursor(picture))

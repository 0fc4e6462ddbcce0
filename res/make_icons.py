#!/usr/bin/env python3
"""Writes the program's two icons as 16-colour (4 bits per pixel) ICO files.

The design: a grey device chip with gold pins, and a green arrow that points
down into it (a driver going onto the device). 107 is 32 by 32, 108 the same
design at 16 by 16. Run from this folder; the .ico files are checked in.
"""
import struct

# The 16 colours of the classic palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# Letters of the drawings: '.' is transparent.
KEYS = {'k': 0, 'g': 2, 'o': 3, 'n': 4, 't': 6, 's': 7, 'd': 8, 'L': 10, 'y': 11, 'w': 15}

def chip_32():
    """The 32 by 32 drawing: an arrow over a chip with pins on both sides."""
    arrow = [
        "kkkkkkkkkk", "kLLLLLLLLk", "kLLLLLLLgk", "kLLLLLLLgk", "kLLLLLLLgk", "kLLLLLLLgk", "kLLLLLLLgk",
    ]
    rows = ["." * 11 + a + "." * 11 for a in arrow]
    head = ["kkkkkkLLLLLLLgkkkkkk", ".kLLLLLLLLLLLLLLLgk.", "..kLLLLLLLLLLLLLgk..", "...kLLLLLLLLLLLgk...",
            "....kLLLLLLLLLgk...."]
    rows += ["." * 6 + h + "." * 6 for h in head]
    body = [
        "kkkkkkLLLLLLLgkkkkkk",
        "ksssssskLLLLLgksssdk",
        "kswwwwwwkLLLgkssssdk",
        "kswsssssskLgksssssdk",
        "kswssssssskksssssSdk",
        "kswsssssssssssssssdk",
        "kswssnnnnnnnnnnsssdk",
        "kswssnttttttttnsssdk",
        "kswssnttttttttnsssdk",
        "kswssnnnnnnnnnnsssdk",
        "kswsssssssssssssssdk",
        "kswsssssssssssssssdk",
        "ksdddddddddddddddddk",
        "kkkkkkkkkkkkkkkkkkkk",
    ]
    rows = rows[:12]
    for i, b in enumerate(body):
        b = b.replace("S", "s")
        pin = i % 2 == 0 and 2 <= i <= 11
        left = "yyo" if pin else "..."
        right = "oyy" if pin else "..."
        rows.append("..." + left + b + right + "...")
    while len(rows) < 32:
        rows.append("." * 32)
    return rows


ICON_32 = chip_32()

ICON_16 = [
    ".....kkkkkk.....",
    ".....kLLLgk.....",
    "...kkkLLLgkkk...",
    "....kLLLLLLgk...",
    ".....kLLLLgk....",
    "..kkkskLLgksskk.",
    "yykswsskgkssdkyy",
    "..kswssskssskk..",
    "yykswsnnnnssdkyy",
    "..kswsnttnssdk..",
    "yykswsnnnnssdkyy",
    "..kswssssssdk...",
    "..ksddddddddk...",
    "..kkkkkkkkkkk...",
    "................",
    "................",
]


def row_bytes(bits_per_pixel, width):
    return ((width * bits_per_pixel + 31) // 32) * 4


def ico(drawing):
    size = len(drawing)
    assert all(len(line) == size for line in drawing)
    xor_stride, and_stride = row_bytes(4, size), row_bytes(1, size)
    xor, mask = bytearray(), bytearray()
    for line in reversed(drawing):  # bitmaps are stored bottom-up
        pixels = [KEYS.get(c, 0) for c in line]
        row = bytearray()
        for i in range(0, size, 2):
            row.append((pixels[i] << 4) | pixels[i + 1])
        xor += row + bytes(xor_stride - len(row))
        bits = bytearray(and_stride)
        for x, c in enumerate(line):
            if c == '.':
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', size % 256, size % 256, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


if __name__ == '__main__':
    for name, drawing in (('icon107.ico', ICON_32), ('icon108.ico', ICON_16)):
        with open(name, 'wb') as f:
            f.write(ico(drawing))

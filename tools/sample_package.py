"""The sample skin package of the tests and the demo: a Skin.dat and a skin.bmp of our own."""

import struct

SKIN_DAT = b"OrvexSkin\r\nAnchore=2\r\nStretch=1\r\nBackgroundTransparency=30\r\nSelectionTransparency=70\r\n"
# The values RegisterSkin takes from SKIN_DAT.
SKIN_VALUES = {"Anchore": 2, "Stretch": 1, "BackgroundTransparency": 30,
               "SelectionTransparency": 70}


def skin_bmp(width=96, height=160):
    """A 24-bit bitmap: a vertical blue gradient with a light stripe every 16 rows."""
    row_size = (width * 3 + 3) & ~3
    rows = []
    for y in range(height):  # bottom-up, as BMP stores rows
        top = height - 1 - y
        row = bytearray()
        for x in range(width):
            stripe = top % 16 < 2
            blue = 255 if stripe else 120 + top * 135 // height
            green = 230 if stripe else 60 + x * 80 // width
            red = 230 if stripe else 30
            row += bytes((blue, green, red))
        row += b"\0" * (row_size - len(row))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def filler(size, seed=7):
    """Deterministic bytes of the given size for large package files."""
    block = bytes((i * 131 + seed) & 0xFF for i in range(4096))
    return (block * (size // len(block) + 1))[:size]

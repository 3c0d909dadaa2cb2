#!/usr/bin/env python3
"""Checks the screen reading of headunit_vm_tool.py on pictures made here: that every PNG row
filter decodes, that the LCD and clock checks pass a panel and fail a black, shifted or clockless
one, and that the comparison after a power cut notices a wrong fill style or a changed panel.

  python3 scripts/headunit_vm_tool_test.py
"""
import os
import struct
import sys
import tempfile
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import headunit_vm_tool as tool  # noqa: E402

RED, GREY, BLACK, PANEL = (230, 20, 20), (150, 150, 150), (0, 0, 0), (40, 60, 90)


def paeth(left, up, corner):
    guess = left + up - corner
    near = [abs(guess - left), abs(guess - up), abs(guess - corner)]
    return (left, up, corner)[near.index(min(near))]


def write_png(path, pixels, width, height, filters=(0,)):
    """RGB PNG; row y uses filter filters[y % len(filters)], encoded as a PNG writer would."""
    raw, previous = b"", bytes(width * 3)
    for y in range(height):
        row = bytes(channel for x in range(width) for channel in pixels(x, y))
        kind = filters[y % len(filters)]
        encoded = bytearray()
        for i, value in enumerate(row):
            left = row[i - 3] if i >= 3 else 0
            corner = previous[i - 3] if i >= 3 else 0
            predictor = [0, left, previous[i], (left + previous[i]) // 2,
                         paeth(left, previous[i], corner)][kind]
            encoded.append((value - predictor) & 255)
        raw += bytes([kind]) + bytes(encoded)
        previous = row

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    with open(path, "wb") as file:
        file.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8,
                                                                       2, 0, 0, 0)) +
                   chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def lcd_lit(m, c):
    """A pattern for the simulated LCD: a diagonal band and a block."""
    return (m + c) % 7 == 0 or (40 <= m < 60 and 100 <= c < 140)


def in_lcd_area(area, m, c):
    top, bottom, left, right = area
    return top <= m < bottom and left <= c < right


def panel_pixels(fill=0, lcd_shift=0, clock=True, mark=False, live=()):
    """The panel's screen; the LCD areas in live show other pixels than the simulator's."""
    def pixels(x, y):
        if mark and (x, y) == (5, 5):
            return (255, 255, 255)
        left, top, right, bottom = tool.LCD_WINDOW
        if left <= x < right and top <= y < bottom:
            c, m = (x - 78 - lcd_shift) // 2, (y - 32) // 2
            dot = (x - 78 - lcd_shift) % 2 == 0 and (y - 32) % 2 == 0
            lit = lcd_lit(m, c) != any(in_lcd_area(area, m, c) for area in live)
            if c <= tool.LAST_SHOWN_COLUMN and lit and (dot or fill):
                return RED
            return BLACK
        left, top, right, bottom = tool.CLOCK_LINE
        if left <= x < right and top <= y < bottom:
            return GREY if clock and (x // 3) % 2 == 0 and top + 8 <= y < bottom - 8 else BLACK
        return PANEL

    return pixels


class ScreenTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.simulator = self.path("simulator.png")
        zoom = tool.SIM_ZOOM
        write_png(self.simulator,
                  lambda x, y: (255, 170, 30) if lcd_lit(y // zoom, x // zoom) else (28, 20, 12),
                  320 * zoom, 120 * zoom)

    def tearDown(self):
        self.folder.cleanup()

    def path(self, name):
        return os.path.join(self.folder.name, name)

    def picture(self, name, **panel):
        path = self.path(name)
        write_png(path, panel_pixels(**panel), 800, 480, filters=(0, 1, 2, 3, 4))
        return path

    def test_every_row_filter_decodes_to_the_same_pixels(self):
        pixels = panel_pixels(fill=1)
        for filters in [(0,), (1,), (2,), (3,), (4,), (4, 3, 2, 1, 0)]:
            path = self.path("filters.png")
            write_png(path, pixels, 160, 100, filters)
            decoded = tool.Picture(path)
            for x, y in [(0, 0), (93, 61), (95, 63), (120, 80), (159, 99)]:
                self.assertEqual(decoded.pixel(x, y), pixels(x, y), (filters, x, y))

    def test_screen_check(self):
        cases = [
            ("the panel with the simulator's LCD", {}, 0),
            ("a solid LCD shows the same pixels", {"fill": 1}, 0),
            ("the LCD one pixel to the right", {"lcd_shift": 2}, 1),
            ("no clock line", {"clock": False}, 1),
            ("the unit's clock and PANEL flag live", {"live": (tool.LCD_CLOCK, tool.LCD_PANEL_FLAG)}, 0),
        ]
        for name, panel, expected in cases:
            with self.subTest(name):
                shot = self.picture("shot.png", **panel)
                self.assertEqual(tool.screen(shot, self.simulator), expected)
        black = self.path("black.png")
        write_png(black, lambda x, y: BLACK, 800, 480)
        self.assertEqual(tool.screen(black), 1)
        wrong_size = self.path("size.png")
        write_png(wrong_size, panel_pixels(), 640, 480)
        self.assertEqual(tool.screen(wrong_size), 1)

    def test_same_screen_after_the_power_cut(self):
        reference = self.picture("reference.png")
        cases = [
            ("the same panel, dotted as saved", {}, 0, 0),
            ("solid as saved", {"fill": 1}, 1, 0),
            ("solid but the file says dotted", {"fill": 1}, 0, 1),
            ("dotted but the file says solid", {}, 1, 1),
            ("a pixel of the panel changed", {"mark": True}, 0, 1),
            ("another LCD picture", {"lcd_shift": 2}, 0, 1),
            ("the unit's clock turned its minute", {"live": (tool.LCD_CLOCK,)}, 0, 0),
            ("the PANEL flag went out", {"live": (tool.LCD_PANEL_FLAG,)}, 0, 1),
        ]
        for name, panel, fill, expected in cases:
            with self.subTest(name):
                shot = self.picture("after.png", **panel)
                self.assertEqual(tool.same(shot, reference, fill), expected)


if __name__ == "__main__":
    unittest.main()

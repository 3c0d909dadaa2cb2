#!/usr/bin/env python3
"""The host side of scripts/headunit-vm that bash does badly: QEMU's monitor (QMP), the guest's
serial console, a power cut timed to a disk write, and reading the screen's PNG pictures.

  qmp SOCKET screendump FILE          the guest's screen as PNG
  qmp SOCKET tap X Y                  a touch at panel pixel X, Y (800 x 480) on the tablet
  serial SOCKET TIMEOUT COMMAND       runs COMMAND in the console's shell; prints its output and
                                      ends with its status
  wait-text FILE TIMEOUT REGEX        waits until FILE (the console's log) matches REGEX
  cut-on-write FILE PID TIMEOUT       kills PID (SIGKILL) the moment FILE is written to
  screen PNG [SIMULATOR_PNG]          the LCD and the clock line of a panel screen (see screen())
  same PNG REFERENCE FILL             the panel of PNG is REFERENCE's, its LCD in fill style FILL

Standard library only. Picture geometry is the full front panel's (lcd/screen_paint.cpp): the LCD
window 93, 61 to 706, 270 shows LCD pixel (row m, column c) at screen 78 + 2c, 32 + 2m (and the
three neighbours right and below in the solid fill style); the clock line is 240, 447 to 558, 477.
"""
import json
import os
import re
import signal
import socket
import struct
import sys
import time
import zlib

SCREEN_WIDTH, SCREEN_HEIGHT = 800, 480
LCD_WINDOW = (93, 61, 707, 271)  # left, top, right, bottom (exclusive)
CLOCK_LINE = (240, 447, 559, 478)
LAST_SHOWN_COLUMN = 312  # the panel applies the controller's LCD columns up to this one
SIM_ZOOM = 3  # quelt-sim-lcd-png draws each LCD pixel as a 3 x 3 block
# LCD areas (rows, columns; exclusive ends) that follow the live unit rather than a picture taken
# apart from it: the unit's clock at the top right turns its minute between two pictures, and the
# PANEL flag is lit only while a panel is in front, which the simulator's own capture never is.
LCD_CLOCK = (16, 32, 250, 313)
LCD_PANEL_FLAG = (88, 96, 8, 38)


# --- QMP ------------------------------------------------------------------------------------------
class Monitor:
    def __init__(self, path):
        self.socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.socket.connect(path)
        self.stream = self.socket.makefile("rwb")
        self.stream.readline()  # the greeting
        self.command("qmp_capabilities")

    def command(self, name, **arguments):
        message = {"execute": name}
        if arguments:
            message["arguments"] = arguments
        self.stream.write(json.dumps(message).encode() + b"\n")
        self.stream.flush()
        while True:
            reply = json.loads(self.stream.readline())
            if "return" in reply:
                return reply["return"]
            if "error" in reply:
                raise RuntimeError(f"{name}: {reply['error'].get('desc')}")
            # Anything else is an asynchronous event.


def tablet_axis(pixel, size):
    """The tablet's absolute value (0 to 32767) for the middle of a pixel."""
    return min(32767, int((pixel + 0.5) * 32768 / size))


def qmp(path, action, *arguments):
    monitor = Monitor(path)
    if action == "screendump":
        monitor.command("screendump", filename=os.path.abspath(arguments[0]), format="png")
    elif action == "tap":
        x, y = int(arguments[0]), int(arguments[1])
        position = [
            {"type": "abs", "data": {"axis": "x", "value": tablet_axis(x, SCREEN_WIDTH)}},
            {"type": "abs", "data": {"axis": "y", "value": tablet_axis(y, SCREEN_HEIGHT)}},
        ]
        monitor.command("input-send-event", events=position)
        monitor.command("input-send-event",
                        events=[{"type": "btn", "data": {"down": True, "button": "left"}}])
        time.sleep(0.15)
        monitor.command("input-send-event",
                        events=[{"type": "btn", "data": {"down": False, "button": "left"}}])
    else:
        raise SystemExit(f"qmp: unknown action {action}")


# --- the serial console ---------------------------------------------------------------------------
def serial(path, timeout, command):
    """Types COMMAND into the console's shell, followed by an echo of a marker whose typed form
    differs from its printed form, so the echo of the typed line is never taken for the end."""
    marker = "qhv%d" % os.getpid()
    line = f'{command}; echo "{marker}$((6*7))-$?"\n'
    pattern = re.compile(re.escape(marker) + r"42-(\d+)")
    connection = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    connection.connect(path)
    connection.settimeout(1.0)
    connection.sendall(line.encode())
    received = b""
    deadline = time.monotonic() + float(timeout)
    while time.monotonic() < deadline:
        try:
            chunk = connection.recv(65536)
        except socket.timeout:
            continue
        if not chunk:
            break
        received += chunk
        text = received.decode(errors="replace")
        found = pattern.search(text)
        if found:
            output = text[: found.start()].replace("\r", "")
            # Drop the typed line's echo, up to its first newline.
            output = output.split("\n", 1)[1] if "\n" in output else ""
            sys.stdout.write(output)
            return int(found.group(1))
    sys.stderr.write(f"serial: no answer to \"{command}\" within {timeout} s\n")
    return 124


def wait_text(path, timeout, regex):
    pattern = re.compile(regex)
    deadline = time.monotonic() + float(timeout)
    while time.monotonic() < deadline:
        try:
            with open(path, "rb") as log:
                if pattern.search(log.read().decode(errors="replace")):
                    return 0
        except FileNotFoundError:
            pass
        time.sleep(0.5)
    return 1


def cut_on_write(path, pid, timeout):
    """Polls the file's modification time and kills the process as soon as it changes; prints
    how long after the start the write came."""
    start = time.monotonic()
    before = os.stat(path).st_mtime_ns
    while time.monotonic() - start < float(timeout):
        if os.stat(path).st_mtime_ns != before:
            os.kill(int(pid), signal.SIGKILL)
            print("%.3f" % (time.monotonic() - start))
            return 0
        time.sleep(0.002)
    return 1


# --- PNG pictures ---------------------------------------------------------------------------------
class Picture:
    def __init__(self, path):
        with open(path, "rb") as file:
            data = file.read()
        if data[:8] != b"\x89PNG\r\n\x1a\n":
            raise ValueError(f"{path}: not a PNG file")
        position, idat = 8, b""
        while position < len(data):
            length, kind = struct.unpack(">I4s", data[position : position + 8])
            body = data[position + 8 : position + 8 + length]
            if kind == b"IHDR":
                self.width, self.height, depth, colour, _, _, interlace = struct.unpack(
                    ">IIBBBBB", body)
                if depth != 8 or colour not in (2, 6) or interlace:
                    raise ValueError(f"{path}: only 8-bit RGB or RGBA, not interlaced")
                self.channels = 3 if colour == 2 else 4
            elif kind == b"IDAT":
                idat += body
            position += 12 + length
        self.rows = self.unfilter(zlib.decompress(idat))

    def unfilter(self, raw):
        stride, step = self.width * self.channels, self.channels
        rows, previous, position = [], bytearray(stride), 0
        for _ in range(self.height):
            kind = raw[position]
            row = bytearray(raw[position + 1 : position + 1 + stride])
            position += 1 + stride
            for i in range(stride):
                left = row[i - step] if i >= step else 0
                up = previous[i]
                corner = previous[i - step] if i >= step else 0
                if kind == 1:
                    row[i] = (row[i] + left) & 255
                elif kind == 2:
                    row[i] = (row[i] + up) & 255
                elif kind == 3:
                    row[i] = (row[i] + (left + up) // 2) & 255
                elif kind == 4:
                    guess = left + up - corner
                    near_left, near_up, near_corner = (abs(guess - left), abs(guess - up),
                                                       abs(guess - corner))
                    if near_left <= near_up and near_left <= near_corner:
                        best = left
                    elif near_up <= near_corner:
                        best = up
                    else:
                        best = corner
                    row[i] = (row[i] + best) & 255
            rows.append(bytes(row))
            previous = row
        return rows

    def pixel(self, x, y):
        at = x * self.channels
        return tuple(self.rows[y][at : at + 3])


def is_red(rgb):
    return rgb[0] > 0.35 * 255 and rgb[1] < 0.2 * 255 and rgb[2] < 0.2 * 255


def lcd_cells():
    """The LCD pixels (row, column) the panel shows whose dot lies inside the LCD window."""
    left, top, right, bottom = LCD_WINDOW
    for m in range((top - 32 + 1) // 2, (bottom - 32 + 1) // 2):
        for c in range((left - 78 + 1) // 2, min((right - 78 + 1) // 2, LAST_SHOWN_COLUMN + 1)):
            yield m, c


def outside_of(areas, cells):
    return {(m, c) for m, c in cells
            if not any(top <= m < bottom and left <= c < right
                       for top, bottom, left, right in areas)}


def lit_cells(picture):
    return {(m, c) for m, c in lcd_cells() if is_red(picture.pixel(78 + 2 * c, 32 + 2 * m))}


def fill_style(picture, lit):
    """1 when the lit LCD pixels are solid 2 x 2 blocks, 0 when they are single dots."""
    solid = sum(1 for m, c in lit if is_red(picture.pixel(79 + 2 * c, 33 + 2 * m)))
    return 1 if lit and solid * 2 > len(lit) else 0


def clock_fraction(picture):
    """The share of the clock line's pixels bright enough to be text (the strip is black)."""
    left, top, right, bottom = CLOCK_LINE
    bright = sum(1 for y in range(top, bottom) for x in range(left, right)
                 if max(picture.pixel(x, y)) > 0.25 * 255)
    return bright / ((right - left) * (bottom - top))


def screen(path, simulator_path=None):
    """Passes when the picture is the panel's size, its LCD window holds lit LCD pixels and its
    clock line holds text; with the simulator's own picture of its LCD, the lit pixels must be
    exactly the simulator's, but for the areas that follow the live unit."""
    picture = Picture(path)
    if (picture.width, picture.height) != (SCREEN_WIDTH, SCREEN_HEIGHT):
        print(f"size {picture.width}x{picture.height}, not the panel's")
        return 1
    lit = lit_cells(picture)
    cells = sum(1 for _ in lcd_cells())
    clock = clock_fraction(picture)
    good = len(lit) >= 0.01 * cells and clock >= 0.02
    report = f"{len(lit)} of {cells} LCD pixels lit, clock line {clock:.3f} text"
    if simulator_path:
        simulator = Picture(simulator_path)
        expected = {(m, c) for m, c in lcd_cells()
                    if (c + 1) * SIM_ZOOM <= simulator.width and (m + 1) * SIM_ZOOM <= simulator.height
                    and simulator.pixel(SIM_ZOOM * c + 1, SIM_ZOOM * m + 1)[0] > 128}
        differ = len(outside_of((LCD_CLOCK, LCD_PANEL_FLAG), lit ^ expected))
        report += (f", {differ} differ from the simulator's {len(expected)} "
                   "outside its clock and PANEL flag")
        good = good and differ == 0
    print(report)
    return 0 if good else 1


def same(path, reference_path, fill):
    """Passes when the picture shows the reference's LCD pixels in fill style FILL and equals it
    everywhere outside the LCD window and the clock line; the unit's own clock on the LCD may
    have turned its minute."""
    picture, reference = Picture(path), Picture(reference_path)
    if (picture.width, picture.height) != (reference.width, reference.height):
        print("the pictures differ in size")
        return 1

    def inside(box, x, y):
        return box[0] <= x < box[2] and box[1] <= y < box[3]

    outside = sum(1 for y in range(picture.height) for x in range(picture.width)
                  if not inside(LCD_WINDOW, x, y) and not inside(CLOCK_LINE, x, y)
                  and picture.pixel(x, y) != reference.pixel(x, y))
    lit, expected = lit_cells(picture), lit_cells(reference)
    shown_fill = fill_style(picture, lit)
    differ = len(outside_of((LCD_CLOCK,), lit ^ expected))
    print(f"{outside} pixels differ outside the LCD and clock, {differ} LCD pixels differ outside "
          "the unit's clock, "
          f"fill style {shown_fill} (settings {fill})")
    return 0 if outside == 0 and differ == 0 and shown_fill == int(fill) else 1


def main(argv):
    if len(argv) < 2:
        raise SystemExit(__doc__)
    command, arguments = argv[1], argv[2:]
    if command == "qmp":
        qmp(*arguments)
        return 0
    if command == "serial":
        return serial(arguments[0], arguments[1], " ".join(arguments[2:]))
    if command == "wait-text":
        return wait_text(*arguments)
    if command == "cut-on-write":
        return cut_on_write(*arguments)
    if command == "screen":
        return screen(*arguments)
    if command == "same":
        return same(*arguments)
    raise SystemExit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
"""Writes the made-up firmware images of the examples (run once; the .bin
files are committed). Each image starts like a Cortex-M program: a vector
table, then code-like bytes, a build string and a little constant data."""
import random
import struct
from pathlib import Path

FLASH_BASE = 0x08000000
IMAGES = [
    # file name, size in bytes, initial stack pointer, build string
    ("main_board.bin", 2048, 0x20005000, b"MAIN-BOARD APP v1.01"),
    ("motor_driver.bin", 1300, 0x20002800, b"MOTOR-DRV APP v1.01"),
    ("display_panel.bin", 700, 0x20001000, b"DISPLAY APP v1.01"),
]
VECTORS = 48  # stack pointer, 15 system exceptions, 32 interrupts


def image(name, size, stack, banner):
    rng = random.Random(name)
    code_start = FLASH_BASE + VECTORS * 4
    handlers = [code_start + 2 * rng.randrange(16, 200) | 1 for _ in range(VECTORS - 1)]
    data = bytearray(struct.pack("<%dI" % VECTORS, stack, *handlers))
    while len(data) < size - 96:
        # Thumb-looking half-words, with a bx lr (0x4770) now and then.
        data += struct.pack("<H", 0x4770 if rng.random() < 0.05 else rng.randrange(0x10000))
    data += banner + b"\0"
    while len(data) < size:
        data.append(rng.randrange(256))
    return bytes(data[:size])


if __name__ == "__main__":
    folder = Path(__file__).resolve().parent
    for name, size, stack, banner in IMAGES:
        (folder / name).write_bytes(image(name, size, stack, banner))

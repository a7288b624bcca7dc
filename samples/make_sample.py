#!/usr/bin/env python3
"""Regenerates the bundled sample sheet and its ground truth.

The sheet is a small synthetic map: light paper, buildings drawn as filled
rectangles, fuel tanks as filled discs, roundabouts as rings, roads as thick
straight lines, and speckle noise such as a scanner leaves. It is written as
a GIF89a file with a global colour table and no extension blocks, and the
shapes that were drawn are listed in a JSON file beside it.

Usage: make_sample.py [OUTDIR]   (default: the folder of this script)
"""
import json
import math
import os
import random
import sys

WIDTH, HEIGHT = 960, 640
PAPER, BUILDING, TANK, ROAD, RING, INK = range(6)
PALETTE = [
    (238, 236, 230),  # paper, within the default background tolerance
    (128, 84, 62),    # buildings
    (52, 96, 196),    # tanks
    (96, 96, 100),    # roads
    (40, 140, 70),    # roundabouts
    (30, 30, 30),     # speckle ink
]


def lzw_encode(indices, min_code_size):
    """Encodes colour indices with the GIF variant of LZW, least significant bit first."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out, bit_buffer, bit_count = bytearray(), 0, 0
    code_size = min_code_size + 1

    def emit(code):
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += code_size
        while bit_count >= 8:
            out.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    def reset():
        return {bytes([i]): i for i in range(clear)}, end + 1

    table, next_code = reset()
    emit(clear)
    prefix = b""
    for index in indices:
        candidate = prefix + bytes([index])
        if candidate in table:
            prefix = candidate
            continue
        emit(table[prefix])
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << code_size) and code_size < 12:
                code_size += 1
        else:
            emit(clear)
            table, next_code = reset()
            code_size = min_code_size + 1
        prefix = bytes([index])
    if prefix:
        emit(table[prefix])
    emit(end)
    if bit_count:
        out.append(bit_buffer & 0xFF)
    return bytes(out)


def write_gif(path, width, height, palette, pixels):
    table_bits = max(1, math.ceil(math.log2(len(palette))))
    colours = palette + [(0, 0, 0)] * ((1 << table_bits) - len(palette))
    min_code_size = max(2, table_bits)
    data = lzw_encode(pixels, min_code_size)
    blob = bytearray(b"GIF89a")
    blob += width.to_bytes(2, "little") + height.to_bytes(2, "little")
    blob += bytes([0x80 | (table_bits - 1), 0, 0])
    for r, g, b in colours:
        blob += bytes([r, g, b])
    blob += b"\x2c" + (0).to_bytes(2, "little") * 2
    blob += width.to_bytes(2, "little") + height.to_bytes(2, "little") + b"\x00"
    blob += bytes([min_code_size])
    for start in range(0, len(data), 255):
        chunk = data[start:start + 255]
        blob += bytes([len(chunk)]) + chunk
    blob += b"\x00\x3b"
    with open(path, "wb") as f:
        f.write(blob)


class Sheet:
    def __init__(self):
        self.pixels = bytearray([PAPER]) * (WIDTH * HEIGHT)

    def set(self, x, y, index):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT:
            self.pixels[y * WIDTH + x] = index

    def rectangle(self, left, top, right, bottom, index):
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                self.set(x, y, index)

    def disc(self, cx, cy, radius, index, inner=0.0):
        r = int(radius) + 1
        for y in range(cy - r, cy + r + 1):
            for x in range(cx - r, cx + r + 1):
                d = math.hypot(x - cx, y - cy)
                if inner <= d <= radius:
                    self.set(x, y, index)

    def road(self, x1, y1, x2, y2, half_width, index):
        length = math.hypot(x2 - x1, y2 - y1)
        ux, uy = (x2 - x1) / length, (y2 - y1) / length
        for y in range(min(y1, y2) - half_width - 1, max(y1, y2) + half_width + 2):
            for x in range(min(x1, x2) - half_width - 1, max(x1, x2) + half_width + 2):
                t = (x - x1) * ux + (y - y1) * uy
                if 0 <= t <= length and abs((x - x1) * uy - (y - y1) * ux) <= half_width:
                    self.set(x, y, index)


def free_of(taken, box, margin=14):
    left, top, right, bottom = box
    return all(right + margin < l or left - margin > r or bottom + margin < t or top - margin > b
               for l, t, r, b in taken)


def main():
    outdir = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    rng = random.Random(20261208)
    sheet = Sheet()
    truth = {"width": WIDTH, "height": HEIGHT, "background": list(PALETTE[PAPER]),
             "rectangles": [], "circles": [], "roads": []}
    taken = []

    # Roads first: two avenues and a diagonal, three pixels wide.
    for x1, y1, x2, y2 in [(20, 330, 940, 330), (470, 20, 470, 620), (60, 600, 400, 380)]:
        sheet.road(x1, y1, x2, y2, 1, ROAD)
        truth["roads"].append({"from": [x1, y1], "to": [x2, y2], "width": 3})
        taken.append((min(x1, x2) - 2, min(y1, y2) - 2, max(x1, x2) + 2, max(y1, y2) + 2))
    road_boxes = list(taken)

    def place(width, height):
        for _ in range(500):
            left = rng.randrange(30, WIDTH - 30 - width)
            top = rng.randrange(30, HEIGHT - 30 - height)
            box = (left, top, left + width - 1, top + height - 1)
            if free_of(taken, box) and free_of(road_boxes, box, 20):
                taken.append(box)
                return box
        return None

    for _ in range(14):  # buildings: aspect ratios up to 1.8 : 1
        w = rng.randrange(24, 70)
        h = max(20, min(90, int(w * rng.uniform(0.6, 1.6))))
        box = place(w, h)
        if box:
            sheet.rectangle(*box, BUILDING)
            truth["rectangles"].append({"bbox": list(box),
                                        "centre": [(box[0] + box[2]) / 2, (box[1] + box[3]) / 2]})
    for _ in range(6):  # tanks
        r = rng.randrange(10, 26)
        box = place(2 * r + 1, 2 * r + 1)
        if box:
            cx, cy = box[0] + r, box[1] + r
            sheet.disc(cx, cy, r, TANK)
            truth["circles"].append({"kind": "tank", "centre": [cx, cy], "radius": r})
    for _ in range(2):  # roundabouts: rings six pixels wide
        r = rng.randrange(26, 34)
        box = place(2 * r + 1, 2 * r + 1)
        if box:
            cx, cy = box[0] + r, box[1] + r
            sheet.disc(cx, cy, r, RING, inner=r - 6)
            truth["circles"].append({"kind": "roundabout", "centre": [cx, cy], "radius": r})

    for _ in range(WIDTH * HEIGHT // 600):  # scanner speckle
        sheet.set(rng.randrange(WIDTH), rng.randrange(HEIGHT), INK)

    write_gif(os.path.join(outdir, "sheet.gif"), WIDTH, HEIGHT, PALETTE, sheet.pixels)
    with open(os.path.join(outdir, "sheet-truth.json"), "w") as f:
        json.dump(truth, f, indent=1)
        f.write("\n")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes the small synthetic seed files of the fuzz corpora (fuzz/corpus/).

Run from the repository root; the files are committed, so this is needed
only to change them. Real files from the public suites are copied beside
them by hand (see fuzz/corpus/README.md).
"""
import os
import random
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def write(target, name, data):
    folder = os.path.join(ROOT, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# ---- BMP ---------------------------------------------------------------------

def bmp(width, height, bits, info_size=40, table_entries=None, clr_used=0,
        off_bits=None, pixels=None, trailing=b"", compression=0):
    row = (width * bits + 31) // 32 * 4
    if table_entries is None:
        table_entries = 256 if bits == 8 else 0
    table = bytes((i * 7 % 256, 255 - i, i * 3 % 256, 0)[k]
                  for i in range(table_entries) for k in range(4))
    if pixels is None:
        pixels = bytes((x * 31 + y * 17) % 256 for y in range(abs(height)) for x in range(row))
    info = struct.pack("<IiiHHIIiiII", info_size, width, height, 1, bits, compression,
                       row * abs(height), 2835, 2835, clr_used, 0)
    info += b"\xa5" * (info_size - 40)
    offset = 14 + info_size + len(table) if off_bits is None else off_bits
    size = 14 + info_size + len(table) + len(pixels)
    head = b"BM" + struct.pack("<IHHI", size, 0, 0, offset)
    return head + info + table + pixels + trailing


def bmp_seeds():
    write("fuzz_read_bmp", "plain8-4x3.bmp", bmp(4, 3, 8))
    write("fuzz_read_bmp", "plain24-3x2.bmp", bmp(3, 2, 24))
    write("fuzz_read_bmp", "v5-short-table.bmp", bmp(5, 5, 8, info_size=124, table_entries=16,
                                                     clr_used=16))
    write("fuzz_read_bmp", "trailing24.bmp", bmp(2, 2, 24, trailing=b"\xff" * 9))
    write("fuzz_read_bmp", "truncated8.bmp", bmp(9, 9, 8)[:1100])
    write("fuzz_read_bmp", "huge-claim.bmp", bmp(65536, 32768, 8, pixels=b"\x01" * 16))
    write("fuzz_read_bmp", "top-down.bmp", bmp(3, -3, 24))
    write("fuzz_read_bmp", "offset-past-end.bmp", bmp(4, 4, 8, off_bits=0x7FFFFFF0))
    write("fuzz_read_bmp", "rle8.bmp", bmp(4, 2, 8, compression=1, pixels=b"\x04\x01\x00\x00"
                                           b"\x04\x02\x00\x01"))


# ---- GIF ---------------------------------------------------------------------

def lzw(indices, min_size):
    """A plain GIF LZW encoder: a clear code first, the end code last."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    table = {bytes([i]): i for i in range(min(clear, 256))}
    size, free = min_size + 1, end + 1
    codes = [(clear, size)]
    current = b""
    for index in indices:
        candidate = current + bytes([index])
        if candidate in table:
            current = candidate
            continue
        codes.append((table[current], size))
        if free < 4096:
            table[candidate] = free
            free += 1
            if free > (1 << size) and size < 12:
                size += 1
        else:
            codes.append((clear, size))
            table = {bytes([i]): i for i in range(min(clear, 256))}
            size, free = min_size + 1, end + 1
        current = bytes([index])
    if current:
        codes.append((table[current], size))
    codes.append((end, size))
    value = bits = 0
    out = bytearray()
    for code, width in codes:
        value |= code << bits
        bits += width
        while bits >= 8:
            out.append(value & 0xFF)
            value >>= 8
            bits -= 8
    if bits:
        out.append(value & 0xFF)
    return bytes(out)


def sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out.append(0)
    return bytes(out)


def gif(screen, frame, colours=4, interlaced=False, local=0, signature=b"GIF89a",
        extension=b"", indices=None, min_size=None, aspect=0):
    table_bits = max(1, (colours - 1).bit_length())
    packed = 0x80 | (table_bits - 1)
    head = signature + struct.pack("<HHBBB", screen[0], screen[1], packed, 0, aspect)
    table = bytes((i * 60) % 256 for i in range(3 * (1 << table_bits)))
    if indices is None:
        count = local or (1 << table_bits)
        indices = [(x // 3 + y) % count for y in range(frame[1]) for x in range(frame[0])]
    flags = (0x40 if interlaced else 0)
    local_table = b""
    if local:
        local_bits = max(1, (local - 1).bit_length())
        flags |= 0x80 | (local_bits - 1)
        local_table = bytes((i * 90 + 7) % 256 for i in range(3 * (1 << local_bits)))
        table_bits = max(table_bits, local_bits)
    if min_size is None:
        min_size = max(2, table_bits)
    descriptor = b"\x2c" + struct.pack("<HHHHB", 0, 0, frame[0], frame[1], flags)
    data = bytes([min_size]) + sub_blocks(lzw(indices, min_size))
    return head + table + extension + descriptor + local_table + data + b"\x3b"


def gif_seeds():
    write("fuzz_read_gif", "plain-10x3.gif", gif((10, 3), (10, 3)))
    write("fuzz_read_gif", "gif87a.gif", gif((6, 5), (6, 5), signature=b"GIF87a"))
    write("fuzz_read_gif", "interlaced-8.gif", gif((5, 8), (5, 8), interlaced=True))
    write("fuzz_read_gif", "interlaced-3.gif", gif((4, 3), (4, 3), interlaced=True))
    write("fuzz_read_gif", "small-frame.gif", gif((20, 12), (7, 5), colours=16))
    write("fuzz_read_gif", "large-frame.gif", gif((5, 4), (9, 7)))
    write("fuzz_read_gif", "local-table.gif", gif((8, 8), (8, 8), local=8))
    write("fuzz_read_gif", "extension-first.gif",
          gif((4, 4), (4, 4), extension=b"\x21\xf9\x04\x00\x00\x00\x00\x00"))
    write("fuzz_read_gif", "uniform-256.gif", gif((64, 40), (64, 40), colours=256,
                                                   indices=[9] * 2560))
    rng = random.Random(7)
    noisy = [rng.randrange(256) for _ in range(48 * 48)]
    write("fuzz_read_gif", "noisy-256.gif", gif((48, 48), (48, 48), colours=256, indices=noisy))
    # Over 51200 bytes: the data is read in more than one fill, and codes
    # straddle the end of a fill (this also lets the fuzzer make inputs that
    # long).
    noisy = [rng.randrange(256) for _ in range(200 * 200)]
    write("fuzz_read_gif", "noisy-two-fills.gif", gif((200, 200), (200, 200), colours=256,
                                                       indices=noisy))
    write("fuzz_read_gif", "min-code-size-12.gif", gif((4, 4), (4, 4), min_size=12,
                                                        indices=[0] * 16))
    write("fuzz_read_gif", "pixel-ratio-49.gif", gif((4, 4), (4, 4), aspect=49))
    write("fuzz_read_gif", "truncated.gif", gif((30, 30), (30, 30), colours=16)[:80])


# ---- Format recognition ------------------------------------------------------

def format_seeds():
    # The first byte picks the file name's ending; the rest is the file.
    for pick, body in enumerate([b"BM\x00\x00", b"GIF89a", b"", b"B", b"II*\x00",
                                 b"GIF87a\x01", b"MM\x00*", b"BMP"]):
        write("fuzz_test_format", "pick%d" % pick, bytes([pick]) + body)


# ---- Operations --------------------------------------------------------------

def operation_seeds():
    rng = random.Random(11)
    for i in range(16):
        write("fuzz_operations", "random%02d" % i,
              bytes(rng.randrange(256) for _ in range(rng.randrange(64, 1500))))


if __name__ == "__main__":
    bmp_seeds()
    gif_seeds()
    format_seeds()
    operation_seeds()

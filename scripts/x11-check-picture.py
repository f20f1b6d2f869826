#!/usr/bin/env python3
"""Checks an X window dump (xwd) of the demo: its size, its colours, and picture outside a central box.

usage: x11-check-picture.py DUMP.xwd [--size WxH] [--outside WxH] [--png OUT.png]
  --size WxH     the dump must be exactly W x H pixels
  --outside WxH  at least 1% of the pixels outside the centred W x H box must be lit
  --png OUT.png  also write the dump as a PNG, to look at
Prints what it measured; exits 1 when a check fails.
"""
import argparse
import struct
import sys
import zlib


def read_xwd(path):
    """Returns (width, height, rows of (r, g, b) tuples) of a 24- or 32-bit ZPixmap dump."""
    data = open(path, "rb").read()
    header = struct.unpack(">25I", data[:100])
    header_size, width, height = header[0], header[4], header[5]
    byte_order, bits, line = header[7], header[11], header[12]
    masks, ncolors = header[14:17], header[19]
    if bits not in (24, 32):
        sys.exit(f"x11-check-picture: {bits} bits per pixel are not handled")
    step = bits // 8
    shifts = [(m & -m).bit_length() - 1 for m in masks]
    start = header_size + ncolors * 12
    order = "little" if byte_order == 0 else "big"
    rows = []
    for y in range(height):
        row = data[start + y * line: start + y * line + width * step]
        pixels = []
        for x in range(0, width * step, step):
            v = int.from_bytes(row[x:x + step], order)
            pixels.append(tuple((v & m) >> s for m, s in zip(masks, shifts)))
        rows.append(pixels)
    return width, height, rows


def write_png(path, width, height, rows):
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in rows)
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                  chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


def size(text):
    w, h = text.lower().split("x")
    return int(w), int(h)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dump")
    parser.add_argument("--size", type=size)
    parser.add_argument("--outside", type=size)
    parser.add_argument("--png")
    args = parser.parse_args()

    width, height, rows = read_xwd(args.dump)
    if args.png:
        write_png(args.png, width, height, rows)
    colours = {p for row in rows for p in row}
    print(f"{args.dump}: {width}x{height}, {len(colours)} colours")
    ok = len(colours) >= 8
    if not ok:
        print("  looks blank: fewer than 8 colours")
    if args.size and args.size != (width, height):
        print(f"  expected {args.size[0]}x{args.size[1]}")
        ok = False
    if args.outside:
        bw, bh = args.outside
        left, top = (width - bw) // 2, (height - bh) // 2
        lit = total = 0
        for y, row in enumerate(rows):
            for x, p in enumerate(row):
                if left <= x < left + bw and top <= y < top + bh:
                    continue
                total += 1
                lit += max(p) > 16
        print(f"  outside the centred {bw}x{bh} box: {lit} of {total} pixels lit")
        if total == 0 or lit * 100 < total:
            print("  the picture does not reach outside the box")
            ok = False
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())

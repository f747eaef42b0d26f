#!/usr/bin/env python3
"""Writes a GIF picture from a text picture (see img_icon.txt): make_icon.py SOURCE OUTPUT.

The output depends only on the source, so the committed img_icon.gif can always be rebuilt and
checked against it."""
import sys


def read_source(path):
    palette, rows = {}, []
    with open(path, encoding="ascii") as source:
        for line in source:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            if line.startswith("palette "):
                _, char, colour = line.split()
                palette[char] = None if colour == "transparent" else bytes.fromhex(colour)
            else:
                rows.append(line)
    if not rows or any(len(row) != len(rows[0]) for row in rows):
        raise SystemExit("make_icon: the picture rows must all have the same length")
    if len(rows) > 32 or len(rows[0]) > 32:
        raise SystemExit("make_icon: the icon may be at most 32x32")
    return palette, rows


def lzw(indices, min_code_size):
    """GIF's variable-width LZW, codes packed least significant bit first."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    table = {(i,): i for i in range(clear)}
    width, next_code = min_code_size + 1, end + 1
    bits, bit_count, out = 0, 0, bytearray()

    def emit(code):
        nonlocal bits, bit_count
        bits |= code << bit_count
        bit_count += width
        while bit_count >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            bit_count -= 8

    emit(clear)
    run = (indices[0],)
    for index in indices[1:]:
        longer = run + (index,)
        if longer in table:
            run = longer
            continue
        emit(table[run])
        if next_code < 4096:
            table[longer] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear)
            table = {(i,): i for i in range(clear)}
            width, next_code = min_code_size + 1, end + 1
        run = (index,)
    emit(table[run])
    emit(end)
    if bit_count:
        out.append(bits & 0xFF)
    return bytes(out)


def gif(palette, rows):
    chars = sorted(palette, key=lambda c: (palette[c] is not None, c))  # transparent first
    size_bits = max(1, (len(chars) - 1).bit_length())
    colours = b"".join(palette[c] or b"\xff\xff\xff" for c in chars).ljust(3 << size_bits, b"\0")
    index_of = {c: i for i, c in enumerate(chars)}
    transparent = next((i for i, c in enumerate(chars) if palette[c] is None), None)
    width, height = len(rows[0]), len(rows)

    data = bytearray(b"GIF89a")
    data += width.to_bytes(2, "little") + height.to_bytes(2, "little")
    data += bytes([0x80 | (size_bits - 1), 0, 0]) + colours
    if transparent is not None:
        data += bytes([0x21, 0xF9, 4, 1, 0, 0, transparent, 0])
    data += b"\x2c" + bytes(4) + width.to_bytes(2, "little") + height.to_bytes(2, "little") + b"\0"
    min_code_size = max(2, size_bits)
    packed = lzw([index_of[c] for row in rows for c in row], min_code_size)
    data.append(min_code_size)
    for start in range(0, len(packed), 255):
        block = packed[start:start + 255]
        data += bytes([len(block)]) + block
    data += b"\0;"
    return bytes(data)


def main():
    if len(sys.argv) != 3:
        raise SystemExit("usage: make_icon.py SOURCE OUTPUT")
    palette, rows = read_source(sys.argv[1])
    unknown = {c for row in rows for c in row} - palette.keys()
    if unknown:
        raise SystemExit("make_icon: no palette entry for " + "".join(sorted(unknown)))
    with open(sys.argv[2], "wb") as output:
        output.write(gif(palette, rows))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Checks the generator's output the way the system reads it: runs gen_resources.py into a fresh
folder twice (same bytes), parses every AVI (RIFF structure, main and stream headers, the bitmap
header, every frame's RLE8 decoded and compared with the generator's own frames, run lengths,
the idx1 index) and every icon. Then makes sure the checks themselves reject broken files.

Usage: check_resources.py   (exit 0 when everything holds)
"""
import os
import struct
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import gen_resources  # noqa: E402
import rle_avi  # noqa: E402

# What the busy window and the animation control rely on: frame size, frames, ms per frame.
EXPECTED_CLIPS = {
    'Communicate.avi': (324, 72, 45, 100),
    'CopyFile.avi': (260, 40, 17, 100),
    'Download.avi': (272, 60, 33, 100),
    'LoadData.avi': (48, 45, 8, 200),
    'Scan.avi': (271, 48, 23, 100),
    'Transfer.avi': (100, 70, 4, 500),
    'Upload.avi': (272, 60, 34, 100),
}
EXPECTED_ICONS = {'ScannerIcon.ico': [32, 16], 'BusyIcon.ico': [48]}
MAX_RUN = 254  # Wine's decoder fails on an absolute run of 255


class Bad(Exception):
    pass


def need(cond, what):
    if not cond:
        raise Bad(what)


def u32(data, at):
    need(at + 4 <= len(data), 'truncated at %d' % at)
    return struct.unpack_from('<I', data, at)[0]


def chunks(data, start, end):
    """(fourcc, data offset, size) of each chunk between start and end; sizes must fit."""
    out = []
    at = start
    while at < end:
        need(at + 8 <= end, 'chunk header past the end of its list at %d' % at)
        fourcc, size = data[at:at + 4], u32(data, at + 4)
        need(at + 8 + size <= end, 'chunk %r at %d runs past its list' % (fourcc, at))
        out.append((fourcc, at + 8, size))
        at += 8 + size + (size & 1)
    need(at == end, 'padding runs past the end of the list')
    return out


def decode_rle8(data, width, height):
    """Rows (top row first) of a BI_RLE8 frame; every pixel must be given exactly once, every run
    of either kind at most MAX_RUN long, and the data must end with end-of-bitmap."""
    rows = [None] * height
    row = bytearray()
    y = height - 1  # bottom row first
    at = 0
    while True:
        need(at + 2 <= len(data), 'RLE data ends without end-of-bitmap')
        count, value = data[at], data[at + 1]
        at += 2
        if count:
            need(count <= MAX_RUN, 'encoded run of %d' % count)
            row += bytes([value]) * count
        elif value in (0, 1):
            need(y >= 0 and len(row) == width, 'row %d has %d pixels, not %d' % (y, len(row), width))
            rows[y] = bytes(row)
            row = bytearray()
            y -= 1
            if value == 1:
                break
        elif value == 2:
            raise Bad('delta escape in a key frame')
        else:
            need(value <= MAX_RUN, 'absolute run of %d' % value)
            need(at + value <= len(data), 'absolute run past the end')
            row += data[at:at + value]
            at += value + (value & 1)
        need(len(row) <= width, 'row %d longer than %d' % (y, width))
    need(y == -1, 'end-of-bitmap after %d of %d rows' % (height - 1 - y, height))
    need(at == len(data), '%d bytes after end-of-bitmap' % (len(data) - at))
    return rows


def check_avi(name, data, raw_frames):
    width, height, frames, ms = EXPECTED_CLIPS[name]
    need(data[0:4] == b'RIFF' and data[8:12] == b'AVI ', 'not RIFF AVI')
    need(u32(data, 4) == len(data) - 8, 'RIFF size')
    # The animation control reads frame count and size at these offsets.
    need(data[12:16] == b'LIST' and data[20:24] == b'hdrl' and data[24:28] == b'avih', 'hdrl/avih not first')
    need((u32(data, 48), u32(data, 64), u32(data, 68)) == (frames, width, height), 'frames/width/height at 48/64/68')
    need(u32(data, 32) == ms * 1000, 'microseconds per frame')
    need(u32(data, 44) & 0x10, 'AVIF_HASINDEX')
    need(u32(data, 56) == 1, 'one stream')

    top = chunks(data, 12, len(data))
    lists = [(data[at:at + 4], at, size) for f, at, size in top if f == b'LIST']
    need([kind for kind, _, _ in lists] == [b'hdrl', b'movi'], 'lists %r' % lists)
    (_, hdrl_at, hdrl_size), (_, movi_at, movi_size) = lists
    index = [(at, size) for f, at, size in top if f == b'idx1']
    need(len(index) == 1, 'one idx1 index')
    hdrl = chunks(data, hdrl_at + 4, hdrl_at + hdrl_size)
    need(hdrl[0][0] == b'avih' and hdrl[0][2] == 56, 'avih size')
    strls = [(at, s) for f, at, s in hdrl if f == b'LIST' and data[at:at + 4] == b'strl']
    need(len(strls) == 1, 'exactly one stream list (no sound)')
    strl = {f: (at, s) for f, at, s in chunks(data, strls[0][0] + 4, strls[0][0] + strls[0][1])}
    at, size = strl[b'strh']
    need(size == 56, 'strh size')
    fcc, handler, _, _, _, _, scale, rate, start, length, suggested = struct.unpack_from('<4s4sIHHIIIIII', data, at)
    need(fcc == b'vids' and handler == b'RLE ', 'video stream, RLE handler')
    need(rate * ms == 1000 * scale, 'stream rate')
    need(start == 0 and length == frames, 'stream length')
    need(struct.unpack_from('<4h', data, at + 48) == (0, 0, width, height), 'rcFrame')
    at, size = strl[b'strf']
    bi = struct.unpack_from('<IiiHHIIiiII', data, at)
    need(bi[0] == 40 and (bi[1], bi[2]) == (width, height) and bi[3] == 1 and bi[4] == 8, 'BITMAPINFOHEADER')
    need(bi[5] == 1, 'BI_RLE8')
    colours = bi[9] or 256
    need(size == 40 + 4 * colours and colours <= 256, 'palette size')
    palette = [data[at + 40 + 4 * i:at + 43 + 4 * i] for i in range(colours)]

    frame_chunks = chunks(data, movi_at + 4, movi_at + movi_size)
    need(len(frame_chunks) == frames, '%d frame chunks' % len(frame_chunks))
    need(len(raw_frames) == frames, 'generator frame count')
    largest = 0
    background = None
    for n, ((fourcc, at, size), expected) in enumerate(zip(frame_chunks, raw_frames)):
        need(fourcc == b'00dc', 'frame chunk id %r' % fourcc)
        rows = decode_rle8(data[at:at + size], width, height)
        need(rows == [bytes(r) for r in expected], 'frame %d differs from the generator\'s' % n)
        background = rows[0][0] if background is None else background
        need(rows[0][0] == background, 'frame %d: top-left pixel is not the background' % n)
        largest = max(largest, size)
    need(suggested >= largest and u32(data, 60) >= largest, 'suggested buffer smaller than a frame')
    need(bi[6] >= largest, 'biSizeImage smaller than a frame')
    need(palette.count(palette[background]) == 1, 'the background colour is also another palette entry')

    idx_at, idx_size = index[0]
    need(idx_size == 16 * frames, 'idx1 entries')
    for n in range(frames):
        ckid, flags, offset, size = struct.unpack_from('<4sIII', data, idx_at + 16 * n)
        need(ckid == b'00dc' and flags & 0x10, 'idx1 entry %d' % n)
        # Offsets count from the 'movi' list type.
        need(movi_at + offset + 8 == frame_chunks[n][1] and size == frame_chunks[n][2], 'idx1 entry %d offset' % n)


def check_ico(name, data):
    sizes = EXPECTED_ICONS[name]
    need(len(data) >= 6 and struct.unpack_from('<HHH', data, 0) == (0, 1, len(sizes)), 'ICONDIR')
    for n, side in enumerate(sizes):
        w, h, colours, _, planes, bits, length, offset = struct.unpack_from('<BBBBHHII', data, 6 + 16 * n)
        need((w, h, planes, bits) == (side, side, 1, 32), 'entry %d' % n)
        need(offset + length <= len(data), 'image %d past the end' % n)
        bi = struct.unpack_from('<IiiHHI', data, offset)
        need(bi == (40, side, 2 * side, 1, 32, 0), 'image %d header' % n)
        mask_stride = (side + 31) // 32 * 4
        need(length == 40 + side * side * 4 + side * mask_stride, 'image %d length' % n)
        pixels = data[offset + 40:offset + 40 + side * side * 4]
        mask = data[offset + 40 + side * side * 4:offset + length]
        opaque = 0
        for y in range(side):
            for x in range(side):
                alpha = pixels[(y * side + x) * 4 + 3]
                masked = mask[y * mask_stride + x // 8] & (0x80 >> (x % 8))
                need(bool(masked) == (alpha == 0), 'image %d: mask and alpha disagree at %d,%d' % (n, x, y))
                opaque += alpha == 255
        need(opaque > side * side // 4, 'image %d is mostly empty' % n)
        need(pixels[3] == 0, 'image %d: corner is not transparent' % n)


def check_folder(folder, raw):
    for name in sorted(EXPECTED_CLIPS):
        with open(os.path.join(folder, name), 'rb') as f:
            check_avi(name, f.read(), raw[name])
    for name in sorted(EXPECTED_ICONS):
        with open(os.path.join(folder, name), 'rb') as f:
            check_ico(name, f.read())


def rejects(what, check):
    try:
        check()
    except Bad:
        return
    raise Bad('the checks accept %s' % what)


def self_test(scan, raw_scan):
    """Broken clips that the checks must reject."""
    def patched(at, value):
        return scan[:at] + struct.pack('<I', value) + scan[at + 4:]
    rejects('a wrong frame count', lambda: check_avi('Scan.avi', patched(48, 22), raw_scan))
    rejects('a wrong frame width', lambda: check_avi('Scan.avi', patched(64, 270), raw_scan))
    rejects('a truncated file', lambda: check_avi('Scan.avi', scan[:-20], raw_scan))
    rejects('a frame that is not the generator\'s',
            lambda: check_avi('Scan.avi', scan, raw_scan[1:] + raw_scan[:1]))
    # 255 pixels: an absolute run of 255 then 16 in one run (decodes to the same row).
    row = bytes((i * 7) % 16 for i in range(255)) + bytes([3]) * 16
    rle = bytes([0, 255]) + row[:255] + b'\x00' + bytes([16, 3]) + b'\x00\x01'
    rejects('an absolute run of 255', lambda: decode_rle8(rle, 271, 1))
    rejects('an encoded run of 255', lambda: decode_rle8(bytes([255, 1, 16, 1, 0, 1]), 271, 1))
    rejects('a short row', lambda: decode_rle8(bytes([200, 1, 0, 1]), 271, 1))
    need(decode_rle8(bytes([254, 1, 17, 1, 0, 1]), 271, 1) == [bytes([1]) * 271], 'a run of 254 and one of 17')
    # Rows that make the encoder split its runs: long literal stretches, long runs, short tails.
    for row in (bytes(i % 2 for i in range(300)), bytes([5]) * 600, bytes((i * 7) % 16 for i in range(255)) + b'\x01',
                bytes([1, 2]), bytes([4])):
        need(decode_rle8(rle_avi.encode_frame([row]), len(row), 1) == [row], 'encoder round trip of %d pixels' % len(row))


def main():
    raw = {name: gen_resources.clip_frames(name) for name in EXPECTED_CLIPS}
    with tempfile.TemporaryDirectory() as first, tempfile.TemporaryDirectory() as second:
        for folder in (first, second):
            subprocess.run([sys.executable, os.path.join(HERE, 'gen_resources.py'), folder], check=True)
        names = sorted(os.listdir(first))
        need(names == sorted(list(EXPECTED_CLIPS) + list(EXPECTED_ICONS)), 'files written: %r' % names)
        for name in names:
            with open(os.path.join(first, name), 'rb') as a, open(os.path.join(second, name), 'rb') as b:
                need(a.read() == b.read(), '%s differs between two runs' % name)
        check_folder(first, raw)
        with open(os.path.join(first, 'Scan.avi'), 'rb') as f:
            self_test(f.read(), raw['Scan.avi'])
    print('%d clips and %d icons checked' % (len(EXPECTED_CLIPS), len(EXPECTED_ICONS)))
    return 0


if __name__ == '__main__':
    try:
        sys.exit(main())
    except Bad as e:
        print('check failed: %s' % e)
        sys.exit(1)

"""8-bit run-length encoding (BI_RLE8) and the RIFF AVI container the animation control plays:
one video stream, every frame a key frame, an idx1 index, no sound."""
import struct

# Wine's RLE8 decoder mishandles an absolute run of 255 pixels; no run of either kind is longer.
MAX_RUN = 254

AVIF_HASINDEX = 0x10
AVIIF_KEYFRAME = 0x10
BI_RLE8 = 1


def _flush_literal(out, literal):
    if len(literal) >= 3:
        out += bytes([0, len(literal)]) + bytes(literal)
        if len(literal) % 2:
            out.append(0)  # absolute runs end on a 16-bit boundary
    else:
        for c in literal:  # 0x00 0x01 and 0x00 0x02 are escapes: short literals go as runs of one
            out += bytes([1, c])
    literal.clear()


def encode_row(row):
    """One row of palette indices as RLE8 codes, without the end-of-line escape."""
    out = bytearray()
    literal = []
    i, n = 0, len(row)
    while i < n:
        run = 1
        while i + run < n and row[i + run] == row[i] and run < MAX_RUN:
            run += 1
        if run >= 3:
            _flush_literal(out, literal)
            out += bytes([run, row[i]])
            i += run
        else:
            literal.append(row[i])
            i += 1
            if len(literal) == MAX_RUN:
                _flush_literal(out, literal)
    _flush_literal(out, literal)
    return out


def encode_frame(rows):
    """A frame (rows of palette indices, top row first) as BI_RLE8 data: bottom row first, each row
    ended by end-of-line, the last by end-of-bitmap."""
    out = bytearray()
    for y in range(len(rows) - 1, -1, -1):
        out += encode_row(rows[y])
        out += b'\x00\x01' if y == 0 else b'\x00\x00'
    return bytes(out)


def _chunk(fourcc, data):
    return fourcc + struct.pack('<I', len(data)) + data + (b'\x00' if len(data) % 2 else b'')


def _list(kind, payload):
    return b'LIST' + struct.pack('<I', len(payload) + 4) + kind + payload


def write_avi(width, height, frame_ms, palette, frames):
    """The AVI file of frames (each a list of rows of palette indices, top row first) shown
    frame_ms milliseconds each; palette is a list of (r, g, b)."""
    encoded = [encode_frame(rows) for rows in frames]
    largest = max(len(e) for e in encoded)
    us_per_frame = frame_ms * 1000

    avih = struct.pack('<14I', us_per_frame, (largest * 1000000 + us_per_frame - 1) // us_per_frame, 0,
                       AVIF_HASINDEX, len(frames), 0, 1, largest, width, height, 0, 0, 0, 0)
    strh = struct.pack('<4s4sIHHIIIIIIII4h', b'vids', b'RLE ', 0, 0, 0, 0, us_per_frame, 1000000, 0,
                       len(frames), largest, 0xFFFFFFFF, 0, 0, 0, width, height)
    strf = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 8, BI_RLE8, largest, 0, 0, len(palette), 0)
    strf += b''.join(struct.pack('<4B', b, g, r, 0) for (r, g, b) in palette)
    hdrl = _list(b'hdrl', _chunk(b'avih', avih) + _list(b'strl', _chunk(b'strh', strh) + _chunk(b'strf', strf)))

    movi = bytearray()
    index = bytearray()
    for data in encoded:
        # Offsets count from the 'movi' list type, as the system's AVI reader expects.
        index += struct.pack('<4sIII', b'00dc', AVIIF_KEYFRAME, 4 + len(movi), len(data))
        movi += _chunk(b'00dc', data)
    body = b'AVI ' + hdrl + _list(b'movi', bytes(movi)) + _chunk(b'idx1', bytes(index))
    return b'RIFF' + struct.pack('<I', len(body)) + body

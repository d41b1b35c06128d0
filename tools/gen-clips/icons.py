"""Icon files (.ico) of 32-bit images with alpha, in the bitmap form every Windows since XP reads."""
import struct


def _image(rgba):
    """One icon image: BITMAPINFOHEADER (height doubled for the mask), BGRA rows bottom first, then
    the AND mask (1 = transparent), rows padded to 32 bits."""
    h, w = len(rgba), len(rgba[0])
    mask_stride = ((w + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rgba):
        bits = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            xor += bytes([b, g, r, a])
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def write_ico(images):
    """The .ico file of the given images (each rows of (r, g, b, a), top row first)."""
    blobs = [_image(rgba) for rgba in images]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for rgba, blob in zip(images, blobs):
        h, w = len(rgba), len(rgba[0])
        out += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    return out + b''.join(blobs)

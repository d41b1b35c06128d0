#!/usr/bin/env python3
"""Writes the library's clips and icons into OUTDIR: the seven AVI clips of the busy window and the
two icons (ScannerIcon.ico, BusyIcon.ico). Same bytes on every run.

Usage: gen_resources.py OUTDIR
"""
import os
import sys

sys.dont_write_bytecode = True  # the generator runs from the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import icons  # noqa: E402
import pictures  # noqa: E402
import rle_avi  # noqa: E402
from drawing import downsample_rgba  # noqa: E402

# file, frame width x height, frames, milliseconds per frame, picture
CLIPS = [
    ('LoadData.avi', 48, 45, 8, 200, pictures.draw_loaddata),
    ('Communicate.avi', 324, 72, 45, 100, pictures.draw_communicate),
    ('Transfer.avi', 100, 70, 4, 500, pictures.draw_transfer),
    ('CopyFile.avi', 260, 40, 17, 100, pictures.draw_copyfile),
    ('Download.avi', 272, 60, 33, 100, pictures.draw_download),
    ('Upload.avi', 272, 60, 34, 100, pictures.draw_upload),
    ('Scan.avi', 271, 48, 23, 100, pictures.draw_scan),
]


def clip_frames(name):
    """The raw frames of a clip (rows of palette indices, top row first), as they go into the file."""
    for file, width, height, count, _, draw in CLIPS:
        if file == name:
            return pictures.frames(draw, width, height, count)
    raise KeyError(name)


def icon_images():
    """File name -> the images of that icon, each rows of (r, g, b, a)."""
    scanner = pictures.draw_scanner(128)
    hourglass = pictures.draw_hourglass(192)
    p, clear = pictures.ICON_PALETTE, pictures.CLEAR
    return {
        'ScannerIcon.ico': [downsample_rgba(scanner, p, 4, clear), downsample_rgba(scanner, p, 8, clear)],
        'BusyIcon.ico': [downsample_rgba(hourglass, p, 4, clear)],
    }


def generate():
    """File name -> bytes of every file the generator writes."""
    out = {}
    for file, width, height, count, ms, _ in CLIPS:
        out[file] = rle_avi.write_avi(width, height, ms, pictures.PALETTE, clip_frames(file))
    for file, images in icon_images().items():
        out[file] = icons.write_ico(images)
    return out


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    os.makedirs(argv[1], exist_ok=True)
    for name, data in sorted(generate().items()):
        path = os.path.join(argv[1], name)
        # Written only when changed, so the resource objects are not rebuilt for nothing.
        if os.path.exists(path):
            with open(path, 'rb') as f:
                if f.read() == data:
                    continue
        with open(path, 'wb') as f:
            f.write(data)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))

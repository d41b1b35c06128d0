"""Raster drawing on a canvas of palette indices: the primitives the clips and icons are drawn with.

Coordinates are pixels, (0, 0) at the top left; everything is clipped to the canvas. Shapes are
filled by sampling pixel centres, so the same call always covers the same pixels.
"""
import math


class Canvas:
    def __init__(self, width, height, background=0):
        self.width = width
        self.height = height
        self.pixels = bytearray([background]) * (width * height)

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y * self.width + x] = colour

    def get(self, x, y):
        return self.pixels[y * self.width + x]

    def span(self, y, x0, x1, colour):
        """Pixels x0 .. x1 - 1 of row y."""
        if not 0 <= y < self.height:
            return
        x0, x1 = max(0, x0), min(self.width, x1)
        if x0 < x1:
            start = y * self.width
            self.pixels[start + x0:start + x1] = bytes([colour]) * (x1 - x0)

    def rect(self, x, y, w, h, colour):
        for row in range(y, y + h):
            self.span(row, x, x + w, colour)

    def frame(self, x, y, w, h, colour):
        """The one-pixel outline of rect(x, y, w, h)."""
        self.span(y, x, x + w, colour)
        self.span(y + h - 1, x, x + w, colour)
        for row in range(y + 1, y + h - 1):
            self.put(x, row, colour)
            self.put(x + w - 1, row, colour)

    def line(self, x0, y0, x1, y1, colour, width=1):
        """A line of the given width between two points (round ends)."""
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        r = (width - 1) / 2.0
        for i in range(int(math.ceil(steps)) + 1):
            t = i / steps
            cx, cy = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
            if width <= 1:
                self.put(int(round(cx)), int(round(cy)), colour)
            else:
                self.disc(cx, cy, r + 0.5, colour)

    def ellipse(self, cx, cy, rx, ry, colour):
        """Filled ellipse: every pixel whose centre lies inside."""
        for row in range(int(math.floor(cy - ry)), int(math.ceil(cy + ry)) + 1):
            dy = (row + 0.5 - cy) / ry
            if abs(dy) > 1:
                continue
            half = rx * math.sqrt(1 - dy * dy)
            self.span(row, int(math.ceil(cx - half - 0.5)), int(math.floor(cx + half - 0.5)) + 1, colour)

    def disc(self, cx, cy, r, colour):
        self.ellipse(cx, cy, r, r, colour)

    def polygon(self, points, colour):
        """Filled polygon (even-odd rule) through the given (x, y) points."""
        top = int(math.floor(min(p[1] for p in points)))
        bottom = int(math.ceil(max(p[1] for p in points)))
        n = len(points)
        for row in range(top, bottom + 1):
            yc = row + 0.5
            xs = []
            for i in range(n):
                (xa, ya), (xb, yb) = points[i], points[(i + 1) % n]
                if (ya <= yc < yb) or (yb <= yc < ya):
                    xs.append(xa + (yc - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for a, b in zip(xs[0::2], xs[1::2]):
                self.span(row, int(math.ceil(a - 0.5)), int(math.ceil(b - 0.5)), colour)

    def rows(self):
        """The picture as rows of palette indices, top row first."""
        return [bytes(self.pixels[y * self.width:(y + 1) * self.width]) for y in range(self.height)]


def downsample_rgba(canvas, palette, factor, transparent):
    """Averages factor x factor blocks of canvas into RGBA pixels (rows top first, each a list of
    (r, g, b, a)); pixels of index `transparent` count as fully transparent, so edges get partial
    alpha."""
    out = []
    area = factor * factor
    for oy in range(canvas.height // factor):
        row = []
        for ox in range(canvas.width // factor):
            r = g = b = covered = 0
            for sy in range(oy * factor, (oy + 1) * factor):
                for sx in range(ox * factor, (ox + 1) * factor):
                    c = canvas.get(sx, sy)
                    if c == transparent:
                        continue
                    pr, pg, pb = palette[c]
                    r, g, b, covered = r + pr, g + pg, b + pb, covered + 1
            if covered:
                row.append((r // covered, g // covered, b // covered, (255 * covered) // area))
            else:
                row.append((0, 0, 0, 0))
        out.append(row)
    return out

"""The pictures of the library's clips and icons, drawn procedurally.

Each clip is a function draw(canvas, frame, frames) that draws one frame on a canvas cleared to the
background colour BG. The background stays in the top-left pixel of every frame: the animation
control takes that pixel's colour as the transparent one.
"""
import math

from drawing import Canvas

# Palette of the clips. No other entry has the background's colour, or it would turn transparent.
BG, BLACK, WHITE, LIGHT, GREY, DARK, NAVY, BLUE, SKY, GREEN, LIME, RED, GOLD, OCHRE, PAPER, TEAL = range(16)
PALETTE = [
    (212, 208, 200), (0, 0, 0), (255, 255, 255), (224, 224, 224), (150, 150, 150), (80, 80, 80),
    (0, 48, 144), (40, 110, 220), (150, 200, 255), (0, 150, 60), (150, 255, 160), (210, 40, 40),
    (244, 196, 64), (180, 130, 30), (252, 252, 238), (0, 165, 190),
]


def recolour(c, x0, y0, x1, y1, old, new):
    for y in range(max(0, y0), min(c.height, y1)):
        for x in range(max(0, x0), min(c.width, x1)):
            if c.get(x, y) == old:
                c.put(x, y, new)


def ellipse_outline(c, cx, cy, rx, ry, colour, lower_half_only=False):
    steps = int(4 * (rx + ry)) + 8
    for s in range(steps):
        a = 2 * math.pi * s / steps
        if lower_half_only and math.sin(a) < 0:
            continue
        c.put(int(math.floor(cx + rx * math.cos(a))), int(math.floor(cy + ry * math.sin(a))), colour)


def invoice(c, x, y, w, h, lines=GREY):
    """An invoice page: header bar, text lines and the red seal."""
    c.rect(x, y, w, h, PAPER)
    c.frame(x, y, w, h, DARK)
    c.rect(x + 4, y + 3, w // 2, 2, NAVY)
    for j in range((h - 9) // 5):
        c.rect(x + 4, y + 9 + 5 * j, w - 8 - (j % 2) * (w // 4), 2, lines)
    c.disc(x + w - 8, y + 7, 4, RED)
    c.disc(x + w - 8, y + 7, 2, PAPER)


def page(c, x, y, w, h):
    """A small page with a folded corner and text lines."""
    fold = max(3, w // 4)
    c.polygon([(x, y), (x + w - fold, y), (x + w, y + fold), (x + w, y + h), (x, y + h)], DARK)
    c.polygon([(x + 1, y + 1), (x + w - fold, y + 1), (x + w - 1, y + fold), (x + w - 1, y + h - 1),
               (x + 1, y + h - 1)], WHITE)
    c.polygon([(x + w - fold, y + 1), (x + w - 1, y + fold), (x + w - fold, y + fold)], LIGHT)
    for j in range(max(0, (h - fold - 3) // 3)):
        c.span(y + fold + 2 + 3 * j, x + 3, x + w - 3 - (j % 2) * 2, GREY)


def computer(c, x, y, w, h, frame, busy_lines):
    """A monitor of w x h on a stand, its screen showing busy_lines lines of text."""
    c.rect(x, y, w, h, DARK)
    c.rect(x + 4, y + 4, w - 8, h - 8, NAVY)
    for j in range(busy_lines):
        c.rect(x + 8, y + 8 + 5 * j, (w - 16) - ((j * 7 + frame) % 3) * 8, 2, SKY)
    c.rect(x + w // 2 - 4, y + h, 8, 5, GREY)
    c.rect(x + w // 2 - 16, y + h + 5, 32, 4, DARK)


def folder(c, x, y, w, h):
    c.rect(x, y - 4, w // 3, 5, OCHRE)
    c.rect(x, y, w, h, OCHRE)
    c.rect(x + 1, y + 3, w - 2, h - 4, GOLD)


def globe(c, cx, cy, r):
    c.disc(cx, cy, r, NAVY)
    c.disc(cx, cy, r - 1.5, SKY)
    for blob in ((-0.35, -0.3, 0.35, 0.25), (0.3, 0.2, 0.3, 0.35), (0.05, -0.55, 0.2, 0.12)):
        c.ellipse(cx + blob[0] * r, cy + blob[1] * r, blob[2] * r, blob[3] * r, GREEN)
    for k in (0.45, 0.85):
        ellipse_outline(c, cx, cy, r * k, r - 1.5, BLUE)
    c.span(int(cy), int(cx - r + 2), int(cx + r - 1), BLUE)


def chevron(c, x, y, size, colour):
    """A '>' of the given height whose tip is at (x + size / 2, y)."""
    half = size / 2.0
    c.polygon([(x - half, y - half), (x - half + 4, y - half), (x + half, y), (x - half + 4, y + half),
               (x - half, y + half), (x + half - 4, y)], colour)


def draw_scan(c, i, n):
    """Invoices pass from left to right under the scanner's light bar; what has passed it is read."""
    slit = 135
    c.rect(0, 40, c.width, 2, GREY)
    for k in (0, 1):
        x = (i * 14 + k * 161) % 322 - 44
        invoice(c, x, 8, 44, 30)
        recolour(c, slit, 8, x + 44, 38, GREY, BLUE)
    c.rect(125, 2, 21, 44, DARK)
    c.frame(125, 2, 21, 44, BLACK)
    c.rect(slit - 2, 4, 5, 40, GREEN)
    c.rect(slit - 1, 4, 3, 40, LIME)


def draw_loaddata(c, i, n):
    """Records drop into a database cylinder; its bands light up one after another."""
    cx, rx, ry, top, bottom = 24, 15, 5, 15, 38
    c.rect(cx - 6, (i % 4) * 3, 12, 8, WHITE)
    c.frame(cx - 6, (i % 4) * 3, 12, 8, GREY)
    c.span((i % 4) * 3 + 3, cx - 3, cx + 3, GREY)
    c.ellipse(cx, bottom, rx, ry, BLUE)
    c.rect(cx - rx, top, 2 * rx, bottom - top, BLUE)
    lit = i % 4

    def arc(k, x):
        yk = top + k * (bottom - top) / 4.0
        return yk + ry * math.sqrt(max(0.0, 1 - ((x + 0.5 - cx) / rx) ** 2))

    for x in range(cx - rx, cx + rx):
        for y in range(int(math.ceil(arc(lit, x))), int(math.floor(arc(lit + 1, x)))):
            c.put(x, y, TEAL)
        for k in (1, 2, 3, 4):
            c.put(x, int(arc(k, x)), NAVY)
    for y in range(top, bottom + 1):
        c.put(cx - rx, y, NAVY)
        c.put(cx + rx - 1, y, NAVY)
    c.ellipse(cx, top, rx, ry, NAVY)
    c.ellipse(cx, top, rx - 1, ry - 1, SKY)


def draw_communicate(c, i, n):
    """Two computers exchange dots: requests go right on the upper lane, answers come back below."""
    computer(c, 8, 8, 64, 44, i, 1 + (i // 3) % 6)
    computer(c, 252, 8, 64, 44, i, 1 + (i // 3 + 3) % 6)
    left, length, spacing = 80, 164, 41
    for x in range(left, left + length, 8):
        c.put(x, 24, GREY)
        c.put(x, 38, GREY)
    for j in range(4):
        shift = (i * 4 * spacing) / float(n)
        c.disc(left + (shift + j * spacing) % length, 24, 3, GREEN)
        c.disc(left + length - (shift + j * spacing) % length, 38, 3, BLUE)


def draw_transfer(c, i, n):
    """A document passes to another: the arrow between them fills step by step."""
    page(c, 6, 16, 26, 36)
    page(c, 68, 16, 26, 36)
    for j in range(3):
        chevron(c, 42 + 8 * j, 34, 12, GREEN if j < i else LIGHT)


def draw_copyfile(c, i, n):
    """Pages fly from one folder into the other."""
    t = i / float(n)
    x = 28 + t * (216 - 28)
    y = 17 - 15 * math.sin(math.pi * t)
    page(c, int(round(x)), int(round(y)), 11, 14)
    folder(c, 6, 22, 36, 16)
    folder(c, 218, 22, 36, 16)


def draw_arrows(c, i, n, globe_x, computer_x, spacing, colour):
    track = 70
    length = (132 // spacing) * spacing  # a whole number of spacings: the arrows loop seamlessly
    c.rect(track, 29, length, 2, LIGHT)
    for j in range(length // spacing):
        chevron(c, track + (i * 2 + j * spacing) % length, 30, 12, colour)
    globe(c, globe_x, 30, 24)
    computer(c, computer_x, 8, 56, 38, i, 3)


def draw_download(c, i, n):
    """Arrows carry data from the network (the globe) down to the computer."""
    draw_arrows(c, i, n, 34, 208, 22, GREEN)


def draw_upload(c, i, n):
    """Arrows carry data from the computer up to the network."""
    draw_arrows(c, i, n, 238, 8, 17, BLUE)


def frames(draw, width, height, count):
    """Every frame of a clip as rows of palette indices."""
    out = []
    for i in range(count):
        c = Canvas(width, height, BG)
        draw(c, i, count)
        out.append(c.rows())
    return out


# ---- Icons: drawn large in their own palette (index 0 transparent), then averaged down ----------

CLEAR, I_DARK, I_FACE, I_LIGHT, I_GLASS, I_LIME, I_WOOD, I_SAND, I_SHADE = range(9)
ICON_PALETTE = [
    (0, 0, 0), (60, 60, 70), (170, 172, 180), (228, 230, 236), (120, 180, 240), (150, 255, 160),
    (150, 90, 40), (240, 190, 70), (110, 112, 120),
]


def draw_scanner(size=128):
    """A flatbed scanner with its lid raised, on a 128-unit grid."""
    c = Canvas(size, size, CLEAR)
    lid = [(30, 66), (122, 66), (108, 10), (18, 10)]
    c.polygon(lid, I_DARK)
    c.polygon([(34, 62), (116, 62), (104, 16), (23, 16)], I_LIGHT)
    c.polygon([(42, 58), (108, 58), (99, 22), (31, 22)], I_FACE)
    c.polygon([(4, 92), (100, 92), (124, 68), (28, 68)], I_DARK)
    c.polygon([(12, 88), (96, 88), (114, 71), (31, 71)], I_GLASS)
    c.polygon([(58, 88), (66, 88), (84, 71), (76, 71)], I_LIME)
    c.polygon([(4, 92), (100, 92), (100, 116), (4, 116)], I_FACE)
    c.polygon([(100, 92), (124, 68), (124, 92), (100, 116)], I_SHADE)
    c.line(4, 92, 100, 92, I_DARK, 4)
    c.line(100, 92, 124, 68, I_DARK, 4)
    c.line(4, 92, 4, 116, I_DARK, 4)
    c.line(4, 116, 100, 116, I_DARK, 4)
    c.line(100, 92, 100, 116, I_DARK, 4)
    c.line(100, 116, 124, 92, I_DARK, 4)
    c.line(124, 68, 124, 92, I_DARK, 4)
    c.rect(12, 102, 14, 6, I_LIME)
    return c


def draw_hourglass(size=192):
    """An hourglass with sand running down, on a 192-unit grid."""
    c = Canvas(size, size, CLEAR)
    c.polygon([(44, 30), (148, 30), (100, 96), (148, 162), (44, 162), (92, 96)], I_DARK)
    c.polygon([(54, 36), (138, 36), (92, 96), (138, 156), (54, 156), (100, 96)], I_GLASS)
    c.polygon([(70, 56), (122, 56), (96, 90)], I_SAND)
    c.polygon([(96, 112), (132, 152), (60, 152)], I_SAND)
    c.rect(94, 88, 4, 40, I_SAND)
    for y in (14, 160):
        c.rect(30, y, 132, 18, I_WOOD)
        c.frame(30, y, 132, 18, I_DARK)
    c.rect(36, 32, 10, 128, I_WOOD)
    c.rect(146, 32, 10, 128, I_WOOD)
    return c

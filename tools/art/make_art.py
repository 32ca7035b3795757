#!/usr/bin/env python3
"""Draws the wizard's banner (res/banner.bmp) and the program icon
(res/setup.ico). The committed images are what the build uses; run this
only to make them again:

    python3 tools/art/make_art.py [OUTPUT_DIR]      (default: res/)

Needs ImageMagick's `convert` and the DejaVu Serif italic font
(Debian: imagemagick, fonts-dejavu-extra) for the banner's title.

Banner: 507 x 65, 8 bits per pixel with a full 256-entry colour table,
uncompressed, bottom-up, 2834 pixels per metre (72 dpi). Icon: 32 x 32 and
16 x 16, 16 colours each with a transparency mask.
"""
import os
import struct
import subprocess
import sys

BANNER_W, BANNER_H = 507, 65
PELS_PER_METRE = 2834
TITLE = "Update Wizard"
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-BoldItalic.ttf"

VIOLET = (58, 12, 110)   # left end of the gradient
PINK = (250, 208, 230)   # right end


def lerp(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def banner_background():
    """The diagonal gradient with the faint squares near the right end, as
    raw RGB rows (top row first)."""
    rows = []
    span = (BANNER_W - 1) + (BANNER_H - 1) * 2.0
    for y in range(BANNER_H):
        row = bytearray()
        for x in range(BANNER_W):
            # Diagonal: the colour depends on x plus a share of y.
            t = (x + y * 2.0) / span
            c = lerp(VIOLET, PINK, t)
            # Squares of 5 px on a 9 px grid over the last 120 columns,
            # fading in towards the edge: slightly lighter than the ground.
            if x >= BANNER_W - 120 and (x % 9) < 5 and (y % 9) < 5 and 4 <= y < BANNER_H - 4:
                k = 0.10 + 0.18 * (x - (BANNER_W - 120)) / 120.0
                c = lerp(c, (255, 255, 255), k)
            row += bytes(c)
        rows.append(bytes(row))
    return b"".join(rows)


def render_title(background):
    """Puts the title (white italic serif, dark drop shadow) on the
    background with ImageMagick. Returns raw RGB in full colour."""
    cmd = [
        "convert", "-size", f"{BANNER_W}x{BANNER_H}", "-depth", "8", "rgb:-",
        "-font", FONT, "-pointsize", "30",
        "(", "+clone", "-alpha", "transparent", "-fill", "#1a0428",
        "-annotate", "+19+44", TITLE, "-blur", "0x1.2", ")",
        "-composite",
        "-fill", "white", "-annotate", "+16+41", TITLE,
        "-depth", "8", "rgb:-",
    ]
    out = subprocess.run(cmd, input=background, stdout=subprocess.PIPE, check=True).stdout
    if len(out) != BANNER_W * BANNER_H * 3:
        sys.exit("make_art: unexpected image size from convert")
    return out


def median_cut(pixels, count):
    """Splits the distinct colours into exactly count boxes (median cut) and
    returns (palette, index of each pixel). Each pixel maps to its own box,
    so every palette entry is used."""
    freq = {}
    for p in pixels:
        freq[p] = freq.get(p, 0) + 1
    if len(freq) < count:
        sys.exit(f"make_art: only {len(freq)} colours; the table must be full")
    boxes = [sorted(freq)]
    while len(boxes) < count:
        def spread(b):
            return max(max(c[i] for c in b) - min(c[i] for c in b) for i in range(3))
        b = max((b for b in boxes if len(b) > 1), key=lambda b: (spread(b), len(b)))
        boxes.remove(b)
        axis = max(range(3), key=lambda i: max(c[i] for c in b) - min(c[i] for c in b))
        b.sort(key=lambda c: (c[axis], c))
        half = len(b) // 2
        boxes += [b[:half], b[half:]]
    palette = []
    for b in boxes:
        n = sum(freq[c] for c in b)
        palette.append(tuple(round(sum(c[i] * freq[c] for c in b) / n) for i in range(3)))
    order = sorted(range(count), key=lambda i: (sum(palette[i]), palette[i]))
    where = {}
    for rank, i in enumerate(order):
        for c in boxes[i]:
            where[c] = rank
    return [palette[i] for i in order], [where[p] for p in pixels]


def write_banner(path, rgb):
    pixels = [tuple(rgb[i:i + 3]) for i in range(0, len(rgb), 3)]
    colours, indices = median_cut(pixels, 256)
    stride = (BANNER_W + 3) & ~3
    bits = bytearray()
    for y in range(BANNER_H - 1, -1, -1):  # bottom-up
        row = bytes(indices[y * BANNER_W:(y + 1) * BANNER_W])
        bits += row + bytes(stride - BANNER_W)
    palette = b"".join(bytes((c[2], c[1], c[0], 0)) for c in colours)
    info = struct.pack("<IiiHHIIiiII", 40, BANNER_W, BANNER_H, 1, 8, 0, len(bits),
                       PELS_PER_METRE, PELS_PER_METRE, 256, 256)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + palette + bits)


# The 16 standard colours of a 4-bit icon.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, NAVY, TEAL, SILVER, GREY, LIME, WHITE = 0, 4, 6, 7, 8, 10, 15
CLEAR = None


def canvas(size):
    return [[CLEAR] * size for _ in range(size)]


def box(img, x0, y0, x1, y1, colour):
    """Fills the inclusive rectangle."""
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            img[y][x] = colour


def bevel(img, x0, y0, x1, y1, face):
    """A raised box: white top-left edge, grey bottom-right, black outline."""
    box(img, x0, y0, x1, y1, BLACK)
    box(img, x0 + 1, y0 + 1, x1 - 1, y1 - 1, GREY)
    box(img, x0 + 1, y0 + 1, x1 - 2, y1 - 2, WHITE)
    box(img, x0 + 2, y0 + 2, x1 - 2, y1 - 2, face)


def window(img, x0, y0, x1, y1):
    """A small window on the screen: navy title bar over a white body."""
    box(img, x0, y0, x1, y1, BLACK)
    box(img, x0 + 1, y0 + 1, x1 - 1, y0 + 1, NAVY)
    box(img, x0 + 1, y0 + 2, x1 - 1, y1 - 1, WHITE)


def computer32():
    img = canvas(32)
    bevel(img, 5, 1, 26, 18, SILVER)        # monitor
    box(img, 8, 4, 23, 15, BLACK)
    box(img, 9, 5, 22, 14, TEAL)            # screen
    window(img, 10, 6, 17, 11)              # two overlapping windows
    window(img, 14, 9, 21, 13)
    box(img, 13, 19, 18, 19, GREY)          # neck
    bevel(img, 3, 20, 28, 25, SILVER)       # system unit
    box(img, 6, 22, 7, 23, LIME)            # lamp
    box(img, 16, 22, 25, 22, BLACK)         # drive slot
    box(img, 16, 23, 25, 23, WHITE)
    bevel(img, 1, 26, 30, 30, SILVER)       # keyboard
    for x in range(4, 28, 3):
        box(img, x, 28, x + 1, 28, GREY)    # keys
    return img


def computer16():
    img = canvas(16)
    box(img, 2, 0, 13, 9, BLACK)            # monitor
    box(img, 3, 1, 12, 8, SILVER)
    box(img, 4, 2, 11, 7, TEAL)             # screen
    box(img, 5, 3, 8, 5, WHITE)             # two overlapping windows
    box(img, 5, 3, 8, 3, NAVY)
    box(img, 7, 5, 10, 7, WHITE)
    box(img, 7, 5, 10, 5, NAVY)
    box(img, 1, 10, 14, 12, BLACK)          # system unit
    box(img, 2, 11, 13, 11, SILVER)
    img[11][3] = LIME                       # lamp
    box(img, 8, 11, 12, 11, GREY)           # drive slot
    box(img, 0, 13, 15, 15, BLACK)          # keyboard
    box(img, 1, 14, 14, 14, SILVER)
    for x in range(2, 14, 2):
        img[14][x] = GREY
    return img


def icon_image(img):
    """One image of the icon file: header (height doubled for the mask),
    16-entry colour table, 4-bit colour rows, then the 1-bit mask rows;
    both bottom-up, each row padded to 4 bytes."""
    size = len(img)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(xor_stride)
        mrow = bytearray(and_stride)
        for x in range(size):
            c = img[y][x]
            if c is None:
                mrow[x // 8] |= 0x80 >> (x % 8)  # transparent
                c = 0
            row[x // 2] |= c << (4 if x % 2 == 0 else 0)
        xor += row
        mask += mrow
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask),
                       0, 0, 16, 0)
    palette = b"".join(bytes((c[2], c[1], c[0], 0)) for c in VGA)
    return info + palette + bytes(xor) + bytes(mask)


def write_icon(path, images):
    data = [icon_image(img) for img in images]
    out = struct.pack("<HHH", 0, 1, len(data))
    offset = 6 + 16 * len(data)
    for img, blob in zip(images, data):
        size = len(img)
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(data))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    outdir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "res")
    write_banner(os.path.join(outdir, "banner.bmp"), render_title(banner_background()))
    write_icon(os.path.join(outdir, "setup.ico"), [computer32(), computer16()])


if __name__ == "__main__":
    main()

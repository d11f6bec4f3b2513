#!/usr/bin/python3
"""Draws splash.jpg and Brennix.jpg next to this script.

Run with Debian's Python and Pillow (python3-pil). The pictures are drawn at
twice their size and scaled down, which gives smooth edges without relying on
Pillow's line anti-aliasing.
"""
import math
import os

from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
SS = 2  # supersampling factor

FONT_DIRS = ["/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/truetype/liberation"]
BOLD = ["DejaVuSans-Bold.ttf", "LiberationSans-Bold.ttf"]
REGULAR = ["DejaVuSans.ttf", "LiberationSans-Regular.ttf"]


def font(names, size):
    for d in FONT_DIRS:
        for n in names:
            path = os.path.join(d, n)
            if os.path.exists(path):
                return ImageFont.truetype(path, size)
    raise SystemExit("no TrueType font found; install fonts-dejavu-core")


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def centred_text(draw, y, text, fnt, fill, width):
    left, top, right, bottom = draw.textbbox((0, 0), text, font=fnt)
    draw.text(((width - (right - left)) / 2 - left, y - top), text, font=fnt, fill=fill)
    return bottom - top


def waveform_points(x0, x1, y_mid, amp, step):
    """A burst-like trace: a few carriers under a slow envelope, fixed so the picture is reproducible."""
    pts = []
    span = x1 - x0
    x = x0
    while x <= x1:
        t = (x - x0) / span
        env = 0.25 + 0.75 * math.exp(-((t - 0.5) / 0.22) ** 2)
        v = (0.55 * math.sin(2 * math.pi * 9.0 * t)
             + 0.30 * math.sin(2 * math.pi * 23.0 * t + 1.1)
             + 0.15 * math.sin(2 * math.pi * 41.0 * t + 0.4))
        pts.append((x, y_mid - amp * env * v))
        x += step
    return pts


def splash(path):
    w, h = 480 * SS, 300 * SS
    top, bottom = (8, 24, 58), (24, 66, 128)
    img = Image.new("RGB", (w, h))
    px = img.load()
    for y in range(h):
        for x in range(w):
            # Diagonal gradient, slightly lighter towards the lower right.
            t = min(1.0, 0.75 * y / h + 0.25 * x / w)
            px[x, y] = lerp(top, bottom, t)
    d = ImageDraw.Draw(img)

    # Faint grid, as on an instrument display.
    grid = (38, 72, 122)
    for gx in range(0, w, 40 * SS):
        d.line([(gx, 170 * SS), (gx, 262 * SS)], fill=grid, width=1)
    for gy in range(170 * SS, 263 * SS, 23 * SS):
        d.line([(0, gy), (w, gy)], fill=grid, width=1)

    # Soft glow under the trace, then the trace itself.
    glow = Image.new("RGB", (w, h), (0, 0, 0))
    gd = ImageDraw.Draw(glow)
    pts = waveform_points(24 * SS, 456 * SS, 216 * SS, 36 * SS, SS)
    gd.line(pts, fill=(40, 150, 220), width=6 * SS)
    glow = glow.filter(ImageFilter.GaussianBlur(6 * SS))
    img = Image.blend(img, Image.composite(glow, img, glow.convert("L")), 0.35)
    d = ImageDraw.Draw(img)
    d.line(pts, fill=(120, 210, 255), width=2 * SS)

    centred_text(d, 52 * SS, "Brennix Lumora", font(BOLD, 44 * SS), (255, 255, 255), w)
    centred_text(d, 118 * SS, "1xEV Forward Link", font(REGULAR, 22 * SS), (170, 205, 245), w)
    d.line([(150 * SS, 156 * SS), (330 * SS, 156 * SS)], fill=(90, 140, 200), width=SS)
    centred_text(d, 276 * SS, "Waveform generation for vector signal generators",
                 font(REGULAR, 11 * SS), (150, 180, 220), w)

    img.resize((480, 300), Image.LANCZOS).save(path, quality=92, optimize=True)


def logo(path):
    w, h = 160 * SS, 80 * SS
    img = Image.new("RGB", (w, h), (255, 255, 255))
    d = ImageDraw.Draw(img)
    blue = (16, 52, 110)
    accent = (30, 130, 210)
    # Rounded mark with a short wave, left of the word.
    d.rounded_rectangle([8 * SS, 22 * SS, 42 * SS, 56 * SS], radius=7 * SS, fill=blue)
    wave = [(x, 39 * SS - 10 * SS * math.sin(2 * math.pi * 2 * (x - 13 * SS) / (24 * SS)))
            for x in range(13 * SS, 37 * SS + 1)]
    d.line(wave, fill=(255, 255, 255), width=2 * SS)
    f = font(BOLD, 24 * SS)
    left, top, right, bottom = d.textbbox((0, 0), "Brennix", font=f)
    d.text((50 * SS - left, 39 * SS - (bottom + top) / 2), "Brennix", font=f, fill=blue)
    d.line([(50 * SS, 62 * SS), (50 * SS + right - left, 62 * SS)], fill=accent, width=2 * SS)
    img.resize((160, 80), Image.LANCZOS).save(path, quality=95, optimize=True)


if __name__ == "__main__":
    splash(os.path.join(HERE, "splash.jpg"))
    logo(os.path.join(HERE, "Brennix.jpg"))

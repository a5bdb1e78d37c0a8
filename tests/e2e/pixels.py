"""Pixels for end-to-end tests: images from the screen or PNG files, and the comparisons the tests share."""

import collections
import subprocess


def luma(pixel):
    return sum(pixel) / 3


def warmth(pixel):
    """How much redder than blue: 0 for white and grey, above it for the orange and red lines."""
    return pixel[0] - pixel[2]


def near(a, b, tolerance=3):
    """Grey levels, or pixels channel by channel, equal but for rounding."""
    if isinstance(a, (int, float)):
        return abs(a - b) <= tolerance
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def over(under, alpha, colour=0):
    """A grey level or pixel seen through a layer of colour (black unless given) at alpha."""
    if isinstance(under, (int, float)):
        return under * (1 - alpha) + colour * alpha
    colour = colour if isinstance(colour, tuple) else (colour,) * len(under)
    return tuple(u * (1 - alpha) + c * alpha for u, c in zip(under, colour))


def band_shows(pixel, top, x=40):
    """Whether the grid's top band, from row top down, stands out at x from the clear strip above it:
    the grid is on screen (or in an image). pixel(x, y) reads the screen or an image."""
    return not near(pixel(x, top + 5), pixel(x, top - 1))


def most_common(pixels):
    return collections.Counter(pixels).most_common(1)[0][0]


def off_background(pixels, threshold=0):
    """Indices of the pixels that differ from the most common one by more than threshold."""
    bg = most_common(pixels)
    return [i for i, p in enumerate(pixels) if max(abs(a - b) for a, b in zip(p, bg)) > threshold]


def ink(rows):
    """How many pixels of rows differ from the most common one: what is drawn on a plain ground."""
    return len(off_background(sum(rows, [])))


def differing(a, b, tolerance=0):
    """How many pixels of two equal-sized lists of rows differ by more than tolerance in a channel."""
    return sum(not near(p, q, tolerance) for row_a, row_b in zip(a, b) for p, q in zip(row_a, row_b))


def line_centres(strip, start=0, threshold=6):
    """Centres of the thin lines crossing a one-pixel strip: runs of pixels off its most common
    colour, weighted by how far off. A pixel's centre is at start + its index + 0.5."""
    background = most_common(strip)
    centres, run = [], []
    for i, p in enumerate(strip + [background]):
        weight = max(abs(a - b) for a, b in zip(p, background))
        if weight > threshold:
            run.append((start + i + 0.5, weight))
        elif run:
            centres.append(sum(c * w for c, w in run) / sum(w for _, w in run))
            run = []
    return centres


class Image:
    """Pixels as rows of (r, g, b)."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def rows(self, x=0, y=0, width=None, height=None):
        return [[self.pixel(x + i, y + j) for i in range(width or self.width)] for j in range(height or self.height)]

    @staticmethod
    def from_ppm(ppm):
        # x11probe.py and ImageMagick write exactly "P6\n<w> <h>\n255\n" before the pixels.
        magic, size, maxval, rest = ppm.split(b"\n", 3)
        width, height = (int(v) for v in size.split())
        if magic != b"P6" or maxval != b"255" or len(rest) < width * height * 3:
            raise ValueError("not an 8-bit binary PPM")
        return Image(width, height, rest)

    @staticmethod
    def from_png(png):
        """An image from PNG bytes or a file path."""
        argv = ["convert", png if isinstance(png, str) else "png:-", "-depth", "8", "ppm:-"]
        return Image.from_ppm(subprocess.run(argv, input=None if isinstance(png, str) else png,
                                             capture_output=True, check=True).stdout)

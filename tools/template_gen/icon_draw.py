"""Draws the program's window icon and writes it as icon-file bytes.

The icon is drawn from a few shapes (a green pomelo with a leaf and a white check mark),
sampled 4 x 4 per pixel for smooth edges, at 48, 32 and 16 pixels. Each image is stored as a
32-bit BGRA bitmap with its AND mask, the form every icon reader understands.
"""

import math
import struct


def _inside_circle(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def _inside_leaf(x, y):
    # An ellipse tilted by 35 degrees above the fruit, right of its top.
    cx, cy, a, b, angle = 0.62, 0.17, 0.17, 0.075, math.radians(-35)
    dx, dy = x - cx, y - cy
    u = dx * math.cos(angle) + dy * math.sin(angle)
    v = -dx * math.sin(angle) + dy * math.cos(angle)
    return (u / a) ** 2 + (v / b) ** 2 <= 1.0


def _near_segment(x, y, x1, y1, x2, y2, width):
    dx, dy = x2 - x1, y2 - y1
    t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy)))
    px, py = x1 + t * dx, y1 + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= width * width


def _pomelo_colour(x, y):
    """Colour (r, g, b, a) of the design at a point of the unit square, y downward."""
    check = (_near_segment(x, y, 0.33, 0.58, 0.46, 0.71, 0.055)
             or _near_segment(x, y, 0.46, 0.71, 0.72, 0.42, 0.055))
    if _inside_circle(x, y, 0.5, 0.57, 0.39):
        if check:
            return (255, 255, 255, 255)
        # Lighter towards the upper left, as if lit from there.
        shade = max(0.0, 1.0 - math.hypot(x - 0.36, y - 0.42) / 0.55)
        r = int(96 + 80 * shade)
        g = int(168 + 60 * shade)
        b = int(48 + 40 * shade)
        return (r, g, b, 255)
    if _near_segment(x, y, 0.5, 0.2, 0.53, 0.07, 0.03):
        return (110, 78, 40, 255)      # stem
    if _inside_leaf(x, y):
        return (46, 125, 50, 255)      # leaf
    return (0, 0, 0, 0)


def render(size, samples=4):
    """Rows (top first) of (r, g, b, a) pixels of the design at `size` pixels."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    r, g, b, a = _pomelo_colour(x, y)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = samples * samples
            alpha = acc[3] // n
            if acc[3]:
                row.append((acc[0] // acc[3], acc[1] // acc[3], acc[2] // acc[3], alpha))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def icon_image(size):
    """One icon image: BITMAPINFOHEADER (height doubled), BGRA rows bottom-up, AND mask."""
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + pixels + bytes(mask)


def draw_icon(design="pomelo", sizes=(48, 32, 16)):
    """Icon-file bytes holding the design at each size."""
    if design != "pomelo":
        raise ValueError("unknown icon design: %s" % design)
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)

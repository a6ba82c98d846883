"""A small raster for drawing the artwork: straight-alpha RGBA pixels, shapes
covered by supersampling, and the file writers the resources need."""

import struct
import zlib

SUPERSAMPLE = 4


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c1, c2, t):
    """The colour t of the way from c1 to c2 (RGB or RGBA tuples)."""
    return tuple(lerp(a, b, t) for a, b in zip(c1, c2))


def shade(color, factor):
    """Lighter (factor > 1) or darker (factor < 1), alpha kept."""
    rgb = tuple(max(0.0, min(255.0, c * factor)) for c in color[:3])
    return rgb + tuple(color[3:])


def rgba(color, alpha=255):
    return tuple(color[:3]) + ((color[3],) if len(color) > 3 else (alpha,))


class Canvas:
    """Pixels top-down, each [r, g, b, a] with straight colour, 0..255."""

    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.width = width
        self.height = height
        fill = rgba(fill)
        self.px = [[list(fill) for _ in range(width)] for _ in range(height)]

    def sub(self, x, y, width, height):
        """A view of a cell: drawing into it lands in this canvas."""
        return Cell(self, x, y, width, height)

    # --- compositing -----------------------------------------------------

    def blend(self, x, y, color, coverage=1.0):
        if not (0 <= x < self.width and 0 <= y < self.height) or coverage <= 0:
            return
        color = rgba(color)
        src_a = color[3] / 255.0 * min(1.0, coverage)
        dst = self.px[y][x]
        dst_a = dst[3] / 255.0
        out_a = src_a + dst_a * (1 - src_a)
        if out_a <= 0:
            dst[:] = [0, 0, 0, 0]
            return
        for i in range(3):
            dst[i] = (color[i] * src_a + dst[i] * dst_a * (1 - src_a)) / out_a
        dst[3] = out_a * 255

    def put(self, x, y, color):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.px[y][x] = list(rgba(color))

    def get(self, x, y):
        return tuple(self.px[y][x])

    # --- shapes ------------------------------------------------------------

    def cover(self, inside, color, box=None):
        """Fills where inside(x, y) holds (pixel centres at +0.5), each pixel
        by the share of its sub-samples inside. color may be a function of
        the pixel (x, y) giving the colour there."""
        x0, y0, x1, y1 = box if box else (0, 0, self.width, self.height)
        x0, y0 = max(0, int(x0) - 1), max(0, int(y0) - 1)
        x1, y1 = min(self.width, int(x1) + 2), min(self.height, int(y1) + 2)
        n = SUPERSAMPLE
        step = 1.0 / n
        for y in range(y0, y1):
            for x in range(x0, x1):
                hits = 0
                for sy in range(n):
                    for sx in range(n):
                        if inside(x + (sx + 0.5) * step, y + (sy + 0.5) * step):
                            hits += 1
                if hits:
                    c = color(x, y) if callable(color) else color
                    self.blend(x, y, c, hits / (n * n))

    def rect(self, x0, y0, x1, y1, color):
        """Whole pixels x0 <= x < x1, y0 <= y < y1."""
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                c = color(x, y) if callable(color) else color
                self.blend(x, y, c)

    def frame(self, x0, y0, x1, y1, color):
        self.rect(x0, y0, x1, y0 + 1, color)
        self.rect(x0, y1 - 1, x1, y1, color)
        self.rect(x0, y0 + 1, x0 + 1, y1 - 1, color)
        self.rect(x1 - 1, y0 + 1, x1, y1 - 1, color)

    def round_rect(self, x0, y0, x1, y1, radius, color):
        def inside(x, y):
            if not (x0 <= x <= x1 and y0 <= y <= y1):
                return False
            cx = min(max(x, x0 + radius), x1 - radius)
            cy = min(max(y, y0 + radius), y1 - radius)
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius

        self.cover(inside, color, (x0, y0, x1, y1))

    def round_frame(self, x0, y0, x1, y1, radius, width, color):
        def ring(x, y):
            def inside(a0, b0, a1, b1, r):
                if not (a0 <= x <= a1 and b0 <= y <= b1):
                    return False
                cx = min(max(x, a0 + r), a1 - r)
                cy = min(max(y, b0 + r), b1 - r)
                return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

            inner_r = max(0.0, radius - width)
            return inside(x0, y0, x1, y1, radius) and not inside(
                x0 + width, y0 + width, x1 - width, y1 - width, inner_r)

        self.cover(ring, color, (x0, y0, x1, y1))

    def ellipse(self, cx, cy, rx, ry, color):
        self.cover(lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0, color,
                   (cx - rx, cy - ry, cx + rx, cy + ry))

    def ring(self, cx, cy, r_out, r_in, color):
        def inside(x, y):
            d = (x - cx) ** 2 + (y - cy) ** 2
            return r_in * r_in <= d <= r_out * r_out

        self.cover(inside, color, (cx - r_out, cy - r_out, cx + r_out, cy + r_out))

    def polygon(self, points, color):
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]

        def inside(x, y):
            result = False
            j = len(points) - 1
            for i in range(len(points)):
                xi, yi = points[i]
                xj, yj = points[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    result = not result
                j = i
            return result

        self.cover(inside, color, (min(xs), min(ys), max(xs), max(ys)))

    def line(self, xa, ya, xb, yb, width, color):
        """A stroke of the given width between two points (round ends)."""
        dx, dy = xb - xa, yb - ya
        length2 = dx * dx + dy * dy or 1e-9
        half = width / 2.0

        def inside(x, y):
            t = max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / length2))
            px, py = xa + t * dx - x, ya + t * dy - y
            return px * px + py * py <= half * half

        self.cover(inside, color, (min(xa, xb) - half, min(ya, yb) - half,
                                   max(xa, xb) + half, max(ya, yb) + half))

    def vgradient(self, x0, y0, x1, y1, top, bottom):
        span = max(1, y1 - y0 - 1)
        self.rect(x0, y0, x1, y1, lambda x, y: mix(rgba(top), rgba(bottom), (y - y0) / span))


class Cell(Canvas):
    """A window onto part of a canvas."""

    def __init__(self, parent, x, y, width, height):
        self.parent = parent
        self.ox = x
        self.oy = y
        self.width = width
        self.height = height

    def blend(self, x, y, color, coverage=1.0):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.parent.blend(self.ox + x, self.oy + y, color, coverage)

    def put(self, x, y, color):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.parent.put(self.ox + x, self.oy + y, color)

    def get(self, x, y):
        return self.parent.get(self.ox + x, self.oy + y)


# --- formats ----------------------------------------------------------------------


def _byte(v):
    return max(0, min(255, int(round(v))))


def alpha_image(canvas):
    """The alpha-image stream: zlib at the maximum level (0x78 0xDA) around
    N, a 40-byte header and bottom-up BGRA rows of straight colour."""
    w, h = canvas.width, canvas.height
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 32, 0, w * 4 * h, 0, 0, 0, 0)
    rows = bytearray()
    for y in range(h - 1, -1, -1):
        for r, g, b, a in canvas.px[y]:
            alpha = _byte(a)
            if alpha == 0:
                rows += bytes(4)
            else:
                rows += bytes((_byte(b), _byte(g), _byte(r), alpha))
    content = struct.pack("<I", 40 + len(rows)) + header + bytes(rows)
    packed = zlib.compress(content, 9)
    assert packed[:2] == b"\x78\xda"
    return packed


# The 16 colours of a 4-bit bitmap: the system's standard palette.
PALETTE16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def _flatten(canvas, background):
    """Opaque RGB rows (top-down): the canvas over a background colour."""
    out = []
    for row in canvas.px:
        line = []
        for r, g, b, a in row:
            t = a / 255.0
            line.append(tuple(_byte(lerp(bg, c, t)) for c, bg in zip((r, g, b), background)))
        out.append(line)
    return out


def _nearest(color, palette):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(color, palette[i])))


def bmp_info(width, height, bits, rows, palette=None):
    """BITMAPINFOHEADER, colour table and bottom-up rows of 24, 4 or 1 bits."""
    stride = ((width * bits + 31) // 32) * 4
    data = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray(stride)
        for x, value in enumerate(rows[y]):
            if bits == 24:
                line[x * 3:x * 3 + 3] = bytes((value[2], value[1], value[0]))
            elif bits == 4:
                line[x // 2] |= value << (4 if x % 2 == 0 else 0)
            elif bits == 1:
                if value:
                    line[x // 8] |= 0x80 >> (x % 8)
        data += line
    colors = len(palette) if palette else 0
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(data), 2835, 2835,
                         colors, 0)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in (palette or []))
    return header + table, bytes(data)


def bmp_file(width, height, bits, rows, palette=None):
    info, data = bmp_info(width, height, bits, rows, palette)
    offset = 14 + len(info)
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + info + data


def bitmap(canvas, bits, background):
    """A plain bitmap file of the canvas over background (24 or 4 bits)."""
    rows = _flatten(canvas, background)
    if bits == 24:
        return bmp_file(canvas.width, canvas.height, 24, rows)
    if bits == 4:
        indexed = [[_nearest(c, PALETTE16) for c in row] for row in rows]
        return bmp_file(canvas.width, canvas.height, 4, indexed, PALETTE16)
    raise ValueError("bitmaps are 24 or 4 bits")


def cursor(width, height, hotspot, pixels):
    """A monochrome cursor file: pixels[y][x] is 'w' white, 'b' black or
    ' ' see-through."""
    xor_rows = [[1 if c == "w" else 0 for c in row] for row in pixels]
    and_rows = [[1 if c == " " else 0 for c in row] for row in pixels]
    xor_info, xor_data = bmp_info(width, height, 1, xor_rows, [(0, 0, 0), (255, 255, 255)])
    _, and_data = bmp_info(width, height, 1, and_rows, [(0, 0, 0), (255, 255, 255)])
    # The image's header counts both masks in its height.
    info = bytearray(xor_info)
    struct.pack_into("<i", info, 8, height * 2)
    struct.pack_into("<I", info, 20, len(xor_data) + len(and_data))
    image = bytes(info) + xor_data + and_data
    head = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, hotspot[0], hotspot[1],
                        len(image), 6 + 16)
    return head + entry + image


def image_list_stream(cell_width, cell_height, cells, background=(255, 0, 255)):
    """The system's image-list stream of opaque 24-bit images with a mask:
    the 28-byte head ("IL", version 0x101), then the images four to a row
    as a bitmap file, then the mask the same way (1: see-through). cells
    are canvases of the cell size; their transparent pixels become the
    mask."""
    count = len(cells)
    capacity = max(4, (count + 3) // 4 * 4)
    columns = 4
    rows_n = capacity // columns
    width, height = cell_width * columns, cell_height * rows_n
    color = [[(0, 0, 0)] * width for _ in range(height)]
    mask = [[1] * width for _ in range(height)]
    for index, cell in enumerate(cells):
        flat = _flatten(cell, background)
        ox, oy = (index % columns) * cell_width, (index // columns) * cell_height
        for y in range(cell_height):
            for x in range(cell_width):
                see_through = cell.px[y][x][3] < 128
                mask[oy + y][ox + x] = 1 if see_through else 0
                color[oy + y][ox + x] = (0, 0, 0) if see_through else flat[y][x]
    ilc_mask, ilc_color24 = 0x0001, 0x0018
    head = struct.pack("<HHHHHHHIHhhhh", 0x4C49, 0x101, count, capacity, 4, cell_width,
                       cell_height, 0xFFFFFFFF, ilc_mask | ilc_color24, -1, -1, -1, -1)
    return (head + bmp_file(width, height, 24, color) +
            bmp_file(width, height, 1, mask, [(0, 0, 0), (255, 255, 255)]))

"""The drawing recipes of the artwork: each draws one resource into a canvas
of the table's size. Frames of a sprite stand top to bottom (strips of
cells left to right where the table says so)."""

from raster import mix, shade

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)

# The library's own look: blue-grey frames, light faces, an amber hover ring.
FRAME = (28, 81, 128)
FRAME_DISABLED = (202, 200, 187)
FACE_TOP = (255, 255, 255)
FACE_BOTTOM = (226, 226, 218)
PRESSED_TOP = (184, 184, 175)
PRESSED_BOTTOM = (236, 236, 228)
HOVER = (248, 179, 48)
MARK = (33, 161, 33)
GLYPH = (77, 97, 133)
GLYPH_DISABLED = (176, 174, 160)

STATES4 = ("normal", "hot", "pressed", "disabled")

RECIPES = {}


def recipe(name):
    def register(fn):
        RECIPES[name] = fn
        return fn

    return register


def frames(canvas, height, count=None):
    count = count or canvas.height // height
    return [canvas.sub(0, i * height, canvas.width, height) for i in range(count)]


def cells(canvas, width, count=None):
    count = count or canvas.width // width
    return [canvas.sub(i * width, 0, width, canvas.height) for i in range(count)]


def face(cell, x0, y0, x1, y1, radius, state, frame=FRAME):
    """A rounded face with a frame, shaded by state."""
    if state == "disabled":
        cell.round_rect(x0, y0, x1, y1, radius, FRAME_DISABLED)
        cell.round_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, max(0, radius - 1), (245, 244, 234))
        return
    cell.round_rect(x0, y0, x1, y1, radius, frame)
    top, bottom = (PRESSED_TOP, PRESSED_BOTTOM) if state == "pressed" else (FACE_TOP, FACE_BOTTOM)
    span = max(1.0, y1 - y0 - 2)
    cell.round_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, max(0, radius - 1),
                    lambda x, y: mix(top, bottom, min(1.0, max(0.0, (y - y0 - 1) / span))))
    if state in ("hot", "default"):
        ring = HOVER if state == "hot" else (105, 130, 238)
        cell.round_frame(x0 + 1, y0 + 1, x1 - 1, y1 - 1, max(0, radius - 1), 2, ring + (200,))


def arrow(cell, direction, cx, cy, size, color, chevron=False):
    """A triangle (or a two-pixel chevron) pointing in a direction, centred."""
    s = size
    pts = {
        "up": [(cx - s, cy + s / 2), (cx + s, cy + s / 2), (cx, cy - s / 2)],
        "down": [(cx - s, cy - s / 2), (cx + s, cy - s / 2), (cx, cy + s / 2)],
        "left": [(cx + s / 2, cy - s), (cx + s / 2, cy + s), (cx - s / 2, cy)],
        "right": [(cx - s / 2, cy - s), (cx - s / 2, cy + s), (cx + s / 2, cy)],
    }[direction]
    if chevron:
        a, b, c = pts
        cell.line(a[0], a[1], c[0], c[1], 1.6, color)
        cell.line(b[0], b[1], c[0], c[1], 1.6, color)
    else:
        cell.polygon(pts, color)


# --- check box and radio button -------------------------------------------------


@recipe("check-sprite")
def check_sprite(canvas, marks="none,check,mixed"):
    """Rows of 13: for each mark, the states normal, hot, pressed, disabled."""
    rows = frames(canvas, 13)
    for index, cell in enumerate(rows):
        mark = marks.split(",")[index // 4]
        state = STATES4[index % 4]
        face(cell, 0, 0, 13, 13, 0.5, state)
        color = FRAME_DISABLED if state == "disabled" else MARK
        if mark == "check":
            cell.line(3.5, 6.5, 5.5, 8.8, 1.8, color)
            cell.line(5.5, 8.8, 9.6, 3.8, 1.8, color)
        elif mark == "mixed":
            cell.rect(3, 3, 10, 10, color)


@recipe("radio-sprite")
def radio_sprite(canvas, marks="none,dot"):
    rows = frames(canvas, 13)
    for index, cell in enumerate(rows):
        mark = marks.split(",")[index // 4]
        state = STATES4[index % 4]
        frame = FRAME_DISABLED if state == "disabled" else FRAME
        cell.ellipse(6.5, 6.5, 6.4, 6.4, frame)
        top, bottom = (PRESSED_TOP, PRESSED_BOTTOM) if state == "pressed" else (FACE_TOP,
                                                                                 FACE_BOTTOM)
        if state == "disabled":
            top = bottom = (245, 244, 234)
        cell.ellipse(6.5, 6.5, 5.4, 5.4, lambda x, y: mix(top, bottom, y / 12.0))
        if state == "hot":
            cell.ring(6.5, 6.5, 5.4, 3.8, HOVER + (200,))
        if mark == "dot":
            cell.ellipse(6.5, 6.5, 2.6, 2.6, FRAME_DISABLED if state == "disabled" else MARK)


# --- buttons ----------------------------------------------------------------------------


@recipe("push-sprite")
def push_sprite(canvas, rows="23", states="normal,hot,pressed,disabled,default", radius="3"):
    names = states.split(",")
    for index, cell in enumerate(frames(canvas, int(rows), len(names))):
        face(cell, 0, 0, cell.width, cell.height, float(radius), names[index])


TOOL_HOT = (122, 150, 223)


@recipe("tool-sprite")
def tool_sprite(canvas, rows="23"):
    """Tool-bar faces: normal (nothing), hot, pressed, disabled (nothing),
    checked, checked and hot."""
    for index, cell in enumerate(frames(canvas, int(rows), 6)):
        w, h = cell.width, cell.height
        if index in (0, 3):
            continue
        fills = {
            1: (WHITE, (225, 231, 246)),
            2: ((196, 205, 232), (226, 231, 244)),
            4: ((226, 231, 244), (226, 231, 244)),
            5: ((240, 243, 251), (214, 222, 243)),
        }[index]
        frame = (75, 100, 180) if index == 2 else TOOL_HOT
        cell.round_rect(0, 0, w, h, 3, frame)
        cell.round_rect(1, 1, w - 1, h - 1, 2, lambda x, y: mix(fills[0], fills[1], y / (h - 1)))


@recipe("spin-glyph")
def spin_glyph(canvas, direction="up"):
    vertical = direction in ("up", "down")
    rows = frames(canvas, 6 if vertical else 7, 4)
    for index, cell in enumerate(rows):
        color = GLYPH_DISABLED if index == 3 else shade(GLYPH, 0.8 if index == 2 else 1.0)
        size = 3.0 if vertical else 2.6
        arrow(cell, direction, cell.width / 2, cell.height / 2, size, color)


# --- progress bar -------------------------------------------------------------------------


@recipe("progress-bar")
def progress_bar(canvas):
    w, h = canvas.width, canvas.height
    canvas.round_rect(0, 0, w, h, 3, (104, 104, 104))
    canvas.round_rect(1, 1, w - 1, h - 1, 2, (246, 246, 246))


@recipe("progress-chunk")
def progress_chunk(canvas, orient="horz"):
    w, h = canvas.width, canvas.height
    light, dark = (142, 232, 142), (42, 170, 42)
    if orient == "horz":
        canvas.rect(0, 0, w - 2, h, lambda x, y: mix(light, dark, abs(y - (h - 1) / 2) / (h / 2)))
    else:
        canvas.rect(0, 2, w, h, lambda x, y: mix(light, dark, abs(x - (w - 1) / 2) / (w / 2)))


# --- page control -------------------------------------------------------------------------

TAB_FRAME = (145, 155, 156)


@recipe("tab-item")
def tab_item(canvas, edges="lr"):
    """Rows of 18: normal, hot, selected, disabled, focused. edges: the
    sides with a frame (l, r); upper case where the tab meets the control's
    edge."""
    for index, cell in enumerate(frames(canvas, 18, 5)):
        w, h = cell.width, cell.height
        top = (255, 255, 255) if index in (2, 4) else (252, 252, 250)
        bottom = (252, 252, 254) if index in (2, 4) else (236, 235, 230)
        if index == 3:
            top = bottom = (245, 244, 234)
        cell.round_rect(0, 0, w, h + 3, 3, TAB_FRAME)
        left = 1 if "l" in edges.lower() else 0
        right = w - 1 if "r" in edges.lower() else w
        cell.round_rect(left, 1, right, h + 3, 2, lambda x, y: mix(top, bottom, y / (h - 1)))
        if index in (1, 2, 4):
            cell.rect(left, 0, right, 2, HOVER if index != 4 else (255, 200, 60))
        # A tab at the control's edge runs its frame straight down into the
        # pane's, without the rounded corner.
        if "L" in edges:
            cell.rect(0, 2, 1, h, TAB_FRAME)
        if "R" in edges:
            cell.rect(w - 1, 2, w, h, TAB_FRAME)


@recipe("tab-pane")
def tab_pane(canvas):
    w, h = canvas.width, canvas.height
    canvas.rect(0, 0, w, h, TAB_FRAME)
    canvas.vgradient(1, 1, w - 1, h - 1, (252, 252, 254), (244, 243, 238))


@recipe("gradient")
def gradient(canvas, top="252,252,254", bottom="244,243,238"):
    t = tuple(int(v) for v in top.split(","))
    b = tuple(int(v) for v in bottom.split(","))
    canvas.vgradient(0, 0, canvas.width, canvas.height, t, b)


@recipe("checker")
def checker(canvas, light="255,255,255", dark="212,208,200"):
    a = tuple(int(v) for v in light.split(","))
    b = tuple(int(v) for v in dark.split(","))
    canvas.rect(0, 0, canvas.width, canvas.height, lambda x, y: a if (x + y) % 2 == 0 else b)


# --- instrument artwork -------------------------------------------------------------------

LED_COLORS = {
    "red": (255, 40, 30),
    "green": (40, 235, 60),
    "blue": (60, 140, 255),
    "amber": (255, 150, 20),
    "yellow": (255, 230, 40),
    "purple": (200, 80, 255),
    "white": (245, 248, 255),
}


def led(cell, color, lit, cx, cy, r):
    cell.ellipse(cx, cy, r, r, (40, 40, 44))
    cell.ellipse(cx, cy, r - 0.8, r - 0.8, (150, 150, 156))
    cell.ellipse(cx, cy, r - 1.6, r - 1.6, shade(color, 0.3) if not lit else color)
    if lit:
        cell.ellipse(cx - 1.2, cy - 1.2, r * 0.45, r * 0.35, WHITE + (170,))
    else:
        cell.ellipse(cx - 1.2, cy - 1.4, r * 0.35, r * 0.25, WHITE + (60,))


@recipe("led")
def led_sprite(canvas, color="red"):
    """Two round lamps side by side: off, on."""
    for index, cell in enumerate(cells(canvas, 12, 2)):
        if color == "mixed":
            led(cell, LED_COLORS["red"], index == 1, 6, 6, 5.6)
            half = cell.sub(6, 0, 6, 12)
            half.cover(lambda x, y: (x + 0) ** 2 + (y - 6) ** 2 <= 4.0 ** 2,
                       LED_COLORS["green"] if index == 1 else shade(LED_COLORS["green"], 0.3))
        else:
            led(cell, LED_COLORS[color], index == 1, 6, 6, 5.6)


@recipe("rect-led")
def rect_led(canvas, color="red"):
    """Two bar lamps side by side: off, on."""
    base = LED_COLORS[color]
    for index, cell in enumerate(cells(canvas, 16, 2)):
        w, h = cell.width, cell.height
        cell.rect(1, 0, w - 1, h, (40, 40, 44))
        cell.rect(0, 1, w, h - 1, (40, 40, 44))
        lit = shade(base, 1.0) if index else shade(base, 0.3)
        cell.rect(2, 2, w - 2, h - 2, lit)
        cell.rect(3, 2, w - 3, 3, shade(lit, 1.4) if index else shade(lit, 1.2))


@recipe("check-button")
def check_button(canvas):
    """A round push cap, up then pressed, in neutral grey (tinted later)."""
    for index, cell in enumerate(cells(canvas, 17, 2)):
        cell.ellipse(8.5, 8.5, 8.0, 8.0, (38, 38, 40))
        top, bottom = ((230, 230, 232), (120, 120, 126)) if index == 0 else ((110, 110, 116),
                                                                              (200, 200, 204))
        cell.ellipse(8.5, 8.5, 6.8, 6.8, lambda x, y: mix(top, bottom, y / 16.0))
        cell.ellipse(8.5, 8.5, 4.6, 4.6, (170, 170, 176) if index == 0 else (150, 150, 156))


@recipe("header")
def header(canvas, side="left"):
    """One end of a caption band: a dark bar with a bevelled end."""
    w, h = canvas.width, canvas.height
    band = (52, 48, 48)
    if side == "left":
        canvas.polygon([(w, 3), (6, 3), (2, 7), (6, 11), (w, 11)], band)
        canvas.rect(6, 3, w, 4, (110, 104, 104))
        canvas.ellipse(6, 7, 1.5, 1.5, (150, 144, 144))
    else:
        canvas.polygon([(0, 3), (w - 5, 3), (w - 1, 7), (w - 5, 11), (0, 11)], band)
        canvas.rect(0, 3, w - 5, 4, (110, 104, 104))


@recipe("mounting-hole")
def mounting_hole(canvas):
    """A slotted hole in the plate with a screw head seen from the front."""
    canvas.round_rect(0.5, 0.5, 18.5, 11.5, 5.5, (24, 24, 26))
    canvas.round_rect(1.5, 1.5, 17.5, 10.5, 4.5, (62, 60, 60))
    canvas.ellipse(9.5, 6, 4.5, 4.5, lambda x, y: mix((200, 198, 196), (110, 108, 106), y / 11.0))
    canvas.line(6.5, 6, 12.5, 6, 1.4, (40, 40, 40))


@recipe("std-arrows")
def std_arrows(canvas):
    """8 x 8 arrows: rows down, up, right, left; enabled, then disabled."""
    directions = ("down", "up", "right", "left")
    for row, direction in enumerate(directions):
        for column in range(2):
            cell = canvas.sub(column * 8, row * 8, 8, 8)
            if column:
                arrow(cell.sub(1, 1, 8, 8), direction, 4, 4, 3, WHITE)
                arrow(cell, direction, 4, 4, 3, (128, 128, 128))
            else:
                arrow(cell, direction, 4, 4, 3, BLACK)


# --- bitmap button glyphs -------------------------------------------------------------------


def glyph_shapes(cell, kind, color):
    if kind == "ok":
        cell.line(3.5, 9.5, 7.5, 13.5, 2.4, color)
        cell.line(7.5, 13.5, 14.5, 4.5, 2.4, color)
    elif kind == "all":
        cell.line(1.5, 9.5, 4.5, 12.5, 2.0, color)
        cell.line(4.5, 12.5, 9.5, 5.5, 2.0, color)
        cell.line(7.5, 10.5, 10.5, 13.5, 2.0, color)
        cell.line(10.5, 13.5, 16.5, 5.5, 2.0, color)
    elif kind == "cancel":
        cell.line(4.5, 4.5, 13.5, 13.5, 2.6, color)
        cell.line(13.5, 4.5, 4.5, 13.5, 2.6, color)
    elif kind == "help":
        cell.ring(9, 6.5, 4.2, 2.2, color)
        cell.rect(4, 6, 9, 9, (0, 0, 0, 0))
        cell.line(10.5, 9.5, 9, 11.5, 2.0, color)
        cell.ellipse(9, 14.5, 1.3, 1.3, color)
    elif kind == "yes":
        cell.ellipse(9, 9, 7, 7, color)
        cell.line(5.5, 9.5, 8, 12, 1.8, WHITE)
        cell.line(8, 12, 12.5, 6, 1.8, WHITE)
    elif kind == "no":
        cell.ring(9, 9, 7, 4.8, color)
        cell.line(4.5, 13.5, 13.5, 4.5, 2.2, color)
    elif kind == "close":
        cell.rect(5, 2, 13, 16, color)
        cell.rect(6, 3, 12, 15, (255, 240, 200))
        cell.ellipse(10.5, 9.5, 0.9, 0.9, color)
    elif kind == "abort":
        cell.polygon([(6, 2), (12, 2), (16, 6), (16, 12), (12, 16), (6, 16), (2, 12), (2, 6)],
                     color)
        cell.rect(5, 8, 13, 10, WHITE)
    elif kind == "retry":
        cell.ring(9, 9, 6.5, 4.5, color)
        cell.rect(9, 1, 17, 9, (0, 0, 0, 0))
        cell.polygon([(9, 0.5), (14, 5), (9, 9.5)], color)
    elif kind == "ignore":
        cell.line(2.5, 9, 12.5, 9, 2.4, color)
        cell.polygon([(11, 4), (16.5, 9), (11, 14)], color)


BB_COLORS = {
    "ok": (0, 128, 0), "all": (0, 128, 0), "cancel": (192, 0, 0), "help": (0, 0, 160),
    "yes": (0, 128, 0), "no": (192, 0, 0), "close": (128, 64, 0), "abort": (192, 0, 0),
    "retry": (0, 96, 160), "ignore": (0, 96, 160),
}


@recipe("bb-glyph")
def bb_glyph(canvas, kind="ok"):
    """Enabled and disabled glyphs side by side over the see-through colour
    (the bottom-left pixel)."""
    enabled, disabled = cells(canvas, 18, 2)
    glyph_shapes(enabled, kind, BB_COLORS[kind])
    glyph_shapes(disabled.sub(1, 1, 18, 18), kind, WHITE)
    glyph_shapes(disabled, kind, (128, 128, 128))


# --- edit buttons ---------------------------------------------------------------------------


@recipe("combo-button")
def combo_button(canvas):
    for index, cell in enumerate(frames(canvas, 16, 4)):
        state = STATES4[index]
        face(cell, 0, 0, cell.width, cell.height, 2, state, (160, 178, 226))


@recipe("glyph-pair")
def glyph_pair(canvas, kind="chevron", width="10"):
    """An enabled and a disabled glyph side by side."""
    for index, cell in enumerate(cells(canvas, int(width), 2)):
        color = GLYPH if index == 0 else GLYPH_DISABLED
        if kind == "std":
            color = BLACK if index == 0 else (128, 128, 128)
        w, h = cell.width, cell.height
        if kind == "chevron":
            cell.line(w / 2 - 3, h / 2 - 1.5, w / 2, h / 2 + 1.5, 2.0, color)
            cell.line(w / 2, h / 2 + 1.5, w / 2 + 3, h / 2 - 1.5, 2.0, color)
        elif kind == "std":
            cell.polygon([(w / 2 - 4, 0.5), (w / 2 + 4, 0.5), (w / 2, h - 0.5)], color)
        elif kind == "ellipsis":
            for cx in (w / 2 - 3, w / 2, w / 2 + 3):
                cell.rect(int(cx) - 1, h - 2, int(cx) + 1, h, color)
        elif kind == "folder":
            cell.polygon([(1, 2), (5, 2), (6, 3), (11, 3), (11, 10), (1, 10)], color)
            cell.rect(2, 5, 10, 9, (255, 230, 150) if index == 0 else (240, 240, 236))
        elif kind == "file":
            cell.polygon([(2, 0.5), (7.5, 0.5), (10, 3), (10, 10.5), (2, 10.5)], color)
            cell.polygon([(3, 1.5), (7, 1.5), (9, 3.5), (9, 9.5), (3, 9.5)], WHITE)
            for y in (4, 6, 8):
                cell.rect(4, y, 8, y + 1, color)


# --- scroll bar -------------------------------------------------------------------------------


@recipe("scroll-glyphs")
def scroll_glyphs(canvas):
    """Arrows of 9 x 9: up, down, left, right, each normal, hot, pressed,
    disabled."""
    for index, cell in enumerate(frames(canvas, 9, 16)):
        direction = ("up", "down", "left", "right")[index // 4]
        state = index % 4
        color = GLYPH_DISABLED if state == 3 else shade(GLYPH, 0.75 if state == 2 else 1.0)
        arrow(cell, direction, 4.5, 4.5, 3.2, color, chevron=True)


@recipe("scroll-face")
def scroll_face(canvas, height="17"):
    """Faces stacked by state: normal, hot, pressed, disabled."""
    for index, cell in enumerate(frames(canvas, int(height), 4)):
        face(cell, 0, 0, cell.width, cell.height, 2, STATES4[index], (180, 196, 240))


@recipe("scroll-shaft")
def scroll_shaft(canvas, orient="horizontal"):
    for index, cell in enumerate(frames(canvas, 17, 4)):
        light, dark = (254, 254, 251), (236, 234, 226)
        if index == 2:
            light, dark = (226, 224, 214), (204, 202, 192)
        elif index == 3:
            light = dark = (244, 243, 238)
        elif index == 1:
            light, dark = (255, 255, 255), (242, 240, 232)
        w, h = cell.width, cell.height
        if orient == "horizontal":
            cell.rect(0, 0, w, h, lambda x, y: mix(dark, light, abs(y - 8) / 8.0))
        else:
            cell.rect(0, 0, w, h, lambda x, y: mix(dark, light, abs(x - 8) / 8.0))


@recipe("scroll-gripper")
def scroll_gripper(canvas, orient="horizontal"):
    for index, cell in enumerate(frames(canvas, 8, 4)):
        dark = GLYPH_DISABLED if index == 3 else (140, 160, 215)
        for i in (1, 3, 5):
            if orient == "horizontal":
                cell.rect(i, 1, i + 1, 7, dark)
                cell.rect(i + 1, 1, i + 2, 7, WHITE)
            else:
                cell.rect(1, i, 7, i + 1, dark)
                cell.rect(1, i + 1, 7, i + 2, WHITE)


# --- sections ---------------------------------------------------------------------------------


@recipe("section-button")
def section_button(canvas, kind="collapse"):
    """Normal and hot cells side by side over the see-through colour."""
    for index, cell in enumerate(cells(canvas, 12, 2)):
        color = GLYPH if index == 0 else (30, 70, 170)
        if index:
            cell.round_rect(0, 0, 12, 12, 2, (200, 212, 245))
        if kind == "collapse":
            arrow(cell, "up", 6, 6, 3.5, color, chevron=True)
        elif kind == "expand":
            arrow(cell, "down", 6, 6, 3.5, color, chevron=True)
        else:
            arrow(cell, "down", 6, 4, 3.5, color, chevron=True)
            arrow(cell, "down", 6, 8, 3.5, color, chevron=True)


# --- editor pictures ------------------------------------------------------------------------


def page(cell, x0, y0, x1, y1, fill=WHITE, line=BLACK):
    cell.rect(x0, y0, x1, y1, line)
    cell.rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, fill)


@recipe("blob-icon")
def blob_icon(canvas, kind="blob", empty="0"):
    """An 18 x 16 picture of a field kind; the empty value is drawn hollow."""
    hollow = empty == "1"
    ink = (128, 128, 128) if hollow else BLACK
    if kind == "blob":
        page(canvas, 3, 2, 15, 14, (192, 192, 192) if not hollow else WHITE, ink)
        if not hollow:
            for y in (5, 8, 11):
                canvas.rect(5, y, 13, y + 1, (0, 0, 128))
    elif kind == "memo":
        page(canvas, 4, 1, 14, 15, WHITE, ink)
        if not hollow:
            for y in (4, 6, 8, 10, 12):
                canvas.rect(6, y, 12, y + 1, BLACK)
    elif kind == "pict":
        page(canvas, 2, 2, 16, 14, WHITE, ink)
        if not hollow:
            canvas.polygon([(3, 13), (7, 7), (10, 11), (12, 9), (15, 13)], (0, 128, 0))
            canvas.ellipse(12, 5.5, 1.5, 1.5, (255, 255, 0))
    elif kind == "ole":
        page(canvas, 2, 5, 11, 14, WHITE, ink)
        page(canvas, 7, 2, 16, 11, (0, 255, 255) if not hollow else WHITE, ink)


@recipe("tool-icon")
def tool_icon(canvas, kind="cut"):
    """A 16 x 16 tool picture over the see-through colour."""
    if kind == "cut":
        canvas.line(5, 1, 9.5, 10, 1.2, BLACK)
        canvas.line(11, 1, 6.5, 10, 1.2, BLACK)
        canvas.ring(5, 12, 2.6, 1.2, (0, 0, 128))
        canvas.ring(11, 12, 2.6, 1.2, (0, 0, 128))
    elif kind == "copy":
        page(canvas, 1, 1, 9, 11)
        page(canvas, 6, 5, 15, 15)
        for y in (8, 10, 12):
            canvas.rect(8, y, 13, y + 1, (0, 0, 128))
    elif kind == "paste":
        canvas.rect(2, 2, 12, 15, (128, 64, 0))
        canvas.rect(5, 1, 9, 4, (128, 128, 128))
        page(canvas, 7, 6, 15, 15)
    elif kind == "delete":
        canvas.line(3, 3, 13, 13, 2.4, (192, 0, 0))
        canvas.line(13, 3, 3, 13, 2.4, (192, 0, 0))
    elif kind == "load":
        canvas.polygon([(1, 4), (5, 4), (6, 5), (12, 5), (12, 14), (1, 14)], (128, 128, 0))
        canvas.polygon([(3, 8), (15, 8), (12, 14), (1, 14)], (255, 255, 0))
    elif kind == "save":
        canvas.rect(1, 1, 15, 15, (0, 0, 128))
        canvas.rect(4, 2, 12, 7, WHITE)
        canvas.rect(4, 10, 12, 15, (192, 192, 192))
        canvas.rect(9, 11, 11, 14, (0, 0, 128))


# --- grids -------------------------------------------------------------------------------------


@recipe("indicator")
def indicator(canvas, kind="arrow"):
    """Black glyphs on white in a 5 x 9 cell, pixel by pixel."""
    canvas.rect(0, 0, canvas.width, canvas.height, WHITE)

    def dot(x, y):
        canvas.put(x, y, BLACK + (255,))

    if kind in ("arrow", "multiarrow"):
        for x in range(5):
            for y in range(9):
                inside = abs(y - 4) <= 4 - x
                edge = abs(y - 4) == 4 - x or x == 0
                if (kind == "arrow" and inside) or (kind == "multiarrow" and edge and inside):
                    dot(x, y)
        if kind == "multiarrow":
            dot(1, 4)
    elif kind == "edit":
        for y in range(9):
            dot(2, y)
        for x in (0, 1, 3, 4):
            dot(x, 0)
            dot(x, 8)
    elif kind == "insert":
        for i in range(5):
            dot(2, 2 + i)
            dot(i, 4)
        for d in (-1, 1):
            dot(2 + d, 3)
            dot(2 + d, 5)
    elif kind == "multidot":
        for y, xs in ((2, (2,)), (3, (1, 2, 3)), (4, (1, 2, 3)), (5, (1, 2, 3)), (6, (2,))):
            for x in xs:
                dot(x, y)
    elif kind == "filter":
        for y, (a, b) in enumerate(((0, 4), (0, 4), (1, 3), (2, 2), (2, 2), (2, 2), (2, 2))):
            for x in range(a, b + 1):
                dot(x, y + 1)


@recipe("origin-badge")
def origin_badge(canvas, dirs="full"):
    """A round badge with the directions a pan may take."""
    w, h = canvas.width, canvas.height
    canvas.rect(0, 0, w, h, (192, 192, 192))
    canvas.ellipse(14.5, 14.5, 14, 14, WHITE)
    canvas.ellipse(14.5, 14.5, 1.8, 1.8, BLACK)
    wanted = {"full": "udlr", "hor": "lr", "ver": "ud"}[dirs]
    places = {"u": ("up", 14.5, 5), "d": ("down", 14.5, 24), "l": ("left", 5, 14.5),
              "r": ("right", 24, 14.5)}
    for key in wanted:
        direction, cx, cy = places[key]
        arrow(canvas, direction, cx, cy, 4, BLACK)


@recipe("expand-box")
def expand_box(canvas, sign="minus"):
    """The 11 x 11 expand button, pixel by pixel."""
    dark = (48, 72, 96)
    for y in range(11):
        for x in range(11):
            if x == 10 or y == 10:
                c = dark
            elif y == 0 or x == 0:
                c = mix((160, 176, 192), (144, 160, 192), (x + y) / 10.0)
            else:
                c = mix(WHITE, (176, 200, 240), (x + y - 2) / 16.0)
            canvas.put(x, y, tuple(int(round(v)) for v in c))
    for x in range(3, 8):
        canvas.put(x, 5, dark)
    if sign == "plus":
        for y in range(3, 8):
            canvas.put(5, y, dark)


@recipe("submenu-arrow")
def submenu_arrow(canvas):
    canvas.rect(0, 0, canvas.width, canvas.height, WHITE)
    for x in range(4):
        for y in range(x, 7 - x):
            canvas.put(2 + x, 1 + y, BLACK)


# --- image lists --------------------------------------------------------------------------------


@recipe("pin-states")
def pin_states(canvas):
    """Three 18 x 18 pictures of a pin's level: low, high, toggling."""
    off, on = (20, 90, 30), (60, 230, 80)
    for index, cell in enumerate(cells(canvas, 18, 3)):
        cell.ellipse(9, 9, 7.5, 7.5, (30, 30, 30))
        if index == 2:
            cell.ellipse(9, 9, 6.2, 6.2, off)
            cell.cover(lambda x, y: x < 9 and (x - 9) ** 2 + (y - 9) ** 2 <= 6.2 ** 2, on)
        else:
            cell.ellipse(9, 9, 6.2, 6.2, on if index else off)
        cell.ellipse(7, 6.5, 2.5, 1.8, WHITE + (120,))


# --- cursors ----------------------------------------------------------------------------------
# Cursors are drawn white with black lines; an outline is added around every
# white shape so they stand out on any background.

POINTER = [(0, 0), (0, 16), (4, 12.5), (7, 19), (9.5, 18), (6.6, 11.5), (11.5, 11.5)]


def pointer(canvas, x=0, y=0):
    canvas.polygon([(px + x, py + y) for px, py in POINTER], WHITE)


def plus_box(canvas, x, y):
    canvas.rect(x, y, x + 9, y + 9, BLACK)
    canvas.rect(x + 1, y + 1, x + 8, y + 8, WHITE)
    canvas.rect(x + 2, y + 4, x + 7, y + 5, BLACK)
    canvas.rect(x + 4, y + 2, x + 5, y + 7, BLACK)


def doc(canvas, x, y, w=10, h=8):
    canvas.rect(x, y, x + w, y + h, BLACK)
    canvas.rect(x + 1, y + 1, x + w - 1, y + h - 1, WHITE)


def pan_arrow(canvas, direction, cx, cy):
    arrow(canvas, direction, cx, cy, 4, BLACK)


@recipe("cursor")
def cursor_recipe(canvas, kind="drag"):
    """Cursor pictures; the hot spot is in the table."""
    c = canvas
    if kind in ("drag", "dragcopy", "multidrag", "multidragcopy"):
        pointer(c)
        if kind.startswith("multi"):
            doc(c, 11, 17)
            doc(c, 8, 20)
        else:
            doc(c, 8, 20)
        if kind.endswith("copy"):
            plus_box(c, 20, 20)
    elif kind == "nodrop":
        c.ring(12, 12, 10, 6.5, BLACK)
        c.line(5, 19, 19, 5, 3.5, BLACK)
        c.ring(12, 12, 11, 10, WHITE)
    elif kind == "remove":
        pointer(c)
        c.line(14, 16, 24, 26, 4, WHITE)
        c.line(24, 16, 14, 26, 4, WHITE)
        c.line(14, 16, 24, 26, 1.6, BLACK)
        c.line(24, 16, 14, 26, 1.6, BLACK)
    elif kind in ("full", "hor", "ver", "up", "down", "left", "right"):
        c.ellipse(16, 16, 12.5, 12.5, WHITE)
        c.ellipse(16, 16, 2, 2, BLACK)
        wanted = {"full": "udlr", "hor": "lr", "ver": "ud", "up": "u", "down": "d",
                  "left": "l", "right": "r"}[kind]
        places = {"u": ("up", 16, 8), "d": ("down", 16, 24), "l": ("left", 8, 16),
                  "r": ("right", 24, 16)}
        for key in wanted:
            pan_arrow(c, *places[key])
    elif kind in ("vsize", "hsize"):
        # A double arrow across two bars, drawn upright and turned for the
        # horizontal one.
        turn = (lambda a, b: (a, b)) if kind == "vsize" else (lambda a, b: (b, a))
        c.polygon([turn(*p) for p in ((16, 3), (22, 10), (18, 10), (18, 22), (22, 22), (16, 29),
                                      (10, 22), (14, 22), (14, 10), (10, 10))], WHITE)
        for bar in (14, 17):
            x0, y0 = turn(6, bar)
            x1, y1 = turn(26, bar + 1)
            c.rect(x0, y0, x1, y1, BLACK)
    elif kind == "picker":
        c.line(2, 29, 15, 16, 3, WHITE)
        c.line(14, 13, 19, 18, 5, WHITE)
        c.line(17, 14, 25, 6, 6, WHITE)
        c.line(17, 14, 25, 6, 2, BLACK)
    elif kind == "wheel":
        c.round_rect(9, 6, 23, 26, 6, WHITE)
        c.rect(15, 6, 17, 13, BLACK)
        c.rect(9, 13, 23, 14, BLACK)
        arrow(c, "up", 16, 2.5, 3, BLACK)
        arrow(c, "down", 16, 29.5, 3, BLACK)
    elif kind == "hand":
        c.round_rect(6, 1, 10, 16, 2, WHITE)
        for x in (10, 14, 18):
            c.round_rect(x, 8, x + 4, 18, 2, WHITE)
        c.round_rect(1, 12, 7, 16, 2, WHITE)
        c.polygon([(3, 14), (22, 14), (22, 24), (18, 29), (9, 29), (3, 18)], WHITE)
        for x in (10, 14, 18):
            c.rect(x, 12, x + 1, 18, BLACK)
    elif kind in ("insert", "addchild", "add", "hide"):
        pointer(c)
        if kind == "insert":
            c.rect(8, 22, 30, 24, WHITE)
            c.rect(9, 22, 29, 23, BLACK)
            arrow(c, "right", 7, 22.5, 3, BLACK)
        elif kind == "addchild":
            doc(c, 12, 18, 8, 6)
            doc(c, 16, 24, 8, 6)
            plus_box(c, 22, 14)
        elif kind == "add":
            doc(c, 10, 20, 10, 8)
            plus_box(c, 21, 17)
        else:
            doc(c, 10, 20, 12, 8)
            c.line(9, 29, 23, 19, 2, BLACK)

#!/usr/bin/env python3
"""Pixel-exact check of velmora-render against a model of the transitions.

Runs the real transition component through velmora-render on many small
cases and compares every pixel of every step bitmap and of final.bmp with a
model written from the transitions' rules (sweep rectangles and offsets in
single precision, the Push composite, the dissolve's block orders, shuffle
and remainder step, the blend weights, the frame-set mapping with its
random "Any" draws). Colours and uniquely coloured pictures (one colour per
pixel, so a wrong source position shows) are used as sources.

usage: render_formula_test.py --render PATH [--runner CMD] [--quick] [--jobs N]
                              [--keep DIR] [--only SUBSTRING] [--verbose]

--runner puts a command before the tool (for example "wine" for the Windows
build; paths are then given as Z: paths).

Exit status 0 when every case matches, 1 otherwise.
"""
import argparse
import concurrent.futures
import hashlib
import operator
import threading
import math
import os
import re
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
import time
from fractions import Fraction

# ---------------------------------------------------------------------------
# Enumerations as the tool spells them

DIRECTIONS = ["FromLeft", "FromRight", "FromTop", "FromBottom", "FromTopLeft",
              "FromBottomRight", "FromTopRight", "FromBottomLeft", "XcenterOut",
              "XcenterIn", "YcenterOut", "YcenterIn", "Vertical", "Horizontal",
              "ZoomIn", "ZoomOut", "None"]
D = {name: code for code, name in enumerate(DIRECTIONS)}
ACTIONS = ["Stretch", "Push", "Slide", "xDissolve", "xBlend", "Discover"]
A = {name: code for code, name in enumerate(ACTIONS)}

# Directions the pixel runs define an order for (the catalogue's offer).
PIXEL_DIRECTIONS = ["FromLeft", "FromRight", "FromTop", "FromBottom", "XcenterOut",
                    "XcenterIn", "YcenterOut", "YcenterIn", "ZoomIn", "ZoomOut", "None"]

# ---------------------------------------------------------------------------
# The process-wide generator


class Rng:
    def __init__(self, seed):
        self.seed = seed & 0xFFFFFFFF

    def random(self, n):
        self.seed = (self.seed * 134775813 + 1) & 0xFFFFFFFF
        return (self.seed * n) >> 32


# ---------------------------------------------------------------------------
# Images: top-down rows of W*3 bytes, blue-green-red


class Img:
    __slots__ = ("w", "h", "rows")

    def __init__(self, w, h, rows):
        self.w, self.h, self.rows = w, h, rows

    @staticmethod
    def fill(w, h, rgb):
        r, g, b = rgb
        row = bytes((b, g, r)) * w
        return Img(w, h, [bytearray(row) for _ in range(h)])

    def copy(self):
        return Img(self.w, self.h, [bytearray(r) for r in self.rows])

    def data(self):
        return b"".join(bytes(r) for r in self.rows)


def write_bmp(path, img):
    stride = (img.w * 3 + 3) // 4 * 4
    pad = b"\0" * (stride - img.w * 3)
    body = b"".join(bytes(r) + pad for r in reversed(img.rows))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, img.w, img.h, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + body)


def read_bmp(path):
    """Returns (w, h, top-down pixel bytes without padding)."""
    with open(path, "rb") as f:
        raw = f.read()
    if raw[:2] != b"BM" or len(raw) < 54:
        raise ValueError(f"{path}: not a bitmap")
    offset = struct.unpack_from("<I", raw, 10)[0]
    _, w, h, _, bits, compression = struct.unpack_from("<IiiHHI", raw, 14)
    if bits != 24 or compression != 0:
        raise ValueError(f"{path}: {bits} bits, compression {compression}")
    bottom_up = h > 0
    h = abs(h)
    stride = (w * 3 + 3) // 4 * 4
    rows = [raw[offset + y * stride: offset + y * stride + w * 3] for y in range(h)]
    if any(len(r) != w * 3 for r in rows):
        raise ValueError(f"{path}: truncated")
    if bottom_up:
        rows.reverse()
    return w, h, b"".join(rows)


def picture(w, h, tag):
    """A picture whose every pixel tells its own position: red = x mod 256,
    green = y mod 256, blue = the tag's top two bits, then x div 256 and
    y div 256 in three bits each (up to 2048 x 2048)."""
    top = tag & 0xC0
    return Img(w, h, [bytearray(b"".join(bytes((top | (x >> 8 & 7) << 3 | (y >> 8 & 7),
                                                  y & 255, x & 255)) for x in range(w)))
                      for y in range(h)])


# ---------------------------------------------------------------------------
# The screens a model expects after each step. Large runs keep only digests;
# the screen of a step that differs is made again for the report.

_policy = threading.local()


class Shots:
    def __init__(self):
        self.keep = getattr(_policy, "keep", None)  # None: all; a set: those steps
        self.digests = []
        self.kept = {}

    def append(self, data):
        self.digests.append(hashlib.sha1(data).digest())
        k = len(self.digests)
        if self.keep is None or k in self.keep:
            self.kept[k] = data

    def __len__(self):
        return len(self.digests)


def run_model(model, keep=None):
    _policy.keep = keep
    try:
        return model()
    finally:
        _policy.keep = None


# ---------------------------------------------------------------------------
# Sweep: Stretch, Push, Slide


def f32(value):
    return struct.unpack("<f", struct.pack("<f", value))[0]


def trunc(value):
    return math.trunc(value)


def blit(dst, dx, dy, src, sx, sy, w, h):
    """Unscaled block copy, clipped to the source and to the destination."""
    if sx < 0:
        dx -= sx; w += sx; sx = 0
    if sy < 0:
        dy -= sy; h += sy; sy = 0
    if dx < 0:
        sx -= dx; w += dx; dx = 0
    if dy < 0:
        sy -= dy; h += dy; dy = 0
    w = min(w, src.w - sx, dst.w - dx)
    h = min(h, src.h - sy, dst.h - dy)
    if w <= 0 or h <= 0:
        return
    for k in range(h):
        dst.rows[dy + k][dx * 3:(dx + w) * 3] = src.rows[sy + k][sx * 3:(sx + w) * 3]


def stretch_blit(dst, src, left, top, right, bottom):
    """The whole of src scaled into (left, top, right, bottom) by nearest
    neighbour at pixel centres, clipped to dst."""
    rw, rh = right - left, bottom - top
    if rw <= 0 or rh <= 0:
        return
    x0, x1 = max(left, 0), min(right, dst.w)
    y0, y1 = max(top, 0), min(bottom, dst.h)
    if x0 >= x1 or y0 >= y1:
        return
    idx = []
    for x in range(x0, x1):
        sx = ((2 * (x - left) + 1) * src.w) // (2 * rw)
        idx += (3 * sx, 3 * sx + 1, 3 * sx + 2)
    take = operator.itemgetter(*idx)
    cache = {}
    for y in range(y0, y1):
        sy = ((2 * (y - top) + 1) * src.h) // (2 * rh)
        row = bytes(src.rows[sy])
        seg = cache.get(row)
        if seg is None:
            seg = cache[row] = bytes(take(row))
        dst.rows[y][x0 * 3:x1 * 3] = seg


def model_sweep(action, direction, steps, frm, to):
    """Returns (list of screens after each step, final from-image)."""
    W, H = frm.w, frm.h
    screen = frm.copy()
    shots = Shots()
    if steps < 1:
        return shots, to.copy()
    dxs = f32(float(Fraction(W, steps)))
    dys = f32(float(Fraction(H, steps)))
    d = DIRECTIONS[direction]
    work = None
    if action == A["Push"]:
        if d == "FromLeft":
            work = Img(2 * W, H, [bytearray(t + f) for t, f in zip(to.rows, frm.rows)])
        elif d == "FromRight":
            work = Img(2 * W, H, [bytearray(f + t) for t, f in zip(to.rows, frm.rows)])
        elif d == "FromTop":
            work = Img(W, 2 * H, [bytearray(r) for r in to.rows + frm.rows])
        elif d == "FromBottom":
            work = Img(W, 2 * H, [bytearray(r) for r in frm.rows + to.rows])
    for i in range(1, steps + 1):
        xi, yi = trunc(i * dxs), trunc(i * dys)
        if action == A["Stretch"]:
            left, top, right, bottom = 0, 0, W, H
            if d in ("FromLeft", "FromTopLeft", "FromBottomLeft"):
                right = xi
            elif d in ("FromRight", "FromBottomRight", "FromTopRight"):
                left = trunc(W - i * dxs)
            elif d in ("XcenterOut", "ZoomOut"):
                left = trunc((W - i * dxs) / 2.0)
                right = xi + left
            if d in ("FromTop", "FromTopLeft", "FromTopRight"):
                bottom = yi
            elif d in ("FromBottom", "FromBottomRight", "FromBottomLeft"):
                top = trunc(H - i * dys)
            elif d in ("YcenterOut", "ZoomOut"):
                top = trunc((H - i * dys) / 2.0)
                bottom = yi + top
            stretch_blit(screen, to, left, top, right, bottom)
        elif action == A["Push"]:
            origin = {"FromLeft": (W - xi, 0), "FromRight": (xi, 0),
                      "FromTop": (0, H - yi), "FromBottom": (0, yi)}.get(d)
            if origin is not None:
                blit(screen, 0, 0, work, origin[0], origin[1], W, H)
        elif action == A["Slide"]:
            if d in ("FromLeft", "FromTopLeft", "FromBottomLeft"):
                dstx, srcx, w = 0, W - xi, xi
            elif d in ("FromRight", "FromBottomRight", "FromTopRight"):
                dstx, srcx, w = W - xi, 0, xi
            else:
                dstx, srcx, w = 0, 0, W
            if d in ("FromTop", "FromTopLeft", "FromTopRight"):
                dsty, srcy, h = 0, H - yi, yi
            elif d in ("FromBottom", "FromBottomRight", "FromBottomLeft"):
                dsty, srcy, h = H - yi, 0, yi
            else:
                dsty, srcy, h = 0, 0, H
            blit(screen, dstx, dsty, to, srcx, srcy, w, h)
        shots.append(screen.data())
    return shots, to.copy()


# ---------------------------------------------------------------------------
# Dissolve: xDissolve, Discover


def block_order(direction, nr, nc):
    d = DIRECTIONS[direction]
    total = nr * nc
    order = []
    if d in ("FromLeft", "FromRight"):
        order = [(p, q) for q in range(nc) for p in range(nr)]
    elif d in ("FromTop", "FromBottom", "None"):
        order = [(p, q) for p in range(nr) for q in range(nc)]
    elif d in ("XcenterOut", "XcenterIn", "YcenterOut", "YcenterIn"):
        by_columns = d.startswith("X")
        n = nc if by_columns else nr
        m, k, side = n // 2, 0, 0
        while len(order) < total:
            if side == 0:
                v = m - k
                k += 1
            else:
                v = m + k
            if 0 <= v < n:
                if by_columns:
                    order.extend((p, v) for p in range(nr))
                else:
                    order.extend((v, q) for q in range(nc))
            side ^= 1
    elif d in ("ZoomIn", "ZoomOut"):
        p, q = nr // 2, nc // 2
        order.append((p, q))
        k, side = 1, 0
        while len(order) < total:
            for _ in range(k):
                p += -1 if side == 0 else 1
                if 0 <= p < nr and 0 <= q < nc:
                    order.append((p, q))
            for _ in range(k):
                q += 1 if side == 0 else -1
                if 0 <= p < nr and 0 <= q < nc:
                    order.append((p, q))
            k += 1
            side ^= 1
    else:
        raise ValueError(f"no pixel order modelled for {d}")
    assert len(order) == total and len(set(order)) == total, (d, nr, nc)
    return order


def dot_list(action, direction, W, H, dot, general, seed):
    nr, nc = (H + dot - 1) // dot, (W + dot - 1) // dot
    order = block_order(direction, nr, nc)
    d = DIRECTIONS[direction]
    if action == A["xDissolve"]:
        rng = Rng(seed)  # the shuffle seeds from the clock, which gives --seed
        total = nr * nc
        if d in ("FromLeft", "FromRight", "XcenterOut", "XcenterIn"):
            window = nr * general
        elif d in ("FromTop", "FromBottom", "YcenterOut", "YcenterIn"):
            window = nc * general
        elif d in ("ZoomIn", "ZoomOut"):
            window = ((nr + nc) // 4) * general
        else:
            window = total
        for i in range(total):
            j = rng.random(total) if d == "None" else i + rng.random(window)
            if j < total:
                order[i], order[j] = order[j], order[i]
    pixels = []
    for p, q in order:
        for ry in range(p * dot, min(p * dot + dot, H)):
            for cx in range(q * dot, min(q * dot + dot, W)):
                pixels.append((ry, cx))
    assert len(pixels) == W * H
    return pixels


def model_dissolve(action, direction, rate, dot, general, seed, frm, to):
    W, H = frm.w, frm.h
    count = W * H
    rate = min(max(rate, 1), count)  # the checking setter
    a = count // rate
    if a < 1:
        return None
    pixels = dot_list(action, direction, W, H, dot, general, seed)
    if DIRECTIONS[direction] in ("FromRight", "FromBottom", "XcenterIn", "YcenterIn", "ZoomIn"):
        pixels.reverse()
    img = frm.copy()
    shots = Shots()
    n = count // a
    for k, (ry, cx) in enumerate(pixels):
        img.rows[ry][cx * 3:cx * 3 + 3] = to.rows[ry][cx * 3:cx * 3 + 3]
        if (k + 1) % a == 0 and (k + 1) // a <= n:
            shots.append(img.data())
    shots.append(img.data())  # the last repaint, with the remainder if any
    return shots, img


# ---------------------------------------------------------------------------
# Blend


def model_blend(rate, frm, to):
    rate = min(max(rate, 1), 255)  # the checking setter
    work = frm.data()
    tod = to.data()
    shots = Shots()
    cur = work
    # Two uniform colours: blend one pixel and repeat it.
    uniform = work == work[:3] * (len(work) // 3) and tod == tod[:3] * (len(tod) // 3)
    for i in range(rate + 1):
        wt = (i * 32) // rate
        if wt:
            if uniform:
                px = bytes((a * (32 - wt) + t * wt) >> 5 for a, t in zip(work[:3], tod[:3]))
                cur = px * (len(work) // 3)
            else:
                cur = bytes((a * (32 - wt) + t * wt) >> 5 for a, t in zip(work, tod))
        shots.append(cur)
    return shots, Img(frm.w, frm.h, [bytearray(cur[y * frm.w * 3:(y + 1) * frm.w * 3])
                                    for y in range(frm.h)])


# ---------------------------------------------------------------------------
# Frame-set mode: the catalogue's mapping


ALLOWED = {
    0: [0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 15],
    1: [0, 1, 2, 3],
    2: [0, 1, 2, 3, 4, 5, 6, 7],
    3: [0, 1, 2, 3, 8, 9, 10, 11, 14, 15, 16],
    4: [16],
    5: [0, 1, 2, 3, 8, 9, 10, 11, 14, 15],
}


def rates(action, direction):
    """(RateMin, RateMax, DotMin, DotMax) of the effect table entry."""
    if action == 0:
        return 30, 200, 0, 0
    if action == 1:
        return (100, 300, 0, 0) if direction <= 3 else (0, 0, 0, 0)
    if action == 2:
        return (100, 300, 0, 0) if direction <= 7 else (0, 0, 0, 0)
    if action == 3:
        return 16, 128, 1, 40
    if action == 4:
        return (16, 64, 0, 0) if direction == 16 else (0, 0, 0, 0)
    if action == 5:
        return (16, 128, 0, 0) if direction <= 15 else (0, 0, 0, 0)
    raise ValueError(action)


def scale_setting(position, lo, hi):
    product = position * (hi - lo)
    product = (product + 2 ** 31) % 2 ** 32 - 2 ** 31
    return round(product / 10.0) + lo  # round() ties to even


def frame_record(effect=0, direction=0, dot=-1, speed=-1, colour=0x8000000F, pure=0, path=b""):
    rec = bytearray(244)
    rec[0] = len(path)
    rec[1:1 + len(path)] = path
    struct.pack_into("<i", rec, 204, effect)
    rec[208] = direction
    struct.pack_into("<iiI", rec, 212, dot, speed, colour)
    rec[224] = pure
    struct.pack_into("<iiii", rec, 228, 0, 3, 0, 0)
    return bytes(rec)


def windows_colour(rgb):
    r, g, b = rgb
    return r | g << 8 | b << 16


def model_frame(frames, images, index, seed):
    """frames: list of dicts (effect, direction, dot, speed); images: what
    each frame shows at the component's size. Returns (shots, final,
    description) for frame index (1-based) leaving."""
    leaving = frames[index - 1]
    frm = images[index - 1]
    to = images[index % len(frames)]
    e = leaving["effect"]
    if e == 0:
        return Shots(), to, "none"
    rng = Rng(seed)
    if e == 7:
        action = rng.random(6)
        allowed = ALLOWED[action]
        direction = allowed[rng.random(len(allowed))]
        speed = rng.random(10)
        dotpos = rng.random(10)
    else:
        action, direction = e - 1, leaving["direction"]
        speed, dotpos = leaving["speed"], leaving["dot"]
        # Records the editor cannot write: a direction the effect does not
        # offer plays as its first offered one; a position outside 0 to 10
        # (-1 for a hidden slider) as the nearest of 0 and 10.
        if direction not in ALLOWED[action]:
            direction = ALLOWED[action][0]
        speed, dotpos = min(max(speed, 0), 10), min(max(dotpos, 0), 10)
    rmin, rmax, dmin, dmax = rates(action, direction)
    desc = f"{ACTIONS[action]} {DIRECTIONS[direction]} speed {speed} dot {dotpos}"
    if action <= 2:
        steps = scale_setting(speed, rmin, rmax)
        shots, final = model_sweep(action, direction, steps, frm, to)
        return shots, final, desc + f" steps {steps}"
    if action == 3:
        dot = scale_setting(dotpos, dmin, dmax)
        general = 30 // dot + 4
        rate = scale_setting(speed, rmin, rmax)
        shots, final = model_dissolve(action, direction, rate, dot, general, seed, frm, to)
        return shots, final, desc + f" rate {rate} dotsize {dot} general {general}"
    if action == 4:
        rate = scale_setting(speed, rmin, rmax)
        shots, final = model_blend(rate, frm, to)
        return shots, final, desc + f" blendrate {rate}"
    rate = scale_setting(speed, rmin, rmax)
    shots, final = model_dissolve(action, direction, rate, 1, 5, seed, frm, to)
    return shots, final, desc + f" rate {rate}"


# ---------------------------------------------------------------------------
# Cases


class Case:
    def __init__(self, name, args, model, size, files=None, custom=None, at=None):
        self.custom = custom    # (outdir) -> problems, in place of the model
        self.at = at            # the steps to compare (all when None)
        self.name = name
        self.args = args        # velmora-render arguments (without --at/--out)
        self.model = model      # () -> (shots, final) or None for an expected failure
        self.size = size
        self.files = files or {}  # name -> bytes to write into the case's directory


COLOURS = [(0x10, 0x20, 0x30), (0xF0, 0xE1, 0xD2), (0x00, 0xFF, 0x7F), (0xC8, 0x64, 0x01),
           (0xFF, 0xFF, 0xFF), (0x00, 0x00, 0x00)]
SIZES = [(7, 5), (33, 17), (100, 60), (101, 37)]


def hexcolour(rgb):
    return "#%02X%02X%02X" % rgb


def fit_rect(w, h, pw, ph):
    """Fit mode's rectangle (left, top, width, height) for a pw x ph picture
    in a w x h component, in double precision as the component computes it.
    A picture of the component's own size is not always drawn 1:1: for 7x9,
    9 / (9 / 7) is 6.999..., so the picture gets 6 columns and a black bar."""
    r = ph / pw
    if h / w > r:
        tw, th = w, math.trunc(w * r)
    else:
        th, tw = h, math.trunc(h / r)
    return math.trunc((w - tw) / 2), math.trunc((h - th) / 2), tw, th


class Sources:
    """Source arguments and their prepared images: a colour, or a picture
    file of exactly the component's size (fit mode draws it 1:1)."""

    def __init__(self, picdir):
        self.picdir = picdir
        self.made = {}

    def pic(self, w, h, tag):
        path = os.path.join(self.picdir, f"pic-{w}x{h}-{tag}.bmp")
        if path not in self.made:
            img = picture(w, h, tag)
            write_bmp(path, img)
            self.made[path] = img
        return path, self.made[path]

    def get(self, source, w, h):
        """source: ('c', rgb) or ('p', tag). Returns (argument, image)."""
        if source[0] == "c":
            return hexcolour(source[1]), Img.fill(w, h, source[1])
        path, img = self.pic(w, h, source[1])
        assert fit_rect(w, h, w, h) == (0, 0, w, h), f"{w}x{h} is not drawn 1:1"
        return path, img


def build_cases(src, quick):
    cases = []
    counter = [0]

    def pick(seq):
        counter[0] += 1
        return seq[counter[0] % len(seq)]

    def sweep_case(action, direction, steps, size, fsrc, tsrc, extra=()):
        w, h = size
        farg, fimg = src.get(fsrc, w, h)
        targ, timg = src.get(tsrc, w, h)
        args = ["--size", f"{w}x{h}", "--from", farg, "--to", targ, "--action", action,
                "--direction", direction, "--steps", str(steps), *extra]
        name = f"{action} {direction} steps={steps} {w}x{h} {fsrc[0]}->{tsrc[0]}"
        model = (lambda: None) if steps == 0 else \
            (lambda: model_sweep(A[action], D[direction], steps, fimg, timg))
        cases.append(Case(name, args, model, size))

    pics = (("p", 0x11), ("p", 0xEE))
    # Stretch: every direction, steps 1, 2, 3, 30, two sizes each, pictures
    # on one of them (the scaled copy samples the To picture).
    for direction in DIRECTIONS:
        for steps in (1, 2, 3, 30):
            for n in range(2):
                size = pick(SIZES)
                fs, ts = (pics if n == 0 else (("c", pick(COLOURS)), ("c", pick(COLOURS))))
                sweep_case("Stretch", direction, steps, size, fs, ts)
    # Named edge cases of the step sizes.
    sweep_case("Stretch", "FromLeft", 30, (100, 3), ("c", COLOURS[0]), ("c", COLOURS[1]))
    sweep_case("Stretch", "FromRight", 30, (800, 2), ("c", COLOURS[0]), ("c", COLOURS[1]))
    sweep_case("Stretch", "FromLeft", 30, (800, 2), ("c", COLOURS[0]), ("c", COLOURS[1]))
    sweep_case("Stretch", "ZoomOut", 2, (100, 100), pics[0], pics[1])
    sweep_case("Stretch", "ZoomOut", 7, (75, 75), pics[0], pics[1])
    sweep_case("Stretch", "FromTopLeft", 13, (1, 1), pics[0], pics[1])
    sweep_case("Stretch", "FromBottomRight", 5, (64, 48), pics[0], pics[1],
               ("--stretch-to-fit", "0"))
    # Step sizes that single precision rounds up: the last step's i * dx
    # passes W, so W - i * dx is a little below 0.
    sweep_case("Stretch", "ZoomOut", 3, (2, 5), pics[0], pics[1])
    sweep_case("Stretch", "FromBottomRight", 7, (3, 10), pics[0], pics[1])
    sweep_case("Stretch", "ZoomOut", 30, (800, 3), ("c", COLOURS[0]), ("c", COLOURS[1]))
    sweep_case("Slide", "FromTopRight", 3, (2, 5), pics[0], pics[1])
    sweep_case("Push", "FromLeft", 3, (2, 5), pics[0], pics[1])
    sweep_case("Stretch", "FromLeft", -1, (7, 5), ("c", COLOURS[2]), ("c", COLOURS[3]))
    sweep_case("Stretch", "FromLeft", 0, (7, 5), ("c", COLOURS[2]), ("c", COLOURS[3]))
    # Push: the four edges and directions that draw nothing.
    for direction in ("FromLeft", "FromRight", "FromTop", "FromBottom", "XcenterOut", "None",
                      "FromTopLeft"):
        for steps in (1, 3, 7, 30):
            sweep_case("Push", direction, steps, pick(SIZES), pics[0], pics[1])
    # Slide: all seventeen directions.
    for direction in DIRECTIONS:
        for steps in (1, 3, 30):
            sweep_case("Slide", direction, steps, pick(SIZES), pics[0], pics[1])
    # Other actions given to Sweep are not reachable from the tool (it runs
    # the matching run), so they are left out.

    # Dissolve and Discover.
    def dissolve_case(action, direction, size, rate, dot, general, seed, fsrc, tsrc):
        w, h = size
        farg, fimg = src.get(fsrc, w, h)
        targ, timg = src.get(tsrc, w, h)
        args = ["--size", f"{w}x{h}", "--from", farg, "--to", targ, "--action", action,
                "--direction", direction, "--disolv-rate", str(rate), "--dot-size", str(dot),
                "--general-rate", str(general), "--seed", str(seed)]
        name = (f"{action} {direction} {w}x{h} rate={rate} dot={dot} general={general} "
                f"seed={seed}")
        cases.append(Case(name, args, lambda: model_dissolve(
            A[action], D[direction], rate, dot, general, seed, fimg, timg), size))

    dsizes = [(7, 5), (33, 17), (101, 37), (100, 60), (13, 11)]
    drates = [7, 10, 13, 16, 27, 50, 3, 100]
    seeds = [0, 1, 12345, 4294967295, 2024, 777]
    for direction in PIXEL_DIRECTIONS:
        for dot in (1, 2, 3, 7):
            for general in (0, 1, 5):
                dissolve_case("xDissolve", direction, pick(dsizes), pick(drates), dot, general,
                              pick(seeds), pics[0], pics[1])
            dissolve_case("Discover", direction, pick(dsizes), pick(drates), dot, pick((0, 5)),
                          pick(seeds), pics[0], pics[1])
    # One block covering the whole picture; 1x1; rate clamped to the pixel count.
    dissolve_case("xDissolve", "FromRight", (7, 5), 9, 40, 5, 3, pics[0], pics[1])
    dissolve_case("Discover", "ZoomIn", (1, 1), 5, 1, 5, 3, pics[0], pics[1])
    dissolve_case("xDissolve", "None", (33, 17), 561, 1, 5, 99, ("c", COLOURS[0]), pics[1])
    dissolve_case("xDissolve", "ZoomOut", (100, 60), 125, 21, 5, 8, pics[0], pics[1])

    # Blend.
    def blend_case(rate, size, fsrc, tsrc):
        w, h = size
        farg, fimg = src.get(fsrc, w, h)
        targ, timg = src.get(tsrc, w, h)
        args = ["--size", f"{w}x{h}", "--from", farg, "--to", targ, "--action", "xBlend",
                "--direction", "None", "--blend-rate", str(rate)]
        name = f"xBlend rate={rate} {w}x{h} {fsrc[0]}->{tsrc[0]}"
        cases.append(Case(name, args, lambda: model_blend(rate, fimg, timg), size))

    for rate in (1, 2, 16, 32, 33, 64):
        blend_case(rate, pick(SIZES), ("c", pick(COLOURS)), ("c", pick(COLOURS)))
    blend_case(33, (7, 5), pics[0], pics[1])
    blend_case(5, (33, 17), pics[1], pics[0])
    blend_case(0, (5, 3), ("c", COLOURS[0]), ("c", COLOURS[1]))
    blend_case(300, (3, 2), ("c", COLOURS[3]), ("c", COLOURS[1]))

    # Frame-set mode through the catalogue's mapping.
    def frame_case(frames, index, seed, size):
        w, h = size
        body = frame_record(path=b"test")
        images = []
        for f in frames:
            if "pic" in f:
                if f["pic"] is None:  # a file that cannot be loaded shows black
                    path, img = os.path.join(src.picdir, "missing.bmp"), Img.fill(w, h, (0, 0, 0))
                elif f["pic"] == "":  # an empty frame shows black
                    path, img = "", Img.fill(w, h, (0, 0, 0))
                else:
                    path, img = src.pic(w, h, f["pic"])
                body += frame_record(f["effect"], f["direction"], f["dot"], f["speed"],
                                     path=win(path).encode())
            else:
                img = Img.fill(w, h, f["rgb"])
                body += frame_record(f["effect"], f["direction"], f["dot"], f["speed"],
                                     windows_colour(f["rgb"]), 1)
            images.append(img)
        name = (f"frame effect={frames[index - 1]['effect']} index={index} seed={seed} "
                f"{w}x{h}")
        args = ["--size", f"{w}x{h}", "--frame", "{DIR}/show.fms", "--index", str(index),
                "--seed", str(seed)]

        def model():
            shots, final, desc = model_frame(frames, images, index, seed)
            return shots, final
        cases.append(Case(name, args, model, size, {"show.fms": body}))

    def fr(effect, direction=0, speed=0, dot=0, rgb=(0, 0, 0), pic=False):
        f = dict(effect=effect, direction=direction, speed=speed, dot=dot, rgb=rgb)
        if pic is not False:
            f["pic"] = pic
        return f

    show = [fr(1, D["ZoomOut"], 3, rgb=COLOURS[0]), fr(2, D["FromBottom"], 0, rgb=COLOURS[1]),
            fr(3, D["FromTopRight"], 1, rgb=COLOURS[2]), fr(4, D["XcenterIn"], 0, 5, COLOURS[3]),
            fr(5, D["None"], 3, rgb=COLOURS[4]), fr(6, D["ZoomIn"], 2, 9, COLOURS[5]),
            fr(0, 0, 0, rgb=COLOURS[1]), fr(7, 0, -1, -1, COLOURS[0])]
    for index in range(1, len(show) + 1):
        frame_case(show, index, 1234 + index, pick([(33, 17), (40, 25), (101, 37)]))
    for seed in (0, 1, 5, 99, 31337, 4000000000, 123456789, 2, 3, 4, 6, 7, 16, 18, 83, 84):
        frame_case(show, len(show), seed, pick([(33, 17), (40, 25), (7, 5)]))
    frame_case([fr(4, D["None"], 10, 0, COLOURS[1]), fr(4, D["ZoomOut"], 4, 10, COLOURS[2])],
               1, 42, (101, 37))
    frame_case([fr(4, D["None"], 10, 0, COLOURS[1]), fr(4, D["ZoomOut"], 4, 10, COLOURS[2])],
               2, 43, (101, 37))

    # Records the editor does not write: directions the effect does not
    # offer, positions -1 and above 10.
    odd = [fr(5, D["FromLeft"], 7, rgb=COLOURS[0]), fr(6, D["None"], 4, rgb=COLOURS[1]),
           fr(1, D["ZoomIn"], 1, rgb=COLOURS[2]), fr(2, D["XcenterOut"], 3, rgb=COLOURS[3]),
           fr(4, D["FromTopLeft"], -1, -1, COLOURS[4]), fr(4, D["ZoomIn"], 12, 11, COLOURS[5])]
    for index in range(1, len(odd) + 1):
        frame_case(odd, index, 70 + index, (13, 11))

    # Picture frames (fit mode, 1:1), a picture that cannot be loaded, the
    # last frame going back to frame 1.
    pshow = [fr(3, D["FromBottomLeft"], 4, pic=0x21), fr(4, D["FromTop"], 2, 3, pic=0x42),
             fr(6, D["XcenterOut"], 1, pic=None), fr(2, D["FromLeft"], 5, pic=0x63),
             fr(1, D["FromTop"], 0, pic=""), fr(5, D["None"], 0, pic=0x84)]
    for index in range(1, len(pshow) + 1):
        frame_case(pshow, index, 500 + index, pick([(33, 17), (101, 37)]))

    # Fit mode away from 1:1: the bars are black whatever the colours, the
    # rectangle holds the picture (how it is resampled is not checked).
    def fit_case(size, psize):
        w, h = size
        path, pimg = src.pic(psize[0], psize[1], 0x5A)
        left, top, tw, th = fit_rect(w, h, *psize)
        args = ["--size", f"{w}x{h}", "--from", "#FFFFFF", "--to", path, "--action", "Slide",
                "--direction", "FromLeft", "--steps", "1"]

        def custom(outdir):
            try:
                bw, bh, data = read_bmp(os.path.join(outdir, "final.bmp"))
            except (OSError, ValueError) as e:
                return [f"final: {e}"]
            if (bw, bh) != (w, h):
                return [f"final: bitmap {bw}x{bh}"]
            for y in range(h):
                for x in range(w):
                    b, g, r = data[(y * w + x) * 3:(y * w + x) * 3 + 3]
                    inside = left <= x < left + tw and top <= y < top + th
                    if not inside and (b, g, r) != (0, 0, 0):
                        return [f"final: pixel ({x},{y}) outside the picture's rectangle "
                                f"({left},{top},{tw}x{th}) is #{r:02X}{g:02X}{b:02X}, not black"]
                    if inside and (b != 0x5A & 0xC0 or r >= psize[0] or g >= psize[1]):
                        return [f"final: pixel ({x},{y}) inside the picture's rectangle "
                                f"({left},{top},{tw}x{th}) is #{r:02X}{g:02X}{b:02X}, not the picture"]
            return []
        cases.append(Case(f"fit {psize[0]}x{psize[1]} picture in {w}x{h}", args, None, size,
                          custom=custom))

    fit_case((7, 9), (7, 9))
    fit_case((25, 55), (25, 55))
    fit_case((40, 40), (20, 10))
    fit_case((40, 40), (10, 20))
    fit_case((41, 23), (13, 7))
    fit_case((30, 31), (60, 20))

    # Natural-size mode: the component takes the picture's size.
    def natural_case(action, direction, size, fsrc, tsrc, amounts):
        w, h = size
        farg, fimg = src.get(fsrc, *(fsrc[2] if fsrc[0] == "p" else size))
        targ, timg = src.get(tsrc, *(tsrc[2] if tsrc[0] == "p" else size))
        nw, nh = (fimg.w, fimg.h) if fsrc[0] == "p" else (timg.w, timg.h)
        if fsrc[0] == "c":
            fimg = Img.fill(nw, nh, fsrc[1])
        if tsrc[0] == "c":
            timg = Img.fill(nw, nh, tsrc[1])
        args = ["--size", f"{w}x{h}", "--from", farg, "--to", targ, "--action", action,
                "--direction", direction, "--stretch-to-fit", "0", "--seed", "7"]
        for k, v in amounts.items():
            args += [f"--{k}", str(v)]
        name = f"natural {action} {direction} {w}x{h} -> {nw}x{nh} {fsrc[0]}->{tsrc[0]}"
        act = A[action]
        if act <= 2:
            model = lambda: model_sweep(act, D[direction], amounts["steps"], fimg, timg)
        elif act == A["xBlend"]:
            model = lambda: model_blend(amounts["blend-rate"], fimg, timg)
        else:
            model = lambda: model_dissolve(act, D[direction], amounts["disolv-rate"],
                                           amounts["dot-size"], amounts["general-rate"], 7,
                                           fimg, timg)
        cases.append(Case(name, args, model, (nw, nh)))

    natural_case("Slide", "FromTopLeft", (20, 10), ("c", COLOURS[0]), ("p", 0x31, (7, 5)),
                 {"steps": 3})
    natural_case("Stretch", "ZoomOut", (20, 10), ("p", 0x32, (13, 11)), ("c", COLOURS[1]),
                 {"steps": 4})
    natural_case("Push", "FromBottom", (9, 9), ("p", 0x33, (33, 17)), ("p", 0x34, (33, 17)),
                 {"steps": 5})
    natural_case("xDissolve", "YcenterIn", (5, 5), ("c", COLOURS[2]), ("p", 0x35, (13, 11)),
                 {"disolv-rate": 9, "dot-size": 2, "general-rate": 3})
    natural_case("xBlend", "None", (5, 5), ("p", 0x36, (7, 5)), ("c", COLOURS[3]),
                 {"blend-rate": 6})

    # Odd amounts: windows wider than the block list, blocks wider than the
    # picture on one axis only, DisolvRate 1.
    dissolve_case("xDissolve", "FromTop", (33, 17), 11, 7, 100, 5, pics[0], pics[1])
    dissolve_case("xDissolve", "XcenterIn", (33, 17), 5, 20, 2, 6, pics[0], pics[1])
    dissolve_case("Discover", "YcenterOut", (7, 5), 1, 1, 5, 0, pics[0], pics[1])
    dissolve_case("xDissolve", "ZoomIn", (101, 37), 20, 1, 1, 17, pics[0], pics[1])
    dissolve_case("xDissolve", "FromBottom", (13, 11), 0, 2, 3, 4, pics[0], pics[1])
    dissolve_case("xDissolve", "XcenterOut", (7, 5), 1000000, 1, 2, 9, pics[0], pics[1])
    dissolve_case("Discover", "ZoomOut", (13, 11), 1000000, 2, 5, 9, pics[0], pics[1])
    dissolve_case("Discover", "XcenterOut", (13, 11), -5, 2, 3, 4, pics[0], pics[1])

    # Screen-sized runs, some steps compared (the last one always).
    def big(name, args, model, size, at):
        cases.append(Case(name, args, model, size, at=set(at)))

    def big_sweep(action, direction, steps, size, fsrc, tsrc, at):
        w, h = size
        farg, fimg = src.get(fsrc, w, h)
        targ, timg = src.get(tsrc, w, h)
        big(f"{action} {direction} steps={steps} {w}x{h} {fsrc[0]}->{tsrc[0]}",
            ["--size", f"{w}x{h}", "--from", farg, "--to", targ, "--action", action,
             "--direction", direction, "--steps", str(steps)],
            lambda: model_sweep(A[action], D[direction], steps, fimg, timg), size, at)

    def big_dissolve(action, direction, size, rate, dot, general, seed, fsrc, tsrc, at):
        w, h = size
        farg, fimg = src.get(fsrc, w, h)
        targ, timg = src.get(tsrc, w, h)
        big(f"{action} {direction} {w}x{h} rate={rate} dot={dot} general={general} seed={seed}",
            ["--size", f"{w}x{h}", "--from", farg, "--to", targ, "--action", action,
             "--direction", direction, "--disolv-rate", str(rate), "--dot-size", str(dot),
             "--general-rate", str(general), "--seed", str(seed)],
            lambda: model_dissolve(A[action], D[direction], rate, dot, general, seed, fimg,
                                   timg), size, at)

    big_sweep("Stretch", "FromLeft", 30, (640, 480), pics[0], pics[1], (1, 2, 29))
    big_sweep("Stretch", "FromRight", 30, (800, 600), ("c", COLOURS[0]), ("c", COLOURS[1]),
              (1, 15, 29))
    big_sweep("Stretch", "ZoomOut", 47, (640, 480), pics[0], pics[1], (1, 13, 46))
    big_sweep("Push", "FromTop", 160, (640, 480), pics[0], pics[1], (1, 77, 159))
    big_sweep("Slide", "FromBottomLeft", 220, (512, 384), pics[0], pics[1], (1, 3, 219))
    big_dissolve("xDissolve", "FromLeft", (640, 480), 16, 1, 34, 987654321, pics[0], pics[1],
                 (1, 8, 16))
    big_dissolve("xDissolve", "ZoomOut", (512, 384), 125, 21, 5, 31337, pics[0], pics[1],
                 (1, 62, 125))
    big_dissolve("Discover", "FromRight", (320, 240), 128, 1, 5, 0, pics[0], pics[1],
                 (1, 64, 128))
    big_dissolve("xDissolve", "YcenterIn", (300, 200), 61, 5, 10, 2718, pics[0], pics[1],
                 (1, 30, 61))
    big("xBlend rate=64 97x61 p->p",
        ["--size", "97x61", "--from", src.get(pics[0], 97, 61)[0], "--to",
         src.get(pics[1], 97, 61)[0], "--action", "xBlend", "--direction", "None",
         "--blend-rate", "64"],
        lambda: model_blend(64, src.get(pics[0], 97, 61)[1], src.get(pics[1], 97, 61)[1]),
        (97, 61), (1, 2, 31, 33, 64))
    big("xBlend rate=50 640x480 c->c",
        ["--size", "640x480", "--from", "#123456", "--to", "#FEDCBA", "--action", "xBlend",
         "--direction", "None", "--blend-rate", "50"],
        lambda: model_blend(50, Img.fill(640, 480, (0x12, 0x34, 0x56)),
                            Img.fill(640, 480, (0xFE, 0xDC, 0xBA))),
        (640, 480), (1, 25, 50))

    # Random cases from a fixed seed (reproducible), over all runs.
    import random
    gen = random.Random(20240611)
    for _ in range(60):
        w, h = gen.randint(1, 70), gen.randint(1, 70)
        action = gen.choice(ACTIONS)
        # Pictures only where fit mode draws them 1:1 (see fit_rect).
        one_to_one = fit_rect(w, h, w, h) == (0, 0, w, h)
        fs = gen.choice([pics[0] if one_to_one else ("c", COLOURS[4]), ("c", gen.choice(COLOURS))])
        ts = gen.choice([pics[1] if one_to_one else ("c", COLOURS[5]), ("c", gen.choice(COLOURS))])
        if action in ("Stretch", "Push", "Slide"):
            steps = gen.choice([gen.randint(1, 40), gen.randint(1, 4), gen.randint(-2, 0)])
            sweep_case(action, gen.choice(DIRECTIONS), steps, (w, h), fs, ts)
        elif action == "xBlend":
            blend_case(gen.randint(1, 40), (w, h), fs, ts)
        else:
            rate = gen.randint(1, 60)
            dissolve_case(action, gen.choice(PIXEL_DIRECTIONS), (w, h), rate,
                          gen.randint(1, 12), gen.randint(0, 12), gen.randint(0, 2 ** 32 - 1),
                          fs, ts)

    if quick:
        keep = [c for k, c in enumerate(cases) if k % 6 == 0]
        cases = keep
    return cases


# ---------------------------------------------------------------------------
# Running and comparing


def first_difference(expected, actual, w):
    n = min(len(expected), len(actual))
    for k in range(n):
        if expected[k] != actual[k]:
            pix = k // 3
            x, y = pix % w, pix // w
            e = expected[pix * 3:pix * 3 + 3]
            a = actual[pix * 3:pix * 3 + 3]
            diffs = sum(1 for p in range(n // 3)
                        if expected[p * 3:p * 3 + 3] != actual[p * 3:p * 3 + 3])
            return (f"pixel ({x},{y}) expected #{e[2]:02X}{e[1]:02X}{e[0]:02X} got "
                    f"#{a[2]:02X}{a[1]:02X}{a[0]:02X} ({diffs} pixels differ)")
    return f"length {len(actual)} instead of {len(expected)}"


_wine_paths = False


def win(arg):
    """Under Wine, absolute paths as the Z: drive shows them."""
    if isinstance(arg, list):
        return [win(a) for a in arg]
    if _wine_paths and arg.startswith("/"):
        return "Z:" + arg.replace("/", "\\")
    return arg


def run_case(render, case, workdir):
    outdir = os.path.join(workdir, re.sub(r"[^A-Za-z0-9=.-]+", "_", case.name))
    shutil.rmtree(outdir, ignore_errors=True)
    os.makedirs(outdir)
    for fname, data in case.files.items():
        with open(os.path.join(outdir, fname), "wb") as f:
            f.write(data)
    args = [a.replace("{DIR}", outdir) for a in case.args]
    if case.custom:
        cmd = [*render, *win(args), "--out", win(outdir)]
        proc = subprocess.run(cmd, capture_output=True, text=True)
        if proc.returncode != 0:
            return [f"status {proc.returncode}: {proc.stderr.strip()}"], " ".join(cmd)
        return case.custom(outdir), " ".join(cmd)
    w, h = case.size
    # Keep every screen of small runs; digests only for large ones.
    expected = run_model(case.model, None if w * h <= 20000 else set())
    cmd = [*render, *win(args)]
    wanted = None
    if expected is not None and len(expected[0]):
        wanted = [k for k in range(1, len(expected[0]) + 1) if case.at is None or k in case.at
                  or k == len(expected[0])]
        cmd += ["--at", ",".join(str(k) for k in wanted)]
    cmd += ["--out", win(outdir)]
    proc = subprocess.run(cmd, capture_output=True, text=True)
    shown = " ".join(("'%s'" % a if "#" in a else a) for a in cmd)
    if expected is None:
        if proc.returncode != 1:
            return [f"status {proc.returncode}, expected 1 (the run fails)"], shown
        return [], shown
    if proc.returncode != 0:
        return [f"status {proc.returncode}: {proc.stderr.strip()}"], shown
    shots, final = expected
    problems = []
    m = re.search(r"steps=(-?\d+)", proc.stdout)
    if not m or int(m.group(1)) != len(shots):
        problems.append(f"reported {proc.stdout.strip()!r}, expected steps={len(shots)}")
    for k, digest in enumerate(shots.digests, 1):
        if k not in wanted:
            continue
        path = os.path.join(outdir, f"step-{k}.bmp")
        try:
            bw, bh, data = read_bmp(path)
        except (OSError, ValueError) as e:
            problems.append(f"step {k}: {e}")
            break
        if (bw, bh) != (w, h):
            problems.append(f"step {k}: bitmap {bw}x{bh}")
            break
        if hashlib.sha1(data).digest() != digest:
            shot = shots.kept.get(k)
            if shot is None:
                shot = run_model(case.model, {k})[0].kept[k]
            problems.append(f"step {k}: {first_difference(shot, data, w)}")
            break
    try:
        bw, bh, data = read_bmp(os.path.join(outdir, "final.bmp"))
        if (bw, bh) != (final.w, final.h):
            problems.append(f"final: bitmap {bw}x{bh}, expected {final.w}x{final.h}")
        elif data != final.data():
            problems.append(f"final: {first_difference(final.data(), data, final.w)}")
    except (OSError, ValueError) as e:
        problems.append(f"final: {e}")
    return problems, shown


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--render", required=True, help="path of velmora-render")
    parser.add_argument("--runner", default="", help="command to run the tool with (wine)")
    parser.add_argument("--quick", action="store_true", help="a sixth of the cases")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--keep", help="write the bitmaps here and keep them")
    parser.add_argument("--only", help="run only cases whose name contains this")
    parser.add_argument("--verbose", action="store_true")
    opts = parser.parse_args()
    global _wine_paths
    _wine_paths = "wine" in opts.runner
    if not os.path.isfile(opts.render):
        print(f"render_formula_test: no program {opts.render}", file=sys.stderr)
        return 2

    start = time.monotonic()
    workdir = opts.keep or tempfile.mkdtemp(prefix="render-formula-")
    os.makedirs(workdir, exist_ok=True)
    picdir = os.path.join(workdir, "pictures")
    os.makedirs(picdir, exist_ok=True)
    try:
        cases = build_cases(Sources(picdir), opts.quick)
        if opts.only:
            cases = [c for c in cases if opts.only in c.name]
        failed = 0
        with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, opts.jobs)) as pool:
            render = shlex.split(opts.runner) + [opts.render]
            futures = [pool.submit(run_case, render, c, workdir) for c in cases]
            for case, future in zip(cases, futures):
                try:
                    problems, shown = future.result()
                except Exception as e:  # a fault of the model itself
                    problems, shown = [f"checker error: {e!r}"], ""
                if problems:
                    failed += 1
                    print(f"FAIL {case.name}\n  {shown}")
                    for p in problems:
                        print(f"  {p}")
                elif opts.verbose:
                    print(f"ok   {case.name}")
        print(f"{len(cases)} cases, {failed} failed, {time.monotonic() - start:.1f} s")
        return 1 if failed else 0
    finally:
        if not opts.keep:
            shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

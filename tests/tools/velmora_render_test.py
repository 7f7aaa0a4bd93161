#!/usr/bin/env python3
"""Checks velmora-render end to end: the bitmaps it writes after chosen steps
of real transitions, the frame-set mode, the seed and the error statuses.

usage: velmora_render_test.py PATH_TO_VELMORA_RENDER WORK_DIR
"""
import os
import re
import shutil
import struct
import subprocess
import sys

RENDER = sys.argv[1]
WORK = sys.argv[2]
failures = []

RED, GREEN, BLUE, BLACK, WHITE = (255, 0, 0), (0, 255, 0), (0, 0, 255), (0, 0, 0), (255, 255, 255)


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def run(*args, expect=0):
    proc = subprocess.run([RENDER, *args], capture_output=True, text=True)
    check(proc.returncode == expect,
          f"{' '.join(args)}: status {proc.returncode}, expected {expect}\n{proc.stdout}{proc.stderr}")
    return proc


def fresh(name):
    path = os.path.join(WORK, name)
    shutil.rmtree(path, ignore_errors=True)
    return path


def read_bmp(path):
    """Returns (width, height, rows) with rows[y][x] = (r, g, b), y = 0 at the top."""
    with open(path, "rb") as f:
        data = f.read()
    magic, size, _, offset = struct.unpack_from("<2sIIL", data, 0)
    header, width, height, planes, bpp, compression, image_size = struct.unpack_from("<IiiHHII", data, 14)
    stride = (width * 3 + 3) // 4 * 4
    check(magic == b"BM", f"{path}: not a bitmap")
    check(header == 40 and planes == 1 and bpp == 24 and compression == 0, f"{path}: header")
    check(height > 0, f"{path}: rows must be bottom-up")
    check(offset == 54 and size == len(data) == 54 + stride * height, f"{path}: sizes")
    check(image_size == stride * height, f"{path}: image size field")
    rows = []
    for y in range(height):
        base = offset + (height - 1 - y) * stride
        rows.append([(data[base + 3 * x + 2], data[base + 3 * x + 1], data[base + 3 * x])
                     for x in range(width)])
        check(all(b == 0 for b in data[base + 3 * width: base + stride]), f"{path}: padding bytes")
    return width, height, rows


def uniform(path, colour, size=None):
    width, height, rows = read_bmp(path)
    if size:
        check((width, height) == size, f"{path}: size {(width, height)}, expected {size}")
    bad = [(x, y, p) for y, row in enumerate(rows) for x, p in enumerate(row) if p != colour]
    check(not bad, f"{path}: expected all {colour}, first differing {bad[:3]}")


def steps_of(proc):
    m = re.fullmatch(r"steps=(\d+) ms_total=[0-9.]+ ms_per_step=[0-9.]+\n", proc.stdout)
    check(m is not None, f"output line: {proc.stdout!r}")
    return int(m.group(1)) if m else -1


def write_bmp(path, rows):
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) // 4 * 4
    body = b""
    for row in reversed(rows):
        line = b"".join(bytes((b, g, r)) for r, g, b in row)
        body += line + b"\0" * (stride - len(line))
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIIL", b"BM", 54 + len(body), 0, 54))
        f.write(struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0))
        f.write(body)


def record(effect=0, direction=0, speed=-1, dot=-1, colour=0x8000000F, pure=0, path=b""):
    rec = bytearray(244)
    rec[0] = len(path)
    rec[1:1 + len(path)] = path
    struct.pack_into("<iB", rec, 204, effect, direction)
    struct.pack_into("<iiIBB", rec, 212, dot, speed, colour, pure, 0)
    struct.pack_into("<i", rec, 232, 3)
    return bytes(rec)


os.makedirs(WORK, exist_ok=True)

# --- Blend black to white, 4 x 2, BlendRate 2: weights 0, 16, 32. ---
out = fresh("blend")
proc = run("--size", "4x2", "--from", "#000000", "--to", "#FFFFFF", "--action", "xBlend",
           "--direction", "None", "--blend-rate", "2", "--at", "1,2,3", "--out", out)
check(steps_of(proc) == 3, "blend: 3 steps")
uniform(os.path.join(out, "step-1.bmp"), BLACK, (4, 2))
uniform(os.path.join(out, "step-2.bmp"), (127, 127, 127), (4, 2))
uniform(os.path.join(out, "step-3.bmp"), WHITE, (4, 2))
uniform(os.path.join(out, "final.bmp"), WHITE, (4, 2))
# The whole file, byte for byte: headers, then two rows of 12 bytes of 127.
with open(os.path.join(out, "step-2.bmp"), "rb") as f:
    expected = (b"BM" + struct.pack("<IIL", 78, 0, 54)
                + struct.pack("<IiiHHIIiiII", 40, 4, 2, 1, 24, 0, 24, 2835, 2835, 0, 0)
                + bytes([127]) * 24)
    check(f.read() == expected, "blend: step-2.bmp bytes")
# Colours keep their channels apart: red to blue at the middle weight.
out = fresh("blend-channels")
run("--size", "3x1", "--from", "#FF0000", "--to", "#0000FF", "--action", "xBlend",
    "--direction", "None", "--blend-rate", "2", "--at", "2", "--out", out)
uniform(os.path.join(out, "step-2.bmp"), (127, 0, 127), (3, 1))

# --- Stretch ZoomOut, 100 x 100, 2 steps: step 1 draws (25, 25, 75, 75). ---
out = fresh("zoom")
proc = run("--size", "100x100", "--from", "#FF0000", "--to", "#0000FF", "--action", "Stretch",
           "--direction", "ZoomOut", "--steps", "2", "--at", "1,2", "--out", out)
check(steps_of(proc) == 2, "zoom: 2 steps")
_, _, rows = read_bmp(os.path.join(out, "step-1.bmp"))
inside = all(rows[y][x] == BLUE for y in range(25, 75) for x in range(25, 75))
outside = all(rows[y][x] == RED for y in range(100) for x in range(100)
              if not (25 <= x < 75 and 25 <= y < 75))
check(inside and outside, "zoom: step 1 is the blue square (25,25)-(75,75) on red")
uniform(os.path.join(out, "step-2.bmp"), BLUE)

# --- Push FromLeft 8 x 2, 4 steps: the To picture enters from the left. ---
out = fresh("push")
run("--size", "8x2", "--from", "#FF0000", "--to", "#0000FF", "--action", "Push",
    "--direction", "FromLeft", "--steps", "4", "--at", "1,3", "--out", out)
for k in (1, 3):
    _, _, rows = read_bmp(os.path.join(out, f"step-{k}.bmp"))
    check(rows[0] == [BLUE] * (2 * k) + [RED] * (8 - 2 * k) and rows[1] == rows[0], f"push step {k}")

# --- Slide FromBottom 2 x 8, 4 steps: rows from the bottom. ---
out = fresh("slide")
run("--size", "2x8", "--from", "#FF0000", "--to", "#00FF00", "--action", "Slide",
    "--direction", "FromBottom", "--steps", "4", "--at", "1", "--out", out)
_, _, rows = read_bmp(os.path.join(out, "step-1.bmp"))
check([r[0] for r in rows] == [RED] * 6 + [GREEN] * 2, "slide step 1: bottom two rows")

# --- Stretch samples pixel centres: a 4-pixel picture squeezed into 2. ---
out = fresh("stretch-map")
picture = os.path.join(WORK, "strip.bmp")
colours = [(10, 0, 0), (20, 0, 0), (30, 0, 0), (40, 0, 0)]
write_bmp(picture, [colours])
run("--size", "4x1", "--from", "#000000", "--to", picture, "--action", "Stretch",
    "--direction", "FromLeft", "--steps", "2", "--stretch-to-fit", "0", "--at", "1", "--out", out)
_, _, rows = read_bmp(os.path.join(out, "step-1.bmp"))
# dst x 0 -> floor(0.5 * 4 / 2) = 1; dst x 1 -> floor(1.5 * 4 / 2) = 3.
check(rows[0] == [colours[1], colours[3], BLACK, BLACK], f"stretch mapping: {rows[0]}")

# --- Discover FromLeft, dot size 1, 4 x 3 at rate 4: a column a step. ---
out = fresh("discover")
proc = run("--size", "4x3", "--from", "#FF0000", "--to", "#0000FF", "--action", "Discover",
           "--direction", "FromLeft", "--disolv-rate", "4", "--dot-size", "1", "--at", "1,5",
           "--out", out)
check(steps_of(proc) == 5, "discover: 4 full steps and the last repaint")
_, _, rows = read_bmp(os.path.join(out, "step-1.bmp"))
check(all(row == [BLUE, RED, RED, RED] for row in rows), f"discover step 1: {rows}")
uniform(os.path.join(out, "step-5.bmp"), BLUE)
# A remainder: 10 pixels at rate 3 -> 3 a step, 3 full steps, then 1 pixel.
out = fresh("discover-rest")
proc = run("--size", "5x2", "--from", "#FF0000", "--to", "#0000FF", "--action", "Discover",
           "--direction", "FromTop", "--disolv-rate", "3", "--dot-size", "1", "--at", "3,4",
           "--out", out)
check(steps_of(proc) == 4, "discover with a remainder: 4 steps")
_, _, rows = read_bmp(os.path.join(out, "step-3.bmp"))
check(rows[1] == [BLUE] * 4 + [RED], f"discover step 3 leaves the last pixel: {rows}")
uniform(os.path.join(out, "step-4.bmp"), BLUE)

# --- Frame-set mode. ---
fms = os.path.join(WORK, "show.fms")
with open(fms, "wb") as f:
    f.write(record(path=b"show"))
    f.write(record(effect=5, direction=16, speed=0, colour=0x0000FF, pure=1))   # Blend, rate 16
    f.write(record(effect=2, direction=8, speed=-1, colour=0xFF0000, pure=1))   # damaged Push
    f.write(record(effect=0, colour=0x00FF00, pure=1))                          # none
out = fresh("frame1")
proc = run("--size", "6x4", "--frame", fms, "--index", "1", "--at", "9,17", "--out", out)
check(steps_of(proc) == 17, "frame 1: Blend at speed 0 has 17 steps")
uniform(os.path.join(out, "step-9.bmp"), (127, 0, 127))
uniform(os.path.join(out, "step-17.bmp"), BLUE)
proc = run("--size", "6x4", "--frame", fms, "--index", "2")
check(steps_of(proc) == 100, "frame 2: Push with XcenterOut plays FromLeft at speed 0 (100 steps)")
check("played Push FromLeft" in proc.stderr, f"frame 2: {proc.stderr}")
out = fresh("frame3")
proc = run("--size", "6x4", "--frame", fms, "--index", "3", "--out", out)
check(steps_of(proc) == 0, "frame 3: effect none runs nothing")
uniform(os.path.join(out, "final.bmp"), RED)  # the last frame leads back to frame 1
run("--size", "6x4", "--frame", fms, "--index", "4", expect=2)
run("--size", "6x4", "--frame", os.path.join(WORK, "missing.fms"), "--index", "1", expect=1)

# --- The seed: "Any" draws its action from the seeded generator. ---
ACTIONS = ["Stretch", "Push", "Slide", "xDissolve", "xBlend", "Discover"]
with open(fms, "wb") as f:
    f.write(record(path=b"any"))
    f.write(record(effect=7, colour=0x0000FF, pure=1))
    f.write(record(effect=7, colour=0xFF0000, pure=1))
for seed in (5, 1234567):
    s = (seed * 134775813 + 1) & 0xFFFFFFFF
    action = (s * 6) >> 32
    first = run("--size", "16x8", "--frame", fms, "--index", "1", "--seed", str(seed))
    again = run("--size", "16x8", "--frame", fms, "--index", "1", "--seed", str(seed))
    check(f"played {ACTIONS[action]} " in first.stderr, f"seed {seed}: {first.stderr}")
    check(first.stderr == again.stderr and steps_of(first) == steps_of(again), f"seed {seed} repeats")

# --- Errors. ---
run("--size", "4x2", "--from", "#000000", "--to", "#FFFFFF", "--action", "Fade",
    "--direction", "None", expect=2)
run("--from", "#000000", "--to", "#FFFFFF", "--action", "xBlend", "--direction", "None", expect=2)
run("--size", "4x2", "--from", "#000000", "--to", "#FFFFFF", "--action", "xBlend",
    "--direction", "None", "--at", "1", expect=2)
run("--size", "16384x16384", "--from", "#000000", "--to", "#FFFFFF", "--action", "xBlend",
    "--direction", "None", expect=2)
run("--size", "0x2", "--from", "#000000", "--to", "#FFFFFF", "--action", "xBlend",
    "--direction", "None", expect=2)
run("--size", "4x2", "--from", "#00000G", "--to", "#FFFFFF", "--action", "xBlend",
    "--direction", "None", expect=2)
run("--size", "4x2", "--from", "#000000", "--to", "#FFFFFF", "--action", "Any",
    "--direction", "None", expect=2)
run("--size", "4x2", "--frame", fms, "--index", "1", "--steps", "3", expect=2)
proc = run("--size", "4x2", "--from", os.path.join(WORK, "nothing.jpg"), "--to", "#FFFFFF",
           "--action", "xBlend", "--direction", "None", expect=1)
check("nothing.jpg" in proc.stderr, f"the message names the picture: {proc.stderr}")
# The kinds only Windows decodes are refused natively in plain words.
for name in ("photo.png", "scan.TIFF"):
    proc = run("--size", "4x2", "--from", "#000000", "--to", os.path.join(WORK, name),
               "--action", "xBlend", "--direction", "None", expect=1)
    check(name in proc.stderr and "not available on this platform" in proc.stderr,
          f"{name}: {proc.stderr}")
# HEIC is the program's own: it loads natively too.
heic = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "pictures", "heic-quadrants.heic")
run("--size", "4x2", "--from", "#000000", "--to", heic, "--action", "xBlend", "--direction", "None")
# A dot size below 1 still dissolves; Steps 0 is the component's error (status 1).
run("--size", "4x2", "--from", "#000000", "--to", "#FFFFFF", "--action", "xDissolve",
    "--direction", "FromLeft", "--dot-size", "0", "--disolv-rate", "1")
proc = run("--size", "4x2", "--from", "#000000", "--to", "#FFFFFF", "--action", "Stretch",
           "--direction", "FromLeft", "--steps", "0", expect=1)
out = fresh("short")
proc = run("--size", "4x2", "--from", "#000000", "--to", "#FFFFFF", "--action", "xBlend",
           "--direction", "None", "--blend-rate", "2", "--at", "4", "--out", out, expect=1)
check("not reached" in proc.stderr, f"unreached step: {proc.stderr}")
proc = run("--help")
check("floor((x - left + 1/2)" in proc.stdout, "the help states the scaling rule")

if failures:
    print(f"{len(failures)} check(s) failed")
    sys.exit(1)
print("all checks passed")

#!/usr/bin/env python3
"""Checks velmora-fms dump against frame-set files built byte by byte here.

The files are made with struct.pack from the record layout (244 bytes per
record, little-endian), independently of the program's own writer, and the
tool's output is compared line for line with the expected text.

usage: fms_dump_test.py VELMORA_FMS WORK_DIR [--windows]
(--windows: the tool is the Windows build, run through a wrapper; every code
page Windows knows is then supported.)
"""
import os
import shutil
import struct
import subprocess
import sys

RECORD_SIZE = 244


def record(path=b"", effect=0, direction=0, dot=-1, speed=-1, colour=0x8000000F,
           pure=0, thumb_flag=0, thumb_no=0, still=3, length=None, gap=0x00,
           reserved=(0, 0), path_fill=0x00):
    """One record: offsets 0 length, 1 chars, 201 gap, 204 effect,
    208 direction, 209 gap, 212 dot size, 216 speed, 220 colour, 224 pure
    colour, 225 thumbnail flag, 226 gap, 228 thumbnail number, 232 still,
    236 and 240 reserved."""
    chars = path[:200].ljust(200, bytes([path_fill]))
    data = struct.pack("<B200s3siB3siiIBB2siiii",
                       len(path) if length is None else length, chars,
                       bytes([gap]) * 3, effect, direction, bytes([gap]) * 3,
                       dot, speed, colour, pure, thumb_flag, bytes([gap]) * 2,
                       thumb_no, still, reserved[0], reserved[1])
    assert len(data) == RECORD_SIZE
    return data


def line(index, kind, path, effect=0, direction=0, speed=-1, dot=-1,
         colour="0x8000000F", pure=0, still=3):
    return ('{"index":%d,"kind":"%s","path":%s,"effect":%d,"direction":%d,'
            '"speed":%d,"dot_size":%d,"colour":"%s","pure_colour":%d,"still":%d}'
            % (index, kind, path, effect, direction, speed, dot, colour, pure, still))


failures = []


def check(name, tool, args, want_out, want_code, want_err=None):
    run = subprocess.run([tool] + args, capture_output=True)
    out = run.stdout.decode("utf-8")
    err = run.stderr.decode("utf-8", "replace")
    problems = []
    if run.returncode != want_code:
        problems.append("exit code %d, expected %d" % (run.returncode, want_code))
    if out != want_out:
        problems.append("stdout:\n%s\nexpected:\n%s" % (out, want_out))
    for piece in want_err or []:
        if piece not in err:
            problems.append("stderr lacks %r: %r" % (piece, err))
    if problems:
        failures.append(name)
        print("FAIL %s\n  %s" % (name, "\n  ".join(problems)))
    else:
        print("ok   %s" % name)


def main():
    tool, work = sys.argv[1], sys.argv[2]
    windows = "--windows" in sys.argv[3:]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)

    def write(name, data):
        path = os.path.join(work, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    # A show of each kind of frame; the gaps, thumbnail fields and reserved
    # fields hold garbage that the dump must not show or trip over.
    show = write("show.fms",
                 record(b"Ocean", gap=0xAB, path_fill=0x5A, reserved=(7, -7)) +
                 record(b'C:\\Pics\\say "hi".jpg', effect=3, direction=16, dot=10,
                        speed=0, still=120, thumb_flag=1, thumb_no=5, gap=0xCD) +
                 record(b"", effect=7, pure=1, colour=0x00FF8000, still=0) +
                 record(b"C:\\ignored.bmp", pure=1, colour=0x80000010) +
                 record(b"", effect=-5, direction=255, dot=-1, speed=11,
                        colour=0xFFFFFFFF, still=-1))
    check("kinds and fields", tool, ["dump", show],
          "\n".join([
              line(0, "header", '"Ocean"'),
              line(1, "picture", '"C:\\\\Pics\\\\say \\"hi\\".jpg"', effect=3,
                   direction=16, speed=0, dot=10, still=120),
              line(2, "colour", '""', effect=7, colour="0x00FF8000", pure=1, still=0),
              line(3, "colour", '"C:\\\\ignored.bmp"', colour="0x80000010", pure=1),
              line(4, "empty", '""', effect=-5, direction=255, speed=11, dot=-1,
                   colour="0xFFFFFFFF", still=-1),
          ]) + "\n", 0)

    # A header record with an empty name is a header all the same.
    unnamed = write("unnamed.fms", record(b"") + record(b"a.jpg"))
    check("unnamed header", tool, ["dump", unnamed],
          line(0, "header", '""') + "\n" + line(1, "picture", '"a.jpg"') + "\n", 0)

    # Windows-1252 text, control characters escaped.
    latin = write("latin.fms", record(b"Gr\xfc\xdfe\x80\x81\x01\x1f\x7f.jpg"))
    check("code page 1252", tool, ["dump", latin, "--codepage", "1252"],
          line(0, "header", '"Grüße€\\u0081\\u0001\\u001F\\u007F.jpg"') + "\n", 0)

    # UTF-8 paths; an invalid byte becomes U+FFFD.
    utf8 = write("utf8.fms", record("日本\\x.jpg".encode("utf-8") + b"\xff"))
    check("code page 65001", tool, ["dump", "--codepage", "65001", utf8],
          line(0, "header", '"日本\\\\x.jpg\ufffd"') + "\n", 0)

    # A damaged length byte above 200 shows the 200 characters of the field.
    long_path = bytes(ord("a") + i % 26 for i in range(200))
    damaged = write("damaged.fms", record(long_path, length=250) + record(b"x", length=0))
    check("length byte above 200", tool, ["dump", damaged],
          line(0, "header", '"%s"' % long_path.decode()) + "\n" + line(1, "empty", '""') + "\n",
          0)

    # Whole records are printed before the error about the partial one.
    partial = write("partial.fms", record(b"Ocean") + record(b"a.jpg") + b"\x05" * 100)
    check("partial record", tool, ["dump", partial],
          line(0, "header", '"Ocean"') + "\n" + line(1, "picture", '"a.jpg"') + "\n", 1,
          ["byte offset 488", "beyond end of file"])

    short = write("short.fms", b"\x01" * 243)
    check("file shorter than one record", tool, ["dump", short], "", 1, ["byte offset 0"])

    empty = write("empty.fms", b"")
    check("empty file", tool, ["dump", empty], "", 0)

    forty = write("forty.fms", record(b"Big") + b"".join(
        record(b"p%02d.jpg" % i, effect=i % 8, still=i) for i in range(1, 41)))
    check("forty frames", tool, ["dump", forty],
          line(0, "header", '"Big"') + "\n" + "".join(
              line(i, "picture", '"p%02d.jpg"' % i, effect=i % 8, still=i) + "\n"
              for i in range(1, 41)), 0)

    check("missing file", tool, ["dump", os.path.join(work, "nothing.fms")], "", 2,
          ["no such file"])
    check("no arguments", tool, [], "", 2, ["usage:"])
    check("no file", tool, ["dump"], "", 2, ["usage:"])
    check("unknown command", tool, ["list", show], "", 2, ["usage:"])
    check("two files", tool, ["dump", show, show], "", 2, ["usage:"])
    check("code page missing", tool, ["dump", show, "--codepage"], "", 2, ["usage:"])
    check("code page not a number", tool, ["dump", show, "--codepage", "abc"], "", 2,
          ["usage:"])
    check("unknown code page", tool, ["dump", show, "--codepage", "2"], "", 2,
          ["code page 2 "])
    if not windows:
        check("code page without a native table", tool, ["dump", show, "--codepage", "950"],
              "", 2, ["code page 950 "])

    if failures:
        print("%d failed: %s" % (len(failures), ", ".join(failures)))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

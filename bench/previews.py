#!/usr/bin/env python3
"""Start to first painted frame for files that are hostile to preview.

The chooser (bench_chooser_probe paint) is started in turn on a PDF whose page
tree lists itself, on a 30000 x 30000 PNG of a few MB and on a normal PDF,
ROUNDS rounds of RUNS runs each, so that a change in the machine's load falls
on all three alike. Printed: per round the medians, the range and the ratios
to the normal PDF; last the medians over the rounds. The first two must not
be slower than the normal PDF by more than 10 %.

    previews.py BIN_DIR NORMAL_PDF SCRATCH_DIR OUT_JSON [RUNS] [ROUNDS]
"""
import json
import os
import statistics
import struct
import subprocess
import sys
import time
import zlib


def self_referencing_pdf():
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>",
               b"<< /Type /Pages /Kids [2 0 R] /Count 1000000 >>"]
    pdf = b"%PDF-1.4\n"
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(pdf))
        pdf += b"%d 0 obj\n%s\nendobj\n" % (number, body)
    xref = len(pdf)
    pdf += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    pdf += b"".join(b"%010d 00000 n \n" % offset for offset in offsets)
    pdf += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    return pdf


def huge_png(side):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff))
    row = b"\0" + b"\x80" * side
    compressor = zlib.compressobj(9)
    parts = [compressor.compress(row) for _ in range(side)]
    parts.append(compressor.flush())
    header = struct.pack(">IIBBBBB", side, side, 8, 0, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", b"".join(parts)) +
            chunk(b"IEND", b""))


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True,
                   timeout=120)
    return (time.perf_counter() - start) * 1000


def main():
    bin_dir, normal, scratch, out = sys.argv[1:5]
    runs = int(sys.argv[5]) if len(sys.argv) > 5 else 20
    rounds = int(sys.argv[6]) if len(sys.argv) > 6 else 5
    files = {"loop_pdf": os.path.join(scratch, "loop.pdf"),
             "huge_png": os.path.join(scratch, "huge.png"),
             "normal_pdf": normal}
    with open(files["loop_pdf"], "wb") as f:
        f.write(self_referencing_pdf())
    with open(files["huge_png"], "wb") as f:
        f.write(huge_png(30000))
    commands = {name: [f"{bin_dir}/bench_chooser_probe", "paint", path]
                for name, path in files.items()}
    for command in commands.values():  # warm the caches
        timed(command)
    results = []
    for _ in range(rounds):
        times = {name: [] for name in commands}
        for _ in range(runs):
            for name, command in commands.items():
                times[name].append(timed(command))
        figures = {}
        for name, values in times.items():
            figures[name] = statistics.median(values)
            figures[name + "_min"] = min(values)
            figures[name + "_max"] = max(values)
        for name in ("loop_pdf", "huge_png"):
            figures[name + "_ratio"] = figures[name] / figures["normal_pdf"]
        results.append(figures)
        print("round: " + ", ".join(
            f"{name} {figures[name]:.1f} ms ({figures[name + '_min']:.1f}-{figures[name + '_max']:.1f})"
            for name in commands) + ", ratios " + ", ".join(
            f"{name} {figures[name + '_ratio']:.3f}" for name in ("loop_pdf", "huge_png")),
            flush=True)
    overall = {k: statistics.median(r[k] for r in results) for k in results[0]}
    print("median of rounds: " + ", ".join(
        f"{name} {overall[name]:.1f} ms" for name in commands) + ", ratios " + ", ".join(
        f"{name} {overall[name + '_ratio']:.3f}" for name in ("loop_pdf", "huge_png")))
    with open(out, "w", encoding="utf-8") as f:
        json.dump({"runs": runs, "files": files, "rounds": results, "median": overall}, f,
                  indent=1)


if __name__ == "__main__":
    main()

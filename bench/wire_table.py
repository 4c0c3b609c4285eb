#!/usr/bin/env python3
"""Joins the library's transfer benchmark (CSV) and OpenOCD's counts into one table of
port accesses and TCK per 32-bit word, and optionally draws it as a bar chart in SVG.
usage: wire_table.py LIBRARY.csv OPENOCD.txt [PLOT.svg]"""
import csv
import sys

WORDS = 64 * 1024 // 4
LIBRARY_ROWS = [
    ("read, exact", "BM_Read64KiB/0"),
    ("read, fast, debug bus", "BM_Read64KiB/1"),
    ("read, fast, work area", "BM_Read64KiB/2"),
    ("write, exact", "BM_Write64KiB/0"),
    ("write, fast, debug bus", "BM_Write64KiB/1"),
    ("write, fast, work area", "BM_Write64KiB/2"),
    ("download + verify, exact", "BM_Download64KiBWithVerify/0"),
    ("download + verify, fast, debug bus", "BM_Download64KiBWithVerify/1"),
    ("download + verify, fast, work area, core 4 instr/TCK", "BM_Download64KiBWithVerify/2"),
    ("download + verify, fast, work area, core 1000 instr/TCK", "BM_Download64KiBWithVerify/3"),
]
# (label, operation, the run without a transfer whose cost is subtracted)
OPENOCD_ROWS = [
    ("read, OpenOCD", "read", "none"),
    ("write, OpenOCD", "write", "none"),
    ("write, OpenOCD download loop", "write_loop", "none"),
    ("download + verify, OpenOCD, core 4 instr/TCK", "download", "none"),
    ("download + verify, OpenOCD, core 1000 instr/TCK", "download@fast", "none@fast"),
    ("download + verify, OpenOCD download loop, core 1000 instr/TCK", "download_loop@fast", "none@fast"),
]


def library_rows(path):
    with open(path, newline="") as f:
        lines = [line for line in f if line.startswith("name,") or line.startswith('"BM_')]
    found = {row["name"]: row for row in csv.DictReader(lines)}
    for label, name in LIBRARY_ROWS:
        row = found[name]
        yield label, float(row["accesses_per_word"]), float(row["tck_per_word"])


def openocd_rows(path):
    counts = {}
    with open(path) as f:
        for line in f:
            op, accesses, tck = line.split()
            counts[op] = (int(accesses), int(tck))
    for label, op, without in OPENOCD_ROWS:
        accesses, tck = counts[op]
        base = counts[without]
        yield label, (accesses - base[0]) / WORDS, (tck - base[1]) / WORDS


def kib_per_second(accesses_per_word):
    return 1e6 / (accesses_per_word * 256)  # 256 words per KiB, 1 us per access


def svg(rows, path):
    width, bar, gap, left = 900, 16, 6, 430
    top = 30
    height = top + len(rows) * (bar + gap) + 30
    scale = (width - left - 70) / max(r[1] for r in rows)
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" font-family="sans-serif" '
           'font-size="12">',
           f'<text x="{left}" y="18">port accesses per 32-bit word, 64 KiB on the simulated board</text>']
    for i, (label, accesses, _tck) in enumerate(rows):
        y = top + i * (bar + gap)
        colour = "#2b7bb9" if "fast" in label else "#999999" if "exact" in label else "#d98b2b"
        out.append(f'<text x="{left - 6}" y="{y + bar - 4}" text-anchor="end">{label}</text>')
        out.append(f'<rect x="{left}" y="{y}" width="{accesses * scale:.1f}" height="{bar}" fill="{colour}"/>')
        out.append(f'<text x="{left + accesses * scale + 4:.1f}" y="{y + bar - 4}">{accesses:.1f}</text>')
    out.append("</svg>")
    with open(path, "w") as f:
        f.write("\n".join(out) + "\n")


def main():
    rows = list(library_rows(sys.argv[1])) + list(openocd_rows(sys.argv[2]))
    order = ["read", "write", "download"]
    rows.sort(key=lambda r: next(i for i, kind in enumerate(order) if r[0].startswith(kind)))
    print("| | port accesses / word | TCK / word | KiB/s at 1 us per access |")
    print("|---|---|---|---|")
    for label, accesses, tck in rows:
        print(f"| {label} | {accesses:.1f} | {tck:.1f} | {kib_per_second(accesses):.1f} |")
    if len(sys.argv) > 3 and sys.argv[3]:
        svg(rows, sys.argv[3])


if __name__ == "__main__":
    main()

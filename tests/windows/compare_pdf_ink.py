#!/usr/bin/env python3
"""Compares where two PDFs put their ink, word by word: each word of the first
(as pdftotext -bbox finds it) is looked for in both pages rasterised at 600 dpi,
and the ink boxes found there must agree.

The first word of each line is placed by its box: the bottom of its ink (its
baseline side; a glyph taken from another font may be taller) and its left or
its right edge, whichever agrees (text aligned right or centred is placed from
its width), must lie within TOLERANCE. The words after it and every
word's width may differ by up to ADVANCE_TOLERANCE, since another font engine
may round each glyph's advance to its own device dots.

usage: compare_pdf_ink.py A.pdf B.pdf TOLERANCE_MM ADVANCE_TOLERANCE_MM [--any-page-size]
Exit status 0 when they agree; the differences are printed otherwise.
"""
import html
import re
import subprocess
import sys
import tempfile

DPI = 600
MM_PER_DOT = 25.4 / DPI
WORD = re.compile(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">(.*?)</word>')
LINE = re.compile(r'<line xMin=.*?</line>', re.S)
PAGE = re.compile(r'<page width="([\d.]+)" height="([\d.]+)">')


def page_size_pt(pdf):
    text = subprocess.run(["pdftotext", "-bbox-layout", "-f", "1", "-l", "1", pdf, "-"], check=True,
                          capture_output=True, text=True).stdout
    size = PAGE.search(text)
    return float(size.group(1)), float(size.group(2)), text


def raster(pdf, width_dots, height_dots, folder, name):
    """The first page as 8-bit grey, cut to width x height dots from the top left."""
    base = f"{folder}/{name}"
    subprocess.run(["pdftoppm", "-r", str(DPI), "-gray", "-singlefile", "-f", "1", "-l", "1", "-x", "0", "-y", "0",
                    "-W", str(width_dots), "-H", str(height_dots), pdf, base], check=True)
    data = open(base + ".pgm", "rb").read()
    header = re.match(rb"P5\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
    return int(header.group(1)), int(header.group(2)), data[header.end():]


def ink_box(image, left, top, right, bottom):
    width, height, dots = image
    box = None
    for y in range(max(0, top), min(height, bottom)):
        row = dots[y * width + max(0, left):y * width + min(width, right)]
        xs = [i for i, v in enumerate(row) if v < 128]
        if xs:
            x0, x1 = xs[0] + max(0, left), xs[-1] + max(0, left)
            box = [x0, y, x1, y] if box is None else [min(box[0], x0), box[1], max(box[2], x1), y]
    return box


def main(argv):
    if len(argv) < 5:
        print(__doc__)
        return 2
    a_pdf, b_pdf, tolerance, width_tolerance = argv[1], argv[2], float(argv[3]), float(argv[4])
    any_size = "--any-page-size" in argv[5:]
    a_w, a_h, a_text = page_size_pt(a_pdf)
    b_w, b_h, _ = page_size_pt(b_pdf)
    faults = []
    size_note = f"page {a_w * 25.4 / 72:.1f} x {a_h * 25.4 / 72:.1f} mm against {b_w * 25.4 / 72:.1f} x {b_h * 25.4 / 72:.1f} mm"
    if not any_size and max(abs(a_w - b_w), abs(a_h - b_h)) * 25.4 / 72 > tolerance:
        faults.append(size_note)
    width_dots, height_dots = round(a_w / 72 * DPI), round(a_h / 72 * DPI)
    with tempfile.TemporaryDirectory() as folder:
        a = raster(a_pdf, width_dots, height_dots, folder, "a")
        b = raster(b_pdf, width_dots, height_dots, folder, "b")
    if a[0] != b[0] or a[1] != b[1]:
        faults.append(f"rasters of {a[0]} x {a[1]} against {b[0]} x {b[1]} dots")
        b = None
    worst_position = worst_width = 0.0
    words = 0
    pad_x, pad_y = round(0.4 / MM_PER_DOT), round(1.0 / MM_PER_DOT)
    firsts = {line.start() + first.start() for line in LINE.finditer(a_text)
              for first in [WORD.search(line.group(0))] if first}
    for m in WORD.finditer(a_text) if b else []:
        word = html.unescape(m.group(5))
        first_in_line = m.start() in firsts
        x0, y0, x1, y1 = [float(m.group(i)) / 72 * DPI for i in range(1, 5)]
        region = (int(x0) - pad_x, int(y0) - pad_y, int(x1) + pad_x, int(y1) + pad_y)
        box_a, box_b = ink_box(a, *region), ink_box(b, *region)
        if box_a is None:
            continue  # a word without ink (spaces): nothing to place
        words += 1
        if box_b is None:
            faults.append(f"\"{word}\": no ink where the first PDF has it")
            continue
        left, top, right, bottom = [(q - p) * MM_PER_DOT for p, q in zip(box_a, box_b)]
        width = abs((box_b[2] - box_b[0]) - (box_a[2] - box_a[0])) * MM_PER_DOT
        if first_in_line:
            position = max(abs(bottom), min(abs(left), abs(right)))
            worst_position = max(worst_position, position)
            if position > tolerance:
                faults.append(f"\"{word}\" (first on its line) {position:.3f} mm away")
        else:
            width = max(width, abs(bottom), abs(left))
        worst_width = max(worst_width, width)
        if width > width_tolerance:
            faults.append(f"\"{word}\" {width:.3f} mm off in its advance")
    if words == 0:
        faults.append("no words with ink")
    for fault in faults[:20]:
        print(fault)
    print(f"{words} words: lines placed within {worst_position:.3f} mm, advances within {worst_width:.3f} mm;"
          f" {size_note}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

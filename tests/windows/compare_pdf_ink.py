#!/usr/bin/env python3
"""Compares where two PDFs put their ink, page by page and word by word: each
word of the first (as pdftotext -bbox finds it) is looked for in both pages
rasterised at 600 dpi, and the ink boxes found there must agree.

Every word is placed by its box: the bottom of its ink (its baseline side; a
glyph taken from another font may be taller) and its left or its right edge,
whichever agrees (text aligned right or centred is placed from its width), must
lie within TOLERANCE. Its width may differ by up to WIDTH_TOLERANCE: another
font engine may draw a synthesised bold with heavier strokes.

usage: compare_pdf_ink.py A.pdf B.pdf TOLERANCE_MM WIDTH_TOLERANCE_MM [--any-page-size]
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
PAGE = re.compile(r'<page width="([\d.]+)" height="([\d.]+)">(.*?)</page>', re.S)


def pages_of(pdf):
    """Each page's width and height in points and its words' boxes."""
    text = subprocess.run(["pdftotext", "-bbox", pdf, "-"], check=True, capture_output=True, text=True).stdout
    return [(float(p.group(1)), float(p.group(2)), p.group(3)) for p in PAGE.finditer(text)]


def raster(pdf, page, width_dots, height_dots, folder, name):
    """One page as 8-bit grey, cut to width x height dots from the top left."""
    base = f"{folder}/{name}"
    subprocess.run(["pdftoppm", "-r", str(DPI), "-gray", "-singlefile", "-f", str(page), "-l", str(page), "-x", "0",
                    "-y", "0", "-W", str(width_dots), "-H", str(height_dots), pdf, base], check=True)
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


class Comparison:
    def __init__(self, tolerance, width_tolerance):
        self.tolerance, self.width_tolerance = tolerance, width_tolerance
        self.faults = []
        self.worst_position = self.worst_width = 0.0
        self.words = 0

    def page(self, number, words_text, a, b):
        pad_x, pad_y = round(0.4 / MM_PER_DOT), round(1.0 / MM_PER_DOT)
        for m in WORD.finditer(words_text):
            word = html.unescape(m.group(5))
            x0, y0, x1, y1 = [float(m.group(i)) / 72 * DPI for i in range(1, 5)]
            region = (int(x0) - pad_x, int(y0) - pad_y, int(x1) + pad_x, int(y1) + pad_y)
            box_a, box_b = ink_box(a, *region), ink_box(b, *region)
            if box_a is None:
                continue  # a word without ink (spaces): nothing to place
            self.words += 1
            if box_b is None:
                self.faults.append(f"page {number}: \"{word}\": no ink where the first PDF has it")
                continue
            left, top, right, bottom = [(q - p) * MM_PER_DOT for p, q in zip(box_a, box_b)]
            position = max(abs(bottom), min(abs(left), abs(right)))
            width = abs((box_b[2] - box_b[0]) - (box_a[2] - box_a[0])) * MM_PER_DOT
            self.worst_position = max(self.worst_position, position)
            self.worst_width = max(self.worst_width, width)
            if position > self.tolerance:
                self.faults.append(f"page {number}: \"{word}\" {position:.3f} mm away")
            if width > self.width_tolerance:
                self.faults.append(f"page {number}: \"{word}\" {width:.3f} mm wider or narrower")


def main(argv):
    if len(argv) < 5:
        print(__doc__)
        return 2
    a_pdf, b_pdf, tolerance, width_tolerance = argv[1], argv[2], float(argv[3]), float(argv[4])
    any_size = "--any-page-size" in argv[5:]
    a_pages, b_pages = pages_of(a_pdf), pages_of(b_pdf)
    result = Comparison(tolerance, width_tolerance)
    if len(a_pages) != len(b_pages) or not a_pages:
        result.faults.append(f"{len(a_pages)} pages against {len(b_pages)}")
    size_note = ""
    with tempfile.TemporaryDirectory() as folder:
        for number, ((a_w, a_h, a_words), (b_w, b_h, _)) in enumerate(zip(a_pages, b_pages), start=1):
            size_note = (f"page {a_w * 25.4 / 72:.1f} x {a_h * 25.4 / 72:.1f} mm"
                         f" against {b_w * 25.4 / 72:.1f} x {b_h * 25.4 / 72:.1f} mm")
            if not any_size and max(abs(a_w - b_w), abs(a_h - b_h)) * 25.4 / 72 > tolerance:
                result.faults.append(f"page {number}: {size_note}")
            width_dots, height_dots = round(a_w / 72 * DPI), round(a_h / 72 * DPI)
            a = raster(a_pdf, number, width_dots, height_dots, folder, "a")
            b = raster(b_pdf, number, width_dots, height_dots, folder, "b")
            if a[:2] != b[:2]:
                result.faults.append(f"page {number}: rasters of {a[0]} x {a[1]} against {b[0]} x {b[1]} dots")
                continue
            result.page(number, a_words, a, b)
    if result.words == 0:
        result.faults.append("no words with ink")
    for fault in result.faults[:20]:
        print(fault)
    print(f"{len(a_pages)} pages, {result.words} words: placed within {result.worst_position:.3f} mm,"
          f" widths within {result.worst_width:.3f} mm; {size_note}")
    return 1 if result.faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

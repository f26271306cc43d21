#!/usr/bin/env python3
"""Compares the text of two PDFs word by word: same pages, same words in the
same order, each word's box within a tolerance in millimetres.

usage: compare_pdf_text.py A.pdf B.pdf TOLERANCE_MM
Exit status 0 when they agree; the first differences are printed otherwise.
"""
import html
import re
import subprocess
import sys

MM_PER_POINT = 25.4 / 72
WORD = re.compile(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">(.*?)</word>')
PAGE = re.compile(r'<page width="([\d.]+)" height="([\d.]+)">')


def words(pdf):
    text = subprocess.run(["pdftotext", "-bbox", pdf, "-"], check=True, capture_output=True, text=True).stdout
    pages = []
    for chunk in text.split("<page ")[1:]:
        size = PAGE.match("<page " + chunk)
        found = [(html.unescape(m.group(5)), [float(m.group(i)) * MM_PER_POINT for i in range(1, 5)])
                 for m in WORD.finditer(chunk)]
        pages.append(([float(size.group(1)) * MM_PER_POINT, float(size.group(2)) * MM_PER_POINT], found))
    return pages


def main(argv):
    a, b, tolerance = words(argv[1]), words(argv[2]), float(argv[3])
    faults = []
    if len(a) != len(b):
        faults.append(f"{len(a)} pages against {len(b)}")
    for n, ((size_a, words_a), (size_b, words_b)) in enumerate(zip(a, b), 1):
        if max(abs(x - y) for x, y in zip(size_a, size_b)) > tolerance:
            faults.append(f"page {n}: {size_a} mm against {size_b} mm")
        if [w for w, _ in words_a] != [w for w, _ in words_b]:
            faults.append(f"page {n}: other words: {[w for w, _ in words_a][:8]} against {[w for w, _ in words_b][:8]}")
            continue
        for (word, box_a), (_, box_b) in zip(words_a, words_b):
            off = max(abs(x - y) for x, y in zip(box_a, box_b))
            if off > tolerance:
                faults.append(f"page {n}: \"{word}\" {off:.3f} mm away")
    words_total = sum(len(w) for _, w in a)
    if words_total == 0:
        faults.append("no text at all")
    for fault in faults[:20]:
        print(fault)
    if not faults:
        print(f"{len(a)} pages, {words_total} words within {tolerance} mm")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

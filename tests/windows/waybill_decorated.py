#!/usr/bin/env python3
"""The sample waybill (as `ordavel-cli dump --embed` writes it, on stdin) with
the sender's name underlined and the receiver's struck out, so that a print
shows both decorations. JSON on stdout."""
import json
import sys

DECORATIONS = {"王小明": "U", "李华": "T"}

document = json.load(sys.stdin)
found = 0
for box in document["boxes"]:
    if box.get("wValue") in DECORATIONS:
        box[DECORATIONS[box["wValue"]]] = True
        found += 1
if found != len(DECORATIONS):
    sys.exit(f"waybill_decorated.py: {found} of {len(DECORATIONS)} boxes found in the sample")
json.dump(document, sys.stdout, ensure_ascii=False)

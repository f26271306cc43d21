#!/usr/bin/env bash
# scripts/run without a display: renders the template it is given (not the
# sample) to a PDF, fails when the render fails, and turns -p into advice.
# Usage: check_run.sh (from the source folder, after a build)
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
headless() { env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR TMPDIR="$scratch" scripts/run "$@"; }

echo '{"pageWidth": 10, "pageHeight": 5,
       "boxes": [{"cType": 2, "pPewW": false, "pX": 1, "pY": 1, "pW": 6, "pH": 1, "wValue": "RunScriptCheck"}]}' \
  >"$scratch/mine.json"
build/tools/ordavel-cli build "$scratch/mine.json" -o "$scratch/mine.oxf"

out="$(headless "$scratch/mine.oxf")" || fail "scripts/run FILE failed: $out"
grep -q "$scratch/ordavel-mine.pdf" <<<"$out" || fail "scripts/run did not name its PDF: $out"
text="$(pdftotext "$scratch/ordavel-mine.pdf" -)"
grep -q RunScriptCheck <<<"$text" || fail "the PDF is not the given template: $text"
pdfinfo "$scratch/ordavel-mine.pdf" | grep -Eq 'Page size: +28[34](\.[0-9]+)? x 14[12](\.[0-9]+)? pts' || fail "the PDF has the wrong paper size"
# Its private Qt runtime folder is gone.
[ -z "$(find "$scratch" -mindepth 1 -maxdepth 1 -type d)" ] || fail "scripts/run left a folder behind"

if headless "$scratch/missing.oxf" >"$scratch/log" 2>&1; then fail "scripts/run succeeded on a missing file"; fi
[ ! -e "$scratch/ordavel-missing.pdf" ] || fail "a failed render left a PDF"

if headless "$scratch/mine.oxf" -p >"$scratch/log" 2>&1; then fail "scripts/run -p succeeded without a display"; fi
grep -q "ordavel-cli print" "$scratch/log" || fail "scripts/run -p did not say how to print: $(cat "$scratch/log")"

out="$(headless)" || fail "scripts/run without a file failed: $out"
[ -s "$scratch/ordavel-waybill.pdf" ] || fail "scripts/run without a file did not render the sample"
echo "scripts/run ok"

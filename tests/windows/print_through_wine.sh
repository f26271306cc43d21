#!/usr/bin/env bash
# Prints the sample waybill with ordavel-cli.exe under Wine to a cups-pdf queue
# (Wine hands its printers to CUPS through its PostScript driver), then compares
# the ink of the page cups-pdf wrote with the Linux render of the same template
# (compare_pdf_ink.py): each word placed within TOLERANCE millimetres. Wine's
# PostScript driver prints on a page size of the queue's PPD, not the custom
# paper, and its text as outlines, so the page size and the words are not compared.
#
#   print_through_wine.sh WINE CLI.exe LINUX-CLI TEMPLATE TOLERANCE_MM WORK-DIR
# Needs root (its own CUPS scheduler unless one runs) and printer-driver-cups-pdf.
set -euo pipefail
wine=$1 cli=$2 linux_cli=$3 template=$4 tolerance=$5 work=$6
here="$(cd "$(dirname "$0")" && pwd)"
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
[ -e "$ppd" ] && [ -x /usr/sbin/cupsd ] || { echo "print_through_wine: cups-pdf is not installed" >&2; exit 1; }

started_cupsd=""
queue="ordavel-wine-$$"
cleanup() {
  lpadmin -x "$queue" 2>/dev/null || true
  [ -z "$started_cupsd" ] || kill "$started_cupsd" 2>/dev/null || true
}
trap cleanup EXIT
if ! lpstat -r 2>/dev/null | grep -q "is running"; then
  /usr/sbin/cupsd -f >/dev/null 2>&1 &
  started_cupsd=$!
  for _ in $(seq 100); do lpstat -r 2>/dev/null | grep -q "is running" && break; sleep 0.2; done
fi
lpadmin -p "$queue" -E -v cups-pdf:/ -P "$ppd" 2>/dev/null

# cups-pdf writes root's jobs into the Out folder of its configuration.
out="$(sed -n 's/^Out //p' /etc/cups/cups-pdf.conf | sed "s|\${HOME}|$HOME|")"
out="${out:-/var/spool/cups-pdf/ANONYMOUS}"
mkdir -p "$out" "$work"
before="$(ls "$out"/*.pdf 2>/dev/null | sort || true)"

"$linux_cli" render "$template" -o "$work/linux.pdf" >/dev/null
"$wine" "$cli" print "Z:${template//\//\\}" --printer "$queue" --calibration none

pdf=""
for _ in $(seq 240); do
  pdf="$(comm -13 <(echo "$before") <(ls "$out"/*.pdf 2>/dev/null | sort) | head -n1)"
  [ -n "$pdf" ] && break
  sleep 0.25
done
[ -n "$pdf" ] || { echo "print_through_wine: cups-pdf wrote no PDF within 60 s" >&2; exit 1; }
sleep 1 # cups-pdf may still be closing the file
mv "$pdf" "$work/wine-cups.pdf"
python3 "$here/compare_pdf_ink.py" "$work/linux.pdf" "$work/wine-cups.pdf" "$tolerance" 0.3 --any-page-size

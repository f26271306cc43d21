#!/usr/bin/env bash
# Prints a template under Wine to a cups-pdf queue (Wine hands its
# printers to CUPS through its PostScript driver) twice: with ordavel-cli.exe
# print, and with the designer's own command line, `ordavel.exe 运单.oxf -p`
# (a template named in Chinese, the print dialog answered with Enter under
# Xvfb). The ink of each page cups-pdf wrote is compared with the Linux render
# of the same template (compare_pdf_ink.py): each word placed within TOLERANCE
# millimetres. Wine's PostScript driver prints on a page size of the queue's
# PPD, not the custom paper, and its text as outlines, so the page size and the
# words are not compared.
#
#   print_through_wine.sh WINE CLI.exe DESIGNER.exe LINUX-CLI TEMPLATE TOLERANCE_MM WORK-DIR
# Needs root (its own CUPS scheduler unless one runs), printer-driver-cups-pdf,
# Xvfb and xdotool.
set -euo pipefail
wine=$1 cli=$2 designer=$3 linux_cli=$4 template=$5 tolerance=$6 work=$7
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/cups_pdf_queue.sh"

queue="ordavel-wine-$$"
old_default=""
cleanup() {
  [ -z "$old_default" ] || lpadmin -d "$old_default" 2>/dev/null || true
  cups_pdf_queue_stop
}
trap cleanup EXIT
cups_pdf_queue_start "$queue" || { echo "print_through_wine: no cups-pdf queue" >&2; exit 1; }
mkdir -p "$work"

# Waits up to 60 s for the next PDF cups-pdf writes and moves it to WORK/NAME.
failed=0
take_printed() {
  local pdf=""
  for _ in $(seq 240); do
    pdf="$(new_pdfs | head -n1)"
    [ -n "$pdf" ] && break
    sleep 0.25
  done
  [ -n "$pdf" ] || { echo "print_through_wine: cups-pdf wrote no PDF within 60 s" >&2; return 1; }
  sleep 1 # cups-pdf may still be closing the file
  mv "$pdf" "$work/$1"
}

"$linux_cli" render "$template" -o "$work/linux.pdf" >/dev/null

# Wine's PostScript driver puts a custom size on a sheet of the PPD (it lists
# no spooler forms): the tool says so with both sizes and prints nothing,
# until told to print all the same.
refused() { # refused ARGS...: the tool run with ARGS tells the mismatch and fails
  if "$wine" "$cli" "$@" 2>"$work/refused.txt"; then
    echo "print_through_wine: $* printed on a sheet its driver does not have" >&2
    failed=1
  elif ! grep -q "将使用 .* 毫米的纸张，模板的纸张是 .* 毫米" "$work/refused.txt"; then
    echo "print_through_wine: $* told no paper mismatch: $(cat "$work/refused.txt")" >&2
    failed=1
  fi
}
nothing_printed() { # nothing_printed WHAT: no page came out since the queue was marked
  sleep 2
  if [ -n "$(new_pdfs)" ]; then
    echo "print_through_wine: $1 came out although the paper was refused" >&2
    failed=1
  fi
}
refused print "Z:${template//\//\\}" --printer "$queue" --calibration none
nothing_printed "a page"
"$wine" "$cli" print "Z:${template//\//\\}" --printer "$queue" --calibration none --allow-paper-mismatch
take_printed cli.pdf
echo "print_through_wine: ordavel-cli.exe print"
python3 "$here/compare_pdf_ink.py" "$work/linux.pdf" "$work/cli.pdf" "$tolerance" 0.3 --any-page-size || failed=1

# A reprint of that job and a calibration page of the waybill's size are
# refused alike, and print nothing.
cups_pdf_queue_mark
job="$("$wine" "$cli" journal --json | python3 -c 'import json, sys; print(max(j["id"] for j in json.load(sys.stdin)))')"
refused journal reprint "$job" --printer "$queue"
refused calibration-page --paper 23,12.7 --printer "$queue"
nothing_printed "a reprint or calibration page"

# The designer prints to the default printer, after the print dialog.
old_default="$(lpstat -d 2>/dev/null | sed -n 's/^system default destination: //p')"
lpadmin -d "$queue"
cp "$template" "$work/运单.oxf"
# A Wine server left from a program without a display would keep the dialog off Xvfb.
wineserver -k 2>/dev/null || true
wineserver -w
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  cd "$1" && "$2" "$3" 运单.oxf -p &
  designer=$!
  for _ in $(seq 120); do
    dialog="$(xdotool search --name "^(Print|打印)\$" 2>/dev/null | head -n1)"
    [ -n "$dialog" ] && break
    sleep 0.5
  done
  [ -n "$dialog" ] || { echo "print_through_wine: no print dialog within 60 s" >&2; kill $designer; exit 1; }
  sleep 1
  xdotool windowfocus --sync "$dialog" 2>/dev/null
  xdotool key Return
  # The driver'"'"'s sheet is not the paper: the designer asks before printing.
  for _ in $(seq 60); do
    question="$(xdotool search --name "^打印文件\$" 2>/dev/null | head -n1)"
    [ -n "$question" ] && break
    sleep 0.5
  done
  [ -n "$question" ] || { echo "print_through_wine: the designer did not ask about the paper" >&2; kill $designer; exit 1; }
  sleep 1
  xdotool windowfocus --sync "$question" 2>/dev/null
  xdotool key Return
  wait $designer' _ "$work" "$wine" "$designer"
take_printed designer.pdf
echo "print_through_wine: ordavel.exe 运单.oxf -p"
python3 "$here/compare_pdf_ink.py" "$work/linux.pdf" "$work/designer.pdf" "$tolerance" 0.3 --any-page-size || failed=1
exit $failed

#!/usr/bin/env bash
# The print service under Wine, driven from Linux over loopback:
#  1. ordavel-cli.exe serve in the Wine prefix, a token made with
#     ordavel-cli.exe token add, one record POSTed with curl; the page comes
#     out of a cups-pdf queue that Wine's printing hands it to, its ink
#     compared with the Linux render of the same record (each word within
#     TOLERANCE mm) and its paper reported by pdfinfo beside the template's;
#  2. a job of many records, the service killed (SIGKILL to the Wine process)
#     once its first spooler job came out and started again: every record
#     comes out exactly once (the pages of the PDFs, one per record, and the
#     record ranges the spooler jobs' titles name, which cups-pdf keeps as
#     the PDFs' titles);
#  3. ordavel-service.exe, the windowless launcher (a GUI-subsystem program),
#     starts the service and takes it with it when it is ended.
# Wine 8's spooler lists no jobs (EnumJobsW is a stub) and forgets a job once
# its document ends, so the service cannot learn that a job printed: records
# handed over stay "printing"; the test checks that none is left queued and
# none is sent twice.
#
#   service_through_wine.sh WINE CLI.exe SERVICE.exe LINUX-CLI TEMPLATE CSV TOLERANCE_MM WORK-DIR
# TEMPLATE has the fields of CSV's columns. Needs root (its own CUPS scheduler
# unless one runs), printer-driver-cups-pdf, curl, pdfinfo and python3.
set -euo pipefail
wine=$1 cli=$2 launcher=$3 linux_cli=$4 template=$5 csv=$6 tolerance=$7 work=$8
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/cups_pdf_queue.sh"
winpath() { echo "Z:${1//\//\\}"; }

queue="ordavel-wsvc-$$"
service_pid=""
cleanup() {
  [ -z "$service_pid" ] || kill -9 "$service_pid" 2>/dev/null || true
  cups_pdf_queue_stop
}
trap cleanup EXIT
cups_pdf_queue_start "$queue" || { echo "service_through_wine: no cups-pdf queue" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work/templates" "$work/printed"

# A fresh journal and tokens file in the prefix: the user's own folders.
appdata="$WINEPREFIX/drive_c/users/$(id -un)/AppData"
rm -rf "$appdata/Local/ordavel" "$appdata/Roaming/ordavel"
cp "$template" "$work/templates/waybill.oxf"
token="$("$wine" "$cli" token add wine-test 2>/dev/null | tr -d '\r' | tail -n1)"
[ ${#token} -eq 64 ] || { echo "service_through_wine: token add gave \"$token\"" >&2; exit 1; }
[ -e "$appdata/Roaming/ordavel/service.ini" ] || { echo "service_through_wine: no tokens file in %APPDATA%\\ordavel" >&2; exit 1; }

port=$((17400 + $$ % 400))
base="http://127.0.0.1:$port"
call() { curl -sS --max-time 20 -H "Authorization: Bearer $token" "$@"; }
start_service() {
  (cd "$work" && exec "$wine" "$cli" serve --port "$port" --templates "$(winpath "$work/templates")") \
    >>"$work/serve.log" 2>&1 &
  service_pid=$!
  for _ in $(seq 240); do
    curl -s --max-time 2 "$base/v1/info" >/dev/null 2>&1 && return 0
    sleep 0.5
  done
  echo "service_through_wine: the service did not answer within 120 s" >&2
  cat "$work/serve.log" >&2
  return 1
}
stop_service() { kill -9 "$service_pid" 2>/dev/null || true; wait "$service_pid" 2>/dev/null || true; service_pid=""; }
# The records of CSV lines FIRST..LAST as the API's JSON records.
records() {
  python3 - "$csv" "$1" "$2" <<'PY'
import csv, json, sys
rows = list(csv.DictReader(open(sys.argv[1], encoding="utf-8")))
first, last = int(sys.argv[2]), int(sys.argv[3])
print(json.dumps([rows[(i - 1) % len(rows)] for i in range(first, last + 1)], ensure_ascii=False))
PY
}
post_job() { # post_job FIRST LAST KEY: prints the new job's id
  local body
  body="$(printf '{"template":"waybill","printer":"%s","key":"%s","records":%s}' "$queue" "$3" "$(records "$1" "$2")")"
  call -X POST -H "Content-Type: application/json" --data-binary "$body" "$base/v1/jobs" |
    python3 -c 'import json,sys; print(json.load(sys.stdin)["id"])'
}
# The states of job ID's records, counted: "printing=3 queued=1".
states() {
  call "$base/v1/jobs/$1" | python3 -c '
import collections, json, sys
job = json.load(sys.stdin)
print(" ".join(f"{k}={v}" for k, v in sorted(collections.Counter(r["state"] for r in job["records"]).items())))'
}
# Waits until none of job ID's records is queued, and cups-pdf has written PAGES pages in all.
wait_out() {
  local id=$1 pages=$2 got=0
  for _ in $(seq 600); do
    got=0
    for f in $(new_pdfs); do got=$((got + $(pdfinfo "$f" 2>/dev/null | sed -n 's/^Pages: *//p' || echo 0))); done
    if [ "$got" -ge "$pages" ] && ! states "$id" | grep -q queued; then sleep 2; return 0; fi
    sleep 0.5
  done
  echo "service_through_wine: $got of $pages pages came out; job $id: $(states "$id")" >&2
  return 1
}

failed=0
start_service
[ "$(curl -s "$base/v1/info" | python3 -c 'import json,sys; print(json.load(sys.stdin)["name"])')" = ordavel ] || failed=1
# Wine learns of a CUPS queue made just before it started a moment later: look for 30 s.
listed=0
for _ in $(seq 60); do
  call "$base/v1/printers" | grep -q "\"$queue\"" && { listed=1; break; }
  sleep 0.5
done
[ "$listed" = 1 ] || { echo "service_through_wine: /v1/printers does not list $queue" >&2; failed=1; }

# 1. One record, compared with the Linux render of the same record.
id="$(post_job 1 1 one)"
wait_out "$id" 1
first="$(new_pdfs | head -n1)"
cp "$first" "$work/printed/one.pdf"
echo "service_through_wine: one record: $(states "$id"); spooler job \"$(basename "$first")\""
head -n1 "$csv" >"$work/one.csv"
sed -n 2p "$csv" >>"$work/one.csv"
"$linux_cli" render "$template" --data "$work/one.csv" -o "$work/linux.pdf" >/dev/null
python3 "$here/compare_pdf_ink.py" "$work/linux.pdf" "$work/printed/one.pdf" "$tolerance" 0.3 --any-page-size || failed=1
linux_paper="$(pdfinfo "$work/linux.pdf" | sed -n 's/^Page size: *//p')"
wine_paper="$(pdfinfo "$work/printed/one.pdf" | sed -n 's/^Page size: *//p')"
echo "service_through_wine: paper: template $linux_paper, printed through Wine $wine_paper"
states "$id" | grep -qx 'printing=1' || { echo "service_through_wine: job $id: $(states "$id")" >&2; failed=1; }

# 2. Killed once the first of several spooler jobs came out, then started again.
total=120
cups_pdf_queue_mark
id="$(post_job 1 "$total" many)"
for _ in $(seq 600); do [ -n "$(new_pdfs)" ] && break; sleep 0.25; done
echo "service_through_wine: killed after \"$(basename "$(new_pdfs | head -n1)")\": $(states "$id")"
stop_service
start_service
wait_out "$id" "$total"
echo "service_through_wine: after the restart: $(states "$id")"
python3 - "$id" "$total" $(new_pdfs) <<'PY' || failed=1
import re, subprocess, sys
job, total, files = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3:]
count = [0] * (total + 1)
pages = 0
for f in files:
    info = subprocess.run(["pdfinfo", f], capture_output=True, text=True).stdout
    pages += int(re.search(r"Pages:\s*(\d+)", info).group(1))
    # The spooler job's title names its records: "ordavel-journal JOB:FIRST-LAST[,JOB:N...]".
    title = re.search(r"Title:\s*ordavel-journal (\S+)", info)
    if not title:
        sys.exit(f"service_through_wine: {f} names no records")
    for part in title.group(1).split(","):
        owner, _, span = part.partition(":")
        first, _, last = span.partition("-")
        if int(owner) == job:
            for n in range(int(first), int(last or first) + 1):
                count[n] += 1
twice = [n for n in range(1, total + 1) if count[n] > 1]
never = [n for n in range(1, total + 1) if count[n] == 0]
print(f"service_through_wine: {len(files)} spooler jobs, {pages} pages for {total} records; twice {twice}, never {never}")
sys.exit(0 if pages == total and not twice and not never else 1)
PY
states "$id" | grep -q queued && { echo "service_through_wine: records still queued" >&2; failed=1; }
stop_service

# 3. The launcher: a GUI-subsystem program that starts the service and ends it with itself.
[[ "$(x86_64-w64-mingw32-objdump -p "$launcher" | grep Subsystem)" == *"(Windows GUI)"* ]] ||
  { echo "service_through_wine: ordavel-service.exe is not a GUI-subsystem program" >&2; failed=1; }
rm -f "$appdata/Local/ordavel/print-service.log"
"$wine" "$launcher" --port "$port" --templates "$(winpath "$work/templates")" >/dev/null 2>&1 &
launched=$!
answered=0
for _ in $(seq 240); do curl -s --max-time 2 "$base/v1/info" >/dev/null 2>&1 && { answered=1; break; }; sleep 0.5; done
[ $answered -eq 1 ] || { echo "service_through_wine: the launcher's service did not answer" >&2; failed=1; }
grep -q "listening on http://127.0.0.1:$port" "$appdata/Local/ordavel/print-service.log" 2>/dev/null ||
  { echo "service_through_wine: the service's log has no listening line" >&2; failed=1; }
"$wine" taskkill /F /IM ordavel-service.exe >/dev/null 2>&1 || true
gone=0
for _ in $(seq 40); do curl -s --max-time 1 "$base/v1/info" >/dev/null 2>&1 || { gone=1; break; }; sleep 0.5; done
[ $gone -eq 1 ] || { echo "service_through_wine: the service outlived its launcher" >&2; failed=1; }
wait "$launched" 2>/dev/null || true
"$wine" taskkill /F /IM ordavel-cli.exe >/dev/null 2>&1 || true
exit $failed

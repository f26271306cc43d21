#!/usr/bin/env bash
# A shop of two stations, one of each build, sharing one print queue in a
# PostgreSQL 15 of the test's own (initdb and pg_ctl in a temporary folder,
# as nobody under root, listening on 127.0.0.1 only: Wine's sockets have no
# Unix domain). The Linux station is LINUX-CLI serve, with folders of its own;
# the Windows station is ordavel-cli.exe serve in the Wine prefix, whose
# spooler hands its pages to a cups-pdf queue. Checked:
#  - a token added on either station is taken by the other;
#  - the Linux station's GET /v1/printers lists the Windows station's printer
#    as STATION/PRINTER, with the state and acceptance Wine's spooler gives;
#  - a job POSTed with curl to the Linux station for that printer is claimed
#    by the Windows station and comes out of the cups-pdf queue once: as many
#    pages as records, its spooler job named after that job's records, each
#    word where the Linux render puts it (within TOLERANCE mm), no record left
#    queued;
#  - and a record posted to the Windows station for the Linux station's
#    printer is printed there once, its record marked printed.
# Wine 8's spooler lists no jobs (EnumJobsW is a stub), so the Windows
# station never learns that a job printed: its records stay "printing".
#
#   shop_through_wine.sh WINE CLI.exe LINUX-CLI TEMPLATE CSV TOLERANCE_MM WORK-DIR
# TEMPLATE has the fields of CSV's columns. Needs root, postgresql-15,
# printer-driver-cups-pdf, curl, pdfinfo and python3. The queue's name starts
# with $ORDAVEL_TEST_QUEUE_PREFIX (default ordavel-wshop).
set -euo pipefail
wine=$1 cli="$(realpath "$2")" linux_cli="$(realpath "$3")" template="$(realpath "$4")" csv=$5 tolerance=$6
work="$(realpath -m "$7")"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/cups_pdf_queue.sh"
winpath() { echo "Z:${1//\//\\}"; }
pg_bin=/usr/lib/postgresql/15/bin
[ -x "$pg_bin/initdb" ] || { echo "shop_through_wine: postgresql-15 is not installed" >&2; exit 1; }

queue="${ORDAVEL_TEST_QUEUE_PREFIX:-ordavel-wshop}-$$"
winside=winside
pg_dir="" linux_pid="" windows_pid=""
as_pg=()
# The prefix's own station folders, made for this test: removed again at the
# end, or every later run in the prefix would find it joined to a shop gone.
station_folders=()
cleanup() {
  for pid in "$linux_pid" "$windows_pid"; do
    [ -z "$pid" ] || { kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; } || true
  done
  "$wine" taskkill /F /IM ordavel-cli.exe >/dev/null 2>&1 || true
  if [ -n "$pg_dir" ]; then
    (cd / && "${as_pg[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -m immediate -w stop >/dev/null 2>&1) || true
    rm -rf "$pg_dir"
  fi
  [ ${#station_folders[@]} -eq 0 ] || rm -rf "${station_folders[@]}"
  cups_pdf_queue_stop
}
trap cleanup EXIT
cups_pdf_queue_start "$queue" || { echo "shop_through_wine: no cups-pdf queue" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work/templates" "$work/linux/runtime"
chmod 700 "$work/linux/runtime"
cp "$template" "$work/templates/waybill.oxf"
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# The shop's database server: initdb refuses root, so nobody runs it there.
pg_dir="$(mktemp -d /tmp/ordavel-wshop-pg.XXXXXX)"
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$pg_dir"
  as_pg=(runuser -u nobody --)
fi
pg_port="$(free_port)"
(cd / && "${as_pg[@]}" "$pg_bin/initdb" -D "$pg_dir/data" -U ordavel --auth=trust >"$work/initdb.log" 2>&1) ||
  { cat "$work/initdb.log" >&2; exit 1; }
cat >>"$pg_dir/data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
port = $pg_port
unix_socket_directories = '$pg_dir'
fsync = off
EOF
(cd / && "${as_pg[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -l "$pg_dir/server.log" -w -t 30 start >/dev/null) ||
  { cat "$pg_dir/server.log" >&2; exit 1; }
"$pg_bin/psql" -h 127.0.0.1 -p "$pg_port" -U ordavel -d postgres -qc "CREATE DATABASE shop"
url="host=127.0.0.1 port=$pg_port user=ordavel dbname=shop"

# The two stations: the Linux tool with folders of its own, the Windows one
# with a fresh %APPDATA%\ordavel and %LOCALAPPDATA%\ordavel in the prefix.
linux_env=(env XDG_CONFIG_HOME="$work/linux/config" XDG_DATA_HOME="$work/linux/data"
  XDG_RUNTIME_DIR="$work/linux/runtime")
on_linux() { "${linux_env[@]}" "$linux_cli" "$@"; }
on_windows() { "$wine" "$cli" "$@" 2>>"$work/windows-cli.log" | tr -d '\r'; }
appdata="$WINEPREFIX/drive_c/users/$(id -un)/AppData"
station_folders=("$appdata/Local/ordavel" "$appdata/Roaming/ordavel")
rm -rf "${station_folders[@]}"
on_linux shop init "$url" >/dev/null
on_linux shop join "$url" --station linuxside >/dev/null
on_windows shop join "$url" --station "$winside" >/dev/null ||
  { echo "shop_through_wine: the Windows station did not join" >&2; cat "$work/windows-cli.log" >&2; exit 1; }
linux_token="$(on_linux token add from-linux 2>/dev/null | tail -n1)"
windows_token="$(on_windows token add from-windows | tail -n1)"
[ ${#linux_token} -eq 64 ] && [ ${#windows_token} -eq 64 ] ||
  { echo "shop_through_wine: token add gave \"$linux_token\" and \"$windows_token\"" >&2; exit 1; }

linux_port="$(free_port)" windows_port="$(free_port)"
linux_base="http://127.0.0.1:$linux_port" windows_base="http://127.0.0.1:$windows_port"
# exec: the pid is the service's own, which the clean-up kills.
(exec "${linux_env[@]}" "$linux_cli" serve --port "$linux_port" --templates "$work/templates") \
  >"$work/linux-serve.log" 2>&1 &
linux_pid=$!
(cd "$work" && exec "$wine" "$cli" serve --port "$windows_port" --templates "$(winpath "$work/templates")") \
  >"$work/windows-serve.log" 2>&1 &
windows_pid=$!
for base in "$linux_base" "$windows_base"; do
  answered=0
  for _ in $(seq 240); do curl -s --max-time 2 "$base/v1/info" >/dev/null 2>&1 && { answered=1; break; }; sleep 0.5; done
  [ $answered -eq 1 ] || { echo "shop_through_wine: $base did not answer" >&2; cat "$work"/*-serve.log >&2; exit 1; }
done

failed=0
# The HTTP status of GET PATH at BASE with TOKEN.
status_of() { curl -s -o /dev/null -w '%{http_code}' --max-time 20 -H "Authorization: Bearer $3" "$1$2"; }
for check in "$linux_base $windows_token" "$windows_base $linux_token"; do
  set -- $check
  [ "$(status_of "$1" /v1/printers "$2")" = 200 ] ||
    { echo "shop_through_wine: $1 refused the other station's token" >&2; failed=1; }
done
[ "$(status_of "$windows_base" /v1/printers "$(printf '%064d' 0)")" = 401 ] ||
  { echo "shop_through_wine: the Windows station took a token no one added" >&2; failed=1; }

call() { curl -sS --max-time 20 -H "Authorization: Bearer $linux_token" "$@"; }
# The Windows station's printer as the Linux station lists it, once published:
# "STATION STATE ACCEPTING".
target="$winside/$queue"
listed_as() {
  call "$linux_base/v1/printers" | python3 -c '
import json, sys
for p in json.load(sys.stdin):
    if p["name"] == sys.argv[1]:
        print(p.get("station", ""), p["state"], str(p["accepting"]).lower())' "$target"
}
listed=""
for _ in $(seq 120); do
  listed="$(listed_as)"
  [ -n "$listed" ] && break
  sleep 0.5
done
echo "shop_through_wine: the Linux station lists $target as: station, state, accepting = ${listed:-nothing}"
[ "$listed" = "$winside idle true" ] ||
  { echo "shop_through_wine: $target is not listed as the Windows station's idle, accepting printer" >&2; failed=1; }

# Three records posted to the Linux station for the Windows station's printer.
total=3
records="$(python3 - "$csv" "$total" <<'PY'
import csv, json, sys
rows = list(csv.DictReader(open(sys.argv[1], encoding="utf-8")))
print(json.dumps([rows[i % len(rows)] for i in range(int(sys.argv[2]))], ensure_ascii=False))
PY
)"
body="$(printf '{"template":"waybill","printer":"%s","key":"shop-one","records":%s}' "$target" "$records")"
posted=$(date +%s%N)
id="$(call -X POST -H "Content-Type: application/json" --data-binary "$body" "$linux_base/v1/jobs" |
  python3 -c 'import json,sys; print(json.load(sys.stdin)["id"])')"
# The states of job $id's records, counted ("printing=3"), as $asked sees them.
asked=(-H "Authorization: Bearer $linux_token" "$linux_base")
states() {
  curl -sS --max-time 20 "${asked[@]:0:2}" "${asked[2]}/v1/jobs/$id" | python3 -c '
import collections, json, sys
job = json.load(sys.stdin)
print(" ".join(f"{k}={v}" for k, v in sorted(collections.Counter(r["state"] for r in job["records"]).items())))'
}
pages_out() {
  local n=0
  for f in $(queue_pdfs); do n=$((n + $(pdfinfo "$f" 2>/dev/null | sed -n 's/^Pages: *//p' || echo 0))); done
  echo "$n"
}
for _ in $(seq 360); do
  [ -n "$(queue_pdfs)" ] && break
  sleep 0.2
done
echo "shop_through_wine: the first PDF came out $(( ($(date +%s%N) - posted) / 1000000 )) ms after the post"
for _ in $(seq 360); do
  [ "$(pages_out)" -ge "$total" ] && ! states | grep -q queued && break
  sleep 0.5
done
# Long enough for a second claim of the same records to print too.
sleep 10
echo "shop_through_wine: job $id: $(states); $(queue_pdfs | wc -l) PDF(s), $(pages_out) page(s) for $total records"
[ "$(pages_out)" -eq "$total" ] || { echo "shop_through_wine: $(pages_out) pages came out for $total records" >&2; failed=1; }
states | grep -Eq 'queued|failed' && { echo "shop_through_wine: job $id: $(states)" >&2; failed=1; }
# The spooler job's title names the records it holds: "ordavel-journal JOB:FIRST-LAST".
titles="$(for f in $(queue_pdfs); do pdfinfo "$f" | sed -n 's/^Title: *//p'; done)"
[ "$titles" = "ordavel-journal $id:1-$total" ] ||
  { echo "shop_through_wine: the spooler jobs are named \"$titles\"" >&2; failed=1; }
# The records themselves, each word within TOLERANCE of the Linux render of
# the same records. Wine's PostScript driver prints on a sheet of the queue's
# PPD that holds the template's paper, not on that paper itself.
python3 - "$csv" "$total" >"$work/records.csv" <<'PY'
import csv, sys
rows = list(csv.reader(open(sys.argv[1], encoding="utf-8")))
writer = csv.writer(sys.stdout, lineterminator="\n")
writer.writerow(rows[0])
for i in range(int(sys.argv[2])):
    writer.writerow(rows[1 + i % (len(rows) - 1)])
PY
on_linux render "$template" --data "$work/records.csv" -o "$work/linux.pdf" >/dev/null
printed="$(queue_pdfs | head -n1)"
if [ -n "$printed" ]; then
  python3 "$here/compare_pdf_ink.py" "$work/linux.pdf" "$printed" "$tolerance" 0.3 --any-page-size || failed=1
  paper() { pdfinfo "$1" | sed -n 's/^Page size: *\([0-9.]*\) x \([0-9.]*\) pts.*/\1 \2/p'; }
  read -r paper_w paper_h <<<"$(paper "$work/linux.pdf")"
  read -r sheet_w sheet_h <<<"$(paper "$printed")"
  echo "shop_through_wine: paper: template $paper_w x $paper_h pt, printed through Wine on $sheet_w x $sheet_h pt"
  python3 -c 'import sys; w, h, sw, sh = map(float, sys.argv[1:]); sys.exit(0 if max(w, h) <= max(sw, sh) + 1 and min(w, h) <= min(sw, sh) + 1 else 1)' \
    "$paper_w" "$paper_h" "$sheet_w" "$sheet_h" || { echo "shop_through_wine: the sheet is smaller than the paper" >&2; failed=1; }
fi

# The other way: one record posted to the Windows station for the Linux
# station's printer, written to the shop by the Windows build and printed by
# the Linux station through CUPS, which tells when it is done.
cups_pdf_queue_mark
body="$(printf '{"template":"waybill","printer":"linuxside/%s","key":"shop-two","records":[%s]}' "$queue" \
  "$(python3 -c 'import json,sys; print(json.dumps(json.loads(sys.argv[1])[0], ensure_ascii=False))' "$records")")"
back="$(curl -sS --max-time 20 -H "Authorization: Bearer $windows_token" -X POST -H "Content-Type: application/json" \
  --data-binary "$body" "$windows_base/v1/jobs" | python3 -c 'import json,sys; print(json.load(sys.stdin)["id"])')"
id=$back
asked=(-H "Authorization: Bearer $windows_token" "$windows_base")
for _ in $(seq 240); do states | grep -qx 'printed=1' && break; sleep 0.5; done
sleep 2
echo "shop_through_wine: job $back, posted to the Windows station: $(states); $(pages_out) page(s)"
states | grep -qx 'printed=1' && [ "$(pages_out)" -eq 1 ] ||
  { echo "shop_through_wine: the Linux station did not print job $back once" >&2; failed=1; }

# A queue CUPS stopped and refuses jobs for: what Wine's spooler makes of it,
# as published to the shop once the station has looked again (every 2 s).
cupsdisable "$queue"
cupsreject "$queue"
sleep 6
echo "shop_through_wine: after cupsdisable and cupsreject, $target is listed as: $(listed_as)"
cupsenable "$queue"
cupsaccept "$queue"
exit $failed

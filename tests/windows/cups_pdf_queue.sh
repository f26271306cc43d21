# A cups-pdf queue for the scripts that print through Wine; sourced, not run.
#   cups_pdf_queue_start NAME   holds the CUPS tests' machine-wide lock, starts
#                               a scheduler unless one runs and adds queue NAME;
#                               sets cups_pdf_out (the folder cups-pdf writes
#                               root's jobs to) and notes the PDFs already there
#   new_pdfs                    the PDFs cups-pdf wrote since, one name a line
#   queue_pdfs                  of those, the ones of the queue's own jobs
#                               (other programs may print to cups-pdf meanwhile)
#   cups_pdf_queue_mark         forgets those: new_pdfs starts again from now
#   cups_pdf_queue_stop         removes the queue, stops the scheduler it
#                               started and lets the lock go (for the EXIT trap)
# Needs root, printer-driver-cups-pdf and util-linux's flock.
cups_pdf_ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
cups_pdf_queue=""
cups_pdf_cupsd=""
cups_pdf_lock=""
cups_pdf_out=""
cups_pdf_before=""

cups_pdf_queue_start() {
  cups_pdf_queue=$1
  [ -e "$cups_pdf_ppd" ] && [ -x /usr/sbin/cupsd ] || { echo "cups-pdf is not installed" >&2; return 1; }
  # The Linux CUPS tests start and stop schedulers of their own under this
  # lock. flock -o holds it in flock itself, not in the programs started
  # here (a Wine server outlives the script and would keep it).
  local ready
  ready="$(mktemp)"
  flock -o /tmp/ordavel-cups-tests.lock bash -c 'echo held >"$1"; exec sleep 86400' _ "$ready" &
  cups_pdf_lock=$!
  until [ -s "$ready" ]; do
    kill -0 "$cups_pdf_lock" 2>/dev/null || { rm -f "$ready"; echo "the CUPS tests' lock was not taken" >&2; return 1; }
    sleep 0.2
  done
  rm -f "$ready"
  if ! lpstat -r 2>/dev/null | grep -q "is running"; then
    /usr/sbin/cupsd -f >/dev/null 2>&1 &
    cups_pdf_cupsd=$!
    for _ in $(seq 100); do lpstat -r 2>/dev/null | grep -q "is running" && break; sleep 0.2; done
  fi
  lpadmin -p "$cups_pdf_queue" -E -v cups-pdf:/ -P "$cups_pdf_ppd" 2>/dev/null
  cups_pdf_out="$(sed -n 's/^Out //p' /etc/cups/cups-pdf.conf | sed "s|\${HOME}|$HOME|")"
  cups_pdf_out="${cups_pdf_out:-/var/spool/cups-pdf/ANONYMOUS}"
  mkdir -p "$cups_pdf_out"
  cups_pdf_queue_mark
}

cups_pdf_queue_mark() { cups_pdf_before="$(ls "$cups_pdf_out"/*.pdf 2>/dev/null | sort || true)"; }

new_pdfs() { comm -13 <(echo "$cups_pdf_before") <(ls "$cups_pdf_out"/*.pdf 2>/dev/null | sort) || true; }

queue_pdfs() {
  local jobs f
  jobs="$(lpstat -W all -o "$cups_pdf_queue" 2>/dev/null | sed -n "s/^$cups_pdf_queue-\([0-9]*\) .*/\1/p")"
  for f in $(new_pdfs); do
    [[ "$f" =~ -job_([0-9]+)\.pdf$ ]] && grep -qx "${BASH_REMATCH[1]}" <<<"$jobs" && echo "$f"
  done
  return 0
}

cups_pdf_queue_stop() {
  [ -z "$cups_pdf_queue" ] || lpadmin -x "$cups_pdf_queue" 2>/dev/null || true
  [ -z "$cups_pdf_cupsd" ] || kill "$cups_pdf_cupsd" 2>/dev/null || true
  if [ -n "$cups_pdf_lock" ]; then
    # The sleep first: flock then ends with it, letting the lock go.
    kill $(pgrep -P "$cups_pdf_lock") 2>/dev/null || true
    kill "$cups_pdf_lock" 2>/dev/null || true
  fi
  cups_pdf_queue="" cups_pdf_cupsd="" cups_pdf_lock=""
}

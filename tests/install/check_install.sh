#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks what lands there: the
# layout, the desktop file, the AppStream file, the file type and the icons.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

expected=(
  bin/ordavel bin/ordavel-cli
  share/applications/ordavel.desktop
  share/metainfo/org.example.ordavel.metainfo.xml
  share/mime/packages/ordavel.xml
  share/icons/hicolor/scalable/apps/ordavel.svg
  share/man/man1/ordavel.1.gz share/man/man1/ordavel-cli.1.gz
  share/ordavel/samples/waybill.oxf share/ordavel/samples/bank_slip.oxf share/ordavel/samples/bank_slip.csv
  lib/systemd/user/ordavel-print.service
  share/ordavel/web/index.html share/ordavel/web/client.js
  share/ordavel/api/openapi.json
  share/doc/ordavel/copyright share/doc/ordavel/changelog.gz
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/ordavel.png")
done
for f in "${expected[@]}"; do
  [ -f "$prefix/$f" ] || fail "missing $f"
done
# Nothing else: no test programs, helpers or headers in an installation.
extra="$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort | comm -23 - <(printf '%s\n' "${expected[@]}" | sort))"
[ -z "$extra" ] || fail "unexpected files: $extra"

for size in 16 22 24 32 48 64 128 256; do
  file "$prefix/share/icons/hicolor/${size}x${size}/apps/ordavel.png" | grep -q "PNG image data, $size x $size," ||
    fail "the ${size}px icon is not a $size x $size PNG"
done

# Hints are advice (two main categories are wanted here); anything else fails.
desktop="$prefix/share/applications/ordavel.desktop"
desktop-file-validate "$desktop" >/dev/null || fail "desktop-file-validate: $(desktop-file-validate "$desktop")"
out="$(desktop-file-validate "$desktop" | grep -v ': hint: ' || true)"
[ -z "$out" ] || fail "desktop-file-validate: $out"
grep -qx 'MimeType=application/x-ordavel-template;' "$prefix/share/applications/ordavel.desktop" || fail "desktop MimeType"
appstreamcli validate --no-net "$prefix/share/metainfo/org.example.ordavel.metainfo.xml" >/dev/null ||
  fail "appstreamcli validate"

# The file type as the desktop sees it once the MIME database is rebuilt.
mkdir -p "$prefix/mime" && cp -r "$prefix/share/mime/packages" "$prefix/mime/"
XDG_DATA_DIRS="$prefix" update-mime-database "$prefix/mime"
grep -q '^50:application/x-ordavel-template:\*\.oxf$' "$prefix/mime/globs2" || fail "*.oxf glob not registered"

for page in ordavel ordavel-cli; do
  out="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null)"
  [ -z "$out" ] || fail "man $page: $out"
done

"$prefix/bin/ordavel-cli" --version | grep -qx 'ordavel-cli [0-9.]*' || fail "installed ordavel-cli --version"
grep -qx 'ExecStart=/usr/bin/ordavel-cli serve' "$prefix/lib/systemd/user/ordavel-print.service" ||
  fail "the unit does not run ordavel-cli serve"
echo "install layout ok"

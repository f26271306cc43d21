#!/usr/bin/env bash
# Checks a built Debian package: its file list, its dependencies and that the
# programs in it are stripped. Usage: check_package.sh ordavel_VERSION_ARCH.deb
set -euo pipefail
deb="$1"
fail() { echo "FAIL: $*" >&2; exit 1; }

listing="$(dpkg-deb -c "$deb")"
for path in usr/bin/ordavel usr/bin/ordavel-cli \
            usr/share/applications/ordavel.desktop \
            usr/share/metainfo/org.example.ordavel.metainfo.xml \
            usr/share/mime/packages/ordavel.xml \
            usr/share/icons/hicolor/scalable/apps/ordavel.svg \
            usr/share/icons/hicolor/16x16/apps/ordavel.png \
            usr/share/icons/hicolor/256x256/apps/ordavel.png \
            usr/share/man/man1/ordavel.1.gz usr/share/man/man1/ordavel-cli.1.gz \
            usr/share/ordavel/samples/waybill.oxf usr/share/ordavel/samples/bank_slip.oxf \
            usr/share/ordavel/samples/bank_slip.csv \
            usr/share/ordavel/api/openapi.json \
            usr/share/doc/ordavel/copyright usr/share/doc/ordavel/changelog.gz; do
  grep -q " \./$path\$" <<<"$listing" || fail "the package lacks /$path"
done
# Every file belongs to root, and nothing lies outside /usr.
if grep -v ' root/root ' <<<"$listing" | grep -q .; then fail "files not owned by root"; fi
if awk '{print $6}' <<<"$listing" | grep -v '^\./usr/' | grep -v '^\./$' | grep -q .; then
  fail "files outside /usr"
fi

depends="$(dpkg-deb -f "$deb" Depends)"
for wanted in libqt6widgets6 libqt6printsupport6 libqt6svg6 libc6 fonts-wqy-zenhei fonts-arphic-uming; do
  grep -q "$wanted" <<<"$depends" || fail "Depends lacks $wanted: $depends"
done

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
for program in ordavel ordavel-cli; do
  file "$scratch/usr/bin/$program" | grep -q ', stripped' || fail "$program is not stripped"
done
echo "package ok: $(basename "$deb")"

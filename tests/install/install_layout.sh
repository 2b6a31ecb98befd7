#!/usr/bin/env bash
# `cmake --install` into a temporary DESTDIR puts a desktop application in place: the binary,
# a menu entry and AppStream metainfo that validate, and the icon at the theme's sizes.
set -euo pipefail
build="$1"
dest="$(mktemp -d /tmp/veltry-install-XXXXXX)"
trap 'rm -rf "$dest"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$dest" cmake --install "$build" --prefix /usr >/dev/null
root="$dest/usr"
[ -x "$root/bin/veltry" ] || fail "no /usr/bin/veltry"
desktop="$root/share/applications/org.veltry.Veltry.desktop"
metainfo="$root/share/metainfo/org.veltry.Veltry.metainfo.xml"
[ -f "$desktop" ] || fail "no desktop entry"
[ -f "$metainfo" ] || fail "no metainfo"
out="$(desktop-file-validate "$desktop" 2>&1)" || fail "desktop entry: $out"
[ -z "$out" ] || fail "desktop entry: $out"
appstreamcli validate --no-net "$metainfo" >/dev/null 2>&1 || fail "metainfo: $(appstreamcli validate --no-net "$metainfo" 2>&1)"
grep -qx 'Categories=Office;ProjectManagement;' "$desktop" || fail "categories"
grep -qx 'Icon=veltry' "$desktop" || fail "icon name"
grep -qx 'StartupWMClass=Veltry' "$desktop" || fail "window class"
for size in 16 22 24 32 48 64 128 256; do
  png="$root/share/icons/hicolor/${size}x${size}/apps/veltry.png"
  [ -f "$png" ] || fail "no ${size}x${size} icon"
  [ "$(identify -format '%wx%h' "$png")" = "${size}x${size}" ] || fail "the ${size}x${size} icon has another size"
done
[ -f "$root/share/icons/hicolor/scalable/apps/veltry.svg" ] || fail "no scalable icon"
echo "PASS"

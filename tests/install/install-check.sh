#!/usr/bin/env bash
# install-check.sh BUILD_DIR [PROGRAM]: cmake --install into a fresh prefix,
# then check the installed files, the desktop entry (desktop-file-validate)
# and that the installed program finds its help file and reports its version.
# PROGRAM (the sanitized program) takes the installed program's place first.
set -euo pipefail
build=$1
program=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/インストール 先"
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }
if [ -n "$program" ]; then
  cp "$program" "$prefix/bin/tamarind" || fail "copying $program"
fi

for f in bin/tamarind share/tamarind/tamarind.hlp share/applications/tamarind.desktop \
         share/icons/hicolor/scalable/apps/tamarind.svg; do
  [ -s "$prefix/$f" ] || fail "missing $f"
done
for size in 16 24 32 48 64 128 256; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/tamarind.png"
  [ -s "$png" ] || fail "missing ${size}px icon"
  # The PNG header holds width and height (big-endian) at bytes 16..23.
  dims=$(od -An -tu1 -j16 -N8 "$png" | tr -s ' ')
  want=" 0 0 $((size / 256)) $((size % 256)) 0 0 $((size / 256)) $((size % 256))"
  [ "$dims" = "$want" ] || fail "${size}px icon is $dims"
done

desktop="$prefix/share/applications/tamarind.desktop"
command -v desktop-file-validate >/dev/null || fail "desktop-file-validate missing (tools/deps.sh installs it)"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx "Exec=\"$prefix/bin/tamarind\" %f" "$desktop" || { grep Exec "$desktop"; fail "Exec line"; }
grep -qx "TryExec=$prefix/bin/tamarind" "$desktop" || fail "TryExec line"
grep -qx "Categories=Graphics;Viewer;" "$desktop" || fail "Categories"
grep -q "^MimeType=.*image/jpeg;.*image/bmp;.*image/x-wmf;.*image/x-emf;.*image/vnd.microsoft.icon;" "$desktop" \
  || fail "MimeType"
grep -qx "Name\[ja\]=Tamarind" "$desktop" && grep -q "^GenericName\[ja\]=画像ビューア" "$desktop" \
  && grep -q "^Comment\[ja\]=" "$desktop" || fail "Japanese names"

# The installed program finds the installed help file, not the build's.
help=$(env -u DISPLAY "$prefix/bin/tamarind" --help)
echo "$help" | grep -qx "ヘルプファイル: $prefix/share/tamarind/tamarind.hlp" \
  || { echo "$help"; fail "help file not found by the installed program"; }
version=$(env -u DISPLAY "$prefix/bin/tamarind" --version)
echo "$version" | grep -q "2.2.0.0" && echo "$version" | grep -q "2.20" || fail "version: $version"
echo "installed into $prefix: ok"

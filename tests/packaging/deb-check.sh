#!/usr/bin/env bash
# Builds the Debian package from the build tree into an empty folder and checks it as a
# packager would: its name, control fields and computed dependencies, the files it installs
# (the program and its desktop files, never the stand-in), and lintian with no errors.
set -euo pipefail
build_dir="$1"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
fail() { echo "$*"; exit 1; }

cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 \
  || { cat "$out/cpack.log"; fail "cpack failed"; }
version="$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build_dir/CPackConfig.cmake")"
deb="$out/orvel-box_${version}_$(dpkg --print-architecture).deb"
test -f "$deb" || { ls "$out"; fail "no $deb"; }
test "$(ls "$out"/*.deb | wc -l)" -eq 1 || fail "more than one package: $(ls "$out"/*.deb)"

field() { dpkg-deb -f "$deb" "$1"; }
test "$(field Package)" = orvel-box || fail "Package: $(field Package)"
test "$(field Version)" = "$version" || fail "Version: $(field Version)"
test -n "$(field Maintainer)" && test -n "$(field Description)" || fail "no Maintainer or Description"
depends="$(field Depends)"
# dpkg-shlibdeps' share (versioned libraries the program links) and the run-time QML modules.
for dep in 'libc6 (>=' 'libqt6core6 (>=' 'libqt6quick6 (>=' 'libqt6keychain1 (>=' \
           qml6-module-qtquick-controls qml6-module-qtwebview; do
  [[ "$depends" == *"$dep"* ]] || fail "Depends lacks $dep: $depends"
done

files="$(dpkg-deb -c "$deb" | awk '{print $6}')"
for f in ./usr/bin/Orvel_Box ./usr/share/applications/org.orvelbox.OrvelBox.desktop \
         ./usr/share/icons/hicolor/scalable/apps/org.orvelbox.OrvelBox.svg \
         ./usr/share/metainfo/org.orvelbox.OrvelBox.metainfo.xml \
         ./usr/share/doc/orvel-box/copyright ./usr/share/doc/orvel-box/changelog.gz; do
  grep -qxF "$f" <<<"$files" || fail "$f missing from the package"
done
if grep -qi -e standin -e '/tst_' -e '/bench' <<<"$files"; then
  fail "test or stand-in files in the package: $(grep -i -e standin -e tst_ -e bench <<<"$files")"
fi

lintian --fail-on error "$deb" | tee "$out/lintian.log"
echo "$(basename "$deb"): control, $(wc -l <<<"$files") entries, lintian without errors"

#!/usr/bin/env bash
# Installs the build into an empty prefix and checks what a desktop gets from it: a launcher
# entry that validates and points at an installed program, the icon the entry names in the
# hicolor theme, valid AppStream data, and a program that starts from the entry's command.
set -euo pipefail
build_dir="$1"
prefix="$(mktemp -d)"
home="$(mktemp -d)"
trap 'kill "${app_pid:-}" 2>/dev/null || true; rm -rf "$prefix" "$home"' EXIT

cmake --install "$build_dir" --prefix "$prefix" >/dev/null

entry="$prefix/share/applications/org.orvelbox.OrvelBox.desktop"
desktop-file-validate "$entry"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/org.orvelbox.OrvelBox.metainfo.xml" >/dev/null

exec_line="$(sed -n 's/^Exec=//p' "$entry")"
icon="$(sed -n 's/^Icon=//p' "$entry")"
program="${exec_line%% *}"
test -x "$prefix/bin/$program" || { echo "Exec=$program is not an installed program"; exit 1; }
test -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" || { echo "no icon $icon"; exit 1; }
grep -q "<launchable type=\"desktop-id\">org.orvelbox.OrvelBox.desktop</launchable>" \
  "$prefix/share/metainfo/org.orvelbox.OrvelBox.metainfo.xml" || { echo "metainfo does not launch the entry"; exit 1; }

# Launched as the entry says, from the prefix's bin on PATH, with a home of its own so no
# stored session of the machine's user is read. It must still be running after a few seconds.
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache"
export XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=offscreen ORVEL_WEBVIEW_STANDIN=1
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
PATH="$prefix/bin:$PATH" "$program" >"$home/app.log" 2>&1 &
app_pid=$!
sleep 3
if ! kill -0 "$app_pid" 2>/dev/null; then
  echo "the installed program exited early:"; cat "$home/app.log"; exit 1
fi
echo "installed into $prefix: entry, icon, metainfo valid; $program started"

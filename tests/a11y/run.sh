#!/usr/bin/env bash
# Starts the stand-in on the service address the program was built with, then, in a private
# D-Bus session under Xvfb, the accessibility bus, its registry and the program, and lets
# screen_reader.py read and drive the program over that bus. Exit 77: skipped, with the reason.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
skip() { echo "SKIP: $*"; exit 77; }
python=/usr/bin/python3 # Debian's: the one that has pyatspi

# Waits up to $1 tenths of a second for the command that follows to succeed.
wait_for() {
  local tries="$1"; shift
  for _ in $(seq 1 "$tries"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

if [ "${1:-}" = --inside ]; then
  app="$2" work="$3"
  touch "$work/inside"
  export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
  export XDG_CACHE_HOME="$work/home/.cache" XDG_RUNTIME_DIR="$work/runtime"
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  pids=()
  trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null' EXIT
  /usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/bus.log" 2>&1 &
  pids+=($!)
  wait_for 100 dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
    org.a11y.Bus.GetAddress || skip "the accessibility bus did not start: $(cat "$work/bus.log")"
  /usr/libexec/at-spi2-registryd >"$work/registry.log" 2>&1 &
  pids+=($!)
  QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QTWEBENGINE_DISABLE_SANDBOX=1 \
    ORVEL_WEBVIEW_STANDIN=1 "$app" >"$work/app.log" 2>&1 &
  pids+=($!)
  timeout -k 5 150 "$python" "$here/screen_reader.py"
  status=$?
  [ "$status" -eq 0 ] || { echo "--- program output"; tail -n 40 "$work/app.log"; }
  exit "$status"
fi

app="$1" standin="$2" service="$3"
for tool in dbus-run-session dbus-send xvfb-run xdotool timeout \
            /usr/libexec/at-spi-bus-launcher /usr/libexec/at-spi2-registryd; do
  command -v "$tool" >/dev/null || skip "$tool is missing (scripts/setup-deps installs it)"
done
"$python" -c 'import pyatspi' 2>/dev/null || skip "python3-pyatspi is missing (scripts/setup-deps installs it)"
# The program has no way to be pointed elsewhere: the stand-in takes the built-in address.
[[ "$service" =~ ^http://127\.0\.0\.1:([0-9]+)$ ]] || skip "the program was built for $service, not a loopback stand-in"
port="${BASH_REMATCH[1]}"
port_free() { "$python" -c 'import socket,sys; socket.socket().bind(("127.0.0.1", int(sys.argv[1])))' "$port"; }
port_free 2>/dev/null || skip "port $port (the program's service address) is taken by another process"

work="$(mktemp -d)"
standin_pid=""
trap '[ -n "$standin_pid" ] && kill "$standin_pid" 2>/dev/null; rm -rf "$work"' EXIT
"$standin" --port "$port" --reset --db "$work/standin.sqlite" >"$work/standin.log" 2>&1 &
standin_pid=$!
answering() { "$python" -c 'import socket,sys; socket.create_connection(("127.0.0.1", int(sys.argv[1])), 1)' "$port"; }
wait_for 100 answering || { echo "the stand-in did not start:"; cat "$work/standin.log"; exit 1; }

# Xvfb now and then fails to take a display when other tests start servers at the same moment
# (two xvfb-run picking the same number): the search starts at a number of this run's own, and a
# run that never got inside, or whose program found no display, is tried again.
for attempt in 1 2 3; do
  rm -f "$work/inside" "$work/app.log"
  timeout -k 5 200 xvfb-run -a -n $((100 + ($$ * 7 + attempt * 13) % 800)) \
    -s "-screen 0 1280x800x24" dbus-run-session -- "$0" --inside "$app" "$work"
  status=$?
  if [ -e "$work/inside" ] && ! grep -q "could not connect to display" "$work/app.log" 2>/dev/null; then
    exit "$status"
  fi
  echo "the display did not start (attempt $attempt)"
done
exit 1

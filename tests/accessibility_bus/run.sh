#!/usr/bin/env bash
# Runs the program on an X display of its own, under a window manager as on a desktop, and reads
# it over the desktop's accessibility bus, as a screen reader does (read_the_program.py). Exits
# 77, counted as skipped, with the reason when a part is missing.
set -uo pipefail
program="$1"
here="$(cd "$(dirname "$0")" && pwd)"
# Debian's own Python, where python3-pyatspi installs itself.
python=/usr/bin/python3
[ -x "$python" ] || python="$(command -v python3 || true)"
for tool in Xvfb openbox xdotool dbus-run-session "$python"; do
  if [ -z "$tool" ] || ! command -v "$tool" > /dev/null; then
    echo "SKIPPED: ${tool:-python3} is not installed"
    exit 77
  fi
done
if [ ! -x /usr/libexec/at-spi-bus-launcher ]; then
  echo "SKIPPED: at-spi2-core is not installed"
  exit 77
fi
if ! "$python" -c 'import pyatspi' 2> /dev/null; then
  echo "SKIPPED: python3-pyatspi is not installed"
  exit 77
fi

scratch="$(mktemp -d)"
Xvfb -displayfd 5 -screen 0 1400x900x24 -nolisten tcp 5> "$scratch/display" > /dev/null 2>&1 &
server=$!
manager=
stop() {
  [ -n "$manager" ] && kill -TERM "$manager" 2> /dev/null && wait "$manager" 2> /dev/null
  kill -TERM "$server" 2> /dev/null
  wait "$server" 2> /dev/null
  rm -rf "$scratch"
}
trap stop EXIT
for _ in $(seq 150); do
  [ -s "$scratch/display" ] && break
  sleep 0.2
done
if [ ! -s "$scratch/display" ]; then
  echo "SKIPPED: Xvfb did not start"
  exit 77
fi
export DISPLAY=":$(head -n1 "$scratch/display")"
# A window manager activates windows and hands the keyboard back after a dialog later than the
# program asks, as on a desktop; its files go to the scratch folder, never the real home.
HOME="$scratch" XDG_CONFIG_HOME="$scratch/config" XDG_CACHE_HOME="$scratch/cache" \
  openbox --sm-disable > "$scratch/openbox.log" 2>&1 &
manager=$!
sleep 1
# A session bus of its own, with DISPLAY in it for the accessibility registry, ended with the
# check: the accessibility bus it starts goes with it.
dbus-run-session -- "$python" "$here/read_the_program.py" "$program"

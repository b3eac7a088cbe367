#!/bin/sh
# scripts/run without any display: it says so and ends with status 1 before it installs, builds
# or starts anything; the message names no tool that the run script does not install.
#   run_without_display.sh SOURCE_DIR
set -u
source_dir=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# A build folder whose program only leaves a mark, so a start would show.
mkdir -p "$scratch/build"
printf '#!/bin/sh\ntouch "%s/started"\n' "$scratch" > "$scratch/build/harborlume"
chmod +x "$scratch/build/harborlume"
: > "$scratch/build/build.ninja"

env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HL_BUILD_DIR="$scratch/build" \
  "$source_dir/scripts/run" > "$scratch/out" 2> "$scratch/err"
status=$?
failed=0
if [ "$status" -ne 1 ]; then echo "exit status $status, not 1"; failed=1; fi
if [ -e "$scratch/started" ]; then echo "the program was started"; failed=1; fi
if ! grep -qi 'no display' "$scratch/err"; then echo "no word of the missing display"; failed=1; fi
if grep -qi 'xvfb' "$scratch/out" "$scratch/err"; then echo "names xvfb"; failed=1; fi
if [ -s "$scratch/out" ]; then echo "wrote to its output:"; cat "$scratch/out"; failed=1; fi
echo "--- what it said:"
cat "$scratch/err"
exit "$failed"

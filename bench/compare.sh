#!/usr/bin/env bash
# Times our measurement, our tree walk, the folder scanner page showing the tree, `du -s`,
# `gdu -n -s` (a total, as our measurement gives) and `gdu -n` (the sizes of the top-level entries,
# sorted, as the page shows them) on the same tree, in one run, and prints the wall time and peak
# memory of each with our ratios against them.
#
#   bench/compare.sh [--cold] [TREE] [RUNS]
#
# TREE defaults to /tmp/hl-bench-tree and is generated there (about 250,000 files, 1.8 GB) when
# missing; RUNS (default 7) is the number of timed rounds. Warm by default: the tree is in the
# page cache. --cold drops the page cache before every single run (outside the timed part), which
# needs root; where it cannot be dropped the script says so and stops. Build in Release first
# (cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release && cmake --build build-release);
# HL_BUILD_DIR selects the build folder (default build-release). A benchmark, never a test.
set -euo pipefail
cd "$(dirname "$0")/.."
cold=false
if [ "${1:-}" = --cold ]; then
  cold=true
  shift
fi
build_dir="${HL_BUILD_DIR:-build-release}"
tree="${1:-/tmp/hl-bench-tree}"
runs="${2:-7}"
measure="$build_dir/bench/hl_bench_measure"
page="$build_dir/bench/hl_bench_folder_scan"
make_tree="$build_dir/bench/hl_bench_make_tree"

for tool in "$measure" "$page" "$make_tree"; do
  [ -x "$tool" ] || { echo "missing $tool: build in Release first (see above)" >&2; exit 1; }
done
for tool in du gdu /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool (Debian packages coreutils, gdu, time)" >&2; exit 1; }
done
if [ ! -e "$tree" ]; then
  echo "generating $tree"
  "$make_tree" "$tree"
fi

cores="$(nproc)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# Empties the page cache, so that the next run reads the tree from the disk.
drop_cache() {
  sync
  if ! { echo 3 > /proc/sys/vm/drop_caches; } 2>"$scratch/drop"; then
    echo "cannot drop the page cache (writing /proc/sys/vm/drop_caches needs root and a" \
      "kernel that allows it): $(cat "$scratch/drop")" >&2
    exit 1
  fi
}
if $cold; then drop_cache; fi

# Each round runs every tool once, in turn, so that a busy moment of the machine weighs on all
# of them alike. One warm-up round first; then the median wall time and the largest peak
# memory of each tool over $runs rounds.
tools=(measure tree page du gdu gdu-list)
command_of() {
  case "$1" in
    measure) echo "$measure" "$tree" ;;
    tree) echo "$measure" --tree "$tree" ;;
    page) echo "$page" "$tree" ;;
    du) echo du -s "$tree" ;;
    gdu) echo gdu -n -s "$tree" ;;
    gdu-list) echo gdu -n "$tree" ;;
  esac
}
time_once() {
  local name="$1" start end
  local -a cmd
  read -r -a cmd <<< "$(command_of "$name")"
  if $cold; then drop_cache; fi
  start=$(date +%s%N)
  /usr/bin/time -f %M -o "$scratch/rss" "${cmd[@]}" >/dev/null 2>"$scratch/err" ||
    { echo "$name failed:" >&2; cat "$scratch/err" >&2; exit 1; }
  end=$(date +%s%N)
  echo "$name $(( (end - start) / 1000 )) $(tail -n 1 "$scratch/rss")" >> "$scratch/samples"
}

echo "tree: $tree"
echo "figures:  $("$measure" "$tree")"
echo "tree:     $("$measure" --tree "$tree")"
echo "cores: $cores, rounds: $runs (median wall time, largest peak memory), $($cold && echo "cold: page cache dropped before every run" || echo warm)"
: > "$scratch/samples"
for name in "${tools[@]}"; do time_once "$name"; done
: > "$scratch/samples"
for _ in $(seq "$runs"); do
  for name in "${tools[@]}"; do time_once "$name"; done
done
: > "$scratch/results"
for name in "${tools[@]}"; do
  median=$(awk -v n="$name" '$1 == n { print $2 }' "$scratch/samples" | sort -n |
    sed -n "$(( (runs + 1) / 2 ))p")
  peak=$(awk -v n="$name" '$1 == n && $3 > m { m = $3 } END { print m }' "$scratch/samples")
  echo "$name $median $peak" >> "$scratch/results"
done

nodes=$("$measure" --tree "$tree" | sed -E 's/^nodes=([0-9]+).*/\1/')
awk -v cores="$cores" -v nodes="$nodes" '
  { t[$1] = $2 / 1e6; m[$1] = $3 }
  END {
    printf "%-8s %10s %12s\n", "tool", "wall (s)", "peak (MB)"
    split("measure tree page du gdu gdu-list", order, " ")
    for (i = 1; i <= 6; i++) { k = order[i]; printf "%-8s %10.3f %12.1f\n", k, t[k], m[k] / 1024 }
    printf "\nmeasurement vs du -s:      %5.2fx faster (goal %.2fx on %d cores)\n", t["du"] / t["measure"], (cores >= 8 ? 4 : 0.75 * cores), cores
    printf "measurement vs gdu -n -s:  %5.2fx faster (goal 1.5x)\n", t["gdu"] / t["measure"]
    printf "measurement peak memory:   %5.3f of gdu (goal at most 0.25)\n", m["measure"] / m["gdu"]
    printf "tree walk vs measurement:  %5.2fx the time (goal at most 2x)\n", t["tree"] / t["measure"]
    printf "tree walk peak memory:     %5.0f bytes per node over %d nodes (goal at most 150)\n", m["tree"] * 1024 / nodes, nodes
    printf "page vs gdu -n:            %5.2fx the time (goal at most 0.7x)\n", t["page"] / t["gdu-list"]
    printf "page vs tree walk:         %5.2fx the time (goal at most 1.3x)\n", t["page"] / t["tree"]
  }' "$scratch/results"

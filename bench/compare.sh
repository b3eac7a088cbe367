#!/usr/bin/env bash
# Times our measurement, our tree walk, `du -s` and `gdu -n -s` on the same warm tree, in one
# run, and prints the wall time and peak memory of each with our ratios against both.
#
#   bench/compare.sh [TREE] [RUNS]
#
# TREE defaults to /tmp/hl-bench-tree and is generated there (about 250,000 files, 1.8 GB) when
# missing; RUNS (default 7) runs of each tool follow one warm-up run, and the median wall time
# and the largest peak memory are reported. Build first (./scripts/build); HL_BUILD_DIR selects
# the build folder. A benchmark, never a test.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${HL_BUILD_DIR:-build}"
tree="${1:-/tmp/hl-bench-tree}"
runs="${2:-7}"
measure="$build_dir/bench/hl_bench_measure"
make_tree="$build_dir/bench/hl_bench_make_tree"

for tool in "$measure" "$make_tree"; do
  [ -x "$tool" ] || { echo "missing $tool: build first (./scripts/build)" >&2; exit 1; }
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

# run NAME COMMAND...: one warm-up, then $runs timed runs; prints "NAME median_seconds peak_kb".
run() {
  local name="$1"; shift
  "$@" >/dev/null 2>&1
  local times=() peak=0 start end kb
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    /usr/bin/time -f %M -o "$scratch/rss" "$@" >/dev/null 2>"$scratch/err" ||
      { echo "$name failed:" >&2; cat "$scratch/err" >&2; exit 1; }
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000 )))
    kb=$(tail -n 1 "$scratch/rss")
    (( kb > peak )) && peak=$kb
  done
  local median
  median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
  echo "$name $median $peak" >> "$scratch/results"
}

echo "tree: $tree"
echo "figures:  $("$measure" "$tree")"
echo "tree:     $("$measure" --tree "$tree")"
echo "cores: $cores, runs per tool: $runs (median wall time, largest peak memory)"
: > "$scratch/results"
run measure "$measure" "$tree"
run tree "$measure" --tree "$tree"
run du du -s "$tree"
run gdu gdu -n -s "$tree"

nodes=$("$measure" --tree "$tree" | sed -E 's/^nodes=([0-9]+).*/\1/')
awk -v cores="$cores" -v nodes="$nodes" '
  { t[$1] = $2 / 1e6; m[$1] = $3 }
  END {
    printf "%-8s %10s %12s\n", "tool", "wall (s)", "peak (MB)"
    split("measure tree du gdu", order, " ")
    for (i = 1; i <= 4; i++) { k = order[i]; printf "%-8s %10.3f %12.1f\n", k, t[k], m[k] / 1024 }
    printf "\nmeasurement vs du -s:      %5.2fx faster (goal %.2fx on %d cores)\n", t["du"] / t["measure"], (cores >= 8 ? 4 : 0.75 * cores), cores
    printf "measurement vs gdu -n -s:  %5.2fx faster (goal 1.5x)\n", t["gdu"] / t["measure"]
    printf "measurement peak memory:   %5.3f of gdu (goal at most 0.25)\n", m["measure"] / m["gdu"]
    printf "tree walk vs measurement:  %5.2fx the time (goal at most 2x)\n", t["tree"] / t["measure"]
    printf "tree walk peak memory:     %5.0f bytes per node over %d nodes (goal at most 300)\n", m["tree"] * 1024 / nodes, nodes
  }' "$scratch/results"

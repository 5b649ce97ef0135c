#!/usr/bin/env bash
# Times zelvane with every switch on hostile listings (one line of MB bytes
# made of "<br>", "&", "&#233;" or "&lt;br&gt;", and one programme of MB bytes
# of further lines) against a realistic listing of the same size, at each
# size given, and prints seconds, peak memory and the ratio per byte.
#
#   bench/hostile.sh [MEGABYTES...]     (default: 10 100)
#
# Run it from the project's root; it builds what it needs into build-bench.
set -euo pipefail
cd "$(dirname "$0")/.."
sizes=("$@")
((${#sizes[@]})) || sizes=(10 100)

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DZELVANE_BENCHMARKS=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build build-bench -j2 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The median of three runs: seconds (to the millisecond) and peak resident KiB.
run() {
  local times=() memory=0
  for _ in 1 2 3; do
    rm -f "$work/out.xml"
    start=$(date +%s%N)
    /usr/bin/time -f "%M" -o "$work/time" ./build-bench/zelvane "$1" --output "$work/out.xml" \
      --cet --kenmerk --tba --talpa >/dev/null
    end=$(date +%s%N)
    seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
    read -r kilobytes <"$work/time"
    times+=("$seconds")
    ((kilobytes > memory)) && memory=$kilobytes
  done
  printf '%s %s %s\n' "$(printf '%s\n' "${times[@]}" | sort -g | sed -n 2p)" "$memory" \
    "$(stat -c %s "$work/out.xml")"
}

printf '%-10s %6s %10s %12s %12s %10s\n' kind MB seconds "peak KiB" "output B" "x realistic"
for megabytes in "${sizes[@]}"; do
  ./build-bench/generate_listing "$megabytes" "$work/in.xml" 1 latin1 realistic
  read -r base memory output < <(run "$work/in.xml")
  printf '%-10s %6s %10s %12s %12s %10s\n' realistic "$megabytes" "$base" "$memory" "$output" 1.00
  for kind in br amp ref ltbr further; do
    ./build-bench/generate_listing "$megabytes" "$work/in.xml" 1 latin1 "$kind"
    read -r seconds memory output < <(run "$work/in.xml")
    ratio=$(awk -v s="$seconds" -v b="$base" 'BEGIN { printf (b > 0) ? "%.2f" : "-", s / b }')
    printf '%-10s %6s %10s %12s %12s %10s\n' "$kind" "$megabytes" "$seconds" "$memory" "$output" "$ratio"
  done
done

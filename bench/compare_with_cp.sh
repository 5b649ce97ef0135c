#!/usr/bin/env bash
# Times zelvane with every switch against cp, dd, the simplest getline filter
# and line_copy (the program's own line reader and writer with nothing in
# between) on one generated listing, alternating them, and prints the
# medians, the ratios and the peak resident memory of each.
#
#   bench/compare_with_cp.sh [MEGABYTES] [RUNS] [latin1|utf8]
#
# Run it from the project's root; it builds what it needs into build-bench.
set -euo pipefail
cd "$(dirname "$0")/.."
megabytes=${1:-200}
runs=${2:-5}
encoding=${3:-latin1}

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DZELVANE_BENCHMARKS=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build build-bench -j2 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cc -O2 -o "$work/getline_filter" bench/getline_filter.c
./build-bench/generate_listing "$megabytes" "$work/listing.xml" 1 "$encoding"
cat "$work/listing.xml" >/dev/null  # warm the page cache

declare -A commands=(
  [cp]="cp $work/listing.xml $work/out.xml"
  [dd]="dd if=$work/listing.xml of=$work/out.xml bs=64k status=none"
  [dd-sync]="dd if=$work/listing.xml of=$work/out.xml bs=256k conv=fsync status=none"
  [getline]="$work/getline_filter $work/listing.xml $work/out.xml"
  [lines]="./build-bench/line_copy $work/listing.xml $work/out.xml"
  [zelvane]="./build-bench/zelvane $work/listing.xml --output $work/out.xml --cet --kenmerk --tba --talpa"
)
# cp copies inside the kernel (copy_file_range); dd with 64 KiB blocks shows
# what reading and writing through the program's own buffers costs, and
# line_copy what going line by line costs before any line is looked at.
# dd-sync copies through 256 KiB blocks and flushes the copy to disk before
# it ends, as zelvane must before its result replaces the destination.
order=(cp dd dd-sync getline lines zelvane)
declare -A times memory
for ((run = 1; run <= runs; run++)); do
  for name in "${order[@]}"; do
    rm -f "$work/out.xml"
    # Elapsed time to the nanosecond (time's own is in hundredths), peak
    # memory from time.
    start=$(date +%s%N)
    /usr/bin/time -f "%M" -o "$work/time" ${commands[$name]} >/dev/null
    end=$(date +%s%N)
    seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
    read -r kilobytes <"$work/time"
    times[$name]+="$seconds "
    if [[ -z ${memory[$name]:-} || $kilobytes -gt ${memory[$name]} ]]; then memory[$name]=$kilobytes; fi
  done
done

median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
size=$(stat -c %s "$work/listing.xml")
echo "listing: $megabytes MB ($size bytes, $encoding), $runs runs each, $(date -u +%F)"
printf '%-8s %10s %12s %14s\n' program "median s" "MB/s" "peak RSS KiB"
cp_median=$(median "${times[cp]}")
for name in "${order[@]}"; do
  m=$(median "${times[$name]}")
  rate=$(awk -v s="$size" -v t="$m" 'BEGIN { printf (t > 0) ? "%.0f" : "inf", s / 1048576 / t }')
  printf '%-8s %10s %12s %14s\n' "$name" "$m" "$rate" "${memory[$name]}"
done
awk -v z="$(median "${times[zelvane]}")" -v c="$cp_median" -v g="$(median "${times[getline]}")" \
  -v l="$(median "${times[lines]}")" -v s="$(median "${times[dd-sync]}")" \
  'BEGIN { printf "zelvane / cp: %.2f   zelvane / dd-sync: %.2f   zelvane / getline: %.2f   line_copy / cp: %.2f\n",
           (c > 0) ? z / c : 0, (s > 0) ? z / s : 0, (g > 0) ? z / g : 0, (c > 0) ? l / c : 0 }'

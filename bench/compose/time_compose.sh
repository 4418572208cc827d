#!/bin/bash
# Times trelvo-compose of the one-minute recipe as a whole process (start-up,
# compose, bake, writing and exit), as a user runs it.
#   bench/compose/time_compose.sh [BUILD_DIR] [RUNS] [-- extra trelvo-compose options]
# Prints the fastest, median and slowest wall time and the median CPU time
# (user + system), with the machine's load: on a busy machine the wall time
# grows with the load while the CPU time stays.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
runs=${2:-20}
shift $(( $# < 2 ? $# : 2 ))
[ "${1:-}" = "--" ] && shift
program=$build/bin/trelvo-compose
[ -x "$program" ] || { echo "no $program (build the trelvo-compose target)" >&2; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
args=("$here/one_minute.json" -o "$out/out.json" "$@")
"$program" "${args[@]}" > /dev/null  # warm the caches once
walls=() cpus=()
TIMEFORMAT='%R %U %S'
for ((i = 0; i < runs; ++i)); do
  t=$( { time "$program" "${args[@]}" > /dev/null; } 2>&1 )
  read -r real user sys <<< "$t"
  walls+=("$(awk -v r="$real" 'BEGIN { printf "%.0f", r * 1000 }')")
  cpus+=("$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.0f", (u + s) * 1000 }')")
done
sorted=($(printf '%s\n' "${walls[@]}" | sort -n))
cpusorted=($(printf '%s\n' "${cpus[@]}" | sort -n))
echo "trelvo-compose one_minute.json -o out.json${*:+ $*}: $runs runs"
echo "  wall ms: fastest ${sorted[0]}, median ${sorted[$((runs / 2))]}, slowest ${sorted[$((runs - 1))]}"
echo "  cpu ms (user + system): median ${cpusorted[$((runs / 2))]}"
echo "  load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

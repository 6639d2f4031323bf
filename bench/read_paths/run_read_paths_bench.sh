#!/usr/bin/env bash
# Builds read_paths_bench and raw_read_modes (bench preset) and runs each mode several times,
# interleaved, printing the median wall time of each and its ratio to the first mode given.
# Usage: bench/read_paths/run_read_paths_bench.sh <runs> large <file> <consumer> <mode>...
#        bench/read_paths/run_read_paths_bench.sh <runs> small <list> <consumer> <mode>...
#        bench/read_paths/run_read_paths_bench.sh <runs> raw <file> <consumer> <mode>...
# Set ORVO_BENCH_PREFIX to run each measurement under a wrapper (e.g. taskset or chrt).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
runs=$1 kind=$2 input=$3 consumer=$4
shift 4
cmake --preset bench -G Ninja > /dev/null
cmake --build --preset bench --target read_paths_bench raw_read_modes > /dev/null
if [[ $kind == raw ]]; then
  program=("$root/build/bench/bin/raw_read_modes" "$input")
else
  program=("$root/build/bench/bin/read_paths_bench" "$kind" "$input")
fi
declare -A times
for ((run = 0; run < runs; ++run)); do
  for mode in "$@"; do
    seconds=$(${ORVO_BENCH_PREFIX:-} "${program[@]}" "$mode" "$consumer" | awk '{print $4}')
    times[$mode]+="$seconds "
  done
done
first=""
for mode in "$@"; do
  median=$(tr ' ' '\n' <<< "${times[$mode]}" | grep . | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}')
  first=${first:-$median}
  awk -v k="$kind" -v m="$mode" -v c="$consumer" -v med="$median" -v f="$first" -v all="${times[$mode]}" \
    'BEGIN { printf "%s %s %s median %.4f s ratio %.3f (runs: %s)\n", k, c, m, med, med / f, all }'
done

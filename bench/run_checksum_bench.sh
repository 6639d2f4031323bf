#!/usr/bin/env bash
# Configures an optimized build with the benchmarks, builds checksum_bench and runs it.
# Usage: bench/run_checksum_bench.sh [build dir] [benchmark arguments...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-bench}"
shift || true
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVO_BENCH=ON -DORVO_TESTS=OFF
cmake --build "$build" --target checksum_bench -j2
"$build/bin/checksum_bench" "$@"

# Instructions per byte, when valgrind is installed: callgrind counts the instructions of
# 64 passes over 1 MiB. Valgrind hides AVX-512 from the program, so ours runs class 4 here.
if command -v valgrind > /dev/null; then
  for pair in "crc32c ours" "crc32c single-stream" "crc32c isal" "crc32 ours" "crc32 libdeflate" \
              "crc32 isal" "crc32 zlib" "adler32 ours" "adler32 libdeflate" "adler32 zlib"; do
    set -- $pair
    out="$build/callgrind.$1.$2"
    valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect='*RepeatOverMebibyte*' \
      "$build/bin/checksum_bench" --callgrind "$2" "$1" > /dev/null 2>&1
    instructions=$(grep '^summary:' "$out" | awk '{print $2}')
    awk -v a="$1" -v p="$2" -v n="$instructions" \
      'BEGIN { printf "instructions per byte %s %s %.3f\n", a, p, n / (64 * 1048576) }'
  done
fi

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

#!/usr/bin/env bash
# Builds the three configurations (Linux release, Linux debug with ASan/UBSan, Windows under
# Wine) and runs every test of each, then runs the tests of the threaded code (the finder, the
# thread pool and synchronization, telemetry) in the ThreadSanitizer build.
# Fails on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-orvo}"
presets=("${@:-release debug-asan mingw tsan}")
read -r -a presets <<<"${presets[*]}"
for preset in "${presets[@]}"; do
  echo "==== $preset: configure"
  cmake --preset "$preset" -G Ninja >/dev/null
  echo "==== $preset: build"
  cmake --build --preset "$preset"
  if [[ "$preset" == "mingw" ]]; then
    # Create the Wine prefix once, before tests start in parallel.
    wine cmd /c exit >/dev/null 2>&1 || true
  fi
  echo "==== $preset: test"
  log="build/$preset/ctest-output.log"
  runner=()
  if [[ "$preset" == "tsan" ]]; then
    # ThreadSanitizer's fixed shadow layout fails on kernels that randomize mappings widely;
    # the tests run with address randomization off.
    runner=(setarch "$(uname -m)" -R)
  fi
  if ! "${runner[@]}" ctest --preset "$preset" 2>&1 | tee "$log"; then
    # Repeat what failed at the end, where a log's tail shows it.
    echo "==== $preset: failures"
    grep -E "^\[  FAILED  \]|Failure$|^(Expected|  Actual|Which is|Value of|  Expected)|failed to|Error|error:" "$log" | tail -60
    exit 1
  fi
done

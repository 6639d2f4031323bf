#!/usr/bin/env bash
# Builds the three configurations (Linux release, Linux debug with ASan/UBSan, Windows under
# Wine) and runs every test of each, then runs the tests of the threaded code (the finder, the
# thread pool and synchronization, telemetry) in the ThreadSanitizer build. Everything goes
# through the presets, as the README's one-build commands do, so that both work on one checkout.
# Fails on the first failure; lists every skipped test with its reason.
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("${@:-release debug-asan mingw tsan}")
read -r -a presets <<<"${presets[*]}"
for preset in "${presets[@]}"; do
  echo "==== $preset: configure"
  cmake --preset "$preset" >/dev/null
  echo "==== $preset: build"
  cmake --build --preset "$preset"
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
  # CTest's summary names a skipped test; its own output, kept in the full log, says why.
  skips=$(awk '/: Skipped$/ { getline why } /^\[  SKIPPED \] .* \(/ { print "  " $4 ": " why }' \
            "build/$preset/Testing/Temporary/LastTest.log")
  if [[ -n $skips ]]; then
    echo "==== $preset: skipped, and why"
    echo "$skips"
  fi
done

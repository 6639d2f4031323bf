#!/usr/bin/env bash
# Builds engine_consumer.cpp as an outside program would, against the installed tree only (its
# header with warnings as errors, its library), and runs it: the installed header must stand on
# its own and the installed library must link and load.
# Usage: check_engine_consumer.sh <prefix> <work dir> <elf|pe> <C++ compiler> "<compiler flags>" <emulator or "">
set -euo pipefail
prefix=$1 work=$2 flavour=$3 compiler=$4 flags=$5 emulator=$6
source=$(cd "$(dirname "$0")" && pwd)/engine_consumer.cpp
rm -rf "$work"
mkdir -p "$work"
cd "$work"
warnings=(-std=c++20 -Wall -Wextra -Wshadow -Werror -I"$prefix/include/orvo")
if [[ $flavour == elf ]]; then
  libraries=$prefix/lib/orvo-utilities
  # shellcheck disable=SC2086 # the flags are several words
  "$compiler" $flags "${warnings[@]}" "$source" -o consumer -L"$libraries" -lapi-orvo-files-1-0 -Wl,-rpath,"$libraries"
  env -u LD_LIBRARY_PATH ./consumer
else
  # The runtime linked in statically, so that no MinGW DLL is needed; the engine through its
  # import library, named by path since -static makes -l look for archives only.
  # shellcheck disable=SC2086
  "$compiler" $flags "${warnings[@]}" -static "$source" -o consumer.exe "$prefix/lib/api-orvo-files-1-0.dll.a"
  # The DLLs stay in the installed bin/, which Wine's search path names.
  WINEPATH="Z:${prefix//\//\\}\\bin" $emulator ./consumer.exe | tr -d '\r'
fi

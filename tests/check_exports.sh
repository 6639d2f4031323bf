#!/usr/bin/env bash
# Checks what the engine library exports and imports, and that purgent needs it at load time.
# Usage: check_exports.sh <engine library> <purgent program> <objdump or nm flavour: elf|pe>
set -euo pipefail
engine=$1 program=$2 flavour=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
if [[ $flavour == elf ]]; then
  exports=$(nm -D --defined-only "$engine" | awk '$2 ~ /^[TtWw]$/ {print $3}' | sort -u)
  [[ "$exports" == "OrvoFilesCleanup" ]] || fail "engine exports: $exports"
  grep -qw OrvoTimeElapsedSince <<<"$(nm -D --undefined-only "$engine")" || fail "engine does not import OrvoTimeElapsedSince"
  grep -q 'NEEDED.*libapi-orvo-time-1-0' <<<"$(readelf -d "$engine")" || fail "engine does not need the time library"
  grep -q 'NEEDED.*libapi-orvo-files-1-0' <<<"$(readelf -d "$program")" || fail "purgent does not need the engine at load time"
else
  objdump=x86_64-w64-mingw32-objdump
  exports=$($objdump -p "$engine" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /\]/ {print $NF} on && NF==0 {on=0}' | sort -u)
  [[ "$exports" == "OrvoFilesCleanup" ]] || fail "DLL exports: $exports"
  engine_headers=$($objdump -p "$engine")
  grep -q 'DLL Name: api-orvo-time-1-0.dll' <<<"$engine_headers" || fail "DLL does not import the time library"
  grep -qw OrvoTimeElapsedSince <<<"$engine_headers" || fail "DLL does not import OrvoTimeElapsedSince"
  grep -q 'DLL Name: api-orvo-files-1-0.dll' <<<"$($objdump -p "$program")" || fail "purgent.exe does not import the engine"
fi
echo "exports: $exports"

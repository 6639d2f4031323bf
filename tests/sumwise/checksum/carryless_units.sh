#!/usr/bin/env bash
# Checks that carry-less multiplication stands only in the checksum units compiled for it: each
# CRC-32 folding, CRC-32C carry-less and wide unit holds some, and no other unit (class
# entries, table paths, Adler-32, byte swap, dispatch) holds any.
# Usage: carryless_units.sh <objdump> <checksum static library>
set -euo pipefail
objdump=$1 library=$2
# "<unit> <count>" per archive member; mnemonics only (after a tab), not symbol names.
counts=$("$objdump" -d "$library" | awk '
  / file format / { unit = $1; sub(/\.cpp\.o(bj)?:$/, "", unit); count[unit] = 0; next }
  /\tv?pclmul/ { ++count[unit] }
  END { for (u in count) print u, count[u] }' | sort)
[[ -n $counts ]] || { echo "FAIL: no units in $library"; exit 1; }
status=0
while read -r unit count; do
  if [[ $unit =~ ^crc32_fold_|^crc32c_clmul_|_vpclmul$ ]]; then
    ((count > 0)) || { echo "FAIL: $unit holds no carry-less multiplication"; status=1; }
  elif ((count > 0)); then
    echo "FAIL: $unit holds $count carry-less multiplications"
    status=1
  fi
done <<<"$counts"
echo "$counts"
exit $status

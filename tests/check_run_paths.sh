#!/usr/bin/env bash
# Checks that no binary of the build looks for libraries relative to the folder it is started
# from: every run path entry must be absolute or start with $ORIGIN. The loader reads an empty
# entry (a leading, doubled or trailing ':') and a relative one as the current folder.
# Usage: check_run_paths.sh <binary>...
set -euo pipefail
status=0
for binary in "$@"; do
  runpath=$(readelf -d "$binary" | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]/\2/p')
  [[ -n $runpath ]] || continue
  # The added ':' keeps a trailing empty entry, which read would drop.
  IFS=: read -r -a entries <<<"$runpath:"
  for entry in "${entries[@]}"; do
    if [[ $entry != /* && $entry != '$ORIGIN'* ]]; then
      echo "FAIL: $binary has the run path '$runpath'" >&2
      status=1
      break
    fi
  done
done
exit $status

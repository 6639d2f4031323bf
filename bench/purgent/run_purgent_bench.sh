#!/usr/bin/env bash
# Deletion benchmark: purgent against rm, find and bfs on fresh copies of one tree (100,000 files,
# 10,000 folders). Deletion waits on the file system far longer than it computes, so each tool
# runs on at least five fresh copies, alternating the tools, and the median wall time counts.
# Ends with one line per comparison: vs <peer> <workload> <ratio> (ours over the peer's; below 1
# means faster).
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${RUNS:-5}
files=${FILES:-100000}
folders=${FOLDERS:-10000}
work=${WORK:-/tmp/orvo-purgent-bench}
purgent=${PURGENT:-build/release/bin/purgent}

command -v bfs >/dev/null || { echo "bfs is missing: apt-get install -y bfs" >&2; exit 1; }
[[ -x "$purgent" ]] || { cmake --preset release >/dev/null && cmake --build --preset release --target purgent; }

rm -rf "$work"; mkdir -p "$work"
echo "building the template tree ($files files, $folders folders)..."
python3 bench/purgent/make_tree.py "$work/template" "$files" "$folders"

# time_one <label> <command...>: copies the template, runs the command on the copy, prints seconds.
time_one() {
  local label=$1; shift
  rm -rf "$work/copy"; cp -a "$work/template" "$work/copy"; sync
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  echo "$label $(echo "$end - $start" | bc)" >>"$work/times"
}

: >"$work/times"
for ((i = 0; i < runs; i++)); do
  time_one "purgent:all" "$purgent" "$work/copy" -z -r -q
  time_one "rm:all" rm -rf "$work/copy"
  time_one "find:all" find "$work/copy" -mindepth 1 -delete
  time_one "bfs:all" bfs "$work/copy" -mindepth 1 -delete
  time_one "purgent:filtered" "$purgent" "$work/copy" -s -e -n '*.log' -a 30d -q
  time_one "find:filtered" find "$work/copy" -depth \( -type f -iname '*.log' -mtime +30 -delete \) -o \( -mindepth 1 -type d -empty -delete \)
done

median() { grep "^$1 " "$work/times" | awk '{print $2}' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
for key in purgent:all rm:all find:all bfs:all purgent:filtered find:filtered; do
  printf '%-18s median %.3f s\n' "$key" "$(median "$key")"
done
ratio() { echo "scale=3; $(median "$1") / $(median "$2")" | bc; }
echo "vs rm all $(ratio purgent:all rm:all)"
echo "vs find all $(ratio purgent:all find:all)"
echo "vs bfs all $(ratio purgent:all bfs:all)"
echo "vs find filtered $(ratio purgent:filtered find:filtered)"
rm -rf "$work"

#!/usr/bin/env bash
# Finder benchmark: findle against fdfind, find and bfs on one tree (300,000 files in 30,000
# folders), warm cache, for '*.log' and '*', output to /dev/null. findle prints its statistics
# (total size of the matches included); the peers run as users call them:
#   fdfind -u -i -g PATTERN DIR | find DIR -iname PATTERN | bfs DIR -iname PATTERN
# Before timing, the number of files each tool finds is checked to agree (the peers are then
# limited to files, since with '*' they also list the folders). Ends with one line per peer and
# workload: vs <peer> <workload> <ratio>, our median wall time over the peer's (below 1: faster).
set -euo pipefail
cd "$(dirname "$0")/../.."
files=${FILES:-300000}
folders=${FOLDERS:-30000}
runs=${RUNS:-15}
work=${WORK:-/tmp/orvo-findle-bench}
findle=${FINDLE:-build/release/bin/findle}
tree="$work/tree-$files-$folders"

for tool in hyperfine fdfind bfs find python3; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: apt-get install -y hyperfine fd-find bfs" >&2; exit 1; }
done
[[ -x "$findle" ]] || { cmake --preset release >/dev/null && cmake --build --preset release --target findle; }
if [[ ! -d "$tree" ]]; then
  echo "building the tree ($files files, $folders folders)..."
  mkdir -p "$work"
  python3 bench/findle/make_tree.py "$tree.partial" "$files" "$folders"
  mv "$tree.partial" "$tree"
fi
find "$tree" >/dev/null # warm the cache

declare -A patterns=([log]='*.log' [all]='*')
status=0
for workload in log all; do
  pattern=${patterns[$workload]}
  ours=$("$findle" -q "$tree/$pattern" | grep -c . || true)
  for peer in fdfind find bfs; do
    case $peer in
      fdfind) theirs=$(fdfind -u -i -g "$pattern" --type f "$tree" | wc -l) ;;
      find) theirs=$(find "$tree" -type f -iname "$pattern" | wc -l) ;;
      bfs) theirs=$(bfs "$tree" -type f -iname "$pattern" | wc -l) ;;
    esac
    if [[ "$ours" != "$theirs" ]]; then
      echo "count mismatch for $workload: findle $ours, $peer $theirs" >&2
      status=1
    fi
  done
  echo "$workload: $ours matching files"
done
[[ $status == 0 ]] || exit 1

results="$work/results.json"
for workload in log all; do
  pattern=${patterns[$workload]}
  hyperfine -N --warmup 3 --runs "$runs" --export-json "$results.$workload" \
    -n findle "$findle $tree/$pattern" \
    -n fdfind "fdfind -u -i -g $pattern $tree" \
    -n find "find $tree -iname $pattern" \
    -n bfs "bfs $tree -iname $pattern" >/dev/null
done

python3 - "$results" <<'PY'
import json, statistics, sys
base = sys.argv[1]
for workload in ("log", "all"):
    data = json.load(open(f"{base}.{workload}"))["results"]
    medians = {r["command"]: statistics.median(r["times"]) for r in data}
    for r in data:
        name = r["command"]
        print(f"{workload:4} {name:7} median {medians[name]:.3f} s  (mean user {r.get('user', 0):.3f} s, system {r.get('system', 0):.3f} s)")
for workload in ("log", "all"):
    data = json.load(open(f"{base}.{workload}"))["results"]
    medians = {r["command"]: statistics.median(r["times"]) for r in data}
    for peer in ("fdfind", "find", "bfs"):
        print(f"vs {peer} {workload} {medians['findle'] / medians[peer]:.3f}")
PY

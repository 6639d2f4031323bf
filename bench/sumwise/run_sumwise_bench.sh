#!/usr/bin/env bash
# Hashing benchmark: sumwise against the tools people hash files with, side by side in one run,
# on sets kept in the page cache (under /dev/shm by default):
#   tiny: 20,000 files of 300 bytes;  small: 20,000 files of 1 to 64 KiB of random bytes;
#   big: 4 files of 512 MiB.
# For each of the nine algorithms: sumwise, every peer that offers it (md5sum, sha1sum, sha256sum,
# sha384sum, sha512sum; rhash --md4 --md5 --sha1 --sha256 --sha384 --sha512 --crc32 --crc32c;
# openssl dgst; python's zlib for CRC-32 and Adler-32), and `xargs -P2` of the best single-process
# peer; and a reading floor (open, 1 MiB reads, close) on one thread and on two.
# Every command gets its file list the same way (xargs reads the list and starts the tool with
# all of it as arguments, in one process, or in two for the `xargs -P2` peers), so that the
# launch costs weigh alike and none is the shell's reading of a 20,000-line list. Before
# timing, each peer's digests are checked to equal sumwise's. Then the tiny and the small set
# once more, MD5 only, with the last processor kept busy by a shell loop pinned to it (a machine
# that is not ours alone): sumwise, md5sum, `xargs -P2 md5sum` and the floors. Then one 2 GiB
# file with SHA-256, and the peak resident set of a sumwise run over the big set.
# Settings (environment): RUNS (5; BIG_RUNS 3 for the big set), SETS ("tiny small big"),
# ALGORITHMS (all nine), BIG_ALGORITHMS (ALGORITHMS), BUSY (1: the busy-processor runs; 0: none),
# BASELINE (another sumwise binary, e.g. an earlier build: timed beside ours on every set), CHECK
# (1: a list checked with -c and its peers), PROGRESS (1: the status line's cost).
# Ends with lines
#   vs <peer> <set> <algorithm> <ratio>     our median wall time over the peer's (below 1: faster)
#   floor <set> <algorithm> <ratio>         our median over the two-thread reading floor's
#   vs <checker>-c small sha256 <ratio>     sumwise -c over a checker's time, on one SHA-256 list
#   status-line <set> sha256 <ratio>        with the status line shown over without it
# where a set named <set>-busy is a run with the last processor kept busy.
set -euo pipefail
cd "$(dirname "$0")/../.."
work=${WORK:-/dev/shm/orvo-sumwise-bench}
runs=${RUNS:-5}
small_files=${SMALL_FILES:-20000}
tiny_files=${TINY_FILES:-20000}
sets=(${SETS:-tiny small big})
algorithms=(${ALGORITHMS:-md4 md5 sha1 sha256 sha384 sha512 crc32c zipcrc adler})
big_algorithms=(${BIG_ALGORITHMS:-${algorithms[*]}})
baseline=${BASELINE:-}
build=build/bench
sumwise=$build/bin/sumwise
floor=$build/bin/sumwise_read_floor

for tool in hyperfine rhash openssl python3 md5sum sha256sum xargs taskset /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: bash scripts/install-deps.sh --bench" >&2; exit 1; }
done
cmake --preset bench >/dev/null
cmake --build --preset bench --target sumwise sumwise_read_floor >/dev/null

mkdir -p "$work/cmd" "$work/out"
# make_set <name> <count> <smallest> <largest>: files of random bytes, 1,000 to a folder.
make_set() {
  [[ -f "$work/$1.list" ]] && return
  echo "building the $1 set ($2 files of $3 to $4 bytes)..."
  python3 - "$work/$1" "$2" "$3" "$4" <<'PY'
import os, random, sys
root, count, smallest, largest = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
rng = random.Random(20261208)
for i in range(count):
    folder = os.path.join(root, "%03d" % (i // 1000))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "%05d.bin" % i), "wb") as f:
        f.write(os.urandom(rng.randint(smallest, largest)))
PY
  find "$work/$1" -type f | sort >"$work/$1.list"
}
make_set small "$small_files" 1024 65536
make_set tiny "$tiny_files" 300 300
if [[ ! -f "$work/big.list" ]]; then
  echo "building the big set (4 files of 512 MiB) and one file of 2 GiB..."
  mkdir -p "$work/big"
  for i in 1 2 3 4; do head -c $((512 << 20)) /dev/urandom >"$work/big/$i.bin"; done
  cat "$work/big/"*.bin >"$work/single.bin"
  ls "$work/big/"*.bin >"$work/big.list"
  echo "$work/single.bin" >"$work/single.list"
fi
cat "$work/tiny.list" "$work/small.list" "$work/big.list" "$work/single.list" | xargs cat >/dev/null # warm the cache

python_sum() { # zlib.<function> of every file, as "<hex>  <path>" lines
  printf '%s' "import sys, zlib
for p in sys.argv[1:]:
    print('%08x  %s' % (zlib.$1(open(p, 'rb').read()), p))"
}
printf '%s\n' "$(python_sum crc32)" >"$work/cmd/zlib-crc32.py"
printf '%s\n' "$(python_sum adler32)" >"$work/cmd/zlib-adler32.py"

declare -A peers=(
  [md4]="rhash openssl" [md5]="md5sum rhash openssl" [sha1]="sha1sum rhash openssl"
  [sha256]="sha256sum rhash openssl" [sha384]="sha384sum rhash openssl" [sha512]="sha512sum rhash openssl"
  [crc32c]="rhash" [zipcrc]="rhash zlib" [adler]="zlib"
)
# The command of a peer for an algorithm; the files follow it.
peer_command() {
  local peer=$1 algorithm=$2
  case $peer in
    *sum) echo "$peer" ;;
    rhash) case $algorithm in zipcrc) echo "rhash --simple --crc32" ;; *) echo "rhash --simple --$algorithm" ;; esac ;;
    openssl) case $algorithm in
        md4) echo "openssl dgst -r -md4 -provider legacy -provider default" ;;
        *) echo "openssl dgst -r -$algorithm" ;;
      esac ;;
    zlib) case $algorithm in zipcrc) echo "python3 $work/cmd/zlib-crc32.py" ;; *) echo "python3 $work/cmd/zlib-adler32.py" ;; esac ;;
  esac
}

# The command of a tool over a list: a script that starts it once with the files as arguments
# (wrap), or that hands them to two processes of it at once (wrap_xargs). The command line may
# take all the system allows, so that a list is not cut into more processes than asked for.
command_bytes=$(($(getconf ARG_MAX) - 65536))
wrap() { # <name> <list> <command...>
  local name=$1 list=$2
  shift 2
  printf 'exec xargs -d "\\n" -s %d -a %q %s\n' "$command_bytes" "$list" "$*" >"$work/cmd/$name.sh"
}
wrap_xargs() { # <name> <list> <command...>
  local name=$1 list=$2 half
  shift 2
  half=$((($(wc -l <"$list") + 1) / 2))
  printf 'exec xargs -d "\\n" -s %d -P2 -n %d -a %q %s\n' "$command_bytes" "$half" "$list" "$*" >"$work/cmd/$name.sh"
}

# Digest lines as a sorted set of "<lower-case hex>  <path>".
normalize() { sed -e 's/ \*/  /' | awk '{ print tolower($1) "  " $2 }' | sort; }

echo "checking that every peer's digests equal sumwise's..."
status=0
# The algorithms measured on a set.
set_algorithms() { if [[ $1 == big ]]; then echo "${big_algorithms[@]}"; else echo "${algorithms[@]}"; fi; }
for set in "${sets[@]}"; do
  list="$work/$set.list"
  wrap "floor1-$set" "$list" "$floor" 1
  wrap "floor2-$set" "$list" "$floor" 2
  for algorithm in $(set_algorithms "$set"); do
    ours="$work/out/sumwise-$set-$algorithm"
    wrap "sumwise-$set-$algorithm" "$list" "$sumwise" -q "-$algorithm"
    [[ -z $baseline ]] || wrap "baseline-$set-$algorithm" "$list" "$baseline" -q "-$algorithm"
    bash "$work/cmd/sumwise-$set-$algorithm.sh" | normalize >"$ours"
    [[ $(wc -l <"$ours") == $(wc -l <"$list") ]] || { echo "sumwise $set $algorithm: lines missing" >&2; status=1; }
    for peer in ${peers[$algorithm]}; do
      wrap "$peer-$set-$algorithm" "$list" "$(peer_command "$peer" "$algorithm")"
      if ! bash "$work/cmd/$peer-$set-$algorithm.sh" | normalize | cmp -s - "$ours"; then
        echo "digest mismatch: $peer $set $algorithm" >&2
        status=1
      fi
    done
  done
done
[[ $status == 0 ]] || exit 1

# median <name>: the median wall time of a timed command, from its hyperfine record.
median() { python3 -c 'import json, statistics, sys; print(statistics.median(json.load(open(sys.argv[1]))["results"][0]["times"]))' "$work/out/$1.json"; }
time_command() { # <name> [runs]
  hyperfine -N --warmup 1 --runs "${2:-$runs}" --export-json "$work/out/$1.json" "bash $work/cmd/$1.sh" >/dev/null
  printf '  %-28s %8.3f s\n' "$1" "$(median "$1")"
}
ratio() { python3 -c 'import sys; print("%.3f" % (float(sys.argv[1]) / float(sys.argv[2])))' "$1" "$2"; }

summary=()
# time_peers <set> <algorithm> <peers...>: times sumwise (and the baseline), each peer and
# `xargs -P2` of the best one, and adds their ratios to the summary; <set> may end in -busy.
time_peers() {
  local set=$1 algorithm=$2 data=${1%-busy} best="" best_time="" name peer theirs ours
  shift 2
  [[ $set == "$data" ]] || for name in sumwise ${baseline:+baseline} "$@"; do
    cp "$work/cmd/$name-$data-$algorithm.sh" "$work/cmd/$name-$set-$algorithm.sh"
  done
  time_command "sumwise-$set-$algorithm" "$set_runs"
  ours=$(median "sumwise-$set-$algorithm")
  if [[ -n $baseline ]]; then
    time_command "baseline-$set-$algorithm" "$set_runs"
    summary+=("vs baseline $set $algorithm $(ratio "$ours" "$(median "baseline-$set-$algorithm")")")
  fi
  for peer in "$@"; do
    time_command "$peer-$set-$algorithm" "$set_runs"
    theirs=$(median "$peer-$set-$algorithm")
    summary+=("vs $peer $set $algorithm $(ratio "$ours" "$theirs")")
    if [[ -z $best_time ]] || python3 -c 'import sys; sys.exit(0 if float(sys.argv[1]) < float(sys.argv[2]) else 1)' "$theirs" "$best_time"; then
      best=$peer best_time=$theirs
    fi
  done
  wrap_xargs "xargs-$best-$set-$algorithm" "$work/$data.list" "$(peer_command "$best" "$algorithm")"
  time_command "xargs-$best-$set-$algorithm" "$set_runs"
  summary+=("vs xargs-P2-$best $set $algorithm $(ratio "$ours" "$(median "xargs-$best-$set-$algorithm")")")
  summary+=("floor $set $algorithm $(ratio "$ours" "$(median "floor2-$set")")")
}
time_floors() { # <set>, which may end in -busy
  local threads
  [[ $1 == "${1%-busy}" ]] || for threads in 1 2; do cp "$work/cmd/floor$threads-${1%-busy}.sh" "$work/cmd/floor$threads-$1.sh"; done
  time_command "floor1-$1" "$set_runs"
  time_command "floor2-$1" "$set_runs"
}

for set in "${sets[@]}"; do
  set_runs=$runs
  [[ $set == big ]] && set_runs=${BIG_RUNS:-3}
  echo "$set set:"
  time_floors "$set"
  for algorithm in $(set_algorithms "$set"); do
    time_peers "$set" "$algorithm" ${peers[$algorithm]}
  done
done

# The last processor kept busy by a loop pinned to it, for MD5 on the sets of small files.
busy_loop=""
stop_busy_loop() { [[ -z $busy_loop ]] || { kill "$busy_loop" 2>/dev/null; wait "$busy_loop" 2>/dev/null || true; busy_loop=""; }; }
trap stop_busy_loop EXIT
if [[ ${BUSY:-1} == 1 ]]; then
  for set in tiny small; do
    [[ " ${sets[*]} " == *" $set "* && " ${algorithms[*]} " == *" md5 "* ]] || continue
    taskset -c "$(($(nproc) - 1))" sh -c 'while :; do :; done' &
    busy_loop=$!
    set_runs=$runs
    echo "$set set, last processor busy:"
    time_floors "$set-busy"
    time_peers "$set-busy" md5 md5sum
    stop_busy_loop
  done
fi

# A SHA-256 list of the small set checked: sumwise -c beside the checkers that read one file at a
# time (sha256sum -c, rhash -c), each printing only what does not match.
if [[ ${CHECK:-1} == 1 && " ${sets[*]} " == *" small "* ]]; then
  echo "a SHA-256 list of the small set, checked:"
  xargs -d '\n' -a "$work/small.list" sha256sum >"$work/small.sha256"
  printf 'exec %q -q -c %q\n' "$sumwise" "$work/small.sha256" >"$work/cmd/check-sumwise.sh"
  printf 'exec sha256sum --quiet -c %q\n' "$work/small.sha256" >"$work/cmd/check-sha256sum.sh"
  printf 'exec rhash --skip-ok -c %q\n' "$work/small.sha256" >"$work/cmd/check-rhash.sh"
  for checker in sumwise sha256sum rhash; do
    bash "$work/cmd/check-$checker.sh" >/dev/null || { echo "check-$checker found a mismatch" >&2; exit 1; }
    time_command "check-$checker"
  done
  for checker in sha256sum rhash; do
    summary+=("vs $checker-c small sha256 $(ratio "$(median check-sumwise)" "$(median "check-$checker")")")
  done
fi

# What the status line costs: the same runs under a pseudo-terminal, with standard error on it
# (the line shown) and sent to /dev/null (not shown); standard output goes to /dev/null in both.
if [[ ${PROGRESS:-1} == 1 ]] && command -v script >/dev/null; then
  echo "status line shown and not shown (under script):"
  for set in small big; do
    [[ " ${sets[*]} " == *" $set "* ]] || continue
    printf 'exec script -qec %q /dev/null\n' "bash $work/cmd/sumwise-$set-sha256.sh >/dev/null" \
      >"$work/cmd/shown-$set-sha256.sh"
    printf 'exec script -qec %q /dev/null\n' "bash $work/cmd/sumwise-$set-sha256.sh >/dev/null 2>/dev/null" \
      >"$work/cmd/hidden-$set-sha256.sh"
    time_command "shown-$set-sha256"
    time_command "hidden-$set-sha256"
    summary+=("status-line $set sha256 $(ratio "$(median "shown-$set-sha256")" "$(median "hidden-$set-sha256")")")
  done
fi

echo "one file of 2 GiB, SHA-256:"
wrap "sumwise-single-sha256" "$work/single.list" "$sumwise" -q -sha256
time_command "sumwise-single-sha256" 3
if [[ -n $baseline ]]; then
  wrap "baseline-single-sha256" "$work/single.list" "$baseline" -q -sha256
  time_command "baseline-single-sha256" 3
  summary+=("vs baseline single2g sha256 $(ratio "$(median sumwise-single-sha256)" "$(median baseline-single-sha256)")")
fi
for peer in sha256sum rhash openssl; do
  wrap "$peer-single-sha256" "$work/single.list" "$(peer_command "$peer" sha256)"
  time_command "$peer-single-sha256" 3
  summary+=("vs $peer single2g sha256 $(ratio "$(median sumwise-single-sha256)" "$(median "$peer-single-sha256")")")
done

echo "peak resident set (KiB), /usr/bin/time -f %M:"
for algorithm in sha256 crc32c; do
  wrap "rss-big-$algorithm" "$work/big.list" "$sumwise" -q "-$algorithm"
  rss=$(/usr/bin/time -f %M bash "$work/cmd/rss-big-$algorithm.sh" 2>&1 >/dev/null | tail -1)
  echo "  sumwise over the big set, $algorithm: $rss"
done
one=$(head -1 "$work/small.list")
echo "  sumwise on one small file: $(/usr/bin/time -f %M "$sumwise" -q "$one" 2>&1 >/dev/null | tail -1)"

printf '%s\n' "${summary[@]}"

#!/usr/bin/env bash
# Installs a build into a fresh prefix and checks the tree: exactly the programs (and on Windows
# the two DLLs beside them) in bin/, the engine's header, on Linux the libraries in their private
# folder with run paths relative to the binaries and one manual page per program; then runs every
# installed program from another folder, with no library path set, and expects its usage.
# Usage: check_install_tree.sh <build dir> <prefix> <elf|pe> <emulator or ""> <program>...
set -euo pipefail
build=$1 prefix=$2 flavour=$3 emulator=$4
shift 4
programs=("$@")
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$prefix"
"${CMAKE:-cmake}" --install "$build" --prefix "$prefix" >/dev/null
[[ -f $prefix/include/orvo/api-orvo-files/orvo_files.h ]] || fail "the engine's header is not installed"

expected_bin=()
if [[ $flavour == elf ]]; then
  libraries=$prefix/lib/orvo-utilities
  for library in libapi-orvo-files-1-0.so libapi-orvo-time-1-0.so; do
    [[ -f $libraries/$library ]] || fail "$library is not in lib/orvo-utilities"
    runpath=$(readelf -d "$libraries/$library" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
    [[ $runpath == '$ORIGIN' ]] || fail "$library has the run path '$runpath'"
  done
  for program in "${programs[@]}"; do
    expected_bin+=("$program")
    runpath=$(readelf -d "$prefix/bin/$program" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
    [[ $runpath == '$ORIGIN/../lib/orvo-utilities' ]] || fail "$program has the run path '$runpath'"
    [[ -f $prefix/share/man/man1/$program.1.gz ]] || fail "$program has no manual page"
  done
else
  expected_bin=(api-orvo-files-1-0.dll api-orvo-time-1-0.dll)
  for program in "${programs[@]}"; do
    expected_bin+=("$program.exe")
  done
fi
installed=$(ls "$prefix/bin" | sort)
wanted=$(printf '%s\n' "${expected_bin[@]}" | sort)
[[ $installed == "$wanted" ]] || fail "bin/ holds: $(echo $installed), expected: $(echo $wanted)"

# From a folder of its own, so that nothing is found by the current folder.
cd "$(mktemp -d)"
for program in "${programs[@]}"; do
  if [[ $flavour == elf ]]; then
    run=("$prefix/bin/$program")
  else
    run=($emulator "$prefix/bin/$program.exe")
  fi
  output=$(env -u LD_LIBRARY_PATH "${run[@]}" -? | tr -d '\r') || fail "installed $program -? exits with $?"
  grep -qi "^$program - " <<<"$output" || fail "installed $program -? printed: $output"
done
echo "installed tree of ${programs[*]} checked"

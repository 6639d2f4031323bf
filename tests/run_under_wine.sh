#!/usr/bin/env bash
# Runs a Windows program under Wine for CTest and passes its standard output on with the carriage
# returns taken out, keeping its exit status. The Windows test programs write CR LF under Wine;
# CTest reads their test lists as lines of names, and their logs read as the Linux ones do.
#
# Two faults of Wine itself are kept from failing a case:
# - a missing Wine prefix is created first, once, while every other caller waits: the first Wine
#   program of a fresh prefix starts its creation, and when that creation ends it closes every
#   Wine program of the session;
# - a program whose link to the Wine server breaks ("wine client error: ... recvmsg: Connection
#   reset by peer", about one run in four of the 2-core machines' full Windows suite, always at
#   a program's start) is run again, at most twice. Any other failure stands as it is.
# Usage: run_under_wine.sh <wine> <program> [arguments...]
set -o pipefail
prefix=${WINEPREFIX:-$HOME/.wine}
{
  flock 9
  if [[ ! -d $prefix ]]; then
    "$1" wineboot --init >/dev/null 2>&1
    wineserver -w
  fi
} 9>"${TMPDIR:-/tmp}/orvo-wine-prefix-$(id -u).lock"

errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
attempt=1
while true; do
  # The error text goes through a file, not a pipe: a Wine server that the program starts keeps
  # the program's standard error open long after the program has ended.
  "$@" 2>"$errors" | tr -d '\r'
  status=$?
  cat "$errors" >&2
  if [[ $status -eq 0 || $attempt -eq 3 ]] || ! grep -q "^wine client error:" "$errors"; then
    exit $status
  fi
  echo "run_under_wine.sh: Wine's server link broke (attempt $attempt); running again" >&2
  attempt=$((attempt + 1))
done

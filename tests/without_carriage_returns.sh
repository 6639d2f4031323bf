#!/usr/bin/env bash
# Runs a command and passes its standard output on with the carriage returns taken out, keeping
# its exit status. The Windows test programs write CR LF under Wine; CTest reads their test
# lists as lines of names, and their logs read as the Linux ones do.
# Usage: without_carriage_returns.sh <command> [arguments...]
set -o pipefail
"$@" | tr -d '\r'

#!/usr/bin/env bash
# Checks an installed manual page: it formats without a warning, names its program in a NAME
# line that whatis reads, and documents every switch that the program's usage shows.
# Usage: check_manual.sh <page.1.gz> <installed program>
set -euo pipefail
page=$1 program=$2
name=$(basename "$program")
fail() { echo "FAIL: $*" >&2; exit 1; }

warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
[[ -z $warnings ]] || fail "formatting warns: $warnings"
whatis=$(lexgrog "$page") || fail "lexgrog cannot read the NAME section: $whatis"
grep -q "\"$name - " <<<"$whatis" || fail "NAME line: $whatis"

# Switches of the usage: the " -x<TAB>text" lines and the "[-a|-b]" choices of a usage line.
usage=$("$program" -?)
usage_switches=$( (sed -n 's/^ \(-[^[:space:]]*\)\t.*/\1/p' <<<"$usage"
                   { grep -o '\[-[^] ]*\]' <<<"$usage" || true; } | tr -d '[]' | tr '|' '\n') | sort -u)
[[ -n $usage_switches ]] || fail "no switch found in the usage of $name"
# Switches of the page: the headings of its tagged paragraphs, "-x" or "-x argument".
rendered=$(MANWIDTH=80 man -l "$page" 2>/dev/null | col -b)
page_switches=$(sed -n 's/^ \{7\}\(-[^[:space:]]*\)\( .*\)\{0,1\}$/\1/p' <<<"$rendered" | sort -u)
missing=$(comm -23 <(echo "$usage_switches") <(echo "$page_switches"))
[[ -z $missing ]] || fail "$name.1 does not document: $(echo $missing)"
echo "$name.1 checked: $(echo $usage_switches)"

// sumwise -c: the digest lists it checks. A line is "<hex>  <path>" or "<hex> *<path>" (a line
// that starts with a backslash has "\\" and "\n" escapes in its path), or the tagged form
// "ALGO (path) = <hex>"; empty lines and sumwise's own statistics line are skipped.
#pragma once
#include "platform/platform.h"

#include <string>
#include <string_view>
#include <vector>

#include "tools/Sumwise/algorithms.h"

struct CheckEntry {
    std::wstring path;           // as written in the list
    std::wstring expected;       // the digest in lower-case hex
    const Algorithm* algorithm;  // the one the digest is checked with
};

enum class ListLine { kEntry, kSkipped, kMalformed };

// Reads one line of a list, without its line feed (a carriage return at its end is dropped).
// `given` is the algorithm of the command line's switch, or null: the line's tag, else the
// length of its digest, chooses (32 hex digits MD5, 40 SHA-1, 64 SHA-256, 96 SHA-384, 128
// SHA-512). A digest whose length does not fit its algorithm makes the line malformed.
ListLine ReadListLine(std::string_view line, const Algorithm* given, CheckEntry& entry);

// Reads the list file at `listPath` and appends its digest lines to `entries`, printing a warning
// with the line number of each line that is not one. Fails, printing nothing, when the file
// cannot be read.
HRESULT ReadCheckList(const wchar_t* listPath, const Algorithm* given, std::vector<CheckEntry>& entries);

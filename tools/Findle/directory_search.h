// The parallel directory search: SearchTree over SearchFolder and the SearchWorkItem routine.
#pragma once
#include "platform/platform.h"

// The figures of one search.
struct SearchResults {
    LONG filesConsidered = 0; // every entry that is not a folder
    LONG filesMatched = 0;
    LONG64 matchedBytes = 0;
    LONG foldersVisited = 0;  // folders whose enumeration started, the starting folder included
};

// Searches `folder` (a full path in long form) and every folder below it, links to folders
// included, for files whose names match `pattern`, printing each match's path. Up to
// `concurrencyLimit` folders are searched at the same time (1: all on the calling thread).
// Returns the first failure met (the search goes on past failures), or S_OK. `results` is
// written only when the search ran, not when its coordination objects could not be made.
HRESULT SearchTree(const wchar_t* folder, const wchar_t* pattern, DWORD concurrencyLimit, SearchResults& results);

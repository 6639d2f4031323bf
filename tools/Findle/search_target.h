// The folder and the pattern that one search argument names.
#pragma once
#include "tools/Findle/path_buffer.h"

struct SearchTarget {
    const wchar_t* folder = nullptr;  // long form; inside the search path, the current folder or the root
    const wchar_t* pattern = nullptr; // inside the search path, or "*"
    PathBuffer currentFolder;         // holds the folder when the search path names none
};

// Splits `searchPath` (the long-form full path of the search argument; cut in place): an
// existing folder is searched for "*"; otherwise the text after the last separator is the
// pattern and the text before it the folder. At the root the folder keeps its separator, and a
// path without a separator of its own searches the current folder. An empty pattern becomes
// "*". Fails only when the current folder's full path cannot be made.
HRESULT LocateSearchTarget(wchar_t* searchPath, SearchTarget& target);

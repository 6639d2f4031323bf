// The export macros of the product's two shared libraries, for their public headers: the
// library's own build (ORVO_FILES_BUILD, ORVO_TIME_BUILD) exports its functions, every caller
// imports them. Needs nothing else, so that it is installed beside the engine's header for
// outside callers.
#pragma once

#if defined(_WIN32)
#define ORVO_DLL_EXPORT __declspec(dllexport)
#define ORVO_DLL_IMPORT __declspec(dllimport)
#else
// The libraries are built with hidden visibility: what they export is marked default, and a
// caller's declaration says the same.
#define ORVO_DLL_EXPORT __attribute__((visibility("default")))
#define ORVO_DLL_IMPORT __attribute__((visibility("default")))
#endif

#if defined(ORVO_FILES_BUILD)
#define ORVO_FILES_API ORVO_DLL_EXPORT
#else
#define ORVO_FILES_API ORVO_DLL_IMPORT
#endif

#if defined(ORVO_TIME_BUILD)
#define ORVO_TIME_API ORVO_DLL_EXPORT
#else
#define ORVO_TIME_API ORVO_DLL_IMPORT
#endif

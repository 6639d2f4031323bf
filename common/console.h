// Console text shared by the tools: the banner-and-usage pattern, and the end of a run's output.
#pragma once
#include "platform/platform.h"

#include <initializer_list>

// Prints each line with its own printf call, as literal text.
void PrintLines(std::initializer_list<const char*> lines);

// The notice line under every tool's banner, followed by the empty line.
inline constexpr const char* kNoticeLine = "Copyright (c) Brel. All rights reserved.\n\n";

// Standard output's text is the result of findle and sumwise: a run whose output did not all
// reach it (a full disk, a closed pipe, a line that could not be made) must not end as a success.
// Flushes standard output and returns `exitCode`, or, where it was 0 and the output is incomplete
// (`linesLost`, or the stream failed), says so on standard error and returns kExitOutputLost.
int ExitCodeAfterOutput(int exitCode, bool linesLost);

// ERROR_WRITE_FAULT as an HRESULT: the output could not be written in full.
inline constexpr int kExitOutputLost = static_cast<int>(0x8007001D);

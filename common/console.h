// Console text shared by the tools: the banner-and-usage pattern.
#pragma once
#include "platform/platform.h"

#include <initializer_list>

// Prints each line with its own printf call, as literal text.
void PrintLines(std::initializer_list<const char*> lines);

// The notice line under every tool's banner, followed by the empty line.
inline constexpr const char* kNoticeLine = "Copyright (c) Brel. All rights reserved.\n\n";

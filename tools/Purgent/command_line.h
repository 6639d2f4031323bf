// purgent's command line: switches, the age and duration grammars, the root path rules.
#pragma once
#include "platform/platform.h"

// Console output and number formatting shared by the tools.
#pragma once
#include "platform/platform.h"

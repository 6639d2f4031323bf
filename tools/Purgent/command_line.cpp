#include "tools/Purgent/command_line.h"

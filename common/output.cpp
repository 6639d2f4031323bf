#include "common/output.h"

// Thread last-error state and the errno-to-Win32 mapping.
#include "platform/platform.h"

#include "store/platform_seam.h"

// Filled once at start-up by the Win32 layer, or by a test with its own stand-ins.
PlatformSeam g_platform;

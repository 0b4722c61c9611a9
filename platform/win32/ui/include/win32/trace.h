// The platform trace: when the environment names a file in PLATFORM_TRACE, the layers
// append one line per start-up and shutdown call to it (calls with no counterpart here
// included), so that a test can follow the process's life from outside.
#pragma once

void Win32Trace(const char* line);

// The command line of the running process, the browser side's and each web process's alike.
#pragma once

#include "cef/cef_command_line.h"

// Sets commandLine from the process's own arguments, as the kernel holds them.
void InitFromProcessArguments(CefCommandLine& commandLine);

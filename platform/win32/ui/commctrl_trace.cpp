#include <cstdio>
#include <cstdlib>

#include "win32/commctrl.h"
#include "win32/trace.h"

void Win32Trace(const char* line) {
    static const char* const path = std::getenv("PLATFORM_TRACE");
    if (!path || !*path || !line)
        return;
    // Opened per line, so that every process of a run appends in order and nothing is
    // lost when a process ends abruptly.
    if (std::FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s\n", line);
        std::fclose(f);
    }
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
    Win32Trace("InitCommonControlsEx");
    return init ? TRUE : FALSE;
}

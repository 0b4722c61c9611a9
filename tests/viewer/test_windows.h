// Real windows for tests: a top-level window and children with control ids.
#pragma once

#include "win32/winuser.h"

// A top-level window whose procedure is DefWindowProcW.
HWND MakeTestTopLevel();
HWND MakeTestChild(HWND parent, int controlId, int x = 0, int y = 0, int width = 10,
                   int height = 10);

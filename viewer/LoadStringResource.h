#pragma once

#include "win32/types.h"

// The text of string resource id, or "String Resource <id> Not Found". The text lives in
// one buffer of this function: copy it before the next call.
const wchar_t* LoadStringResource(UINT id);

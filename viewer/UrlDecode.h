// Percent-decoding of an attachment name: each escape, or UTF-8 sequence of escapes,
// becomes one character.
#pragma once

#include "afx/afxstr.h"

// Decodes s in place. Characters the decoder appends are not scanned again ("%2541" gives
// "%41"), and '+' stays '+'.
void UrlDecode(CStringW& s);

#pragma once

#include "afx/afxstr.h"

// The course's start page for the executable at modulePath: "file://" + the executable's
// folder + "/index.html". The file is not looked for and nothing is percent-encoded.
CStringW BuildStartUrl(const CStringW& modulePath);

#pragma once

#include "afx/afxstr.h"

// The course's start page for the executable at modulePath: "file://" + the executable's
// folder + "/index.html". The file is not looked for. Of the path, only the characters that
// would change the URL's meaning are escaped ('%' as "%25", '#' as "%23", '?' as "%3F"), so
// that a course in any folder loads; blanks and every other character stay as they are.
CStringW BuildStartUrl(const CStringW& modulePath);

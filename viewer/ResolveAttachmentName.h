// How the attachment opener turns the name a page passed into the file it opens.
#pragma once

#include "afx/afxstr.h"

// The name to open for a page at pageUrl: name as given when it exists (relative names
// against the current folder), else joined to the page's folder; percent-decoded in both
// cases. Empty when the decoded name names no existing file or folder.
CStringW ResolveAttachmentName(const CStringW& name, const CStringW& pageUrl);

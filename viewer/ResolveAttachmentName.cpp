#include "ResolveAttachmentName.h"

#include "UrlDecode.h"
#include "afx/afxfile.h"

namespace {

bool Exists(const CStringW& name) {
    CFileStatus status;
    return CFile::GetStatus(name, status) != FALSE;
}

}  // namespace

CStringW ResolveAttachmentName(const CStringW& name, const CStringW& pageUrl) {
    // file:///home/u/Course/index.html gives /home/u/Course/index.html.
    CStringW base = pageUrl;
    base.Replace(L"file://", L"");
    CStringW path = name;
    if (!Exists(path)) {
        // The folder ends at the last '/' of the whole text, query and fragment included.
        path = base.Left(base.ReverseFind(L'/') + 1) + name;
    }
    UrlDecode(path);
    return Exists(path) ? path : CStringW();
}

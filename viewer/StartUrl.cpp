#include "StartUrl.h"

namespace {

// The path with the characters that a URL reads as syntax escaped: '%' first, so that the
// escapes added after it stay as they are.
CStringW EscapeUrlSyntax(CStringW path) {
    path.Replace(L"%", L"%25");
    path.Replace(L"#", L"%23");
    path.Replace(L"?", L"%3F");
    return path;
}

}  // namespace

CStringW BuildStartUrl(const CStringW& modulePath) {
    const int slash = modulePath.ReverseFind(L'/');
    const CStringW folder = slash < 0 ? CStringW() : modulePath.Left(slash);
    const CStringW path = EscapeUrlSyntax(folder + L"/index.html");
    CStringW url;
    url.Format(L"%s%s", L"file://", path.GetString());
    return url;
}

#include "StartUrl.h"

CStringW BuildStartUrl(const CStringW& modulePath) {
    const int slash = modulePath.ReverseFind(L'/');
    const CStringW folder = slash < 0 ? CStringW() : modulePath.Left(slash);
    const CStringW path = folder + L"/index.html";
    CStringW url;
    url.Format(L"%s%s", L"file://", path.GetString());
    return url;
}

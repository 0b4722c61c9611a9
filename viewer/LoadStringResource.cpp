#include "LoadStringResource.h"

#include "afx/afxstr.h"

const wchar_t* LoadStringResource(UINT id) {
    static CStringW text;
    if (!text.LoadString(id))
        text.Format(L"String Resource %d Not Found", static_cast<int>(id));
    return text.GetString();
}

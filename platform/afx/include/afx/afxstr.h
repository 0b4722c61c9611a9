// The framework's wide string: every path, URL and message name of the program.
#pragma once

#include <cstddef>
#include <string>

#include "win32/types.h"

class CStringW {
  public:
    CStringW() = default;
    CStringW(const wchar_t* s) : s_(s ? s : L"") {}
    CStringW(const wchar_t* s, int length)
        : s_(s ? std::wstring(s, length > 0 ? length : 0) : L"") {}
    CStringW(std::wstring s) : s_(std::move(s)) {}
    CStringW(wchar_t ch, int repeat = 1) : s_(repeat > 0 ? repeat : 0, ch) {}

    operator LPCWSTR() const { return s_.c_str(); }
    LPCWSTR GetString() const { return s_.c_str(); }
    const std::wstring& str() const { return s_; }

    int GetLength() const { return static_cast<int>(s_.size()); }
    bool IsEmpty() const { return s_.empty(); }
    void Empty() { s_.clear(); }
    wchar_t GetAt(int index) const { return s_.at(static_cast<std::size_t>(index)); }
    wchar_t operator[](int index) const { return GetAt(index); }
    void SetAt(int index, wchar_t ch) { s_.at(static_cast<std::size_t>(index)) = ch; }
    void Truncate(int length);

    CStringW Left(int count) const;
    CStringW Right(int count) const;
    CStringW Mid(int first) const;
    CStringW Mid(int first, int count) const;
    // Index of the first occurrence at or after start; -1 when there is none.
    int Find(wchar_t ch, int start = 0) const;
    int Find(LPCWSTR sub, int start = 0) const;
    int ReverseFind(wchar_t ch) const;
    // Replaces every occurrence, left to right; the number replaced.
    int Replace(wchar_t oldCh, wchar_t newCh);
    int Replace(LPCWSTR oldText, LPCWSTR newText);
    int Compare(LPCWSTR other) const;

    // printf-style formatting with the framework's conventions: %s and %c take wide
    // arguments (%S and %C narrow ones).
    void Format(LPCWSTR format, ...);
    void AppendFormat(LPCWSTR format, ...);
    // The text of a string resource of the executable; false (and the string unchanged)
    // when there is none.
    BOOL LoadString(UINT id);

    CStringW& operator=(LPCWSTR s) {
        s_ = s ? s : L"";
        return *this;
    }
    CStringW& operator+=(const CStringW& s) {
        s_ += s.s_;
        return *this;
    }
    CStringW& operator+=(LPCWSTR s) {
        if (s)
            s_ += s;
        return *this;
    }
    CStringW& operator+=(wchar_t ch) {
        s_ += ch;
        return *this;
    }
    friend CStringW operator+(const CStringW& a, const CStringW& b) {
        return CStringW(a.s_ + b.s_);
    }
    friend CStringW operator+(const CStringW& a, LPCWSTR b) {
        return CStringW(a.s_ + (b ? b : L""));
    }
    friend CStringW operator+(LPCWSTR a, const CStringW& b) {
        return CStringW((a ? a : L"") + b.s_);
    }
    friend CStringW operator+(const CStringW& a, wchar_t b) { return CStringW(a.s_ + b); }
    friend bool operator==(const CStringW& a, const CStringW& b) { return a.s_ == b.s_; }
    friend bool operator==(const CStringW& a, LPCWSTR b) { return a.s_ == (b ? b : L""); }
    friend bool operator!=(const CStringW& a, const CStringW& b) { return a.s_ != b.s_; }
    friend bool operator!=(const CStringW& a, LPCWSTR b) { return !(a == b); }
    friend bool operator<(const CStringW& a, const CStringW& b) { return a.s_ < b.s_; }

  private:
    std::wstring s_;
};

using CString = CStringW;

// UTF-16 text at every boundary of the browser-engine layer, converted to and from the
// program's wide strings (UTF-32 wchar_t here) and the engine's UTF-8.
#pragma once

#include <string>

class CefString {
  public:
    CefString() = default;
    CefString(const char16_t* s) : s_(s ? s : u"") {}
    CefString(std::u16string s) : s_(std::move(s)) {}
    CefString(const wchar_t* s);
    CefString(const std::wstring& s);
    CefString(const char* utf8);
    CefString(const std::string& utf8);

    const std::u16string& str() const { return s_; }
    const char16_t* c_str() const { return s_.c_str(); }
    std::size_t length() const { return s_.length(); }
    bool empty() const { return s_.empty(); }
    void clear() { s_.clear(); }

    std::wstring ToWString() const;
    std::string ToString() const;  // UTF-8

    bool operator==(const CefString& o) const { return s_ == o.s_; }
    bool operator!=(const CefString& o) const { return s_ != o.s_; }
    bool operator<(const CefString& o) const { return s_ < o.s_; }

  private:
    std::u16string s_;
};

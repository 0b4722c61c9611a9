// A list of typed values, the argument list of a process message.
#pragma once

#include <cstddef>
#include <variant>
#include <vector>

#include "cef/cef_base.h"
#include "cef/cef_string.h"

enum cef_value_type_t {
    VTYPE_INVALID = 0,
    VTYPE_NULL,
    VTYPE_BOOL,
    VTYPE_INT,
    VTYPE_DOUBLE,
    VTYPE_STRING,
};

class CefListValue : public CefRefCounted<> {
  public:
    static CefRefPtr<CefListValue> Create();

    bool IsValid() const { return true; }
    std::size_t GetSize() const { return values_.size(); }
    bool SetSize(std::size_t size);  // new entries are null
    bool Clear();
    bool Remove(std::size_t index);
    cef_value_type_t GetType(std::size_t index) const;

    bool GetBool(std::size_t index) const;
    int GetInt(std::size_t index) const;
    double GetDouble(std::size_t index) const;
    CefString GetString(std::size_t index) const;  // empty unless the entry is a string

    // Setting past the end grows the list, the gap filled with null entries.
    bool SetNull(std::size_t index);
    bool SetBool(std::size_t index, bool value);
    bool SetInt(std::size_t index, int value);
    bool SetDouble(std::size_t index, double value);
    bool SetString(std::size_t index, const CefString& value);

  private:
    struct Null {};
    using Value = std::variant<Null, bool, int, double, CefString>;
    template <class T>
    bool Set(std::size_t index, T value);

    std::vector<Value> values_;
};

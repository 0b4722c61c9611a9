#include "cef/cef_values.h"

CefRefPtr<CefListValue> CefListValue::Create() {
    return new CefListValue();
}

bool CefListValue::SetSize(std::size_t size) {
    values_.resize(size);
    return true;
}

bool CefListValue::Clear() {
    values_.clear();
    return true;
}

bool CefListValue::Remove(std::size_t index) {
    if (index >= values_.size())
        return false;
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

cef_value_type_t CefListValue::GetType(std::size_t index) const {
    if (index >= values_.size())
        return VTYPE_INVALID;
    static constexpr cef_value_type_t kTypes[] = {VTYPE_NULL, VTYPE_BOOL, VTYPE_INT, VTYPE_DOUBLE,
                                                  VTYPE_STRING};
    return kTypes[values_[index].index()];
}

bool CefListValue::GetBool(std::size_t index) const {
    if (index >= values_.size())
        return false;
    const bool* v = std::get_if<bool>(&values_[index]);
    return v ? *v : false;
}

int CefListValue::GetInt(std::size_t index) const {
    if (index >= values_.size())
        return 0;
    const int* v = std::get_if<int>(&values_[index]);
    return v ? *v : 0;
}

double CefListValue::GetDouble(std::size_t index) const {
    if (index >= values_.size())
        return 0;
    const double* v = std::get_if<double>(&values_[index]);
    return v ? *v : 0;
}

CefString CefListValue::GetString(std::size_t index) const {
    if (index >= values_.size())
        return CefString();
    const CefString* v = std::get_if<CefString>(&values_[index]);
    return v ? *v : CefString();
}

template <class T>
bool CefListValue::Set(std::size_t index, T value) {
    if (index >= values_.size())
        values_.resize(index + 1);
    values_[index] = std::move(value);
    return true;
}

bool CefListValue::SetNull(std::size_t index) {
    return Set(index, Null{});
}
bool CefListValue::SetBool(std::size_t index, bool value) {
    return Set(index, value);
}
bool CefListValue::SetInt(std::size_t index, int value) {
    return Set(index, value);
}
bool CefListValue::SetDouble(std::size_t index, double value) {
    return Set(index, value);
}
bool CefListValue::SetString(std::size_t index, const CefString& value) {
    return Set(index, value);
}

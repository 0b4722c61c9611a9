#include "list_value_variant.h"

#include <string>

namespace {

GVariant* StringToVariant(const CefString& s) {
    const std::u16string& units = s.str();
    static_assert(sizeof(char16_t) == sizeof(guint16));
    return g_variant_new_fixed_array(G_VARIANT_TYPE_UINT16, units.data(), units.size(),
                                     sizeof(guint16));
}

CefString StringFromVariant(GVariant* v) {
    gsize count = 0;
    const auto* units =
        static_cast<const char16_t*>(g_variant_get_fixed_array(v, &count, sizeof(guint16)));
    return units ? CefString(std::u16string(units, count)) : CefString();
}

GVariant* EntryToVariant(const CefListValue& list, std::size_t index) {
    switch (list.GetType(index)) {
        case VTYPE_BOOL:
            return g_variant_new_boolean(list.GetBool(index));
        case VTYPE_INT:
            return g_variant_new_int32(list.GetInt(index));
        case VTYPE_DOUBLE:
            return g_variant_new_double(list.GetDouble(index));
        case VTYPE_STRING:
            return StringToVariant(list.GetString(index));
        default:
            return g_variant_new_tuple(nullptr, 0);
    }
}

void SetEntryFromVariant(CefListValue& list, std::size_t index, GVariant* v) {
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_BOOLEAN)) {
        list.SetBool(index, g_variant_get_boolean(v));
    } else if (g_variant_is_of_type(v, G_VARIANT_TYPE_INT32)) {
        list.SetInt(index, g_variant_get_int32(v));
    } else if (g_variant_is_of_type(v, G_VARIANT_TYPE_DOUBLE)) {
        list.SetDouble(index, g_variant_get_double(v));
    } else if (g_variant_is_of_type(v, G_VARIANT_TYPE("aq"))) {
        list.SetString(index, StringFromVariant(v));
    } else {
        list.SetNull(index);
    }
}

}  // namespace

GVariant* ListValueToVariant(const CefListValue& list) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("av"));
    for (std::size_t i = 0; i < list.GetSize(); ++i) {
        g_variant_builder_add(&builder, "v", EntryToVariant(list, i));
    }
    return g_variant_builder_end(&builder);
}

void ListValueFromVariant(GVariant* variant, CefListValue& list) {
    if (!variant || !g_variant_is_of_type(variant, G_VARIANT_TYPE("av")))
        return;
    const gsize count = g_variant_n_children(variant);
    for (gsize i = 0; i < count; ++i) {
        GVariant* boxed = g_variant_get_child_value(variant, i);
        GVariant* value = g_variant_get_variant(boxed);
        SetEntryFromVariant(list, i, value);
        g_variant_unref(value);
        g_variant_unref(boxed);
    }
}

CefRefPtr<CefListValue> ListValueFromVariant(GVariant* variant) {
    CefRefPtr<CefListValue> list = CefListValue::Create();
    ListValueFromVariant(variant, *list);
    return list;
}

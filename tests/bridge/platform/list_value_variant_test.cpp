// What crosses between the processes: a message's argument list as a serialised variant.
#include "list_value_variant.h"

#include <gtest/gtest.h>

namespace {

CefRefPtr<CefListValue> Transfer(const CefListValue& list) {
    GVariant* sent = g_variant_ref_sink(ListValueToVariant(list));
    GBytes* bytes = g_variant_get_data_as_bytes(sent);
    GVariant* received =
        g_variant_ref_sink(g_variant_new_from_bytes(G_VARIANT_TYPE("av"), bytes, FALSE));
    CefRefPtr<CefListValue> result = ListValueFromVariant(received);
    g_variant_unref(received);
    g_bytes_unref(bytes);
    g_variant_unref(sent);
    return result;
}

TEST(ListValueVariant, EveryEntryCrossesUnchanged) {
    const std::u16string text{u'c', u'\0', u'\u00e9', char16_t(0xD800)};  // NUL, lone surrogate
    CefRefPtr<CefListValue> list = CefListValue::Create();
    list->SetString(0, text);
    list->SetInt(1, -7);
    list->SetBool(2, true);
    list->SetDouble(3, 2.5);
    list->SetNull(4);
    list->SetString(5, u"");

    CefRefPtr<CefListValue> copy = Transfer(*list);
    ASSERT_EQ(copy->GetSize(), 6u);
    EXPECT_EQ(copy->GetString(0).str(), text);
    EXPECT_EQ(copy->GetInt(1), -7);
    EXPECT_TRUE(copy->GetBool(2));
    EXPECT_EQ(copy->GetDouble(3), 2.5);
    EXPECT_EQ(copy->GetType(4), VTYPE_NULL);
    EXPECT_EQ(copy->GetType(5), VTYPE_STRING);
    EXPECT_EQ(Transfer(*CefListValue::Create())->GetSize(), 0u);
}

TEST(ListValueVariant, ForeignDataGivesNullEntriesOrAnEmptyList) {
    EXPECT_EQ(ListValueFromVariant(nullptr)->GetSize(), 0u);
    GVariant* other = g_variant_ref_sink(g_variant_new_string("openAttachment"));
    EXPECT_EQ(ListValueFromVariant(other)->GetSize(), 0u);
    g_variant_unref(other);

    GVariantBuilder builder;  // an entry of an unknown type keeps the others in place
    g_variant_builder_init(&builder, G_VARIANT_TYPE("av"));
    g_variant_builder_add(&builder, "v", g_variant_new_string("utf-8 text"));
    g_variant_builder_add(&builder, "v", g_variant_new_int32(3));
    GVariant* v = g_variant_ref_sink(g_variant_builder_end(&builder));
    CefRefPtr<CefListValue> list = ListValueFromVariant(v);
    g_variant_unref(v);
    ASSERT_EQ(list->GetSize(), 2u);
    EXPECT_EQ(list->GetType(0), VTYPE_NULL);
    EXPECT_EQ(list->GetInt(1), 3);
}

}  // namespace

#include "list_value_variant.h"

#include <gtest/gtest.h>

namespace {

// What crosses between the processes: the variant in its serialised form.
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

TEST(ListValueVariant, EveryEntryTypeCrossesUnchanged) {
    CefRefPtr<CefListValue> list = CefListValue::Create();
    list->SetString(0, u"docs/caf\u00e9.pdf");
    list->SetInt(1, -7);
    list->SetBool(2, true);
    list->SetDouble(3, 2.5);
    list->SetNull(4);
    list->SetString(5, u"");

    CefRefPtr<CefListValue> copy = Transfer(*list);
    ASSERT_EQ(copy->GetSize(), 6u);
    EXPECT_EQ(copy->GetString(0), CefString(u"docs/caf\u00e9.pdf"));
    EXPECT_EQ(copy->GetInt(1), -7);
    EXPECT_TRUE(copy->GetBool(2));
    EXPECT_EQ(copy->GetDouble(3), 2.5);
    EXPECT_EQ(copy->GetType(4), VTYPE_NULL);
    EXPECT_EQ(copy->GetType(5), VTYPE_STRING);
    EXPECT_TRUE(copy->GetString(5).empty());
}

TEST(ListValueVariant, StringsKeepEmbeddedNulsAndLoneSurrogates) {
    const std::u16string text{u'a', u'\0', u'b', char16_t(0xD800), u'c'};
    CefRefPtr<CefListValue> list = CefListValue::Create();
    list->SetString(0, text);
    EXPECT_EQ(Transfer(*list)->GetString(0).str(), text);
}

TEST(ListValueVariant, AnEmptyListGivesAnEmptyArray) {
    GVariant* v = g_variant_ref_sink(ListValueToVariant(*CefListValue::Create()));
    EXPECT_STREQ(g_variant_get_type_string(v), "av");
    EXPECT_EQ(g_variant_n_children(v), 0u);
    g_variant_unref(v);
}

TEST(ListValueVariant, AnythingButAnArrayOfVariantsGivesAnEmptyList) {
    EXPECT_EQ(ListValueFromVariant(nullptr)->GetSize(), 0u);
    GVariant* other = g_variant_ref_sink(g_variant_new_string("openAttachment"));
    EXPECT_EQ(ListValueFromVariant(other)->GetSize(), 0u);
    g_variant_unref(other);
}

TEST(ListValueVariant, AnEntryOfAnUnknownTypeBecomesNullAndKeepsTheOthersInPlace) {
    GVariantBuilder builder;
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

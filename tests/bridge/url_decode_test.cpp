#include <gtest/gtest.h>

#include <string>

#include "UrlDecode.h"

namespace {

std::wstring Decoded(const wchar_t* text) {
    CStringW s = text;
    UrlDecode(s);
    return s.str();
}

TEST(UrlDecode, OneByteEscapes) {
    EXPECT_EQ(Decoded(L"My%20Course/a.pdf"), L"My Course/a.pdf");
    EXPECT_EQ(Decoded(L"%7F"), std::wstring(1, 0x7F));
    EXPECT_EQ(Decoded(L"%41%42c"), L"ABc");
    EXPECT_EQ(Decoded(L"%2f%2F"), L"//");
}

TEST(UrlDecode, TwoAndThreeByteSequencesGiveTheCodePoint) {
    EXPECT_EQ(Decoded(L"caf%C3%A9.pdf"), L"caf\u00e9.pdf");
    EXPECT_EQ(Decoded(L"%E2%82%AC"), L"\u20ac");
    EXPECT_EQ(Decoded(L"%D0%96%E4%B8%AD"), L"\u0416\u4e2d");
}

TEST(UrlDecode, AppendedCharactersAreNotScannedAgain) {
    EXPECT_EQ(Decoded(L"%2541.pdf"), L"%41.pdf");
    EXPECT_EQ(Decoded(L"a+b.pdf"), L"a+b.pdf");
}

TEST(UrlDecode, APairWithoutDigitsOrAZeroAddsNothing) {
    EXPECT_EQ(Decoded(L"%zz.pdf"), L".pdf");
    EXPECT_EQ(Decoded(L"%00.pdf"), L".pdf");
    EXPECT_EQ(Decoded(L"a.pdf%"), L"a.pdf");
}

TEST(UrlDecode, PairsAreReadAsWcstolReadsThem) {
    EXPECT_EQ(Decoded(L"%4"), std::wstring(1, 0x04));     // one character left
    EXPECT_EQ(Decoded(L"%4g.txt"), L"\x04.txt");          // digits up to a non-digit
    EXPECT_EQ(Decoded(L"% 9"), std::wstring(1, 0x09));    // leading white space
    EXPECT_EQ(Decoded(L"%+A"), std::wstring(1, 0x0A));    // a sign
    EXPECT_EQ(Decoded(L"%-1"), std::wstring(1, 0xFFFF));  // negative, modulo 65536
}

TEST(UrlDecode, ASequenceCutShortReadsItsMissingPairsAsZero) {
    EXPECT_EQ(Decoded(L"%C3"), L"\u0040");
    EXPECT_EQ(Decoded(L"%E2%82"), L"\u2000");
    EXPECT_EQ(Decoded(L"x%C3%"), L"x\u0040");
}

TEST(UrlDecode, ContinuationPairsAreTakenWhateverStandsBeforeThem) {
    EXPECT_EQ(Decoded(L"%C3xA9"), L"\u00e9");
    EXPECT_EQ(Decoded(L"%C3%zz"), L"\u0040");  // a pair without digits reads 0
    EXPECT_EQ(Decoded(L"%C0%AF"), L"/");       // an over-long form, by the formula
    EXPECT_EQ(Decoded(L"%ED%A0%80"), std::wstring(1, 0xD800));
}

TEST(UrlDecode, FourByteSequencesGiveOneWideCharacter) {
    EXPECT_EQ(Decoded(L"%F0%9F%98%80.txt"), std::wstring(1, 0x1F600) + L".txt");
    EXPECT_EQ(Decoded(L"%F7%BF%BF%BFz"), L"\ufffdz");  // beyond U+10FFFF
}

TEST(UrlDecode, FiveAndSixByteFormsGiveTheReplacementCharacter) {
    EXPECT_EQ(Decoded(L"%F8%88%80%80%80z"), L"\ufffdz");
    EXPECT_EQ(Decoded(L"%FC%84%80%80%80%80z"), L"\ufffdz");
}

TEST(UrlDecode, AByteThatCannotBeginASequenceStaysAsText) {
    EXPECT_EQ(Decoded(L"%80abc"), L"%80abc");
    EXPECT_EQ(Decoded(L"%BF%41"), L"%BFA");
    EXPECT_EQ(Decoded(L"%FE%FF"), L"%FE%FF");
}

}  // namespace

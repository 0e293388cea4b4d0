#include <gtest/gtest.h>

#include "text/Cp932.h"

namespace {

TEST(Cp932, LeadBytesAndCharacterSteps) {
    EXPECT_TRUE(cp932::IsLeadByte(0x81));
    EXPECT_TRUE(cp932::IsLeadByte(0x9F));
    EXPECT_TRUE(cp932::IsLeadByte(0xE0));
    EXPECT_TRUE(cp932::IsLeadByte(0xFC));
    EXPECT_FALSE(cp932::IsLeadByte(0x80));
    EXPECT_FALSE(cp932::IsLeadByte(0xA0));  // half-width katakana range is single-byte
    EXPECT_FALSE(cp932::IsLeadByte(0xDF));
    EXPECT_FALSE(cp932::IsLeadByte(0xFD));
    std::string text = "a\x83\x5E\xB1";
    EXPECT_EQ(cp932::CharLength(text, 0), 1u);
    EXPECT_EQ(cp932::CharLength(text, 1), 2u);
    EXPECT_EQ(cp932::CharLength(text, 3), 1u);
    EXPECT_EQ(cp932::CharLength("\x83", 0), 1u);  // a lead byte at the end stands alone
}

TEST(Cp932, ConvertsMicrosoftExtensionsBothWays) {
    // Circled digit, Roman numeral, NEC/IBM kanji and the wave dash that plain Shift_JIS maps
    // differently.
    std::string utf8 = "①Ⅹ髙﨑～－";
    auto sjis = cp932::FromUtf8(utf8);
    ASSERT_TRUE(sjis);
    EXPECT_EQ(*sjis, "\x87\x40\x87\x5D\xFB\xFC\xFA\xB1\x81\x60\x81\x7C");
    EXPECT_EQ(cp932::ToUtf8(*sjis), utf8);
}

TEST(Cp932, StrictConversionsRefuseWhatTheyCannotRepresent) {
    EXPECT_FALSE(cp932::FromUtf8("emoji 😀"));
    EXPECT_FALSE(cp932::FromUtf8("\xFF"));  // not UTF-8
    EXPECT_FALSE(cp932::ToUtf8("\x81"));    // lead byte without trail
    EXPECT_FALSE(cp932::ToUtf8("\xFD"));    // no character
    EXPECT_EQ(cp932::ToUtf8(""), std::string());
}

TEST(Cp932, LossyConversionsMarkWhatIsLost) {
    EXPECT_EQ(cp932::ToUtf8Lossy("a\xFD"
                                 "b"),
              "a\xEF\xBF\xBD"
              "b");
    cp932::Utf8ToCp932Lossy converter;
    EXPECT_EQ(converter.Convert("a😀b"), "a?b");
    EXPECT_EQ(converter.Convert("ascii"), "ascii");
    EXPECT_EQ(converter.Convert("カード"), "\x83\x4A\x81\x5B\x83\x68");
}

TEST(Cp932, BulkConverterAgreesWithStrictConversionOnEveryCharacter) {
    cp932::Utf8ToCp932Lossy converter;
    for (char32_t cp = 1; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        std::string utf8;
        if (cp < 0x80) {
            utf8 = std::string(1, static_cast<char>(cp));
        } else if (cp < 0x800) {
            utf8 = {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
        } else {
            utf8 = {static_cast<char>(0xE0 | (cp >> 12)),
                    static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                    static_cast<char>(0x80 | (cp & 0x3F))};
        }
        auto strict = cp932::FromUtf8(utf8);
        ASSERT_EQ(converter.Convert("x" + utf8 + "y"), "x" + strict.value_or("?") + "y")
            << std::hex << static_cast<unsigned>(cp);
    }
}

}  // namespace

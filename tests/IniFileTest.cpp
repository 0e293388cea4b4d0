#include "cardtypes/IniFile.h"

#include <gtest/gtest.h>

#include "TempDir.h"

TEST(IniFileTest, MatchesSectionsAndKeysWithoutRegardToCase) {
    IniFile ini("[LastSetting]\r\nCARDNAME=abc\r\n[layout]\r\nDetail=0\r\n");
    EXPECT_EQ(ini.ReadString("lastsetting", "cardname"), "abc");
    EXPECT_EQ(ini.ReadString("LAYOUT", "detail"), "0");
    EXPECT_EQ(ini.ReadString("layout", "cardname"), std::nullopt);
    EXPECT_EQ(ini.ReadString("other", "detail"), std::nullopt);
}

TEST(IniFileTest, DoubleByteNamesMatchExactly) {
    // Trail bytes share codes with "\", "]" and the letters, and must not act as them.
    const std::string section = Sjis("表ソ");  // 95 5C 83 5C
    const std::string upper = Sjis("ア");      // 83 41: "A" as its trail byte
    const std::string lower = Sjis("ヂ");      // 83 61: "a" as its trail byte
    IniFile ini("[" + section + "]\r\n" + upper + "=1\r\n");
    EXPECT_EQ(ini.ReadString(section, upper), "1");
    EXPECT_EQ(ini.ReadString(section, lower), std::nullopt);
    const std::string dash = Sjis("‐");  // 81 5D: "]" as its trail byte
    IniFile bracket("[" + dash + "]\r\nk=2\r\n");
    EXPECT_EQ(bracket.ReadString(dash, "k"), "2");
}

TEST(IniFileTest, ReadsValuesAsTheProfileFunctionsDo) {
    IniFile ini(
        "k0=top level is no section\n"
        "[s]\n"
        "; k1=commented out\n"
        "  k1  =  spaced value \t\n"
        "k2=\"quoted \"\n"
        "k3='single'\n"
        "k4=\"unbalanced'\n"
        "k5=\n"
        "k1=second wins nothing\n"
        "no equals sign\n"
        "[s]\n"
        "k6=second section of that name is not read\n"
        "[t]\rk7=cr only\r");
    EXPECT_EQ(ini.ReadString("s", "k0"), std::nullopt);
    EXPECT_EQ(ini.ReadString("s", "k1"), "spaced value");
    EXPECT_EQ(ini.ReadString("s", "k2"), "quoted ");
    EXPECT_EQ(ini.ReadString("s", "k3"), "single");
    EXPECT_EQ(ini.ReadString("s", "k4"), "\"unbalanced'");
    EXPECT_EQ(ini.ReadString("s", "k5"), "");
    EXPECT_EQ(ini.ReadString("s", "k6"), std::nullopt);
    EXPECT_EQ(ini.ReadString("t", "k7"), "cr only");
}

TEST(IniFileTest, WritingReplacesOnlyThatValue) {
    const std::string before =
        "; kept comment\n\n[A]\r\n  Key = old value ; not a comment\r\nother=x\n\n[b]\nk=1";
    IniFile ini(before);
    ini.WriteString("a", "key", "new");
    EXPECT_EQ(ini.Text(), "; kept comment\n\n[A]\r\n  Key =new\r\nother=x\n\n[b]\nk=1");
}

TEST(IniFileTest, WritingAddsMissingKeyAtTheEndOfItsSection) {
    IniFile ini("[a]\nx=1\n\n[b]\ny=2");
    ini.WriteString("A", "z", "3");
    ini.WriteString("b", "w", "4");
    EXPECT_EQ(ini.Text(), "[a]\nx=1\nz=3\r\n\n[b]\ny=2\r\nw=4\r\n");
    ini.WriteString("c", "v", "5");
    EXPECT_EQ(ini.Text(), "[a]\nx=1\nz=3\r\n\n[b]\ny=2\r\nw=4\r\n[c]\r\nv=5\r\n");
}

TEST(IniFileTest, WritingToAnEmptyHeaderOrNothing) {
    IniFile empty;
    empty.WriteString("s", "k", "v");
    EXPECT_EQ(empty.Text(), "[s]\r\nk=v\r\n");
    IniFile header("[s]");
    header.WriteString("s", "k", "v");
    EXPECT_EQ(header.Text(), "[s]\r\nk=v\r\n");
}

TEST(IniFileTest, EveryWrittenValueReadsBackTheSame) {
    const std::string values[] = {"",   "plain", " lead", "trail ",     "\"q\"",  "'q'",
                                  "\"", "a=b;c", "[x]",   Sjis("表ソ"), "\tboth "};
    IniFile ini;
    for (const std::string& value : values) {
        ini.WriteString("s", "k", value);
        EXPECT_EQ(IniFile(ini.Text()).ReadString("s", "k"), value) << ini.Text();
    }
}

TEST(IniFileTest, ALineBreakCannotStartANewLineInTheFile) {
    IniFile ini;
    ini.WriteString("s", "k", "name\r\n[s]\r\nk=injected");
    EXPECT_EQ(ini.Text(), "[s]\r\nk=name\r\n");
}

TEST(IniFileTest, IntegersFollowTheProfileReading) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> value;
    };
    const Case cases[] = {
        {"0", 0},
        {"1", 1},
        {"2", 2},
        {"-1", -1},
        {"+7", 7},
        {"  12", 12},
        {"0x0", 0},
        {"0X1f", 31},
        {"$10", 16},
        {"x10", 16},
        {"-$10", -16},
        {"X-1", std::nullopt},
        {"0x", std::nullopt},
        {"x", std::nullopt},
        {"$", std::nullopt},
        {"", std::nullopt},
        {"true", std::nullopt},
        {"yes", std::nullopt},
        {"1 ", std::nullopt},
        {"1.0", std::nullopt},
        {" 0x10", std::nullopt},
        {"- 1", std::nullopt},
        {"2147483647", 2147483647},
        {"2147483648", std::nullopt},
        {"-2147483648", INT32_MIN},
        {"0xFFFFFFFF", -1},
        {"0x100000000", std::nullopt},
        {"0xG", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseIniInteger(c.text), c.value) << '"' << c.text << '"';
}

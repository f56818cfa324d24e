#include "tests/settings/SettingsFixture.h"

#include <climits>

namespace kestrun::test {
namespace {

using RegSettingsTest = SettingsFixture;
using namespace std::string_literals;

TEST_F(RegSettingsTest, MissingKeyOrValueGivesTheDefault)
{
    EXPECT_EQ(settings.GetSetting("Position", "frmMain Left"), "");
    EXPECT_EQ(settings.GetSetting("Position", "frmMain Left", "4680"), "4680");
    ASSERT_TRUE(settings.SaveSetting("Position", "other", "x"));
    EXPECT_EQ(settings.GetSetting("Position", "frmMain Left", "4680"), "4680");
}

TEST_F(RegSettingsTest, TextIsStoredAsRegSzWithoutNul)
{
    ASSERT_TRUE(settings.SaveSetting("S", "k", "abc"));
    EXPECT_EQ(GetRaw("S", "k"), std::make_pair(kRegSz, "abc"s));
    EXPECT_EQ(settings.GetSetting("S", "k"), "abc");
    EXPECT_NE(FileText().find("[HKEY_CURRENT_USER\\Software\\Quillon Works\\Kestrun\\S]\n\"k\"=\"abc\"\n"),
              std::string::npos);
}

TEST_F(RegSettingsTest, EveryNumberReadsBackAsItsDecimalText)
{
    for (std::int32_t number : {INT32_MIN, INT32_MIN + 1, -5, -1, 0, 1, 4680, 0x01020304, INT32_MAX}) {
        SCOPED_TRACE(number);
        ASSERT_TRUE(settings.SaveSetting("S", "n", "", number));
        EXPECT_EQ(GetRaw("S", "n").first, kRegDword);
        EXPECT_EQ(GetRaw("S", "n").second.size(), 4u);
        EXPECT_EQ(settings.GetSetting("S", "n", "default"), std::to_string(number));
    }
    EXPECT_EQ(GetRaw("S", "n").second, "\xff\xff\xff\x7f"s);  // least significant byte first
    ASSERT_TRUE(settings.SaveSetting("S", "n", "", -5));
    EXPECT_NE(FileText().find("\"n\"=dword:fffffffb\n"), std::string::npos);
}

TEST_F(RegSettingsTest, RegSzDropsOneTrailingNul)
{
    const struct {
        std::string stored;
        std::string read;
    } cases[] = {
        {"abc\0"s, "abc"},
        {"abc\0\0"s, "abc\0"s},
        {"a\0b"s, "a\0b"s},
        {"\0"s, ""},
        {"", "default"},  // zero length: not an empty text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.stored));
        SetRaw("S", "v", kRegSz, c.stored);
        EXPECT_EQ(settings.GetSetting("S", "v", "default"), c.read);
    }
}

TEST_F(RegSettingsTest, OtherTypesReadAsTheDefault)
{
    const struct {
        std::uint32_t type;
        std::string data;
    } cases[] = {
        {kRegExpandSz, "%HOME%\0"s}, {kRegBinary, "\x01\x02"s}, {kRegMultiSz, "a\0b\0\0"s},
        {kRegNone, "x"},             {5, "\0\0\0\x01"s},       {11, "\1\0\0\0\0\0\0\0"s},
        // a REG_DWORD of the wrong size is not a number
        {kRegDword, "\x01\x02"s},    {kRegDword, "\x01\x02\x03\x04\x05"s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        SetRaw("S", "v", c.type, c.data);
        EXPECT_EQ(settings.GetSetting("S", "v", "default"), "default");
    }
}

TEST_F(RegSettingsTest, StarAndEmptyNameAreTheUnnamedValue)
{
    ASSERT_TRUE(settings.SaveSetting("S", "*", "first"));
    EXPECT_EQ(GetRaw("S", "").second, "first");
    EXPECT_EQ(settings.GetSetting("S", "*"), "first");
    EXPECT_EQ(settings.GetSetting("S", ""), "first");
    EXPECT_NE(FileText().find("@=\"first\""), std::string::npos);

    ASSERT_TRUE(settings.SaveSetting("S", "", "second"));
    EXPECT_EQ(settings.GetSetting("S", "*"), "second");
}

TEST_F(RegSettingsTest, DeletesValuesAndSections)
{
    ASSERT_TRUE(settings.SaveSetting("S", "a", "1"));
    ASSERT_TRUE(settings.SaveSetting("S", "b", "2"));
    ASSERT_TRUE(settings.SaveSetting("S", "*", "unnamed"));

    EXPECT_TRUE(settings.DeleteSetting("S", "a"));
    EXPECT_EQ(settings.GetSetting("S", "a", "gone"), "gone");
    EXPECT_EQ(settings.GetSetting("S", "b"), "2");
    EXPECT_FALSE(settings.DeleteSetting("S", "a"));

    EXPECT_TRUE(settings.DeleteSetting("S", "*"));
    EXPECT_EQ(settings.GetSetting("S", "*", "gone"), "gone");
    EXPECT_EQ(settings.GetSetting("S", "b"), "2");

    EXPECT_TRUE(settings.DeleteSetting("S"));
    EXPECT_EQ(settings.GetSetting("S", "b", "gone"), "gone");
    EXPECT_FALSE(settings.DeleteSetting("S"));
    EXPECT_FALSE(settings.DeleteSetting("S", "b"));
    EXPECT_FALSE(settings.DeleteSetting("Missing", "x"));
}

TEST_F(RegSettingsTest, SectionWithSubkeysIsNotDeleted)
{
    ASSERT_TRUE(settings.SaveSetting("S\\Sub", "k", "deep"));
    EXPECT_EQ(settings.GetSetting("S", "k", "none"), "none");
    EXPECT_FALSE(settings.DeleteSetting("S"));
    EXPECT_EQ(settings.GetSetting("S\\Sub", "k"), "deep");
    EXPECT_TRUE(settings.DeleteSetting("S\\Sub"));
    EXPECT_TRUE(settings.DeleteSetting("S"));
}

TEST_F(RegSettingsTest, TextWinsAndAnEmptyTextWritesTheNumber)
{
    ASSERT_TRUE(settings.SaveSetting("S", "k", "text", 7));
    EXPECT_EQ(GetRaw("S", "k"), std::make_pair(kRegSz, "text"s));
    ASSERT_TRUE(settings.SaveSetting("S", "k", "", 7));  // replaces the text
    EXPECT_EQ(GetRaw("S", "k").first, kRegDword);
    EXPECT_FALSE(settings.SaveSetting("S", "k"));  // neither: nothing written
    EXPECT_EQ(settings.GetSetting("S", "k"), "7");
}

TEST_F(RegSettingsTest, EmptySectionIsTheApplicationKey)
{
    ASSERT_TRUE(settings.SaveSetting("", "k", "top"));
    EXPECT_NE(FileText().find("[HKEY_CURRENT_USER\\Software\\Quillon Works\\Kestrun]\n\"k\"=\"top\""),
              std::string::npos);
    EXPECT_EQ(settings.GetSetting("", "k"), "top");
}

TEST_F(RegSettingsTest, NamesIgnoreLetterCaseAndKeepTheirFirstSpelling)
{
    ASSERT_TRUE(settings.SaveSetting("Position", "frmMain Left", "", 1));
    ASSERT_TRUE(settings.SaveSetting("POSITION", "FRMMAIN LEFT", "", 2));
    EXPECT_EQ(settings.GetSetting("position", "frmmain left"), "2");
    EXPECT_NE(FileText().find("\"frmMain Left\"=dword:00000002"), std::string::npos);
    EXPECT_EQ(FileText().find("FRMMAIN"), std::string::npos);
}

TEST_F(RegSettingsTest, AwkwardTextsRoundTrip)
{
    for (const std::string text : {"C:\\temp\\\"quoted\"", "two\nlines\r\n", "\xc3\xa9t\xc3\xa9", "\xff\xfe", " "}) {
        SCOPED_TRACE(testing::PrintToString(text));
        ASSERT_TRUE(settings.SaveSetting("S", "name \"with\" \\ marks", text));
        EXPECT_EQ(settings.GetSetting("S", "name \"with\" \\ marks"), text);
    }
}

TEST_F(RegSettingsTest, TextPropertiesAreTrimmedOrReset)
{
    settings.SetMainKey("  Soft ware  ");
    EXPECT_EQ(settings.MainKey(), "Soft ware");
    settings.SetMainKey("");
    EXPECT_EQ(settings.MainKey(), "Software");
    settings.SetMainKey("   ");
    EXPECT_EQ(settings.MainKey(), "");
    settings.SetCompany("");
    EXPECT_EQ(settings.Company(), "Quillon Works");
    settings.SetAppName("");
    EXPECT_EQ(settings.AppName(), "Kestrun");
    EXPECT_EQ(settings.HKey(), -2147483647);
}

TEST_F(RegSettingsTest, PropertiesChangeTheKeyPath)
{
    settings.SetCompany(" Other ");
    ASSERT_TRUE(settings.SaveSetting("S", "k", "v"));
    EXPECT_NE(FileText().find("[HKEY_CURRENT_USER\\Software\\Other\\Kestrun\\S]"), std::string::npos);

    settings.SetMainKey("   ");  // an empty name in the path: no such key
    EXPECT_FALSE(settings.SaveSetting("S", "k", "v"));
    EXPECT_EQ(settings.GetSetting("S", "k", "default"), "default");

    settings.SetMainKey("");
    settings.SetHKey(static_cast<std::int32_t>(0x80000002u));  // not a per-user key
    EXPECT_EQ(settings.HKey(), static_cast<std::int32_t>(0x80000002u));
    EXPECT_FALSE(settings.SaveSetting("S", "k", "v"));
    EXPECT_EQ(settings.GetSetting("S", "k", "default"), "default");
}

}  // namespace
}  // namespace kestrun::test

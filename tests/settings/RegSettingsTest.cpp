#include "tests/settings/SettingsFixture.h"

#include <climits>
#include <optional>

namespace kestrun::test {
namespace {

using RegSettingsTest = SettingsFixture;
using namespace std::string_literals;

// A text is stored as REG_SZ (1) without NUL, a number given with an empty
// text as a four-byte REG_DWORD (4), least significant byte first; each reads
// back as written, a number as its decimal text.
TEST_F(RegSettingsTest, ValuesAreStoredInTheirTypeAndReadBackAsText)
{
    const struct {
        std::string text;
        std::optional<std::int32_t> number;
        std::string stored, line, read;
    } cases[] = {
        {"abc", {}, "1:abc", "\"v\"=\"abc\"", "abc"},
        {"text", 7, "1:text", "\"v\"=\"text\"", "text"},
        {"C:\\temp\\\"q\"", {}, "1:C:\\temp\\\"q\"", "\"v\"=\"C:\\\\temp\\\\\\\"q\\\"\"", "C:\\temp\\\"q\""},
        {"two\nlines\r\n", {}, "1:two\nlines\r\n", "", "two\nlines\r\n"},
        {"\xc3\xa9t\xc3\xa9", {}, "1:\xc3\xa9t\xc3\xa9", "", "\xc3\xa9t\xc3\xa9"},
        {"\xff\xfe", {}, "1:\xff\xfe", "", "\xff\xfe"},
        {" ", {}, "1: ", "\"v\"=\" \"", " "},
        {"", -5, "4:\xfb\xff\xff\xff", "\"v\"=dword:fffffffb", "-5"},
        {"", 0x01020304, "4:\x04\x03\x02\x01", "\"v\"=dword:01020304", "16909060"},
        {"", INT32_MIN, "4:\0\0\0\x80"s, "\"v\"=dword:80000000", "-2147483648"},
        {"", INT32_MIN + 1, "4:\x01\0\0\x80"s, "", "-2147483647"},
        {"", INT32_MAX, "4:\xff\xff\xff\x7f", "\"v\"=dword:7fffffff", "2147483647"},
        {"", 0, "4:\0\0\0\0"s, "", "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.read);
        ASSERT_TRUE(settings.SaveSetting("S", "v", c.text, c.number));
        EXPECT_EQ(GetRaw("S", "v"), c.stored);
        EXPECT_EQ(settings.GetSetting("S", "v", "default"), c.read);
        const std::string section = "[HKEY_CURRENT_USER\\Software\\Quillon Works\\Kestrun\\S]\n" + c.line + "\n";
        EXPECT_TRUE(c.line.empty() || folder.Read("Quillon Works/Kestrun.reg").find(section) != std::string::npos)
            << section;
    }
    EXPECT_FALSE(settings.SaveSetting("S", "v")) << "neither text nor number: nothing written";
    EXPECT_EQ(settings.GetSetting("S", "v"), "0");
}

// Values other programs wrote: a REG_SZ loses one trailing NUL, an empty one
// and every other type (or a number of the wrong size) read as the default.
TEST_F(RegSettingsTest, ForeignValuesReadAsTextOrTheDefault)
{
    const struct {
        std::uint32_t type;
        std::string data, read;
    } cases[] = {
        {1, "abc\0"s, "abc"},        {1, "abc\0\0"s, "abc\0"s},    {1, "a\0b"s, "a\0b"s},
        {1, "\0"s, ""},              {1, "", "default"},           {2, "%HOME%\0"s, "default"},
        {3, "\x01\x02"s, "default"}, {7, "a\0b\0\0"s, "default"},  {0, "x", "default"},
        {5, "\0\0\0\x01"s, "default"}, {11, "\1\0\0\0\0\0\0\0"s, "default"},
        {4, "\x01\x02"s, "default"}, {4, "\x01\x02\x03\x04\x05"s, "default"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.data) + " of type " + std::to_string(c.type));
        SetRaw("S", "v", c.type, c.data);
        EXPECT_EQ(settings.GetSetting("S", "v", "default"), c.read);
    }
}

// Missing keys and values give the default; "*" and "" both name the unnamed
// value, "" as section is Kestrun's key itself, and names ignore letter case
// but keep their first spelling.
TEST_F(RegSettingsTest, NamesFindTheirValues)
{
    EXPECT_EQ(settings.GetSetting("Position", "frmMain Left"), "");
    EXPECT_EQ(settings.GetSetting("Position", "frmMain Left", "4680"), "4680");
    ASSERT_TRUE(settings.SaveSetting("Position", "other", "x"));
    EXPECT_EQ(settings.GetSetting("Position", "frmMain Left", "4680"), "4680");

    ASSERT_TRUE(settings.SaveSetting("S", "*", "first"));
    EXPECT_EQ(GetRaw("S", ""), "1:first");
    EXPECT_EQ(settings.GetSetting("S", ""), "first");
    ASSERT_TRUE(settings.SaveSetting("S", "", "second"));
    EXPECT_EQ(settings.GetSetting("S", "*"), "second");

    ASSERT_TRUE(settings.SaveSetting("", "k", "top"));
    EXPECT_EQ(settings.GetSetting("", "k"), "top");

    ASSERT_TRUE(settings.SaveSetting("Position", "frmMain Left", "", 1));
    ASSERT_TRUE(settings.SaveSetting("POSITION", "FRMMAIN LEFT", "", 2));
    EXPECT_EQ(settings.GetSetting("position", "frmmain left"), "2");
    const std::string text = folder.Read("Quillon Works/Kestrun.reg");
    for (const char* line : {"\n[HKEY_CURRENT_USER\\Software\\Quillon Works\\Kestrun\\S]\n@=\"second\"\n",
                             "\n[HKEY_CURRENT_USER\\Software\\Quillon Works\\Kestrun]\n\"k\"=\"top\"\n",
                             "\n\"frmMain Left\"=dword:00000002\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    EXPECT_EQ(text.find("FRMMAIN"), std::string::npos);
}

TEST_F(RegSettingsTest, DeletesOnlyWhatIsNamed)
{
    for (const char* name : {"a", "b", "*"})
        ASSERT_TRUE(settings.SaveSetting("S", name, name));
    ASSERT_TRUE(settings.SaveSetting("T\\Sub", "k", "deep"));

    EXPECT_TRUE(settings.DeleteSetting("S", "a"));
    EXPECT_EQ(settings.GetSetting("S", "a", "gone"), "gone");
    EXPECT_FALSE(settings.DeleteSetting("S", "a"));
    EXPECT_TRUE(settings.DeleteSetting("S", "*"));
    EXPECT_EQ(settings.GetSetting("S", "*", "gone"), "gone");
    EXPECT_EQ(settings.GetSetting("S", "b"), "b");
    EXPECT_TRUE(settings.DeleteSetting("S"));
    EXPECT_EQ(settings.GetSetting("S", "b", "gone"), "gone");
    EXPECT_FALSE(settings.DeleteSetting("S"));
    EXPECT_FALSE(settings.DeleteSetting("S", "b"));

    EXPECT_FALSE(settings.DeleteSetting("T")) << "a key with subkeys stays";
    EXPECT_EQ(settings.GetSetting("T\\Sub", "k"), "deep");
    EXPECT_TRUE(settings.DeleteSetting("T\\Sub"));
    EXPECT_TRUE(settings.DeleteSetting("T"));
}

// The key's names are trimmed, an empty one restores its default, and a name
// left empty, or a root other than the user's, reaches no key.
TEST_F(RegSettingsTest, KeyPropertiesChangeWhereValuesGo)
{
    settings.SetMainKey("  Soft ware  ");
    EXPECT_EQ(settings.MainKey(), "Soft ware");
    settings.SetMainKey("");
    EXPECT_EQ(settings.MainKey(), "Software");
    settings.SetAppName("");
    EXPECT_EQ(settings.AppName(), "Kestrun");
    settings.SetCompany("");
    EXPECT_EQ(settings.Company(), "Quillon Works");
    EXPECT_EQ(settings.HKey(), -2147483647);

    settings.SetCompany(" Other ");
    ASSERT_TRUE(settings.SaveSetting("S", "k", "v"));
    EXPECT_NE(folder.Read("Quillon Works/Kestrun.reg").find("[HKEY_CURRENT_USER\\Software\\Other\\Kestrun\\S]"),
              std::string::npos);

    settings.SetMainKey("   ");
    EXPECT_EQ(settings.MainKey(), "");
    EXPECT_FALSE(settings.SaveSetting("S", "k", "v"));
    EXPECT_EQ(settings.GetSetting("S", "k", "default"), "default");
    settings.SetMainKey("");
    settings.SetHKey(-2147483646);  // HKEY_LOCAL_MACHINE
    EXPECT_FALSE(settings.SaveSetting("S", "k", "v"));
    EXPECT_EQ(settings.GetSetting("S", "k", "default"), "default");
}

}  // namespace
}  // namespace kestrun::test

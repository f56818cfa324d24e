#include "platform/RegistryFileFormat.h"
#include "tests/settings/SettingsFixture.h"

#include <cstdlib>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrun::test {
namespace {

using RegistryFileTest = SettingsFixture;
using namespace std::string_literals;

TEST(RegistryFileFormatTest, EveryKindOfValueRoundTrips)
{
    RegistryTree tree;
    RegistryKeyEntry& key = tree.Add("HKEY_CURRENT_USER\\Software\\A ]odd[ key");
    const std::vector<RegistryValue> values = {
        {"", kRegSz, "unnamed"},
        {"text", kRegSz, "quote \" and backslash \\"},
        {"empty", kRegSz, ""},
        {"nuls", kRegSz, "a\0b\0\0"s},
        {"line break", kRegSz, "a\r\nb"},
        {"number", kRegDword, "\x48\x12\0\0"s},
        {"short number", kRegDword, "\x01"},
        {"no bytes", kRegBinary, ""},
        {"binary", kRegBinary, std::string(100, '\xab')},
        {"expand", kRegExpandSz, "%HOME%\0"s},
        {"big type", 0xfffffffe, "\x7f"},
        {"@", kRegSz, "a value named @"},
    };
    for (const RegistryValue& value : values)
        RegistryTree::SetValue(key, value);

    std::string text = RegistryText(tree);
    std::optional<RegistryTree> parsed = ParseRegistryText(text);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, tree);
    EXPECT_EQ(RegistryText(*parsed), text);
    EXPECT_NE(text.find("\"number\"=dword:00001248\n"), std::string::npos);
    EXPECT_NE(text.find("\"empty\"=\"\"\n"), std::string::npos);
    EXPECT_NE(text.find("\"nuls\"=hex(1):61,00,62,00,00\n"), std::string::npos);
}

TEST(RegistryFileFormatTest, ReadsAHandEditedFile)
{
    const std::string text =
        "\xEF\xBB\xBFREGEDIT4\r\n"
        "; my notes\r\n"
        "\r\n"
        "  [HKEY_CURRENT_USER\\Software\\Quillon Works\\Kestrun\\Position]  \r\n"
        "\"frmMain Left\" = dword:5DC\r\n"
        "\"Path\"=\"C:\\temp\\x\"\r\n"
        "\"Bytes\"=hex:01,02,\\\r\n"
        "    03, FF\r\n"
        "\"\"=\"unnamed\"\r\n";
    std::optional<RegistryTree> tree = ParseRegistryText(text);
    ASSERT_TRUE(tree);
    // The keys above the one named are there too.
    ASSERT_EQ(tree->Keys().size(), 4u);
    RegistryKeyEntry* key = tree->Find("hkey_current_user\\software\\quillon works\\kestrun\\position");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->values, (std::vector<RegistryValue>{{"frmMain Left", kRegDword, "\xdc\x05\0\0"s},
                                                       {"Path", kRegSz, "C:\\temp\\x"},
                                                       {"Bytes", kRegBinary, "\x01\x02\x03\xff"s},
                                                       {"", kRegSz, "unnamed"}}));
}

TEST_F(RegistryFileTest, UnparsableFileReadsAsEmptyAndIsNeverWritten)
{
    const std::string kKey = "[HKEY_CURRENT_USER\\Software\\Quillon Works\\Kestrun\\S]\n";
    for (const std::string& text : {
             "garbage\n"s,
             "\"k\"=\"before any key\"\n"s,
             kKey + "\"k\"=\"unterminated\n",
             kKey + "\"k\"=dword:123456789\n",
             kKey + "\"k\"=hex:01,zz\n",
             kKey + "\"k\"=hex:01,\n",
             kKey + "\"k\"=hex:01,\\\n",
             kKey + "\"k\"=text\n",
             kKey + "\"k\"=\"v\" trailing\n",
             kKey + "[-HKEY_CURRENT_USER\\Software]\n",
             "[HKEY_CURRENT_USER\\\\Software]\n"s,
             "[HKEY_CURRENT_USER\\Software\n"s,
         }) {
        SCOPED_TRACE(text);
        WriteFile(text + "\"k\"=\"v\"\n");
        const std::string before = FileText();
        EXPECT_EQ(settings.GetSetting("S", "k", "default"), "default");
        EXPECT_FALSE(settings.SaveSetting("S", "k", "new"));
        EXPECT_FALSE(settings.SaveSetting("Other", "k", "", 1));
        EXPECT_FALSE(settings.DeleteSetting("S", "k"));
        EXPECT_FALSE(settings.DeleteSetting("S"));
        EXPECT_EQ(FileText(), before);
    }
}

TEST_F(RegistryFileTest, MissingFileIsAnEmptyStoreAndTheFirstWriteCreatesIt)
{
    EXPECT_EQ(settings.GetSetting("Position", "frmMain Left", "d"), "d");
    EXPECT_FALSE(settings.DeleteSetting("Position"));
    EXPECT_FALSE(std::filesystem::exists(file.parent_path()));
    ASSERT_TRUE(settings.SaveSetting("Position", "frmMain Left", "", 1500));
    EXPECT_EQ(FileText(),
              "; Kestrun settings. Kestrun rewrites this file on every change; comments are not kept.\n"
              "\n[HKEY_CURRENT_USER\\Software]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Quillon Works]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Quillon Works\\Kestrun]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Quillon Works\\Kestrun\\Position]\n"
              "\"frmMain Left\"=dword:000005dc\n");
}

TEST_F(RegistryFileTest, RejectedNamesChangeNothing)
{
    RegistryKey key = 0;
    const RegistryKey root = PredefinedKey(kHkeyCurrentUser);
    EXPECT_EQ(raw.CreateKey(root, "Software\\\\Twice", key), kRegBadPathname);
    EXPECT_EQ(raw.CreateKey(root, "Software\\line\nbreak", key), kRegBadPathname);
    ASSERT_EQ(raw.CreateKey(root, "Software", key), kRegSuccess);
    const std::string before = FileText();
    const std::uint8_t byte = 1;
    EXPECT_EQ(raw.SetValue(key, "line\nbreak", kRegBinary, &byte, 1), kRegInvalidParameter);
    EXPECT_EQ(raw.DeleteKey(root, ""), kRegAccessDenied);
    EXPECT_EQ(raw.CloseKey(key), kRegSuccess);
    EXPECT_EQ(raw.CloseKey(key), kRegInvalidHandle);
    EXPECT_EQ(raw.SetValue(key, "x", kRegBinary, &byte, 1), kRegInvalidHandle);
    EXPECT_EQ(FileText(), before);
}

TEST_F(RegistryFileTest, ValueSizeIsCheckedAgainstTheBuffer)
{
    SetRaw("S", "v", kRegBinary, "12345");
    RegistryKey key = 0;
    ASSERT_EQ(raw.OpenKey(PredefinedKey(kHkeyCurrentUser), kAppKey + "\\S", key), kRegSuccess);
    std::uint8_t buffer[4] = {};
    std::uint32_t type = 0;
    std::uint32_t size = sizeof buffer;
    EXPECT_EQ(raw.QueryValue(key, "v", type, buffer, size), kRegMoreData);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(buffer[0], 0);
    raw.CloseKey(key);
}

// Two processes save different values at the same time, many times over:
// every value of both must be in the file afterwards.
TEST_F(RegistryFileTest, TwoProcessesWritingAtOnceKeepEachOthersValues)
{
    constexpr int kValuesEach = 60;
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    pid_t children[2];
    for (int child = 0; child < 2; ++child) {
        children[child] = ::fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            ::close(start[1]);
            char go = 0;
            bool ok = ::read(start[0], &go, 1) == 0;  // both start when the pipe closes
            CRegSettings own(std::make_unique<RegistryFile>(file));
            for (int i = 0; i < kValuesEach; ++i) {
                std::string name = "child" + std::to_string(child) + " value" + std::to_string(i);
                ok = own.SaveSetting("Position", name, "", i * 2 + child) && ok;
            }
            ::_exit(ok ? 0 : 1);
        }
    }
    ::close(start[0]);
    ::close(start[1]);
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ASSERT_TRUE(ParseRegistryText(FileText()));
    for (int child = 0; child < 2; ++child)
        for (int i = 0; i < kValuesEach; ++i)
            EXPECT_EQ(settings.GetSetting("Position", "child" + std::to_string(child) + " value" + std::to_string(i)),
                      std::to_string(i * 2 + child));
}

class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~EnvironmentVariable() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(UserRegistryFilePathTest, LivesInTheUserConfigFolder)
{
    EnvironmentVariable home("HOME", "/home/someone");
    {
        EnvironmentVariable config("XDG_CONFIG_HOME", "/tmp/config");
        EXPECT_EQ(UserRegistryFilePath("Quillon Works", "Kestrun"), "/tmp/config/Quillon Works/Kestrun.reg");
        EXPECT_EQ(UserRegistryFilePath("A/B", ".."), "/tmp/config/A_B/_.reg");
    }
    for (const char* unusable : {static_cast<const char*>(nullptr), "", "relative/config"}) {
        EnvironmentVariable config("XDG_CONFIG_HOME", unusable);
        EXPECT_EQ(UserRegistryFilePath("Quillon Works", "Kestrun"), "/home/someone/.config/Quillon Works/Kestrun.reg");
    }
}

TEST(UserRegistryFilePathTest, DefaultStoreWritesThere)
{
    TempFolder folder;
    EnvironmentVariable config("XDG_CONFIG_HOME", folder.path().c_str());
    CRegSettings settings;
    ASSERT_TRUE(settings.SaveSetting("Position", "frmMain Top", "", 42));
    EXPECT_TRUE(std::filesystem::exists(folder / "Quillon Works" / "Kestrun.reg"));
    EXPECT_EQ(CRegSettings().GetSetting("Position", "frmMain Top"), "42");
}

}  // namespace
}  // namespace kestrun::test

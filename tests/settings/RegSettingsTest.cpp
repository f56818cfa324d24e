#include "settings/registry/RegistryFile.h"
#include "settings/registry/RegistryFileFormat.h"
#include "settings/CRegSettings.h"
#include "tests/support/SmallFileSystem.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <optional>

namespace kestrun::test {
namespace {

/// A settings store over a file in a fresh folder, and that file's raw registry.
class SettingsFixture : public ::testing::Test {
protected:
    void SetRaw(const std::string& section, const std::string& name, std::uint32_t type, const std::string& data)
    {
        RegistryKey key = 0;
        ASSERT_EQ(raw.CreateKey(PredefinedKey(kHkeyCurrentUser), kAppKey + section, key), kRegSuccess);
        ASSERT_EQ(raw.SetValue(key, name, type, reinterpret_cast<const std::uint8_t*>(data.data()),
                               static_cast<std::uint32_t>(data.size())),
                  kRegSuccess);
        raw.CloseKey(key);
    }

    const std::string kAppKey = "Software\\Quillon Works\\Kestrun\\";
    TempFolder folder;
    std::filesystem::path file = folder / "Quillon Works" / "Kestrun.reg";
    CRegSettings settings{std::make_unique<RegistryFile>(file)};
    RegistryFile raw{file};
};

using RegSettingsTest = SettingsFixture;
using RegistryFileTest = SettingsFixture;
using namespace std::string_literals;

TEST_F(RegSettingsTest, ValuesAreStoredInTheirTypeAndReadBackAsText)
{
    const struct {
        std::string text;
        std::optional<std::int32_t> number;
        std::string line, read;
    } cases[] = {
        {"abc", {}, "\"v\"=\"abc\"", "abc"},
        {"text", 7, "\"v\"=\"text\"", "text"},
        {"C:\\temp\\\"q\"", {}, "\"v\"=\"C:\\\\temp\\\\\\\"q\\\"\"", "C:\\temp\\\"q\""},
        {"two\nlines\r\n", {}, "", "two\nlines\r\n"},
        {"\xff\xfe", {}, "", "\xff\xfe"},
        {"", -5, "\"v\"=dword:fffffffb", "-5"},
        {"", 0x01020304, "\"v\"=dword:01020304", "16909060"},
        {"", INT32_MIN, "\"v\"=dword:80000000", "-2147483648"},
        {"", INT32_MAX, "\"v\"=dword:7fffffff", "2147483647"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.read);
        ASSERT_TRUE(settings.SaveSetting("S", "v", c.text, c.number));
        EXPECT_EQ(settings.GetSetting("S", "v", "default"), c.read);
        const std::string section = "[HKEY_CURRENT_USER\\Software\\Quillon Works\\Kestrun\\S]\n" + c.line + "\n";
        EXPECT_TRUE(c.line.empty() || folder.Read("Quillon Works/Kestrun.reg").find(section) != std::string::npos)
            << section;
    }
    EXPECT_FALSE(settings.SaveSetting("S", "v")) << "neither text nor number: nothing written";
    EXPECT_EQ(settings.GetSetting("S", "v"), "2147483647");
}

// Values other programs wrote: a REG_SZ loses one trailing NUL, an empty one
// and every other type (or a number of the wrong size) read as the default.
TEST_F(RegSettingsTest, ForeignValuesReadAsTextOrTheDefault)
{
    const struct {
        std::uint32_t type;
        std::string data, read;
    } cases[] = {
        {1, "abc\0"s, "abc"},         {1, "abc\0\0"s, "abc\0"s},  {1, "a\0b"s, "a\0b"s},  {1, "\0"s, ""},
        {1, "", "default"},            {2, "%HOME%\0"s, "default"}, {3, "\x01\x02"s, "default"},
        {5, "\0\0\0\x01"s, "default"}, {4, "\x01\x02"s, "default"}, {4, "\x01\x02\x03\x04\x05"s, "default"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.data) + " of type " + std::to_string(c.type));
        SetRaw("S", "v", c.type, c.data);
        EXPECT_EQ(settings.GetSetting("S", "v", "default"), c.read);
    }
}

// Missing keys and values give the default; "*" and "" both name the unnamed value, "" as section
// is Kestrun's key itself, and names ignore letter case but keep their first spelling.
TEST_F(RegSettingsTest, NamesFindTheirValues)
{
    EXPECT_EQ(settings.GetSetting("Position", "frmMain Left"), "");
    ASSERT_TRUE(settings.SaveSetting("Position", "other", "x"));
    EXPECT_EQ(settings.GetSetting("Position", "frmMain Left", "4680"), "4680");

    ASSERT_TRUE(settings.SaveSetting("S", "*", "first"));
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
    EXPECT_FALSE(settings.DeleteSetting("S", "a"));
    EXPECT_TRUE(settings.DeleteSetting("S", "*"));
    EXPECT_EQ(settings.GetSetting("S", "a", "gone") + settings.GetSetting("S", "*", "gone") + settings.GetSetting("S", "b"),
              "gonegoneb");
    EXPECT_TRUE(settings.DeleteSetting("S"));
    EXPECT_EQ(settings.GetSetting("S", "b", "gone"), "gone");
    EXPECT_FALSE(settings.DeleteSetting("S"));

    EXPECT_FALSE(settings.DeleteSetting("T")) << "a key with subkeys stays";
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
    settings.SetAppName("");
    settings.SetCompany("");
    EXPECT_EQ(settings.MainKey() + "|" + settings.Company() + "|" + settings.AppName(), "Software|Quillon Works|Kestrun");
    EXPECT_EQ(settings.HKey(), -2147483647);

    settings.SetCompany(" Other ");
    ASSERT_TRUE(settings.SaveSetting("S", "k", "v"));
    EXPECT_NE(folder.Read("Quillon Works/Kestrun.reg").find("[HKEY_CURRENT_USER\\Software\\Other\\Kestrun\\S]"),
              std::string::npos);

    settings.SetMainKey("   ");
    EXPECT_FALSE(settings.SaveSetting("S", "k", "v"));
    EXPECT_EQ(settings.GetSetting("S", "k", "default"), "default");
    settings.SetMainKey("");
    settings.SetHKey(-2147483646);  // HKEY_LOCAL_MACHINE
    EXPECT_FALSE(settings.SaveSetting("S", "k", "v"));
}

TEST(RegistryFileFormatTest, EveryKindOfValueRoundTrips)
{
    RegistryTree tree;
    RegistryKeyEntry& key = tree.Add("HKEY_CURRENT_USER\\Software\\A ]odd[ key");
    for (const RegistryValue& value : std::vector<RegistryValue>{
             {"", 1, "unnamed"}, {"text", 1, "quote \" and backslash \\"}, {"empty", 1, ""},
             {"nuls", 1, "a\0b\0\0"s}, {"line break", 1, "a\r\nb"}, {"number", 4, "\x48\x12\0\0"s},
             {"short number", 4, "\x01"}, {"binary", 3, std::string(100, '\xab')}, {"big type", 0xfffffffe, "\x7f"}})
        tree.SetValue(key, value);

    const std::string text = RegistryText(tree);
    const std::optional<RegistryTree> parsed = ParseRegistryText(text);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, tree);
    EXPECT_EQ(RegistryText(*parsed), text);
    EXPECT_NE(text.find("\n\"nuls\"=hex(1):61,00,62,00,00\n"), std::string::npos) << text;
}

TEST(RegistryFileFormatTest, ReadsAHandEditedFile)
{
    std::optional<RegistryTree> tree = ParseRegistryText(
        "\xEF\xBB\xBFREGEDIT4\r\n; my notes\r\n\r\n"
        "  [HKEY_CURRENT_USER\\Software\\Quillon Works\\Kestrun\\Position]  \r\n"
        "\"frmMain Left\" = dword:5DC\r\n\"Path\"=\"C:\\temp\\x\"\r\n"
        "\"Bytes\"=hex:01,02,\\\r\n    03, FF\r\n\"\"=\"unnamed\"\r\n");
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->Keys().size(), 4u) << "the keys above the one named are there too";
    RegistryKeyEntry* key = tree->Find("hkey_current_user\\software\\quillon works\\kestrun\\position");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->values, (std::vector<RegistryValue>{{"frmMain Left", 4, "\xdc\x05\0\0"s}, {"Path", 1, "C:\\temp\\x"},
                                                       {"Bytes", 3, "\x01\x02\x03\xff"s}, {"", 1, "unnamed"}}));
}

TEST(RegistryFileFormatTest, ReadableValuesAreThoseOnLinesThatFollowTheFormat)
{
    const RegistryTree tree = ReadableRegistryValues(
        "\"before any key\"=\"x\"\n[HKEY_CURRENT_USER\\A]\n\"good\"=dword:00000001\n\"bad\"=dword:zz\n"
        "noise\n\"bytes\"=hex:01,\\\n  02\n[-HKEY_CURRENT_USER\\B]\n\"under a bad key\"=\"x\"\n"
        "[HKEY_CURRENT_USER\\a]\n\"GOOD\"=\"again\"\n");
    ASSERT_EQ(tree.Keys().size(), 1u);
    EXPECT_EQ(tree.Keys()[0].values,
              (std::vector<RegistryValue>{{"good", 1, "again"}, {"bytes", 3, "\x01\x02"}}));
}

TEST_F(RegistryFileTest, UnparsableFileReadsAsEmptyAndIsNeverWritten)
{
    const std::string key = "[HKEY_CURRENT_USER\\Software\\Quillon Works\\Kestrun\\S]\n";
    for (const std::string& text :
         {"\"k\"=\"before any key\"\n"s, key + "\"k\"=\"unterminated\n", key + "\"k\"=dword:123456789\n",
          key + "\"k\"=hex:01,zz\n", key + "\"k\"=hex:01,\\\n", key + "\"k\"=\"v\" trailing\n",
          "[HKEY_CURRENT_USER\\\\Software]\n"s}) {
        SCOPED_TRACE(text);
        std::filesystem::create_directories(file.parent_path());
        const std::string before = text + "\"k\"=\"v\"\n";
        folder.Write("Quillon Works/Kestrun.reg", before);
        EXPECT_EQ(settings.GetSetting("S", "k", "default"), "default");
        EXPECT_FALSE(settings.SaveSetting("S", "k", "new"));
        EXPECT_FALSE(settings.DeleteSetting("S", "k"));
        EXPECT_EQ(folder.Read("Quillon Works/Kestrun.reg"), before);
    }
}

// The four positions first, then keys with a number and a text each, up to `size` bytes.
std::string PositionsAndFiller(std::size_t size)
{
    std::string text = "[HKEY_CURRENT_USER\\Software\\Quillon Works\\Kestrun\\Position]\n"
                       "\"frmMain Left\"=dword:00001248\n\"frmMain Top\"=dword:00000fc3\n";
    for (int i = 0; text.size() < size; ++i)
        text += "[HKEY_CURRENT_USER\\Software\\Quillon Works\\Kestrun\\Filler\\K" + std::to_string(i) +
                "]\n\"a" + std::to_string(i) + "\"=dword:00000001\n\"b\"=\"some text\"\n";
    return text;
}

// This thread's processor time: unlike the clock on the wall it leaves out
// the wait for the disk and the time other programs of a busy machine take.
double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The seconds it takes to read both positions and write one back.
double SecondsForPositions(const std::filesystem::path& file)
{
    CRegSettings settings(std::make_unique<RegistryFile>(file));
    const double start = ThreadSeconds();
    EXPECT_EQ(settings.GetSetting("Position", "frmMain Left") + settings.GetSetting("Position", "frmMain Top"),
              "46804035");
    EXPECT_TRUE(settings.SaveSetting("Position", "frmMain Left", "", 4680));
    return ThreadSeconds() - start;
}

// Time in proportion to the size: eight times the file costs about eight times
// as long, where a search through every key for every key would cost 64 times.
// Best of five for each, taken in turns.
TEST_F(RegistryFileTest, ReadingAndWritingCostTimeInProportionToTheSize)
{
    std::filesystem::create_directories(file.parent_path());
    const std::filesystem::path small = folder.Write("small.reg", PositionsAndFiller(125'000));
    const std::filesystem::path large = folder.Write("large.reg", PositionsAndFiller(1'000'000));
    double bestSmall = 1e9, bestLarge = 1e9;
    for (int round = 0; round < 5; ++round) {
        bestSmall = std::min(bestSmall, SecondsForPositions(small));
        bestLarge = std::min(bestLarge, SecondsForPositions(large));
    }
    EXPECT_LT(bestLarge / bestSmall, 24) << "a file eight times as large";
}

// A file over the limit is never written, and never read past the limit; the
// values on its readable lines before the limit still count. Said once.
TEST_F(RegistryFileTest, OversizedFileKeepsItsReadablePositionsAndStaysAsItIs)
{
    std::filesystem::create_directories(file.parent_path());
    const std::string head = "[HKEY_CURRENT_USER\\Software\\Quillon Works\\Kestrun\\Position]\n"
                             "\"frmMain Left\"=dword:00001248\ngarbage\n\"frmMain Top\"=dword:00000fc3\n"
                             "[broken\n\"frmAddTask Left\"=dword:00000001\n"
                             "[HKEY_CURRENT_USER\\Software\\Quillon Works\\Kestrun\\Position]\n"
                             "\"frmAddTask Top\"=\"cut";
    const struct {
        std::string name, text;
        std::uintmax_t size;  // grown with NULs (a sparse file) to this size
        std::string read;
    } cases[] = {
        {"just over the limit", head, kMaxSettingsBytes + 1, "4680|4035|d|d"},
        {"64 MiB of NULs after the positions", head, 64u << 20, "4680|4035|d|d"},
        {"a value after the limit", std::string(kMaxSettingsBytes, '\n') + head, 0, "d|d|d|d"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        folder.Write("Quillon Works/Kestrun.reg", c.text);
        if (c.size)
            std::filesystem::resize_file(file, c.size);
        const auto before = std::filesystem::last_write_time(file);
        CRegSettings own(std::make_unique<RegistryFile>(file));
        testing::internal::CaptureStderr();
        std::string read;
        for (const char* name : {"frmMain Left", "frmMain Top", "frmAddTask Left", "frmAddTask Top"})
            read += (read.empty() ? "" : "|") + own.GetSetting("Position", name, "d");
        EXPECT_FALSE(own.SaveSetting("Position", "frmMain Left", "", 1));
        EXPECT_FALSE(own.DeleteSetting("Position"));
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(read, c.read);
        EXPECT_EQ(std::filesystem::file_size(file), std::max<std::uintmax_t>(c.size, c.text.size()));
        EXPECT_EQ(std::filesystem::last_write_time(file), before);
        EXPECT_EQ(said, "Kestrun does not use the settings file " + file.string() +
                            ": it is larger than 1 MiB. Kestrun reads the window positions in its first 1 MiB and "
                            "leaves the file as it is; make it smaller or delete it, and positions are saved again.\n");
    }
}

TEST_F(RegistryFileTest, AnUnreadableFileIsReportedOnceWithItsLine)
{
    std::filesystem::create_directories(file.parent_path());
    folder.Write("Quillon Works/Kestrun.reg", "; notes\n[HKEY_CURRENT_USER\\Software]\n\"k\"=\"v\"\nnot a value\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(settings.GetSetting("", "k", "d"), "d");
    EXPECT_FALSE(settings.SaveSetting("", "k", "new"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Kestrun cannot read the settings file " + file.string() +
                  ": line 4 is not a key or a value. Kestrun leaves the file as it is; fix or delete it, and "
                  "positions are saved again.\n");
}

TEST_F(RegistryFileTest, MissingFileIsAnEmptyStoreAndTheFirstWriteCreatesIt)
{
    EXPECT_EQ(settings.GetSetting("Position", "frmMain Left", "d"), "d");
    EXPECT_FALSE(settings.DeleteSetting("Position"));
    EXPECT_FALSE(std::filesystem::exists(file.parent_path()));
    ASSERT_TRUE(settings.SaveSetting("Position", "frmMain Left", "", 1500));
    EXPECT_EQ(folder.Read("Quillon Works/Kestrun.reg"),
              "; Kestrun settings. Kestrun rewrites this file on every change; comments are not kept.\n"
              "\n[HKEY_CURRENT_USER\\Software]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Quillon Works]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Quillon Works\\Kestrun]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Quillon Works\\Kestrun\\Position]\n"
              "\"frmMain Left\"=dword:000005dc\n");
}

TEST_F(RegistryFileTest, RefusedCallsChangeNothing)
{
    RegistryKey key = 0;
    const RegistryKey root = PredefinedKey(kHkeyCurrentUser);
    SetRaw("S", "v", 3, "12345");
    const std::string before = folder.Read("Quillon Works/Kestrun.reg");
    EXPECT_EQ(raw.CreateKey(root, "Software\\line\nbreak", key), 161);
    ASSERT_EQ(raw.OpenKey(root, "Software\\Quillon Works\\Kestrun\\S", key), 0);
    std::uint8_t buffer[4] = {};
    std::uint32_t type = 0, size = sizeof buffer;
    EXPECT_EQ(raw.QueryValue(key, "v", type, buffer, size), 234);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(raw.SetValue(key, "line\nbreak", 3, buffer, 1), 87);
    EXPECT_EQ(raw.CloseKey(key), 0);
    EXPECT_EQ(raw.SetValue(key, "x", 3, buffer, 1), 6);
    EXPECT_EQ(folder.Read("Quillon Works/Kestrun.reg"), before);
}

TEST_F(RegistryFileTest, TwoProcessesWritingAtOnceKeepEachOthersValues)
{
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    for (int child = 0; child < 2; ++child) {
        if (::fork() == 0) {
            ::close(start[1]);
            char go = 0;
            bool ok = ::read(start[0], &go, 1) == 0;  // both start when the pipe closes
            CRegSettings own(std::make_unique<RegistryFile>(file));
            for (int i = child; i < 120; i += 2)
                ok = own.SaveSetting("Position", "value" + std::to_string(i), "", i) && ok;
            ::_exit(ok ? 0 : 1);
        }
    }
    ::close(start[0]);
    ::close(start[1]);
    for (int status = 0, child = 0; child < 2; ++child) {
        ASSERT_GT(::wait(&status), 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int i = 0; i < 120; ++i)
        EXPECT_EQ(settings.GetSetting("Position", "value" + std::to_string(i)), std::to_string(i));
}

// Changes leave nothing beside the file, the lock file included; a new store removes the temporaries of
// changes that were killed, unless a change holds the lock (it may be writing its temporary).
TEST_F(RegistryFileTest, ChangesLeaveOnlyTheFileAndAStartRemovesTemporariesOfKilledChanges)
{
    const auto names = [this] {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(file.parent_path()))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    };
    ASSERT_TRUE(settings.SaveSetting("Position", "frmMain Left", "", 1500));
    std::filesystem::permissions(file, std::filesystem::perms(0640));
    ASSERT_TRUE(settings.SaveSetting("Position", "frmMain Top", "", 900));
    ASSERT_TRUE(settings.DeleteSetting("Position", "frmMain Left"));
    EXPECT_EQ(names(), std::vector<std::string>{"Kestrun.reg"});
    EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0640));

    const std::string dead = ".Kestrun.reg.kestrun-save-0123456789ab";
    const std::vector<std::string> kept = {".Kestrun.reg.kestrun-save-short", ".Other.reg.kestrun-save-0123456789ab",
                                           "Kestrun.reg.AbC123", "Kestrun.reg.lock"};
    for (const std::string& name : kept)
        folder.Write("Quillon Works/" + name, "mine");
    folder.Write("Quillon Works/" + dead, "partial");
    const int held = ::open((file.string() + ".lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0) << "a change under way";
    RegistryFile whileChanging(file);
    EXPECT_TRUE(std::filesystem::exists(file.parent_path() / dead));
    ::close(held);
    RegistryFile start(file);
    std::vector<std::string> left = kept;
    left.pop_back();  // the lock file of a killed change goes with its lock
    left.push_back("Kestrun.reg");
    std::sort(left.begin(), left.end());
    EXPECT_EQ(names(), left);
    EXPECT_EQ(settings.GetSetting("Position", "frmMain Top"), "900");
}

// On a full or read-only file system a change fails, leaving the file whole and nothing beside it.
TEST_F(RegistryFileTest, AChangeThatCannotBeWrittenLeavesTheFileWhole)
{
    const SmallFileSystem small(file.parent_path());
    if (!small.mounted)
        GTEST_SKIP() << "mounting a small file system needs root";
    ASSERT_TRUE(settings.SaveSetting("Position", "frmMain Left", "", 1500));
    const std::string before = folder.Read("Quillon Works/Kestrun.reg");
    for (const bool full : {true, false}) {
        full ? small.Fill() : small.ReadOnly(true);
        EXPECT_FALSE(settings.SaveSetting("Position", "frmMain Top", std::string(8000, 't'))) << full;
        EXPECT_EQ(folder.Read("Quillon Works/Kestrun.reg"), before) << full;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(small.at), {}), full ? 2 : 1);
        full ? void(std::filesystem::remove(small.at / ".filler")) : small.ReadOnly(false);
    }
}

TEST(UserRegistryFileTest, LivesInTheUserConfigFolder)
{
    ::setenv("HOME", "/home/someone", 1);
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(UserRegistryFilePath("Quillon Works", "Kestrun"), "/home/someone/.config/Quillon Works/Kestrun.reg");
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(UserRegistryFilePath("Quillon Works", "Kestrun"), "/home/someone/.config/Quillon Works/Kestrun.reg");
    TempFolder folder;
    ::setenv("XDG_CONFIG_HOME", folder.path().c_str(), 1);
    EXPECT_EQ(UserRegistryFilePath("A/B", ".."), folder / "A_B/_.reg");
    ASSERT_TRUE(CRegSettings().SaveSetting("Position", "frmMain Top", "", 42));
    EXPECT_TRUE(std::filesystem::exists(folder / "Quillon Works" / "Kestrun.reg"));
    EXPECT_EQ(CRegSettings().GetSetting("Position", "frmMain Top"), "42");
    ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace kestrun::test

#include "tests/document/DocumentFixture.h"

#include <pugixml.hpp>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>

#include <fstream>
#include <functional>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using HostileDocumentTest = DocumentFixture;

std::string WithValue(const std::string& value)
{
    return DocumentXml(ProgramXml("A", {{"Keystrokes", value}}));
}

std::string Nested(std::size_t levels)
{
    std::string open;
    std::string close;
    for (std::size_t i = 0; i < levels; ++i) {
        open += "<b>";
        close += "</b>";
    }
    return DocumentXml(ProgramXml("A", {{"Keystrokes", open + "deep" + close}}));
}

// Puts something in place of Kestrun.xml: a file with the text, or what
// `make` makes there.
struct Hostile {
    std::string label;
    std::string text;
    int number;
    std::vector<std::string> says;
    std::function<void(const fs::path&)> make = nullptr;
};

// Every hostile document ends in one load report that says what is wrong and
// where; the file is left byte for byte as it was.
TEST_F(HostileDocumentTest, EachIsRefusedWithOneReportAndLeftAsItWas)
{
    const int bad = pugi::status_bad_pcdata;
    const int io = pugi::status_io_error;
    const std::vector<Hostile> cases = {
        {"reference to NUL", WithValue("ab&#0;cd"), bad, {"&#0;", "does not allow", "line 2, column"}},
        {"reference to U+0008", WithValue("&#x8;"), bad, {"&#x8;"}},
        {"reference to U+000B", WithValue("&#xB;"), bad, {"&#xB;"}},
        {"reference to U+001F", WithValue("&#x1F;"), bad, {"&#x1F;"}},
        {"reference to a surrogate", WithValue("&#xD800;"), bad, {"&#xD800;"}},
        {"reference to U+FFFE", WithValue("&#xFFFE;"), bad, {"&#xFFFE;"}},
        {"reference to U+FFFF", WithValue("&#65535;"), bad, {"&#65535;"}},
        {"reference beyond Unicode", WithValue("&#x110000;"), bad, {"&#x110000;"}},
        {"reference overflowing", WithValue("&#99999999999999999999;"), bad, {"does not allow"}},
        {"reference in an attribute", "<programs a=\"&#2;\"/>", bad, {"&#2;", "line 1, column 14"}},
        {"reference after a comment opening in a value", "<programs a=\"<!--\">&#0;</programs>", bad, {"&#0;"}},
        {"reference without digits", WithValue("&#;"), bad, {"malformed"}},
        {"reference without end", WithValue("&#65 "), bad, {"malformed"}},
        {"raw control character", WithValue("a\x01z"), bad, {"U+0001", "line 2"}},
        {"raw U+FFFF", WithValue("\xEF\xBF\xBF"), bad, {"U+FFFF"}},
        {"declared UTF-8, one Latin-1 byte", WithValue("Caf\xE9"), bad,
         {"UTF-8", "0xE9", "line 2, column"}},
        {"UTF-8 byte order mark, one invalid byte", "\xEF\xBB\xBF<programs>\xFF</programs>", bad, {"0xFF", "line 1"}},
        {"unknown declared encoding, not UTF-8", "<?xml version=\"1.0\" encoding=\"KOI8-R\"?><p>\xC1</p>", bad,
         {"KOI8-R"}},
        {"broken UTF-16", std::string("\xFF\xFE<\0\x00\xD8<\0", 8), bad, {"UTF-16", "line 1, column 2"}},
        {"nested 200,000 deep", Nested(200000), pugi::status_end_element_mismatch, {"nested too deep", "1000"}},
        {"a FIFO", "", io, {"not a regular file"}, [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
        {"a link to /dev/zero", "", io, {"not a regular file"},
         [](const fs::path& p) { fs::create_symlink("/dev/zero", p); }},
        {"a folder", "", io, {"not a regular file"}, [](const fs::path& p) { fs::create_directory(p); }},
        {"257 MiB", "", io, {"larger than 256 MiB"},
         [](const fs::path& p) {
             std::ofstream(p).put('<');
             fs::resize_file(p, 257ull << 20);
         }},
    };
    for (const Hostile& hostile : cases) {
        SCOPED_TRACE(hostile.label);
        TempFolder place;
        const fs::path path = place / "Kestrun.xml";
        if (hostile.make)
            hostile.make(path);
        else
            place.Write("Kestrun.xml", hostile.text);

        RecordingReporter local;
        TaskDocument loaded(place.path(), local);
        EXPECT_FALSE(loaded.Load());
        ASSERT_EQ(local.reports.size(), 1u);
        const auto& [number, text] = local.reports[0];
        EXPECT_EQ(number, hostile.number);
        EXPECT_EQ(text.rfind("Error: " + std::to_string(number) + "\n[Kestrun.xml] File Error -\n", 0), 0u) << text;
        for (const std::string& words : hostile.says)
            EXPECT_NE(text.find(words), std::string::npos) << text << "\nshould say: " << words;
        if (hostile.make)
            EXPECT_NE(text.find(path.string()), std::string::npos) << text;
        else
            EXPECT_EQ(place.Read("Kestrun.xml"), hostile.text);
    }
}

std::string SingleByteDocument(const std::string& declaration, const std::string& value)
{
    return declaration + "<programs xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                         "xsi:noNamespaceSchemaLocation=\"x\">" + TemplateXml() +
           ProgramXml("A", {{"Keystrokes", value}}) + "</programs>";
}

std::string Utf16(const std::string& utf8)
{
    std::string utf16 = "\xFF\xFE";
    for (char16_t c : QString::fromUtf8(utf8.c_str()).toStdU16String()) {
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>(c >> 8);
    }
    return utf16;
}

// What XML allows loads, each character as meant: references as written, and
// bytes in the encoding declared or, without a declaration, in Windows-1252,
// the code page of the classic single-byte save.
TEST_F(HostileDocumentTest, EachAllowedDocumentLoadsWithItsCharactersAsMeant)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {WithValue("&#9;&#xA;&#65;&#x20AC;&#x10FFFF;"), "\t\nA\xE2\x82\xAC\xF4\x8F\xBF\xBF"},
        {WithValue("a&#xD;b&#13;&#10;c"), "a\nb\nc"},
        {WithValue("<![CDATA[&#0;]]>"), "&#0;"},
        {WithValue("a<!-- &#1; -->b"), "ab"},
        {WithValue("&amp;#0;"), "&#0;"},
        {WithValue("x<?pi &#0;?>"), "x"},
        {SingleByteDocument("", "\x80\x93q\x94 \x81\x8D\x8F\x90\x9D"),
         "\xE2\x82\xAC\xE2\x80\x9Cq\xE2\x80\x9D \xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
        {SingleByteDocument("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "\x80\xE9"), "\xC2\x80\xC3\xA9"},
        {SingleByteDocument("<?xml version='1.0' encoding='windows-1252'?>", "\x80"), "\xE2\x82\xAC"},
        {Utf16(WithValue("\xE2\x82\xAC")), "\xE2\x82\xAC"},
    };
    for (const auto& [file, value] : cases) {
        SCOPED_TRACE(file.substr(0, 60));
        RecordingReporter local;
        folder.Write("Kestrun.xml", file);
        TaskDocument loaded(folder.path(), local);
        ASSERT_TRUE(loaded.Load()) << local.reports[0].text;
        EXPECT_EQ(loaded.FillTaskList("A").at(0).value, value);
    }
}

TEST_F(HostileDocumentTest, SingleByteFileIsSavedAsUtf8)
{
    Load(SingleByteDocument("", "Caf\xE9 \x80"));
    document->AddTask("A", "Wait", "1", true);
    document->SaveTaskDocument();
    EXPECT_EQ(folder.Read("Kestrun.xml").rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
    RecordingReporter again;
    TaskDocument reloaded(folder.path(), again);
    ASSERT_TRUE(reloaded.Load());
    EXPECT_EQ(reloaded.FillTaskList("A").at(0).value, "Caf\xC3\xA9 \xE2\x82\xAC");
}

TEST_F(HostileDocumentTest, NestingUpToTheLimitLoadsAndReadsItsText)
{
    Load(Nested(kMaxNestingDepth - 10));
    EXPECT_EQ(document->FillTaskList("A").at(0).value, "deep");
    document->DeleteProgram("A");
    EXPECT_TRUE(reporter.Silent());
}

// Characters a file cannot hold never reach it, so every save loads again.
TEST_F(HostileDocumentTest, ForbiddenCharactersInNewValuesAreDropped)
{
    Load(DocumentXml(ProgramXml("A", {})));
    document->AddTask("A", "Keystrokes", std::string("a\x01\x1F\0b\xEF\xBF\xBEz\tq", 11), true);
    document->RenameProgram("A", "N\x02");
    document->SaveTaskDocument();
    RecordingReporter again;
    TaskDocument reloaded(folder.path(), again);
    ASSERT_TRUE(reloaded.Load()) << again.reports[0].text;
    EXPECT_EQ(reloaded.FillTaskList("N").at(0).value, "abz\tq");
}

// Root may write any file, but a file without write permission is meant to
// stay as it is: the save is refused and the file and its mode kept.
TEST_F(HostileDocumentTest, ReadOnlyFileIsNeverOverwrittenEvenByRoot)
{
    const std::string xml = DocumentXml(ProgramXml("A", {}));
    Load(xml);
    const fs::path path = folder / "Kestrun.xml";
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    document->AddProgram("B");
    gDocumentDirty = true;
    document->SaveTaskDocument();
    auto report = OnlyReport();
    EXPECT_EQ(report.number, 70);
    EXPECT_EQ(report.text, "Error: 70\nPermission denied: " + path.string());
    EXPECT_TRUE(gDocumentDirty);
    EXPECT_EQ(folder.Read("Kestrun.xml"), xml);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0444u);
}

// A small file system of its own shows a full disk (needs the right to mount,
// as root in CI has).
TEST_F(HostileDocumentTest, FullDiskIsReportedInWordsAndChangesNothing)
{
    const fs::path small = folder / "small";
    fs::create_directory(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    struct Unmount {
        const fs::path& at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{small};
    const std::string xml = DocumentXml(ProgramXml("A", {}));
    {
        std::ofstream(small / "Kestrun.xml") << xml;
        TaskDocument full(small, reporter);
        ASSERT_TRUE(full.Load());
        full.AddTask("A", "Keystrokes", std::string(200000, 'k'), true);
        full.SaveTaskDocument();
    }
    auto report = OnlyReport();
    EXPECT_EQ(report.number, 61);
    EXPECT_EQ(report.text, "Error: 61\nDisk full: " + (small / "Kestrun.xml").string() + " (No space left on device)");
    std::ifstream in(small / "Kestrun.xml");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), xml);
    EXPECT_EQ(std::distance(fs::directory_iterator(small), fs::directory_iterator()), 1);
}

// A start removes the temporaries of saves that were killed, but not those
// of a save still running (which holds its lock) nor anything else.
TEST_F(HostileDocumentTest, LoadRemovesOnlyTemporariesOfDeadSaves)
{
    const std::vector<std::string> dead = {".Kestrun.xml.kestrun-save-0123456789ab", ".Kestrun.xml.kestrun-save-zzzzzzzzzzzz"};
    const std::vector<std::string> kept = {"Kestrun.xml.AbC123", ".Kestrun.xml.kestrun-save-short",
                                           ".Kestrun.xml.kestrun-save-UPPERCASE123", "Other.xml.kestrun-save-0123456789ab"};
    const std::string running = ".Kestrun.xml.kestrun-save-aaaaaaaaaaaa";
    for (const std::string& name : dead)
        folder.Write(name, "partial");
    for (const std::string& name : kept)
        folder.Write(name, "mine");
    folder.Write(running, "being written");
    const int held = ::open((folder / running).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    Load(DocumentXml(""));
    for (const std::string& name : dead)
        EXPECT_FALSE(fs::exists(folder / name)) << name;
    for (const std::string& name : kept)
        EXPECT_TRUE(fs::exists(folder / name)) << name;
    EXPECT_TRUE(fs::exists(folder / running));
    ::close(held);
}

}  // namespace
}  // namespace kestrun::test

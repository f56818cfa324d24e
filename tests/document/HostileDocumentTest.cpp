#include "tests/document/DocumentFixture.h"

#include <sys/stat.h>

#include <QString>

#include <fstream>
#include <functional>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using HostileDocumentTest = DocumentFixture;

std::string WithValue(const std::string& value) { return DocumentXml(Program("A", Task("Keystrokes", value))); }

std::string Nested(std::size_t levels)
{
    std::string open, close;
    for (std::size_t i = 0; i < levels; ++i)
        open += "<b>", close += "</b>";
    return WithValue(open + "deep" + close);
}

// What stands in place of Kestrun.xml: the text, or what `make` puts there;
// the report's number, second line and more of its text ("PATH": the file's).
struct Refused {
    std::string label, text;
    std::int32_t number;
    std::string head;
    std::vector<std::string> says;
    std::function<void(const fs::path&)> make = nullptr;
};

TEST_F(HostileDocumentTest, EachIsRefusedWithOneReportAndLeftAsItWas)
{
    const std::string parse = "[Kestrun.xml] File Error -\n";
    const std::string good = WithValue("x");
    const std::vector<Refused> cases = {
        {"no file", "", -2146697210, "[Kestrun.xml] File Not Found", {}, [](const fs::path&) {}},
        {"no schema location", "<programs>" + kTemplate + "</programs>", 91, "[Kestrun.xml] File Error Corrupted", {}},
        {"empty", "", 16, parse, {"No document element found (line 1, column 1)"}},
        {"truncated", good.substr(0, good.size() / 2), 11, parse, {}},
        {"unclosed attribute", "<programs a=\"x></programs>", 12, parse, {}},
        {"NUL character", std::string("<programs>\0</programs>", 22), 10, parse, {}},
        {"reference to NUL", WithValue("ab&#0;cd"), 10, parse, {"&#0;", "does not allow", "line 2, column"}},
        {"reference to U+001F", WithValue("&#x1F;"), 10, parse, {"&#x1F;"}},
        {"reference to a surrogate", WithValue("&#xD800;"), 10, parse, {"&#xD800;"}},
        {"reference to U+FFFE", WithValue("&#xFFFE;"), 10, parse, {"&#xFFFE;"}},
        {"reference beyond Unicode", WithValue("&#x110000;"), 10, parse, {"&#x110000;"}},
        {"reference overflowing", WithValue("&#99999999999999999999;"), 10, parse, {"does not allow"}},
        {"reference in an attribute", "<programs a=\"&#2;\"/>", 10, parse, {"&#2;", "line 1, column 14"}},
        {"reference after a comment opening in a value", "<programs a=\"<!--\">&#0;</programs>", 10, parse, {"&#0;"}},
        {"reference without digits", WithValue("&#;"), 10, parse, {"malformed"}},
        {"raw control character", WithValue("a\x01z"), 10, parse, {"U+0001", "line 2"}},
        {"declared UTF-8, one Latin-1 byte", WithValue("Caf\xE9"), 10, parse, {"UTF-8", "0xE9", "line 2, column"}},
        {"byte order mark, one invalid byte", "\xEF\xBB\xBF<programs>\xFF</programs>", 10, parse, {"0xFF", "line 1"}},
        {"unknown encoding, not UTF-8", "<?xml version=\"1.0\" encoding=\"KOI8-R\"?><p>\xC1</p>", 10, parse, {"KOI8-R"}},
        {"broken UTF-16", std::string("\xFF\xFE<\0\x00\xD8<\0", 8), 10, parse, {"UTF-16", "line 1, column 2"}},
        {"nested 200,000 deep", Nested(200000), 14, parse, {"nested too deep", "1000"}},
        {"a FIFO", "", 2, parse, {"not a regular file", "PATH"},
         [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
        {"a folder", "", 2, parse, {"not a regular file", "PATH"}, [](const fs::path& p) { fs::create_directory(p); }},
        {"257 MiB", "", 2, parse, {"larger than 256 MiB", "PATH"},
         [](const fs::path& p) {
             std::ofstream(p).put('<');
             fs::resize_file(p, 257ull << 20);
         }},
    };
    for (const Refused& refused : cases) {
        SCOPED_TRACE(refused.label);
        TempFolder place;
        const fs::path path = place / "Kestrun.xml";
        refused.make ? refused.make(path) : (void)place.Write("Kestrun.xml", refused.text);

        RecordingReporter local;
        EXPECT_FALSE(TaskDocument(place.path(), local).Load());
        ASSERT_EQ(local.reports.size(), 1u);
        const auto& [number, text] = local.reports[0];
        const std::string start = "Error: " + std::to_string(refused.number) + "\n" + refused.head;
        EXPECT_EQ(number, refused.number);
        EXPECT_EQ(refused.head == parse ? text.substr(0, start.size()) : text, start);
        EXPECT_GT(text.size(), refused.head == parse ? start.size() : 0) << "the parser's reason is missing";
        for (const std::string& words : refused.says)
            EXPECT_NE(text.find(words == "PATH" ? path.string() : words), std::string::npos) << text << "\nlacks " << words;
        EXPECT_TRUE(refused.make || place.Read("Kestrun.xml") == refused.text);
    }
}

std::string SingleByteDocument(const std::string& declaration, const std::string& value)
{
    return Document(Program("A", Task("Keystrokes", value)), declaration, "x");
}

std::string Utf16(const std::string& utf8)
{
    std::string utf16 = "\xFF\xFE";
    for (char16_t c : QString::fromUtf8(utf8.c_str()).toStdU16String())
        utf16 += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return utf16;
}

// Bytes in the declared encoding or, without a declaration, in Windows-1252, the code
// page of the classic single-byte save; saved as UTF-8 that loads to the same.
TEST_F(HostileDocumentTest, EachAllowedDocumentKeepsItsCharactersThroughSaveAndLoad)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {WithValue("&#9;&#xA;&#65;&#x20AC;&#x10FFFF;"), "\t\nA\xE2\x82\xAC\xF4\x8F\xBF\xBF"},
        {WithValue("a&#xD;b&#13;&#10;c"), "a\nb\nc"},
        {WithValue("<![CDATA[&#0;]]>"), "&#0;"},
        {WithValue("a<!-- &#1; -->b"), "ab"},
        {SingleByteDocument("", "Caf\xE9 \x80\x93q\x94 \x81\x8D\x8F\x90\x9D"),
         "Caf\xC3\xA9 \xE2\x82\xAC\xE2\x80\x9Cq\xE2\x80\x9D \xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
        {SingleByteDocument("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "\x80\xE9"), "\xC2\x80\xC3\xA9"},
        {Utf16(WithValue("\xE2\x82\xAC")), "\xE2\x82\xAC"},
        {Nested(990), "deep"},
    };
    for (const auto& [file, value] : cases) {
        SCOPED_TRACE(file.substr(0, 60));
        Load(file);
        EXPECT_EQ(Rows("A"), Lines{"Keystrokes|" + value + "|True"});
        document->SaveTaskDocument(reporter);
        EXPECT_EQ(folder.Read("Kestrun.xml").rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
        EXPECT_EQ(RowsOf(*Reload(), "A"), Lines{"Keystrokes|" + value + "|True"});
        EXPECT_TRUE(reporter.Silent());
    }
}

// What is stored is what a reload of the saved file gives back: characters a
// file cannot hold are dropped, line ends become line feeds, bytes that are
// not UTF-8 become U+FFFD, and a name is cut at a NUL.
TEST_F(HostileDocumentTest, NewTextsAreStoredAsTheyWillReadBack)
{
    Load(DocumentXml(Program("A")));
    document->AddTask("A", "Keystrokes", std::string("a\x01\x1F\0b\xEF\xBF\xBEz\tq", 11), true);
    document->AddTask("A", "Keystrokes", "a\r\nb\rc", true);
    document->AddProgram(std::string("N\0UL", 4));
    document->AddProgram("bad \xFF byte");
    document->RenameProgram("A", "N\x02");
    const Lines rows = {"Keystrokes|abz\tq|True", "Keystrokes|a\nb\nc|True"};
    EXPECT_EQ(Rows("N"), rows);
    EXPECT_EQ(document->ProgramNames(), (Lines{"N", "NUL", "bad \xEF\xBF\xBD byte"}));
    EXPECT_TRUE(Rows(std::string("N\0UL", 4)).empty()) << "a name holding a NUL is no stored name";
    document->SaveTaskDocument(reporter);
    EXPECT_EQ(RowsOf(*Reload(), "N"), rows);
    EXPECT_TRUE(reporter.Silent());
}

}  // namespace
}  // namespace kestrun::test

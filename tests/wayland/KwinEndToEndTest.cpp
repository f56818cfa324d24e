// Typing through KWin's fake input and activation through its scripting, on a private headless KWin
// (German layout), into recording Qt windows; the typist runs as the session's user.

#include "tests/wayland/KwinSession.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <map>

#include <thread>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A line of what the German layout types (its dead keys ^ and ` aside): AltGr, Shift, the
// notation's specials; and what the window gets of it.
const std::string kLine = "Hello, World! 0123456789 -=[];'\\,./ !@#$&*_|:\"<>?{+}{%}{~}{(}{)}{{}{}}{[}{]} "
                          "äöüÄÖÜß €µ²³°§ QWERTZ qwertz\n";
const std::string kLineTyped = "Hello, World! 0123456789 -=[];'\\,./ !@#$&*_|:\"<>?+%~(){}[] "
                               "äöüÄÖÜß €µ²³°§ QWERTZ qwertz\n";

std::string Repeated(const std::string& line, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += line;
    return text;
}

// The size of `file` once it has not changed for three seconds.
std::size_t Settled(const fs::path& file)
{
    std::size_t size = ReadFile(file).size();
    auto still = std::chrono::steady_clock::now();
    WaitUntil(
        [&] {
            const std::size_t now = ReadFile(file).size();
            if (now != size)
                size = now, still = std::chrono::steady_clock::now();
            return std::chrono::steady_clock::now() - still > 3s;
        },
        90s);
    return size;
}

enum class Toolkit { Qt, Gtk };
const char* Name(Toolkit toolkit) { return toolkit == Toolkit::Qt ? "Qt" : "GTK"; }

class KwinEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!session.ok())
            GTEST_SKIP() << "No KWin here: " << session.failure();
    }

    // Runs the typist as the user; its outcome.
    Outcome Typist(const std::string& command, const std::string& argument, const std::string& typist = KESTRUN_KWIN_TYPIST) const
    {
        return session.Run({typist, command, argument});
    }
    Outcome Type(const std::string& text) const
    {
        const fs::path file = session.folder() / "text.txt";
        std::ofstream(file) << text;
        fs::permissions(file, fs::perms::others_read, fs::perm_options::add);
        return Typist("type", file.string());
    }
    // Starts a recorder and activates its window once it has one; its pid or -1.
    pid_t Recorder(const fs::path& output, Toolkit toolkit = Toolkit::Qt)
    {
        const pid_t pid = toolkit == Toolkit::Qt ? session.StartQtRecorder(output) : session.StartGtkRecorder(output);
        Outcome last;
        const bool shown = pid > 0 && WaitUntil([&] { return (last = Typist("activate", std::to_string(pid))).status == 0; });
        if (!shown)
            ADD_FAILURE() << "activating the " << Name(toolkit) << " recorder: " << last.err;
        return shown ? pid : -1;
    }

    // Every type the clipboard offers, with its data, as another program reads it.
    std::map<std::string, std::string> Clipboard()
    {
        const fs::path folder = session.folder() / ("clipboard-" + std::to_string(++reads_));
        const Outcome read = session.Run({KESTRUN_CLIPBOARD_TOOL, "read", folder.string()});
        EXPECT_EQ(read.status, 0) << read.err;
        std::map<std::string, std::string> content;
        int n = 0;
        for (const std::string& type : Lines(read.out))
            content[type] = ReadFile(folder / std::to_string(n++));
        return content;
    }

    KwinSession session{KESTRUN_KWIN_TYPIST};
    int reads_ = 0;
};

TEST_F(KwinEndToEndTest, TypesTheLayoutsCharactersExactlyAndNoWindowIsDisconnected)
{
    for (const Toolkit toolkit : {Toolkit::Qt, Toolkit::Gtk}) {
        SCOPED_TRACE(Name(toolkit));
        const fs::path output = session.folder() / (std::string(Name(toolkit)) + ".txt");
        const pid_t recorder = Recorder(output, toolkit);
        ASSERT_GT(recorder, 0) << "the recorder shows no window";

        // Long enough that an unpaced typist overflows the window's socket.
        const Outcome typed = Type(Repeated(kLine, 30));
        EXPECT_EQ(typed.status, 0) << typed.err;
        const std::string expected = Repeated(kLineTyped, 30);
        EXPECT_EQ(WaitForOutput(output, expected.size()), expected);
        int status = 0;
        EXPECT_FALSE(Ended(recorder, status)) << "the compositor disconnected the window";

        // Shift held at the end of one text is not held at the start of the next.
        ASSERT_EQ(Type("A").status, 0);
        ASSERT_EQ(Type("b~").status, 0);
        EXPECT_EQ(WaitForOutput(output, expected.size() + 3), expected + "Ab\n");
    }
}

TEST_F(KwinEndToEndTest, RefusesWhatItCannotTypeWithoutTypingAnyOfIt)
{
    const fs::path output = session.folder() / "qt.txt";
    ASSERT_GT(Recorder(output), 0);
    struct Row {
        const char* text;
        const char* message;
    } rows[] = {
        {"abc^(中)", "A character the keyboard layout lacks cannot be typed with Ctrl or Alt."},
        {"abc{NOSUCHKEY}", ""},
    };
    for (const Row& row : rows) {
        const Outcome outcome = Type(row.text);
        EXPECT_EQ(outcome.status, 1) << row.text;
        EXPECT_NE(outcome.err.find(row.message), std::string::npos) << row.text << ": " << outcome.err;
    }
    ASSERT_EQ(Type("ok").status, 0);
    EXPECT_EQ(WaitForOutput(output, 2), "ok");
}

// Characters the layout lacks go through the clipboard.
TEST_F(KwinEndToEndTest, PastesWhatTheLayoutLacksExactly)
{
    const std::string text = "Ärger: ΑΒΓΔ жизнь 中文字 ✓→∞ 😀 ok~{ENTER}Olé ¿qué? «ça» — ½ ±\n";
    const std::string typed = "Ärger: ΑΒΓΔ жизнь 中文字 ✓→∞ 😀 ok\n\nOlé ¿qué? «ça» — ½ ±\n";
    for (const Toolkit toolkit : {Toolkit::Qt, Toolkit::Gtk}) {
        SCOPED_TRACE(Name(toolkit));
        const fs::path output = session.folder() / (std::string(Name(toolkit)) + ".txt");
        const pid_t recorder = Recorder(output, toolkit);
        ASSERT_GT(recorder, 0);
        for (int round = 0; round < 2; ++round) {
            const Outcome outcome = Type(text);
            EXPECT_EQ(outcome.status, 0) << outcome.err;
        }
        EXPECT_EQ(WaitForOutput(output, 2 * typed.size()), typed + typed);
        int status = 0;
        EXPECT_FALSE(Ended(recorder, status)) << "the compositor disconnected the window";
    }
}

// What a program put on the clipboard, every type of it, is there again after a paste, served by the
// typist (the program that owned it was told another took it); an empty clipboard stays empty.
TEST_F(KwinEndToEndTest, TheUsersClipboardIsTheSameAfterAPaste)
{
    const fs::path output = session.folder() / "qt.txt";
    ASSERT_GT(Recorder(output), 0);
    // More than a pipe holds at once, and bytes no text has.
    std::string html = "<p>Grüße, ΑΒΓ, 中文 😀</p>";
    for (int i = 0; i < 5000; ++i)
        html += "<i>" + std::to_string(i) + std::string(1, '\0') + "\xff</i>\n";
    using Content = std::map<std::string, std::string>;
    const struct Row {
        const char* what;
        Content content;
    } rows[] = {
        {"nothing", {}},
        {"two types", {{"text/plain;charset=utf-8", "Kestrun's user copied: Olé \r\n\t ΑΒΓ 中文 😀\n"}, {"text/html", html}}},
    };
    std::string expected;
    int run = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ++run;
        std::vector<std::string> own = {KESTRUN_CLIPBOARD_TOOL, "own"};
        for (const auto& [type, data] : row.content) {
            const std::string name = "content-" + std::to_string(run) + "-" + std::to_string(own.size());
            session.folder().Write(name, data);
            fs::permissions(session.folder() / name, fs::perms::others_read, fs::perm_options::add);
            own.insert(own.end(), {type, (session.folder() / name).string()});
        }
        if (!row.content.empty()) {
            session.Start(own);
            ASSERT_TRUE(WaitUntil([&] { return Clipboard() == row.content; })) << "the owner did not take the clipboard";
        } else {
            ASSERT_EQ(Clipboard(), Content{});
        }

        const fs::path file = session.folder() / ("paste-" + std::to_string(run) + ".txt");
        std::ofstream(file) << "abc ΑΒΓ 中文 def\n";
        fs::permissions(file, fs::perms::others_read, fs::perm_options::add);
        session.Start({KESTRUN_KWIN_TYPIST, "typeandstay", file.string()});
        ASSERT_TRUE(WaitUntil([&] { return fs::exists(file.string() + ".typed") || fs::exists(file.string() + ".failed"); }, 60s));
        ASSERT_FALSE(fs::exists(file.string() + ".failed")) << ReadFile(file.string() + ".failed");
        expected += "abc ΑΒΓ 中文 def\n";
        EXPECT_EQ(WaitForOutput(output, expected.size()), expected);

        EXPECT_EQ(Clipboard(), row.content);
    }
}

TEST_F(KwinEndToEndTest, AProgramWithoutItsDesktopEntryIsToldWhatToDo)
{
    const fs::path copy = session.folder() / "unlisted-typist";
    fs::copy_file(KESTRUN_KWIN_TYPIST, copy);
    fs::permissions(copy, fs::perms::all);
    const Outcome outcome = session.Run({copy.string(), "type", "/dev/null"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("KWin does not let Kestrun type."), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find("Exec=" + copy.string() + ")"), std::string::npos) << outcome.err;
}

TEST_F(KwinEndToEndTest, ActivatesTheWindowOfTheGivenProcess)
{
    const fs::path first = session.folder() / "first.txt", second = session.folder() / "second.txt";
    const pid_t firstRecorder = Recorder(first);
    const pid_t secondRecorder = Recorder(second);
    ASSERT_TRUE(firstRecorder > 0 && secondRecorder > 0);
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(Typist("activate", std::to_string(firstRecorder)).status, 0);
        ASSERT_EQ(Type("a").status, 0);
        ASSERT_EQ(Typist("activate", std::to_string(secondRecorder)).status, 0);
        ASSERT_EQ(Type("b").status, 0);
    }
    EXPECT_EQ(WaitForOutput(first, 2), "aa");
    EXPECT_EQ(WaitForOutput(second, 2), "bb");

    // No window, or no process at all: a failure, not a success.
    const pid_t sleeper = session.Start({"sleep", "60"});
    const Outcome windowless = Typist("activate", std::to_string(sleeper));
    EXPECT_EQ(windowless.status, 1);
    EXPECT_NE(windowless.err.find("The program has no window."), std::string::npos) << windowless.err;
}

TEST_F(KwinEndToEndTest, AKilledTypistLeavesNoKeyDown)
{
    const fs::path output = session.folder() / "qt.txt";
    ASSERT_GT(Recorder(output), 0);
    const fs::path file = session.folder() / "long.txt";
    std::ofstream(file) << Repeated("+(abcdefghij)", 120);
    fs::permissions(file, fs::perms::others_read, fs::perm_options::add);
    for (int run = 0; run < 2; ++run) {
        const std::size_t before = ReadFile(output).size();
        const pid_t typist = session.Start({KESTRUN_KWIN_TYPIST, "type", file.string()});
        ASSERT_TRUE(WaitUntil([&] { return ReadFile(output).size() > before + 100; }));
        kill(typist, SIGKILL);
        int status = 0;
        ASSERT_TRUE(WaitUntil([&] { return Ended(typist, status); }, 10s));
        // A key or Shift left down repeats, or capitalises what comes next. The window may still be
        // reading keys KWin passed on before the kill (it writes its whole text at each key).
        const std::size_t settled = Settled(output);
        std::this_thread::sleep_for(2s);
        EXPECT_EQ(ReadFile(output).size(), settled) << "a key is repeating: " << ReadFile(output).substr(settled);
        ASSERT_EQ(Type("x").status, 0);
        Settled(output);
        EXPECT_EQ(ReadFile(output).back(), 'x') << "Shift is still down: " << ReadFile(output).substr(settled);
    }
}

}  // namespace
}  // namespace kestrun::test

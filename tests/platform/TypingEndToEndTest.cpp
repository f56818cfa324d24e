// Typing into a real X client: a private Xvfb with openbox and an xterm that
// records every byte it is given.

#include "platform/linux/EwmhWindowActivator.h"
#include "keys/NotationTyping.h"
#include "platform/linux/XTestKeySender.h"
#include "platform/PlatformError.h"
#include "tests/platform/KeymapInspection.h"
#include "tests/platform/RecordingGuard.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace kestrun::test {
namespace {

// ASCII, shifted characters, the notation's specials, accented letters, and
// characters beyond Latin-1 (more distinct ones than spare key codes).
const std::string kText =
    "Hello, World! 0123456789 `-=[];'\\,./ !@#$&*_|:\"<>?\n"
    "{+}{^}{%}{~}{(}{)}{{}{}}{[}{]}+(abc)^(){TAB}x^(ab)~"
    "äöüÄÖÜß éèêàçùÉ ñ¿¡«»°§µ €\n"
    "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ жизнь 中文字 ✓→∞ 😀\n"
    "{CAPSLOCK}aB{CAPSLOCK}cD{x 3}\n";
const std::string kTyped =
    "Hello, World! 0123456789 `-=[];'\\,./ !@#$&*_|:\"<>?\n"
    "+^%~(){}[]ABC\tx\x01\x02\n"
    "äöüÄÖÜß éèêàçùÉ ñ¿¡«»°§µ €\n"
    "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ жизнь 中文字 ✓→∞ 😀\n"
    "aBcDxxx\n";

class TypingEndToEndTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { ASSERT_TRUE(session.ok()) << session.failure; }

    XSession session;
};

TEST_P(TypingEndToEndTest, TypesTheTextExactlyWhateverTheLayout)
{
    if (GetParam() != "us") {
        ASSERT_EQ(RunProcess({"setxkbmap", GetParam()}), 0) << "setxkbmap (x11-xkb-utils) failed";
    }
    const auto output = session.folder() / "typed.txt";
    const pid_t recorder = session.StartRecorder(output);
    ASSERT_GT(recorder, 0) << "xterm did not start";

    const auto keymapBefore = XSession::CoreKeymap();

    EwmhWindowActivator().Activate(recorder);
    EXPECT_TRUE(XSession::IsActive(recorder));
    XTestKeySender sender;
    SendKeys(sender, kText, true);
    EXPECT_EQ(sender.MappingChanges(), 1) << "one change for every character the layout lacks";

    EXPECT_EQ(XSession::WaitForOutput(output, kTyped.size()), kTyped);
    EXPECT_EQ(XSession::KeysDown(), "");
    sender.RestoreKeyboard();
    EXPECT_EQ(sender.MappingChanges(), 2);
    EXPECT_EQ(XSession::CoreKeymap(), keymapBefore) << "the keyboard mapping was not restored";
}

INSTANTIATE_TEST_SUITE_P(Layouts, TypingEndToEndTest, ::testing::Values("us", "de", "fr"));

// 300 distinct characters that no key of the us layout types, and more CJK
// ones after them when asked.
std::string ForeignText(int moreCjk = 0)
{
    const std::pair<char32_t, int> blocks[] = {
        {U'А', 64},   // Cyrillic
        {U'Α', 17},   // Greek capitals before the gap
        {U'α', 25},   // Greek small letters
        {U'ぁ', 83},  // Hiragana
        {U'一', 80},  // CJK
        {U'←', 31},   // arrows
        {U'\u5000', moreCjk},
    };
    std::u32string text;
    for (const auto& [first, count] : blocks)
        for (int k = 0; k < count; ++k)
            text += static_cast<char32_t>(first + k);
    std::string utf8;
    for (char32_t c : text) {
        if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
        } else {
            utf8 += static_cast<char>(0xE0 | (c >> 12));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
    return utf8;
}

class BorrowedCodesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(session.ok()) << session.failure;
        recorder = session.StartRecorder(output);
        ASSERT_GT(recorder, 0) << "xterm did not start";
        EwmhWindowActivator().Activate(recorder);
    }

    XSession session;
    std::filesystem::path output = session.folder() / "typed.txt";
    pid_t recorder = -1;
    std::shared_ptr<GuardRecord> guard = std::make_shared<GuardRecord>();
};

TEST_F(BorrowedCodesTest, ThreeHundredForeignCharactersTakeOneChangeAndOneRestore)
{
    const std::string text = ForeignText();
    const auto keymapBefore = KeyRows();
    const std::string xkbBefore = XkbKeys();
    {
        // Quiet for long enough to find the codes in place again below,
        // however busy the machine.
        XTestKeySender sender(RecordingGuard::Starter(guard), nullptr, std::chrono::seconds(5));
        SendKeys(sender, text, true);
        EXPECT_EQ(sender.MappingChanges(), 1);
        EXPECT_EQ(XSession::WaitForOutput(output, text.size()), text);

        // The guard knows what each borrowed code held and holds now.
        std::unique_lock lock(guard->lock);
        ASSERT_FALSE(guard->borrowed.empty());
        const auto keymapNow = KeyRows();
        for (const auto& [number, code] : guard->borrowed) {
            EXPECT_EQ(code.original, Widened(keymapBefore.at(code.code), code.original.size())) << int(code.code);
            EXPECT_EQ(code.borrowed, Widened(keymapNow.at(code.code), code.borrowed.size())) << int(code.code);
        }
        lock.unlock();

        // The next sequence finds its characters in place.
        SendKeys(sender, text.substr(0, 60) + "~", true);
        EXPECT_EQ(sender.MappingChanges(), 1);

        // Quiet typing gives the codes back by itself.
        for (int wait = 0; wait < 300 && sender.MappingChanges() < 2; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(sender.MappingChanges(), 2);
    }
    EXPECT_EQ(KeyRows(), keymapBefore);
    EXPECT_EQ(XkbKeys(), xkbBefore) << "key types or symbols differ after the restore";
    EXPECT_EQ(XSession::KeysDown(), "");
    EXPECT_TRUE(guard->restored);
    for (const auto& [code, down] : guard->down)
        EXPECT_EQ(down, 0) << "key " << int(code) << " left down";
}

TEST_F(BorrowedCodesTest, CodesAnotherClientGrabbedAreLeftAlone)
{
    // A second client, as a desktop grabbing its media keys, takes three
    // codes typing would borrow.
    const auto keymap = KeyRows();
    std::vector<unsigned char> grabbed;
    for (const auto& [code, syms] : keymap)
        if (grabbed.size() < 3 && std::all_of(syms.begin(), syms.end(), [](unsigned long s) { return s == 0; }))
            grabbed.push_back(code);
    const unsigned char mute = CodeOf(0x1008FF12);  // XF86AudioMute
    ASSERT_NE(mute, 0);
    grabbed.push_back(mute);
    KeyGrabber grabber(grabbed);

    const std::string text = ForeignText();
    XTestKeySender sender(RecordingGuard::Starter(guard));
    SendKeys(sender, text, true);
    EXPECT_EQ(XSession::WaitForOutput(output, text.size()), text);
    sender.RestoreKeyboard();
    for (unsigned char code : grabbed) {
        EXPECT_FALSE(guard->everBorrowed.contains(code)) << int(code);
        EXPECT_FALSE(guard->pressed.contains(code)) << int(code);
    }
    const bool mediaKeyBorrowed = std::any_of(keymap.begin(), keymap.end(), [&](const auto& row) {
        return row.second[0] >= 0x10000000 && guard->everBorrowed.contains(row.first);
    });
    EXPECT_TRUE(mediaKeyBorrowed) << "media keys nobody grabbed are borrowed";
}

TEST(TypingEndToEnd, AMalformedTextSendsNothing)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    const auto output = session.folder() / "typed.txt";
    const pid_t recorder = session.StartRecorder(output);
    ASSERT_GT(recorder, 0);
    EwmhWindowActivator().Activate(recorder);
    XTestKeySender sender;
    EXPECT_THROW(SendKeys(sender, "abc{NOKEY}def", true), PlatformError);
    SendKeys(sender, "ok~", true);
    EXPECT_EQ(XSession::WaitForOutput(output, 3), "ok\n");
}

TEST(TypingEndToEnd, ActivationFailsForAProcessWithoutWindow)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    EXPECT_THROW(EwmhWindowActivator().Activate(0), PlatformError);
    EXPECT_THROW(EwmhWindowActivator().Activate(getpid()), PlatformError);
}

TEST_F(BorrowedCodesTest, MoreCharactersThanPlacesChangeTheMapMidwayAndStayExact)
{
    // Xvfb's map offers over a hundred codes of four levels, fewer than 500
    // places: twice 700 distinct characters take four changes, each after
    // the keys typed with the one before are read.
    const std::string text = ForeignText(400) + ForeignText(400);
    const auto keymapBefore = KeyRows();
    XTestKeySender sender;
    SendKeys(sender, text, true);
    EXPECT_EQ(XSession::WaitForOutput(output, text.size()), text);
    EXPECT_GE(sender.MappingChanges(), 2);
    EXPECT_LE(sender.MappingChanges(), 4) << "the planner changes the map for every few characters";
    sender.RestoreKeyboard();
    EXPECT_EQ(KeyRows(), keymapBefore);
}

TEST_F(BorrowedCodesTest, ALayoutLoadedMeanwhileIsLeftAsItIs)
{
    XTestKeySender sender;
    SendKeys(sender, ForeignText(), true);
    // xterm answers no ping: the new layout must not come before it has read
    // the keys typed with the borrowed codes.
    ASSERT_EQ(XSession::WaitForOutput(output, ForeignText().size()), ForeignText());
    ASSERT_EQ(RunProcess({"setxkbmap", "de"}), 0);
    const auto german = KeyRows();
    sender.RestoreKeyboard();
    EXPECT_EQ(KeyRows(), german);
    SendKeys(sender, "ok~", true);  // the German map's own keys, nothing borrowed from before
    EXPECT_EQ(XSession::WaitForOutput(output, ForeignText().size() + 3), ForeignText() + "ok\n");
}

// Qt windows answer the window manager's ping once they have handled every
// earlier event, so typing knows when its keys are read; xterm takes no part.
TEST_F(BorrowedCodesTest, AQtWindowGetsEveryCharacterAndAnswersThePing)
{
    EXPECT_FALSE(PingActiveWindow(std::chrono::milliseconds(500))) << "xterm answered a ping";

    const auto typed = session.folder() / "qt.txt";
    const pid_t qt = StartProcess({KESTRUN_QT_RECORDER, typed.string()});
    ASSERT_TRUE(XSession::WaitForWindowOf(qt)) << "the Qt recorder did not start";
    EwmhWindowActivator().Activate(qt);
    ASSERT_TRUE(XSession::IsActive(qt));
    EXPECT_TRUE(PingActiveWindow(std::chrono::seconds(5)));

    const std::string text = ForeignText();
    XTestKeySender sender;
    SendKeys(sender, text, true);
    EXPECT_EQ(XSession::WaitForOutput(typed, text.size()), text);
    StopProcess(qt);
}

}  // namespace
}  // namespace kestrun::test

// Typing into real X clients: a private Xvfb with openbox, an xterm that
// records every byte it is given and a Qt window that records its text.

#include "platform/linux/EwmhWindowActivator.h"
#include "keys/NotationTyping.h"
#include "platform/linux/KeyboardGuard.h"
#include "platform/linux/KeymapJournal.h"
#include "platform/linux/XTestKeySender.h"
#include "platform/PlatformError.h"
#include "tests/platform/KeymapInspection.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace kestrun::test {
namespace {

using namespace std::chrono_literals;

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

// 300 distinct characters that no key of the us layout types, and more CJK
// ones after them when asked.
std::string ForeignText(int moreCjk = 0)
{
    const std::pair<char32_t, int> blocks[] = {
        {U'А', 64}, {U'Α', 17}, {U'α', 25},  // Cyrillic, Greek capitals before the gap, Greek small letters
        {U'ぁ', 83}, {U'一', 80}, {U'←', 31},  // Hiragana, CJK, arrows
        {U'\u5000', moreCjk},
    };
    std::string utf8;
    for (const auto& [first, count] : blocks)
        for (char32_t c = first; c < first + static_cast<char32_t>(count); ++c) {
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

TEST(TypingEndToEnd, TheTextArrivesExactlyAndTheKeyboardIsLeftAsItWas)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    const auto output = session.folder() / "typed.txt";
    const pid_t recorder = session.StartRecorder(output);
    ASSERT_GT(recorder, 0) << "xterm did not start";
    EwmhWindowActivator().Activate(recorder);
    // What the recorder got since the last call.
    std::size_t read = 0;
    const auto typedNext = [&](std::size_t size) {
        const std::string all = WaitForOutput(output, read + size);
        const std::string next = all.substr(std::min(read, all.size()));
        read = all.size();
        return next;
    };
    const std::string text = ForeignText();

    // Typing as Kestrun does it, with its keyboard guardian and the journal
    // of what each borrowed code held.
    const auto guarded = [](const std::string& display) { return StartKeyboardGuard(display, KESTRUN_KEYGUARD); };
    const auto journalPath = KeymapJournalPath(std::getenv("DISPLAY")).value();

    Step("300 foreign characters: one change and one restore, the journal knows what each code held");
    {
        const auto keymapBefore = KeyRows();
        const std::string xkbBefore = XkbKeys();
        // Quiet for long enough to find the codes in place again below,
        // however busy the machine.
        XTestKeySender sender(guarded, nullptr, 5s);
        SendKeys(sender, text, true);
        EXPECT_EQ(sender.MappingChanges(), 1);
        EXPECT_EQ(typedNext(text.size()), text);
        const auto journal = ReadKeymapJournal(journalPath);
        ASSERT_TRUE(journal && !journal->codes.empty());
        const auto keymapNow = KeyRows();
        // Rows cut or padded with NoSymbol to the journal's width.
        const auto widened = [](std::vector<unsigned long> row, std::size_t width) {
            row.resize(width, 0);
            return row;
        };
        for (const BorrowedCode& code : journal->codes) {
            EXPECT_EQ(code.original, widened(keymapBefore.at(code.code), code.original.size())) << int(code.code);
            EXPECT_EQ(code.borrowed, widened(keymapNow.at(code.code), code.borrowed.size())) << int(code.code);
        }
        // The next sequence finds its characters in place.
        SendKeys(sender, text.substr(0, 60) + "~", true);
        EXPECT_EQ(typedNext(61), text.substr(0, 60) + "\n");
        EXPECT_EQ(sender.MappingChanges(), 1);
        // Quiet typing gives the codes back by itself.
        EXPECT_TRUE(WaitUntil([&] { return sender.MappingChanges() == 2; }, 15s));
        EXPECT_EQ(KeyRows(), keymapBefore);
        EXPECT_EQ(XkbKeys(), xkbBefore) << "key types or symbols differ after the restore";
        EXPECT_EQ(KeysDown(), "");
        EXPECT_FALSE(std::filesystem::exists(journalPath)) << "the restore left its journal";
    }

    Step("codes another client grabbed, as a desktop its media keys, are left alone");
    {
        const auto keymap = KeyRows();
        std::vector<unsigned char> grabbed;
        for (const auto& [code, syms] : keymap)
            if (grabbed.size() < 3 && std::all_of(syms.begin(), syms.end(), [](unsigned long s) { return s == 0; }))
                grabbed.push_back(code);
        const auto mute = std::find_if(keymap.begin(), keymap.end(), [](const auto& row) {
            return row.second[0] == 0x1008FF12;  // XF86AudioMute
        });
        ASSERT_NE(mute, keymap.end());
        grabbed.push_back(mute->first);
        KeyGrabber grabber(grabbed);
        XTestKeySender sender(guarded);
        SendKeys(sender, text, true);
        EXPECT_EQ(typedNext(text.size()), text);
        std::set<unsigned char> borrowed;
        for (const BorrowedCode& code : ReadKeymapJournal(journalPath).value_or(KeymapJournal{}).codes)
            borrowed.insert(code.code);
        sender.RestoreKeyboard();
        for (unsigned char code : grabbed)
            EXPECT_FALSE(borrowed.contains(code)) << int(code);
        EXPECT_TRUE(std::any_of(keymap.begin(), keymap.end(), [&](const auto& row) {
            return row.second[0] >= 0x10000000 && borrowed.contains(row.first);
        })) << "media keys nobody grabbed are borrowed";
    }

    Step("more characters than places: the map changes midway and the text stays exact");
    {
        // Xvfb's map offers over a hundred codes of four levels, fewer than
        // 500 places: twice 700 distinct characters take four changes, each
        // after the keys typed with the one before are read.
        const std::string many = ForeignText(400) + ForeignText(400);
        const auto keymapBefore = KeyRows();
        XTestKeySender sender;
        SendKeys(sender, many, true);
        EXPECT_EQ(typedNext(many.size()), many);
        EXPECT_GE(sender.MappingChanges(), 2);
        EXPECT_LE(sender.MappingChanges(), 4) << "the planner changes the map for every few characters";
        sender.RestoreKeyboard();
        EXPECT_EQ(KeyRows(), keymapBefore);
    }

    Step("a Qt window answers the ping once it has read every key, and gets every character");
    EXPECT_FALSE(PingActiveWindow(500ms)) << "xterm answered a ping";
    {
        const auto qtOutput = session.folder() / "qt.txt";
        const pid_t qt = session.StartQtRecorder(qtOutput);
        ASSERT_GT(qt, 0) << "the Qt recorder did not start";
        EwmhWindowActivator().Activate(qt);
        ASSERT_TRUE(IsActive(qt));
        EXPECT_TRUE(PingActiveWindow(5s));
        XTestKeySender sender;
        SendKeys(sender, text, true);
        EXPECT_EQ(WaitForOutput(qtOutput, text.size()), text);
    }

    Step("a key the user changed meanwhile, or a layout loaded meanwhile, is left as it is");
    EwmhWindowActivator().Activate(recorder);
    for (const bool wholeLayout : {false, true}) {
        const auto keymapBefore = KeyRows();
        XTestKeySender sender(guarded);
        SendKeys(sender, text, true);
        // xterm answers no ping: the change must not come before it has read
        // the keys typed with the borrowed codes.
        ASSERT_EQ(typedNext(text.size()), text);
        const auto journal = ReadKeymapJournal(journalPath);
        ASSERT_TRUE(journal && !journal->codes.empty());
        auto expected = keymapBefore;
        if (wholeLayout) {
            ASSERT_EQ(RunProgram({"setxkbmap", "de"}).status, 0);
            expected = KeyRows();
        } else {
            const unsigned char mine = journal->codes.front().code;
            SetKeySyms(mine, {0xa7, 0xa7});  // section
            expected[mine] = KeyRows().at(mine);
        }
        sender.RestoreKeyboard();
        EXPECT_EQ(KeyRows(), expected);
        SendKeys(sender, "ok~", true);  // the map's own keys, nothing borrowed from before
        EXPECT_EQ(typedNext(3), "ok\n");
    }

    Step("ASCII, the notation's specials, accents, Greek, Cyrillic, CJK in each layout; a malformed text not at all");
    for (const std::string layout : {"us", "de", "fr"}) {
        SCOPED_TRACE(layout);
        ASSERT_EQ(RunProgram({"setxkbmap", layout}).status, 0) << "setxkbmap (x11-xkb-utils) failed";
        const auto typedHere = session.folder() / ("typed-" + layout + ".txt");
        const pid_t recorderHere = session.StartRecorder(typedHere);
        ASSERT_GT(recorderHere, 0) << "xterm did not start";
        const auto keymapBefore = KeyRows();
        EwmhWindowActivator().Activate(recorderHere);

        XTestKeySender sender;
        EXPECT_THROW(SendKeys(sender, "abc{NOKEY}def", true), PlatformError);
        SendKeys(sender, kText, true);
        EXPECT_EQ(sender.MappingChanges(), 1) << "one change for every character the layout lacks";
        EXPECT_EQ(WaitForOutput(typedHere, kTyped.size()), kTyped);
        EXPECT_EQ(KeysDown(), "");
        sender.RestoreKeyboard();
        EXPECT_EQ(sender.MappingChanges(), 2);
        EXPECT_EQ(KeyRows(), keymapBefore) << "the keyboard mapping was not restored";
    }
}

}  // namespace
}  // namespace kestrun::test

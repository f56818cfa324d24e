// Typing into a recording xterm and Qt window on a private Xvfb; started
// programs waited for, activated and typed into by a whole run.

#include "core/Utf8.h"
#include "keys/NotationTyping.h"
#include "platform/PlatformError.h"
#include "platform/PlatformServices.h"
#include "platform/linux/EwmhWindowActivator.h"
#include "platform/linux/KeySettle.h"
#include "platform/linux/KeyboardGuard.h"
#include "platform/linux/KeymapJournal.h"
#include "platform/linux/PosixProgramStarter.h"
#include "platform/linux/XTestKeySender.h"
#include "runner/TaskRunner.h"
#include "tests/runner/FakeRunHost.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include <X11/Xlib.h>  // after gtest, whose names it defines as macros

namespace kestrun::test {
namespace {

using namespace std::chrono_literals;

// 300 distinct characters no us key types (Cyrillic, Greek, Hiragana, CJK, arrows), then `moreCjk`.
std::string ForeignText(int moreCjk = 0)
{
    std::string utf8;
    for (const auto& [first, count] : {std::pair{U'А', 64}, {U'Α', 17}, {U'α', 25}, {U'ぁ', 83}, {U'一', 80},
                                       {U'←', 31}, {U'\u5000', moreCjk}})
        for (char32_t c = first; c < first + static_cast<char32_t>(count); ++c)
            AppendUtf8(utf8, c);
    return utf8;
}

TEST(TypingEndToEnd, TheTextArrivesExactlyTheKeyboardIsLeftAsItWasAndStartedProgramsAreTypedInto)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    const auto output = session.folder() / "typed.txt";
    const pid_t recorder = session.StartRecorder(output);
    ASSERT_GT(recorder, 0) << "xterm did not start";
    EwmhWindowActivator().Activate(recorder);
    std::size_t read = 0;
    const auto typedNext = [&](std::size_t size) {  // what the recorder got since the last call
        const std::string all = WaitForOutput(output, read + size);
        const std::string next = all.substr(std::min(read, all.size()));
        read = all.size();
        return next;
    };
    const std::string text = ForeignText();
    // Typing as Kestrun does it, with its keyboard guardian and the journal of borrowed codes.
    const auto guarded = [](const std::string& display) { return StartKeyboardGuard(display, KESTRUN_KEYGUARD); };
    const auto journalPath = KeymapJournalPath(std::getenv("DISPLAY")).value();

    Step("300 foreign characters: one change, and one restore once typing is quiet");
    {
        const std::string xkbBefore = XkbKeys();
        // Quiet for long enough to find the codes in place again below.
        XTestKeySender sender(guarded, nullptr, 5s);
        SendKeys(sender, text, true);
        EXPECT_EQ(typedNext(text.size()), text);
        EXPECT_TRUE(std::filesystem::exists(journalPath));
        SendKeys(sender, text.substr(0, 60) + "~", true);  // finds its characters in place
        EXPECT_EQ(typedNext(61), text.substr(0, 60) + "\n");
        EXPECT_EQ(sender.MappingChanges(), 1);
        EXPECT_TRUE(WaitUntil([&] { return sender.MappingChanges() == 2; }, 15s));
        EXPECT_EQ(XkbKeys(), xkbBefore) << "key types or symbols differ after the restore";
        EXPECT_EQ(KeysDown(), "");
        EXPECT_FALSE(std::filesystem::exists(journalPath)) << "the restore left its journal";
    }

    Step("more characters than places, codes another client grabbed (as a desktop its media keys) left alone");
    {
        // Fewer than 500 places in Xvfb's map: twice 700 characters take four changes, each after the keys before are read.
        const std::string many = ForeignText(400) + ForeignText(400);
        const auto keymap = KeyRows();
        std::vector<unsigned char> grabbed;
        for (const auto& [code, syms] : keymap)
            if ((grabbed.size() < 3 && std::all_of(syms.begin(), syms.end(), [](auto s) { return s == 0; })) ||
                syms[0] == 0x1008FF12)  // XF86AudioMute
                grabbed.push_back(code);
        // Another client's grabs, on the root window with any modifiers.
        const std::unique_ptr<Display, int (*)(Display*)> grab(XOpenDisplay(nullptr), XCloseDisplay);
        for (unsigned char code : grabbed)
            XGrabKey(grab.get(), code, AnyModifier, DefaultRootWindow(grab.get()), False, GrabModeAsync, GrabModeAsync);
        XSync(grab.get(), False);
        XTestKeySender sender(guarded);
        SendKeys(sender, many, true);
        EXPECT_EQ(typedNext(many.size()), many);
        EXPECT_TRUE(sender.MappingChanges() >= 2 && sender.MappingChanges() <= 4) << sender.MappingChanges() << " changes";
        std::set<unsigned char> borrowed;
        for (const BorrowedCode& code : ReadKeymapJournal(journalPath).value_or(KeymapJournal{}).codes)
            borrowed.insert(code.code);
        sender.RestoreKeyboard();
        EXPECT_EQ(KeyRows(), keymap);
        for (unsigned char code : grabbed)
            EXPECT_FALSE(borrowed.contains(code)) << int(code);
        EXPECT_TRUE(std::any_of(keymap.begin(), keymap.end(), [&](const auto& row) {
            return row.second[0] >= 0x10000000 && borrowed.contains(row.first);
        })) << "media keys nobody grabbed are borrowed";
    }

    Step("a Qt window answers the ping once it has read every key, and gets every character");
    {
        const std::unique_ptr<Display, int (*)(Display*)> x(XOpenDisplay(nullptr), XCloseDisplay);
        EXPECT_FALSE(KeySettle(x.get()).Ping(500ms)) << "xterm answered a ping";
        const auto qtOutput = session.folder() / "qt.txt";
        const pid_t qt = session.Start({KESTRUN_QT_RECORDER, qtOutput});
        ASSERT_TRUE(EwmhWindowActivator().WaitForWindow(qt, 10s)) << "the Qt recorder did not start";
        EwmhWindowActivator().Activate(qt);
        EXPECT_TRUE(KeySettle(x.get()).Ping(5s));
        XTestKeySender sender;
        SendKeys(sender, text, true);
        EXPECT_EQ(WaitForOutput(qtOutput, text.size()), text);
    }

    Step("a key the user changed meanwhile, or a layout loaded meanwhile, is left as it is");
    EwmhWindowActivator().Activate(recorder);
    for (const bool wholeLayout : {false, true}) {
        auto expected = KeyRows();
        XTestKeySender sender(guarded);
        SendKeys(sender, text, true);
        // xterm answers no ping: the change must wait until it read the keys typed with borrowed codes.
        ASSERT_EQ(typedNext(text.size()), text);
        const auto journal = ReadKeymapJournal(journalPath);
        ASSERT_TRUE(journal && !journal->codes.empty());
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
        SendKeys(sender, kEveryKindText, true);
        EXPECT_EQ(sender.MappingChanges(), 1) << "one change for every character the layout lacks";
        EXPECT_EQ(WaitForOutput(typedHere, kEveryKindTyped.size()), kEveryKindTyped);
        EXPECT_EQ(KeysDown(), "");
        sender.RestoreKeyboard();
        EXPECT_EQ(sender.MappingChanges(), 2);
        EXPECT_EQ(KeyRows(), keymapBefore) << "the keyboard mapping was not restored";
    }

    EwmhWindowActivator windows;
    PosixProgramStarter starter;
    const auto start = [&](const std::string& name, const std::string& body) {
        const auto path = session.folder().Write(name, "#!/bin/sh\n" + body + "\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return starter.Start(path.string());
    };

    Step("a window is waited for only while it can come");
    // A limit no test could sit out: returning at all shows nothing was waited for.
    EXPECT_FALSE(windows.WaitForWindow(start("quick", "exit 0"), 1h));
    EXPECT_FALSE(windows.WaitForWindow(0, 1h));
    EXPECT_THROW(windows.Activate(0), PlatformError);
    const Started windowless{start("windowless", "exec sleep 60")};
    EXPECT_THROW(windows.Activate(windowless.pid), PlatformError) << "a process without a window";
    EXPECT_FALSE(windows.WaitForWindow(windowless.pid, 200ms));

    Step("a late window of a process the program started counts, and is activated");
    // The script stays as the parent: the window is its child's.
    const Started launcher{start("launcher", "sleep 2\nxterm\nexit 0")};
    EXPECT_TRUE(windows.WaitForWindow(launcher.pid, 30s));
    EXPECT_TRUE(windows.WaitForWindow(launcher.pid, 0ms));
    // Another program's newer window takes the focus; activation brings the started one back.
    ASSERT_GT(session.StartRecorder(session.folder() / "other.txt"), 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsActive(launcher.pid); }, 10s));
    windows.Activate(launcher.pid);
    EXPECT_TRUE(IsActive(launcher.pid));

    Step("a run: keystrokes go to the started program once it has a window; a malformed row types nothing");
    const auto runOutput = session.folder() / "run.txt";
    PlatformServices platform = MakePlatformServices();
    FakeRunHost host;
    ScriptedDialogs dialogs;
    TaskRunner run(host, dialogs, {*platform.files, *platform.programs, *platform.opener, *platform.sleeper,
                                   *platform.windows, *platform.keys});
    host.rows = {{"Open File", session.RecorderScript(runOutput, "sleep 3").string(), "True"},
                 {"Keystrokes", "every key~", "True"}, {"Wait", "1 seconds", "True"}, {"Keystrokes", "{BAD", "True"},
                 {"Keystrokes", "Grüße, ", "True"}, {"Keystrokes", "+kestrun~", "True"}};
    run.Run();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_GT(run.LastTaskId(), 0);
    EXPECT_EQ(WaitForOutput(runOutput, 27), "every key\nGrüße, Kestrun\n");
}

}  // namespace
}  // namespace kestrun::test

// Typing into a recording xterm and Qt window on a private Xvfb; started
// programs waited for, activated and typed into by a whole run.

#include "bench/TypingTexts.h"
#include "core/Utf8.h"
#include "keys/NotationTyping.h"
#include "platform/PlatformError.h"
#include "platform/PlatformServices.h"
#include "platform/x11/EwmhWindowActivator.h"
#include "platform/x11/KeySettle.h"
#include "platform/x11/keyguard/KeyGuard.h"
#include "platform/x11/keyguard/KeyGuardJournal.h"
#include "platform/x11/keyguard/NeutralKeyCodes.h"
#include "platform/x11/WindowClient.h"
#include "platform/posix/PosixProgramStarter.h"
#include "platform/x11/X11Property.h"
#include "platform/x11/XTestKeySender.h"
#include "runner/TaskRunner.h"
#include "tests/runner/FakeRunHost.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TypingTexts.h"
#include "tests/support/X11Queries.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <unistd.h>
#include <set>

#include <X11/XKBlib.h>  // after gtest, whose names they define as macros
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace kestrun::test {
namespace {

using namespace std::chrono_literals;

// Distinct characters no us key types, in this order: Cyrillic, Greek, Hiragana, CJK, arrows.
std::string ForeignText(int count)
{
    std::string utf8;
    for (const auto& [first, length] : {std::pair{U'А', 64}, {U'Α', 17}, {U'α', 25}, {U'ぁ', 83}, {U'一', 80000}})
        for (char32_t c = first; c < first + static_cast<char32_t>(length) && count > 0; ++c, --count)
            AppendUtf8(utf8, c);
    return utf8;
}

std::set<unsigned char> JournalCodes(const std::filesystem::path& journal)
{
    std::set<unsigned char> codes;
    for (const BorrowedCode& code : ReadKeymapJournal(journal).value_or(KeymapJournal{}).codes)
        codes.insert(code.code);
    return codes;
}

// A window of this process that records the server time of every key event it gets.
class KeyTimes {
public:
    KeyTimes() : x_(XOpenDisplay(nullptr), XCloseDisplay)
    {
        window_ = XCreateSimpleWindow(x_.get(), DefaultRootWindow(x_.get()), 0, 0, 200, 100, 0, 0, 0);
        XSelectInput(x_.get(), window_, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
        XMapWindow(x_.get(), window_);
        WaitUntil([&] {
            XEvent event;
            return XCheckTypedWindowEvent(x_.get(), window_, MapNotify, &event);
        }, 10s);
        XSetInputFocus(x_.get(), window_, RevertToParent, CurrentTime);
        XSync(x_.get(), False);
        // Typing ends when the focus moves: it starts once the window manager has made this window
        // the active one too, rather than while it may still be moving the focus to the new window.
        WaitUntil([&] {
            Window focus = None;
            int revert = 0;
            XGetInputFocus(x_.get(), &focus, &revert);
            return focus == window_ && kestrun::ActiveWindow(x_.get()) == window_;
        }, 5s);
    }

    struct Event { bool press; unsigned code; Time time; };
    /// The key events that came, once `count` of them did.
    std::vector<Event> Take(std::size_t count)
    {
        std::vector<Event> events;
        WaitUntil([&] {
            while (XPending(x_.get()) > 0) {
                XEvent event;
                XNextEvent(x_.get(), &event);
                if (event.type == KeyPress || event.type == KeyRelease)
                    events.push_back({event.type == KeyPress, event.xkey.keycode, event.xkey.time});
            }
            return events.size() >= count;
        }, 10s);
        return events;
    }

private:
    std::unique_ptr<Display, int (*)(Display*)> x_;
    Window window_ = None;
};

// One X session and one recording xterm for the whole suite: the cases type into it in turn.
class TypingEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        session_ = new XSession;
        if (session_->ok())
            recorder_ = session_->StartRecorder(session_->folder() / "typed.txt");
    }
    static void TearDownTestSuite() { delete session_, session_ = nullptr; }

    void SetUp() override
    {
        ASSERT_TRUE(session.ok()) << session.failure;
        ASSERT_GT(recorder, 0) << "xterm did not start";
        EwmhWindowActivator().Activate(recorder);
        read_ = ReadFile(output).size();  // whatever an earlier case left unread
    }

    /// What the recorder got since the last call.
    std::string typedNext(std::size_t size)
    {
        const std::string all = WaitForOutput(output, read_ + size);
        const std::string next = all.substr(std::min(read_, all.size()));
        read_ = all.size();
        return next;
    }

    /// Starts a script of this body through the program starter.
    auto start(const std::string& name, const std::string& body)
    {
        const auto path = session.folder().Write(name, "#!/bin/sh\n" + body + "\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return starter.Start(path.string());
    }

    static inline XSession* session_ = nullptr;
    static inline pid_t recorder_ = -1;
    XSession& session = *session_;
    const pid_t recorder = recorder_;
    const std::filesystem::path output = session.folder() / "typed.txt";
    // As many distinct characters as Xvfb's map has borrowable places: 14 neutral codes of four levels.
    const std::string text = ForeignText(56);
    // Typing as Kestrun does it, with its keyboard guardian and the journal of borrowed codes.
    static std::unique_ptr<KeyboardGuard> guarded(const std::string& display)
    {
        return StartKeyboardGuard(display, KESTRUN_KEYGUARD);
    }
    const std::filesystem::path journalPath = KeymapJournalPath(std::getenv("DISPLAY")).value();
    EwmhWindowActivator windows;
    PosixProgramStarter starter;

private:
    std::size_t read_ = 0;
};

// 56 foreign characters: one change on neutral codes only, and one restore once typing is quiet.
TEST_F(TypingEndToEnd, ForeignCharactersChangeOnlyNeutralCodesOnceAndAreRestoredOnceTypingIsQuiet)
{
    const std::string xkbBefore = XkbKeys();
    // Quiet for long enough to find the codes in place again below.
    XTestKeySender sender(guarded, nullptr, 5s);
    SendKeys(sender, text, true);
    EXPECT_EQ(typedNext(text.size()), text);
    const auto borrowed = JournalCodes(journalPath);
    EXPECT_EQ(borrowed.size(), 14u);
    for (unsigned char code : borrowed)
        EXPECT_TRUE(IsNeutralKeyCode(code)) << int(code) << " stands for a key applications read";
    SendKeys(sender, text.substr(0, 60) + "~", true);  // finds its characters in place
    EXPECT_EQ(typedNext(61), text.substr(0, 60) + "\n");
    EXPECT_EQ(sender.MappingChanges(), 1);
    EXPECT_TRUE(WaitUntil([&] { return sender.MappingChanges() == 2; }, 30s));
    EXPECT_EQ(XkbKeys(), xkbBefore) << "key types or symbols differ after the restore";
    EXPECT_EQ(KeysDown(), "");
    EXPECT_FALSE(std::filesystem::exists(journalPath)) << "the restore left its journal";
}

// More characters than places, codes another client grabbed (as a desktop its media keys) left alone.
TEST_F(TypingEndToEnd, MoreCharactersThanPlacesLeaveTheCodesAnotherClientGrabbedAlone)
{
    // Twice 150 distinct characters on 11 codes: the slots change meaning again and again.
    const std::string many = ForeignText(150) + ForeignText(150);
    const auto keymap = KeyRows();
    std::vector<unsigned char> grabbed;
    for (const auto& [code, syms] : keymap)
        if ((grabbed.size() < 3 && IsNeutralKeyCode(code)) || syms[0] == 0x1008FF12)  // XF86AudioMute
            grabbed.push_back(code);
    // Another client's grabs, on the root window with any modifiers.
    const std::unique_ptr<Display, int (*)(Display*)> grab(XOpenDisplay(nullptr), XCloseDisplay);
    for (unsigned char code : grabbed)
        XGrabKey(grab.get(), code, AnyModifier, DefaultRootWindow(grab.get()), False, GrabModeAsync, GrabModeAsync);
    XSync(grab.get(), False);
    XTestKeySender sender(guarded);
    SendKeys(sender, many, true);
    EXPECT_EQ(typedNext(many.size()), many);
    EXPECT_TRUE(sender.MappingChanges() >= 4 && sender.MappingChanges() <= 10) << sender.MappingChanges() << " changes";
    const auto borrowed = JournalCodes(journalPath);
    sender.RestoreKeyboard();
    EXPECT_EQ(KeyRows(), keymap);
    for (unsigned char code : grabbed)
        EXPECT_FALSE(borrowed.contains(code)) << int(code);
    EXPECT_EQ(borrowed.size(), 11u);
    for (unsigned char code : borrowed)
        EXPECT_TRUE(IsNeutralKeyCode(code)) << int(code);
}

// A repeated key waits a moment between its release and its next press; different keys do not.
TEST_F(TypingEndToEnd, ARepeatedKeyWaitsBetweenItsReleaseAndItsNextPressDifferentKeysDoNot)
{
    KeyTimes times;
    XTestKeySender sender;
    SendKeys(sender, "aab", true);
    const auto events = times.Take(6);
    ASSERT_EQ(events.size(), 6u);
    EXPECT_LT(events[1].time, events[2].time) << "the second a came in the same millisecond";
    // Repeated keys take at least a millisecond each; alternating ones keep going at full speed.
    SendKeys(sender, std::string(200, 'a'), true);
    const auto repeated = times.Take(400);
    std::string alternating;
    for (int k = 0; k < 100; ++k)
        alternating += "ab";
    SendKeys(sender, alternating, true);
    const auto alternated = times.Take(400);
    ASSERT_TRUE(repeated.size() == 400 && alternated.size() == 400);
    const auto span = [](const auto& events) { return events.back().time - events.front().time; };
    EXPECT_LT(span(alternated), span(repeated) / 4) << span(alternated) << " ms against " << span(repeated);
}

// The restore waits for the keys typed, however soon the window answers the ping.
TEST_F(TypingEndToEnd, TheRestoreWaitsForTheKeysTypedHoweverSoonTheWindowAnswersThePing)
{
    const auto qtOutput = session.folder() / "qt-quiet.txt";
    const pid_t qt = session.Start({KESTRUN_QT_RECORDER, qtOutput});
    ASSERT_TRUE(EwmhWindowActivator().WaitForWindow(qt, 10s)) << "the Qt recorder did not start";
    EwmhWindowActivator().Activate(qt);
    const auto restoreAfter = [&](const std::string& typed) {
        XTestKeySender sender(nullptr, nullptr, 0ms);
        SendKeys(sender, typed, true);
        const auto returned = std::chrono::steady_clock::now();
        EXPECT_TRUE(WaitUntil([&] { return sender.MappingChanges() == 2; }, 60s));
        return std::chrono::steady_clock::now() - returned;
    };
    const auto few = restoreAfter(text.substr(0, 20));
    std::string long_;
    while (long_.size() < 2000)
        long_ += text;
    const auto many = restoreAfter(long_);
    EXPECT_GT(many, 5 * few) << "a long text left as soon as a short one";
    EXPECT_EQ(WaitForOutput(qtOutput, 20 + long_.size()), text.substr(0, 20) + long_);
}

// A Qt window answers the ping once it has read every key, and gets every character.
TEST_F(TypingEndToEnd, AQtWindowAnswersThePingOnceItHasReadEveryKeyAndGetsEveryCharacter)
{
    const std::unique_ptr<Display, int (*)(Display*)> x(XOpenDisplay(nullptr), XCloseDisplay);
    EwmhWindowActivator().Activate(recorder);
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

// xterm answers no ping: it has read its keys once its connection to the
// server holds nothing unread, which a stopped xterm never has.
TEST_F(TypingEndToEnd, AWindowThatAnswersNoPingHasReadItsKeysOnceItsConnectionHoldsNothing)
{
    const std::unique_ptr<Display, int (*)(Display*)> x(XOpenDisplay(nullptr), XCloseDisplay);
    EXPECT_EQ(WindowClientProcess(x.get(), kestrun::ActiveWindow(x.get())), recorder);
    KeySettle settle(x.get());
    settle.Watch();
    XTestKeySender sender;
    std::string letters;
    while (letters.size() < 300)
        letters += "qwertzuiop";
    SendKeys(sender, letters, false);
    EXPECT_EQ(settle.Settle(300), KeySettle::Settled::Read);
    EXPECT_EQ(typedNext(letters.size()), letters);

    ASSERT_EQ(kill(recorder, SIGSTOP), 0);
    SendKeys(sender, "stopped", false);
    const auto settled = settle.Settle(7);
    kill(recorder, SIGCONT);
    EXPECT_EQ(settled, KeySettle::Settled::Paused);
    EXPECT_EQ(typedNext(7), "stopped");
}

// Words between the foreign characters make long runs of keys between two
// changes of the map: xterm, which answers no ping and reads its keys well
// before it translates them, gets each with the map it was typed with.
TEST_F(TypingEndToEnd, ALongMixedTextArrivesExactlyThoughTheMapChangesMidwayAndTheWindowAnswersNoPing)
{
    const std::u32string mixed = bench::MixedText(2000, 0.93, 200);
    XTestKeySender sender(guarded);
    sender.SendKeys(bench::Strokes(mixed), true);
    const std::string expected = bench::Utf8(mixed);
    EXPECT_EQ(bench::Errors(mixed, bench::Decode(typedNext(expected.size()))), 0u);
    EXPECT_GE(sender.MappingChanges(), 5);
}

// A key the user changed meanwhile, or a layout loaded meanwhile, is left as it is.
TEST_F(TypingEndToEnd, AKeyTheUserChangedOrALayoutLoadedMeanwhileIsLeftAsItIs)
{
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
    ASSERT_EQ(RunProgram({"setxkbmap", "us"}).status, 0);
}

// ASCII, the notation's specials, accents, Greek, Cyrillic, CJK in each layout; a malformed text not at all.
TEST_F(TypingEndToEnd, EveryKindOfCharacterArrivesInEachLayoutAndAMalformedTextNotAtAll)
{
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
        // About 60 characters the layout lacks: two changes at most.
        const int changes = sender.MappingChanges();
        EXPECT_TRUE(changes == 1 || changes == 2) << changes;
        EXPECT_EQ(WaitForOutput(typedHere, kEveryKindTyped.size()), kEveryKindTyped);
        EXPECT_EQ(KeysDown(), "");
        sender.RestoreKeyboard();
        EXPECT_EQ(sender.MappingChanges(), changes + 1);
        EXPECT_EQ(KeyRows(), keymapBefore) << "the keyboard mapping was not restored";
    }
    ASSERT_EQ(RunProgram({"setxkbmap", "us"}).status, 0);
}

// A text of the layout's own script borrows no code: ru, gr, pl, and us,ru with its ru group locked.
TEST_F(TypingEndToEnd, ATextOfTheLayoutsOwnScriptBorrowsNoCode)
{
    const std::unique_ptr<Display, int (*)(Display*)> groups(XOpenDisplay(nullptr), XCloseDisplay);
    for (const auto& [layout, group, own] : {
             std::tuple{"ru", 0, "Съешь же ещё этих мягких французских булок, да выпей чаю. ЁЖ № 5;"},
             {"gr", 0, "ξεσκεπαζω την ψυχοφθορα βδελυγμια. ΑΒΓ ΩΣ σς;"},
             {"pl", 0, "Zażółć gęślą jaźń. ZAŻÓŁĆ GĘŚLĄ JAŹŃ 1=2-1"},
             {"us,ru", 1, "Широкая электрификация южных губерний"}}) {
        SCOPED_TRACE(layout);
        ASSERT_EQ(RunProgram({"setxkbmap", "-layout", layout}).status, 0);
        XkbLockGroup(groups.get(), XkbUseCoreKbd, group);
        XSync(groups.get(), False);
        const auto typedHere = session.folder() / (std::string("own-") + layout + ".txt");
        const pid_t recorderHere = session.StartRecorder(typedHere);
        ASSERT_GT(recorderHere, 0) << "xterm did not start";
        EwmhWindowActivator().Activate(recorderHere);
        XTestKeySender sender;
        SendKeys(sender, std::string(own) + "~", true);
        EXPECT_EQ(sender.MappingChanges(), 0);
        EXPECT_EQ(WaitForOutput(typedHere, std::string(own).size() + 1), std::string(own) + "\n");
        XkbLockGroup(groups.get(), XkbUseCoreKbd, 0);
        XSync(groups.get(), False);
    }
    ASSERT_EQ(RunProgram({"setxkbmap", "us"}).status, 0);
}

// A window is waited for only while it can come.
TEST_F(TypingEndToEnd, AWindowIsWaitedForOnlyWhileItCanCome)
{
    // A limit no test could sit out: returning at all shows nothing was waited for.
    EXPECT_FALSE(windows.WaitForWindow(start("quick", "exit 0"), 1h));
    EXPECT_FALSE(windows.WaitForWindow(0, 1h));
    EXPECT_THROW(windows.Activate(0), PlatformError);
    const Started windowless{start("windowless", "exec sleep 60")};
    EXPECT_THROW(windows.Activate(windowless.pid), PlatformError) << "a process without a window";
    EXPECT_FALSE(windows.WaitForWindow(windowless.pid, 200ms));
}

// A late window of a process the program started counts, and is activated.
TEST_F(TypingEndToEnd, ALateWindowOfAProcessTheProgramStartedCountsAndIsActivated)
{
    // The script stays as the parent: the window is its child's.
    const Started launcher{start("launcher", "sleep 2\nxterm\nexit 0")};
    EXPECT_TRUE(windows.WaitForWindow(launcher.pid, 30s));
    EXPECT_TRUE(windows.WaitForWindow(launcher.pid, 0ms));
    // Another program's newer window takes the focus; activation brings the started one back.
    ASSERT_GT(session.StartRecorder(session.folder() / "other.txt"), 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsActive(launcher.pid); }, 10s));
    windows.Activate(launcher.pid);
    EXPECT_TRUE(IsActive(launcher.pid));
}

// A run: keystrokes go to the started program once it has a window; a malformed row stops a run at once.
TEST_F(TypingEndToEnd, ARunTypesIntoTheStartedProgramOnceItHasAWindowAndAMalformedRowStopsIt)
{
    const auto runOutput = session.folder() / "run.txt";
    PlatformServices platform = MakePlatformServices();
    FakeRunHost host;
    ScriptedDialogs dialogs;
    TaskRunner run(host, dialogs, {*platform.files, *platform.programs, *platform.opener, *platform.sleeper,
                                   *platform.windows, *platform.keys});
    host.rows = {{"Open File", session.RecorderScript(runOutput, "sleep 3").string(), "True"},
                 {"Keystrokes", "every key~", "True"}, {"Wait", "1 seconds", "True"},
                 {"Keystrokes", "Grüße, ", "True"}, {"Keystrokes", "+kestrun~", "True"}};
    run.Run();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_GT(run.LastTaskId(), 0);
    EXPECT_EQ(WaitForOutput(runOutput, 27), "every key\nGrüße, Kestrun\n");
    host.rows = {{"Keystrokes", "typed~", "True"}, {"Keystrokes", "{BAD", "True"}};
    run.Run();
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(WaitForOutput(runOutput, 27), "every key\nGrüße, Kestrun\n");
}

}  // namespace
}  // namespace kestrun::test

// Ending a typing process midway: no key stays down, the keyboard mapping is as it was.

#include "platform/KeyboardRecovery.h"
#include "platform/x11/EwmhWindowActivator.h"
#include "platform/x11/keyguard/KeyGuardJournal.h"
#include "platform/x11/keyguard/KeyGuardRepair.h"
#include "platform/x11/keyguard/NeutralKeyCodes.h"
#include "tests/support/X11Queries.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace kestrun::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(KeyboardGuard, AfterAKillOrATermTheKeyboardIsSoundAndTheNextStartRepairsWhatIsLeft)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    prctl(PR_SET_CHILD_SUBREAPER, 1);  // guardians whose Kestrun died come here, to be reaped
    const fs::path journalPath = KeymapJournalPath(std::getenv("DISPLAY")).value();
    const auto before = KeyRows();
    const std::string beforeXkb = XkbKeys();
    // Typing ends when the focus moves, as it may while the window manager settles: it goes into a
    // window that has the focus.
    const pid_t receiver = session.StartRecorder(session.folder() / "typed.txt");
    ASSERT_GT(receiver, 0) << "xterm did not start";
    EwmhWindowActivator().Activate(receiver);
    // Typing in a child process, returned once it has borrowed key codes.
    const auto startTyping = [&](const std::string& guardian = KESTRUN_KEYGUARD) {
        const pid_t child = StartProcess({"/bin/sh", "-c", "exec \"$0\" \"$1\" 2>\"$2\"", KESTRUN_TYPING_CHILD,
                                          guardian, (session.folder() / "child.err").string()});
        return child > 0 && WaitUntil([&] { return KeyRows() != before; }, 10s) ? child : (StopProcess(child), -1);
    };

    Step("SIGKILL, from at once to well into the typing: the guardian releases and restores; "
         "SIGTERM: typing stops at once and the guardian restores");
    for (const auto& [signal, delay] : {std::pair{SIGKILL, 0ms}, {SIGKILL, 420ms}, {SIGKILL, 900ms}, {SIGTERM, 200ms}}) {
        SCOPED_TRACE(std::to_string(signal) + " after " + std::to_string(delay.count()) + " ms");
        const pid_t child = startTyping();
        ASSERT_GT(child, 0) << "typing did not borrow any key code";
        std::this_thread::sleep_for(delay);
        const auto journal = ReadKeymapJournal(journalPath);
        ASSERT_TRUE(journal);
        ASSERT_FALSE(KeysDown().empty()) << "the child holds a Shift key while it types";
        kill(child, signal);
        int status = 0;
        ASSERT_TRUE(WaitUntil([&] { return Ended(child, status); }, 5s));
        EXPECT_TRUE(signal != SIGTERM || (WIFEXITED(status) && WEXITSTATUS(status) == 3)) << "typing went on";
        EXPECT_TRUE(WaitUntil([&] { return KeysDown().empty() && KeyRows() == before && XkbKeys() == beforeXkb; }, 1s))
            << KeysDown() << XkbKeys();
        // Its end is not timed: a sanitizer build checks for leaks first.
        EXPECT_TRUE(WaitUntil([&] { return waitpid(journal->guardian.pid, nullptr, WNOHANG), !RunningProcess(journal->guardian.pid); }, 10s))
            << "the guardian did not end";
        EXPECT_FALSE(fs::exists(journalPath));
    }

    Step("no guardian: said once on standard error; SIGTERM: typing stops and restores by itself");
    {
        const pid_t child = startTyping((session.folder() / "no-such-guardian").string());
        ASSERT_GT(child, 0) << "typing did not borrow any key code";
        std::this_thread::sleep_for(300ms);
        kill(child, SIGTERM);
        int status = 0;
        ASSERT_TRUE(WaitUntil([&] { return Ended(child, status); }, 5s));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << "typing went on";
        // Nobody else is there to restore: the keyboard is sound as the process ends.
        EXPECT_TRUE(KeysDown().empty() && KeyRows() == before && XkbKeys() == beforeXkb) << KeysDown();
        EXPECT_FALSE(fs::exists(journalPath));
        const std::vector<std::string> said = Lines(ReadFile(session.folder() / "child.err"));
        ASSERT_EQ(said.size(), 1u) << ReadFile(session.folder() / "child.err");
        EXPECT_NE(said[0].find("no-such-guardian"), std::string::npos) << said[0];
    }

    Step("both killed: the next start restores from the journal what nobody changed since");
    const pid_t child = startTyping();
    ASSERT_GT(child, 0);
    const auto journal = ReadKeymapJournal(journalPath);
    ASSERT_TRUE(journal);
    RestoreKeyboardFromJournal();
    EXPECT_TRUE(fs::exists(journalPath)) << "a journal of a live Kestrun is not to be touched";
    kill(journal->guardian.pid, SIGKILL);
    ASSERT_TRUE(WaitUntil([&] { return !RunningProcess(journal->guardian.pid); }, 10s));
    RestoreKeyboardFromJournal();
    EXPECT_TRUE(fs::exists(journalPath)) << "nor one of a live Kestrun whose guardian died";
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    waitpid(journal->guardian.pid, nullptr, 0);
    // Meanwhile the user gives one of the borrowed codes a meaning of his own.
    auto expected = before;
    int changed = 0;
    for (const auto rows = KeyRows(); const BorrowedCode& entry : journal->codes)
        if (HoldsBorrowed(rows.at(entry.code), entry.borrowed))
            changed = entry.code;
    ASSERT_NE(changed, 0);
    SetKeySyms(changed, {0xa7, 0xa7});  // section
    expected[changed] = KeyRows().at(changed);
    // A code the server does not have (the file may be damaged) is passed over.
    auto damaged = *journal;
    damaged.codes.push_back({3, {0, 0}, {0xa7, 0xa7}});
    ASSERT_TRUE(WriteKeymapJournal(journalPath, damaged));
    RestoreKeyboardFromJournal();
    EXPECT_EQ(KeyRows(), expected);
    EXPECT_FALSE(fs::exists(journalPath));

    Step("a journal someone else made: only a plain file of the user's is read, only a writer surely gone lets it "
         "act, and then only on codes typing could have borrowed that hold exactly what it put there");
    unsigned char spare = 0;
    for (const auto& [code, row] : expected)
        if (IsNeutralKeyCode(code) && std::all_of(row.begin(), row.end(), IsSpareKeysym))
            spare = code;
    ASSERT_NE(spare, 0);
    const auto letter = expected.at(38);  // a A
    auto q = letter;
    std::replace(q.begin(), q.end(), 0x61ul, 0x71ul), std::replace(q.begin(), q.end(), 0x41ul, 0x51ul);
    const ProcessIdentity self = CurrentProcess(), gone{std::numeric_limits<pid_t>::max(), 1};  // above any pid
    enum Place { File, Link, LinkToZero, Fifo, OthersFile, Oversize };
    const struct { const char* what; Place place; ProcessIdentity writer; bool restores; } cases[] = {
        {"writer ended", File, gone, true}, {"writer's id now another process's", File, {self.pid, self.started + 1}, true},
        {"writer running", File, self, false}, {"a link to a journal", Link, gone, false},
        {"a link to /dev/zero", LinkToZero, gone, false}, {"a FIFO", Fifo, gone, false},
        {"another user's file", OthersFile, gone, false}, {"larger than a journal may be", Oversize, gone, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetKeySyms(spare, {0x3b1, 0x3b1});
        const auto held = KeyRows();
        KeymapJournal planted{c.writer, {}, {{38, q, letter}, {spare, expected.at(spare), held.at(spare)}}};
        if (c.place == Oversize)
            planted.codes.resize(kMostJournalBytes / FormatBorrowedCode(planted.codes[1]).size() + 1, planted.codes[1]);
        const fs::path real = session.folder().Write("planted.journal", FormatKeymapJournal(planted));
        if (c.place == Link || c.place == LinkToZero)
            fs::create_symlink(c.place == Link ? real : "/dev/zero", journalPath);
        else if (c.place == Fifo)
            mkfifo(journalPath.c_str(), 0600);
        else
            fs::rename(real, journalPath);
        if (c.place == OthersFile && chown(journalPath.c_str(), 65534, 65534) != 0) {
            fs::remove(journalPath);  // only root can give a file away
            continue;
        }
        RestoreKeyboardFromJournal();
        EXPECT_EQ(KeyRows().at(38), letter);
        EXPECT_EQ(KeyRows().at(spare), c.restores ? expected.at(spare) : held.at(spare));
        fs::remove(journalPath);
    }
    SetKeySyms(spare, expected.at(spare));
}

}  // namespace
}  // namespace kestrun::test

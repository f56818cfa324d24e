// Typing through the built kestrun into the applications people type into, on X (Xvfb, openbox) in several
// layouts and on sway, and reading back what each received, byte for byte. One row per cell; each
// application starts once and is emptied between its cells.

#include "bench/TypingTexts.h"
#include "platform/x11/keyguard/KeyGuardJournal.h"
#include "tests/receivers/Desktop.h"
#include "tests/receivers/MatrixTexts.h"
#include "tests/receivers/Receivers.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>

#include <X11/XKBlib.h>  // after gtest, whose names it defines as macros

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Cell {
    std::string receiver, layout, text;
};
void PrintTo(const Cell& cell, std::ostream* out) { *out << cell.receiver << " " << cell.layout << " " << cell.text; }

// Within a layout the text of its own script comes first: its count of keymap changes must not see a restore
// left from a mixed text.
const std::vector<Cell> kCells = {
    {"xterm", "us", "plain"}, {"xterm", "us", "mixed"}, {"xterm", "us", "mixed2000"},
    {"xterm", "de", "plain"}, {"xterm", "de", "mixed"},
    {"xterm", "fr", "plain"}, {"xterm", "fr", "mixed"},
    {"xterm", "ru", "ru"}, {"xterm", "ru", "mixed"},
    {"xterm", "gr", "gr"}, {"xterm", "gr", "mixed"},
    {"xterm", "pl", "pl"}, {"xterm", "pl", "mixed"},
    {"xterm", "us+ru", "ru"}, {"xterm", "us+ru", "mixed"},

    {"chromium", "us", "plain"}, {"chromium", "us", "mixed"}, {"chromium", "us", "mixed2000"},
    {"chromium", "de", "plain"}, {"chromium", "de", "mixed"},
    {"chromium", "fr", "plain"}, {"chromium", "fr", "mixed"},
    {"chromium", "ru", "ru"}, {"chromium", "ru", "mixed"},
    {"chromium", "gr", "gr"}, {"chromium", "gr", "mixed"},
    {"chromium", "pl", "pl"}, {"chromium", "pl", "mixed"},
    {"chromium", "us+ru", "ru"}, {"chromium", "us+ru", "mixed"},

    {"mousepad", "us", "plain"}, {"mousepad", "us", "mixed"}, {"mousepad", "us", "mixed2000"},
    {"mousepad", "de", "plain"}, {"mousepad", "de", "mixed"},
    {"mousepad", "fr", "plain"}, {"mousepad", "fr", "mixed"},
    {"mousepad", "ru", "ru"}, {"mousepad", "ru", "mixed"},
    {"mousepad", "gr", "gr"}, {"mousepad", "gr", "mixed"},
    {"mousepad", "pl", "pl"}, {"mousepad", "pl", "mixed"},
    {"mousepad", "us+ru", "ru"}, {"mousepad", "us+ru", "mixed"},

    {"firefox", "us", "plain"}, {"firefox", "us", "mixed"}, {"firefox", "us", "mixed2000"},
    {"firefox", "ru", "ru"}, {"firefox", "gr", "gr"}, {"firefox", "pl", "pl"}, {"firefox", "pl", "mixed"},

    {"writer_x11", "us", "plain"}, {"writer_x11", "us", "mixed"}, {"writer_x11", "us", "mixed2000"},
    {"writer_x11", "de", "plain"}, {"writer_x11", "ru", "ru"},
    {"writer_gtk3", "us", "plain"}, {"writer_gtk3", "us", "mixed"}, {"writer_gtk3", "us", "mixed2000"},
    {"writer_gtk3", "ru", "ru"},
    {"featherpad", "us", "plain"}, {"featherpad", "us", "mixed"}, {"featherpad", "us", "mixed2000"},
    {"featherpad", "ru", "ru"}, {"featherpad", "pl", "pl"},

    {"foot", "us", "plain"}, {"foot", "us", "mixed"}, {"foot", "us", "mixed2000"}, {"foot", "us", "tasks"},
    {"foot", "us/wtype", "mixed"},
    {"chromium_wayland", "us", "plain"}, {"chromium_wayland", "us", "mixed"}, {"chromium_wayland", "us", "mixed2000"},
    {"chromium_wayland", "us", "tasks"},
    {"mousepad_wayland", "us", "plain"}, {"mousepad_wayland", "us", "mixed"}, {"mousepad_wayland", "us", "mixed2000"},
};

// The X server's keymap changes as an X client sees them: XKB map notifications.
class MapChanges {
public:
    MapChanges() : display_(XOpenDisplay(nullptr), XCloseDisplay)
    {
        int opcode = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
        if (display_ && XkbQueryExtension(display_.get(), &opcode, &xkbEvent_, &error, &major, &minor))
            XkbSelectEvents(display_.get(), XkbUseCoreKbd, XkbMapNotifyMask, XkbMapNotifyMask);
        Take();
    }
    int Take()  // the notifications since the last call
    {
        if (!display_)
            return -1;
        XSync(display_.get(), False);
        int count = 0;
        for (XEvent event; XPending(display_.get()) > 0;) {
            XNextEvent(display_.get(), &event);
            count += event.type == xkbEvent_ && reinterpret_cast<XkbEvent*>(&event)->any.xkb_type == XkbMapNotify;
        }
        return count;
    }

private:
    std::unique_ptr<Display, int (*)(Display*)> display_;
    int xkbEvent_ = -1;
};

// One application on its desktop with its Kestrun, kept across the cells of that application.
struct Stage {
    std::string receiver, layout, failure;
    std::unique_ptr<Desktop> desktop;
    std::unique_ptr<KestrunTypist> typist;
    std::unique_ptr<Receiver> application;
    std::unique_ptr<MapChanges> changes;
};

std::string ReceiverName(std::string name)
{
    std::replace(name.begin(), name.end(), '_', '-');
    return name;
}

std::unique_ptr<Stage> MakeStage(const std::string& receiver)
{
    auto stage = std::make_unique<Stage>();
    stage->receiver = receiver;
    stage->application = MakeReceiver(ReceiverName(receiver));
    stage->desktop = OnSway(ReceiverName(receiver)) ? MakeSwayDesktop() : MakeX11Desktop();
    if (!stage->application)
        stage->failure = "no receiver named " + receiver;
    else if (!stage->desktop->failure().empty())
        stage->failure = stage->desktop->failure();
    else if (stage->typist = std::make_unique<KestrunTypist>(*stage->desktop); !stage->typist->ok())
        stage->failure = "kestrun did not come up in the tray";
    else
        stage->failure = stage->application->Start(*stage->desktop);
    if (stage->failure.empty() && !OnSway(ReceiverName(receiver)))
        stage->changes = std::make_unique<MapChanges>();
    return stage;
}

struct Result {
    Cell cell;
    std::string outcome;
    int changes = -1;
    double charsPerSecond = 0;
};

std::string CellName(const Cell& cell)
{
    std::string name = cell.layout + "_" + cell.text;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

bool CountsChanges(const Cell& cell)
{
    const bool ownScript = cell.text == cell.layout || (cell.layout == "us+ru" && cell.text == "ru");
    return ownScript && (cell.receiver == "xterm" || cell.receiver == "chromium" || cell.receiver == "firefox");
}

// The borrowed codes of earlier cells given back, so that a restore does not fall into a count.
void WaitForBorrowedCodesBack()
{
    if (const auto journal = KeymapJournalPath(std::getenv("DISPLAY") ? std::getenv("DISPLAY") : ""))
        WaitUntil([&] { return !fs::exists(*journal); }, 30s);
}

class ReceiverMatrix : public ::testing::TestWithParam<Cell> {
protected:
    static void TearDownTestSuite()
    {
        std::printf("\n%-18s %-9s %-10s %8s %9s  %s\n", "receiver", "layout", "text", "mapnotes", "chars/s", "what arrived");
        for (const Result& r : results)
            std::printf("%-18s %-9s %-10s %8s %9s  %s\n", ReceiverName(r.cell.receiver).c_str(), r.cell.layout.c_str(),
                        r.cell.text.c_str(), r.changes < 0 ? "-" : std::to_string(r.changes).c_str(),
                        r.charsPerSecond > 0 ? std::to_string(static_cast<long>(r.charsPerSecond)).c_str() : "-",
                        r.outcome.c_str());
        std::fflush(stdout);
        results.clear();
        stage.reset();
    }

    static inline std::unique_ptr<Stage> stage;
    static inline std::vector<Result> results;
};

TEST_P(ReceiverMatrix, TypesExactly)
{
    const Cell& cell = GetParam();
    if (!stage || stage->receiver != cell.receiver) {
        stage.reset();
        Step(("starting " + cell.receiver).c_str());
        stage = MakeStage(cell.receiver);
    }
    if (OnSway(ReceiverName(cell.receiver)) && !stage->desktop->failure().empty())
        GTEST_SKIP() << "No Wayland compositor here: " << stage->desktop->failure();
    ASSERT_TRUE(stage->failure.empty()) << stage->failure;
    const bool counted = CountsChanges(cell);
    if (stage->layout != cell.layout || counted)
        WaitForBorrowedCodesBack();
    if (stage->layout != cell.layout) {
        ASSERT_TRUE(stage->desktop->SetLayout(cell.layout)) << "cannot switch to the layout " << cell.layout;
        stage->layout = cell.layout;
    }
    Step((cell.receiver + " " + cell.layout + " " + cell.text).c_str());
    // An application an earlier cell broke (a page navigated away, say) starts again, so that cells stand alone.
    if (!stage->application->Prepare(*stage->desktop, *stage->typist)) {
        Step(("starting " + cell.receiver + " again").c_str());
        stage.reset();  // a session leaving unsets the environment that names it
        stage = MakeStage(cell.receiver);
        ASSERT_TRUE(stage->failure.empty()) << stage->failure;
        ASSERT_TRUE(stage->desktop->SetLayout(cell.layout)) << "cannot switch to the layout " << cell.layout;
        stage->layout = cell.layout;
        ASSERT_TRUE(stage->application->Prepare(*stage->desktop, *stage->typist)) << "cannot empty or focus it";
    }
    if (stage->changes)
        stage->changes->Take();

    const MatrixText& text = TextNamed(cell.text);
    stage->application->Begin();
    const bool sent = stage->typist->Run(text.name);
    const Arrival arrival = stage->application->Read(*stage->typist, text.expected);
    const int changes = counted && stage->changes ? stage->changes->Take() : -1;

    const Difference difference = Compare(text.expected, arrival.text);
    // KESTRUN_MATRIX_KEEP=<folder> keeps what each inexact cell received, to look at it whole.
    if (const char* keep = std::getenv("KESTRUN_MATRIX_KEEP"); keep && !difference.exact) {
        std::ofstream(fs::path(keep) / (cell.receiver + "-" + CellName(cell) + ".txt"), std::ios::binary) << arrival.text;
    }
    const double seconds = std::chrono::duration<double>(arrival.last - arrival.first).count();
    // Only a long text takes long enough to time.
    const std::size_t received = bench::Decode(arrival.text).size();
    Result result{cell, difference.Describe(text.expected, arrival.text), changes,
                  received >= 1000 && seconds > 0 ? received / seconds : 0};
    std::vector<std::string> faults;
    if (!sent)
        faults.push_back("kestrun did not finish the run");
    if (!difference.exact)
        faults.push_back(result.outcome);
    if (changes > 0)
        faults.push_back(std::to_string(changes) + " XKB map notification(s) for a text of the layout's own script");
    results.push_back(result);
    std::string all;
    for (const std::string& fault : faults)
        all += fault + "\n";
    EXPECT_TRUE(faults.empty()) << all;
}

std::vector<Cell> CellsOf(const std::string& receiver)
{
    std::vector<Cell> cells;
    std::copy_if(kCells.begin(), kCells.end(), std::back_inserter(cells), [&](const Cell& c) { return c.receiver == receiver; });
    return cells;
}

std::string TestName(const ::testing::TestParamInfo<Cell>& info) { return CellName(info.param); }

#define RECEIVER(name) INSTANTIATE_TEST_SUITE_P(name, ReceiverMatrix, ::testing::ValuesIn(CellsOf(#name)), TestName)
RECEIVER(xterm);
RECEIVER(chromium);
RECEIVER(mousepad);
RECEIVER(firefox);
RECEIVER(writer_x11);
RECEIVER(writer_gtk3);
RECEIVER(featherpad);
RECEIVER(foot);
RECEIVER(chromium_wayland);
RECEIVER(mousepad_wayland);

}  // namespace
}  // namespace kestrun::test

// The built kestrun on a private X server with openbox and an XEmbed tray,
// driven like a user with xdotool, from its icon to its end.

#include "tests/support/TestDocuments.h"
#include "tests/support/X11Queries.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <regex>
#include <sstream>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kEditorCaption = "^Kestrun$";

// The numbers a program prints after each label: "= 1, 2" after " = ", "3" after "Width:".
std::vector<int> NumbersAfter(const std::vector<std::string>& argv, const std::vector<std::string>& labels)
{
    const std::string text = RunProgram(argv).out;
    std::vector<int> values;
    for (const std::string& label : labels)
        if (const auto at = text.find(label); at != std::string::npos) {
            for (std::istringstream in(text.substr(at + label.size())); in >> values.emplace_back(); in.ignore(1)) {
            }
            values.pop_back();  // where reading stopped
        }
    return values;
}

// A position stored on quitting, in twips; -1 when none is.
long Stored(const fs::path& settings, const std::string& name)
{
    const std::string text = ReadFile(settings), key = "\"frmMain " + name + "\"=dword:";
    const auto at = text.find(key);
    return at == std::string::npos ? -1L : std::strtol(text.c_str() + at + key.size(), nullptr, 16);
}

// Clicks a control given in twips of the window's client area (above it: the menu bar), halfway
// down, in its middle or `dx` pixels from its left edge; the scale is the window's size on screen.
void ClickTwips(const std::string& window, std::pair<int, int> client, int left, int top, int width, int height,
                int dx = -1)
{
    const Geometry geometry = WindowGeometry(window);
    const double perPixel = static_cast<double>(client.first) / geometry.width;
    const auto pixels = [&](int twips) { return static_cast<int>(std::lround(twips / perPixel)); };
    const int x = dx < 0 ? pixels(left + width / 2) : pixels(left) + dx;
    const int y = geometry.height - pixels(client.second) + pixels(top + height / 2);
    Xdo({"mousemove", "--window", window, std::to_string(x), std::to_string(y), "click", "1"});
}

void Keys(std::vector<std::string> keys)
{
    keys.insert(keys.begin(), {"key", "--delay", "60"});
    Xdo(keys);
}

// In the open task editor: the type's option (0 Open File, 1 Wait, 2 Keystrokes),
// its field, the text, then Enter for OK.
::testing::AssertionResult FillTask(int kind, const std::string& text)
{
    const std::string editor = WindowsNamed(kEditorCaption).front();
    // Option buttons react to their indicator and caption: click near the left.
    ClickTwips(editor, {4695, 2415}, 120 + (kind == 0 ? 480 : kind == 1 ? 1800 : 2880), 360, 975, 255, 6);
    ClickTwips(editor, {4695, 2415}, 240, 960, kind == 1 ? 1575 : 4215, 285);
    Xdo({"type", "--delay", "30", text});
    Keys({"Return"});
    return WaitUntil([] { return WindowsNamed(kEditorCaption).empty() && Active(kMainCaption); })
               ? ::testing::AssertionSuccess()
               : ::testing::AssertionFailure() << "the task editor did not close on Enter (" << text << ")";
}

// A window shown for the first time is centred in the work area by its outer size, frame and menu
// bar included; its outer left and top edges.
void ExpectCentredByOuterSize(const std::string& window, int& outerLeft, int& outerTop)
{
    std::vector<int> frame;  // left, right, top, bottom
    ASSERT_TRUE(WaitUntil([&] { return (frame = NumbersAfter({"xprop", "-id", window, "_NET_FRAME_EXTENTS"}, {" = "})).size() == 4; }))
        << "the window manager gave the window no frame";
    const std::vector<int> work = NumbersAfter({"xprop", "-root", "_NET_WORKAREA"}, {" = "});
    ASSERT_GE(work.size(), 4u);
    const auto inner =
        NumbersAfter({"xwininfo", "-id", window}, {"Absolute upper-left X:", "Absolute upper-left Y:", "Width:", "Height:"});
    ASSERT_EQ(inner.size(), 4u);
    outerLeft = inner[0] - frame[0], outerTop = inner[1] - frame[2];
    // A pixel either way for the rounding to twips and back.
    EXPECT_NEAR(outerLeft, (work[2] - inner[2] - frame[0] - frame[1]) / 2.0, 1.0);
    EXPECT_NEAR(outerTop, (work[3] - inner[3] - frame[2] - frame[3]) / 2.0, 1.0);
}

// Whether a menu of kestrun's is open beside its icon.
bool MenuOpen() { return KestrunWindows().size() >= 2; }

// One X session with a tray and one kestrun for the suite, used like a user would, case after case:
// each case goes on from where the one before left the windows.
class DesktopEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        session_ = new XSession({.tray = true});
        if (!session_->ok())
            return;
        recorder_ = session_->RecorderScript(session_->folder() / "typed.txt");
        // Typing that takes seconds, for a signal to come meanwhile; then a task that shows whether the run went on.
        for (int k = 0; k < 1000; ++k)
            text_ += "абвгдежзийклмнопрстуфхцчшщъыьэюя αβγδεζηθικλμνξοπρστυφχψω ";
        kestrun_ = session_->InstallKestrun(TemplateDocument(Program(
            "Long", {{"Open File", session_->RecorderScript(session_->folder() / "long.txt")}, {"Keystrokes", text_},
                     {"Wait", "600"}, {"Open File", session_->RecorderScript(session_->folder() / "after.txt")}})));
        app_ = StartProcess({kestrun_});
    }
    static void TearDownTestSuite()
    {
        StopProcess(app_), app_ = -1;
        delete session_, session_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(session.ok()) << session.failure; }

    static inline XSession* session_ = nullptr;
    static inline fs::path kestrun_;
    static inline std::string recorder_, text_, icon_, main_, editor_;
    static inline pid_t app_ = -1;
    static inline int outerLeft_ = 0, outerTop_ = 0;  // of the main window's first showing
    XSession& session = *session_;
    const fs::path& kestrun = kestrun_;
    const std::string& recorder = recorder_;
    const std::string& text = text_;
    const fs::path typed = session.folder() / "typed.txt", typedLong = session.folder() / "long.txt";
    const fs::path settings = session.folder() / "config" / "Quillon Works" / "Kestrun.reg";
};

// Hidden: only the icon, embedded in the tray.
TEST_F(DesktopEndToEnd, HiddenAtFirstOnlyTheIconEmbeddedInTheTray)
{
    icon_ = WaitForTrayIcon();
    ASSERT_FALSE(icon_.empty()) << "no tray icon appeared";
}

// The first showing is centred by the outer size, frame and menu bar included.
TEST_F(DesktopEndToEnd, TheFirstShowingIsCentredByTheOuterSize)
{
    ASSERT_FALSE(icon_.empty()) << "no tray icon to open the window from";
    ClickCentre(icon_, 1, 2);
    ASSERT_TRUE(WaitUntil([] { return Active(kMainCaption); })) << "the double click did not open the window in front";
    main_ = WindowsNamed(kMainCaption).front();
    ExpectCentredByOuterSize(main_, outerLeft_, outerTop_);
}

// Esc over the open program list closes only the list.
TEST_F(DesktopEndToEnd, EscOverTheOpenProgramListClosesOnlyTheList)
{
    ASSERT_TRUE(Active(kMainCaption)) << "the main window is not in front";
    const auto windowsOfKestrun = [](std::size_t count) {
        return WaitUntil([count] { return KestrunWindows().size() == count; }, 10s);
    };
    // From "Launch It !" back to the selector, and its list open: icon, window, list.
    Keys({"shift+Tab", "shift+Tab", "shift+Tab", "shift+Tab", "F4"});
    ASSERT_TRUE(windowsOfKestrun(3)) << "the program list did not open";
    Keys({"Escape"});
    ASSERT_TRUE(windowsOfKestrun(2)) << "the program list did not close";
    EXPECT_TRUE(MainWindowMapped()) << "Esc over the open list hid the window";
}

// Programs "New..." (next in the tab order), a name, then Space opens the task editor.
TEST_F(DesktopEndToEnd, ProgramsNewThenANameThenSpaceOpensTheTaskEditor)
{
    ASSERT_TRUE(Active(kMainCaption)) << "the main window is not in front";
    Keys({"Tab", "space"});
    ASSERT_TRUE(WaitUntil([] { return Active("^New Program$"); })) << "no input box for the program's name";
    Xdo({"type", "--delay", "30", "Record"});
    Keys({"Return"});
    ASSERT_TRUE(WaitUntil([] { return WindowsNamed("^New Program$").empty() && Active(kMainCaption); }));
    Keys({"space"});
    ASSERT_TRUE(WaitUntil([] { return Active(kEditorCaption); })) << "Space did not open the task editor";
    editor_ = WindowsNamed(kEditorCaption).front();
    const std::string& editor = editor_;
    {
        SCOPED_TRACE("the task editor's first showing, nothing stored");
        int left = 0, top = 0;
        ExpectCentredByOuterSize(editor, left, top);
    }
}

// OK with an empty path is refused; after the message Enter is the editor's OK again.
TEST_F(DesktopEndToEnd, OkWithAnEmptyPathIsRefusedAndThenEnterIsTheEditorsOkAgain)
{
    ASSERT_TRUE(Active(kEditorCaption)) << "the task editor is not in front";
    const std::string& editor = editor_;
    const auto refusalShown = [] { return WindowsNamed(kEditorCaption).size() == 2; };
    for (int refusal = 0; refusal < 2; ++refusal) {
        Keys({"Return"});
        ASSERT_TRUE(WaitUntil(refusalShown)) << "no refusal " << refusal;
        WaitUntil([&] { return ActiveWindow() != editor; }, 5s);
        Keys({"Return"});
        ASSERT_TRUE(WaitUntil([&] { return !refusalShown() && ActiveWindow() == editor; }))
            << "the editor did not get the keyboard back";
    }
}

// Three tasks, the later two from Tasks "New...".
TEST_F(DesktopEndToEnd, ThreeTasksTheLaterTwoFromTasksNew)
{
    ASSERT_TRUE(Active(kEditorCaption)) << "the task editor is not in front";
    const std::string& main = main_;
    ASSERT_TRUE(FillTask(0, recorder));
    for (const auto& [kind, text] : {std::pair{1, "4"}, {2, "From +editor {+}1~"}}) {
        ClickTwips(main, {6615, 6345}, 360, 4920, 1095, 375);
        ASSERT_TRUE(WaitUntil([] { return Active(kEditorCaption); })) << "the task editor did not open in front";
        ASSERT_TRUE(FillTask(kind, text));
    }
}

// Enter is "Launch It !": the window goes, the document is saved, the tasks run in the program started.
TEST_F(DesktopEndToEnd, EnterLaunchesItTheWindowGoesTheDocumentIsSavedTheTasksRun)
{
    ASSERT_TRUE(Active(kMainCaption)) << "the main window is not in front";
    Keys({"Return"});
    EXPECT_EQ(WaitForOutput(typed, 15), "From Editor +1\n");
    EXPECT_FALSE(MainWindowMapped());
    const std::string saved = std::regex_replace(ReadFile(kestrun.parent_path() / "Kestrun.xml"), std::regex(">\\s+<"), "><");
    EXPECT_NE(saved.find(Program("Record", {{"Open File", recorder}, {"Wait", "4"}, {"Keystrokes", "From +editor {+}1~"}})),
              std::string::npos)
        << saved;
    const auto recorders = Lines(ReadFile(session.folder() / "recorders"));
    ASSERT_EQ(recorders.size(), 1u);
    EXPECT_TRUE(WaitUntil([&] { return IsActive(std::stoi(recorders.front())); }, 10s));
}

// An XEmbed tray shows the icon every button: only the double click opens, the menu comes on release.
TEST_F(DesktopEndToEnd, OnlyTheDoubleClickOpensAndTheMenuComesOnRelease)
{
    ASSERT_FALSE(icon_.empty()) << "no tray icon";
    ASSERT_FALSE(MainWindowMapped()) << "the main window shows";
    const std::string& icon = icon_;
    ClickCentre(icon);
    EXPECT_FALSE(WaitUntil(MainWindowMapped, 2s)) << "a single click opened the window";
    Xdo({"mousedown", "3"});
    EXPECT_FALSE(WaitUntil(MenuOpen, 2s)) << "the menu opened on the press";
    Xdo({"mouseup", "3"});
    EXPECT_TRUE(WaitUntil(MenuOpen, 10s)) << "no menu on the release";
    Xdo({"key", "Escape"});
    EXPECT_TRUE(WaitUntil([] { return KestrunWindows().size() == 1; }, 10s)) << "the menu stayed or the window showed";
}

// "Quit Kestrun", the menu's last entry, stores the outer position and leaves only the settings file.
TEST_F(DesktopEndToEnd, QuitKestrunStoresTheOuterPositionAndLeavesOnlyTheSettingsFile)
{
    ASSERT_FALSE(icon_.empty()) << "no tray icon";
    const std::string& icon = icon_;
    const int outerLeft = outerLeft_, outerTop = outerTop_;
    // A key pressed before the menu holds the keyboard is lost: try again then.
    int status = -1;
    bool ended = false;
    for (int attempt = 0; attempt < 4 && !ended; ++attempt) {
        ClickCentre(icon, 3);
        if (!WaitUntil(MenuOpen, 8s))
            continue;
        std::this_thread::sleep_for(300ms);
        Xdo({"key", "Up", "Return"});
        ended = WaitUntil([&] { return Ended(app_, status); }, 20s);
    }
    ASSERT_TRUE(ended) << "kestrun did not quit from its tray menu";
    app_ = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit status " << status;
    EXPECT_NEAR(Stored(settings, "Left") / 15.0, outerLeft, 0.5) << ReadFile(settings);
    EXPECT_NEAR(Stored(settings, "Top") / 15.0, outerTop, 0.5) << ReadFile(settings);
    EXPECT_EQ(std::distance(fs::directory_iterator(settings.parent_path()), fs::directory_iterator()), 1)
        << "beside the settings file: a lock file or a temporary";
}

// SIGTERM while typing: the run stopped, an ordinary quit, the keyboard as it was.
TEST_F(DesktopEndToEnd, SigtermWhileTypingStopsTheRunAndQuitsWithTheKeyboardAsItWas)
{
    StopProcess(app_), app_ = -1;  // only when an earlier case could not quit it
    int status = -1;
    fs::remove(settings);
    const auto keymapBefore = KeyRows();
    Started running{StartProcess({kestrun, "--run", "Long"})};
    ASSERT_TRUE(WaitUntil([&] { return !ReadFile(typedLong).empty() && KeyRows() != keymapBefore; }, 60s))
        << "typing did not start";
    kill(running.pid, SIGTERM);
    ASSERT_TRUE(WaitUntil([&] { return Ended(running.pid, status); }, 20s)) << "kestrun did not quit";
    running.pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit status " << status;
    // Kestrun ended at once; its guardian releases the keys and gives the codes back.
    EXPECT_TRUE(WaitUntil([&] { return KeysDown().empty() && KeyRows() == keymapBefore; }, 2s))
        << "the keyboard was not restored: " << KeysDown();
    EXPECT_LT(ReadFile(typedLong).size(), text.size()) << "typing did not stop";
    EXPECT_FALSE(WaitUntil([&] { return Lines(ReadFile(session.folder() / "recorders")).size() > 2; }, 2s))
        << "the run went on after the signal";
    EXPECT_GE(Stored(settings, "Left"), 0) << "quitting stored no position";
}

}  // namespace
}  // namespace kestrun::test

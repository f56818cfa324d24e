// The built kestrun on a private X server, driven like a user with xdotool:
// a program and its three tasks made through the main window and the task
// editor, then launched, and what the started program received checked.

#include "tests/support/XSession.h"
#include "tests/support/KestrunDesktop.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kEditorCaption = "^Kestrun$";

/// A window whose client area the design gives in twips: points in it are
/// computed from its size on the screen, so no scale is assumed.
class TwipWindow {
public:
    TwipWindow(std::string window, int clientWidthTwips, int clientHeightTwips)
        : window_(std::move(window))
    {
        const Geometry geometry = WindowGeometry(window_);
        twipsPerPixel_ = static_cast<double>(clientWidthTwips) / geometry.width;
        // Whatever is above the client area: the main window's menu bar.
        top_ = geometry.height - static_cast<int>(std::lround(clientHeightTwips / twipsPerPixel_));
    }

    /// Clicks at a point `dx` pixels from the left edge of a control, halfway down.
    void Click(int left, int top, int width, int height, int dx = -1) const
    {
        const int x = dx < 0 ? Pixels(left + width / 2) : Pixels(left) + dx;
        const int y = top_ + Pixels(top + height / 2);
        Output({"xdotool", "mousemove", "--window", window_, std::to_string(x), std::to_string(y), "click", "1"});
    }

private:
    int Pixels(int twips) const { return static_cast<int>(std::lround(twips / twipsPerPixel_)); }

    std::string window_;
    double twipsPerPixel_ = 15;
    int top_ = 0;
};

bool Active(const std::string& pattern)
{
    const auto found = VisibleWindowsNamed(pattern);
    return found.size() == 1 && ActiveWindow() == found.front();
}

void Type(const std::string& text) { Output({"xdotool", "type", "--delay", "30", text}); }

// The document without the indentation between its elements.
std::string WithoutIndentation(const std::string& xml)
{
    std::string flat;
    for (std::size_t i = 0; i < xml.size(); ++i) {
        flat += xml[i];
        if (xml[i] != '>')
            continue;
        std::size_t next = i + 1;
        while (next < xml.size() && std::isspace(static_cast<unsigned char>(xml[next])))
            ++next;
        if (next < xml.size() && xml[next] == '<')
            i = next - 1;
    }
    return flat;
}

enum class Kind { File, Wait, Keystrokes };

// Tasks "New...", the type's option, its field, the text, then Enter for OK.
::testing::AssertionResult AddTask(const TwipWindow& main, Kind kind, const std::string& text)
{
    main.Click(120 + 240, 1800 + 3120, 1095, 375);
    if (!WaitUntil([] { return Active(kEditorCaption); }))
        return ::testing::AssertionFailure() << "the task editor did not open in front";
    const TwipWindow editor(VisibleWindowsNamed(kEditorCaption).front(), 4695, 2415);
    // Option buttons react to their indicator and caption: click near the left.
    const int optionLeft = kind == Kind::File ? 480 : kind == Kind::Wait ? 1800 : 2880;
    editor.Click(120 + optionLeft, 120 + 240, 975, 255, 6);
    editor.Click(120 + 120, 720 + 240, kind == Kind::Wait ? 1575 : 4215, 285);
    Type(text);
    Output({"xdotool", "key", "Return"});
    if (!WaitUntil([] { return VisibleWindowsNamed(kEditorCaption).empty() && Active(kMainCaption); }))
        return ::testing::AssertionFailure() << "the task editor did not close on Enter (" << text << ")";
    return ::testing::AssertionSuccess();
}

TEST(EditorEndToEnd, AProgramMadeThroughTheWindowRunsAsTyped)
{
    Step("starting the X session");
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    Started trayer{StartTray()};
    ASSERT_GT(trayer.pid, 0) << "no tray (is the trayer package installed?)";

    const fs::path typed = session.folder() / "typed.txt";
    const fs::path recorderPid = session.folder() / "recorder.pid";
    const fs::path recorder = WriteRecorder(session.folder(), typed, recorderPid);
    const fs::path app = session.folder() / "app";
    Started kestrun{StartKestrun(
        app, TemplateDocument())};
    ASSERT_GT(kestrun.pid, 0);
    const std::string icon = WaitForTrayIcon();
    ASSERT_FALSE(icon.empty()) << "no tray icon appeared";
    const std::string mainWindow = OpenMainWindowFromIcon(icon);
    ASSERT_FALSE(mainWindow.empty()) << "the main window did not open in front";
    const TwipWindow main(mainWindow, 6615, 6345);
    Step("main window open");

    // Programs "New...": the name in the input box.
    main.Click(120 + 240, 120 + 840, 1095, 375);
    ASSERT_TRUE(WaitUntil([] { return Active("^New Program$"); })) << "no input box for the program's name";
    Type("Record");
    Output({"xdotool", "key", "Return"});
    ASSERT_TRUE(WaitUntil([] { return VisibleWindowsNamed("^New Program$").empty() && Active(kMainCaption); }));
    Step("program made");

    ASSERT_TRUE(AddTask(main, Kind::File, recorder.string()));
    ASSERT_TRUE(AddTask(main, Kind::Wait, "4"));
    ASSERT_TRUE(AddTask(main, Kind::Keystrokes, "From +editor {+}1~"));
    Step("three tasks made");

    // "Launch It !": the window goes, the document is saved, the tasks run.
    main.Click(4560, 360, 1575, 975);
    const std::string expected = "From Editor +1\n";
    EXPECT_TRUE(WaitUntil([&] { return ReadFile(typed).size() >= expected.size(); }, 60s))
        << "typed so far: " << ReadFile(typed);
    Started recorderProcess;
    if (WaitUntil([&] { return !ReadFile(recorderPid).empty(); }, 5s))
        recorderProcess.pid = std::atoi(ReadFile(recorderPid).c_str());
    // Nothing more may follow: give a stray key the time to arrive.
    WaitUntil([&] { return ReadFile(typed).size() > expected.size(); }, 500ms);
    EXPECT_EQ(ReadFile(typed), expected);
    EXPECT_FALSE(MainWindowMapped());
    Step("program launched and typed into");

    const std::string saved = WithoutIndentation(ReadFile(app / "Kestrun.xml"));
    const std::string tasks[] = {
        "<name>Record</name>",
        "<type>Open File</type><value>" + recorder.string() + "</value><enabled>True</enabled>",
        "<type>Wait</type><value>4</value><enabled>True</enabled>",
        "<type>Keystrokes</type><value>From +editor {+}1~</value><enabled>True</enabled>",
    };
    std::size_t from = 0;
    for (const std::string& part : tasks) {
        const std::size_t at = saved.find(part, from);
        EXPECT_NE(at, std::string::npos) << part << " missing in order from the saved document:\n" << saved;
        if (at != std::string::npos)
            from = at;
    }
}

// The keyboard through the windows as a user drives them with keys only:
// Esc over the open program list, Space after a new program, Enter after the
// editor's refusal.
TEST(EditorEndToEnd, TheKeyboardStaysWhereTheUserIsWorking)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    Started trayer{StartTray()};
    ASSERT_GT(trayer.pid, 0) << "no tray (is the trayer package installed?)";
    Started kestrun{StartKestrun(
        session.folder() / "app",
        TemplateDocument("<program><name>Idle</name><tasks/></program>"))};
    ASSERT_GT(kestrun.pid, 0);
    const std::string icon = WaitForTrayIcon();
    ASSERT_FALSE(icon.empty()) << "no tray icon appeared";
    ASSERT_FALSE(OpenMainWindowFromIcon(icon).empty()) << "the main window did not open in front";
    // Keys one after the other: "shift+Tab F4".
    const auto key = [](const std::string& keys) {
        std::vector<std::string> argv = {"xdotool", "key", "--delay", "60"};
        std::istringstream names(keys);
        for (std::string name; names >> name;)
            argv.push_back(name);
        Output(argv);
    };
    const auto windowsOfKestrun = [](std::size_t count) {
        return WaitUntil([count] { return VisibleKestrunWindows().size() == count; }, 10s);
    };

    // From "Launch It !" back to the selector, and its list open: icon, window, list.
    key("shift+Tab shift+Tab shift+Tab shift+Tab F4");
    windowsOfKestrun(3);
    ASSERT_TRUE(windowsOfKestrun(3)) << "the program list did not open";
    key("Escape");
    ASSERT_TRUE(windowsOfKestrun(2)) << "the program list did not close";
    EXPECT_TRUE(MainWindowMapped()) << "Esc over the open list hid the window";

    // Programs "New..." (next in the tab order), a name, then Space.
    key("Tab space");
    ASSERT_TRUE(WaitUntil([] { return Active("^New Program$"); })) << "no input box for the program's name";
    Type("Mail");
    key("Return");
    ASSERT_TRUE(WaitUntil([] { return VisibleWindowsNamed("^New Program$").empty() && Active(kMainCaption); }));
    key("space");
    ASSERT_TRUE(WaitUntil([] { return Active(kEditorCaption); })) << "Space did not open the task editor";
    EXPECT_TRUE(MainWindowMapped());
    const std::string editor = VisibleWindowsNamed(kEditorCaption).front();

    // OK with an empty path is refused; after the message the editor has the
    // keyboard, so Enter is its OK again.
    const auto refusalShown = [] { return VisibleWindowsNamed(kEditorCaption).size() == 2; };
    for (int refusal = 0; refusal < 2; ++refusal) {
        key("Return");
        ASSERT_TRUE(WaitUntil(refusalShown)) << "no refusal " << refusal;
        WaitUntil([&] { return ActiveWindow() != editor; }, 5s);
        key("Return");
        ASSERT_TRUE(WaitUntil([&] { return !refusalShown() && ActiveWindow() == editor; }))
            << "the editor did not get the keyboard back";
    }
    EXPECT_TRUE(MainWindowMapped()) << "a program was launched";
}

}  // namespace
}  // namespace kestrun::test

// The built kestrun on a private X server, driven like a user with xdotool:
// a program and its three tasks made through the main window and the task
// editor, by keyboard and by mouse, then launched, and what the started
// program received checked.

#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <sstream>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kEditorCaption = "^Kestrun$";

/// A window whose client area the design gives in twips: points in it are
/// computed from its size on the screen, so no scale is assumed.
class TwipWindow {
public:
    TwipWindow(std::string window, int clientWidthTwips, int clientHeightTwips) : window_(std::move(window))
    {
        const Geometry geometry = WindowGeometry(window_);
        twipsPerPixel_ = static_cast<double>(clientWidthTwips) / geometry.width;
        // Whatever is above the client area: the main window's menu bar.
        top_ = geometry.height - Pixels(clientHeightTwips);
    }

    /// Clicks a control halfway down, in its middle or `dx` pixels from its left edge.
    void Click(int left, int top, int width, int height, int dx = -1) const
    {
        const int x = dx < 0 ? Pixels(left + width / 2) : Pixels(left) + dx;
        Xdo({"mousemove", "--window", window_, std::to_string(x), std::to_string(top_ + Pixels(top + height / 2)),
             "click", "1"});
    }

private:
    int Pixels(int twips) const { return static_cast<int>(std::lround(twips / twipsPerPixel_)); }

    std::string window_;
    double twipsPerPixel_ = 15;
    int top_ = 0;
};

// Keys one after the other: "shift+Tab F4".
void Keys(const std::string& keys)
{
    std::vector<std::string> arguments = {"key", "--delay", "60"};
    std::istringstream names(keys);
    for (std::string name; names >> name;)
        arguments.push_back(name);
    Xdo(arguments);
}

void Type(const std::string& text) { Xdo({"type", "--delay", "30", text}); }

enum class Kind { File, Wait, Keystrokes };

// In the open task editor: the type's option, its field, the text, then Enter for OK.
::testing::AssertionResult FillTask(Kind kind, const std::string& text)
{
    const TwipWindow editor(WindowsNamed(kEditorCaption).front(), 4695, 2415);
    // Option buttons react to their indicator and caption: click near the left.
    const int optionLeft = kind == Kind::File ? 480 : kind == Kind::Wait ? 1800 : 2880;
    editor.Click(120 + optionLeft, 120 + 240, 975, 255, 6);
    editor.Click(120 + 120, 720 + 240, kind == Kind::Wait ? 1575 : 4215, 285);
    Type(text);
    Keys("Return");
    if (!WaitUntil([] { return WindowsNamed(kEditorCaption).empty() && Active(kMainCaption); }))
        return ::testing::AssertionFailure() << "the task editor did not close on Enter (" << text << ")";
    return ::testing::AssertionSuccess();
}

TEST(EditorEndToEnd, AProgramMadeWithKeysAndMouseRunsAsTyped)
{
    XSession session({.tray = true});
    ASSERT_TRUE(session.ok()) << session.failure;
    const fs::path typed = session.folder() / "typed.txt";
    const fs::path recorder = session.RecorderScript(typed);
    const fs::path kestrun = session.InstallKestrun(TemplateDocument(Program("Idle", {})));
    Started app{StartProcess({kestrun})};
    const std::string icon = XSession::WaitForTrayIcon();
    ASSERT_FALSE(icon.empty()) << "no tray icon appeared";
    const std::string mainWindow = XSession::OpenMainWindowFromIcon(icon);
    ASSERT_FALSE(mainWindow.empty()) << "the main window did not open in front";
    const TwipWindow main(mainWindow, 6615, 6345);

    Step("Esc over the open program list closes only the list");
    const auto windowsOfKestrun = [](std::size_t count) {
        return WaitUntil([count] { return KestrunWindows().size() == count; }, 10s);
    };
    // From "Launch It !" back to the selector, and its list open: icon, window, list.
    Keys("shift+Tab shift+Tab shift+Tab shift+Tab F4");
    ASSERT_TRUE(windowsOfKestrun(3)) << "the program list did not open";
    Keys("Escape");
    ASSERT_TRUE(windowsOfKestrun(2)) << "the program list did not close";
    EXPECT_TRUE(MainWindowMapped()) << "Esc over the open list hid the window";

    Step("Programs \"New...\" (next in the tab order), a name, then Space opens the task editor");
    Keys("Tab space");
    ASSERT_TRUE(WaitUntil([] { return Active("^New Program$"); })) << "no input box for the program's name";
    Type("Record");
    Keys("Return");
    ASSERT_TRUE(WaitUntil([] { return WindowsNamed("^New Program$").empty() && Active(kMainCaption); }));
    Keys("space");
    ASSERT_TRUE(WaitUntil([] { return Active(kEditorCaption); })) << "Space did not open the task editor";
    const std::string editor = WindowsNamed(kEditorCaption).front();

    Step("OK with an empty path is refused; after the message Enter is the editor's OK again");
    const auto refusalShown = [] { return WindowsNamed(kEditorCaption).size() == 2; };
    for (int refusal = 0; refusal < 2; ++refusal) {
        Keys("Return");
        ASSERT_TRUE(WaitUntil(refusalShown)) << "no refusal " << refusal;
        WaitUntil([&] { return ActiveWindow() != editor; }, 5s);
        Keys("Return");
        ASSERT_TRUE(WaitUntil([&] { return !refusalShown() && ActiveWindow() == editor; }))
            << "the editor did not get the keyboard back";
    }

    Step("three tasks, the later two from Tasks \"New...\"");
    ASSERT_TRUE(FillTask(Kind::File, recorder.string()));
    const std::pair<Kind, std::string> later[] = {{Kind::Wait, "4"}, {Kind::Keystrokes, "From +editor {+}1~"}};
    for (const auto& [kind, text] : later) {
        main.Click(120 + 240, 1800 + 3120, 1095, 375);
        ASSERT_TRUE(WaitUntil([] { return Active(kEditorCaption); })) << "the task editor did not open in front";
        ASSERT_TRUE(FillTask(kind, text));
    }

    Step("\"Launch It !\": the window goes, the document is saved, the tasks run");
    main.Click(4560, 360, 1575, 975);
    EXPECT_EQ(WaitForOutput(typed, 15), "From Editor +1\n");
    EXPECT_FALSE(MainWindowMapped());
    // Without the indentation between its elements.
    const std::string saved = std::regex_replace(ReadFile(kestrun.parent_path() / "Kestrun.xml"), std::regex(">\\s+<"), "><");
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
        from = at == std::string::npos ? from : at;
    }
}

}  // namespace
}  // namespace kestrun::test

// The built kestrun on a private X server, sent SIGTERM while it types: the
// typing stops with the keyboard as it was, the run stops, and Kestrun quits
// the ordinary way.

#include "tests/support/KestrunDesktop.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(TerminationEndToEnd, SigtermWhileTypingRestoresTheKeyboardAndQuits)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    Started trayer{StartTray()};
    ASSERT_GT(trayer.pid, 0) << "no tray (is the trayer package installed?)";
    const auto keymapBefore = XSession::CoreKeymap();

    const fs::path typed = session.folder() / "typed.txt";
    const fs::path recorder = WriteRecorder(session.folder(), typed, session.folder() / "recorder.pid");
    // Enough characters outside the layout for the typing to take seconds
    // even at full speed, so that the signal comes while it types. The long
    // wait after it shows whether the run went on.
    std::string text;
    for (int k = 0; k < 1000; ++k)
        text += "абвгдежзийклмнопрстуфхцчшщъыьэюя αβγδεζηθικλμνξοπρστυφχψω ";
    Started kestrun{StartKestrun(
        session.folder() / "app",
        TemplateDocument(
        "<program><name>Record</name><tasks>"
        "<task index=\"1\"><type>Open File</type><value>" + recorder.string() + "</value><enabled>True</enabled></task>"
        "<task index=\"2\"><type>Wait</type><value>4</value><enabled>True</enabled></task>"
        "<task index=\"3\"><type>Keystrokes</type><value>" + text + "</value><enabled>True</enabled></task>"
        "<task index=\"4\"><type>Wait</type><value>600</value><enabled>True</enabled></task>"
        "</tasks></program>"))};
    ASSERT_GT(kestrun.pid, 0);
    const std::string icon = WaitForTrayIcon();
    ASSERT_FALSE(icon.empty()) << "no tray icon appeared";
    ASSERT_FALSE(OpenMainWindowFromIcon(icon).empty()) << "the main window did not open in front";
    Output({"xdotool", "key", "Return"});

    ASSERT_TRUE(WaitUntil([&] { return !ReadFile(typed).empty() && XSession::CoreKeymap() != keymapBefore; }, 60s))
        << "typing did not start";
    kill(kestrun.pid, SIGTERM);
    int status = -1;
    ASSERT_TRUE(WaitUntil([&] { return Ended(kestrun.pid, status); }, 20s)) << "kestrun did not quit";
    kestrun.pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit status " << status;
    EXPECT_EQ(XSession::KeysDown(), "");
    EXPECT_EQ(XSession::CoreKeymap(), keymapBefore) << "the keyboard mapping was not restored";
    EXPECT_LT(ReadFile(typed).size(), text.size()) << "typing did not stop";
    // Quitting stores the window's position, as "Quit Kestrun" does.
    const std::string settings = ReadFile(session.folder() / "config" / "Quillon Works" / "Kestrun.reg");
    EXPECT_NE(settings.find("\"frmMain Left\"=dword:"), std::string::npos) << settings;
}

}  // namespace
}  // namespace kestrun::test

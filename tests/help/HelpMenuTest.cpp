#include "app/HelpMenu.h"
#include "app/frmAbout.h"
#include "platform/WebPageOpener.h"
#include "tests/support/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace kestrun::test {
namespace {

QApplication& Application()
{
    static int argc = 1;
    static char name[] = "help_tests";
    static char* argv[] = {name, nullptr};
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);  // never the machine's display
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

struct RecordingWebOpener : WebPageOpener {
    bool OpenAddress(const std::string& address) override
    {
        opened.push_back(address);
        return succeed;
    }
    std::vector<std::string> opened;
    bool succeed = true;
};

class HelpMenuTest : public ::testing::Test {
protected:
    ScriptedDialogs dialogs;
    RecordingWebOpener web;
    int year = 2031;
    HelpMenu menu{dialogs, web, [this] { return year; }};
};

TEST_F(HelpMenuTest, UsingShowsTheUsageText)
{
    menu.Using();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Kestrun Help");
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(dialogs.shown[0].text,
              "1) Create a program. (Programs -> 'New..')\r\n"
              "2) Add tasks.  (Tasks -> 'New...')\r\n"
              "3) Run program.  (Select it and click 'Launch It!')\r\n"
              "\r\n"
              "Available Tasks:\r\n"
              "\tOpening or running any file.\r\n"
              "\tWaiting for a specified interval.\r\n"
              "\tSending keystrokes to the active window.\r\n"
              "\r\n"
              "For help entering keystrokes, click 'Help' on the keystrokes dialog.\r\n"
              "To disable/enable task, right click on the selected task.\r\n"
              "To change task order, select task and click 'Move Up' or 'Move Down.\r\n"
              "Any number of programs and/or tasks are allowed.\r\n"
              "\r\n"
              "Typical use: Start an application, wait for a period until the application is fully loaded,\r\n"
              "then send keystrokes to the application followed by an action key (like Enter).");
    EXPECT_TRUE(web.opened.empty());
}

TEST_F(HelpMenuTest, TheWebEntriesOpenTheirPagesOrSayTheInternetFailed)
{
    const std::string question =
        "The Dovu (Shared Tools) Project is dedicated to making quality software available free to everyone.  "
        "It is supported entirely by donations from satisfied users.  If you like this product, please "
        "express your satisfaction with a donation to the Dovu Project.\r\n\r\n"
        "Would you like to learn more about the Dovu Project?";
    const std::string error = "An error has occurred trying to access the internet.  Please check your browser "
                              "settings and internet connection and try again.";
    dialogs.answers = {MessageAnswer::No};
    menu.Dovu();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title + "|" + dialogs.shown[0].text, "Dovu Project|" + question);
    EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Information);
    EXPECT_TRUE(web.opened.empty()) << "answered No";

    for (const bool browser : {true, false}) {
        SCOPED_TRACE(browser);
        web.succeed = browser;
        web.opened.clear();
        dialogs.shown.clear();
        menu.WebSite();
        dialogs.answers = {MessageAnswer::Yes};
        menu.Dovu();
        EXPECT_EQ(web.opened, (std::vector<std::string>{"http://www.quillonworks.example",
                                                        "http://www.quillonworks.example/index.asp?Page=dovu"}));
        std::vector<std::string> texts;
        for (const auto& shown : dialogs.shown)
            texts.push_back(shown.title + "|" + shown.text);
        using Texts = std::vector<std::string>;
        EXPECT_EQ(texts, browser ? Texts({"Dovu Project|" + question})
                                 : Texts({"|" + error, "Dovu Project|" + question, "|" + error}));
        for (const auto& shown : dialogs.shown) {
            if (shown.text == error) {
                EXPECT_TRUE(shown.icon == MessageIcon::Exclamation && shown.buttons == MessageButtons::Ok);
            }
        }
    }
}

// The entries' texts and order show in the main window's own test.
TEST_F(HelpMenuTest, EachEntryIsWiredToItsAction)
{
    Application();
    QMenu help;
    menu.AddEntries(help, nullptr);
    ASSERT_EQ(help.actions().size(), 6);
    dialogs.answers = {MessageAnswer::No};
    for (int entry : {0, 2, 3})
        help.actions()[entry]->trigger();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].title, "Kestrun Help");
    EXPECT_EQ(dialogs.shown[1].title, "Dovu Project");
    EXPECT_EQ(web.opened, std::vector<std::string>{"http://www.quillonworks.example"});
}

TEST_F(HelpMenuTest, AboutIsModalOverItsOwnerAndReadsTheClockAtEachOpening)
{
    Application();
    QWidget owner;
    for (const int opening : {2031, 2032}) {
        year = opening;
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen = true;
            EXPECT_EQ(box->windowTitle(), "About Kestrun");
            EXPECT_EQ(box->parentWidget(), &owner);
            const auto text = [box](const char* name) { return box->findChild<QLabel*>(name)->text().toStdString(); };
            EXPECT_EQ(text("lblTitle"), "Kestrun");
            EXPECT_EQ(text("lblVersion"), "Version " KESTRUN_EXPECTED_VERSION);
            EXPECT_EQ(text("lblDescription"), "Copyright \u00a9 " + std::to_string(opening) +
                                                  " Quillon Works Software\n"
                                                  "author: Quillon Works Software\n"
                                                  "web: http://www.quillonworks.example\n"
                                                  "e-mail: support@quillonworks.example");
            box->findChild<QPushButton*>("cmdOK")->click();
        });
        menu.About(&owner);
        EXPECT_TRUE(seen) << "the About box did not open modally";
    }
    EXPECT_EQ(VersionLine({12, 10, 2048}), "Version 12.10.2048");
}

}  // namespace
}  // namespace kestrun::test

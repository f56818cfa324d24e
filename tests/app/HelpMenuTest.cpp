#include "app/HelpMenu.h"
#include "app/frmAbout.h"
#include "platform/WebPageOpener.h"
#include "tests/support/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

namespace kestrun::test {
namespace {

using Texts = std::vector<std::string>;

struct RecordingWebOpener : WebPageOpener {
    bool OpenAddress(const std::string& address) override
    {
        opened.push_back(address);
        return succeed;
    }
    Texts opened;
    bool succeed = true;
};

class HelpMenuTest : public ::testing::Test {
protected:
    void SetUp() override { menu.AddEntries(help, nullptr); }
    void Trigger(int entry) { help.actions()[entry]->trigger(); }
    Texts Shown() const
    {
        Texts texts;
        for (const auto& shown : dialogs.shown)
            texts.push_back(shown.title + "|" + shown.text);
        return texts;
    }

    QApplication& application = *qApp;
    ScriptedDialogs dialogs;
    RecordingWebOpener web;
    int year = 2031;
    HelpMenu menu{dialogs, web, [this] { return year; }};
    QMenu help;
};

TEST_F(HelpMenuTest, UsingShowsTheUsageText)
{
    Trigger(0);
    EXPECT_EQ(Shown(), Texts{"Kestrun Help|1) Create a program. (Programs -> 'New..')\r\n2) Add tasks.  (Tasks -> "
                             "'New...')\r\n3) Run program.  (Select it and click 'Launch It!')\r\n\r\nAvailable Tasks:"
                             "\r\n\tOpening or running any file.\r\n\tWaiting for a specified interval.\r\n\tSending "
                             "keystrokes to the active window.\r\n\r\nFor help entering keystrokes, click 'Help' on the "
                             "keystrokes dialog.\r\nTo disable/enable task, right click on the selected task.\r\nTo "
                             "change task order, select task and click 'Move Up' or 'Move Down.\r\nAny number of "
                             "programs and/or tasks are allowed.\r\n\r\nTypical use: Start an application, wait for a "
                             "period until the application is fully loaded,\r\nthen send keystrokes to the application "
                             "followed by an action key (like Enter)."});
    EXPECT_TRUE(dialogs.shown[0].icon == MessageIcon::Information && web.opened.empty());
}

TEST_F(HelpMenuTest, TheWebEntriesOpenTheirPagesOrSayTheInternetFailed)
{
    const std::string question =
        "Dovu Project|The Dovu (Shared Tools) Project is dedicated to making quality software available free to "
        "everyone.  It is supported entirely by donations from satisfied users.  If you like this product, please "
        "express your satisfaction with a donation to the Dovu Project.\r\n\r\n"
        "Would you like to learn more about the Dovu Project?";
    const std::string error = "|An error has occurred trying to access the internet.  Please check your browser "
                              "settings and internet connection and try again.";
    for (const bool browser : {true, false}) {
        web.succeed = browser;
        web.opened.clear();
        dialogs.shown.clear();
        dialogs.answers = {MessageAnswer::No};
        Trigger(3);  // nothing opened
        Trigger(2);
        dialogs.answers = {MessageAnswer::Yes};
        Trigger(3);
        EXPECT_EQ(web.opened,
                  (Texts{"http://www.quillonworks.example", "http://www.quillonworks.example/index.asp?Page=dovu"}));
        EXPECT_EQ(Shown(), browser ? Texts({question, question}) : Texts({question, error, question, error}));
    }
    EXPECT_TRUE(dialogs.shown[0].buttons == MessageButtons::YesNo && dialogs.shown[1].icon == MessageIcon::Exclamation);
}

TEST_F(HelpMenuTest, AboutIsModalOverItsOwnerAndReadsTheClockAtEachOpening)
{
    QWidget owner;
    for (const int opening : {2031, 2032}) {
        year = opening;
        std::string seen;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!box || box->parentWidget() != &owner)
                return;
            seen = box->windowTitle().toStdString();
            for (const char* name : {"lblTitle", "lblVersion", "lblDescription"})
                seen += "|" + box->findChild<QLabel*>(name)->text().toStdString();
            box->findChild<QPushButton*>("cmdOK")->click();
        });
        menu.About(&owner);
        EXPECT_EQ(seen, "About Kestrun|Kestrun|Version " KESTRUN_EXPECTED_VERSION "|Copyright \u00a9 " +
                            std::to_string(opening) +
                            " Quillon Works Software\nauthor: Quillon Works Software\n"
                            "web: http://www.quillonworks.example\ne-mail: support@quillonworks.example");
    }
}

// The typing route goes on a line of its own below the other texts, asked at each opening; with none
// the box is as it always was.
TEST_F(HelpMenuTest, AboutNamesTheTypingRouteBelowItsOtherTexts)
{
    QWidget owner;
    std::string route;
    menu.SetTypingRoute([&] { return route; });
    const struct Row {
        const char* route;
        const char* line;  // nullptr: no line shown
    } rows[] = {{"KWin fake input", "Typing: KWin fake input"}, {"X11", "Typing: X11"}, {"", nullptr}};
    for (const Row& row : rows) {
        route = row.route;
        bool shown = false, below = false;
        std::string text;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!box)
                return;
            auto* line = box->findChild<QLabel*>("lblTypingRoute");
            auto* description = box->findChild<QLabel*>("lblDescription");
            shown = line && !line->isHidden();
            text = line ? line->text().toStdString() : "";
            below = line && description && line->y() > description->y();
            box->findChild<QPushButton*>("cmdOK")->click();
        });
        menu.About(&owner);
        EXPECT_EQ(shown, row.line != nullptr) << row.route;
        if (row.line) {
            EXPECT_EQ(text, row.line);
            EXPECT_TRUE(below) << "the route is not below the other texts";
        }
    }
}

}  // namespace
}  // namespace kestrun::test

#include "app/HelpMenu.h"
#include "app/frmAbout.h"
#include "platform/WebPageOpener.h"
#include "tests/support/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <cstdlib>
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

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

class HelpMenuTest : public ::testing::Test {
protected:
    ScriptedDialogs dialogs;
    RecordingWebOpener web;
    int year = 2031;
    HelpMenu menu{dialogs, web, [this] { return year; }};
};

TEST_F(HelpMenuTest, UsingShowsTheSixteenLinesOfTheUsageText)
{
    menu.Using();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Kestrun Help");
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::Ok);
    const std::string& text = dialogs.shown[0].text;
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1) << "lines are joined by CR LF";
    EXPECT_NE(text.substr(text.size() - 2), "\r\n");
    const std::vector<std::string> expected = {
        "1) Create a program. (Programs -> 'New..')",
        "2) Add tasks.  (Tasks -> 'New...')",
        "3) Run program.  (Select it and click 'Launch It!')",
        "",
        "Available Tasks:",
        "\tOpening or running any file.",
        "\tWaiting for a specified interval.",
        "\tSending keystrokes to the active window.",
        "",
        "For help entering keystrokes, click 'Help' on the keystrokes dialog.",
        "To disable/enable task, right click on the selected task.",
        "To change task order, select task and click 'Move Up' or 'Move Down.",
        "Any number of programs and/or tasks are allowed.",
        "",
        "Typical use: Start an application, wait for a period until the application is fully loaded,",
        "then send keystrokes to the application followed by an action key (like Enter).",
    };
    const std::vector<std::string> lines = SplitLines(text);
    ASSERT_EQ(lines.size(), 16u);
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
    EXPECT_TRUE(web.opened.empty());
}

TEST_F(HelpMenuTest, TheWebEntriesOpenTheirAddressesOrReportTheInternetError)
{
    const std::string error =
        "An error has occurred trying to access the internet.  Please check your browser settings and "
        "internet connection and try again.";
    for (bool browser : {true, false}) {
        SCOPED_TRACE(browser);
        web.succeed = browser;
        web.opened.clear();
        dialogs.shown.clear();

        menu.WebSite();
        dialogs.answers.push_back(MessageAnswer::Yes);
        menu.Dovu();

        EXPECT_EQ(web.opened, (std::vector<std::string>{"http://www.quillonworks.example",
                                                        "http://www.quillonworks.example/index.asp?Page=dovu"}));
        std::vector<std::string> texts;
        for (const auto& shown : dialogs.shown)
            texts.push_back(shown.title + "|" + shown.text);
        const std::string question = "Dovu Project|" + ProjectMessage();
        if (browser) {
            EXPECT_EQ(texts, std::vector<std::string>{question});
        } else {
            EXPECT_EQ(texts, (std::vector<std::string>{"|" + error, question, "|" + error}));
            EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Exclamation);
            EXPECT_EQ(dialogs.shown[2].icon, MessageIcon::Exclamation);
            EXPECT_EQ(dialogs.shown[2].buttons, MessageButtons::Ok);
        }
    }
}

TEST_F(HelpMenuTest, TheProjectQuestionAnsweredNoOpensNothing)
{
    dialogs.answers.push_back(MessageAnswer::No);
    menu.Dovu();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(dialogs.shown[0].text,
              "The Dovu (Shared Tools) Project is dedicated to making quality software available free to everyone.  "
              "It is supported entirely by donations from satisfied users.  If you like this product, please "
              "express your satisfaction with a donation to the Dovu Project.\r\n\r\n"
              "Would you like to learn more about the Dovu Project?");
    EXPECT_TRUE(web.opened.empty());
}

TEST_F(HelpMenuTest, EntriesAreAddedInMenuOrderAndTriggerTheirActions)
{
    Application();
    QMenu help(QStringLiteral("&Help"));
    menu.AddEntries(help, nullptr);
    std::vector<std::string> entries;
    for (QAction* action : help.actions())
        entries.push_back(action->objectName().toStdString() + "|" +
                          (action->isSeparator() ? "-" : action->text().toStdString()));
    EXPECT_EQ(entries, (std::vector<std::string>{"mnuHelpUsing|Using Kestrun...", "mnuHelpSep1|-",
                                                 "mnuHelpWebSite|Quillon Works Web Site...",
                                                 "mnuHelpDovu|Dovu Project...", "mnuHelpSep2|-",
                                                 "mnuAbout|About Kestrun..."}));
    help.findChild<QAction*>("mnuHelpUsing")->trigger();
    help.findChild<QAction*>("mnuHelpWebSite")->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Kestrun Help");
    EXPECT_EQ(web.opened, std::vector<std::string>{"http://www.quillonworks.example"});
}

// Runs `inspect` on the About box once it is up and modal, then presses OK.
void WhileAboutIsOpen(std::function<void(QDialog&)> inspect, bool& seen)
{
    QTimer::singleShot(0, [inspect, &seen] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen = true;
        inspect(*box);
        box->findChild<QPushButton*>("cmdOK")->click();
    });
}

TEST_F(HelpMenuTest, AboutIsModalAndReadsTheClockAtEachOpening)
{
    Application();
    QWidget owner;
    std::vector<std::string> descriptions;
    const auto inspect = [&](QDialog& box) {
        EXPECT_EQ(box.windowTitle(), "About Kestrun");
        EXPECT_TRUE(box.isModal());
        EXPECT_EQ(box.parentWidget(), &owner);
        descriptions.push_back(box.findChild<QLabel*>("lblDescription")->text().toStdString());
    };
    for (int opening : {2031, 2032}) {
        year = opening;
        bool seen = false;
        WhileAboutIsOpen(inspect, seen);
        menu.About(&owner);
        EXPECT_TRUE(seen) << "the About box did not open modally";
    }
    ASSERT_EQ(descriptions.size(), 2u);
    EXPECT_EQ(descriptions[0].substr(0, descriptions[0].find('\n')), "Copyright \u00a9 2031 Quillon Works Software");
    EXPECT_EQ(descriptions[1].substr(0, descriptions[1].find('\n')), "Copyright \u00a9 2032 Quillon Works Software");
}

TEST(AboutBoxTest, ShowsTheVersionTitleAndNoticeLines)
{
    Application();
    frmAbout box(nullptr, [] { return 1999; }, AppVersion{1, 0, 9});
    const auto text = [&box](const char* name) { return box.findChild<QLabel*>(name)->text().toStdString(); };
    EXPECT_EQ(text("lblTitle"), "Kestrun");
    EXPECT_EQ(text("lblVersion"), "Version 1.0.9");
    EXPECT_EQ(text("lblDescription"), "Copyright \u00a9 1999 Quillon Works Software\n"
                                      "author: Quillon Works Software\n"
                                      "web: http://www.quillonworks.example\n"
                                      "e-mail: support@quillonworks.example");
    const QFont title = box.findChild<QLabel*>("lblTitle")->font();
    EXPECT_EQ(title.family(), "Arial");
    EXPECT_DOUBLE_EQ(title.pointSizeF(), 14.25);
    EXPECT_TRUE(title.bold());
    EXPECT_EQ(box.findChild<QPushButton*>("cmdOK")->text(), "&OK");
    EXPECT_NE(box.findChild<QLabel*>("picIcon"), nullptr);
}

TEST(AboutBoxTest, TheVersionLineHasPlainNumbersFromTheBuild)
{
    EXPECT_EQ(VersionLine({12, 10, 2048}), "Version 12.10.2048");
    EXPECT_EQ(VersionLine(ApplicationVersion()), "Version " KESTRUN_EXPECTED_VERSION);
}

}  // namespace
}  // namespace kestrun::test

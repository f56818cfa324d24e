#include "app/HelpMenu.h"

#include "app/frmAbout.h"
#include "core/Dialogs.h"
#include "platform/WebPageOpener.h"

#include <QAction>
#include <QDate>
#include <QMenu>

#include <exception>

namespace kestrun {

std::string UsageText()
{
    static const char* const kLines[] = {
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
    std::string text = kLines[0];
    for (std::size_t i = 1; i < std::size(kLines); ++i)
        text.append("\r\n").append(kLines[i]);
    return text;
}

std::string ProjectMessage()
{
    return "The Dovu (Shared Tools) Project is dedicated to making quality software available free to "
           "everyone.  It is supported entirely by donations from satisfied users.  If you like this "
           "product, please express your satisfaction with a donation to the Dovu Project.\r\n\r\n"
           "Would you like to learn more about the Dovu Project?";
}

std::string InternetErrorMessage()
{
    return "An error has occurred trying to access the internet.  Please check your browser settings and "
           "internet connection and try again.";
}

int CurrentYear() { return QDate::currentDate().year(); }

void HelpMenu::Using()
{
    dialogs_.Message(UsageText(), MessageButtons::Ok, MessageIcon::Information, "Kestrun Help");
}

void HelpMenu::WebSite() { OpenAddress(kMakerHomePage); }

void HelpMenu::Dovu()
{
    if (dialogs_.Message(ProjectMessage(), MessageButtons::YesNo, MessageIcon::Information, "Dovu Project") ==
        MessageAnswer::Yes)
        OpenAddress(kProjectPage);
}

void HelpMenu::OpenAddress(const char* address)
{
    bool opened = false;
    try {
        opened = web_.OpenAddress(address);
    } catch (const std::exception&) {
        opened = false;
    }
    if (!opened)
        dialogs_.Message(InternetErrorMessage(), MessageButtons::Ok, MessageIcon::Exclamation);
}

void HelpMenu::About(QWidget* owner)
{
    frmAbout box(owner, year_, ApplicationVersion(), typingRoute_ ? typingRoute_() : std::string());
    box.exec();
}

void HelpMenu::AddEntries(QMenu& menu, QWidget* owner)
{
    const auto add = [&menu](const char* name, const char* caption, auto handler) {
        QAction* action = menu.addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromLatin1(name));
        QObject::connect(action, &QAction::triggered, action, handler);
    };
    const auto separator = [&menu](const char* name) { menu.addSeparator()->setObjectName(QString::fromLatin1(name)); };

    add("mnuHelpUsing", "Using Kestrun...", [this] { Using(); });
    separator("mnuHelpSep1");
    add("mnuHelpWebSite", "Quillon Works Web Site...", [this] { WebSite(); });
    add("mnuHelpDovu", "Dovu Project...", [this] { Dovu(); });
    separator("mnuHelpSep2");
    add("mnuAbout", "About Kestrun...", [this, owner] { About(owner); });
}

}  // namespace kestrun

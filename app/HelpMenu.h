#pragma once

#include <functional>
#include <string>

class QMenu;
class QWidget;

namespace kestrun {

class Dialogs;
class WebPageOpener;

/// The maker's home page and the project page of the Help menu.
inline constexpr const char* kMakerHomePage = "http://www.quillonworks.example";
inline constexpr const char* kProjectPage = "http://www.quillonworks.example/index.asp?Page=dovu";

/// The usage text of "Using Kestrun...": 16 lines joined by CR LF.
std::string UsageText();
/// The question of "Dovu Project...".
std::string ProjectMessage();
/// What either web entry says when the address cannot be opened.
std::string InternetErrorMessage();

/// The current year by the local clock.
int CurrentYear();
using YearSource = std::function<int()>;

/// The entries of the main window's Help menu. Nothing here touches the task
/// document. All objects passed in must outlive this one.
class HelpMenu {
public:
    HelpMenu(Dialogs& dialogs, WebPageOpener& web, YearSource year = CurrentYear)
        : dialogs_(dialogs), web_(web), year_(std::move(year)) {}

    /// "Using Kestrun...": the usage text, titled "Kestrun Help".
    void Using();
    /// "Quillon Works Web Site...": opens the maker's home page.
    void WebSite();
    /// "Dovu Project...": asks, and on Yes opens the project page.
    void Dovu();
    /// "About Kestrun...": the About box, modal over `owner`, its texts
    /// computed afresh (year included) at each opening.
    void About(QWidget* owner);

    /// Appends the menu's entries in order, each named as its menu item
    /// (mnuHelpUsing, mnuHelpSep1, mnuHelpWebSite, mnuHelpDovu, mnuHelpSep2,
    /// mnuAbout) and wired to the functions above. This object must outlive
    /// the menu's use.
    void AddEntries(QMenu& menu, QWidget* owner);

    /// Where the About box learns how this session types; none: it does not say.
    void SetTypingRoute(std::function<std::string()> route) { typingRoute_ = std::move(route); }

private:
    void OpenAddress(const char* address);

    Dialogs& dialogs_;
    WebPageOpener& web_;
    YearSource year_;
    std::function<std::string()> typingRoute_;
};

}  // namespace kestrun

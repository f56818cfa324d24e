#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QLabel;

namespace kestrun {

/// The application's version numbers.
struct AppVersion {
    int major = 0;
    int minor = 0;
    int revision = 0;
};

/// The version this build was made from (the project's version in CMake).
AppVersion ApplicationVersion();

/// "Version 1.0.9": plain decimal numbers, no leading zeros.
std::string VersionLine(const AppVersion& version);
/// The maker's notice and contact lines, joined by CR LF; the first ends with
/// the year and " Quillon Works Software".
std::string NoticeLines(int year);
/// The free-software line.
std::string LicenseLine();

/// The About box's line naming how this session types ("Typing: KWin fake input"); empty for none.
std::string TypingRouteLine(const std::string& route);

/// The About box: modal, its texts set when it is constructed (the load
/// step), with the year read from `year` at that moment. Controls carry
/// their names: picIcon, lblTitle, lblVersion, lblDescription, lblLicense,
/// cmdOK.
class frmAbout final : public QDialog {
public:
    /// `typingRoute`, when not empty, is shown on a line of its own below the other texts.
    frmAbout(QWidget* owner, const std::function<int()>& year, AppVersion version = ApplicationVersion(),
             const std::string& typingRoute = {});

private:
    QLabel* lblVersion_ = nullptr;
    QLabel* lblDescription_ = nullptr;
    QLabel* lblLicense_ = nullptr;
    QLabel* lblTypingRoute_ = nullptr;
};

}  // namespace kestrun

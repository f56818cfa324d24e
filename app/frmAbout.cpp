#include "app/frmAbout.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace kestrun {

namespace {

QFrame* SeparatorLine(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QLabel* NamedLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

}  // namespace

AppVersion ApplicationVersion()
{
    return {KESTRUN_VERSION_MAJOR, KESTRUN_VERSION_MINOR, KESTRUN_VERSION_PATCH};
}

std::string VersionLine(const AppVersion& version)
{
    return "Version " + std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.revision);
}

std::string NoticeLines(int year)
{
    return "Copyright \u00a9 " + std::to_string(year) + " Quillon Works Software\r\n"
           "author: Quillon Works Software\r\n"
           "web: http://www.quillonworks.example\r\n"
           "e-mail: support@quillonworks.example";
}

std::string LicenseLine() { return {}; }

std::string TypingRouteLine(const std::string& route) { return route.empty() ? route : "Typing: " + route; }

frmAbout::frmAbout(QWidget* owner, const std::function<int()>& year, AppVersion version,
                   const std::string& typingRoute)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Kestrun"));
    setModal(true);

    auto* picIcon = NamedLabel(this, "picIcon");
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    picIcon->setPixmap(icon.pixmap(48, 48));
    picIcon->setAlignment(Qt::AlignTop);

    auto* lblTitle = NamedLabel(this, "lblTitle");
    lblTitle->setText(QStringLiteral("Kestrun"));
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPointSizeF(14.25);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    lblVersion_ = NamedLabel(this, "lblVersion");
    lblDescription_ = NamedLabel(this, "lblDescription");
    lblDescription_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblLicense_ = NamedLabel(this, "lblLicense");
    lblLicense_->setWordWrap(true);
    lblTypingRoute_ = NamedLabel(this, "lblTypingRoute");

    auto* cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* heading = new QVBoxLayout;
    heading->addWidget(lblTitle);
    heading->addWidget(lblVersion_);
    auto* top = new QHBoxLayout;
    top->addWidget(picIcon);
    top->addSpacing(12);
    top->addLayout(heading, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(SeparatorLine(this));
    layout->addWidget(lblDescription_);
    layout->addWidget(lblLicense_);
    layout->addWidget(lblTypingRoute_);
    layout->addWidget(SeparatorLine(this));
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The load step: texts set as the box opens.
    lblVersion_->setText(QString::fromStdString(VersionLine(version)));
    // Labels break lines at "\n" only; the text itself keeps its CR LF.
    lblDescription_->setText(QString::fromStdString(NoticeLines(year())).remove(QLatin1Char('\r')));
    lblLicense_->setText(QString::fromStdString(LicenseLine()));
    lblLicense_->setVisible(!lblLicense_->text().isEmpty());
    lblTypingRoute_->setText(QString::fromStdString(TypingRouteLine(typingRoute)));
    lblTypingRoute_->setVisible(!lblTypingRoute_->text().isEmpty());
}

}  // namespace kestrun

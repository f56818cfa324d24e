#include "tray/QtNotifyArea.h"

#include "tray/CSysTray.h"

#include <QGuiApplication>
#include <QScreen>

namespace kestrun {

QtNotifyArea::QtNotifyArea() = default;
QtNotifyArea::~QtNotifyArea() = default;

bool QtNotifyArea::Available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

int QtNotifyArea::MessageFor(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
    case QSystemTrayIcon::DoubleClick:
        return kMessageLeftDoubleClick;
    case QSystemTrayIcon::Context:
        return kMessageRightButtonUp;
    default:
        return 0;
    }
}

void QtNotifyArea::NotifyIcon(NotifyMessage message, const NotifyIconData& record)
{
    switch (message) {
    case NotifyMessage::Add:
        if (!icon_) {
            icon_ = std::make_unique<QSystemTrayIcon>();
            connect(icon_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
                const int number = MessageFor(reason);
                if (number != 0 && handler_)
                    handler_(number);
            });
        }
        Apply(record);
        icon_->show();
        break;
    case NotifyMessage::Modify:
        if (icon_)
            Apply(record);
        break;
    case NotifyMessage::Delete:
        if (icon_)
            icon_->hide();
        break;
    }
}

void QtNotifyArea::Apply(const NotifyIconData& record)
{
    icon_->setIcon(record.hIcon);
    QString tip = QString::fromUtf8(TipText(record));
    // A tip cut inside a multi-byte character loses that character.
    while (tip.endsWith(QChar::ReplacementCharacter))
        tip.chop(1);
    icon_->setToolTip(tip);
}

double QtNotifyArea::TwipsPerPixelX() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

}  // namespace kestrun

#include "tray/QtNotifyArea.h"

#include "tray/CSysTray.h"

#include <QApplication>
#include <QMouseEvent>
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

int QtNotifyArea::ButtonMessage(const QMouseEvent& event)
{
    if (event.type() == QEvent::MouseButtonDblClick && event.button() == Qt::LeftButton)
        return kMessageLeftDoubleClick;
    if (event.type() == QEvent::MouseButtonRelease && event.button() == Qt::RightButton)
        return kMessageRightButtonUp;
    return 0;
}

void QtNotifyArea::Report(int message)
{
    if (message != 0 && handler_)
        handler_(message);
}

void QtNotifyArea::WatchEmbeddedIcon()
{
    // Qt embeds the icon into an XEmbed tray as a widget of its own class;
    // with a StatusNotifierItem host there is no such widget.
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->inherits("QSystemTrayIconSys") && widget != embedded_) {
            embedded_ = widget;
            widget->installEventFilter(this);
        }
}

bool QtNotifyArea::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != embedded_)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        // The buttons themselves, not Qt's activations, which come on the
        // first press of any click.
        Report(ButtonMessage(*static_cast<QMouseEvent*>(event)));
        return true;
    default:
        return false;
    }
}

void QtNotifyArea::NotifyIcon(NotifyMessage message, const NotifyIconData& record)
{
    switch (message) {
    case NotifyMessage::Add:
        if (!icon_) {
            icon_ = std::make_unique<QSystemTrayIcon>();
            connect(icon_.get(), &QSystemTrayIcon::activated, this,
                    [this](QSystemTrayIcon::ActivationReason reason) { Report(MessageFor(reason)); });
        }
        Apply(record);
        icon_->show();
        WatchEmbeddedIcon();
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

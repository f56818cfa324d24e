#pragma once

#include "tray/NotifyArea.h"

#include <QObject>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

namespace kestrun {

/// The notification area through Qt's QSystemTrayIcon: an XEmbed tray or a
/// StatusNotifierItem host, whichever the desktop has.
///
/// Mouse actions on the icon are reported as the message numbers the tray
/// controller decodes: any activation with the left button (an XEmbed tray
/// reports a double click as a click and then a double click; a
/// StatusNotifierItem host sends one activation) as 515, a context request as
/// 517.
class QtNotifyArea final : public QObject, public NotifyArea {
    Q_OBJECT
public:
    QtNotifyArea();
    ~QtNotifyArea() override;

    void NotifyIcon(NotifyMessage message, const NotifyIconData& record) override;
    double TwipsPerPixelX() const override;

    /// Whether the desktop has a notification area at all.
    static bool Available();

    /// Receives each mouse action on the icon as its message number.
    void SetMessageHandler(std::function<void(int message)> handler) { handler_ = std::move(handler); }

    /// The icon while it is shown, for checks.
    QSystemTrayIcon* Icon() const { return icon_.get(); }

    /// The message number of an activation, or 0 for one that is not passed on.
    static int MessageFor(QSystemTrayIcon::ActivationReason reason);

private:
    void Apply(const NotifyIconData& record);

    std::unique_ptr<QSystemTrayIcon> icon_;
    std::function<void(int)> handler_;
};

}  // namespace kestrun

#pragma once

#include "tray/NotifyArea.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

class QMouseEvent;

namespace kestrun {

/// The notification area through Qt's QSystemTrayIcon: an XEmbed tray or a
/// StatusNotifierItem host, whichever the desktop has.
///
/// Mouse actions on the icon are reported as the message numbers the tray
/// controller decodes. In an XEmbed tray the icon is a window of its own that
/// sees every button: a left double click is 515, the right button's release
/// 517, and single clicks and presses are nothing. A StatusNotifierItem host
/// reports no buttons, only requests: its activation (a single click there)
/// is 515 and its context request 517.
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
    /// The icon's own window in an XEmbed tray; null with a StatusNotifierItem
    /// host or while the icon is not shown.
    QWidget* EmbeddedIcon() const { return embedded_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// The message number of a mouse event on an icon embedded in an XEmbed
    /// tray, or 0 for one that is not passed on.
    static int ButtonMessage(const QMouseEvent& event);
    void Apply(const NotifyIconData& record);
    void WatchEmbeddedIcon();
    void Report(int message);

    std::unique_ptr<QSystemTrayIcon> icon_;
    QPointer<QWidget> embedded_;
    std::function<void(int)> handler_;
};

}  // namespace kestrun

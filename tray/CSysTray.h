#pragma once

#include "tray/NotifyArea.h"
#include "tray/TrayError.h"

#include <QMenu>
#include <QPointer>

#include <optional>
#include <string>


namespace kestrun {

inline constexpr int kMessageLeftDoubleClick = 0x203;  // 515
inline constexpr int kMessageRightButtonUp = 0x205;    // 517

/// The application's notification-area icon: its picture, its tooltip, and the
/// two mouse actions on it. The owner window passes the icon's mouse events to
/// Notify as X = the event's message number in the window's scale units and
/// Y = 0; a left double click (515) shows FormToShow in front, a right-button
/// release (517) pops TrayMenu up over ParentForm.
///
/// Use: set ParentForm, then TrayIcon, TrayMenu and TrayTip, then InTray true.
/// Failures are raised as TrayError with the number -1 unless said otherwise.
class CSysTray {
public:
    explicit CSysTray(NotifyArea& area);
    ~CSysTray();
    CSysTray(const CSysTray&) = delete;
    CSysTray& operator=(const CSysTray&) = delete;

    TrayForm* ParentForm() const { return parentForm_; }
    /// Takes the window's handle into the record; an icon already shown is
    /// not told.
    void SetParentForm(TrayForm* fForm);

    TrayForm* FormToShow() const { return formToShow_; }
    void SetFormToShow(TrayForm* fForm) { formToShow_ = fForm; }

    /// The last icon accepted.
    const std::optional<TrayPicture>& TrayIcon() const { return trayIcon_; }
    /// Accepts only an icon (type 3); any other picture is ignored.
    void SetTrayIcon(const std::optional<TrayPicture>& Icon);

    /// The whole 64-character tooltip field: the tip, a NUL, then spaces.
    std::string TrayTip() const;
    /// The tip followed by a NUL, cut or padded with spaces to 64 characters.
    void SetTrayTip(const std::string& Tip);

    QMenu* TrayMenu() const { return trayMenu_; }
    void SetTrayMenu(QMenu* mnuTray) { trayMenu_ = mnuTray; }

    bool InTray() const { return inTray_; }
    /// Adds or removes the icon. Adding raises (source "CSysTray:AddIcon")
    /// without a parent window or an icon; the flag is set even then.
    void SetInTray(bool Show);

    /// Decodes a mouse event forwarded by the parent window. Errors are raised
    /// again with the source "CSysTray:Notify" and "CSysTray - " before their
    /// description.
    void Notify(double X, double Y);

    const NotifyIconData& Record() const { return record_; }

private:
    void AddIcon();
    void RemoveIcon();
    void Decode(double X);

    NotifyArea& area_;
    NotifyIconData record_;
    TrayForm* parentForm_ = nullptr;
    TrayForm* formToShow_ = nullptr;
    QPointer<QMenu> trayMenu_;
    std::optional<TrayPicture> trayIcon_;
    bool inTray_ = false;
};

/// The tooltip a record holds: its text up to the first NUL.
std::string TipText(const NotifyIconData& record);

}  // namespace kestrun

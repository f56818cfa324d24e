#pragma once

#include <QIcon>

#include <array>
#include <cstdint>

class QMenu;

namespace kestrun {

inline constexpr std::size_t kTrayTipSize = 64;

/// The record that describes the application's one notification-area icon.
struct NotifyIconData {
    std::uint32_t cbSize = 88;
    std::uintptr_t hWnd = 0;            // the owner window; 0 until one is set
    std::uint32_t uID = 1;
    std::uint32_t uFlags = 7;           // message, icon and tip are valid
    std::uint32_t uCallbackMessage = 0x200;
    QIcon hIcon;                        // null until an icon is accepted
    std::array<char, kTrayTipSize> szTip{};  // the tooltip, NUL-terminated when shorter than 64
};

enum class NotifyMessage { Add = 0, Modify = 1, Delete = 2 };

/// The desktop's notification area, as the tray controller drives it.
class NotifyArea {
public:
    virtual ~NotifyArea() = default;

    /// Adds, updates or removes the icon the record describes. Failures are
    /// not reported.
    virtual void NotifyIcon(NotifyMessage message, const NotifyIconData& record) = 0;
    /// Horizontal twips per pixel of the screen.
    virtual double TwipsPerPixelX() const = 0;
};

/// A window the tray controller shows, or pops a menu up over.
class TrayForm {
public:
    virtual ~TrayForm() = default;

    /// A number that identifies the window; never 0.
    virtual std::uintptr_t hWnd() const = 0;
    /// 3 when the window measures in pixels; any other scale counts as twips.
    virtual int ScaleMode() const = 0;
    /// Brings the window to the foreground (when it can be).
    virtual void SetForeground() = 0;
    /// Makes the window visible, non-modal.
    virtual void ShowForm() = 0;
    /// Shows the menu at the pointer; its commands arrive as the window's own.
    virtual void PopupMenu(QMenu& menu) = 0;
};

inline constexpr int kScaleModeTwips = 1;
inline constexpr int kScaleModePixels = 3;

inline constexpr int kPicTypeBitmap = 1;
inline constexpr int kPicTypeIcon = 3;

/// A picture: only an icon (type 3) can become the tray icon.
struct TrayPicture {
    int Type = kPicTypeIcon;
    QIcon Handle;
};

}  // namespace kestrun

#pragma once

#include <memory>
#include <string>

namespace kestrun {

class WaylandConnection;

/// Follows whether the window that had the keyboard focus when the watch
/// began still has it, as the compositor tells: sway through the window
/// events of its IPC, other wlroots compositors through the `activated`
/// state of their foreign toplevel list. On sway, which names each window's
/// process, a window of the same process that takes the focus (a dialog the
/// keys opened) becomes the watched window.
class FocusWatch {
public:
    virtual ~FocusWatch() = default;

    /// Whether the window still has the focus, every change the compositor
    /// made before it handled the requests sent so far counted. Once false,
    /// always false. Throws PlatformError when the compositor no longer tells.
    virtual bool Kept() = 0;

    /// The watched window's title ("" when it has none, or when no window
    /// had the focus).
    virtual std::string Title() const = 0;
};

/// A watch through sway's IPC where SWAYSOCK names a sway that answers, else
/// through the foreign toplevel list on `connection` (which must outlive the
/// watch). Nothing when the compositor offers neither (GNOME, KDE).
std::unique_ptr<FocusWatch> WatchFocus(WaylandConnection& connection);

}  // namespace kestrun

#pragma once

class QWidget;

namespace kestrun {
class CRegSettings;
}

namespace kestrun {

/// Restores a top-level window's stored position (FormPosition), or centres
/// it when none is stored, by its outer size: on X11 the frame the window
/// manager will add is asked for first, so that a window not shown yet is
/// centred as the user will see it, title bar included. Makes the window's
/// native window.
/// Without settings the window stays where it is.
void RestoreOuterPosition(QWidget& window, CRegSettings* settings);

}  // namespace kestrun

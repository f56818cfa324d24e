#pragma once

namespace kestrun {

/// A rectangle of the screen in pixels, right and bottom exclusive.
struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

/// The primary screen's work area: the screen without the taskbar and the
/// other bars docked at its edges (SystemParametersInfo SPI_GETWORKAREA).
/// The whole primary screen when the system does not say.
ScreenRect PrimaryWorkArea();

}  // namespace kestrun

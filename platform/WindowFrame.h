#pragma once

#include <cstdint>
#include <optional>

namespace kestrun {

/// The border a window manager puts around a top-level window (title bar
/// included), in pixels.
struct FrameExtents {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
};

/// Asks the window manager which frame it will put around a window that it
/// has not framed yet, so that the window can be placed by its outer size
/// before it is first shown. `window` is the native window. Nothing when
/// there is no window manager that answers such a question; waits a moment
/// at most for the answer.
std::optional<FrameExtents> EstimateFrameExtents(std::uintptr_t window);

}  // namespace kestrun

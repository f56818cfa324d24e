#pragma once

#include <cstdint>
#include <string>

namespace kestrun {

inline constexpr int kWindowStateNormal = 0;
inline constexpr int kWindowStateMinimized = 1;
inline constexpr int kWindowStateMaximized = 2;

/// A rectangle in pixels, its right and bottom edges excluded.
struct PixelRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

/// A window and the primary screen, as window placement sees them. Positions
/// and sizes are in twips (1/1440 inch) and include the window's frame;
/// positions count from the primary screen's top-left corner.
class WindowGeometry {
public:
    virtual ~WindowGeometry() = default;

    /// The window's name, which names its stored values ("frmMain").
    virtual std::string Name() const = 0;
    /// kWindowStateNormal, kWindowStateMinimized or kWindowStateMaximized.
    virtual int WindowState() const = 0;
    virtual double Left() const = 0;
    virtual double Top() const = 0;
    virtual double Width() const = 0;
    virtual double Height() const = 0;
    virtual void SetLeft(std::int16_t twips) = 0;
    virtual void SetTop(std::int16_t twips) = 0;

    virtual double ScreenWidth() const = 0;
    virtual double ScreenHeight() const = 0;
    virtual double TwipsPerPixelX() const = 0;
    virtual double TwipsPerPixelY() const = 0;
    /// The part of the primary screen not covered by panels, in pixels.
    virtual PixelRect WorkArea() const = 0;
};

}  // namespace kestrun

#pragma once

#include <QRect>
#include <QSize>

#include <cmath>

namespace kestrun {

/// Converts a design in twips (1/1440 inch) to pixels at the screen's
/// twips per pixel, rounding each edge to the nearest pixel.
class TwipScale {
public:
    TwipScale(double twipsPerPixelX, double twipsPerPixelY) : x_(twipsPerPixelX), y_(twipsPerPixelY) {}

    int X(double twips) const { return static_cast<int>(std::lround(twips / x_)); }
    int Y(double twips) const { return static_cast<int>(std::lround(twips / y_)); }
    QSize Size(double width, double height) const { return {X(width), Y(height)}; }
    QRect Rect(double left, double top, double width, double height) const
    {
        return {X(left), Y(top), X(left + width) - X(left), Y(top + height) - Y(top)};
    }

private:
    double x_;
    double y_;
};

}  // namespace kestrun

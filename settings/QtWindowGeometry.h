#pragma once

#include "settings/WindowGeometry.h"

#include <QMargins>
#include <QPoint>
#include <QSize>

class QScreen;
class QWidget;

namespace kestrun {

/// A top-level Qt window and the primary screen. The work area is the
/// screen's available geometry; twips per pixel are 1440 over the screen's
/// logical dots per inch (15 at 96 DPI).
class QtWindowGeometry final : public WindowGeometry {
public:
    explicit QtWindowGeometry(QWidget& window);

    /// The frame, in pixels, that the window manager will put around a
    /// window it has not framed yet; the window's edges and size are its
    /// outer ones with that frame.
    void SetExpectedFrame(const QMargins& frame) { expectedFrame_ = frame; }

    std::string Name() const override;
    int WindowState() const override;
    double Left() const override;
    double Top() const override;
    double Width() const override;
    double Height() const override;
    void SetLeft(std::int16_t twips) override;
    void SetTop(std::int16_t twips) override;

    double ScreenWidth() const override;
    double ScreenHeight() const override;
    double TwipsPerPixelX() const override;
    double TwipsPerPixelY() const override;
    PixelRect WorkArea() const override;

private:
    QScreen* Screen() const;
    QMargins PendingFrame() const;
    QSize OuterSize() const;
    QPoint ClientOffset() const;

    QWidget& window_;
    QMargins expectedFrame_;
};

}  // namespace kestrun

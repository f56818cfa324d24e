#include "settings/QtWindowGeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace kestrun {

namespace {

constexpr double kTwipsPerInch = 1440;
constexpr double kUsualDotsPerInch = 96;

}  // namespace

QtWindowGeometry::QtWindowGeometry(QWidget& window) : window_(window) {}

QScreen* QtWindowGeometry::Screen() const { return QGuiApplication::primaryScreen(); }

std::string QtWindowGeometry::Name() const { return window_.objectName().toStdString(); }

int QtWindowGeometry::WindowState() const
{
    Qt::WindowStates state = window_.windowState();
    if (state & Qt::WindowMinimized)
        return kWindowStateMinimized;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return kWindowStateMaximized;
    return kWindowStateNormal;
}

// Window positions count from the primary screen's corner, which Qt may place
// anywhere on the desktop.
double QtWindowGeometry::Left() const
{
    QPoint origin = Screen() ? Screen()->geometry().topLeft() : QPoint();
    return (window_.frameGeometry().x() - PendingFrame().left() - origin.x()) * TwipsPerPixelX();
}

double QtWindowGeometry::Top() const
{
    QPoint origin = Screen() ? Screen()->geometry().topLeft() : QPoint();
    return (window_.frameGeometry().y() - PendingFrame().top() - origin.y()) * TwipsPerPixelY();
}

QMargins QtWindowGeometry::PendingFrame() const
{
    // Until the window manager has framed the window, Qt knows no frame.
    return window_.frameGeometry().size() == window_.size() ? expectedFrame_ : QMargins();
}

QSize QtWindowGeometry::OuterSize() const { return window_.frameGeometry().size().grownBy(PendingFrame()); }

QPoint QtWindowGeometry::ClientOffset() const
{
    // Qt moves a native window that has no frame yet by its client area.
    if (window_.internalWinId() == 0)
        return {};
    return {PendingFrame().left(), PendingFrame().top()};
}

double QtWindowGeometry::Width() const { return OuterSize().width() * TwipsPerPixelX(); }
double QtWindowGeometry::Height() const { return OuterSize().height() * TwipsPerPixelY(); }

void QtWindowGeometry::SetLeft(std::int16_t twips)
{
    QPoint origin = Screen() ? Screen()->geometry().topLeft() : QPoint();
    int x = origin.x() + static_cast<int>(std::lround(twips / TwipsPerPixelX())) + ClientOffset().x();
    window_.move(x, window_.pos().y());
}

void QtWindowGeometry::SetTop(std::int16_t twips)
{
    QPoint origin = Screen() ? Screen()->geometry().topLeft() : QPoint();
    int y = origin.y() + static_cast<int>(std::lround(twips / TwipsPerPixelY())) + ClientOffset().y();
    window_.move(window_.pos().x(), y);
}

double QtWindowGeometry::ScreenWidth() const
{
    return Screen() ? Screen()->geometry().width() * TwipsPerPixelX() : 0;
}

double QtWindowGeometry::ScreenHeight() const
{
    return Screen() ? Screen()->geometry().height() * TwipsPerPixelY() : 0;
}

double QtWindowGeometry::TwipsPerPixelX() const
{
    double dpi = Screen() ? Screen()->logicalDotsPerInchX() : 0;
    return kTwipsPerInch / (dpi > 0 ? dpi : kUsualDotsPerInch);
}

double QtWindowGeometry::TwipsPerPixelY() const
{
    double dpi = Screen() ? Screen()->logicalDotsPerInchY() : 0;
    return kTwipsPerInch / (dpi > 0 ? dpi : kUsualDotsPerInch);
}

PixelRect QtWindowGeometry::WorkArea() const
{
    if (!Screen())
        return {};
    QRect screen = Screen()->geometry();
    QRect available = Screen()->availableGeometry();
    int left = available.x() - screen.x();
    int top = available.y() - screen.y();
    return {left, top, left + available.width(), top + available.height()};
}

}  // namespace kestrun

#include "editor/OuterPlacement.h"

#include "platform/WindowFrame.h"
#include "settings/MWindow.h"
#include "settings/QtWindowGeometry.h"

#include <QGuiApplication>
#include <QWidget>

namespace kestrun {

void RestoreOuterPosition(QWidget& window, CRegSettings* settings)
{
    // Placed before its native window exists, the window's position is its
    // frame's, whatever frame the window manager adds. A stored position
    // comes out the same either way; a centred one counts the frame once the
    // window manager has said which.
    QtWindowGeometry geometry(window);
    FormPosition(geometry, false, settings);
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    if (const std::optional<FrameExtents> frame = EstimateFrameExtents(window.winId())) {
        geometry.SetExpectedFrame(QMargins(frame->left, frame->top, frame->right, frame->bottom));
        FormPosition(geometry, false, settings);
    }
}

}  // namespace kestrun

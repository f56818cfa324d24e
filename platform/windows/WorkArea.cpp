#include "platform/windows/WorkArea.h"

#include <windows.h>

namespace kestrun {

ScreenRect PrimaryWorkArea()
{
    RECT area{};
    if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0) && area.right > area.left && area.bottom > area.top)
        return {area.left, area.top, area.right, area.bottom};
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

}  // namespace kestrun

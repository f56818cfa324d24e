#include "platform/PlatformServices.h"

#include "platform/TerminationSignals.h"

#if defined(KESTRUN_WITH_X11)
#include "platform/posix/PosixServices.h"
#include "platform/x11/X11Services.h"
#endif
#if defined(KESTRUN_WITH_WAYLAND)
#include "platform/wayland/WaylandServices.h"
#endif
#if defined(KESTRUN_WITH_GNOME)
#include "platform/gnome/RemoteDesktopServices.h"
#endif
#if defined(KESTRUN_WITH_WINDOWS)
#include "platform/windows/WindowsServices.h"
#endif
#if !defined(KESTRUN_WITH_X11) && !defined(KESTRUN_WITH_WINDOWS)
#include "platform/none/NoPlatformServices.h"
#endif

namespace kestrun {

// The one place that picks the back-ends, once at start: each is asked in
// turn whether it serves this session, the last one taking what is left.
PlatformServices MakePlatformServices(std::function<bool()> stopRequested)
{
    PlatformServices services;
#if defined(KESTRUN_WITH_X11)
    const std::function<bool()> stopTyping = [stopRequested] {
        return TerminationRequested() || (stopRequested && stopRequested());
    };
    AddPosixServices(services, stopRequested);
#if defined(KESTRUN_WITH_WAYLAND)
    // A Wayland session types and activates through its compositor, even
    // when Qt itself runs through XWayland: XTest reaches X programs only.
    if (AddWaylandServices(services, stopRequested, stopTyping))
        return services;
#endif
#if defined(KESTRUN_WITH_GNOME)
    if (AddRemoteDesktopServices(services, stopRequested, stopTyping))
        return services;
#endif
    AddX11Services(services, stopRequested, stopTyping);
#elif defined(KESTRUN_WITH_WINDOWS)
    AddWindowsServices(services, std::move(stopRequested));
#else
    AddNoPlatformServices(services, stopRequested);
#endif
    return services;
}

}  // namespace kestrun

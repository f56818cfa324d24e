#include "platform/PlatformServices.h"

#include "platform/TerminationSignals.h"

#include <cstdio>
#include <cstdlib>

#if defined(KESTRUN_WITH_X11)
#include "platform/posix/PosixServices.h"
#include "platform/x11/X11Services.h"
#endif
#if defined(KESTRUN_WITH_WAYLAND)
#include "platform/wayland/KwinServices.h"
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
    // In this order: a virtual keyboard (sway and other wlroots
    // compositors), KWin's fake input, GNOME's RemoteDesktop, then X11.
    if (AddWaylandServices(services, stopRequested, stopTyping))
        return services;
    if (AddKwinServices(services, stopRequested, stopTyping))
        return services;
#endif
#if defined(KESTRUN_WITH_GNOME)
    if (AddRemoteDesktopServices(services, stopRequested, stopTyping))
        return services;
#endif
    AddX11Services(services, stopRequested, stopTyping);
    if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland && *wayland)
        std::fprintf(stderr, "kestrun: this Wayland desktop offers Kestrun no way to type into its windows; "
                             "Kestrun types through X11, into X programs only.\n");
#elif defined(KESTRUN_WITH_WINDOWS)
    AddWindowsServices(services, std::move(stopRequested));
#else
    AddNoPlatformServices(services, stopRequested);
#endif
    return services;
}

}  // namespace kestrun

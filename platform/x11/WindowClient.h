#pragma once

#include <optional>
#include <string>

// Kept free of the X headers, whose macros clash with ordinary names.
typedef struct _XDisplay Display;

namespace kestrun {

/// The process of the X client that made `window`, as the server knows it
/// from the client's local connection (the X-Resource extension); where the
/// server does not say, the window's _NET_WM_PID when it names a process of
/// this machine. Nothing when neither tells.
std::optional<long> WindowClientProcess(Display* display, unsigned long window);

/// The local socket address the X server of `displayName` (":1", "unix:1.0")
/// listens at, "/tmp/.X11-unix/X1"; empty for a display reached over the
/// network ("host:1") or a name that is not one.
std::string DisplaySocketAddress(const std::string& displayName);

}  // namespace kestrun

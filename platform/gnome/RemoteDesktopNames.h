#pragma once

// The D-Bus names of GNOME's remote desktop: the desktop portal's and mutter's own.

namespace kestrun {

inline constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
inline constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
inline constexpr const char* kPortalRemote = "org.freedesktop.portal.RemoteDesktop";
inline constexpr const char* kMutter = "org.gnome.Mutter.RemoteDesktop";
inline constexpr const char* kMutterPath = "/org/gnome/Mutter/RemoteDesktop";
inline constexpr const char* kMutterSession = "org.gnome.Mutter.RemoteDesktop.Session";

}  // namespace kestrun

#pragma once

namespace kestrun {

/// The application: makes the application object (settings, tray, platform
/// services), loads the main window hidden (its icon in the tray) and runs
/// until the window unloads. The exit status.
int Main(int argc, char* argv[]);

}  // namespace kestrun

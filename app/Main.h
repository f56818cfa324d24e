#pragma once

namespace kestrun {

/// The application: creates gSettings and gTray, loads the main window hidden
/// (its icon in the tray) and runs until the window unloads. The exit status.
int Main(int argc, char* argv[]);

}  // namespace kestrun

#pragma once

#include <filesystem>

namespace kestrun {

/// The current user's folder for configuration files: $XDG_CONFIG_HOME when
/// it is set to an absolute path, otherwise ~/.config.
std::filesystem::path UserConfigFolder();

/// The current user's folder for application data: $XDG_DATA_HOME when it is
/// set to an absolute path, otherwise ~/.local/share.
std::filesystem::path UserDataFolder();

/// The current user's folder for sockets and other files that live only as
/// long as the session: $XDG_RUNTIME_DIR when it is set to an absolute path,
/// otherwise the one the session manager makes for the user, so that a start
/// from a job without the session's environment finds the same folder. Empty
/// when there is none.
std::filesystem::path UserRuntimeFolder();

}  // namespace kestrun

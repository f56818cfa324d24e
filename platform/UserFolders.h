#pragma once

#include <filesystem>

namespace kestrun {

/// The current user's folder for configuration files: $XDG_CONFIG_HOME when
/// it is set to an absolute path, otherwise ~/.config.
std::filesystem::path UserConfigFolder();

/// The current user's folder for application data: $XDG_DATA_HOME when it is
/// set to an absolute path, otherwise ~/.local/share.
std::filesystem::path UserDataFolder();

}  // namespace kestrun

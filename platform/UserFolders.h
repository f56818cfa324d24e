#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace kestrun {

/// The current user's folder for configuration files: $XDG_CONFIG_HOME when
/// it is set to an absolute path, otherwise ~/.config.
std::filesystem::path UserConfigFolder();

/// The current user's folder for application data: $XDG_DATA_HOME when it is
/// set to an absolute path, otherwise ~/.local/share.
std::filesystem::path UserDataFolder();

/// The current user's folder for sockets and other files that live only as
/// long as the session, and that no other user may replace: $XDG_RUNTIME_DIR
/// when it is set to an absolute path, otherwise the one the session manager
/// makes for the user (/run/user/<uid>), so that a start from a job without
/// the session's environment finds the same folder. Such a folder counts only
/// when it is a folder of the user's own that no one else may write to and
/// the user may; otherwise the result is a private folder,
/// $TMPDIR/kestrun-<uid> (/tmp when TMPDIR is not set), made with mode 0700
/// when missing. `refused`, when given, receives why the folder named by
/// $XDG_RUNTIME_DIR was passed over (empty when it was not). Empty when no
/// folder can be had.
std::filesystem::path UserRuntimeFolder(std::string* refused = nullptr);

/// Why `folder` is no place for files other users must not replace: it is
/// missing, not a folder, someone else's, writable by others, or not writable
/// by this user. Empty when it is such a place.
std::string UntrustedFolderReason(const std::filesystem::path& folder);

/// The user id the process at the other end of a connected local socket runs
/// as; nothing when the system cannot tell.
std::optional<unsigned> LocalPeerUser(std::intptr_t socketDescriptor);

/// The user id this process acts as.
unsigned CurrentUser();

}  // namespace kestrun

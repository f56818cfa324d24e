#pragma once

#include <filesystem>
#include <memory>

namespace kestrun {

/// Whether the desktop starts Kestrun when the user logs in.
class LoginStart {
public:
    virtual ~LoginStart() = default;

    /// True when Kestrun is set to start at login.
    virtual bool Enabled() const = 0;
    /// Sets Kestrun to start at login, or no longer. Throws PlatformError,
    /// with a description for the user, when that cannot be done; nothing is
    /// changed then.
    virtual void SetEnabled(bool enabled) = 0;
};

/// Starting `executable` at login on this platform, for the current user.
std::unique_ptr<LoginStart> MakeLoginStart(const std::filesystem::path& executable);

}  // namespace kestrun

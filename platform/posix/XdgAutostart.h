#pragma once

#include "platform/LoginStart.h"

#include <filesystem>
#include <string>

namespace kestrun {

/// Start at login by the XDG autostart convention: a desktop entry in the
/// user's "autostart" configuration folder. The entry exists exactly while
/// Kestrun is set to start at login.
class XdgAutostart : public LoginStart {
public:
    /// `entry` is the desktop entry's path; `executable` what it starts.
    XdgAutostart(std::filesystem::path entry, std::filesystem::path executable);

    bool Enabled() const override;
    void SetEnabled(bool enabled) override;

    const std::filesystem::path& Entry() const { return entry_; }

private:
    std::filesystem::path entry_;
    std::filesystem::path executable_;
};

/// The desktop entry that starts `executable`. Throws PlatformError for a
/// path a desktop entry cannot hold (not UTF-8, or with control characters).
std::string AutostartEntryText(const std::filesystem::path& executable);

/// `argument` as one argument of a desktop entry's Exec key, quoted when it
/// needs to be and escaped for the key's value.
std::string DesktopExecArgument(const std::string& argument);

}  // namespace kestrun

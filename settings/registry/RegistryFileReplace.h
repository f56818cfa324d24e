#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kestrun {

/// The exclusive lock under which the settings file is changed: a lock on
/// "<file>.lock" beside it. The lock file is removed when the lock is let go,
/// so that none stays behind once Kestrun ends; one left by a process that
/// was killed is taken over and removed at the next change.
class RegistryFileLock {
public:
    enum class Wait { UntilFree, No };

    explicit RegistryFileLock(const std::filesystem::path& file, Wait wait = Wait::UntilFree);
    ~RegistryFileLock();
    RegistryFileLock(const RegistryFileLock&) = delete;
    RegistryFileLock& operator=(const RegistryFileLock&) = delete;

    bool Held() const { return fd_ >= 0; }

private:
    std::string path_;
    int fd_ = -1;
};

/// Replaces the settings file (the file a link points to, when it is one)
/// with `text` in one step: the text goes into a hidden temporary beside it,
/// ".<name>.kestrun-save-" and twelve letters or digits, which is then renamed
/// over it. The new file keeps the old one's permissions. False, the file
/// unchanged, when that fails. Call it with the lock held.
bool ReplaceRegistryFile(const std::filesystem::path& file, std::string_view text);

/// Removes the temporaries of replacements that were killed midway. Takes
/// the lock without waiting, and does nothing while another process holds
/// it: its replacement is still under way.
void RemoveStrayRegistryTemporaries(const std::filesystem::path& file) noexcept;

}  // namespace kestrun

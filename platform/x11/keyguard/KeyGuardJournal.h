#pragma once

#include "platform/x11/keyguard/KeyGuard.h"

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrun {

/// A process told apart from a later one that reuses its id.
struct ProcessIdentity {
    pid_t pid = 0;
    unsigned long long started = 0;  // clock ticks after boot, from /proc

    bool operator==(const ProcessIdentity&) const = default;
};

/// This process.
ProcessIdentity CurrentProcess();
/// The process with that id, when one runs (zombies do not count).
std::optional<ProcessIdentity> RunningProcess(pid_t pid);
/// Whether that very process still runs.
bool IsRunning(const ProcessIdentity& process);
/// Whether that process has surely ended: no process has its id, or the one
/// that has it started at another time (the id was reused). False while it
/// runs, and when it cannot be told (its start time unknown or unreadable).
bool ProvenEnded(const ProcessIdentity& process);

/// What typing changed in the keyboard mapping, kept in a file so that the
/// change can be undone after both Kestrun and its guardian have died. A code
/// may appear more than once: each time it was given other keysyms.
struct KeymapJournal {
    ProcessIdentity writer;
    ProcessIdentity guardian;
    std::vector<BorrowedCode> codes;

    bool operator==(const KeymapJournal&) const = default;
};

/// The journal's text: one line per field, keysyms in hexadecimal.
std::string FormatKeymapJournal(const KeymapJournal& journal);
/// Nothing when `text` is not a whole, well-formed journal.
std::optional<KeymapJournal> ParseKeymapJournal(std::string_view text);

/// Adds that typing gives `entry.code` the keysyms `entry.borrowed`. A code
/// keeps the original of its first entry and only its two latest meanings:
/// the one it may still hold should the change never have happened, and the
/// new one. So the record stays small however often codes change meaning.
void AddBorrowedCode(std::vector<BorrowedCode>& codes, const BorrowedCode& entry);

/// One "code" line of the journal, and its reading; the guardian receives the
/// same lines.
std::string FormatBorrowedCode(const BorrowedCode& code);
std::optional<BorrowedCode> ParseBorrowedCode(std::string_view line);

/// Whether typing could have made that change: it borrows only codes no
/// application reads as a key, which held nothing or only vendor keysyms.
/// Anything else in a journal was not written by Kestrun.
bool CouldHaveBorrowed(const BorrowedCode& code);

/// Where the journal for the X display `displayName` lives:
/// $XDG_RUNTIME_DIR/kestrun/keymap-<display>.journal. Nothing when
/// XDG_RUNTIME_DIR is not set to an absolute path: then there is no journal.
std::optional<std::filesystem::path> KeymapJournalPath(const std::string& displayName);

/// Replaces the file at `path` whole (a new file beside it, then a rename),
/// creating its folder private to the user. False when it could not.
bool WriteKeymapJournal(const std::filesystem::path& path, const KeymapJournal& journal);
/// The journal at `path`; nothing when it is missing or unreadable, and
/// nothing, without reading it, when it is not a plain file of the user's of
/// at most kMostJournalBytes (a link, a FIFO, a device).
std::optional<KeymapJournal> ReadKeymapJournal(const std::filesystem::path& path);
inline constexpr std::size_t kMostJournalBytes = 64 * 1024;

}  // namespace kestrun

#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace kestrun {

/// A key code that typing borrows: the keysyms it had, and the keysyms typing
/// puts there, `width` entries each (the keysyms per key code of the map).
struct BorrowedCode {
    unsigned char code = 0;
    std::vector<unsigned long> original;
    std::vector<unsigned long> borrowed;

    bool operator==(const BorrowedCode&) const = default;
};

/// Keeps the user's keyboard sound whatever ends Kestrun while it types. A
/// guardian process of its own watches Kestrun: should Kestrun end without
/// having restored what it changed (a crash, SIGKILL, an X error), the
/// guardian releases every key Kestrun may have left down and gives the
/// borrowed key codes their own keysyms back, then exits.
class KeyboardGuard {
public:
    virtual ~KeyboardGuard() = default;

    /// Before the keyboard mapping changes: returns once the guardian (and a
    /// journal that outlives both processes) know these codes.
    virtual void Borrowing(const std::vector<BorrowedCode>& codes) = 0;

    /// After every borrowed code got its own keysyms back.
    virtual void Restored() = 0;

    /// A key goes down or comes up. Called for every key, so it must cost no
    /// system call.
    virtual void KeyDown(unsigned char code) = 0;
    virtual void KeyUp(unsigned char code) = 0;

    /// Whether a guardian process watches: false when it could not be
    /// started or was lost, and then whoever borrowed codes gives them back.
    virtual bool Watching() const = 0;

    /// Kestrun ends at once: the guardian gives the borrowed codes back and
    /// releases any key left down, without Kestrun waiting for it.
    virtual void LeaveToGuardian() = 0;
};

/// The guard for typing on the X display `displayName`. When the guardian
/// cannot be started, the guard says so once on standard error, still keeps
/// the journal, and typing goes on.
/// The guardian is the executable "kestrun-keyguard" beside Kestrun's own,
/// or in the libexec folder of an installed Kestrun.
std::unique_ptr<KeyboardGuard> StartKeyboardGuard(const std::string& displayName);
/// The same with the guardian executable named.
std::unique_ptr<KeyboardGuard> StartKeyboardGuard(const std::string& displayName,
                                                  const std::filesystem::path& guardian);

/// A guard that does nothing, for typing in tests that need no guardian.
std::unique_ptr<KeyboardGuard> MakeNullKeyboardGuard();

}  // namespace kestrun

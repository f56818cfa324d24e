#pragma once

#include "platform/KeySender.h"
#include "platform/x11/keyguard/KeyGuard.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrun {

/// Types keys through the XTest extension into whatever window has
/// the keyboard focus.
///
/// Each character goes through the key of the active layout group that
/// produces it, with the level modifiers that key needs. The keysyms no key
/// produces are put on borrowed key codes, planned for the whole sequence
/// before its first key: as a rule all of them in one change of the keyboard
/// map. The borrowed codes keep their keysyms after SendKeys returns, for a
/// following sequence that needs them; a background thread gives them back
/// once the slowest window measured would have translated the keys typed and
/// typing has been quiet for a moment, and at the latest when the sender
/// goes; when it goes because the process was asked to end, the keyboard
/// guardian gives them back, unless there is none. A key typed twice in a
/// row gets a millisecond between its release and its next press. Every key
/// pressed is released on every path.
class XTestKeySender : public KeySender {
public:
    using GuardStarter = std::function<std::unique_ptr<KeyboardGuard>(const std::string& displayName)>;

    /// `startGuard` makes the keyboard guard when typing first begins (none:
    /// a guard that does nothing). Typing stops at the next key once
    /// `stopRequested` says so. Typing quiet for `quietBeforeRestore` counts
    /// as the end of a run: the borrowed codes go back.
    explicit XTestKeySender(GuardStarter startGuard = nullptr, std::function<bool()> stopRequested = nullptr,
                            std::chrono::milliseconds quietBeforeRestore = std::chrono::seconds(1));
    ~XTestKeySender() override;

    void SendKeys(const std::vector<KeyStroke>& strokes, bool wait) override;

    /// Gives the borrowed key codes back now, once the keys typed on them
    /// are read.
    void RestoreKeyboard();

    /// Requests that changed the keyboard map so far, restores included.
    int MappingChanges() const;

private:
    class Session;
    std::unique_ptr<Session> session_;
};

}  // namespace kestrun

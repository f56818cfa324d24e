#pragma once

#include "platform/KeySender.h"

#include <windows.h>

#include <functional>
#include <vector>

namespace kestrun {

/// Types through SendInput: characters as Unicode input (any character, no
/// keymap to change), named keys and modifiers as virtual keys. Each stroke
/// goes in one call with its releases; when the system takes only part of a
/// call (another desktop or a window of higher integrity is active), the keys
/// it left down are released before the error is raised, so no key stays
/// down on any path.
class WindowsKeySender : public KeySender {
public:
    /// Injects events; returns how many the system took.
    using Injector = std::function<unsigned(const std::vector<INPUT>&)>;

    /// `stopTyping` ends typing before its next key. `inject` stands in for
    /// SendInput (for tests); null for the system's.
    explicit WindowsKeySender(std::function<bool()> stopTyping = nullptr, Injector inject = nullptr);

    void SendKeys(const std::vector<KeyStroke>& strokes, bool wait) override;

private:
    void Settle() const;

    std::function<bool()> stopTyping_;
    Injector inject_;
};

}  // namespace kestrun

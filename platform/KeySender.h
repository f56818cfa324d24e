#pragma once

#include <string>

namespace kestrun {

/// Types key sequences into the active window.
class KeySender {
public:
    virtual ~KeySender() = default;

    /// Types `text`, written in the send-keys notation (see KeyNotation.h).
    /// A malformed text sends nothing. With `wait`, returns only after the
    /// keys have been processed. Throws PlatformError on any failure; no key
    /// or modifier is left down, whatever happens.
    virtual void SendKeys(const std::string& text, bool wait) = 0;
};

}  // namespace kestrun

#pragma once

#include "platform/KeyStroke.h"

#include <vector>

namespace kestrun {

/// Types keys into the active window.
class KeySender {
public:
    virtual ~KeySender() = default;

    /// Types `strokes` in order. With `wait`, returns only after the keys
    /// have been processed. Throws PlatformError on any failure; no key or
    /// modifier is left down, whatever happens.
    virtual void SendKeys(const std::vector<KeyStroke>& strokes, bool wait) = 0;
};

}  // namespace kestrun

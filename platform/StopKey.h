#pragma once

#include <functional>

namespace kestrun {

/// The key the user presses to stop a run: Pause (Break), taken from every
/// other application, with any modifiers, for as long as it is held.
class StopKey {
public:
    virtual ~StopKey() = default;

    /// Takes the key; `pressed` runs, on a thread of the stop key's own, at
    /// each press. False, with nothing taken, when the session does not let
    /// Kestrun have it (another application holds it).
    virtual bool Hold(std::function<void()> pressed) = 0;

    /// Gives the key back; nothing when it is not held.
    virtual void Release() = 0;
};

}  // namespace kestrun

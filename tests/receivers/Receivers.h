#pragma once

// The applications of the receiver matrix, each started once and emptied between the texts typed into it,
// and how what it received is read back.

#include "tests/receivers/Desktop.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace kestrun::test {

struct Arrival {
    using Clock = std::chrono::steady_clock;
    std::string text;
    Clock::time_point first{}, last{};  // the first and last character received (equal when unknown)
};

class Receiver {
public:
    virtual ~Receiver() = default;
    /// Starts the application; empty when it is ready for keys, else why not.
    virtual std::string Start(Desktop& desktop) = 0;
    /// Empties it and brings it to the front; false when that failed.
    virtual bool Prepare(Desktop& desktop, KestrunTypist& typist) = 0;
    /// The keys are about to come.
    virtual void Begin() = 0;
    /// After the last key was sent: waits for `expected`, or for what arrived to stop changing, and reads it.
    virtual Arrival Read(KestrunTypist& typist, const std::string& expected) = 0;
};

/// The receiver named in the matrix ("xterm", "chromium", "firefox", "writer-x11", "writer-gtk3", "mousepad",
/// "featherpad"; on sway "foot", "mousepad-wayland", "chromium-wayland"), or null for an unknown name.
std::unique_ptr<Receiver> MakeReceiver(const std::string& name);
bool OnSway(const std::string& receiver);

}  // namespace kestrun::test

#pragma once

#include <stdexcept>
#include <string>

namespace kestrun {

/// A platform service that could not do what it was asked.
class PlatformError : public std::runtime_error {
public:
    explicit PlatformError(const std::string& what) : std::runtime_error(what) {}
};

/// Typing stopped before its next key: the window it typed into was no longer
/// the active one. `window` names that window ("" when it has no name).
class FocusLostError : public PlatformError {
public:
    explicit FocusLostError(std::string window)
        : PlatformError("The window was no longer active."), window(std::move(window)) {}
    std::string window;
};

}  // namespace kestrun

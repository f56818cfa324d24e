#pragma once

#include <stdexcept>
#include <string>

namespace kestrun {

/// A platform service that could not do what it was asked.
class PlatformError : public std::runtime_error {
public:
    explicit PlatformError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace kestrun

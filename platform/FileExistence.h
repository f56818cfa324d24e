#pragma once

#include <string>

namespace kestrun {

/// Tells whether an ordinary file exists.
class FileExistence {
public:
    virtual ~FileExistence() = default;

    /// True when an ordinary file matches the path. "*" and "?" in the last
    /// part of the path match as patterns; folders never match. Throws
    /// PlatformError when the test itself cannot be made.
    virtual bool OrdinaryFileExists(const std::string& path) = 0;
};

}  // namespace kestrun

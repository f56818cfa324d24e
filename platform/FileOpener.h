#pragma once

#include <string>

namespace kestrun {

/// Opens files with the application associated with them.
class FileOpener {
public:
    virtual ~FileOpener() = default;

    /// Opens the file; false when it cannot be opened, for example because no
    /// application handles its kind. Returns once the outcome is known.
    virtual bool Open(const std::string& path) = 0;
};

}  // namespace kestrun

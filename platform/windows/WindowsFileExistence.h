#pragma once

#include "platform/FileExistence.h"

namespace kestrun {

/// File tests with the wide-character Win32 calls. A pattern ("*", "?" in
/// the last part of the path) matches as the system's own file search does,
/// by long names only.
class WindowsFileExistence : public FileExistence {
public:
    bool OrdinaryFileExists(const std::string& path) override;
};

}  // namespace kestrun

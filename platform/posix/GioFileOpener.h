#pragma once

#include "platform/FileOpener.h"

namespace kestrun {

/// Opens files through GIO's default application for their content type,
/// which answers at once whether any application handles the file.
class GioFileOpener : public FileOpener {
public:
    bool Open(const std::string& path) override;
};

}  // namespace kestrun

#pragma once

#include "platform/FileOpener.h"
#include "platform/WebPageOpener.h"

namespace kestrun {

/// Opens a file with the application Windows associates with it
/// (ShellExecuteExW "open"). Batch files (.bat, .cmd) are refused: the shell
/// would hand them to the command interpreter, which parses their path.
class ShellFileOpener : public FileOpener {
public:
    bool Open(const std::string& path) override;
};

/// Opens http and https addresses in the user's browser, maximised; other
/// schemes are refused, so that an address never starts a program.
class ShellWebPageOpener : public WebPageOpener {
public:
    bool OpenAddress(const std::string& address) override;
};

}  // namespace kestrun

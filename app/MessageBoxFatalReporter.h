#pragma once

#include "document/DocumentError.h"

namespace kestrun {

/// The application's fatal reporter: a message box with the critical icon, an
/// OK button and the title "Kestrun"; then the process ends at once, without
/// saving anything or running any close handler.
class MessageBoxFatalReporter : public FatalErrorReporter {
public:
    [[noreturn]] void Report(std::int32_t number, const std::string& text) override;
};

}  // namespace kestrun

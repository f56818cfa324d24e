#pragma once

#include "document/DocumentError.h"

#include <cstdlib>

namespace kestrun {

/// The application's fatal reporter: the text on standard error and in a
/// message box with the critical icon, an OK button and the title "Kestrun";
/// then the process ends at once with `exitStatus`, without saving anything
/// or running any close handler.
class MessageBoxFatalReporter : public FatalErrorReporter {
public:
    explicit MessageBoxFatalReporter(int exitStatus = EXIT_FAILURE) : exitStatus_(exitStatus) {}
    [[noreturn]] void Report(std::int32_t number, const std::string& text) override;

private:
    int exitStatus_;
};

/// The reporter of a start without windows: the text on standard error, then
/// the process ends with `exitStatus`.
class ConsoleFatalReporter : public FatalErrorReporter {
public:
    explicit ConsoleFatalReporter(int exitStatus) : exitStatus_(exitStatus) {}
    [[noreturn]] void Report(std::int32_t number, const std::string& text) override;

private:
    int exitStatus_;
};

}  // namespace kestrun

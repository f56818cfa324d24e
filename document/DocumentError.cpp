#include "document/DocumentError.h"

namespace kestrun {

std::string FatalErrorText(std::int32_t number, const std::string& description)
{
    std::string text = "Error: " + std::to_string(number) + kLineBreak;
    if (number == kErrNodeNotFound)
        text += "[Kestrun.xml] File Error Corrupted";
    else
        text += description;
    return text;
}

void ReportFatalError(FatalErrorReporter& reporter, const DocumentError& error)
{
    reporter.Report(error.number(), FatalErrorText(error.number(), error.description()));
}

}  // namespace kestrun

#include "app/MessageBoxFatalReporter.h"

#include <QMessageBox>

#include <cstdio>

namespace kestrun {

void MessageBoxFatalReporter::Report(std::int32_t /*number*/, const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
    QMessageBox::critical(nullptr, QStringLiteral("Kestrun"), QString::fromStdString(text));
    std::fflush(nullptr);
    std::_Exit(exitStatus_);
}

void ConsoleFatalReporter::Report(std::int32_t /*number*/, const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(nullptr);
    std::_Exit(exitStatus_);
}

}  // namespace kestrun

#include "app/MessageBoxFatalReporter.h"

#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

namespace kestrun {

void MessageBoxFatalReporter::Report(std::int32_t /*number*/, const std::string& text)
{
    QMessageBox::critical(nullptr, QStringLiteral("Kestrun"), QString::fromStdString(text));
    std::fflush(nullptr);
    std::_Exit(EXIT_FAILURE);
}

}  // namespace kestrun

#include "app/MessageBoxFatalReporter.h"
#include "app/Globals.h"
#include "document/TaskDocument.h"

#include <QApplication>
#include <QFile>

#include <cstdio>
#include <filesystem>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("Kestrun"));

    const std::filesystem::path folder =
        QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
    kestrun::MessageBoxFatalReporter reporter;
    kestrun::TaskDocument document(folder, reporter);
    kestrun::gTaskDocument = &document;
    document.Load();

    for (const std::string& name : document.ProgramNames())
        std::printf("%s\n", name.c_str());
    return 0;
}

#include "app/Main.h"

#include "app/AppFiles.h"
#include "app/Globals.h"
#include "app/MessageBoxFatalReporter.h"
#include "app/QtDialogs.h"
#include "app/frmMain.h"
#include "platform/KeyboardRecovery.h"
#include "platform/LoginStart.h"
#include "platform/PlatformServices.h"
#include "platform/TerminationSignals.h"
#include "platform/UserFolders.h"
#include "settings/CRegSettings.h"
#include "tray/CSysTray.h"
#include "tray/QtNotifyArea.h"

#include <QApplication>
#include <QFile>
#include <QSocketNotifier>

#include <unistd.h>

#include <optional>

namespace kestrun {

int Main(int argc, char* argv[])
{
    CatchTerminationSignals();
    RestoreKeyboardFromJournal();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrun"));
    QApplication::setApplicationVersion(QStringLiteral(KESTRUN_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("kestrun"));
    // The application lives in the tray: hiding its only window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    CRegSettings settings;
    gSettings = &settings;
    QtNotifyArea notifyArea;
    CSysTray tray(notifyArea);
    gTray = &tray;

    MessageBoxFatalReporter reporter;
    const std::filesystem::path programFolder = QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
    const std::optional<AppFiles> files = LocateAppFiles(
        {programFolder, (programFolder / KESTRUN_SHARED_FROM_PROGRAM).lexically_normal(), UserDataFolder()}, reporter);
    if (!files)
        return 1;
    const std::unique_ptr<LoginStart> loginStart =
        MakeLoginStart(QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString());

    QtDialogs dialogs;
    std::optional<PlatformServices> platform;
    MainWindowContext context{
        files->documentFolder,
        reporter,
        dialogs,
        [&platform]() -> RunServices {
            if (!platform)
                platform = MakePlatformServices();
            return {*platform->files, *platform->programs, *platform->opener,
                    *platform->sleeper, *platform->windows, *platform->keys};
        },
        &QtNotifyArea::Available,
        files->schemaFile,
        files->helpFolder,
        loginStart.get(),
    };
    frmMain window(context);
    dialogs.SetOwner(&window);
    // The task editor has no owner window: it takes the application's icon.
    QApplication::setWindowIcon(window.windowIcon());

    const double twipsPerPixel = window.TwipsPerPixelX();
    notifyArea.SetMessageHandler(
        [&window, twipsPerPixel](int message) { window.Form_MouseMove(message * twipsPerPixel, 0); });
    QObject::connect(&window, &frmMain::Unloaded, &application, &QCoreApplication::quit);
    // Ending the session (or any other outside quit) still saves.
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &window, [&window] { window.Unload(); });

    // SIGTERM, SIGINT and SIGHUP quit the way "Quit Kestrun" does.
    std::optional<QSocketNotifier> termination;
    if (TerminationDescriptor() >= 0) {
        termination.emplace(TerminationDescriptor(), QSocketNotifier::Read);
        QObject::connect(&*termination, &QSocketNotifier::activated, &window, [&window] {
            char drained[16];
            while (read(TerminationDescriptor(), drained, sizeof drained) > 0) {
            }
            window.Unload();
        });
    }

    if (!window.Form_Load())
        return 1;
    const int status = QApplication::exec();
    gTray = nullptr;
    gSettings = nullptr;
    return status;
}

}  // namespace kestrun

#include "app/Main.h"

#include "app/AppFiles.h"
#include "app/CommandLine.h"
#include "app/KestrunApp.h"
#include "app/MessageBoxFatalReporter.h"
#include "app/QtPath.h"
#include "app/QtDialogs.h"
#include "app/SingleInstance.h"
#include "app/frmMain.h"
#include "platform/KeyboardRecovery.h"
#include "platform/LoginStart.h"
#include "platform/StartingCommand.h"
#include "platform/TerminationSignals.h"
#include "platform/UserFolders.h"
#include "tray/QtNotifyArea.h"

#include <QApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <cstdio>
#include <optional>

namespace kestrun {

namespace {

// Qt 6 decodes the local 8-bit text of POSIX systems as UTF-8, too.
QStringList Arguments(int argc, char* argv[])
{
    QStringList arguments;
    for (const std::string& argument : ProgramArguments(argc, argv))
        arguments << QString::fromUtf8(argument);
    return arguments;
}

void SetApplicationNames()
{
    QCoreApplication::setApplicationName(QStringLiteral("Kestrun"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTRUN_VERSION));
}

std::optional<AppFiles> FindAppFiles(FatalErrorReporter& reporter)
{
    const std::filesystem::path programFolder = PathOfQt(QCoreApplication::applicationDirPath());
    return LocateAppFiles(
        {programFolder, (programFolder / KESTRUN_SHARED_FROM_PROGRAM).lexically_normal(), UserDataFolder(),
         KESTRUN_EXAMPLE_NAME},
        reporter);
}

QString AddressOf(const AppFiles& files) { return InstanceAddress(files.documentFolder / kDocumentFileName); }

// Prints `text` with a line end of its own; standard output for status 0.
int Finish(const InstanceReply& reply)
{
    if (!reply.text.empty()) {
        std::FILE* stream = reply.status == 0 ? stdout : stderr;
        std::fputs(reply.text.c_str(), stream);
        if (reply.text.back() != '\n')
            std::fputc('\n', stream);
    }
    return reply.status;
}

InstanceReply Unknown(const std::string& program)
{
    return {kExitUsage, "Kestrun has no program named \"" + program + "\"."};
}

std::string Listing(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += name + '\n';
    return text;
}

// The answers that need no window: help, version, a refused command line, and
// the list of programs, from the running Kestrun or else from the document.
int Answer(const CommandLine& line, int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    SetApplicationNames();
    switch (line.action) {
    case CommandLine::Action::Help:
        return Finish({0, CommandLineHelp()});
    case CommandLine::Action::Version:
        return Finish({0, "Kestrun " KESTRUN_VERSION});
    case CommandLine::Action::Invalid:
        return Finish({kExitUsage, line.error + "\nTry 'kestrun --help' for more information."});
    default:
        break;
    }
    ConsoleFatalReporter reporter(kExitUsage);
    const std::optional<AppFiles> files = FindAppFiles(reporter);
    if (!files)
        return kExitUsage;
    SingleInstance instance(AddressOf(*files));
    if (line.action == CommandLine::Action::Stop) {
        if (const auto reply = instance.Claim({InstanceRequest::Kind::Stop, {}}))
            return Finish(*reply);
        return Finish({kExitNoKestrun, "No Kestrun is running."});
    }
    if (const auto reply = instance.Claim({InstanceRequest::Kind::List, {}}))
        return Finish(*reply);
    TaskDocument document(files->documentFolder, reporter, files->schemaFile);
    if (!document.Load())
        return kExitUsage;
    return Finish({0, Listing(document.ProgramNames())});
}

// Answers a later start from the running main window.
InstanceReply Serve(frmMain& window, const InstanceRequest& request)
{
    // A hand edit the watch has not passed on yet counts too.
    if (request.kind != InstanceRequest::Kind::Show && request.kind != InstanceRequest::Kind::Stop)
        window.CheckDocumentOnDisk();
    switch (request.kind) {
    case InstanceRequest::Kind::Show:
        window.mnuPopUpOpen_Click();
        return {};
    case InstanceRequest::Kind::List:
        return {0, Listing(window.ProgramNames())};
    case InstanceRequest::Kind::Stop:
        if (window.StopRun())
            return {kExitStopped, {}};
        return {kExitNoRun, "Kestrun is running no program."};
    case InstanceRequest::Kind::Run:
        if (!window.HasProgram(request.program))
            return Unknown(request.program);
        // Runs after the answer has gone, from the event loop.
        QTimer::singleShot(0, &window, [&window, program = request.program] { window.RequestRun(program); });
        return {};
    }
    return {};
}

}  // namespace

int Main(int argc, char* argv[])
{
    AttachParentConsole();
    const CommandLine line = ParseCommandLine(Arguments(argc, argv));
    if (line.action != CommandLine::Action::Start && line.action != CommandLine::Action::Run)
        return Answer(line, argc, argv);
    const bool run = line.action == CommandLine::Action::Run;

    CatchTerminationSignals();
    RestoreKeyboardFromJournal();
    QApplication application(argc, argv);
    SetApplicationNames();
    QApplication::setDesktopFileName(QStringLiteral("kestrun"));
    // The application lives in the tray: hiding its only window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    MessageBoxFatalReporter reporter(run ? kExitUsage : EXIT_FAILURE);
    const std::optional<AppFiles> files = FindAppFiles(reporter);
    if (!files)
        return 1;
    // One Kestrun per user and document: a later start hands its request over.
    SingleInstance instance(AddressOf(*files));
    if (const auto reply = instance.Claim({run ? InstanceRequest::Kind::Run : InstanceRequest::Kind::Show,
                                           line.program}))
        return Finish(*reply);

    const frmMain* runWindow = nullptr;  // the window whose runs the services serve
    KestrunApp app(files->documentFolder, reporter, files->schemaFile,
                   [&runWindow] { return runWindow && runWindow->RunStopRequested(); });

    const std::unique_ptr<LoginStart> loginStart =
        MakeLoginStart(PathOfQt(QCoreApplication::applicationFilePath()));

    QtDialogs dialogs;
    MainWindowContext context{
        files->documentFolder,
        reporter,
        app.Document(),
        dialogs,
        [&app] { return app.Services(); },
        &QtNotifyArea::Available,
        files->helpFolder,
        loginStart.get(),
        &app.Settings(),
        &app.Tray(),
    };
    frmMain window(context);
    runWindow = &window;
    // The services outlive the window: from here on they ask no window.
    const std::unique_ptr<const frmMain*, void (*)(const frmMain**)> forget(&runWindow,
                                                                           [](const frmMain** w) { *w = nullptr; });
    dialogs.SetOwner(&window);
    // The task editor has no owner window: it takes the application's icon.
    QApplication::setWindowIcon(window.windowIcon());

    const double twipsPerPixel = window.TwipsPerPixelX();
    app.NotifyArea().SetMessageHandler(
        [&window, twipsPerPixel](int message) { window.Form_MouseMove(message * twipsPerPixel, 0); });
    QObject::connect(&window, &frmMain::Unloaded, &application, &QCoreApplication::quit);
    // Ending the session (or any other outside quit) still saves.
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &window, [&window] { window.UnloadUnattended(); });

#if defined(Q_OS_WIN)
    // The end of the session: Windows may end the process once the answer
    // to its question has gone, so the document is saved then.
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.UnloadUnattended(); }, Qt::DirectConnection);
#endif
    // SIGTERM, SIGINT and SIGHUP quit the way "Quit Kestrun" does; where
    // the system gives no descriptor for them (a console's Ctrl+C on
    // Windows), a look every moment does.
    std::optional<QSocketNotifier> termination;
    QTimer terminationLook;
    if (TerminationDescriptor() < 0) {
        QObject::connect(&terminationLook, &QTimer::timeout, &window, [&window, &terminationLook] {
            if (TerminationRequested()) {
                terminationLook.stop();
                window.UnloadUnattended();
            }
        });
        terminationLook.start(200);
    } else {
        termination.emplace(TerminationDescriptor(), QSocketNotifier::Read);
        QObject::connect(&*termination, &QSocketNotifier::activated, &window, [&window] {
#if !defined(_WIN32)
            char drained[16];
            while (read(TerminationDescriptor(), drained, sizeof drained) > 0) {
            }
#endif
            window.UnloadUnattended();
        });
    }

    if (!window.Form_Load())
        return 1;
    if (run && !window.HasProgram(line.program))
        return Finish(Unknown(line.program));
    if (!instance.Listen([&window](const InstanceRequest& request) { return Serve(window, request); }))
        std::fprintf(stderr, "Kestrun cannot take requests from later starts: %s\n", qPrintable(instance.error));
    if (run)
        QTimer::singleShot(0, &window, [&window, &line] { window.RequestRun(line.program); });
    return QApplication::exec();
}

}  // namespace kestrun

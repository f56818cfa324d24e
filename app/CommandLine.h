#pragma once

#include <QStringList>

#include <string>

namespace kestrun {

/// What a start of kestrun was asked to do.
struct CommandLine {
    enum class Action {
        Start,    // plain start: into the tray, or the running Kestrun's window forward
        Run,      // --run NAME: run that program
        List,     // --list: print the program names
        Stop,     // --stop: stop the running Kestrun's run
        Help,     // --help
        Version,  // --version
        Invalid,  // a malformed command line; `error` says why
    };
    Action action = Action::Start;
    /// The program to run (Run).
    std::string program;
    /// Why the command line was refused (Invalid).
    std::string error;
};

/// Reads the arguments, the executable's name first. Needs no application
/// object, so that it can decide which kind of application to make.
CommandLine ParseCommandLine(const QStringList& arguments);

/// The text --help prints. Needs the application object.
std::string CommandLineHelp();

/// The exit status of a malformed command line, an unknown program or a
/// document that cannot be loaded.
inline constexpr int kExitUsage = 2;

/// The exit statuses of --stop: a run was stopped, none was on, no Kestrun
/// runs.
inline constexpr int kExitStopped = 0;
inline constexpr int kExitNoRun = 1;
inline constexpr int kExitNoKestrun = 2;

}  // namespace kestrun

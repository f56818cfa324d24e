#include "app/CommandLine.h"

#include <QCommandLineParser>

namespace kestrun {

namespace {

struct Options {
    QCommandLineOption run{QStringLiteral("run"), QStringLiteral("Runs the program named NAME, as \"Launch It !\" does."),
                           QStringLiteral("NAME")};
    QCommandLineOption list{QStringLiteral("list"), QStringLiteral("Prints the names of the programs, one a line.")};
    QCommandLineOption stop{QStringLiteral("stop"),
                            QStringLiteral("Stops the running Kestrun's run. Exit status 0 when a run was stopped, 1 "
                                           "when none was on, 2 when no Kestrun runs.")};
};

// Defines the options on `parser`; the help and version options it returns.
std::pair<QCommandLineOption, QCommandLineOption> Define(QCommandLineParser& parser, const Options& options)
{
    parser.setApplicationDescription(QStringLiteral(
        "Replays routine desktop chores. Without options Kestrun starts in the tray, or brings the running "
        "Kestrun's window forward."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOption(options.run);
    parser.addOption(options.list);
    parser.addOption(options.stop);
    return {help, version};
}

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    const Options options;
    const auto [help, version] = Define(parser, options);
    CommandLine line;
    const auto refuse = [&line](const QString& why) {
        line.action = CommandLine::Action::Invalid;
        line.error = why.toStdString();
        return line;
    };
    if (!parser.parse(arguments))
        return refuse(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst()));
    if (parser.values(options.run).size() > 1)
        return refuse(QStringLiteral("--run takes one program."));

    const int chosen = int(parser.isSet(options.run)) + int(parser.isSet(options.list)) + int(parser.isSet(options.stop)) +
                       int(parser.isSet(help)) +
                       int(parser.isSet(version));
    if (chosen > 1)
        return refuse(QStringLiteral("Use one of --run, --list, --stop, --help and --version at a time."));
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")))
        line.action = CommandLine::Action::Help;
    else if (parser.isSet(version))
        line.action = CommandLine::Action::Version;
    else if (parser.isSet(options.list))
        line.action = CommandLine::Action::List;
    else if (parser.isSet(options.stop))
        line.action = CommandLine::Action::Stop;
    else if (parser.isSet(options.run)) {
        line.action = CommandLine::Action::Run;
        line.program = parser.value(options.run).toStdString();
    }
    return line;
}

std::string CommandLineHelp()
{
    QCommandLineParser parser;
    const Options options;
    Define(parser, options);
    return parser.helpText().toStdString();
}

}  // namespace kestrun

#include "qt/commandline.h"

#include <QCommandLineParser>

namespace {
constexpr int UsageExitCode = 2;

#ifdef Q_OS_WIN
const QString DefaultCom1 = QStringLiteral("COM1");
const QString DefaultCom2 = QStringLiteral("COM2");
#else
const QString DefaultCom1 = QStringLiteral("/dev/ttyS0");
const QString DefaultCom2 = QStringLiteral("/dev/ttyS1");
#endif
} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Drives a data projector over an RS-232C serial line."));
    const QCommandLineOption com1(QStringLiteral("com1"),
                                  QStringLiteral("The device that is COM1 (default %1).").arg(DefaultCom1),
                                  QStringLiteral("DEVICE"), DefaultCom1);
    const QCommandLineOption com2(QStringLiteral("com2"),
                                  QStringLiteral("The device that is COM2 (default %1).").arg(DefaultCom2),
                                  QStringLiteral("DEVICE"), DefaultCom2);
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Connect COM1 and COM2 to simulated projectors on pseudo-terminals."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOptions({com1, com2, simulate});

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.exitCode = UsageExitCode;
        result.error = QStringLiteral("tavo-console: %1 (see --help)").arg(parser.errorText());
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.exitCode = UsageExitCode;
        result.error = QStringLiteral("tavo-console: unexpected argument '%1' (see --help)")
                           .arg(parser.positionalArguments().first());
        return result;
    }
    if (parser.isSet(help)) {
        result.output = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.output = ConsoleVersion + QLatin1Char('\n');
        return result;
    }
    if (parser.isSet(simulate) && (parser.isSet(com1) || parser.isSet(com2))) {
        result.exitCode = UsageExitCode;
        result.error = QStringLiteral("tavo-console: --simulate names its own devices (see --help)");
        return result;
    }
    result.run = true;
    result.options = {parser.value(com1), parser.value(com2), parser.isSet(simulate)};
    return result;
}

#include "app/Program.h"

#include "app/CommandLine.h"
#include "console/ConsoleInteraction.h"
#include "platform/Paths.h"
#include "platform/ProgramModules.h"
#include "platform/RunFolder.h"
#include "session/DesktopShell.h"
#include "session/WindowlessConvertForm.h"
#include "text/StringTable.h"
#include "text/TextFormat.h"
#include "text/TextIds.h"
#include "ui/WindowModule.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

constexpr int ExitAnswered = 0; // --help and --version

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Qt's notes about a desktop session mean nothing to someone running a script.
void quietConsoleMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg || type == QtInfoMsg || message.startsWith(QLatin1String("QStandardPaths:")))
        return;
    QTextStream(stderr) << message << Qt::endl;
}

// Runs without a display: no widgets at all, the user is on the console.
int runOnConsole(int argc, char** argv, const CommandLine& commandLine, const QString& programName)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tabulon"));
    const ResourceLibraryGuard satellite;
    QTextStream in(stdin);
    QTextStream err(stderr);
    ConsoleInteraction interaction(in, err, isatty(STDIN_FILENO) != 0);
    if (commandLine.mode == CommandLine::Mode::Dialog)
        interaction.showMessage(MessageKind::Error, LoadLocalizedString(TextId::NoDisplay));

    WindowlessConvertForm form;
    form.LoadSettings();
    DesktopShell shell;
    form.setServices(&interaction, &shell);
    // The usage is shown only when the arguments ask for no run.
    const bool run = commandLine.mode == CommandLine::Mode::Generate;
    return RunCommandLine(form, interaction, commandLine, run ? QString() : UsageText(programName));
}

// Runs with a display: the window module has the window and everything it shows.
int runWithWindow(int& argc, char** argv, const CommandLine& commandLine, const QString& programName)
{
    const ModuleExport module = ResolveModuleExport(QString::fromLatin1(WindowModuleName), RunWindowSymbol);
    const auto runWindow = reinterpret_cast<RunWindowFunction>(module.function);
    if (!runWindow) {
        std::fprintf(stderr, "Error: The window could not be loaded:%s\n", qUtf8Printable(module.errors));
        return ExitUnexpectedFailure;
    }
    return runWindow(argc, argv, commandLine, UsageText(programName));
}

// The name the user started the program by, for the usage's syntax line.
QString programNameOf(int argc, char** argv)
{
    const QString name = argc > 0 ? Paths::fileName(QString::fromLocal8Bit(argv[0])) : QString();
    return name.isEmpty() ? QStringLiteral("tabulon") : name;
}

// Answers that need no window and no run: the texts come from the catalogue all the same.
std::optional<int> answerAtOnce(int argc, char** argv, const CommandLine& commandLine, int undecodable,
                                const QString& programName)
{
    if (undecodable == 0 && commandLine.mode != CommandLine::Mode::Help &&
        commandLine.mode != CommandLine::Mode::Version)
        return std::nullopt;
    QCoreApplication app(argc, argv);
    const ResourceLibraryGuard satellite;
    if (undecodable != 0) {
        QTextStream(stderr) << LoadLocalizedString(TextId::CaptionError) << QStringLiteral(": ")
                            << FormatText(LoadLocalizedString(TextId::ArgumentNotText), {QString::number(undecodable)})
                            << Qt::endl;
        return ExitNotWritten;
    }
    QTextStream out(stdout);
    if (commandLine.mode == CommandLine::Mode::Help)
        out << HelpText(programName);
    else
        out << QStringLiteral("%1 %2\n").arg(programName, QStringLiteral(TABULON_VERSION));
    out.flush();
    return ExitAnswered;
}

} // namespace

int RunProgram(int& argc, char** argv)
{
    InstallInterruptCleanup();
    const DecodedArguments decoded = DecodeArguments(argc, argv);
    const CommandLine commandLine = ParseCommandLine(decoded.arguments);
    const QString programName = programNameOf(argc, argv);
    if (const std::optional<int> answered = answerAtOnce(argc, argv, commandLine, decoded.undecodable, programName))
        return *answered;
    // Without a display a command-line run still works, talking to the user on the console;
    // the window cannot, unless a platform was chosen explicitly (tests use offscreen).
    const bool console = !hasDisplay() && (commandLine.mode != CommandLine::Mode::Dialog ||
                                           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"));
    if (console) {
        qInstallMessageHandler(quietConsoleMessages);
        return runOnConsole(argc, argv, commandLine, programName);
    }

    return runWithWindow(argc, argv, commandLine, programName);
}

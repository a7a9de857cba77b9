#include "app/Program.h"

#include "app/CommandLine.h"
#include "console/ConsoleInteraction.h"
#include "platform/Failure.h"
#include "platform/Paths.h"
#include "platform/RunFolder.h"
#include "session/WindowlessConvertForm.h"
#include "text/StringTable.h"
#include "text/TextFormat.h"
#include "text/TextIds.h"
#include "ui/DesktopShell.h"
#include "ui/QtInteraction.h"
#include "ui/TConvertForm.h"
#include "ui/TUserValueForm.h"

#include <QApplication>
#include <QTextStream>

#include <memory>
#include <optional>
#include <unistd.h>

namespace {

// Exit statuses of command-line mode: scripts may trust a zero.
constexpr int ExitWritten = 0;
constexpr int ExitUnexpectedFailure = 1;
constexpr int ExitNotWritten = 2;
constexpr int ExitAnswered = 0; // --help and --version

struct SatelliteGuard
{
    SatelliteGuard() { LoadResourceLibrary(); }
    ~SatelliteGuard() { FreeResourceLibrary(); }
    SatelliteGuard(const SatelliteGuard&) = delete;
    SatelliteGuard& operator=(const SatelliteGuard&) = delete;
};

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

template <typename Generate>
int generateOnce(UserInteraction& interaction, Generate generate)
{
    try {
        return generate() == GenerateOutcome::Written ? ExitWritten : ExitNotWritten;
    } catch (const UnexpectedFailure& failure) {
        interaction.showApplicationError(failure.description());
    } catch (const std::exception& failure) {
        interaction.showApplicationError(QString::fromLocal8Bit(failure.what()));
    }
    return ExitUnexpectedFailure;
}

// The one route of every run that is not the dialog: the window's state, shown or not, is filled
// from the command line and OK is pressed once.
int runCommandLine(ConvertFormState& form, UserInteraction& interaction, const CommandLine& commandLine,
                   const QString& programName)
{
    if (commandLine.mode != CommandLine::Mode::Generate) {
        interaction.showMessage(MessageKind::Plain, UsageText(programName));
        return ExitNotWritten;
    }
    form.setSourcePath(commandLine.sourcePath);
    form.StyleSheetPath = commandLine.styleSheetPath;
    if (!commandLine.outputFileName.isEmpty())
        form.OutputFileName = commandLine.outputFileName;
    return generateOnce(interaction, [&form] { return form.OKBtnClick(); });
}

// Runs without a display: no widgets at all, the user is on the console.
int runOnConsole(int argc, char** argv, const CommandLine& commandLine, const QString& programName)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tabulon"));
    const SatelliteGuard satellite;
    QTextStream in(stdin);
    QTextStream err(stderr);
    ConsoleInteraction interaction(in, err, isatty(STDIN_FILENO) != 0);
    if (commandLine.mode == CommandLine::Mode::Dialog)
        interaction.showMessage(MessageKind::Error, LoadLocalizedString(TextId::NoDisplay));

    WindowlessConvertForm form;
    form.LoadSettings();
    DesktopShell shell;
    form.setServices(&interaction, &shell);
    return runCommandLine(form, interaction, commandLine, programName);
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
    const SatelliteGuard satellite;
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

int RunProgram(int argc, char** argv)
{
    InstallInterruptCleanup();
    int undecodable = 0;
    const CommandLine commandLine = ParseCommandLine(DecodeArguments(argc, argv, undecodable));
    const QString programName = programNameOf(argc, argv);
    if (const std::optional<int> answered = answerAtOnce(argc, argv, commandLine, undecodable, programName))
        return *answered;
    // Without a display a command-line run still works, talking to the user on the console;
    // the window cannot, unless a platform was chosen explicitly (tests use offscreen).
    const bool console = !hasDisplay() && (commandLine.mode != CommandLine::Mode::Dialog ||
                                           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"));
    if (console) {
        qInstallMessageHandler(quietConsoleMessages);
        return runOnConsole(argc, argv, commandLine, programName);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tabulon"));
    // After the application, which knows the program's folder; before any window or text.
    const SatelliteGuard satellite;

    const bool dialog = commandLine.mode == CommandLine::Mode::Dialog;
    TConvertForm form(dialog ? ConvertFormState::RunMode::Dialog : ConvertFormState::RunMode::CommandLine);
    // One value prompt for the whole run, reused for every question, centred on the window.
    TUserValueForm userValueForm(&form);
    DesktopShell shell;
    QtInteraction interaction(form,
                              [&userValueForm](const ValueQuestion& question) { return userValueForm.ask(question); });
    form.setServices(&interaction, &shell);
    if (!dialog)
        return runCommandLine(form, interaction, commandLine, programName);
    form.show();
    return QApplication::exec();
}

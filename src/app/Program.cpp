#include "app/Program.h"

#include "app/CommandLine.h"
#include "console/ConsoleInteraction.h"
#include "pipeline/Viewing.h"
#include "platform/Failure.h"
#include "platform/RunFolder.h"
#include "text/StringTable.h"
#include "ui/DesktopShell.h"
#include "ui/QtInteraction.h"
#include "ui/TConvertForm.h"
#include "ui/TUserValueForm.h"

#include <QApplication>
#include <QLineEdit>
#include <QTextStream>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// Exit statuses of command-line mode: scripts may trust a zero.
constexpr int ExitWritten = 0;
constexpr int ExitUnexpectedFailure = 1;
constexpr int ExitNotWritten = 2;

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

// Runs without a display: no widgets at all, the user is on the console.
int runOnConsole(int argc, char** argv, const CommandLine& commandLine)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tabulon"));
    const SatelliteGuard satellite;
    QTextStream in(stdin);
    QTextStream err(stderr);
    ConsoleInteraction interaction(in, err, isatty(STDIN_FILENO) != 0);
    if (commandLine.mode != CommandLine::Mode::Generate) {
        if (commandLine.mode == CommandLine::Mode::Dialog)
            interaction.showMessage(MessageKind::Error,
                                    QStringLiteral("There is no display to show the window on. Without one, name the "
                                                   "source file and the style sheet on the command line."));
        interaction.showMessage(MessageKind::Plain, UsageText());
        return ExitNotWritten;
    }
    GenerateFields form;
    form.source = commandLine.sourcePath;
    form.sheet = commandLine.styleSheetPath;
    form.output = commandLine.outputFileName;
    form.viewer = QString::fromUtf16(DefaultTextViewer);
    DesktopShell shell;
    return generateOnce(interaction, [&] { return RunGenerateOperation(form, interaction, shell); });
}

} // namespace

int RunProgram(int argc, char** argv)
{
    InstallInterruptCleanup();
    QString undecodable;
    const CommandLine commandLine = ParseCommandLine(DecodeArguments(argc, argv, undecodable));
    if (!undecodable.isEmpty()) {
        std::fprintf(stderr, "Error: %s\n", qUtf8Printable(undecodable));
        return ExitNotWritten;
    }
    // Without a display a command-line run still works, talking to the user on the console;
    // the window cannot, unless a platform was chosen explicitly (tests use offscreen).
    const bool console = !hasDisplay() && (commandLine.mode != CommandLine::Mode::Dialog ||
                                           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"));
    if (console) {
        qInstallMessageHandler(quietConsoleMessages);
        return runOnConsole(argc, argv, commandLine);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tabulon"));
    // After the application, which knows the program's folder; before any window or text.
    const SatelliteGuard satellite;

    TConvertForm form;
    // One value prompt for the whole run, reused for every question.
    TUserValueForm userValueForm;
    DesktopShell shell;
    QtInteraction interaction(form,
                              [&userValueForm](const ValueQuestion& question) { return userValueForm.ask(question); });
    form.setServices(&interaction, &shell);

    switch (commandLine.mode) {
    case CommandLine::Mode::Dialog:
        form.show();
        return QApplication::exec();
    case CommandLine::Mode::Usage:
        interaction.showMessage(MessageKind::Plain, UsageText());
        return ExitNotWritten;
    case CommandLine::Mode::Generate:
        break;
    }

    form.setCommandLineMode(true);
    form.SurmexFileEditBox->setText(commandLine.sourcePath);
    form.StyleSheetPath = commandLine.styleSheetPath;
    if (!commandLine.outputFileName.isEmpty())
        form.OutputFileName = commandLine.outputFileName;
    return generateOnce(interaction, [&form] { return form.OKBtnClick(); });
}

#include "app/Program.h"

#include "app/CommandLine.h"
#include "app/StringTable.h"
#include "pipeline/ConsoleInteraction.h"
#include "platform/Failure.h"
#include "ui/DesktopShell.h"
#include "ui/QtInteraction.h"
#include "ui/TConvertForm.h"

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

// The offscreen platform complains about a desktop session it does not need.
void quietConsoleMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg || type == QtInfoMsg || message.startsWith(QLatin1String("QStandardPaths:")))
        return;
    QTextStream(stderr) << message << Qt::endl;
}

QStringList argumentsOf(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

} // namespace

int RunProgram(int argc, char** argv)
{
    const CommandLine commandLine = ParseCommandLine(argumentsOf(argc, argv));
    // Without a display a command-line run still works, talking to the user on the console.
    const bool console = !hasDisplay() && commandLine.mode != CommandLine::Mode::Dialog;
    if (console) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(quietConsoleMessages);
    }

    const SatelliteGuard satellite;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tabulon"));

    TConvertForm form;
    DesktopShell shell;
    QTextStream in(stdin);
    QTextStream err(stderr);
    std::unique_ptr<UserInteraction> interaction;
    if (console)
        interaction = std::make_unique<ConsoleInteraction>(in, err, isatty(STDIN_FILENO) != 0);
    else
        interaction = std::make_unique<QtInteraction>(&form, form.FileOpenDialog, form.SaveDialog1, nullptr);
    form.setServices(interaction.get(), &shell);

    switch (commandLine.mode) {
    case CommandLine::Mode::Dialog:
        form.show();
        return QApplication::exec();
    case CommandLine::Mode::Usage:
        interaction->showMessage(MessageKind::Plain, UsageText());
        return ExitNotWritten;
    case CommandLine::Mode::Generate:
        break;
    }

    form.setCommandLineMode(true);
    form.SurmexFileEditBox->setText(commandLine.sourcePath);
    form.StyleSheetPath = commandLine.styleSheetPath;
    if (!commandLine.outputFileName.isEmpty())
        form.OutputFileName = commandLine.outputFileName;
    try {
        return form.OKBtnClick() == GenerateOutcome::Written ? ExitWritten : ExitNotWritten;
    } catch (const UnexpectedFailure& failure) {
        interaction->showApplicationError(failure.description());
    } catch (const std::exception& failure) {
        interaction->showApplicationError(QString::fromLocal8Bit(failure.what()));
    }
    return ExitUnexpectedFailure;
}

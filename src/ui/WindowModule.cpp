#include "ui/WindowModule.h"

#include "platform/RunFolder.h"
#include "session/DesktopShell.h"
#include "text/StringTable.h"
#include "ui/QtInteraction.h"
#include "ui/TConvertForm.h"
#include "ui/TUserValueForm.h"

#include <QApplication>

extern "C" Q_DECL_EXPORT int tabulonRunWindow(int& argc, char** argv, const CommandLine& commandLine,
                                              const QString& usage)
{
    static_assert(std::is_same_v<decltype(&tabulonRunWindow), RunWindowFunction>);
    // The module has its own copy of the run folder's state: its interrupt handler must be the one
    // that knows the folders this run creates.
    InstallInterruptCleanup();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tabulon"));
    // After the application, which knows the program's folder; before any window or text.
    const ResourceLibraryGuard satellite;

    const bool dialog = commandLine.mode == CommandLine::Mode::Dialog;
    TConvertForm form(dialog ? ConvertFormState::RunMode::Dialog : ConvertFormState::RunMode::CommandLine);
    // One value prompt for the whole run, reused for every question, centred on the window.
    TUserValueForm userValueForm(&form);
    DesktopShell shell;
    QtInteraction interaction(form,
                              [&userValueForm](const ValueQuestion& question) { return userValueForm.ask(question); });
    form.setServices(&interaction, &shell);
    if (!dialog)
        return RunCommandLine(form, interaction, commandLine, usage);
    form.show();
    return QApplication::exec();
}

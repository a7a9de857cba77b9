#include "session/CommandLineRun.h"

#include "platform/Failure.h"
#include "platform/UserInteraction.h"
#include "session/ConvertFormState.h"

#include <cstdio>
#include <new>

namespace {

// Memory may still be short while the message is written: then a fixed line that needs none.
void reportOutOfMemory(UserInteraction& interaction) noexcept
{
    try {
        interaction.showApplicationError(QStringLiteral("Out of memory"));
    } catch (...) {
        std::fputs("Out of memory\n", stderr);
    }
}

} // namespace

int RunCommandLine(ConvertFormState& form, UserInteraction& interaction, const CommandLine& commandLine,
                   const QString& usage)
{
    if (commandLine.mode != CommandLine::Mode::Generate) {
        interaction.showMessage(MessageKind::Plain, usage);
        return ExitNotWritten;
    }
    form.setSourcePath(commandLine.sourcePath);
    form.StyleSheetPath = commandLine.styleSheetPath;
    if (!commandLine.outputFileName.isEmpty())
        form.OutputFileName = commandLine.outputFileName;
    try {
        return form.OKBtnClick() == GenerateOutcome::Written ? ExitWritten : ExitNotWritten;
    } catch (const UnexpectedFailure& failure) {
        interaction.showApplicationError(failure.description());
    } catch (const std::bad_alloc&) {
        reportOutOfMemory(interaction);
    } catch (const std::exception& failure) {
        interaction.showApplicationError(QString::fromLocal8Bit(failure.what()));
    }
    return ExitUnexpectedFailure;
}

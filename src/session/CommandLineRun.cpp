#include "session/CommandLineRun.h"

#include "platform/Failure.h"
#include "platform/UserInteraction.h"
#include "session/ConvertFormState.h"

#include <cstdio>
#include <new>

namespace {

// A failure is reported where memory may still be short: when even the message cannot be made or
// written, a fixed line that needs none.
template <typename MakeText>
void reportFailure(UserInteraction& interaction, MakeText makeText) noexcept
{
    try {
        interaction.showApplicationError(makeText());
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
        reportFailure(interaction, [&] { return failure.description(); });
    } catch (const std::bad_alloc&) {
        reportFailure(interaction, [] { return QStringLiteral("Out of memory"); });
    } catch (const std::exception& failure) {
        reportFailure(interaction, [&] { return QString::fromLocal8Bit(failure.what()); });
    }
    return ExitUnexpectedFailure;
}

#include "pipeline/OutputSaving.h"

#include "fields/ValueValidation.h"
#include "pipeline/Viewing.h"
#include "platform/Failure.h"
#include "platform/Paths.h"
#include "platform/TempFiles.h"
#include "platform/UserInteraction.h"
#include "text/StringTable.h"
#include "text/TextFormat.h"
#include "text/TextIds.h"
#include "xml/InputFiles.h"
#include "xml/XmlService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

QString GetOutputExtension(const XmlDocument& styleSheet)
{
    for (const XmlNode& variable : styleSheet.getElementsByTagName(QStringLiteral("xsl:variable"))) {
        if (!variable.isElement() || variable.getAttribute(QStringLiteral("name")) != QLatin1String("fileExt"))
            continue;
        const auto select = variable.getAttribute(QStringLiteral("select"));
        if (!select)
            throw UnexpectedFailure(LoadLocalizedString(TextId::FileExtWithoutSelect));
        // Read as user fields write their values, so that "csv" and concat() forms name the extension too.
        return DecodeSelectText(*select);
    }
    return QStringLiteral("txt");
}

void CopyFileReplacing(const QString& from, const QString& to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        throw UnexpectedFailure(FormatText(LoadLocalizedString(TextId::CannotRead), {from, source.errorString()}));

    // Written next to the destination and renamed over it, so a full disk or a cut-off run
    // never leaves a half-written file where the old one was.
    QSaveFile destination(to);
    // Qt's text for a failed flush can be "Unknown error": the system's own reason says "disk full".
    const auto writeFailure = [&to, &destination] {
        const int error = errno;
        return UnexpectedFailure(
            FormatText(LoadLocalizedString(TextId::CannotWrite),
                       {to, error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : destination.errorString()}));
    };
    errno = 0;
    // Unbuffered: Qt drops a failed flush at commit, which would rename a cut-off file into place
    // when the disk fills; written directly, every short write is seen here.
    if (!destination.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw writeFailure();
    // Large enough for few system calls, small enough for the allocator to have at hand.
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 read = source.read(buffer.data(), buffer.size());
        if (read < 0)
            throw UnexpectedFailure(FormatText(LoadLocalizedString(TextId::CannotRead), {from, source.errorString()}));
        if (read == 0)
            break;
        errno = 0;
        if (destination.write(buffer.constData(), read) != read)
            throw writeFailure();
    }
    // The new file takes the old one's place with its permission bits, read-only ones included.
    const QByteArray target = QFile::encodeName(to);
    struct stat old;
    const bool replacing = ::stat(target.constData(), &old) == 0 && S_ISREG(old.st_mode);
    errno = 0;
    if (!destination.commit())
        throw writeFailure();
    if (replacing && ::chmod(target.constData(), old.st_mode & 07777) != 0)
        throw UnexpectedFailure(FormatText(LoadLocalizedString(TextId::PermissionsNotKept),
                                           {to, QString::fromLocal8Bit(std::strerror(errno))}));
}

namespace {

// Why the output may not go to path; empty when it may.
QString destinationRefusal(const QString& path, const InputFiles& inputs, bool commandLine)
{
    if (Paths::endsWithSeparator(path))
        return FormatText(LoadLocalizedString(TextId::OutputEndsInSeparator), {path});
    const QFileInfo target(path);
    if (target.isDir())
        return FormatText(LoadLocalizedString(TextId::OutputIsFolder), {path});
    if (target.exists() && !target.isFile())
        return FormatText(LoadLocalizedString(TextId::OutputIsSpecial), {path});
    // The dialog asks before replacing; a command line would destroy the job or the style sheet unasked.
    if (commandLine && inputs.contains(path))
        return FormatText(LoadLocalizedString(TextId::OutputIsInput), {path});
    return {};
}

} // namespace

std::optional<OutputDestination> OutputDestination::accept(const QString& path, const InputFiles& inputs,
                                                           bool commandLine, UserInteraction& ui)
{
    const QString refusal = destinationRefusal(path, inputs, commandLine);
    if (!refusal.isEmpty()) {
        ui.showMessage(MessageKind::Error, refusal);
        return std::nullopt;
    }
    return OutputDestination(path);
}

bool IsFinalOutputFileName(const QString& name)
{
    return Paths::hasExtension(name) || Paths::endsWithSeparator(name);
}

GenerateOutcome SaveOutputFile(GenerateForm& form, UserInteraction& ui, Shell& shell, const QString& defaultName,
                               const QString& extension, TempFileGuard& tempFile, const InputFiles& inputs)
{
    // The extension comes from the style sheet: it must not steer the output into another folder.
    if (Paths::isUnsafeNamePart(extension))
        throw UnexpectedFailure(FormatText(LoadLocalizedString(TextId::InvalidExtension), {extension}));

    if (!form.outputFileName().isEmpty()) {
        // A name ending in a separator is final: it is refused as it is, not turned into a hidden
        // file in that folder.
        if (!IsFinalOutputFileName(form.outputFileName()))
            form.setOutputFileName(form.outputFileName() + u'.' + extension);
        const auto destination = OutputDestination::accept(form.outputFileName(), inputs, form.commandLineMode(), ui);
        if (!destination)
            return GenerateOutcome::NotWritten;
        CopyFileReplacing(tempFile.path(), destination->path());
        tempFile.reset();
        return GenerateOutcome::Written;
    }

    SaveFileRequest request;
    request.defaultExtension = extension;
    request.fileName = defaultName + u'.' + extension;
    request.filterDescription =
        FormatText(LoadLocalizedString(TextId::SaveFilterFiles), {Paths::baseName(form.styleSheetPath())}) +
        QStringLiteral(" (*.") + extension + u')';
    request.filterPattern = QStringLiteral("*.") + extension;

    const std::optional<QString> chosen = ui.askSaveFile(request);
    const auto destination =
        chosen ? OutputDestination::accept(*chosen, inputs, form.commandLineMode(), ui) : std::nullopt;
    if (!destination) {
        tempFile.reset();
        return GenerateOutcome::NotWritten;
    }
    CopyFileReplacing(tempFile.path(), destination->path());
    tempFile.reset();

    const QString& saved = destination->path();
    if (form.viewFile()) {
        // The file is saved either way; the user must not be left waiting for a window that never comes.
        if (!OpenGeneratedFile(saved, form.textFileViewer(), shell))
            ui.showMessage(MessageKind::Warning, NotOpenedMessage(saved, form.textFileViewer()));
    } else
        ui.showMessage(MessageKind::Information, FormatText(LoadLocalizedString(TextId::FileCreated), {saved}));
    return GenerateOutcome::Written;
}

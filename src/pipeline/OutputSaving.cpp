#include "pipeline/OutputSaving.h"

#include "fields/ValueValidation.h"
#include "pipeline/Viewing.h"
#include "platform/Failure.h"
#include "platform/Paths.h"
#include "platform/RunFolder.h"
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
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

UnexpectedFailure systemFailure(int textId, const QString& path, int error)
{
    return UnexpectedFailure(
        FormatText(LoadLocalizedString(textId), {path, QString::fromLocal8Bit(std::strerror(error))}));
}

// Qt's text for a failed flush can be "Unknown error": the system's own reason says "disk full".
UnexpectedFailure writeFailure(const QString& to, int error, const QFileDevice& device)
{
    return error != 0
               ? systemFailure(TextId::CannotWrite, to, error)
               : UnexpectedFailure(FormatText(LoadLocalizedString(TextId::CannotWrite), {to, device.errorString()}));
}

void openForReading(QFile& source)
{
    if (!source.open(QIODevice::ReadOnly))
        throw UnexpectedFailure(
            FormatText(LoadLocalizedString(TextId::CannotRead), {source.fileName(), source.errorString()}));
}

// Copies what source holds from where it stands to its end. Both are unbuffered: Qt drops a failed
// flush at a save file's commit, which would rename a cut-off file into place when the disk
// fills; written directly, every short write is seen here.
void copyContent(QFile& source, const QString& from, QFileDevice& destination, const QString& to)
{
    // Large enough for few system calls, small enough for the allocator to have at hand.
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 read = source.read(buffer.data(), buffer.size());
        if (read < 0)
            throw UnexpectedFailure(FormatText(LoadLocalizedString(TextId::CannotRead), {from, source.errorString()}));
        if (read == 0)
            return;
        errno = 0;
        if (destination.write(buffer.constData(), read) != read)
            throw writeFailure(to, errno, destination);
    }
}

void copyReplacing(QFile& source, const QString& from, const QString& to)
{
    // Written next to the destination and renamed over it, so a full disk or a cut-off run
    // never leaves a half-written file where the old one was.
    QSaveFile destination(to);
    errno = 0;
    if (!destination.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw writeFailure(to, errno, destination);
    copyContent(source, from, destination, to);
    // The new file takes the old one's place with its permission bits, read-only ones included.
    const QByteArray target = QFile::encodeName(to);
    struct stat old;
    const bool replacing = ::stat(target.constData(), &old) == 0 && S_ISREG(old.st_mode);
    errno = 0;
    if (!destination.commit())
        throw writeFailure(to, errno, destination);
    if (replacing && ::chmod(target.constData(), old.st_mode & 07777) != 0)
        throw systemFailure(TextId::PermissionsNotKept, to, errno);
}

// Links an unnamed output into place with the copy's guarantees: its data on disk before it
// replaces anything, the replacement atomic, the old file untouched until then. False where it
// is to be copied instead: a named output, another file system, no /proc, or a destination the
// copy treats on its own terms (a link, which it follows; a file it may not write, which it
// refuses; a folder that does not exist, which it reports).
bool linkIntoPlace(const TempOutputFile& output, const QString& to)
{
    if (!output.path().isEmpty())
        return false;
    const QByteArray target = QFile::encodeName(to);
    struct stat old;
    const bool replacing = ::lstat(target.constData(), &old) == 0;
    if (replacing ? !S_ISREG(old.st_mode) || ::access(target.constData(), W_OK) != 0 : errno != ENOENT)
        return false;
    const int fd = output.descriptor();
    if (replacing && ::fchmod(fd, old.st_mode & 07777) != 0)
        throw systemFailure(TextId::PermissionsNotKept, to, errno);
    if (::fdatasync(fd) != 0)
        throw systemFailure(TextId::CannotWrite, to, errno);

    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    // An interrupt must not come between the link beside the old file and the rename over it.
    const InterruptsHeldBack held;
    // A new name is linked at once; an old file is replaced by a rename from beside it.
    if (!replacing) {
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST)
            return false;
    }
    const QByteArray beside = target + ".tabulon-" + QByteArray::number(::getpid());
    if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, beside.constData(), AT_SYMLINK_FOLLOW) != 0)
        return false;
    if (::rename(beside.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(beside.constData());
        throw systemFailure(TextId::CannotWrite, to, error);
    }
    return true;
}

// The name messages give the output: an unnamed one is in the temporary folder.
QString shownName(const TempOutputFile& output)
{
    return output.path().isEmpty() ? GetTempFolder() : output.path();
}

// The output as a file from its start; it stays open when the object goes.
void openOutput(QFile& file, const TempOutputFile& output, QIODevice::OpenMode mode)
{
    if (::lseek(output.descriptor(), 0, SEEK_SET) != 0 ||
        !file.open(output.descriptor(), mode | QIODevice::Unbuffered, QFileDevice::DontCloseHandle))
        throw UnexpectedFailure(
            FormatText(LoadLocalizedString(TextId::CannotOpen), {shownName(output), file.errorString()}));
}

} // namespace

void CopyFileReplacing(const QString& from, const QString& to)
{
    QFile source(from);
    openForReading(source);
    copyReplacing(source, from, to);
}

void PlaceOutputFile(const TempOutputFile& output, const QString& to)
{
    if (linkIntoPlace(output, to))
        return;
    QFile source;
    openOutput(source, output, QIODevice::ReadOnly);
    copyReplacing(source, shownName(output), to);
}

void FillOutputFile(const TempOutputFile& output, const QString& from)
{
    QFile source(from);
    openForReading(source);
    QFile destination;
    openOutput(destination, output, QIODevice::WriteOnly);
    copyContent(source, from, destination, shownName(output));
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
                               const QString& extension, TempOutputFile& tempFile, const InputFiles& inputs)
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
        PlaceOutputFile(tempFile, destination->path());
        tempFile.discard();
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
        tempFile.discard();
        return GenerateOutcome::NotWritten;
    }
    PlaceOutputFile(tempFile, destination->path());
    tempFile.discard();

    const QString& saved = destination->path();
    if (form.viewFile()) {
        // The file is saved either way; the user must not be left waiting for a window that never comes.
        if (!OpenGeneratedFile(saved, form.textFileViewer(), shell))
            ui.showMessage(MessageKind::Warning, NotOpenedMessage(saved, form.textFileViewer()));
    } else
        ui.showMessage(MessageKind::Information, FormatText(LoadLocalizedString(TextId::FileCreated), {saved}));
    return GenerateOutcome::Written;
}

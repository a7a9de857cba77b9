#include "pipeline/OutputSaving.h"

#include "pipeline/ValueValidation.h"
#include "pipeline/Viewing.h"
#include "pipeline/XmlService.h"
#include "platform/Failure.h"
#include "platform/Paths.h"
#include "platform/TempFiles.h"
#include "platform/UserInteraction.h"
#include "text/StringTable.h"
#include "text/TextFormat.h"
#include "text/TextIds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

QString GetOutputExtension(const XmlDocument& styleSheet)
{
    for (const XmlNode& variable : styleSheet.getElementsByTagName(QStringLiteral("xsl:variable"))) {
        if (!variable.isElement() || variable.getAttribute(QStringLiteral("name")) != QLatin1String("fileExt"))
            continue;
        const auto select = variable.getAttribute(QStringLiteral("select"));
        if (!select)
            throw UnexpectedFailure(
                QStringLiteral("The style sheet's fileExt variable has no select attribute, so the output "
                               "extension cannot be read."));
        // Read as user fields write their values, so that "csv" and concat() forms name the extension too.
        return DecodeSelectText(*select);
    }
    return QStringLiteral("txt");
}

void CopyFileReplacing(const QString& from, const QString& to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        throw UnexpectedFailure(QStringLiteral("Cannot read %1: %2").arg(from, source.errorString()));
    if (QFileInfo(to).isDir())
        throw UnexpectedFailure(QStringLiteral("Cannot write %1: it is a folder").arg(to));

    // Written next to the destination and renamed over it, so a full disk or a cut-off run
    // never leaves a half-written file where the old one was.
    QSaveFile destination(to);
    if (!destination.open(QIODevice::WriteOnly))
        throw UnexpectedFailure(QStringLiteral("Cannot write %1: %2").arg(to, destination.errorString()));
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 read = source.read(buffer.data(), buffer.size());
        if (read < 0)
            throw UnexpectedFailure(QStringLiteral("Cannot read %1: %2").arg(from, source.errorString()));
        if (read == 0)
            break;
        if (destination.write(buffer.constData(), read) != read)
            throw UnexpectedFailure(QStringLiteral("Cannot write %1: %2").arg(to, destination.errorString()));
    }
    if (!destination.commit())
        throw UnexpectedFailure(QStringLiteral("Cannot write %1: %2").arg(to, destination.errorString()));
}

GenerateOutcome SaveOutputFile(GenerateForm& form, UserInteraction& ui, Shell& shell, const QString& defaultName,
                               const QString& extension, TempFileGuard& tempFile)
{
    // The extension comes from the style sheet: it must not steer the output into another folder.
    if (Paths::isUnsafeNamePart(extension))
        throw UnexpectedFailure(
            QStringLiteral("The style sheet declares the output extension \"%1\", which is not a valid extension.")
                .arg(extension));

    if (!form.outputFileName().isEmpty()) {
        if (!Paths::hasExtension(form.outputFileName()))
            form.setOutputFileName(form.outputFileName() + u'.' + extension);
        CopyFileReplacing(tempFile.path(), form.outputFileName());
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
    if (!chosen) {
        tempFile.reset();
        return GenerateOutcome::NotWritten;
    }
    CopyFileReplacing(tempFile.path(), *chosen);
    tempFile.reset();

    if (form.viewFile())
        OpenGeneratedFile(*chosen, form.textFileViewer(), shell);
    else
        ui.showMessage(MessageKind::Information, FormatText(LoadLocalizedString(TextId::FileCreated), {*chosen}));
    return GenerateOutcome::Written;
}

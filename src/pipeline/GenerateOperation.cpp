#include "pipeline/GenerateOperation.h"

#include "convert/ConverterDiscovery.h"
#include "convert/JobConversion.h"
#include "convert/ReductionErrors.h"
#include "pipeline/OutputSaving.h"
#include "pipeline/RoadDesign.h"
#include "pipeline/UserFields.h"
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

#include <QFile>
#include <QLocale>
#include <QTextStream>

#include <optional>

namespace {

const QString LineBreak = QStringLiteral("\r\n");

// The three lines shown when a file does not load: what, where; the error number; the reason.
QString loadFailureText(int whatId, const QString& path, const XmlParseError& error)
{
    return LoadLocalizedString(whatId) + QStringLiteral(" (") + path + u')' + LineBreak +
           LoadLocalizedString(TextId::ErrorNumber) + u' ' + QString::number(error.errorCode) + LineBreak +
           LoadLocalizedString(TextId::Reason) + u' ' + error.reason;
}

GenerateOutcome runBuiltInFormat(GenerateForm& form, UserInteraction& ui, Shell& shell, const QString& xmlSourcePath,
                                 TempFileGuard& tempOutput, const InputFiles& inputs)
{
    // A source that cannot be copied would otherwise be "saved" as an empty file.
    CopyFileReplacing(xmlSourcePath, tempOutput.path());
    const QString extension = QStringLiteral("smx");
    QString defaultName = Paths::withoutExtension(form.sourcePath());
    // Proposing the source itself would have one click replace the job with its own copy.
    if (inputs.contains(defaultName + u'.' + extension))
        defaultName += QStringLiteral("-copy");
    return SaveOutputFile(form, ui, shell, defaultName, extension, tempOutput, inputs);
}

} // namespace

bool IsBuiltInFormat(const QString& text)
{
    const QLocale locale;
    return locale.toUpper(Paths::baseName(text)) == locale.toUpper(QString::fromUtf16(BuiltInFormatName));
}

GenerateOutcome RunGenerateOperation(GenerateForm& form, UserInteraction& ui, Shell& shell)
{
    const QString sourcePath = form.sourcePath();
    if (sourcePath.isEmpty()) {
        ui.showMessage(MessageKind::Error, LoadLocalizedString(TextId::SourceRequired));
        return GenerateOutcome::NotWritten;
    }

    // Every temporary file of the run lives in a folder of its own, removed on every way out.
    const RunFolder runFolder;
    // What the run reads must survive it: the output may not replace any of these.
    InputFiles inputs;
    inputs.add(sourcePath);
    inputs.add(form.styleSheetPath());
    if (RefuseOutputFileNameEarly(form, inputs, ui))
        return GenerateOutcome::NotWritten;

    // Removes the converted Surmex file on every way out, whatever the run's fate.
    TempFileGuard convertedFile;
    QString xmlSourcePath;
    if (Paths::extensionWithDot(sourcePath).toUpper() == QLatin1String(".JOB")) {
        QString convertedPath;
        QString geoDataFolder;
        const bool converted = ConvertJobFile(sourcePath, runFolder.path(), convertedPath, geoDataFolder, ui);
        convertedFile.reset(convertedPath);
        if (!converted) {
            QString message = LoadLocalizedString(TextId::JobNotConverted);
            if (!AnyConverterRegistered())
                message += LineBreak +
                           FormatText(LoadLocalizedString(TextId::NoConverterRegistered), {ConverterRegistryFile()});
            ui.showMessage(MessageKind::Error, message);
            return GenerateOutcome::NotWritten;
        }
        CheckReductionErrors(convertedPath, geoDataFolder, ui);
        xmlSourcePath = convertedPath;
    }

    XmlDocument sourceDocument;
    TempFileGuard tempOutput(NewTempOutputFile(runFolder));
    if (xmlSourcePath.isEmpty())
        xmlSourcePath = form.sourcePath();

    // The command line always applies the style sheet it names, whatever the list last showed.
    if (!form.commandLineMode() && IsBuiltInFormat(form.selectedFormat()))
        return runBuiltInFormat(form, ui, shell, xmlSourcePath, tempOutput, inputs);

    std::optional<BusyCursor> busy(std::in_place, ui);
    if (!sourceDocument.load(xmlSourcePath)) {
        busy.reset();
        ui.showMessage(MessageKind::Plain,
                       loadFailureText(TextId::ErrorLoadingSource, form.sourcePath(), sourceDocument.parseError()));
        return GenerateOutcome::NotWritten;
    }

    XmlDocument styleSheet;
    if (!styleSheet.loadStyleSheet(form.styleSheetPath())) {
        busy.reset();
        ui.showMessage(MessageKind::Plain,
                       loadFailureText(TextId::ErrorLoadingStyleSheet, form.styleSheetPath(), styleSheet.parseError()));
        return GenerateOutcome::NotWritten;
    }

    if (IsLandXmlSource(sourceDocument) && SheetMentionsAlignments(form.styleSheetPath()) &&
        !SelectRoadDesignElements(sourceDocument, styleSheet, ui))
        return GenerateOutcome::NotWritten;

    busy.reset();
    if (!ApplyUserFields(styleSheet, ui))
        return GenerateOutcome::NotWritten;

    QFile output(tempOutput.path());
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw UnexpectedFailure(
            FormatText(LoadLocalizedString(TextId::CannotOpen), {tempOutput.path(), output.errorString()}));
    busy.emplace(ui);
    const QString notes = transformNodeToObject(sourceDocument, styleSheet, output.handle());
    const QString extension = GetOutputExtension(styleSheet);
    const QString defaultName = Paths::baseName(xmlSourcePath);
    busy.reset();
    output.close();
    // What the style sheet says with xsl:message is for whoever runs it, as with any XSLT processor.
    if (form.commandLineMode() && !notes.isEmpty())
        QTextStream(stderr) << notes << Qt::endl;

    return SaveOutputFile(form, ui, shell, defaultName, extension, tempOutput, inputs);
}

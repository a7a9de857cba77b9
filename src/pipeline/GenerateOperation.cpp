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
                                 TempOutputFile& tempOutput, const InputFiles& inputs)
{
    // A source that cannot be copied would otherwise be "saved" as an empty file.
    FillOutputFile(tempOutput, xmlSourcePath);
    const QString extension = QStringLiteral("smx");
    QString defaultName = Paths::withoutExtension(form.sourcePath());
    // Proposing the source itself would have one click replace the job with its own copy.
    if (inputs.contains(defaultName + u'.' + extension))
        defaultName += QStringLiteral("-copy");
    return SaveOutputFile(form, ui, shell, defaultName, extension, tempOutput, inputs);
}

// Loads one of the run's documents; when it cannot be loaded, ends the busy cursor and tells the
// user why (naming the file as shownPath): false then.
bool loadOrTell(XmlDocument& document, bool styleSheet, const QString& path, int whatId, const QString& shownPath,
                std::optional<BusyCursor>& busy, UserInteraction& ui)
{
    if (styleSheet ? document.loadStyleSheet(path) : document.load(path))
        return true;
    busy.reset();
    ui.showMessage(MessageKind::Plain, loadFailureText(whatId, shownPath, document.parseError()));
    return false;
}

// The Surmex file converted from a .job source, or nothing after telling the user it could not be
// converted. convertedFile takes over whatever the conversion wrote.
std::optional<QString> convertJobSource(const QString& jobPath, const RunFolder& runFolder,
                                        TempFileGuard& convertedFile, UserInteraction& ui)
{
    const JobConversion conversion = ConvertJobFile(jobPath, runFolder.path(), ui);
    convertedFile.reset(conversion.convertedPath);
    if (!conversion.converted) {
        QString message = LoadLocalizedString(TextId::JobNotConverted);
        if (!AnyConverterRegistered())
            message +=
                LineBreak + FormatText(LoadLocalizedString(TextId::NoConverterRegistered), {ConverterRegistryFile()});
        ui.showMessage(MessageKind::Error, message);
        return std::nullopt;
    }
    CheckReductionErrors(conversion.convertedPath, conversion.geoDataFolder, ui);
    return conversion.convertedPath;
}

// Transforms into the temporary output file and returns the output extension the sheet declares.
QString transformIntoFile(const XmlDocument& source, const XmlDocument& styleSheet, const TempOutputFile& output,
                          const GenerateForm& form, UserInteraction& ui)
{
    QString notes;
    QString extension;
    {
        const BusyCursor busy(ui);
        notes = transformNodeToObject(source, styleSheet, output.descriptor());
        extension = GetOutputExtension(styleSheet);
    }
    // What the style sheet says with xsl:message is for whoever runs it, as with any XSLT processor.
    if (form.commandLineMode() && !notes.isEmpty())
        QTextStream(stderr) << notes << Qt::endl;
    return extension;
}

} // namespace

bool IsBuiltInFormat(const QString& text)
{
    const QString baseName = Paths::baseName(text);
    // Nothing to compare ignoring case, and every run without a saved style sheet asks this.
    if (baseName.isEmpty())
        return false;
    const QLocale locale;
    return locale.toUpper(baseName) == locale.toUpper(QString::fromUtf16(BuiltInFormatName));
}

GenerateOutcome RunGenerateOperation(GenerateForm& form, UserInteraction& ui, Shell& shell)
{
    const QString sourcePath = form.sourcePath();
    if (sourcePath.isEmpty()) {
        ui.showMessage(MessageKind::Error, LoadLocalizedString(TextId::SourceRequired));
        return GenerateOutcome::NotWritten;
    }

    // The run's temporary files that need a name live in a folder of its own, made when the
    // first is needed and removed on every way out.
    std::optional<RunFolder> runFolder;
    // What the run reads must survive it: the output may not replace any of these.
    InputFiles inputs;
    inputs.add(sourcePath);
    inputs.add(form.styleSheetPath());
    // A command-line output name that is final already is refused before any question is asked;
    // saving accepts it again once the transformation has added the files it read.
    if (!form.outputFileName().isEmpty() && IsFinalOutputFileName(form.outputFileName()) &&
        !OutputDestination::accept(form.outputFileName(), inputs, form.commandLineMode(), ui))
        return GenerateOutcome::NotWritten;

    // Removes the converted Surmex file on every way out, whatever the run's fate.
    TempFileGuard convertedFile;
    QString xmlSourcePath = sourcePath;
    if (Paths::extensionWithDot(sourcePath).toUpper() == QLatin1String(".JOB")) {
        const auto converted = convertJobSource(sourcePath, runFolder.emplace(), convertedFile, ui);
        if (!converted)
            return GenerateOutcome::NotWritten;
        xmlSourcePath = *converted;
    }

    XmlDocument sourceDocument;
    TempOutputFile tempOutput = NewTempOutputFile(runFolder);

    // The command line always applies the style sheet it names, whatever the list last showed.
    if (!form.commandLineMode() && IsBuiltInFormat(form.selectedFormat()))
        return runBuiltInFormat(form, ui, shell, xmlSourcePath, tempOutput, inputs);

    std::optional<BusyCursor> busy(std::in_place, ui);
    XmlDocument styleSheet;
    if (!loadOrTell(sourceDocument, false, xmlSourcePath, TextId::ErrorLoadingSource, sourcePath, busy, ui) ||
        !loadOrTell(styleSheet, true, form.styleSheetPath(), TextId::ErrorLoadingStyleSheet, form.styleSheetPath(),
                    busy, ui))
        return GenerateOutcome::NotWritten;

    // The sheet first: looking for LandXML visits every node of the source.
    if (SheetMentionsAlignments(form.styleSheetPath()) && IsLandXmlSource(sourceDocument) &&
        !SelectRoadDesignElements(sourceDocument, styleSheet, ui))
        return GenerateOutcome::NotWritten;

    busy.reset();
    if (!ApplyUserFields(styleSheet, ui))
        return GenerateOutcome::NotWritten;

    const QString extension = transformIntoFile(sourceDocument, styleSheet, tempOutput, form, ui);
    const GenerateOutcome outcome =
        SaveOutputFile(form, ui, shell, Paths::baseName(xmlSourcePath), extension, tempOutput, inputs);
    // A command-line run ends the program once its output is written.
    if (form.commandLineMode() && outcome == GenerateOutcome::Written)
        sourceDocument.leaveToExit();
    return outcome;
}

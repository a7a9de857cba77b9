#include "convert/JobConversion.h"

#include "convert/ConverterExports.h"
#include "platform/DynamicLibrary.h"
#include "platform/Paths.h"
#include "platform/TempFiles.h"
#include "platform/UserInteraction.h"
#include "text/StringTable.h"
#include "text/TextFormat.h"
#include "text/TextIds.h"

#include <QFile>
#include <QFileInfo>

#include <array>
#include <cstring>

namespace {

constexpr qsizetype MaxShortPathLength = 1024;
constexpr std::int32_t InspectBufferLength = 32;

constexpr std::uint16_t JobRecordType = 7;
constexpr std::uint16_t JobRecordRole = 1;
constexpr std::uint16_t OutputRecordType = 29;
constexpr std::uint16_t OutputRecordRole = 2;
constexpr std::int16_t PelloraOutputVersion = std::int16_t(0xFE09);
constexpr std::int16_t OutputVersion = 1;
constexpr std::int16_t OldestStakoraVersion = 1100;

// There are no 8.3 names here: an existing path is its own short form.
QString shortForm(const QString& path)
{
    if (path.isEmpty() || !QFileInfo::exists(path) || QFile::encodeName(path).size() > MaxShortPathLength)
        return {};
    return path;
}

QString withSurmexExtension(const QString& fileName)
{
    return Paths::withoutExtension(fileName) + QStringLiteral(".smx");
}

int TABULON_CALLBACK_CALL firstCallback()
{
    return 0;
}

int TABULON_CALLBACK_CALL secondCallback()
{
    return 0;
}

int TABULON_CALLBACK_CALL thirdCallback()
{
    return 0;
}

ConverterFileRecord newRecord(std::uint16_t typeCode, std::int16_t version, std::uint16_t roleCode)
{
    ConverterFileRecord record{};
    record.structSize = ConverterRecordSize;
    record.typeCode = typeCode;
    record.version = version;
    record.roleCode = roleCode;
    return record;
}

} // namespace

QByteArray ShortPathOf(const QString& path)
{
    return QFile::encodeName(shortForm(path));
}

std::optional<std::int16_t> InspectJobFile(const QString& jobPath, const QString& libraryPath)
{
    DynamicLibrary library(libraryPath);
    if (!library.isLoaded())
        return std::nullopt;
    const auto inspect = library.resolveAs<ConverterInspectFileFunction>(ConverterInspectFileExport);
    if (!inspect)
        return std::nullopt;

    ConverterFileRecord record = newRecord(0, 0, 0);
    std::array<char, InspectBufferLength + 1> buffer{};
    QByteArray job = ShortPathOf(jobPath);
    const bool recognised = inspect(job.data(), &record, buffer.data(), InspectBufferLength) != 0;
    // A reported version counts as recognition, whatever the answer said.
    const std::int16_t reported = record.version;
    if (reported >= 1)
        return reported;
    return recognised ? std::optional<std::int16_t>(0) : std::nullopt;
}

std::optional<DetectedJob> DetectJobProduct(const QString& jobPath, UserInteraction& ui)
{
    for (const ConverterProduct candidate :
         {ConverterProduct::Notavia, ConverterProduct::Pellora, ConverterProduct::Stakora}) {
        const auto version = InspectJobFile(jobPath, FindNewestConverter(candidate));
        if (!version)
            continue;
        if (candidate == ConverterProduct::Stakora && *version < OldestStakoraVersion) {
            ui.showMessage(MessageKind::Error, LoadLocalizedString(TextId::JobVersionUnsupported));
            return std::nullopt;
        }
        return DetectedJob{candidate, *version};
    }
    return std::nullopt;
}

namespace {

// Has the converter translate the job file into the Surmex file (both in their short forms); true
// when it reports success.
bool translateJob(ConverterTranslatePlusFunction translate, const DetectedJob& job, const ConverterSettings& settings,
                  const QString& shortJob, const QString& shortOutput, UserInteraction& ui)
{
    ConverterFileRecord jobRecord = newRecord(JobRecordType, job.version, JobRecordRole);
    // A folder too long for the record is left out; the converter then works without grid files.
    const QByteArray shortGeoData = ShortPathOf(settings.geoDataFolder);
    if (std::size_t(shortGeoData.size()) <= ConverterFolderMaxLength)
        std::memcpy(jobRecord.folder, shortGeoData.constData(), std::size_t(shortGeoData.size()));
    ConverterFileRecord outputRecord =
        newRecord(OutputRecordType, job.product == ConverterProduct::Pellora ? PelloraOutputVersion : OutputVersion,
                  OutputRecordRole);

    QByteArray languageArgument = QFile::encodeName(settings.languageFile);
    QByteArray jobArgument = QFile::encodeName(shortJob);
    QByteArray outputArgument = QFile::encodeName(shortOutput);
    const BusyCursor busy(ui);
    return translate(languageArgument.data(), jobArgument.data(), &jobRecord, outputArgument.data(), &outputRecord,
                     firstCallback, secondCallback, thirdCallback, 0) != 0;
}

} // namespace

JobConversion ConvertJobFile(const QString& jobPath, const QString& outputFolder, UserInteraction& ui)
{
    JobConversion conversion;
    const auto detected = DetectJobProduct(jobPath, ui);
    if (!detected)
        return conversion;

    const QString shortJob = shortForm(jobPath);
    const QString shortOutputFolder = shortForm(outputFolder);
    const QString shortOutput =
        shortOutputFolder.isEmpty() ? QString() : shortOutputFolder + withSurmexExtension(Paths::fileName(shortJob));
    conversion.convertedPath = outputFolder + withSurmexExtension(Paths::fileName(jobPath));
    // Without a folder the converter would write into the current one, where nobody removes it.
    if (shortJob.isEmpty() || shortOutput.isEmpty())
        return conversion;

    const QString libraryPath = FindConverterForVersion(detected->product, detected->version);
    const auto settings = ReadConverterSettings(ConverterKeyPath(detected->product));
    if (!settings)
        return conversion;
    conversion.geoDataFolder = settings->geoDataFolder;

    DynamicLibrary library(libraryPath);
    if (!library.isLoaded()) {
        ui.showMessage(MessageKind::Error, FormatText(LoadLocalizedString(TextId::ConverterMissing), {libraryPath}));
        return conversion;
    }
    const auto translate = library.resolveAs<ConverterTranslatePlusFunction>(ConverterTranslatePlusExport);
    if (!translate)
        return conversion;

    // A file left from an earlier run must not pass for this conversion's result.
    const QString& convertedPath = conversion.convertedPath;
    QFile::remove(convertedPath);
    if (shortOutput != convertedPath)
        QFile::remove(shortOutput);
    // The caller removes only a converted file it was given; whatever a failed conversion left goes here.
    TempFileGuard partialOutput(shortOutput);
    if (!translateJob(translate, *detected, *settings, shortJob, shortOutput, ui))
        return conversion;
    if (shortOutput != convertedPath)
        QFile::rename(shortOutput, convertedPath);
    if (!QFileInfo(convertedPath).isFile())
        return conversion;
    partialOutput.release();
    conversion.converted = true;
    return conversion;
}

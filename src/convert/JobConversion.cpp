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

bool InspectJobFile(const QString& jobPath, const QString& libraryPath, std::int16_t& version)
{
    DynamicLibrary library(libraryPath);
    if (!library.isLoaded())
        return false;
    const auto inspect = library.resolveAs<ConverterInspectFileFunction>(ConverterInspectFileExport);
    if (!inspect)
        return false;

    ConverterFileRecord record = newRecord(0, 0, 0);
    std::array<char, InspectBufferLength + 1> buffer{};
    QByteArray job = ShortPathOf(jobPath);
    bool recognised = inspect(job.data(), &record, buffer.data(), InspectBufferLength) != 0;
    const std::int16_t reported = record.version;
    if (reported >= 1) {
        recognised = true;
        version = reported;
    }
    return recognised;
}

bool DetectJobProduct(const QString& jobPath, ConverterProduct& product, std::int16_t& version, UserInteraction& ui)
{
    version = 0;
    for (const ConverterProduct candidate :
         {ConverterProduct::Notavia, ConverterProduct::Pellora, ConverterProduct::Stakora}) {
        if (!InspectJobFile(jobPath, FindNewestConverter(candidate), version))
            continue;
        if (candidate == ConverterProduct::Stakora && version < OldestStakoraVersion) {
            ui.showMessage(MessageKind::Error, LoadLocalizedString(TextId::JobVersionUnsupported));
            return false;
        }
        product = candidate;
        return true;
    }
    return false;
}

bool ConvertJobFile(const QString& jobPath, const QString& outputFolder, QString& convertedPath, QString& geoDataFolder,
                    UserInteraction& ui)
{
    ConverterProduct product = ConverterProduct::Stakora;
    std::int16_t version = 0;
    if (!DetectJobProduct(jobPath, product, version, ui))
        return false;

    const QString shortJob = shortForm(jobPath);
    const QString shortOutputFolder = shortForm(outputFolder);
    const QString shortOutput =
        shortOutputFolder.isEmpty() ? QString() : shortOutputFolder + withSurmexExtension(Paths::fileName(shortJob));
    convertedPath = outputFolder + withSurmexExtension(Paths::fileName(jobPath));
    // Without a folder the converter would write into the current one, where nobody removes it.
    if (shortJob.isEmpty() || shortOutput.isEmpty())
        return false;

    const QString libraryPath = FindConverterForVersion(product, version);
    QString languageFile;
    QString geoData;
    if (!ReadConverterSettings(ConverterKeyPath(product), languageFile, geoData))
        return false;
    geoDataFolder = geoData;

    DynamicLibrary library(libraryPath);
    if (!library.isLoaded()) {
        ui.showMessage(MessageKind::Error, FormatText(LoadLocalizedString(TextId::ConverterMissing), {libraryPath}));
        return false;
    }
    const auto translate = library.resolveAs<ConverterTranslatePlusFunction>(ConverterTranslatePlusExport);
    if (!translate)
        return false;

    ConverterFileRecord jobRecord = newRecord(JobRecordType, version, JobRecordRole);
    // A folder too long for the record is left out; the converter then works without grid files.
    const QByteArray shortGeoData = ShortPathOf(geoData);
    if (std::size_t(shortGeoData.size()) <= ConverterFolderMaxLength)
        std::memcpy(jobRecord.folder, shortGeoData.constData(), std::size_t(shortGeoData.size()));
    ConverterFileRecord outputRecord =
        newRecord(OutputRecordType, product == ConverterProduct::Pellora ? PelloraOutputVersion : OutputVersion,
                  OutputRecordRole);

    // A file left from an earlier run must not pass for this conversion's result.
    QFile::remove(convertedPath);
    if (shortOutput != convertedPath)
        QFile::remove(shortOutput);

    QByteArray languageArgument = QFile::encodeName(languageFile);
    QByteArray jobArgument = QFile::encodeName(shortJob);
    QByteArray outputArgument = QFile::encodeName(shortOutput);
    // The caller removes only a converted file it was given; whatever a failed conversion left goes here.
    TempFileGuard partialOutput(shortOutput);
    std::int16_t result = 0;
    {
        const BusyCursor busy(ui);
        result = translate(languageArgument.data(), jobArgument.data(), &jobRecord, outputArgument.data(),
                           &outputRecord, firstCallback, secondCallback, thirdCallback, 0);
    }
    if (result == 0)
        return false;
    if (shortOutput != convertedPath)
        QFile::rename(shortOutput, convertedPath);
    if (!QFileInfo(convertedPath).isFile())
        return false;
    partialOutput.release();
    return true;
}

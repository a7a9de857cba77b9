#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// A field product whose software installs a converter library. The numbers are fixed: they are
// passed between the discovery and the conversion, and decide record values.
enum class ConverterProduct : int
{
    Stakora = 0,
    Pellora = 1,
    Notavia = 2,
};

// The product's converter key under HKEY_LOCAL_MACHINE; empty for an unknown code.
QString ConverterKeyPath(ConverterProduct product);

// The library file name's prefix for the product ("stkr32" for Stakora); empty for an unknown code.
QString ConverterBaseName(ConverterProduct product);

/**
 * The library of the product's newest registered converter version. When that file does not
 * exist, the product's folder is scanned for the highest-numbered library instead. May return a
 * path whose file does not exist, or empty text when the product has no converter key.
 * Throws UnexpectedFailure for a registry value that is not a string.
 */
QString FindNewestConverter(ConverterProduct product);

// Whether the field software registered a converter key for any product.
bool AnyConverterRegistered();

// The machine-wide settings file where converters are registered, or where it would be created.
QString ConverterRegistryFile();

// Sets path to folder + baseName + the highest number + library suffix found in folder; leaves
// it as it was when no such entry exists.
void ScanConverterFolder(const QString& baseName, const QString& folder, QString& path);

/**
 * The library registered for exactly this job file version (1250 is looked up as the name
 * "12.50", by text), or empty text. The file is not checked.
 * Throws UnexpectedFailure for a registry value that is not a string.
 */
QString FindConverterForVersion(ConverterProduct product, std::int16_t version);

struct ConverterSettings
{
    QString languageFile;
    QString geoDataFolder; // empty when the shared key does not exist or lacks the value
};

/**
 * Reads the converter's language file and the GeoData folder; nothing when the converter key
 * cannot be opened. Throws UnexpectedFailure for a registry value that is not a string.
 */
std::optional<ConverterSettings> ReadConverterSettings(const QString& converterKey);

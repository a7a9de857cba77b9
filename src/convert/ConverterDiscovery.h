#pragma once

#include <QString>

#include <cstdint>

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

/**
 * Reads the converter's language file and the GeoData folder. False, with both outputs untouched,
 * when the converter key cannot be opened. geoDataFolder is set only when the shared key exists.
 * Throws UnexpectedFailure for a registry value that is not a string.
 */
bool ReadConverterSettings(const QString& converterKey, QString& languageFile, QString& geoDataFolder);

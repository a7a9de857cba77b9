#pragma once

#include "convert/ConverterDiscovery.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

class UserInteraction;

// What a job file conversion came to.
struct JobConversion
{
    bool converted = false;
    // outputFolder + the job file's name with extension ".smx", set as soon as the file is
    // recognised, also when the conversion then fails: whatever is there is the caller's to remove.
    QString convertedPath;
    // The registered GeoData folder (empty when there is none), once the converter's settings are read.
    QString geoDataFolder;
};

/**
 * Has the converter library of the field product that recognises the job file write a Surmex
 * file into outputFolder (which ends in a separator). Messages of its own (unsupported version,
 * missing converter) are shown through ui; the caller reports the overall failure.
 * Throws UnexpectedFailure for a registry value that is not a string.
 */
JobConversion ConvertJobFile(const QString& jobPath, const QString& outputFolder, UserInteraction& ui);

// The field product whose converter recognises a job file, and the file's version (0 when the
// converter reported none).
struct DetectedJob
{
    ConverterProduct product = ConverterProduct::Stakora;
    std::int16_t version = 0;
};

/**
 * Offers the job file to the newest converter of each product, Notavia, Pellora and Stakora in
 * that order, and gives back the first product that recognises it. A Stakora job file older than
 * version 1100 is refused with a message.
 */
std::optional<DetectedJob> DetectJobProduct(const QString& jobPath, UserInteraction& ui);

// The job file's version when the library recognises the file: 0 when it reports none.
std::optional<std::int16_t> InspectJobFile(const QString& jobPath, const QString& libraryPath);

// The narrow short form the converter is given of a path: here the path itself in the file name
// encoding; empty when the path does not exist or its short form would exceed 1024 characters.
QByteArray ShortPathOf(const QString& path);

#pragma once

#include "convert/ConverterDiscovery.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

class UserInteraction;

/**
 * Has the converter library of the field product that recognises the job file write a Surmex
 * file into outputFolder (which ends in a separator). convertedPath is set to outputFolder + the
 * job file's name with extension ".smx" as soon as the file is recognised, also when the
 * conversion then fails; geoDataFolder to the registered GeoData folder (empty when there is
 * none) once the converter's settings have been read. Messages of its own (unsupported version,
 * missing converter) are shown through ui; the caller reports the overall failure.
 * Throws UnexpectedFailure for a registry value that is not a string.
 */
bool ConvertJobFile(const QString& jobPath, const QString& outputFolder, QString& convertedPath, QString& geoDataFolder,
                    UserInteraction& ui);

/**
 * Offers the job file to the newest converter of each product, Notavia, Pellora and Stakora in
 * that order, and gives back the first product that recognises it with the job file's version
 * (0 when no converter reported one). A Stakora job file older than version 1100 is refused with
 * a message.
 */
bool DetectJobProduct(const QString& jobPath, ConverterProduct& product, std::int16_t& version, UserInteraction& ui);

// True when the library recognises the job file; version is set only when it reports one (1 or more).
bool InspectJobFile(const QString& jobPath, const QString& libraryPath, std::int16_t& version);

// The narrow short form the converter is given of a path: here the path itself in the file name
// encoding; empty when the path does not exist or its short form would exceed 1024 characters.
QByteArray ShortPathOf(const QString& path);

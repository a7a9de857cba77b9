#pragma once

#include <QString>

class UserInteraction;

/**
 * Has the converter library of the field product that recognises the job file write a Surmex
 * file into outputFolder (which ends in a separator). convertedPath is set to outputFolder + the
 * job file's name with extension ".smx" as soon as the file is recognised; geoDataFolder to the
 * registered GeoData folder (left as passed when there is none). Messages of its own (unsupported
 * version, missing converter) are shown through ui; the caller reports the overall failure.
 */
bool ConvertJobFile(const QString& jobPath, const QString& outputFolder, QString& convertedPath, QString& geoDataFolder,
                    UserInteraction& ui);

#pragma once

#include <QString>

class UserInteraction;

/**
 * Warns once per line of the converted Surmex file that holds "<Reductions error=" (in any case):
 * the converter could not find a grid file in the GeoData folder. The file is read as text with
 * its byte-order mark honoured, else in the locale's encoding. Throws UnexpectedFailure when the
 * file cannot be read.
 */
void CheckReductionErrors(const QString& convertedPath, const QString& geoDataFolder, UserInteraction& ui);

#pragma once

#include <QString>

// The program's numbered texts (10000 to 10073). A satellite catalogue "TabulonR.qm" overrides
// the compiled-in English texts it has; numbers it lacks, or holds empty, fall back to them.

// Loads the satellite catalogue if one is found (the program's folder first, then "tabulon/"
// under the XDG data folders). A missing or unreadable catalogue is no failure.
void LoadResourceLibrary();

// Loads a satellite catalogue from an explicit file; false when it cannot be loaded.
bool LoadResourceLibraryFrom(const QString& path);

// The text of that number: the satellite's when it has a non-empty one, else the program's own,
// else empty. At most 1023 characters.
QString LoadLocalizedString(int id);

void FreeResourceLibrary();

// True while a satellite catalogue is loaded.
bool SatelliteLoaded();

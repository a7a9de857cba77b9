#pragma once

#include <QString>
#include <QStringList>

// The program's numbered texts (10000 and up). A satellite catalogue "TabulonR.qm" overrides
// the compiled-in English texts it has; numbers it lacks, or holds empty, fall back to them.

// Loads the satellite catalogue if one is found (the program's folder first, then "tabulon/"
// under the XDG data folders); the first one that loads wins. A missing or unreadable catalogue
// is no failure: the program's own texts are used. Call after the QCoreApplication exists, so
// that the program's folder is known.
void LoadResourceLibrary();

// Loads a satellite catalogue from an explicit file; false when it cannot be loaded, in which
// case the text source stays as it was.
bool LoadResourceLibraryFrom(const QString& path);

// The text of that number: the satellite's when it has a non-empty one, else the program's own,
// else empty. At most 1023 characters.
QString LoadLocalizedString(int id);

// Unloads the satellite catalogue, if any; the program's own texts are used again.
void FreeResourceLibrary();

// LoadResourceLibrary for the object's lifetime, FreeResourceLibrary on every way out.
struct ResourceLibraryGuard
{
    ResourceLibraryGuard() { LoadResourceLibrary(); }
    ~ResourceLibraryGuard() { FreeResourceLibrary(); }
    ResourceLibraryGuard(const ResourceLibraryGuard&) = delete;
    ResourceLibraryGuard& operator=(const ResourceLibraryGuard&) = delete;
};

// The folders LoadResourceLibrary looks in for "TabulonR.qm", in order.
QStringList SatelliteSearchFolders();

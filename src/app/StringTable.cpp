#include "app/StringTable.h"

// Provisional until the table lands.
void LoadResourceLibrary() {}
bool LoadResourceLibraryFrom(const QString&)
{
    return false;
}
QString LoadLocalizedString(int)
{
    return {};
}
void FreeResourceLibrary() {}
bool SatelliteLoaded()
{
    return false;
}

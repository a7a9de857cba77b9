#include "convert/JobConversion.h"

// Provisional: no converter is discovered yet, so no job file is recognised.
bool ConvertJobFile(const QString&, const QString&, QString&, QString&, UserInteraction&)
{
    return false;
}

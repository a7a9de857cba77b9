#include "pipeline/RoadDesign.h"

#include "pipeline/XmlService.h"

// Provisional: road-design selection is not offered yet.
bool IsLandXmlSource(const XmlDocument&)
{
    return false;
}

bool SheetMentionsAlignments(const QString&)
{
    return false;
}

bool SelectRoadDesignElements(const XmlDocument&, XmlDocument&, UserInteraction&)
{
    return true;
}

#pragma once

#include "platform/UserInteraction.h"

#include <QString>

class XmlDocument;

// Whether the source holds LandXML data.
bool IsLandXmlSource(const XmlDocument& source);

// Whether the style sheet file is a road-design style sheet.
bool SheetMentionsAlignments(const QString& path);

// Lets the user choose the alignment and the cross-section surface or tunnel profile, and writes
// the choices into the style sheet. False when the run is to stop.
bool SelectRoadDesignElements(const XmlDocument& source, XmlDocument& styleSheet, UserInteraction& ui);

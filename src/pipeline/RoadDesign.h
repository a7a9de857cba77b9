#pragma once

#include "platform/UserInteraction.h"

#include <QString>
#include <QStringList>

#include <optional>

class XmlDocument;
class XmlNode;

// Whether the source holds LandXML data: its root, or any node below it, is named "LandXML".
bool IsLandXmlSource(const XmlDocument& source);

// Whether the style sheet file is a road-design style sheet: a line of it mentions "Alignments".
// A UTF-8 or UTF-16 byte-order mark is honoured.
bool SheetMentionsAlignments(const QString& path);

// Lets the user choose the alignment and the cross-section surface or tunnel profile, and writes
// the choices into the style sheet. False when the run is to stop.
bool SelectRoadDesignElements(const XmlDocument& source, XmlDocument& styleSheet, UserInteraction& ui);

bool HasTunnelProfiles(const XmlDocument& source);

// The names of the root's Alignments/Alignment elements, in document order.
QStringList CollectAlignmentNames(const XmlDocument& source);

// The labels of the chosen alignment's cross-section surfaces (design ones where a CrossSect has
// them, proposed ones otherwise), sorted ignoring case, without duplicates.
QStringList CollectCrossSectSurfaces(const XmlDocument& source, const QString& alignment);
QString ProposedSurfaceLabel(const XmlNode& element);
QString DesignSurfaceLabel(const XmlNode& element, const QString& crossSectsName);

// The chosen alignment's tunnel layer names, or failing a layer feature its tunnel profile
// surface names; sorted ignoring case, without duplicates.
QStringList CollectTunnelProfiles(const XmlDocument& source, const QString& alignment);
bool HasTunnelLayerFeature(const XmlNode& element);

// Each asks only when there is a choice and writes the choice into the style sheet's parameter.
// ChooseAlignment gives the chosen name, nothing when the run is to stop.
std::optional<QString> ChooseAlignment(XmlDocument& styleSheet, const QStringList& list, UserInteraction& ui);
bool ChooseCrossSectSurface(XmlDocument& styleSheet, const QStringList& list, UserInteraction& ui);
bool ChooseTunnelProfile(XmlDocument& styleSheet, const QStringList& list, UserInteraction& ui);

// Turns the side-slope user fields into plain variables, so they are not asked for.
void DisableSideSlopeFields(XmlDocument& styleSheet);

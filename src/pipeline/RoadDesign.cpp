#include "pipeline/RoadDesign.h"

#include "pipeline/UserFields.h"
#include "platform/Failure.h"
#include "text/StringTable.h"
#include "text/TextIds.h"
#include "xml/XmlService.h"

#include <QCollator>
#include <QFile>
#include <QLocale>
#include <QStringDecoder>

#include <libxml/tree.h>

#include <algorithm>
#include <optional>

namespace {

// A list kept sorted ignoring case in the user's locale, holding one text of each case variant:
// the first one added.
class CaselessSortedList
{
public:
    void add(const QString& text)
    {
        const QString upper = m_locale.toUpper(text);
        const auto pos =
            std::lower_bound(m_entries.begin(), m_entries.end(), upper,
                             [this](const Entry& entry, const QString& key) { return less(entry.upper, key); });
        if (pos != m_entries.end() && pos->upper == upper)
            return;
        m_entries.insert(pos, Entry{upper, text});
    }

    QStringList texts() const
    {
        QStringList list;
        list.reserve(m_entries.size());
        for (const Entry& entry : m_entries)
            list << entry.text;
        return list;
    }

private:
    struct Entry
    {
        QString upper;
        QString text;
    };

    // Collation order of the upper-case forms; forms the collation finds equal fall back to their
    // code points so that the order stays total.
    bool less(const QString& a, const QString& b) const
    {
        const int order = m_collator.compare(a, b);
        return order != 0 ? order < 0 : a < b;
    }

    QLocale m_locale;
    QCollator m_collator{QLocale()};
    std::vector<Entry> m_entries;
};

// The node after this one in document order, staying below the element; without recursion, as
// documents may nest deeply.
const xmlNode* nextBelow(const xmlNode* element, const xmlNode* node)
{
    if (node->type == XML_ELEMENT_NODE && node->children)
        return node->children;
    while (node != element && !node->next)
        node = node->parent;
    return node != element ? node->next : nullptr;
}

// Whether some node below the element has that DOM name. Runs on every generation over sources
// of millions of nodes: a byte comparison per node, which mostly stops at the first byte.
bool hasNodeNamed(const xmlNode* element, const QString& name)
{
    const QByteArray qualified = name.toUtf8();
    const qsizetype colon = qualified.indexOf(':');
    const QByteArray prefix = colon < 0 ? QByteArray() : qualified.left(colon);
    const QByteArray local = colon < 0 ? qualified : qualified.mid(colon + 1);
    const auto named = [&](const xmlNode* node) -> bool {
        switch (node->type) {
        case XML_ELEMENT_NODE: {
            if (!xmlStrEqual(node->name, reinterpret_cast<const xmlChar*>(local.constData())))
                return false;
            const xmlChar* nodePrefix = node->ns ? node->ns->prefix : nullptr;
            return prefix.isEmpty() ? nodePrefix == nullptr
                                    : xmlStrEqual(nodePrefix, reinterpret_cast<const xmlChar*>(prefix.constData()));
        }
        case XML_PI_NODE:
        case XML_ENTITY_REF_NODE:
            return xmlStrEqual(node->name, reinterpret_cast<const xmlChar*>(qualified.constData())) != 0;
        default:
            return false;
        }
    };

    const xmlNode* node = element->children;
    while (node) {
        if (named(node))
            return true;
        node = nextBelow(element, node);
    }
    return false;
}

QString attribute(const XmlNode& node, const QString& name)
{
    return node.isElement() ? node.getAttribute(name).value_or(QString()) : QString();
}

std::vector<XmlNode> childElements(const XmlNode& node, QStringView name)
{
    std::vector<XmlNode> found;
    for (const XmlNode& child : node.childNodes()) {
        if (child.isElement() && child.nodeName() == name)
            found.push_back(child);
    }
    return found;
}

// Children named name whose attribute has that value.
std::vector<XmlNode> childElements(const XmlNode& node, QStringView name, const QString& attributeName,
                                   QStringView value)
{
    std::vector<XmlNode> found;
    for (const XmlNode& child : childElements(node, name)) {
        if (attribute(child, attributeName) == value)
            found.push_back(child);
    }
    return found;
}

// The elements named as the chosen alignment: any child of the root's Alignments elements.
std::vector<XmlNode> chosenAlignments(const XmlDocument& source, const QString& alignment)
{
    std::vector<XmlNode> found;
    const auto root = source.documentElement();
    if (!root)
        return found;
    for (const XmlNode& alignments : childElements(*root, u"Alignments")) {
        for (const XmlNode& child : alignments.childNodes()) {
            if (child.isElement() && attribute(child, QStringLiteral("name")) == alignment)
                found.push_back(child);
        }
    }
    return found;
}

QString surfaceLabel(const QString& name, const QString& desc)
{
    if (desc.isEmpty() || QLocale().toUpper(desc) == QLocale().toUpper(name))
        return name;
    return name.isEmpty() ? desc : name + u'-' + desc;
}

// The choice from a list that is not empty: its only entry, or the user's answer.
std::optional<QString> choose(const QStringList& list, int promptId, UserInteraction& ui)
{
    if (list.size() == 1)
        return list.first();
    const ValueQuestion question{LoadLocalizedString(promptId), list.first(),        UserFieldKind::STRINGMENU,
                                 QStringLiteral("0"),           QStringLiteral("0"), list};
    return ui.askValue(question);
}

void setParam(XmlDocument& styleSheet, const QString& name, const QString& value)
{
    SetSelectByName(styleSheet, QStringLiteral("xsl:param"), name, QuoteXPathString(value));
}

} // namespace

bool IsLandXmlSource(const XmlDocument& source)
{
    const auto root = source.documentElement();
    if (!root)
        return false;
    const QString landXml = QStringLiteral("LandXML");
    return root->nodeName() == landXml || hasNodeNamed(root->raw(), landXml);
}

bool SheetMentionsAlignments(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw UnexpectedFailure(path + QStringLiteral(": ") + file.errorString());
    const QByteArray bytes = file.readAll();
    const QLatin1StringView word("Alignments");
    // Without a byte-order mark the text is read as 8-bit: the ASCII word is found in the bytes as
    // they are, in any ASCII-based encoding, and no line holds a line break.
    const auto encoding = QStringConverter::encodingForData(bytes);
    if (!encoding || *encoding == QStringConverter::Utf8)
        return bytes.contains(QByteArrayView(word.data(), word.size()));
    return QStringDecoder(*encoding)(bytes).operator QString().contains(word);
}

bool SelectRoadDesignElements(const XmlDocument& source, XmlDocument& styleSheet, UserInteraction& ui)
{
    const auto alignment = ChooseAlignment(styleSheet, CollectAlignmentNames(source), ui);
    if (!alignment)
        return false;
    if (HasTunnelProfiles(source))
        return ChooseTunnelProfile(styleSheet, CollectTunnelProfiles(source, *alignment), ui);
    return ChooseCrossSectSurface(styleSheet, CollectCrossSectSurfaces(source, *alignment), ui);
}

bool HasTunnelProfiles(const XmlDocument& source)
{
    const auto root = source.documentElement();
    return root && hasNodeNamed(root->raw(), QStringLiteral("TunnelProfiles"));
}

QStringList CollectAlignmentNames(const XmlDocument& source)
{
    QStringList names;
    const auto root = source.documentElement();
    if (!root)
        return names;
    for (const XmlNode& alignments : childElements(*root, u"Alignments")) {
        for (const XmlNode& alignment : childElements(alignments, u"Alignment")) {
            const QString name = attribute(alignment, QStringLiteral("name"));
            if (!name.isEmpty())
                names << name;
        }
    }
    return names;
}

QStringList CollectCrossSectSurfaces(const XmlDocument& source, const QString& alignment)
{
    CaselessSortedList labels;
    for (const XmlNode& chosen : chosenAlignments(source, alignment)) {
        for (const XmlNode& crossSects : childElements(chosen, u"CrossSects")) {
            const QString crossSectsName = attribute(crossSects, QStringLiteral("name"));
            for (const XmlNode& crossSect : childElements(crossSects, u"CrossSect")) {
                // Design surfaces, where a cross-section has them, stand for its proposed ones.
                const bool hasDesign = !childElements(crossSect, u"DesignCrossSectSurf").empty();
                for (const XmlNode& surface : crossSect.childNodes()) {
                    if (!surface.isElement())
                        continue;
                    const QString name = surface.nodeName();
                    QString label;
                    if (name == u"DesignCrossSectSurf")
                        label = DesignSurfaceLabel(surface, crossSectsName);
                    else if (name == u"CrossSectSurf" && !hasDesign)
                        label = ProposedSurfaceLabel(surface);
                    if (!TrimText(label).isEmpty())
                        labels.add(label);
                }
            }
        }
    }
    return labels.texts();
}

QString ProposedSurfaceLabel(const XmlNode& element)
{
    const QString state = attribute(element, QStringLiteral("state"));
    if (!state.isEmpty() && state != u"proposed")
        return {};
    return surfaceLabel(attribute(element, QStringLiteral("name")), attribute(element, QStringLiteral("desc")));
}

QString DesignSurfaceLabel(const XmlNode& element, const QString& crossSectsName)
{
    const QString name = attribute(element, QStringLiteral("name"));
    const QString desc = attribute(element, QStringLiteral("desc"));
    if (name.isEmpty() && desc.isEmpty())
        return crossSectsName;
    return surfaceLabel(name, desc);
}

QStringList CollectTunnelProfiles(const XmlDocument& source, const QString& alignment)
{
    const QString code = QStringLiteral("code");
    CaselessSortedList profiles;
    const auto add = [&profiles](const QString& text) {
        // A profile without a name could not be told apart in the list.
        if (!TrimText(text).isEmpty())
            profiles.add(text);
    };
    for (const XmlNode& chosen : chosenAlignments(source, alignment)) {
        for (const XmlNode& tunnelProfiles : childElements(chosen, u"TunnelProfiles")) {
            if (HasTunnelLayerFeature(tunnelProfiles)) {
                for (const XmlNode& layers : childElements(tunnelProfiles, u"Feature", code, u"KZ Tunnel Layers")) {
                    for (const XmlNode& layer : childElements(layers, u"Feature", code, u"KZ Tunnel Layer")) {
                        for (const XmlNode& property :
                             childElements(layer, u"Property", QStringLiteral("label"), u"LayerName"))
                            add(attribute(property, QStringLiteral("value")));
                    }
                }
            } else {
                for (const XmlNode& profile : childElements(tunnelProfiles, u"TunnelProfile")) {
                    for (const XmlNode& surface : childElements(profile, u"TunnelProfSurf"))
                        add(attribute(surface, QStringLiteral("name")));
                }
            }
        }
    }
    return profiles.texts();
}

bool HasTunnelLayerFeature(const XmlNode& element)
{
    return !childElements(element, u"Feature", QStringLiteral("code"), u"KZ Tunnel Layers").empty();
}

std::optional<QString> ChooseAlignment(XmlDocument& styleSheet, const QStringList& list, UserInteraction& ui)
{
    if (list.isEmpty()) {
        ui.showMessage(MessageKind::Error, LoadLocalizedString(TextId::NoAlignments));
        return std::nullopt;
    }
    const auto choice = choose(list, TextId::SelectAlignment, ui);
    if (choice)
        setParam(styleSheet, QStringLiteral("selectedAlignment"), *choice);
    return choice;
}

bool ChooseCrossSectSurface(XmlDocument& styleSheet, const QStringList& list, UserInteraction& ui)
{
    if (list.isEmpty()) {
        DisableSideSlopeFields(styleSheet);
        return true;
    }
    const auto choice = choose(list, TextId::SelectCrossSectSurface, ui);
    if (!choice)
        return false;
    setParam(styleSheet, QStringLiteral("xSectSurfToExport"), *choice);
    return true;
}

bool ChooseTunnelProfile(XmlDocument& styleSheet, const QStringList& list, UserInteraction& ui)
{
    // No profile under the chosen alignment: nothing to choose, and the style sheet keeps its default.
    if (list.isEmpty())
        return true;
    const auto choice = choose(list, TextId::SelectTunnelProfile, ui);
    if (!choice)
        return false;
    setParam(styleSheet, QStringLiteral("selectedProfile"), *choice);
    return true;
}

void DisableSideSlopeFields(XmlDocument& styleSheet)
{
    for (XmlNode variable : styleSheet.getElementsByTagName(QStringLiteral("xsl:variable"))) {
        if (!variable.isElement())
            continue;
        const auto name = variable.getAttribute(QStringLiteral("name"));
        const auto select = variable.getAttribute(QStringLiteral("select"));
        if (name && select && IsUserFieldName(*name) &&
            select->contains(QLatin1String("lastTemplateElementAsSideSlope"), Qt::CaseInsensitive))
            variable.setAttribute(QStringLiteral("name"), u'x' + *name);
    }
}

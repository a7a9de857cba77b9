#include "xml/SheetChecks.h"

#include "xml/XmlText.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlstring.h>
#include <libxslt/xsltInternals.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <set>
#include <string_view>

namespace {

// Asked several times of every element: a comparison that does not go byte by byte.
bool isXsltNamespace(const xmlNs* ns)
{
    constexpr std::string_view xslt = "http://www.w3.org/1999/XSL/Transform";
    return ns && ns->href && std::string_view(reinterpret_cast<const char*>(ns->href)) == xslt;
}

bool isXslt(const xmlNode* node)
{
    return node && node->type == XML_ELEMENT_NODE && isXsltNamespace(node->ns);
}

bool isXslt(const xmlNode* node, const char* name)
{
    return isXslt(node) && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

std::optional<QString> attribute(const xmlNode* element, const char* name)
{
    xmlChar* value = xmlGetNoNsProp(element, BAD_CAST name);
    if (!value)
        return std::nullopt;
    QString text = fromXml(value);
    xmlFree(value);
    return text;
}

bool isBlank(const xmlNode* text)
{
    for (const xmlChar* c = text->content; c && *c; ++c) {
        if (!IS_BLANK_CH(*c))
            return false;
    }
    return true;
}

bool contains(std::string_view list, std::string_view word)
{
    while (!list.empty()) {
        const auto space = list.find(' ');
        if (list.substr(0, space) == word)
            return true;
        list = space == std::string_view::npos ? std::string_view() : list.substr(space + 1);
    }
    return false;
}

// What an instruction may hold besides comments and processing instructions.
enum class Content
{
    Any,
    Nothing,
    SortsAndParameters, // xsl:apply-templates
    Parameters,         // xsl:call-template
    Attributes,         // xsl:attribute-set
};

struct ElementRule
{
    std::string_view name;
    std::string_view attributes; // all it may have, space separated
    std::string_view required;
    Content content;
};

// The instructions and declarations of XSLT 1.0 as the original service accepts them.
constexpr std::array ElementRules{
    ElementRule{"stylesheet", "id extension-element-prefixes exclude-result-prefixes version", "version", Content::Any},
    ElementRule{"transform", "id extension-element-prefixes exclude-result-prefixes version", "version", Content::Any},
    ElementRule{"import", "href", "href", Content::Nothing},
    ElementRule{"include", "href", "href", Content::Nothing},
    ElementRule{"strip-space", "elements", "elements", Content::Nothing},
    ElementRule{"preserve-space", "elements", "elements", Content::Nothing},
    ElementRule{"output",
                "method version encoding omit-xml-declaration standalone doctype-public doctype-system "
                "cdata-section-elements indent media-type",
                "", Content::Nothing},
    ElementRule{"key", "name match use", "name match use", Content::Nothing},
    ElementRule{"decimal-format",
                "name decimal-separator grouping-separator infinity minus-sign NaN percent per-mille zero-digit "
                "digit pattern-separator",
                "", Content::Nothing},
    ElementRule{"namespace-alias", "stylesheet-prefix result-prefix", "stylesheet-prefix result-prefix",
                Content::Nothing},
    ElementRule{"attribute-set", "name use-attribute-sets", "name", Content::Attributes},
    ElementRule{"variable", "name select", "name", Content::Any},
    ElementRule{"param", "name select", "name", Content::Any},
    ElementRule{"template", "match name priority mode", "", Content::Any},
    ElementRule{"apply-templates", "select mode", "", Content::SortsAndParameters},
    ElementRule{"apply-imports", "", "", Content::Nothing},
    ElementRule{"call-template", "name", "name", Content::Parameters},
    ElementRule{"with-param", "name select", "name", Content::Any},
    ElementRule{"element", "name namespace use-attribute-sets", "name", Content::Any},
    ElementRule{"attribute", "name namespace", "name", Content::Any},
    ElementRule{"text", "disable-output-escaping", "", Content::Any},
    ElementRule{"processing-instruction", "name", "name", Content::Any},
    ElementRule{"comment", "", "", Content::Any},
    ElementRule{"copy", "use-attribute-sets", "", Content::Any},
    ElementRule{"value-of", "select disable-output-escaping", "select", Content::Nothing},
    ElementRule{"number", "level count from value format lang letter-value grouping-separator grouping-size", "",
                Content::Nothing},
    ElementRule{"for-each", "select", "select", Content::Any},
    ElementRule{"if", "test", "test", Content::Any},
    ElementRule{"choose", "", "", Content::Any},
    ElementRule{"when", "test", "test", Content::Any},
    ElementRule{"otherwise", "", "", Content::Any},
    ElementRule{"sort", "select lang data-type order case-order", "", Content::Nothing},
    ElementRule{"message", "terminate", "", Content::Any},
    ElementRule{"fallback", "", "", Content::Any},
    ElementRule{"copy-of", "select", "select", Content::Nothing},
};

const ElementRule* ruleFor(const xmlNode* element)
{
    const std::string_view name(reinterpret_cast<const char*>(element->name));
    const auto found =
        std::find_if(ElementRules.begin(), ElementRules.end(), [&](const ElementRule& r) { return r.name == name; });
    return found == ElementRules.end() ? nullptr : &*found;
}

bool isNcName(const QString& text)
{
    static const QRegularExpression ncName(QStringLiteral("^[\\p{L}_][\\p{L}\\p{N}._\\-\\x{B7}\\p{Mn}\\p{Mc}]*$"));
    return ncName.match(text).hasMatch();
}

bool isQName(const QString& text)
{
    const QStringList parts = text.split(u':');
    return parts.size() <= 2 && std::all_of(parts.begin(), parts.end(), isNcName);
}

bool isPrefixedQName(const QString& text)
{
    return text.contains(u':') && isQName(text);
}

bool isNumber(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*-?(\\d+(\\.\\d*)?|\\.\\d+)\\s*$"));
    return number.match(text).hasMatch();
}

// A language tag of known language ("en", "de-CH"); subtags longer than eight characters are malformed.
bool isKnownLanguage(const QString& text)
{
    static const QRegularExpression tag(QStringLiteral("^[A-Za-z]{1,8}(-[A-Za-z0-9]{1,8})*$"));
    if (!tag.match(text).hasMatch())
        return false;
    const QLocale::Language language = QLocale(text).language();
    return language != QLocale::C && language != QLocale::AnyLanguage;
}

// Where the unmatched brace of an attribute value template is, if it has one.
std::optional<QString> templateProblem(const QString& value)
{
    bool inExpression = false;
    QChar quote;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (inExpression) {
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
            } else if (c == u'\'' || c == u'"') {
                quote = c;
            } else if (c == u'}') {
                inExpression = false;
            }
        } else if (c == u'{' || c == u'}') {
            if (i + 1 < value.size() && value[i + 1] == c)
                ++i;
            else if (c == u'{')
                inExpression = true;
            else
                return QStringLiteral("has a '}' without its '{'");
        }
    }
    if (inExpression)
        return QStringLiteral("has a '{' without its '}'");
    return std::nullopt;
}

struct ValueRule
{
    std::string_view elements; // space separated
    std::string_view attribute;
    bool (*accepts)(const QString& value);
    const char* expected;
};

bool yesOrNo(const QString& v)
{
    return v == u"yes" || v == u"no";
}

// Longer values are refused; an empty one is left to the processor.
bool singleCharacter(const QString& v)
{
    return v.size() <= 1 || (v.size() == 2 && v[0].isHighSurrogate());
}

// Values fixed by XSLT; those of attribute value templates are checked only when written out.
constexpr std::array ValueRules{
    ValueRule{"output", "omit-xml-declaration", yesOrNo, "yes or no"},
    ValueRule{"output", "standalone", yesOrNo, "yes or no"},
    ValueRule{"output", "indent", yesOrNo, "yes or no"},
    ValueRule{"output", "method",
              [](const QString& v) { return v == u"xml" || v == u"html" || v == u"text" || isPrefixedQName(v); },
              "xml, html, text or a prefixed name"},
    ValueRule{"text value-of", "disable-output-escaping", yesOrNo, "yes or no"},
    ValueRule{"message", "terminate", yesOrNo, "yes or no"},
    ValueRule{"sort", "order", [](const QString& v) { return v == u"ascending" || v == u"descending"; },
              "ascending or descending"},
    ValueRule{"sort", "case-order", [](const QString& v) { return v == u"upper-first" || v == u"lower-first"; },
              "upper-first or lower-first"},
    ValueRule{"sort", "data-type",
              [](const QString& v) { return v == u"text" || v == u"number" || isPrefixedQName(v); },
              "text, number or a prefixed name"},
    ValueRule{"sort", "lang", isKnownLanguage, "a known language"},
    ValueRule{"number", "level", [](const QString& v) { return v == u"single" || v == u"multiple" || v == u"any"; },
              "single, multiple or any"},
    ValueRule{"number", "letter-value", [](const QString& v) { return v == u"alphabetic" || v == u"traditional"; },
              "alphabetic or traditional"},
    ValueRule{"number decimal-format", "grouping-separator", singleCharacter, "at most one character"},
    ValueRule{"decimal-format", "decimal-separator percent per-mille zero-digit digit pattern-separator minus-sign",
              singleCharacter, "at most one character"},
    ValueRule{"template", "priority", isNumber, "a number"},
    ValueRule{"template apply-templates", "mode", isQName, "a name"},
    ValueRule{"processing-instruction", "name",
              [](const QString& v) { return isNcName(v) && v.compare(u"xml", Qt::CaseInsensitive) != 0; },
              "a name without a colon, other than xml"},
};

// Attributes of instructions that are attribute value templates.
using TemplateAttributeList = std::pair<std::string_view, std::string_view>;
constexpr std::array TemplateAttributes{
    TemplateAttributeList{"element", "name namespace"},
    TemplateAttributeList{"attribute", "name namespace"},
    TemplateAttributeList{"processing-instruction", "name"},
    TemplateAttributeList{"number", "format lang letter-value grouping-separator grouping-size"},
    TemplateAttributeList{"sort", "lang data-type order case-order"},
};

bool isTemplateAttribute(std::string_view element, std::string_view attributeName)
{
    return std::any_of(TemplateAttributes.begin(), TemplateAttributes.end(), [&](const auto& entry) {
        return entry.first == element && contains(entry.second, attributeName);
    });
}

// What is wrong with the value of an attribute of an XSLT instruction, if anything.
std::optional<QString> valueProblem(std::string_view name, const xmlAttr* attr)
{
    const std::string_view attrName(reinterpret_cast<const char*>(attr->name));
    const bool isTemplate = isTemplateAttribute(name, attrName);
    // Most attributes (select, match, test, name) have no rule: their values are not read.
    if (!isTemplate && std::none_of(ValueRules.begin(), ValueRules.end(), [&](const ValueRule& rule) {
            return contains(rule.elements, name) && contains(rule.attribute, attrName);
        }))
        return std::nullopt;
    xmlChar* raw = xmlNodeListGetString(attr->doc, attr->children, 1);
    const QString value = fromXml(raw);
    xmlFree(raw);
    if (isTemplate) {
        if (const auto problem = templateProblem(value))
            return QStringLiteral("the attribute value %1").arg(*problem);
        if (value.contains(u'{'))
            return std::nullopt;
    }
    for (const ValueRule& rule : ValueRules) {
        if (contains(rule.elements, name) && contains(rule.attribute, attrName) && !rule.accepts(value))
            return QStringLiteral("\"%1\" is not allowed here; expected %2")
                .arg(value, QString::fromUtf8(rule.expected));
    }
    return std::nullopt;
}

// Whether the element is in forwards-compatible mode: the version of the nearest literal result
// element's xsl:version, or else the sheet's, is not 1.0. Walks go down the tree, so each element
// looks at its own version only and otherwise takes its parent's answer.
bool isForwardsCompatible(const xmlNode* element, bool parentIsForwardsCompatible)
{
    std::optional<QString> version;
    if (isXslt(element, "stylesheet") || isXslt(element, "transform")) {
        version = attribute(element, "version");
    } else if (!isXslt(element)) {
        xmlChar* value = xmlGetNsProp(element, BAD_CAST "version", XSLT_NAMESPACE);
        if (value)
            version = fromXml(value);
        xmlFree(value);
    }
    return version ? version->toDouble() != 1.0 : parentIsForwardsCompatible;
}

class SheetChecker
{
public:
    explicit SheetChecker(xmlDoc* sheet)
        : m_sheet(sheet)
    {}

    std::optional<QString> run()
    {
        xmlNode* root = xmlDocGetRootElement(m_sheet);
        if (!root)
            return std::nullopt;
        collectDeclarations(root);
        visit(root, false);
        if (!m_problem)
            checkAttributeSets();
        return m_problem;
    }

private:
    void fail(const xmlNode* element, const QString& what, const char* attributeName = nullptr)
    {
        if (m_problem)
            return;
        QString where = QStringLiteral("element %1").arg(qualifiedName(element));
        if (attributeName)
            where += QStringLiteral(", attribute %1").arg(QString::fromUtf8(attributeName));
        where += QStringLiteral(", line %1").arg(xmlGetLineNo(element));
        m_problem = QStringLiteral("The style sheet is not valid: %1 (%2).").arg(what, where);
    }

    static QString qualifiedName(const xmlNode* node)
    {
        if (node->ns && node->ns->prefix)
            return fromXml(node->ns->prefix) + u':' + fromXml(node->name);
        return fromXml(node->name);
    }

    static bool hasTemplateAncestor(const xmlNode* node)
    {
        for (const xmlNode* n = node->parent; n && n->type == XML_ELEMENT_NODE; n = n->parent) {
            if (!isXslt(n) || isXslt(n, "template") || isXslt(n, "variable") || isXslt(n, "param"))
                return true;
        }
        return false;
    }

    void collectDeclarations(xmlNode* root)
    {
        for (xmlNode* child = root->children; child; child = child->next) {
            if (isXslt(child, "include") || isXslt(child, "import"))
                m_hasModules = true;
            if (isXslt(child, "attribute-set")) {
                const QString name = attribute(child, "name").value_or(QString());
                m_attributeSets[name].push_back(child);
            }
        }
    }

    void visit(xmlNode* element, bool parentIsForwardsCompatible)
    {
        const bool forwards = isForwardsCompatible(element, parentIsForwardsCompatible);
        checkSpaceAttribute(element);
        if (isXslt(element))
            checkInstruction(element, forwards);
        else
            checkLiteral(element);
        for (xmlNode* child = element->children; child && !m_problem; child = child->next) {
            if (child->type == XML_ELEMENT_NODE)
                visit(child, forwards);
        }
    }

    void checkSpaceAttribute(xmlNode* element)
    {
        xmlChar* space = xmlGetNsProp(element, BAD_CAST "space", XML_XML_NAMESPACE);
        if (space && !xmlStrEqual(space, BAD_CAST "preserve") && !xmlStrEqual(space, BAD_CAST "default"))
            fail(element, QStringLiteral("xml:space must be preserve or default"), "xml:space");
        xmlFree(space);
    }

    void checkLiteral(xmlNode* element)
    {
        for (xmlAttr* attr = element->properties; attr && !m_problem; attr = attr->next) {
            if (isXsltNamespace(attr->ns))
                continue;
            xmlChar* value = xmlNodeListGetString(m_sheet, attr->children, 1);
            if (const auto problem = templateProblem(fromXml(value)))
                fail(element, QStringLiteral("the attribute value %1").arg(*problem),
                     reinterpret_cast<const char*>(attr->name));
            xmlFree(value);
        }
    }

    void checkInstruction(xmlNode* element, bool forwards)
    {
        const ElementRule* rule = ruleFor(element);
        if (!rule) {
            // A later version's instruction fails only when reached; see failUnknownInstructionsWithoutFallback.
            if (!forwards)
                fail(element, QStringLiteral("%1 is not an XSLT 1.0 instruction").arg(qualifiedName(element)));
            return;
        }
        const std::string_view name(reinterpret_cast<const char*>(element->name));
        for (xmlAttr* attr = element->properties; attr && !m_problem; attr = attr->next) {
            const auto* attrName = reinterpret_cast<const char*>(attr->name);
            // Attributes of other namespaces are allowed, and so are names whose prefix is unbound.
            if (attr->ns || std::strchr(attrName, ':'))
                continue;
            // A sheet of a later version may use attributes and values this one does not know.
            if (forwards)
                continue;
            if (!contains(rule->attributes, attrName))
                fail(element, QStringLiteral("%1 has no such attribute").arg(qualifiedName(element)), attrName);
            else
                checkValue(element, name, attr);
        }
        for (std::string_view required = rule->required; !required.empty() && !m_problem;) {
            const auto space = required.find(' ');
            const std::string attr(required.substr(0, space));
            if (!xmlHasNsProp(element, BAD_CAST attr.c_str(), nullptr))
                fail(element, QStringLiteral("the attribute is required"), attr.c_str());
            required = space == std::string_view::npos ? std::string_view() : required.substr(space + 1);
        }
        checkContent(element, rule->content);
        checkSpecifics(element, name);
    }

    void checkValue(xmlNode* element, std::string_view name, xmlAttr* attr)
    {
        const std::string_view attrName(reinterpret_cast<const char*>(attr->name));
        if (const auto problem = valueProblem(name, attr))
            fail(element, *problem, attrName.data());
    }

    void checkContent(xmlNode* element, Content content)
    {
        if (content == Content::Any)
            return;
        for (xmlNode* child = element->children; child && !m_problem; child = child->next) {
            if (child->type == XML_COMMENT_NODE || child->type == XML_PI_NODE)
                continue;
            if ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) && isBlank(child))
                continue;
            bool allowed = false;
            if (content == Content::SortsAndParameters)
                allowed = isXslt(child, "sort") || isXslt(child, "with-param");
            else if (content == Content::Parameters)
                allowed = isXslt(child, "with-param");
            else if (content == Content::Attributes)
                allowed = isXslt(child, "attribute");
            if (!allowed) {
                const QString what = child->type == XML_ELEMENT_NODE ? qualifiedName(child) : QStringLiteral("text");
                fail(element, QStringLiteral("%1 may not contain %2").arg(qualifiedName(element), what));
            }
        }
    }

    void checkSpecifics(xmlNode* element, std::string_view name)
    {
        if (name == "template" && xmlHasNsProp(element, BAD_CAST "mode", nullptr) &&
            !xmlHasNsProp(element, BAD_CAST "match", nullptr))
            fail(element, QStringLiteral("a template with a mode needs a match pattern"), "mode");
        if ((name == "variable" || name == "param" || name == "with-param") &&
            xmlHasNsProp(element, BAD_CAST "select", nullptr) && hasContent(element))
            fail(element, QStringLiteral("a variable with a select attribute must be empty"), "select");
        if ((name == "variable" || name == "param") && hasTemplateAncestor(element))
            checkShadowing(element);
        if (name == "decimal-format")
            checkDecimalFormat(element);
        if (name == "namespace-alias") {
            for (const char* attr : {"stylesheet-prefix", "result-prefix"}) {
                const auto prefix = attribute(element, attr);
                if (prefix && *prefix != u"#default" && !isBoundPrefix(element, *prefix))
                    fail(element, QStringLiteral("the prefix \"%1\" is not declared").arg(*prefix), attr);
            }
        }
        if (name == "stylesheet" || name == "transform") {
            for (const char* attr : {"exclude-result-prefixes", "extension-element-prefixes"}) {
                const auto prefixes = attribute(element, attr);
                for (const QString& prefix : prefixes.value_or(QString()).split(u' ', Qt::SkipEmptyParts)) {
                    if (prefix != u"#default" && !isBoundPrefix(element, prefix))
                        fail(element, QStringLiteral("the prefix \"%1\" is not declared").arg(prefix), attr);
                }
            }
        }
    }

    // "{namespace}local" of a prefixed name, so that two prefixes of one namespace name the same.
    static QString expandedName(xmlNode* element, const QString& name)
    {
        const qsizetype colon = name.indexOf(u':');
        if (colon < 0)
            return name;
        const xmlNs* ns = xmlSearchNs(element->doc, element, BAD_CAST name.left(colon).toUtf8().constData());
        return u'{' + (ns ? fromXml(ns->href) : name.left(colon)) + u'}' + name.mid(colon + 1);
    }

    static bool hasContent(const xmlNode* element)
    {
        for (const xmlNode* child = element->children; child; child = child->next) {
            if (child->type == XML_ELEMENT_NODE ||
                ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) && !isBlank(child)))
                return true;
        }
        return false;
    }

    static bool isBoundPrefix(xmlNode* element, const QString& prefix)
    {
        return xmlSearchNs(element->doc, element, BAD_CAST prefix.toUtf8().constData()) != nullptr;
    }

    // A local variable may not share its name with another local variable in scope.
    void checkShadowing(xmlNode* element)
    {
        const auto name = attribute(element, "name");
        for (xmlNode* scope = element; scope && scope->type == XML_ELEMENT_NODE && hasTemplateAncestor(scope);
             scope = scope->parent) {
            for (xmlNode* sibling = scope->prev; sibling; sibling = sibling->prev) {
                if ((isXslt(sibling, "variable") || isXslt(sibling, "param")) && attribute(sibling, "name") == name) {
                    fail(element, QStringLiteral("the variable \"%1\" is already bound in this scope").arg(*name),
                         "name");
                    return;
                }
            }
        }
    }

    void checkDecimalFormat(xmlNode* element)
    {
        std::map<std::string, QString> values;
        for (xmlAttr* attr = element->properties; attr; attr = attr->next) {
            if (!attr->ns && !xmlStrEqual(attr->name, BAD_CAST "name")) {
                xmlChar* value = xmlNodeListGetString(m_sheet, attr->children, 1);
                values[reinterpret_cast<const char*>(attr->name)] = fromXml(value);
                xmlFree(value);
            }
        }
        const QString name = attribute(element, "name").value_or(QString());
        const auto [known, added] = m_decimalFormats.try_emplace(expandedName(element, name), values);
        if (!added && known->second != values)
            fail(element,
                 QStringLiteral("the decimal format \"%1\" is declared twice with different values").arg(name));
    }

    std::vector<QString> referencedSets(const xmlNode* element) const
    {
        std::vector<QString> names;
        const bool literal = !isXslt(element);
        xmlChar* value = literal ? xmlGetNsProp(element, BAD_CAST "use-attribute-sets", XSLT_NAMESPACE)
                                 : xmlGetNoNsProp(element, BAD_CAST "use-attribute-sets");
        for (const QString& name : fromXml(value).split(u' ', Qt::SkipEmptyParts))
            names.push_back(name);
        xmlFree(value);
        return names;
    }

    // Attribute sets that use undeclared sets or, through others, themselves. Sets of included or
    // imported modules are not seen here, so a sheet that has modules is not checked.
    void checkAttributeSets()
    {
        if (m_hasModules)
            return;
        std::map<QString, std::set<QString>> uses;
        for (const auto& [name, declarations] : m_attributeSets) {
            for (xmlNode* declaration : declarations) {
                collectUses(declaration, uses[name]);
                for (const QString& used : uses[name]) {
                    if (!m_attributeSets.contains(used)) {
                        fail(declaration, QStringLiteral("the attribute set \"%1\" is not declared").arg(used),
                             "use-attribute-sets");
                        return;
                    }
                }
            }
        }
        for (const auto& [name, declarations] : m_attributeSets) {
            std::set<QString> seen;
            std::vector<QString> pending(uses[name].begin(), uses[name].end());
            while (!pending.empty()) {
                const QString next = pending.back();
                pending.pop_back();
                if (next == name) {
                    fail(declarations.front(), QStringLiteral("the attribute set \"%1\" uses itself").arg(name),
                         "use-attribute-sets");
                    return;
                }
                if (seen.insert(next).second)
                    pending.insert(pending.end(), uses[next].begin(), uses[next].end());
            }
        }
    }

    void collectUses(const xmlNode* element, std::set<QString>& uses) const
    {
        for (const QString& name : referencedSets(element))
            uses.insert(name);
        for (const xmlNode* child = element->children; child; child = child->next) {
            if (child->type == XML_ELEMENT_NODE)
                collectUses(child, uses);
        }
    }

    xmlDoc* m_sheet;
    bool m_hasModules = false;
    std::map<QString, std::vector<xmlNode*>> m_attributeSets;
    std::map<QString, std::map<std::string, QString>> m_decimalFormats;
    std::optional<QString> m_problem;
};

// A later version's attributes and values, which libxslt would refuse, are ignored.
void dropUnknownAttributes(xmlNode* element, const ElementRule& rule)
{
    const std::string_view name(reinterpret_cast<const char*>(element->name));
    xmlAttr* attr = element->properties;
    while (attr) {
        xmlAttr* next = attr->next;
        const auto* attrName = reinterpret_cast<const char*>(attr->name);
        if (!attr->ns && !std::strchr(attrName, ':') &&
            (!contains(rule.attributes, attrName) || valueProblem(name, attr)))
            xmlRemoveProp(attr);
        attr = next;
    }
}

void replaceUnknownInstructions(xmlNode* element, bool inTemplate, bool forwards)
{
    xmlNode* child = element->children;
    while (child) {
        xmlNode* next = child->next;
        if (child->type == XML_ELEMENT_NODE) {
            const bool childInTemplate = inTemplate || !isXslt(child) || isXslt(child, "template");
            const bool childForwards = isForwardsCompatible(child, forwards);
            if (childForwards && inTemplate && isXslt(child) && !ruleFor(child)) {
                bool hasFallback = false;
                for (xmlNode* c = child->children; c; c = c->next)
                    hasFallback = hasFallback || isXslt(c, "fallback");
                if (!hasFallback) {
                    const QString text = QStringLiteral("xsl:%1 (line %2) is not supported by this XSLT processor and "
                                                        "has no xsl:fallback.")
                                             .arg(fromXml(child->name))
                                             .arg(xmlGetLineNo(child));
                    xmlNode* message = xmlNewDocNode(child->doc, child->ns, BAD_CAST "message", nullptr);
                    xmlSetProp(message, BAD_CAST "terminate", BAD_CAST "yes");
                    xmlNodeAddContent(message, BAD_CAST text.toUtf8().constData());
                    message->line = child->line;
                    xmlReplaceNode(child, message);
                    xmlFreeNode(child);
                    child = next;
                    continue;
                }
            }
            if (const ElementRule* rule = childForwards && isXslt(child) ? ruleFor(child) : nullptr)
                dropUnknownAttributes(child, *rule);
            replaceUnknownInstructions(child, childInTemplate, childForwards);
        }
        child = next;
    }
}

void dropXsltAttributes(xmlNode* element)
{
    for (xmlNode* child = element->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            dropXsltAttributes(child);
    }
    if (!isXslt(element))
        return;
    xmlAttr* attr = element->properties;
    while (attr) {
        xmlAttr* next = attr->next;
        if (isXsltNamespace(attr->ns))
            xmlRemoveProp(attr);
        attr = next;
    }
}

xmlNode* newInstruction(xmlNode* parent, xmlNode* like, const char* name)
{
    xmlNode* node = parent ? xmlNewChild(parent, like->ns, BAD_CAST name, nullptr)
                           : xmlNewDocNode(like->doc, like->ns, BAD_CAST name, nullptr);
    node->line = like->line;
    return node;
}

// Format tokens of letters other than the sequences A, a, I and i become "1".
QString withSupportedTokens(const QString& format)
{
    QString result;
    for (qsizetype i = 0; i < format.size();) {
        if (!format[i].isLetterOrNumber()) {
            result += format[i++];
            continue;
        }
        qsizetype end = i;
        bool digits = true;
        while (end < format.size() && format[end].isLetterOrNumber()) {
            digits = digits && format[end].isDigit();
            ++end;
        }
        const QStringView token = QStringView(format).mid(i, end - i);
        const bool supported = digits || token == u"A" || token == u"a" || token == u"I" || token == u"i";
        result += supported ? token.toString() : QStringLiteral("1");
        i = end;
    }
    return result;
}

void rewriteNumbers(xmlNode* element)
{
    xmlNode* child = element->children;
    while (child) {
        xmlNode* next = child->next;
        if (child->type == XML_ELEMENT_NODE)
            rewriteNumbers(child);
        const auto format = isXslt(child, "number") ? attribute(child, "format") : std::nullopt;
        if (format && !format->contains(u'{') && withSupportedTokens(*format) != *format)
            xmlSetProp(child, BAD_CAST "format", BAD_CAST withSupportedTokens(*format).toUtf8().constData());
        const auto value = isXslt(child, "number") ? attribute(child, "value") : std::nullopt;
        if (value) {
            const QString number = QStringLiteral("number((%1))").arg(*value);
            const QString test = QStringLiteral("string(%1) = 'NaN' or (%1 >= 0 and round(%1) = 0)").arg(number);
            xmlNode* choose = newInstruction(nullptr, child, "choose");
            xmlNode* when = newInstruction(choose, child, "when");
            xmlSetProp(when, BAD_CAST "test", BAD_CAST test.toUtf8().constData());
            xmlSetProp(newInstruction(when, child, "value-of"), BAD_CAST "select",
                       BAD_CAST value->toUtf8().constData());
            xmlNode* otherwise = newInstruction(choose, child, "otherwise");
            xmlReplaceNode(child, choose);
            xmlAddChild(otherwise, child);
        }
        child = next;
    }
}

void replaceCdata(xmlNode* element)
{
    xmlNode* child = element->children;
    while (child) {
        xmlNode* next = child->next;
        if (child->type == XML_ELEMENT_NODE) {
            replaceCdata(child);
        } else if (child->type == XML_CDATA_SECTION_NODE) {
            // Merged with the text around it, so that blanks in CDATA are not taken for a
            // whitespace-only node of the sheet.
            xmlNode* text = xmlNewDocText(child->doc, child->content);
            xmlReplaceNode(child, text);
            xmlFreeNode(child);
            if (text->prev && text->prev->type == XML_TEXT_NODE)
                text = xmlTextMerge(text->prev, text);
            if (next && next->type == XML_TEXT_NODE) {
                next = next->next;
                text = xmlTextMerge(text, text->next);
            }
        }
        child = next;
    }
}

void addNamespaceCopies(xmlNode* element)
{
    for (xmlNode* child = element->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            addNamespaceCopies(child);
    }
    if (!isXslt(element, "copy"))
        return;
    xmlNode* copyOf = xmlNewDocNode(element->doc, element->ns, BAD_CAST "copy-of", nullptr);
    xmlSetProp(copyOf, BAD_CAST "select", BAD_CAST "namespace::*");
    copyOf->line = element->line;
    if (element->children)
        xmlAddPrevSibling(element->children, copyOf);
    else
        xmlAddChild(element, copyOf);
}

} // namespace

std::optional<QString> styleSheetProblem(xmlDoc* sheet)
{
    return SheetChecker(sheet).run();
}

void failUnknownInstructionsWithoutFallback(xmlDoc* sheet)
{
    if (xmlNode* root = xmlDocGetRootElement(sheet))
        replaceUnknownInstructions(root, !isXslt(root), isForwardsCompatible(root, false));
}

void dropXsltAttributesOfInstructions(xmlDoc* sheet)
{
    if (xmlNode* root = xmlDocGetRootElement(sheet))
        dropXsltAttributes(root);
}

void numberAsTheOriginalService(xmlDoc* sheet)
{
    if (xmlNode* root = xmlDocGetRootElement(sheet))
        rewriteNumbers(root);
}

void cdataSectionsAsText(xmlDoc* sheet)
{
    if (xmlNode* root = xmlDocGetRootElement(sheet))
        replaceCdata(root);
}

void copyInheritedNamespaces(xmlDoc* sheet)
{
    if (xmlNode* root = xmlDocGetRootElement(sheet))
        addNamespaceCopies(root);
}

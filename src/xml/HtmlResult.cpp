#include "xml/HtmlResult.h"

#include <QByteArray>

#include <libxml/xmlstring.h>

#include <array>

namespace {

bool nameIsOneOf(const xmlChar* name, const auto& names)
{
    for (const char* candidate : names) {
        if (xmlStrcasecmp(name, BAD_CAST candidate) == 0)
            return true;
    }
    return false;
}

constexpr std::array EmptyElements{"area", "base",  "basefont", "br",   "col",  "frame", "hr",
                                   "img",  "input", "isindex",  "link", "meta", "param"};

// libxml2 escapes href, src, action and a's name itself.
constexpr std::array UriAttributes{"background", "cite",     "classid", "codebase",
                                   "data",       "longdesc", "profile", "usemap"};

bool isHtmlElement(const xmlNode* node)
{
    return node->type == XML_ELEMENT_NODE && !node->ns;
}

void escapeNonAscii(xmlAttr* attr)
{
    xmlChar* value = xmlNodeListGetString(attr->doc, attr->children, 1);
    if (!value)
        return;
    const QByteArray text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    QByteArray escaped;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x80)
            escaped += c;
        else
            escaped += '%' + QByteArray::number(static_cast<unsigned char>(c), 16).toUpper().rightJustified(2, '0');
    }
    if (escaped != text)
        xmlSetNsProp(attr->parent, nullptr, attr->name, BAD_CAST escaped.constData());
}

void shapeElements(xmlNode* parent)
{
    for (xmlNode* node = parent->children; node; node = node->next) {
        if (!isHtmlElement(node))
            continue;
        for (xmlAttr* attr = node->properties; attr; attr = attr->next) {
            const bool scriptFor =
                xmlStrcasecmp(node->name, BAD_CAST "script") == 0 && xmlStrcasecmp(attr->name, BAD_CAST "for") == 0;
            if (!attr->ns && (scriptFor || nameIsOneOf(attr->name, UriAttributes)))
                escapeNonAscii(attr);
        }
        shapeElements(node);
        if (node->children && nameIsOneOf(node->name, EmptyElements)) {
            // In document order after the element, where the serialiser still writes them.
            xmlNode* after = node;
            while (xmlNode* child = node->children) {
                xmlUnlinkNode(child);
                after = xmlAddNextSibling(after, child);
            }
        }
    }
}

xmlNode* findHead(xmlNode* parent)
{
    for (xmlNode* node = parent->children; node; node = node->next) {
        if (!isHtmlElement(node))
            continue;
        if (xmlStrcasecmp(node->name, BAD_CAST "head") == 0)
            return node;
        if (xmlStrcasecmp(node->name, BAD_CAST "html") == 0)
            return findHead(node);
    }
    return nullptr;
}

void addContentTypeMeta(xmlDoc* result, const xmlChar* mediaType, const xmlChar* encoding)
{
    xmlNode* head = findHead(reinterpret_cast<xmlNode*>(result));
    if (!head)
        return;
    for (xmlNode* node = head->children; node; node = node->next) {
        if (isHtmlElement(node) && xmlStrcasecmp(node->name, BAD_CAST "meta") == 0) {
            xmlChar* equiv = xmlGetProp(node, BAD_CAST "http-equiv");
            const bool contentType = equiv && xmlStrcasecmp(equiv, BAD_CAST "Content-Type") == 0;
            xmlFree(equiv);
            if (contentType)
                return;
        }
    }
    // The serialiser keeps a content-type meta whose charset already names the output's encoding.
    const QByteArray content = QByteArray(mediaType ? reinterpret_cast<const char*>(mediaType) : "text/html") +
                               "; charset=" + (encoding ? reinterpret_cast<const char*>(encoding) : "utf-8");
    xmlNode* meta = xmlNewDocNode(result, nullptr, BAD_CAST "META", nullptr);
    xmlSetProp(meta, BAD_CAST "http-equiv", BAD_CAST "Content-Type");
    xmlSetProp(meta, BAD_CAST "content", BAD_CAST content.constData());
    if (head->children)
        xmlAddPrevSibling(head->children, meta);
    else
        xmlAddChild(head, meta);
}

} // namespace

void shapeHtmlResult(xmlDoc* result, const xmlChar* mediaType, const xmlChar* encoding)
{
    shapeElements(reinterpret_cast<xmlNode*>(result));
    addContentTypeMeta(result, mediaType, encoding);
}

#pragma once

#include "xml/XmlText.h"

#include <QString>

#include <libxml/tree.h>

// The DOM's node type number of a libxml2 node: 1 element, 2 attribute, 3 text, 9 document, ...
inline int domNodeType(const xmlNode* node)
{
    switch (node->type) {
    case XML_DTD_NODE:
        return 10;
    case XML_HTML_DOCUMENT_NODE:
        return 9;
    default:
        return int(node->type);
    }
}

// The DOM's node name: the qualified name as written ("xsl:variable"), "#text", "#comment" and so on.
inline QString domNodeName(const xmlNode* node)
{
    const auto text = fromXml;
    switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
        if (node->ns && node->ns->prefix)
            return text(node->ns->prefix) + u':' + text(node->name);
        return text(node->name);
    case XML_TEXT_NODE:
        return QStringLiteral("#text");
    case XML_CDATA_SECTION_NODE:
        return QStringLiteral("#cdata-section");
    case XML_COMMENT_NODE:
        return QStringLiteral("#comment");
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
        return QStringLiteral("#document");
    case XML_DOCUMENT_FRAG_NODE:
        return QStringLiteral("#document-fragment");
    default:
        return node->name ? text(node->name) : QString();
    }
}

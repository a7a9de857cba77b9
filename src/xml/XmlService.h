#pragma once

#include <QString>

#include <libxml/tree.h>

#include <memory>
#include <optional>
#include <vector>

struct XmlDocDeleter
{
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocDeleter>;

// A node of a loaded document. A thin handle: the document owns the node.
class XmlNode
{
public:
    explicit XmlNode(xmlNode* node)
        : m_node(node)
    {}

    static constexpr int ElementNode = 1;

    // The DOM node type: 1 element, 2 attribute, 3 text, 4 CDATA, 7 processing instruction, 8 comment, ...
    int nodeType() const;
    bool isElement() const { return nodeType() == ElementNode; }

    // The qualified name as written ("xsl:variable"); "#text", "#comment" and so on for other nodes.
    QString nodeName() const;

    std::vector<XmlNode> childNodes() const;

    // The attribute of that qualified name, or nothing when the element lacks it.
    std::optional<QString> getAttribute(const QString& name) const;

    // Replaces (or adds) the attribute in the loaded document.
    void setAttribute(const QString& name, const QString& value);

    xmlNode* raw() const { return m_node; }

private:
    xmlNode* m_node;
};

struct XmlParseError
{
    qint32 errorCode = 0;
    QString reason;
};

/**
 * An XML document as the pipeline uses it: loaded synchronously from a file without validation,
 * without network access and without external entities or DTDs; whitespace-only text nodes are
 * dropped while parsing unless xml:space says "preserve".
 */
class XmlDocument
{
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(XmlDocument&&) noexcept;
    XmlDocument& operator=(XmlDocument&&) noexcept;

    // False when the file cannot be read or is not well-formed; parseError() then says why.
    bool load(const QString& path);

    // As load, but the text is kept as XSLT's own whitespace rules want it (xsl:text keeps its blanks).
    bool loadStyleSheet(const QString& path);
    const XmlParseError& parseError() const { return m_parseError; }

    bool isLoaded() const { return m_doc != nullptr; }
    std::optional<XmlNode> documentElement() const;

    // Every element of that qualified name (prefix included, as written), in document order.
    std::vector<XmlNode> getElementsByTagName(const QString& qualifiedName) const;

    xmlDoc* raw() const { return m_doc.get(); }

    // Lets go of the tree without freeing it, for a process about to end: freeing a large source
    // costs about a tenth of a command-line run. Builds that check for leaks free it as usual.
    void leaveToExit();

private:
    XmlDocPtr m_doc;
    XmlParseError m_parseError;
};

/**
 * Applies the style sheet document, as it stands in memory, to the source document and writes
 * the result, serialised as the style sheet's xsl:output asks, to the open file descriptor.
 * Style sheets may read local files but not write files, create folders or use the network.
 * Returns what the processor reported on the way (xsl:message texts, warnings), empty when
 * nothing. Throws UnexpectedFailure with the processor's description when the transformation fails.
 */
QString transformNodeToObject(const XmlDocument& source, const XmlDocument& styleSheet, int outputFd);

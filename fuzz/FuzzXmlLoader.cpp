#include "FuzzSupport.h"

#include "xml/XmlService.h"

#include <QFile>

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <string>

namespace {

// The options the loader parses with: the reference must expand the same entities.
constexpr int LoaderOptions = XML_PARSE_NOENT | XML_PARSE_DTDATTR | XML_PARSE_NONET | XML_PARSE_COMPACT;

struct Reference
{
    XmlDocPtr doc;
    bool undeclaredEntity = false;
};

void recordError(void* context, xmlErrorPtr error)
{
    if (context && error && error->code == XML_WAR_UNDECLARED_ENTITY)
        static_cast<Reference*>(context)->undeclaredEntity = true;
}

Reference parseReference(const QByteArray& bytes, const QString& path)
{
    Reference reference;
    xmlSetStructuredErrorFunc(&reference, recordError);
    reference.doc.reset(xmlReadMemory(bytes.constData(), int(bytes.size()), QFile::encodeName(path).constData(),
                                      nullptr, LoaderOptions));
    xmlSetStructuredErrorFunc(nullptr, recordError);
    return reference;
}

bool isBlank(const std::string& text)
{
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

bool isTextLike(const xmlNode* node)
{
    return node && (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE);
}

// What the loader should have built: each run of text and CDATA one text node, dropped when it is
// whitespace only, holds no CDATA and xml:space (as libxml2 itself reads it) does not preserve it.
void removeBlankText(xmlNode* parent)
{
    const bool preserve = xmlNodeGetSpacePreserve(parent) == 1;
    xmlNode* child = parent->children;
    while (child) {
        if (!isTextLike(child)) {
            if (child->type == XML_ELEMENT_NODE)
                removeBlankText(child);
            child = child->next;
            continue;
        }
        std::string text;
        bool cdata = false;
        xmlNode* after = child;
        while (isTextLike(after)) {
            cdata = cdata || after->type == XML_CDATA_SECTION_NODE;
            if (after->content)
                text += reinterpret_cast<const char*>(after->content);
            xmlNode* next = after->next;
            if (after != child) {
                xmlUnlinkNode(after);
                xmlFreeNode(after);
            }
            after = next;
        }
        if (preserve || cdata || !isBlank(text)) {
            xmlNode* replacement = xmlNewDocTextLen(parent->doc, BAD_CAST text.data(), int(text.size()));
            xmlReplaceNode(child, replacement);
        } else {
            xmlUnlinkNode(child);
        }
        xmlFreeNode(child);
        child = after;
    }
}

QString text(const xmlChar* value)
{
    return value ? QString::fromUtf8(reinterpret_cast<const char*>(value)) : QStringLiteral("(none)");
}

bool sameNamespace(const xmlNs* a, const xmlNs* b)
{
    if (!a || !b)
        return a == b;
    return xmlStrEqual(a->href, b->href) && xmlStrEqual(a->prefix, b->prefix);
}

QString attributeValue(const xmlAttr* attr)
{
    xmlChar* value = xmlNodeListGetString(attr->doc, attr->children, 0);
    QString result = text(value);
    xmlFree(value);
    return result;
}

// Empty when the trees are equal, else where they first differ.
QString difference(const xmlNode* ours, const xmlNode* theirs)
{
    for (; ours && theirs; ours = ours->next, theirs = theirs->next) {
        const QString where = QStringLiteral("node %1 (type %2)").arg(text(theirs->name)).arg(int(theirs->type));
        if (ours->type != theirs->type || !xmlStrEqual(ours->name, theirs->name))
            return where + QStringLiteral(": ours is %1 (type %2)").arg(text(ours->name)).arg(int(ours->type));
        if (ours->type == XML_DTD_NODE)
            continue;
        if (!xmlStrEqual(ours->content, theirs->content))
            return where +
                   QStringLiteral(": content \"%1\", expected \"%2\"").arg(text(ours->content), text(theirs->content));
        if (ours->type != XML_ELEMENT_NODE)
            continue;
        if (!sameNamespace(ours->ns, theirs->ns))
            return where + QStringLiteral(": namespace");
        const xmlNs* ourNs = ours->nsDef;
        const xmlNs* theirNs = theirs->nsDef;
        for (; ourNs && theirNs; ourNs = ourNs->next, theirNs = theirNs->next) {
            if (!sameNamespace(ourNs, theirNs))
                return where + QStringLiteral(": namespace declaration");
        }
        if (ourNs || theirNs)
            return where + QStringLiteral(": number of namespace declarations");
        const xmlAttr* ourAttr = ours->properties;
        const xmlAttr* theirAttr = theirs->properties;
        for (; ourAttr && theirAttr; ourAttr = ourAttr->next, theirAttr = theirAttr->next) {
            if (!xmlStrEqual(ourAttr->name, theirAttr->name) || !sameNamespace(ourAttr->ns, theirAttr->ns) ||
                attributeValue(ourAttr) != attributeValue(theirAttr))
                return where + QStringLiteral(": attribute %1").arg(text(theirAttr->name));
        }
        if (ourAttr || theirAttr)
            return where + QStringLiteral(": number of attributes");
        if (QString inner = difference(ours->children, theirs->children); !inner.isEmpty())
            return where + QStringLiteral(" > ") + inner;
    }
    if (ours || theirs)
        return ours ? QStringLiteral("an extra node %1 (type %2)").arg(text(ours->name)).arg(int(ours->type))
                    : QStringLiteral("a missing node %1 (type %2)").arg(text(theirs->name)).arg(int(theirs->type));
    return {};
}

} // namespace

// The loader's tree equals libxml2's plain parse of the same bytes once whitespace-only text is
// taken out by a separate walk; both refuse the same documents, except that the loader also
// refuses a reference to an entity the document does not declare.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    const QString path = writeScratchFile(bytes, QStringLiteral("input.xml"));
    XmlDocument ours;
    const bool loaded = ours.load(path);
    Reference reference = parseReference(bytes, path);

    if (!reference.doc || reference.undeclaredEntity) {
        if (loaded)
            fuzzFinding(reference.doc ? "a reference to an undeclared entity stops the load"
                                      : "the loader refuses what libxml2 refuses");
        return 0;
    }
    if (!loaded)
        fuzzFinding("the loader reads what libxml2 reads", ours.parseError().reason);
    if (xmlNode* root = xmlDocGetRootElement(reference.doc.get()))
        removeBlankText(root);
    if (const QString where = difference(ours.raw()->children, reference.doc->children); !where.isEmpty())
        fuzzFinding("the loader's tree equals the reference", where);
    return 0;
}

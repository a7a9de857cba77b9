#include "scripts/ScriptDom.h"

#include "xml/DomNames.h"

#include <QJSEngine>
#include <QRegularExpression>

#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <cstring>

namespace {

struct XPathContextFree
{
    void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
};
struct XPathObjectFree
{
    void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
};
struct BufferFree
{
    void operator()(xmlBuffer* buffer) const { xmlBufferFree(buffer); }
};
struct ParserContextFree
{
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};
struct DocFree
{
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

// libxslt's mark on the documents that hold result tree fragments.
bool isResultTreeFragment(const xmlDoc* doc)
{
    return doc && doc->name && std::strcmp(doc->name, " fake node libxslt") == 0;
}

QString contentOf(const xmlNode* node)
{
    // The usual cases, a text node or an element holding one, without a buffer.
    switch (node->type) {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
        return fromXml(node->content);
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
        if (!node->children)
            return {};
        if (!node->children->next && node->children->type == XML_TEXT_NODE)
            return fromXml(node->children->content);
        break;
    default:
        break;
    }
    xmlChar* content = xmlNodeGetContent(node);
    QString text = fromXml(content);
    xmlFree(content);
    return text;
}

bool isDocument(const xmlNode* node)
{
    return node->type == XML_DOCUMENT_NODE || node->type == XML_HTML_DOCUMENT_NODE;
}

// Links a node as the last child without libxml2's merging of adjacent text, which would free a
// node that a script still holds.
void linkLast(xmlNode* parent, xmlNode* child)
{
    if (child->doc != parent->doc)
        xmlSetTreeDoc(child, parent->doc);
    child->parent = parent;
    child->next = nullptr;
    child->prev = parent->last;
    if (parent->last)
        parent->last->next = child;
    else
        parent->children = child;
    parent->last = child;
}

void linkAttribute(xmlNode* element, xmlAttr* attr)
{
    if (attr->doc != element->doc)
        xmlSetTreeDoc(reinterpret_cast<xmlNode*>(attr), element->doc);
    attr->parent = element;
    attr->next = nullptr;
    attr->prev = nullptr;
    if (!element->properties) {
        element->properties = attr;
        return;
    }
    xmlAttr* last = element->properties;
    while (last->next)
        last = last->next;
    last->next = attr;
    attr->prev = last;
}

xmlAttr* findAttribute(xmlNode* element, const QString& name)
{
    for (xmlAttr* attr = element->properties; attr; attr = attr->next) {
        if (domNodeName(reinterpret_cast<xmlNode*>(attr)) == name)
            return attr;
    }
    return nullptr;
}

bool isAncestorOrSelf(const xmlNode* candidate, const xmlNode* node)
{
    for (; node; node = node->parent) {
        if (node == candidate)
            return true;
    }
    return false;
}

} // namespace

ScriptNodes::~ScriptNodes()
{
    // Roots are picked before any is freed: freeing one frees the detached nodes below it.
    std::sort(m_detached.begin(), m_detached.end());
    m_detached.erase(std::unique(m_detached.begin(), m_detached.end()), m_detached.end());
    std::vector<xmlNode*> roots;
    for (xmlNode* node : m_detached) {
        if (!node->parent)
            roots.push_back(node);
    }
    for (xmlNode* root : roots)
        xmlFreeNode(root);
}

int ScriptNodes::handle(xmlNode* node)
{
    const int h = int(m_nodes.size());
    m_nodes.push_back(node);
    if (isResultTreeFragment(node->doc))
        m_transient.push_back(h);
    return h;
}

xmlNode* ScriptNodes::node(int handle) const
{
    return handle >= 0 && std::size_t(handle) < m_nodes.size() ? m_nodes[std::size_t(handle)] : nullptr;
}

void ScriptNodes::endCall()
{
    for (const int h : m_transient)
        m_nodes[std::size_t(h)] = nullptr;
    m_transient.clear();
}

xmlDoc* ScriptNodes::newDocument()
{
    m_documents.emplace_back(xmlNewDoc(BAD_CAST "1.0"));
    return m_documents.back().get();
}

bool ScriptNodes::owns(const xmlNode* node) const
{
    return std::any_of(m_documents.begin(), m_documents.end(),
                       [node](const auto& doc) { return doc.get() == node->doc; });
}

ScriptDom::ScriptDom(ScriptNodes& nodes, QJSEngine& engine)
    : m_nodes(nodes)
    , m_engine(engine)
{}

xmlNode* ScriptDom::nodeOrThrow(int h)
{
    xmlNode* node = m_nodes.node(h);
    if (!node)
        m_engine.throwError(QStringLiteral("The node is no longer available: a result tree fragment lasts only "
                                           "for the call it is passed to"));
    return node;
}

xmlNode* ScriptDom::changeableOrThrow(int h)
{
    xmlNode* node = nodeOrThrow(h);
    if (node && !m_nodes.owns(node)) {
        m_engine.throwError(QStringLiteral("The node is read-only: scripts may change only documents they create"));
        return nullptr;
    }
    return node;
}

QJSValue ScriptDom::handles(const std::vector<xmlNode*>& nodes)
{
    // Converted in one go: setting elements one by one through QJSValue costs more.
    QVariantList array;
    array.reserve(qsizetype(nodes.size()));
    for (xmlNode* node : nodes)
        array.append(m_nodes.handle(node));
    return m_engine.toScriptValue(array);
}

int ScriptDom::nodeType(int h)
{
    xmlNode* node = nodeOrThrow(h);
    return node ? domNodeType(node) : 0;
}

QString ScriptDom::nodeName(int h)
{
    xmlNode* node = nodeOrThrow(h);
    return node ? domNodeName(node) : QString();
}

QJSValue ScriptDom::nodeValue(int h)
{
    const xmlNode* node = nodeOrThrow(h);
    if (!node)
        return {};
    switch (node->type) {
    case XML_ATTRIBUTE_NODE:
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
        return contentOf(node);
    default:
        return QJSValue(QJSValue::NullValue);
    }
}

void ScriptDom::setNodeValue(int h, const QString& value)
{
    xmlNode* node = changeableOrThrow(h);
    if (!node)
        return;
    if (node->type == XML_ELEMENT_NODE || isDocument(node))
        m_engine.throwError(QStringLiteral("The value of a %1 node cannot be set").arg(nodeName(h)));
    else
        setText(h, value);
}

QString ScriptDom::text(int h)
{
    const xmlNode* node = nodeOrThrow(h);
    return node ? contentOf(node) : QString();
}

void ScriptDom::setText(int h, const QString& value)
{
    xmlNode* node = changeableOrThrow(h);
    if (!node)
        return;
    if (node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE) {
        replaceChildrenWithText(node, value);
    } else if (isDocument(node)) {
        m_engine.throwError(QStringLiteral("The text of a document cannot be set"));
    } else {
        xmlNodeSetContent(node, BAD_CAST value.toUtf8().constData());
    }
}

// The old children are detached, not freed: a script may still hold them.
void ScriptDom::replaceChildrenWithText(xmlNode* node, const QString& value)
{
    while (xmlNode* child = node->children) {
        xmlUnlinkNode(child);
        m_nodes.detached(child);
    }
    const QByteArray utf8 = value.toUtf8();
    if (!utf8.isEmpty())
        linkLast(node, xmlNewDocTextLen(node->doc, BAD_CAST utf8.constData(), int(utf8.size())));
}

QString ScriptDom::xml(int h)
{
    xmlNode* node = nodeOrThrow(h);
    if (!node)
        return {};
    if (node->type == XML_ATTRIBUTE_NODE) {
        xmlChar* escaped = xmlEncodeSpecialChars(node->doc, BAD_CAST contentOf(node).toUtf8().constData());
        const QString text = domNodeName(node) + QStringLiteral("=\"") + fromXml(escaped) + u'"';
        xmlFree(escaped);
        return text;
    }
    std::unique_ptr<xmlBuffer, BufferFree> buffer(xmlBufferCreate());
    if (isDocument(node)) {
        for (xmlNode* child = node->children; child; child = child->next) {
            xmlNodeDump(buffer.get(), node->doc, child, 0, 0);
            xmlBufferCCat(buffer.get(), "\r\n");
        }
    } else {
        xmlNodeDump(buffer.get(), node->doc, node, 0, 0);
    }
    return fromXml(xmlBufferContent(buffer.get()));
}

QString ScriptDom::baseName(int h)
{
    const xmlNode* node = nodeOrThrow(h);
    if (!node || (node->type != XML_ELEMENT_NODE && node->type != XML_ATTRIBUTE_NODE && node->type != XML_PI_NODE))
        return {};
    return fromXml(node->name);
}

QString ScriptDom::prefix(int h)
{
    const xmlNode* node = nodeOrThrow(h);
    if (!node || (node->type != XML_ELEMENT_NODE && node->type != XML_ATTRIBUTE_NODE) || !node->ns)
        return {};
    return fromXml(node->ns->prefix);
}

QString ScriptDom::namespaceURI(int h)
{
    const xmlNode* node = nodeOrThrow(h);
    if (!node || (node->type != XML_ELEMENT_NODE && node->type != XML_ATTRIBUTE_NODE) || !node->ns)
        return {};
    return fromXml(node->ns->href);
}

int ScriptDom::parentNode(int h)
{
    xmlNode* node = nodeOrThrow(h);
    if (!node || node->type == XML_ATTRIBUTE_NODE || !node->parent)
        return -1;
    return m_nodes.handle(node->parent);
}

int ScriptDom::firstChild(int h)
{
    xmlNode* node = nodeOrThrow(h);
    return node && node->children && node->type != XML_ENTITY_REF_NODE ? m_nodes.handle(node->children) : -1;
}

int ScriptDom::lastChild(int h)
{
    xmlNode* node = nodeOrThrow(h);
    return node && node->last && node->type != XML_ENTITY_REF_NODE ? m_nodes.handle(node->last) : -1;
}

int ScriptDom::nextSibling(int h)
{
    xmlNode* node = nodeOrThrow(h);
    return node && node->type != XML_ATTRIBUTE_NODE && node->next ? m_nodes.handle(node->next) : -1;
}

int ScriptDom::previousSibling(int h)
{
    xmlNode* node = nodeOrThrow(h);
    return node && node->type != XML_ATTRIBUTE_NODE && node->prev ? m_nodes.handle(node->prev) : -1;
}

int ScriptDom::ownerDocument(int h)
{
    xmlNode* node = nodeOrThrow(h);
    return node && !isDocument(node) && node->doc ? m_nodes.handle(reinterpret_cast<xmlNode*>(node->doc)) : -1;
}

int ScriptDom::documentElement(int h)
{
    xmlNode* node = nodeOrThrow(h);
    xmlNode* root = node && isDocument(node) ? xmlDocGetRootElement(reinterpret_cast<xmlDoc*>(node)) : nullptr;
    return root ? m_nodes.handle(root) : -1;
}

QJSValue ScriptDom::childNodes(int h)
{
    xmlNode* node = nodeOrThrow(h);
    std::vector<xmlNode*> children;
    if (node && node->type != XML_ENTITY_REF_NODE) {
        for (xmlNode* child = node->children; child; child = child->next)
            children.push_back(child);
    }
    return handles(children);
}

QJSValue ScriptDom::attributes(int h)
{
    xmlNode* node = nodeOrThrow(h);
    if (!node || node->type != XML_ELEMENT_NODE)
        return QJSValue(QJSValue::NullValue);
    std::vector<xmlNode*> attributes;
    for (xmlAttr* attr = node->properties; attr; attr = attr->next)
        attributes.push_back(reinterpret_cast<xmlNode*>(attr));
    return handles(attributes);
}

QJSValue ScriptDom::getAttribute(int h, const QString& name)
{
    xmlNode* node = nodeOrThrow(h);
    const xmlAttr* attr = node && node->type == XML_ELEMENT_NODE ? findAttribute(node, name) : nullptr;
    if (!attr)
        return QJSValue(QJSValue::NullValue);
    return contentOf(reinterpret_cast<const xmlNode*>(attr));
}

std::vector<xmlNode*> ScriptDom::select(xmlNode* context, const QString& xpath)
{
    std::vector<xmlNode*> found;
    xmlDoc* doc = isDocument(context) ? reinterpret_cast<xmlDoc*>(context) : context->doc;
    std::unique_ptr<xmlXPathContext, XPathContextFree> xpathContext(xmlXPathNewContext(doc));
    xpathContext->node = context;
    const ScriptNodes::DocumentState& state = m_nodes.stateOf(doc);
    for (auto it = state.selectionNamespaces.begin(); it != state.selectionNamespaces.end(); ++it)
        xmlXPathRegisterNs(xpathContext.get(), BAD_CAST it.key().toUtf8().constData(),
                           BAD_CAST it.value().toUtf8().constData());
    std::unique_ptr<xmlXPathObject, XPathObjectFree> result(
        xmlXPathEvalExpression(BAD_CAST xpath.toUtf8().constData(), xpathContext.get()));
    if (!result || result->type != XPATH_NODESET) {
        m_engine.throwError(
            QStringLiteral("The XPath expression \"%1\" %2")
                .arg(xpath, result ? QStringLiteral("does not select nodes") : QStringLiteral("is not valid")));
        return found;
    }
    if (const xmlNodeSet* nodes = result->nodesetval) {
        for (int i = 0; i < nodes->nodeNr; ++i) {
            // Namespace nodes are copies that live only as long as the result.
            if (nodes->nodeTab[i]->type != XML_NAMESPACE_DECL)
                found.push_back(nodes->nodeTab[i]);
        }
    }
    return found;
}

QJSValue ScriptDom::selectNodes(int h, const QString& xpath)
{
    xmlNode* node = nodeOrThrow(h);
    return node ? handles(select(node, xpath)) : QJSValue();
}

int ScriptDom::selectSingleNode(int h, const QString& xpath)
{
    xmlNode* node = nodeOrThrow(h);
    if (!node)
        return -1;
    const auto found = select(node, xpath);
    return found.empty() ? -1 : m_nodes.handle(found.front());
}

int ScriptDom::newDocument(const QString& className)
{
    static const QRegularExpression documentClasses(
        QStringLiteral(R"(^(msxml2\.(freethreaded)?domdocument(\.\d+\.0)?|microsoft\.(freethreaded)?xmldom)$)"),
        QRegularExpression::CaseInsensitiveOption);
    if (!documentClasses.match(className).hasMatch()) {
        m_engine.throwError(QStringLiteral("ActiveXObject: the class \"%1\" is not available to style sheet "
                                           "scripts; only the XML document classes are")
                                .arg(className));
        return -1;
    }
    return m_nodes.handle(reinterpret_cast<xmlNode*>(m_nodes.newDocument()));
}

bool ScriptDom::loadXML(int h, const QString& text)
{
    xmlNode* node = changeableOrThrow(h);
    if (!node)
        return false;
    if (!isDocument(node)) {
        m_engine.throwError(QStringLiteral("loadXML is a method of documents"));
        return false;
    }
    ScriptNodes::DocumentState& state = m_nodes.stateOf(reinterpret_cast<xmlDoc*>(node));
    replaceChildrenWithText(node, QString());

    // Nothing outside the text is fetched (the entity loader refuses), and no dictionary is used,
    // so that nodes can move between the documents scripts build.
    const QByteArray utf8 = text.toUtf8();
    std::unique_ptr<xmlParserCtxt, ParserContextFree> parser(xmlNewParserCtxt());
    std::unique_ptr<xmlDoc, DocFree> parsed(
        xmlCtxtReadMemory(parser.get(), utf8.constData(), int(utf8.size()), nullptr, "UTF-8",
                          XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NODICT | XML_PARSE_DTDATTR |
                              XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!parsed) {
        const xmlError* error = xmlCtxtGetLastError(parser.get());
        state.errorCode = error ? error->code : -1;
        state.reason = error && error->message ? QString::fromUtf8(error->message).trimmed()
                                               : QStringLiteral("The text is not well-formed XML.");
        return false;
    }
    state.errorCode = 0;
    state.reason.clear();
    for (xmlNode* child = parsed->children; child;) {
        xmlNode* next = child->next;
        if (child->type != XML_DTD_NODE) {
            xmlUnlinkNode(child);
            linkLast(node, child);
        }
        child = next;
    }
    return true;
}

QJSValue ScriptDom::parseError(int h)
{
    xmlNode* node = nodeOrThrow(h);
    QJSValue error = m_engine.newObject();
    if (node && isDocument(node)) {
        const ScriptNodes::DocumentState& state = m_nodes.stateOf(reinterpret_cast<xmlDoc*>(node));
        error.setProperty(QStringLiteral("errorCode"), state.errorCode);
        error.setProperty(QStringLiteral("reason"), state.reason);
    }
    return error;
}

void ScriptDom::setProperty(int h, const QString& name, const QString& value)
{
    xmlNode* node = nodeOrThrow(h);
    if (!node || !isDocument(node) || name != u"SelectionNamespaces")
        return;
    static const QRegularExpression declaration(QStringLiteral(R"(xmlns:([\w.-]+)\s*=\s*(['"])(.*?)\2)"));
    auto& namespaces = m_nodes.stateOf(reinterpret_cast<xmlDoc*>(node)).selectionNamespaces;
    namespaces.clear();
    for (const auto& match : declaration.globalMatch(value))
        namespaces.insert(match.captured(1), match.captured(3));
}

int ScriptDom::createNode(int h, const QJSValue& type, const QString& name, const QString& namespaceUri)
{
    xmlNode* docNode = changeableOrThrow(h);
    if (!docNode)
        return -1;
    xmlDoc* doc = docNode->doc ? docNode->doc : reinterpret_cast<xmlDoc*>(docNode);
    static const QHash<QString, int> typeNames{
        {QStringLiteral("element"), 1}, {QStringLiteral("attribute"), 2},
        {QStringLiteral("text"), 3},    {QStringLiteral("cdatasection"), 4},
        {QStringLiteral("comment"), 8}, {QStringLiteral("processinginstruction"), 7}};
    const int kind = type.isNumber() ? type.toInt() : typeNames.value(type.toString().toLower(), 0);
    const QByteArray utf8 = name.toUtf8();
    const auto* text = BAD_CAST utf8.constData();
    if ((kind == 1 || kind == 2 || kind == 7) && xmlValidateQName(text, 0) != 0) {
        m_engine.throwError(QStringLiteral("\"%1\" is not a valid name").arg(name));
        return -1;
    }
    xmlNode* created = nullptr;
    switch (kind) {
    case 1:
        if (namespaceUri.isEmpty()) {
            created = xmlNewDocNode(doc, nullptr, text, nullptr);
        } else {
            const qsizetype colon = utf8.indexOf(':');
            const QByteArray prefix = utf8.left(std::max<qsizetype>(colon, 0));
            created = xmlNewDocNode(doc, nullptr, text + colon + 1, nullptr);
            xmlSetNs(created, xmlNewNs(created, BAD_CAST namespaceUri.toUtf8().constData(),
                                       prefix.isEmpty() ? nullptr : BAD_CAST prefix.constData()));
        }
        break;
    case 2:
        created = reinterpret_cast<xmlNode*>(xmlNewDocProp(doc, text, nullptr));
        break;
    case 3:
        created = xmlNewDocTextLen(doc, text, int(utf8.size()));
        break;
    case 4:
        created = xmlNewCDataBlock(doc, text, int(utf8.size()));
        break;
    case 7:
        created = xmlNewDocPI(doc, text, nullptr);
        break;
    case 8:
        created = xmlNewDocComment(doc, text);
        break;
    default:
        m_engine.throwError(QStringLiteral("Nodes of type %1 cannot be created").arg(type.toString()));
        return -1;
    }
    m_nodes.detached(created);
    return m_nodes.handle(created);
}

int ScriptDom::appendChild(int parentHandle, int childHandle)
{
    xmlNode* parent = changeableOrThrow(parentHandle);
    xmlNode* child = parent ? nodeOrThrow(childHandle) : nullptr;
    if (!child)
        return -1;
    if (child->type == XML_ATTRIBUTE_NODE && parent->type == XML_ELEMENT_NODE) {
        setAttributeNode(parentHandle, childHandle);
        return childHandle;
    }
    const bool allowed = (parent->type == XML_ELEMENT_NODE && child->type != XML_ATTRIBUTE_NODE) ||
                         (isDocument(parent) && (child->type == XML_ELEMENT_NODE || child->type == XML_PI_NODE ||
                                                 child->type == XML_COMMENT_NODE));
    if (!allowed || isDocument(child)) {
        m_engine.throwError(QStringLiteral("A %1 node cannot be appended to a %2 node")
                                .arg(nodeName(childHandle), nodeName(parentHandle)));
        return -1;
    }
    if (isDocument(parent) && child->type == XML_ELEMENT_NODE && xmlDocGetRootElement(parent->doc)) {
        m_engine.throwError(QStringLiteral("A document has only one top level element"));
        return -1;
    }
    if (!m_nodes.owns(child)) {
        // Nodes of the source are copied into the script's document, never moved.
        child = xmlDocCopyNode(child, parent->doc, 1);
        childHandle = m_nodes.handle(child);
    } else if (isAncestorOrSelf(child, parent)) {
        m_engine.throwError(QStringLiteral("A node cannot be appended to itself or its descendants"));
        return -1;
    } else {
        xmlUnlinkNode(child);
    }
    linkLast(parent, child);
    return childHandle;
}

void ScriptDom::setAttribute(int h, const QString& name, const QString& value)
{
    xmlNode* element = changeableOrThrow(h);
    if (!element)
        return;
    if (element->type != XML_ELEMENT_NODE || xmlValidateQName(BAD_CAST name.toUtf8().constData(), 0) != 0) {
        m_engine.throwError(QStringLiteral("The attribute \"%1\" cannot be set here").arg(name));
        return;
    }
    const int attr = createNode(m_nodes.handle(reinterpret_cast<xmlNode*>(element->doc)), QJSValue(2), name, {});
    setText(attr, value);
    setAttributeNode(h, attr);
}

int ScriptDom::setAttributeNode(int elementHandle, int attributeHandle)
{
    xmlNode* element = changeableOrThrow(elementHandle);
    xmlNode* attr = element ? changeableOrThrow(attributeHandle) : nullptr;
    if (!attr)
        return -1;
    if (element->type != XML_ELEMENT_NODE || attr->type != XML_ATTRIBUTE_NODE || attr->parent) {
        m_engine.throwError(QStringLiteral("The attribute cannot be added: it is in use or the node is no element"));
        return -1;
    }
    int replaced = -1;
    if (xmlAttr* old = findAttribute(element, domNodeName(attr))) {
        xmlUnlinkNode(reinterpret_cast<xmlNode*>(old));
        m_nodes.detached(reinterpret_cast<xmlNode*>(old));
        replaced = m_nodes.handle(reinterpret_cast<xmlNode*>(old));
    }
    linkAttribute(element, reinterpret_cast<xmlAttr*>(attr));
    return replaced;
}

bool ScriptDom::isSameNode(int a, int b)
{
    return nodeOrThrow(a) == nodeOrThrow(b);
}

#include "scripts/ScriptDom.h"

#include "xml/DomNames.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <QPointer>
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

// A node from another document takes that document's namespace declarations with it (xml:lang
// refers to a declaration the old document owns and frees).
void adopt(ScriptNodes& nodes, xmlNode* node, xmlNode* parent)
{
    if (node->doc != parent->doc) {
        nodes.tie(node->doc, parent->doc);
        xmlDOMWrapAdoptNode(nullptr, node->doc, node, parent->doc, parent, 0);
    }
}

// Links a node before reference, or last when there is none, without libxml2's merging of
// adjacent text, which would free a node that a script still holds.
void linkBefore(ScriptNodes& nodes, xmlNode* parent, xmlNode* child, xmlNode* reference)
{
    adopt(nodes, child, parent);
    child->parent = parent;
    child->next = reference;
    child->prev = reference ? reference->prev : parent->last;
    if (child->prev)
        child->prev->next = child;
    else
        parent->children = child;
    if (reference)
        reference->prev = child;
    else
        parent->last = child;
}

void linkLast(ScriptNodes& nodes, xmlNode* parent, xmlNode* child)
{
    linkBefore(nodes, parent, child, nullptr);
}

void linkAttribute(ScriptNodes& nodes, xmlNode* element, xmlAttr* attr)
{
    adopt(nodes, reinterpret_cast<xmlNode*>(attr), element);
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

// About what a subtree costs in memory: nodes and their text.
qint64 approximateSize(const xmlNode* node)
{
    constexpr qint64 PerNode = 128;
    // Attributes are xmlAttr, which has no content field.
    const bool hasContent = node->type != XML_ELEMENT_NODE && node->type != XML_ATTRIBUTE_NODE && !isDocument(node);
    qint64 size = PerNode + (hasContent && node->content ? qint64(xmlStrlen(node->content)) : 0);
    if (node->type == XML_ELEMENT_NODE) {
        for (const xmlAttr* attr = node->properties; attr; attr = attr->next)
            size += approximateSize(reinterpret_cast<const xmlNode*>(attr));
    }
    if (node->type != XML_ENTITY_REF_NODE) {
        for (const xmlNode* child = node->children; child; child = child->next)
            size += approximateSize(child);
    }
    return size;
}

// External entities, external DTDs and parameter entities of the text are never read: the text
// alone makes the document. A reference to an external entity ends the load.
struct SafeLoad
{
    bool refused = false;
    QString entity;

    static SafeLoad& of(void* ctx) { return *static_cast<SafeLoad*>(static_cast<xmlParserCtxt*>(ctx)->_private); }

    static bool isExternal(const xmlEntity* entity)
    {
        return entity && (entity->etype == XML_EXTERNAL_GENERAL_PARSED_ENTITY ||
                          entity->etype == XML_EXTERNAL_GENERAL_UNPARSED_ENTITY ||
                          entity->etype == XML_EXTERNAL_PARAMETER_ENTITY);
    }

    static xmlEntity* refuse(void* ctx, const xmlChar* name)
    {
        auto* ctxt = static_cast<xmlParserCtxt*>(ctx);
        SafeLoad& self = of(ctx);
        if (!self.refused) {
            self.refused = true;
            self.entity = fromXml(name);
        }
        xmlStopParser(ctxt);
        return nullptr;
    }

    static xmlEntity* getEntity(void* ctx, const xmlChar* name)
    {
        auto* ctxt = static_cast<xmlParserCtxt*>(ctx);
        if (xmlEntity* predefined = xmlGetPredefinedEntity(name))
            return predefined;
        if (ctxt->myDoc && isExternal(xmlGetDocEntity(ctxt->myDoc, name)))
            return refuse(ctx, name);
        return xmlSAX2GetEntity(ctx, name);
    }

    static xmlEntity* getParameterEntity(void* ctx, const xmlChar* name)
    {
        xmlEntity* entity = xmlSAX2GetParameterEntity(ctx, name);
        return isExternal(entity) ? refuse(ctx, name) : entity;
    }

    static void externalSubset(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}

    static xmlParserInput* resolveEntity(void* ctx, const xmlChar*, const xmlChar* systemId)
    {
        refuse(ctx, systemId);
        return nullptr;
    }

    void install(xmlParserCtxt* ctxt)
    {
        ctxt->_private = this;
        ctxt->sax->getEntity = &getEntity;
        ctxt->sax->getParameterEntity = &getParameterEntity;
        ctxt->sax->externalSubset = &externalSubset;
        ctxt->sax->resolveEntity = &resolveEntity;
    }
};

// The line of text an error points at, for parseError.srcText.
QString lineOf(const QByteArray& text, int line)
{
    if (line <= 0)
        return {};
    qsizetype start = 0;
    for (int i = 1; i < line && start >= 0; ++i) {
        start = text.indexOf('\n', start);
        if (start >= 0)
            ++start;
    }
    if (start < 0)
        return {};
    const qsizetype end = text.indexOf('\n', start);
    return QString::fromUtf8(text.mid(start, end < 0 ? -1 : end - start)).trimmed();
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

ScriptNodes::ScriptNodes(qint64 memoryLimit)
    : m_memoryLimit(memoryLimit)
{}

ScriptNodes::~ScriptNodes()
{
    // Keepers left are those a collection dropped and that still wait for their deletion.
    for (auto& [key, group] : m_groups) {
        for (DocumentKeeper* keeper : group->keepers) {
            keeper->m_nodes = nullptr;
            delete keeper;
        }
        group->keepers.clear();
        group->pinned = false;
    }
    while (!m_groups.empty())
        free(m_groups.begin()->first);
}

int ScriptNodes::handle(xmlNode* node)
{
    // A number per look is cheapest; past a few million a script keeps looking at the same
    // nodes, and from then on each node keeps its number.
    constexpr std::size_t ReuseFrom = std::size_t(1) << 22;
    if (m_nodes.size() >= ReuseFrom) {
        if (m_handleOf.isEmpty()) {
            for (std::size_t i = 0; i < m_nodes.size(); ++i) {
                if (m_nodes[i])
                    m_handleOf.insert(m_nodes[i], int(i * 2 + (owns(m_nodes[i]) ? 1 : 0)));
            }
        }
        if (const auto found = m_handleOf.constFind(node); found != m_handleOf.cend())
            return *found;
    }
    const bool owned = owns(node);
    const int h = int(m_nodes.size() * 2 + (owned ? 1 : 0));
    m_nodes.push_back(node);
    if (!m_handleOf.isEmpty())
        m_handleOf.insert(node, h);
    if (owned)
        groupOf(node->doc)->handles.push_back(h);
    else if (isResultTreeFragment(node->doc))
        m_transient.push_back(h);
    return h;
}

xmlNode* ScriptNodes::node(int handle) const
{
    const std::size_t index = std::size_t(handle) / 2;
    return handle >= 0 && index < m_nodes.size() ? m_nodes[index] : nullptr;
}

void ScriptNodes::endCall()
{
    for (const int h : m_transient) {
        m_handleOf.remove(m_nodes[std::size_t(h) / 2]);
        m_nodes[std::size_t(h) / 2] = nullptr;
    }
    m_transient.clear();
    // The engines collect on their own, but drop the keepers only when their events are sent.
    if (m_chargedSinceCollect > m_memoryLimit / 8)
        collect();
}

xmlDoc* ScriptNodes::newDocument(qint64 charged)
{
    auto group = std::make_unique<Group>();
    xmlDoc* doc = xmlNewDoc(BAD_CAST "1.0");
    doc->_private = this;
    group->documents.emplace_back(doc);
    group->charged = charged;
    m_groupOf.emplace(doc, group.get());
    Group* const key = group.get();
    m_groups.emplace(key, std::move(group));
    return doc;
}

ScriptNodes::Group* ScriptNodes::groupOf(const xmlDoc* doc) const
{
    const auto found = m_groupOf.find(doc);
    return found == m_groupOf.end() ? nullptr : found->second;
}

DocumentKeeper* ScriptNodes::keeperOf(const xmlNode* node, QJSEngine& engine)
{
    Group* group = groupOf(node->doc);
    if (!group)
        return nullptr;
    for (DocumentKeeper* keeper : group->keepers) {
        if (keeper->m_doc == node->doc && keeper->m_engine == &engine)
            return keeper;
    }
    auto* keeper = new DocumentKeeper(*this, node->doc, engine);
    group->keepers.push_back(keeper);
    return keeper;
}

void ScriptNodes::tie(const xmlDoc* a, const xmlDoc* b)
{
    Group* first = groupOf(a);
    Group* second = groupOf(b);
    if (!first || !second || first == second)
        return;
    if (first->documents.size() < second->documents.size())
        std::swap(first, second);
    for (auto& doc : second->documents) {
        m_groupOf[doc.get()] = first;
        first->documents.push_back(std::move(doc));
    }
    first->handles.insert(first->handles.end(), second->handles.begin(), second->handles.end());
    first->detached.insert(first->detached.end(), second->detached.begin(), second->detached.end());
    first->keepers.insert(first->keepers.end(), second->keepers.begin(), second->keepers.end());
    first->pinned = first->pinned || second->pinned;
    first->charged += second->charged;
    m_groups.erase(second);
}

void ScriptNodes::pin(const xmlNode* node)
{
    if (Group* group = owns(node) ? groupOf(node->doc) : nullptr)
        group->pinned = true;
}

void ScriptNodes::detached(xmlNode* node)
{
    if (Group* group = groupOf(node->doc))
        group->detached.push_back(node);
}

bool ScriptNodes::charge(qint64 bytes, const xmlDoc* doc)
{
    if (bytes > m_memoryLimit - m_charged)
        return false;
    m_charged += bytes;
    m_chargedSinceCollect += bytes;
    if (Group* group = doc ? groupOf(doc) : nullptr)
        group->charged += bytes;
    return true;
}

void ScriptNodes::collect(const xmlDoc* inUse)
{
    m_chargedSinceCollect = 0;
    // Left to the end of the run if the collection drops its last keeper.
    if (Group* group = inUse ? groupOf(inUse) : nullptr)
        group->inUse = true;
    for (QJSEngine* engine : m_engines)
        engine->collectGarbage();
    // A dropped keeper waits for its deferred deletion, which is sent here, keeper by keeper, so
    // that nothing else waiting for the event loop is touched.
    std::vector<QPointer<DocumentKeeper>> keepers;
    for (const auto& [key, group] : m_groups) {
        for (DocumentKeeper* keeper : group->keepers)
            keepers.emplace_back(keeper);
    }
    for (const auto& keeper : keepers) {
        if (keeper)
            QCoreApplication::sendPostedEvents(keeper, QEvent::DeferredDelete);
    }
    if (Group* group = inUse ? groupOf(inUse) : nullptr)
        group->inUse = false;
}

void ScriptNodes::released(DocumentKeeper* keeper)
{
    Group* group = groupOf(keeper->m_doc);
    if (!group)
        return;
    std::erase(group->keepers, keeper);
    if (group->keepers.empty() && !group->pinned && !group->inUse)
        free(group);
}

void ScriptNodes::free(Group* group)
{
    for (const int h : group->handles) {
        xmlNode*& node = m_nodes[std::size_t(h) / 2];
        if (!m_handleOf.isEmpty())
            m_handleOf.remove(node);
        node = nullptr;
    }
    // Roots are picked before any is freed: freeing one frees the detached nodes below it.
    std::sort(group->detached.begin(), group->detached.end());
    group->detached.erase(std::unique(group->detached.begin(), group->detached.end()), group->detached.end());
    std::vector<xmlNode*> roots;
    for (xmlNode* node : group->detached) {
        if (!node->parent)
            roots.push_back(node);
    }
    for (xmlNode* root : roots)
        xmlFreeNode(root);
    for (const auto& doc : group->documents) {
        m_groupOf.erase(doc.get());
        m_documentState.remove(doc.get());
    }
    m_charged -= group->charged;
    m_groups.erase(group);
}

DocumentKeeper::DocumentKeeper(ScriptNodes& nodes, const xmlDoc* doc, QJSEngine& engine)
    : m_nodes(&nodes)
    , m_doc(doc)
    , m_engine(&engine)
{}

DocumentKeeper::~DocumentKeeper()
{
    if (m_nodes)
        m_nodes->released(this);
}

ScriptDom::ScriptDom(ScriptNodes& nodes, QJSEngine& engine)
    : m_nodes(nodes)
    , m_engine(engine)
{
    m_nodes.addEngine(engine);
}

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

bool ScriptDom::chargeOrThrow(qint64 bytes, const xmlDoc* doc, const xmlDoc* inUse)
{
    if (m_nodes.charge(bytes, doc))
        return true;
    m_nodes.collect(inUse ? inUse : doc);
    if (m_nodes.charge(bytes, doc))
        return true;
    m_engine.throwError(QJSValue::RangeError,
                        QStringLiteral("The documents scripts build would use more than the %1 MB allowed")
                            .arg(m_nodes.memoryLimit() / (1024 * 1024)));
    return false;
}

QJSValue ScriptDom::handles(const std::vector<xmlNode*>& nodes)
{
    // Nodes numbered one after another, as a list's nodes of one document usually are, travel as
    // one number the engine converts for nothing: the first number plus the count times 2^32.
    m_handleBuffer.clear();
    bool consecutive = nodes.size() < ListSpanCountLimit;
    const xmlNode* owned = nullptr;
    for (xmlNode* node : nodes) {
        const int h = m_nodes.handle(node);
        consecutive = consecutive && (m_handleBuffer.empty() || h == m_handleBuffer.back() + 2);
        m_handleBuffer.push_back(h);
        if (m_nodes.owns(node)) {
            // One keeper holds the list's nodes; lists from the transformation may mix documents.
            if (owned)
                m_nodes.tie(owned->doc, node->doc);
            owned = node;
        }
    }
    if (consecutive && !owned) {
        const double first = m_handleBuffer.empty() ? 0.0 : double(m_handleBuffer.front());
        return QJSValue(first + double(m_handleBuffer.size()) * ListSpanCountUnit);
    }
    // Converted in one go: setting elements one by one through QJSValue costs more.
    QVariantList array;
    array.reserve(qsizetype(m_handleBuffer.size()));
    for (const int h : m_handleBuffer)
        array.append(h);
    QJSValue result = m_engine.toScriptValue(array);
    if (owned)
        result.setProperty(QStringLiteral("__keep"), m_engine.newQObject(m_nodes.keeperOf(owned, m_engine)));
    return result;
}

QJSValue ScriptDom::keeperOf(int h)
{
    const xmlNode* node = m_nodes.node(h);
    DocumentKeeper* keeper = node ? m_nodes.keeperOf(node, m_engine) : nullptr;
    return keeper ? m_engine.newQObject(keeper) : QJSValue();
}

void ScriptDom::checkInterrupted()
{
    if (m_engine.isInterrupted())
        m_engine.throwError(QStringLiteral("Interrupted"));
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
    if (!node || !chargeOrThrow(value.size() * 2, node->doc))
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
        linkLast(m_nodes, node, xmlNewDocTextLen(node->doc, BAD_CAST utf8.constData(), int(utf8.size())));
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
    m_childBuffer.clear();
    if (node && node->type != XML_ENTITY_REF_NODE) {
        for (xmlNode* child = node->children; child; child = child->next)
            m_childBuffer.push_back(child);
    }
    return handles(m_childBuffer);
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
    constexpr qint64 DocumentSize = 512;
    if (!chargeOrThrow(DocumentSize, nullptr))
        return -1;
    return m_nodes.handle(reinterpret_cast<xmlNode*>(m_nodes.newDocument(DocumentSize)));
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
    // A parsed tree takes a few times its text.
    constexpr qint64 TreePerTextByte = 4;
    const QByteArray utf8 = text.toUtf8();
    if (!chargeOrThrow(qint64(utf8.size()) * TreePerTextByte, node->doc))
        return false;
    ScriptNodes::DocumentState& state = m_nodes.stateOf(reinterpret_cast<xmlDoc*>(node));
    replaceChildrenWithText(node, QString());

    // No dictionary, so that nodes can move between the documents scripts build.
    std::unique_ptr<xmlParserCtxt, ParserContextFree> parser(xmlNewParserCtxt());
    if (!parser) {
        m_engine.throwError(QStringLiteral("Out of memory while creating an XML parser"));
        return false;
    }
    SafeLoad safe;
    safe.install(parser.get());
    std::unique_ptr<xmlDoc, DocFree> parsed(
        xmlCtxtReadMemory(parser.get(), utf8.constData(), int(utf8.size()), nullptr, "UTF-8",
                          XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NODICT | XML_PARSE_DTDATTR |
                              XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    const xmlError* error = xmlCtxtGetLastError(parser.get());
    if (!parsed || safe.refused || !parser->wellFormed) {
        state.errorCode = error && error->code ? error->code : -1;
        state.reason = error && error->message ? QString::fromUtf8(error->message).trimmed()
                                               : QStringLiteral("The text is not well-formed XML.");
        if (safe.refused) {
            state.errorCode = XML_ERR_ENTITY_IS_EXTERNAL;
            state.reason = QStringLiteral("The external entity \"%1\" is not read: documents scripts load may "
                                          "use only what their own text declares")
                               .arg(safe.entity);
        }
        state.line = error ? error->line : 0;
        state.linePosition = error ? error->int2 : 0;
        state.sourceText = lineOf(utf8, state.line);
        return false;
    }
    state.errorCode = 0;
    state.reason.clear();
    state.line = state.linePosition = 0;
    state.sourceText.clear();
    for (xmlNode* child = parsed->children; child;) {
        xmlNode* next = child->next;
        if (child->type != XML_DTD_NODE) {
            xmlUnlinkNode(child);
            linkLast(m_nodes, node, child);
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
        error.setProperty(QStringLiteral("line"), state.line);
        error.setProperty(QStringLiteral("linepos"), state.linePosition);
        error.setProperty(QStringLiteral("srcText"), state.sourceText);
        error.setProperty(QStringLiteral("url"), QString());
        error.setProperty(QStringLiteral("filepos"), 0);
    }
    return error;
}

void ScriptDom::setProperty(int h, const QString& name, const QString& value)
{
    xmlNode* node = nodeOrThrow(h);
    if (!node || !isDocument(node))
        return;
    ScriptNodes::DocumentState& state = m_nodes.stateOf(reinterpret_cast<xmlDoc*>(node));
    if (name == u"SelectionLanguage") {
        state.selectionLanguage = value;
        return;
    }
    if (name != u"SelectionNamespaces")
        return;
    static const QRegularExpression declaration(QStringLiteral(R"(xmlns:([\w.-]+)\s*=\s*(['"])(.*?)\2)"));
    state.selectionNamespaces.clear();
    state.selectionNamespacesText = value;
    for (const auto& match : declaration.globalMatch(value))
        state.selectionNamespaces.insert(match.captured(1), match.captured(3));
}

QJSValue ScriptDom::getProperty(int h, const QString& name)
{
    xmlNode* node = nodeOrThrow(h);
    if (!node || !isDocument(node))
        return {};
    const ScriptNodes::DocumentState& state = m_nodes.stateOf(reinterpret_cast<xmlDoc*>(node));
    if (name == u"SelectionLanguage")
        return state.selectionLanguage;
    if (name == u"SelectionNamespaces")
        return state.selectionNamespacesText;
    m_engine.throwError(QStringLiteral("The property \"%1\" is not known").arg(name));
    return {};
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
    constexpr qint64 NodeSize = 128;
    if (!chargeOrThrow(NodeSize + utf8.size(), doc))
        return -1;
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

xmlNode* ScriptDom::insertable(xmlNode* parent, int& childHandle)
{
    xmlNode* child = nodeOrThrow(childHandle);
    if (!child)
        return nullptr;
    const bool allowed = (parent->type == XML_ELEMENT_NODE && child->type != XML_ATTRIBUTE_NODE) ||
                         (isDocument(parent) && (child->type == XML_ELEMENT_NODE || child->type == XML_PI_NODE ||
                                                 child->type == XML_COMMENT_NODE));
    if (!allowed || isDocument(child)) {
        m_engine.throwError(
            QStringLiteral("A %1 node cannot be inserted into a %2 node").arg(domNodeName(child), domNodeName(parent)));
        return nullptr;
    }
    if (isDocument(parent) && child->type == XML_ELEMENT_NODE && xmlDocGetRootElement(parent->doc) &&
        xmlDocGetRootElement(parent->doc) != child) {
        m_engine.throwError(QStringLiteral("A document has only one top level element"));
        return nullptr;
    }
    if (!m_nodes.owns(child)) {
        // Nodes of the source are copied into the script's document, never moved.
        if (!chargeOrThrow(approximateSize(child), parent->doc))
            return nullptr;
        child = xmlDocCopyNode(child, parent->doc, 1);
        childHandle = m_nodes.handle(child);
    } else if (isAncestorOrSelf(child, parent)) {
        m_engine.throwError(QStringLiteral("A node cannot be inserted into itself or its descendants"));
        return nullptr;
    } else {
        xmlUnlinkNode(child);
    }
    return child;
}

int ScriptDom::appendChild(int parentHandle, int childHandle)
{
    return insertBefore(parentHandle, childHandle, -1);
}

int ScriptDom::insertBefore(int parentHandle, int childHandle, int referenceHandle)
{
    xmlNode* parent = changeableOrThrow(parentHandle);
    if (!parent)
        return -1;
    xmlNode* reference = referenceHandle >= 0 ? nodeOrThrow(referenceHandle) : nullptr;
    if (referenceHandle >= 0 && (!reference || reference->parent != parent)) {
        if (reference)
            m_engine.throwError(QStringLiteral("The reference node is not a child of this node"));
        return -1;
    }
    const xmlNode* child = nodeOrThrow(childHandle);
    if (child && child->type == XML_ATTRIBUTE_NODE && parent->type == XML_ELEMENT_NODE) {
        setAttributeNode(parentHandle, childHandle);
        return childHandle;
    }
    if (reference && reference == child)
        return childHandle;
    if (xmlNode* inserted = child ? insertable(parent, childHandle) : nullptr)
        linkBefore(m_nodes, parent, inserted, reference);
    return childHandle;
}

int ScriptDom::removeChild(int parentHandle, int childHandle)
{
    xmlNode* parent = changeableOrThrow(parentHandle);
    xmlNode* child = parent ? nodeOrThrow(childHandle) : nullptr;
    if (!child)
        return -1;
    if (child->parent != parent || child->type == XML_ATTRIBUTE_NODE) {
        m_engine.throwError(QStringLiteral("The node to remove is not a child of this node"));
        return -1;
    }
    xmlUnlinkNode(child);
    m_nodes.detached(child);
    return childHandle;
}

int ScriptDom::replaceChild(int parentHandle, int childHandle, int oldHandle)
{
    xmlNode* parent = changeableOrThrow(parentHandle);
    xmlNode* old = parent ? nodeOrThrow(oldHandle) : nullptr;
    if (!old)
        return -1;
    if (old->parent != parent || old->type == XML_ATTRIBUTE_NODE) {
        m_engine.throwError(QStringLiteral("The node to replace is not a child of this node"));
        return -1;
    }
    if (m_nodes.node(childHandle) == old)
        return oldHandle;
    // The old element makes room first: a document allows one top level element.
    const xmlNode* child = m_nodes.node(childHandle);
    xmlNode* next = child && old->next == child ? child->next : old->next;
    xmlUnlinkNode(old);
    m_nodes.detached(old);
    xmlNode* inserted = insertable(parent, childHandle);
    linkBefore(m_nodes, parent, inserted ? inserted : old, next);
    return inserted ? oldHandle : -1;
}

int ScriptDom::cloneNode(int h, bool deep)
{
    xmlNode* node = nodeOrThrow(h);
    const qint64 size = node && deep ? approximateSize(node) : 256;
    const bool intoOwnDocument = node && m_nodes.owns(node) && !isDocument(node);
    if (!node || !chargeOrThrow(size, intoOwnDocument ? node->doc : nullptr, node->doc))
        return -1;
    if (isDocument(node)) {
        xmlDoc* copy = m_nodes.newDocument(size);
        for (xmlNode* child = deep ? node->children : nullptr; child; child = child->next) {
            if (child->type != XML_DTD_NODE)
                linkLast(m_nodes, reinterpret_cast<xmlNode*>(copy), xmlDocCopyNode(child, copy, 1));
        }
        return m_nodes.handle(reinterpret_cast<xmlNode*>(copy));
    }
    // A copy of a read-only node belongs to a document of the script's, so that it can be changed.
    xmlDoc* doc = intoOwnDocument ? node->doc : m_nodes.newDocument(size);
    xmlNode* copy = xmlDocCopyNode(node, doc, deep ? 1 : 2);
    if (!copy) {
        m_engine.throwError(QStringLiteral("A %1 node cannot be copied").arg(domNodeName(node)));
        return -1;
    }
    m_nodes.detached(copy);
    return m_nodes.handle(copy);
}

QJSValue ScriptDom::getElementsByTagName(int h, const QString& name)
{
    xmlNode* node = nodeOrThrow(h);
    std::vector<xmlNode*> found;
    const bool any = name == u"*";
    // Depth first without recursion: documents may be deep.
    xmlNode* top = node;
    for (xmlNode* current = node && node->type != XML_ATTRIBUTE_NODE ? node->children : nullptr; current;) {
        if (current->type == XML_ELEMENT_NODE && (any || domNodeName(current) == name))
            found.push_back(current);
        if (current->type == XML_ELEMENT_NODE && current->children) {
            current = current->children;
            continue;
        }
        while (current != top && !current->next)
            current = current->parent;
        current = current == top ? nullptr : current->next;
    }
    return handles(found);
}

void ScriptDom::removeAttribute(int h, const QString& name)
{
    xmlNode* element = changeableOrThrow(h);
    if (!element || element->type != XML_ELEMENT_NODE)
        return;
    if (xmlAttr* attr = findAttribute(element, name)) {
        xmlUnlinkNode(reinterpret_cast<xmlNode*>(attr));
        m_nodes.detached(reinterpret_cast<xmlNode*>(attr));
    }
}

void ScriptDom::setDocumentElement(int docHandle, int elementHandle)
{
    xmlNode* doc = changeableOrThrow(docHandle);
    if (!doc || !isDocument(doc))
        return;
    if (xmlNode* root = xmlDocGetRootElement(reinterpret_cast<xmlDoc*>(doc)))
        replaceChild(docHandle, elementHandle, m_nodes.handle(root));
    else
        appendChild(docHandle, elementHandle);
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
    linkAttribute(m_nodes, element, reinterpret_cast<xmlAttr*>(attr));
    return replaced;
}

bool ScriptDom::isSameNode(int a, int b)
{
    return nodeOrThrow(a) == nodeOrThrow(b);
}

#include "xml/XmlService.h"

#include "platform/Failure.h"
#include "xml/Comments.h"
#include "xml/DocumentInput.h"
#include "xml/DomNames.h"
#include "xml/Exslt.h"
#include "xml/FormatNumber.h"
#include "xml/HtmlResult.h"
#include "xml/LimitMessages.h"
#include "xml/MsxslFunctions.h"
#include "xml/ResultChecks.h"
#include "xml/ScriptBlocks.h"
#include "xml/SheetChecks.h"
#include "xml/SystemProperty.h"
#include "xml/TextSort.h"
#include "xml/TreeMemory.h"

#include <QFile>
#include <QStringList>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/SAX2.h>
#include <libxml/uri.h>
#include <libxml/xmlerror.h>
#include <libxml/xpathInternals.h>
#include <libxslt/documents.h>
#include <libxslt/extensions.h>
#include <libxslt/extra.h>
#include <libxslt/functions.h>
#include <libxslt/imports.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <cstdarg>
#include <cstring>
#include <mutex>
#include <string>

namespace {

struct ParserCtxtDeleter
{
    void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};
using ParserCtxtPtr = std::unique_ptr<xmlParserCtxt, ParserCtxtDeleter>;

struct StylesheetDeleter
{
    void operator()(xsltStylesheet* style) const { xsltFreeStylesheet(style); }
};
using StylesheetPtr = std::unique_ptr<xsltStylesheet, StylesheetDeleter>;

struct TransformContextDeleter
{
    void operator()(xsltTransformContext* ctxt) const { xsltFreeTransformContext(ctxt); }
};
using TransformContextPtr = std::unique_ptr<xsltTransformContext, TransformContextDeleter>;

struct SecurityPrefsDeleter
{
    void operator()(xsltSecurityPrefs* prefs) const { xsltFreeSecurityPrefs(prefs); }
};
using SecurityPrefsPtr = std::unique_ptr<xsltSecurityPrefs, SecurityPrefsDeleter>;

const char* const MsxslNamespace = "urn:schemas-microsoft-com:xslt";

// Options of every load: entities expanded and attribute defaults of the internal subset supplied,
// but nothing fetched from outside the file itself.
constexpr int LoadOptions = XML_PARSE_NOENT | XML_PARSE_DTDATTR | XML_PARSE_NONET | XML_PARSE_COMPACT;

QString trimmedMessage(const char* message)
{
    return message ? QString::fromUtf8(message).trimmed() : QString();
}

// Collects the messages libxml2 and libxslt report while one operation runs, so that what the
// user sees is the failing run's own description; the previous handlers come back afterwards.
class ErrorCapture
{
public:
    ErrorCapture()
        : m_genericHandler(xmlGenericError)
        , m_genericContext(xmlGenericErrorContext)
        , m_structuredHandler(xmlStructuredError)
        , m_structuredContext(xmlStructuredErrorContext)
        , m_xsltHandler(xsltGenericError)
        , m_xsltContext(xsltGenericErrorContext)
    {
        xmlSetGenericErrorFunc(this, &ErrorCapture::onGeneric);
        xmlSetStructuredErrorFunc(this, &ErrorCapture::onStructured);
        xsltSetGenericErrorFunc(this, &ErrorCapture::onGeneric);
    }

    ~ErrorCapture()
    {
        xmlSetGenericErrorFunc(m_genericContext, m_genericHandler);
        xmlSetStructuredErrorFunc(m_structuredContext, m_structuredHandler);
        xsltSetGenericErrorFunc(m_xsltContext, m_xsltHandler);
    }

    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;

    static void onGeneric(void* context, const char* format, ...)
    {
        char buffer[2048];
        va_list args;
        va_start(args, format);
        std::vsnprintf(buffer, sizeof buffer, format, args);
        va_end(args);
        auto* self = static_cast<ErrorCapture*>(context);
        // libxslt opens each error it reports with a context line ("runtime error: file ... line ...");
        // xsl:message texts arrive through the plain "%s" format and are not errors.
        if (std::strncmp(format, "%s:", 3) == 0 || std::strcmp(format, "%s\n") == 0) {
            if (std::strncmp(buffer, "compilation error", 17) == 0 || std::strncmp(buffer, "runtime error", 13) == 0 ||
                std::strcmp(buffer, "error\n") == 0)
                ++self->m_reportedErrors;
        }
        // Called from C: an exception must not pass through libxml2's frames.
        try {
            self->m_pending += QString::fromUtf8(buffer);
        } catch (...) {
            self->noteExhausted(0, 0);
        }
    }

    // How many errors libxslt reported, including those it recovered from.
    int reportedErrors() const { return m_reportedErrors; }

    static void onStructured(void* context, xmlErrorPtr error)
    {
        if (!error || error->level == XML_ERR_WARNING)
            return;
        auto* self = static_cast<ErrorCapture*>(context);
        // Called from C: an exception must not pass through libxml2's frames. When memory has run
        // out, nothing is allocated for the message: Qt aborts on some failed allocations.
        if (error->domain == XML_FROM_MEMORY || error->code == XML_ERR_NO_MEMORY) {
            self->noteExhausted(error->line, error->int2);
            return;
        }
        try {
            if (!self->m_first)
                self->m_first =
                    ReportedError{error->code, ExplainLimits(trimmedMessage(error->message)), error->line, error->int2};
            QString text = trimmedMessage(error->message);
            if (error->line > 0)
                text += QStringLiteral(" (line %1)").arg(error->line);
            self->add(text);
        } catch (...) {
            self->noteExhausted(error->line, error->int2);
        }
    }

    // The first error reported: later ones are usually consequences of it.
    struct ReportedError
    {
        int code;
        QString message;
        int line;
        int column;
    };
    const std::optional<ReportedError>& firstError() const { return m_first; }

    QString description()
    {
        if (m_exhausted)
            add(outOfMemoryText());
        add(m_pending);
        m_pending.clear();
        return ExplainLimits(m_messages.join(u'\n'));
    }

private:
    // Nothing here may allocate: memory has just run out.
    void noteExhausted(int line, int column) noexcept
    {
        m_exhausted = true;
        if (!m_first)
            m_first.emplace(ReportedError{XML_ERR_NO_MEMORY, outOfMemoryText(), line, column});
    }

    // Static text: making it allocates nothing.
    static QString outOfMemoryText() { return QStringLiteral("Out of memory"); }

    void add(const QString& text)
    {
        const QString trimmed = text.trimmed();
        if (!trimmed.isEmpty() && !m_messages.contains(trimmed))
            m_messages << trimmed;
    }

    xmlGenericErrorFunc m_genericHandler;
    void* m_genericContext;
    xmlStructuredErrorFunc m_structuredHandler;
    void* m_structuredContext;
    xmlGenericErrorFunc m_xsltHandler;
    void* m_xsltContext;
    QStringList m_messages;
    QString m_pending;
    std::optional<ReportedError> m_first;
    int m_reportedErrors = 0;
    bool m_exhausted = false;
};

// Drops whitespace-only text nodes while the parser builds the tree, unless the nearest
// xml:space says "preserve". A text run is only known to be whitespace-only once markup ends it,
// so blank chunks wait in `pending` until then. CDATA sections join the text around them and are
// never dropped.
struct WhitespaceFilter
{
    // Parser contexts that libxml2 derives for external entities inherit _private; the loader
    // uses this mark to tell our parses (which may open exactly one file) from others.
    static constexpr quint32 Mark = 0x54424c4e;
    quint32 mark = Mark;
    bool fileOpened = false;
    int openError = 0; // errno of a file that could not be opened
    std::vector<bool> preserve{false};
    std::string pending;
    bool runHasContent = false;
    // Entity expansion copies node lists behind the filter's back; documents that declare
    // entities are tidied after parsing instead.
    bool active = true;
    // Why the load stopped although the text so far was well-formed.
    std::optional<XmlParseError> refusal;
    // Entity text is parsed by contexts of its own; lines are counted in the document's.
    const xmlParserCtxt* document = nullptr;

    static WhitespaceFilter& of(void* ctx)
    {
        return *static_cast<WhitespaceFilter*>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
    }

    static bool isBlank(const xmlChar* ch, int len)
    {
        for (int i = 0; i < len; ++i) {
            if (!IS_BLANK_CH(ch[i]))
                return false;
        }
        return true;
    }

    void endRun(void* ctx)
    {
        if (!pending.empty() && preserve.back())
            xmlSAX2Characters(ctx, reinterpret_cast<const xmlChar*>(pending.data()), int(pending.size()));
        pending.clear();
        runHasContent = false;
    }

    void commitRun(void* ctx)
    {
        if (!pending.empty())
            xmlSAX2Characters(ctx, reinterpret_cast<const xmlChar*>(pending.data()), int(pending.size()));
        pending.clear();
        runHasContent = true;
    }

    static void characters(void* ctx, const xmlChar* ch, int len)
    {
        WhitespaceFilter& self = of(ctx);
        if (!self.active || self.runHasContent) {
            xmlSAX2Characters(ctx, ch, len);
        } else if (isBlank(ch, len)) {
            self.pending.append(reinterpret_cast<const char*>(ch), std::size_t(len));
        } else {
            self.commitRun(ctx);
            xmlSAX2Characters(ctx, ch, len);
        }
    }

    static void cdataBlock(void* ctx, const xmlChar* value, int len)
    {
        WhitespaceFilter& self = of(ctx);
        if (!self.active) {
            xmlSAX2CDataBlock(ctx, value, len);
            return;
        }
        self.commitRun(ctx);
        xmlSAX2Characters(ctx, value, len);
    }

    static void startElementNs(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                               int nbNamespaces, const xmlChar** namespaces, int nbAttributes, int nbDefaulted,
                               const xmlChar** attributes)
    {
        WhitespaceFilter& self = of(ctx);
        self.endRun(ctx);
        bool preserve = self.preserve.back();
        for (int i = 0; i < nbAttributes; ++i) {
            const xmlChar** attribute = attributes + 5 * i;
            if (attribute[1] && xmlStrEqual(attribute[1], BAD_CAST "xml") &&
                xmlStrEqual(attribute[0], BAD_CAST "space")) {
                const auto length = int(attribute[4] - attribute[3]);
                if (xmlStrncmp(attribute[3], BAD_CAST "preserve", length) == 0 && length == 8)
                    preserve = true;
                else if (xmlStrncmp(attribute[3], BAD_CAST "default", length) == 0 && length == 7)
                    preserve = false;
            }
        }
        self.preserve.push_back(preserve);
        xmlSAX2StartElementNs(ctx, localname, prefix, uri, nbNamespaces, namespaces, nbAttributes, nbDefaulted,
                              attributes);
    }

    static void endElementNs(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri)
    {
        WhitespaceFilter& self = of(ctx);
        self.endRun(ctx);
        if (self.preserve.size() > 1)
            self.preserve.pop_back();
        xmlSAX2EndElementNs(ctx, localname, prefix, uri);
    }

    static void comment(void* ctx, const xmlChar* value)
    {
        of(ctx).endRun(ctx);
        xmlSAX2Comment(ctx, value);
    }

    static void processingInstruction(void* ctx, const xmlChar* target, const xmlChar* data)
    {
        of(ctx).endRun(ctx);
        xmlSAX2ProcessingInstruction(ctx, target, data);
    }

    static void entityDecl(void* ctx, const xmlChar* name, int type, const xmlChar* publicId, const xmlChar* systemId,
                           xmlChar* content)
    {
        of(ctx).active = false;
        xmlSAX2EntityDecl(ctx, name, type, publicId, systemId, content);
    }

    // libxml2 keeps a reference to an entity declared only in an external DTD, which is never read,
    // as an empty node: its text would silently go missing, so such a reference stops the load.
    static xmlEntityPtr getEntity(void* ctx, const xmlChar* name)
    {
        auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
        xmlEntityPtr entity = xmlSAX2GetEntity(ctx, name);
        if (!entity && ctxt->wellFormed) {
            WhitespaceFilter& self = of(ctx);
            const xmlParserCtxt* document = self.document ? self.document : ctxt;
            const int line = document->input ? document->input->line : 0;
            self.refusal = XmlParseError{
                XML_ERR_UNDECLARED_ENTITY,
                QStringLiteral("The entity \"%1\" (line %2) is not declared in the document itself. External "
                               "DTDs are not read, so their entities cannot be used.")
                    .arg(fromXml(name))
                    .arg(line)};
            ctxt->wellFormed = 0;
            xmlStopParser(ctxt);
        }
        return entity;
    }

    static void install(xmlSAXHandler& sax)
    {
        sax.characters = &characters;
        sax.ignorableWhitespace = &characters;
        sax.cdataBlock = &cdataBlock;
        sax.startElementNs = &startElementNs;
        sax.endElementNs = &endElementNs;
        sax.comment = &comment;
        sax.processingInstruction = &processingInstruction;
        sax.entityDecl = &entityDecl;
    }
};

bool isBlankText(const xmlNode* node)
{
    const xmlChar* content = node->content;
    if (!content)
        return true;
    for (; *content; ++content) {
        if (!IS_BLANK_CH(*content))
            return false;
    }
    return true;
}

bool isTextLike(const xmlNode* node)
{
    return node && (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE);
}

// The element's own xml:space, or the default its DTD declares, as the parser reports it to the
// filter.
std::optional<bool> spaceAttribute(xmlNode* element)
{
    xmlChar* value = xmlGetNsProp(element, BAD_CAST "space", XML_XML_NAMESPACE);
    std::optional<bool> result;
    if (xmlStrEqual(value, BAD_CAST "preserve"))
        result = true;
    else if (xmlStrEqual(value, BAD_CAST "default"))
        result = false;
    xmlFree(value);
    return result;
}

// The same whitespace rule applied to a finished tree: adjacent text and CDATA become one text
// node, which is dropped when it is whitespace only and holds no CDATA.
void tidyText(xmlNode* parent, bool preserve)
{
    xmlNode* child = parent->children;
    while (child) {
        if (!isTextLike(child)) {
            if (child->type == XML_ELEMENT_NODE)
                tidyText(child, spaceAttribute(child).value_or(preserve));
            child = child->next;
            continue;
        }
        xmlNode* last = child;
        bool keep = preserve;
        bool merged = false;
        for (xmlNode* n = child; isTextLike(n); n = n->next) {
            last = n;
            keep = keep || n->type == XML_CDATA_SECTION_NODE || !isBlankText(n);
            merged = merged || n != child || n->type == XML_CDATA_SECTION_NODE;
        }
        xmlNode* after = last->next;
        if (!keep || merged) {
            std::string text;
            for (xmlNode* n = child; n != after;) {
                if (n->content)
                    text += reinterpret_cast<const char*>(n->content);
                xmlNode* next = n->next;
                xmlUnlinkNode(n);
                xmlFreeNode(n);
                n = next;
            }
            // Inserted only once its neighbours are gone: libxml2 merges a new text node into an
            // adjacent one.
            if (keep) {
                xmlNode* replacement = xmlNewDocTextLen(parent->doc, BAD_CAST text.data(), int(text.size()));
                if (after)
                    xmlAddPrevSibling(after, replacement);
                else
                    xmlAddChild(parent, replacement);
            }
        }
        child = after;
    }
}

// Documents opened by the parser itself (the file being loaded, a style sheet module, a
// document() target) may load; anything a document asks for while it is being parsed (an external
// entity, an external DTD) may not.
xmlParserInputPtr secureEntityLoader(const char* url, const char*, xmlParserCtxtPtr ctxt)
{
    if (ctxt && ctxt->inputNr > 0)
        return nullptr;
    auto* state = ctxt ? static_cast<WhitespaceFilter*>(ctxt->_private) : nullptr;
    if (state && (state->mark != WhitespaceFilter::Mark || std::exchange(state->fileOpened, true)))
        return nullptr;
    const DocumentInput opened = OpenDocumentInput(url, ctxt);
    if (!opened.input && state)
        state->openError = opened.errorNumber;
    return opened.input;
}

XmlDocPtr parseFile(const QByteArray& path, xmlDict* dict, bool stripWhitespace, XmlParseError* error = nullptr);

xmlDocPtr documentLoader(const xmlChar* uri, xmlDictPtr dict, int, void*, xsltLoadType type)
{
    const QByteArray path(reinterpret_cast<const char*>(uri));
    XmlDocPtr doc = parseFile(path, dict, type == XSLT_LOAD_DOCUMENT);
    // Should the library be missing, the module's first EXSLT function fails as unregistered.
    if (type == XSLT_LOAD_STYLESHEET)
        (void)RegisterExsltFor(doc.get());
    return doc.release();
}

// Marks a tree being built for the memory its nodes come from.
class TreeBuilding
{
public:
    TreeBuilding()
        : m_memory(TreeMemory::installed())
    {
        if (m_memory)
            m_memory->beginTree();
    }
    ~TreeBuilding()
    {
        if (m_memory)
            m_memory->endTree();
    }
    TreeBuilding(const TreeBuilding&) = delete;
    TreeBuilding& operator=(const TreeBuilding&) = delete;

private:
    TreeMemory* m_memory;
};

XmlDocPtr parseFile(const QByteArray& path, xmlDict* dict, bool stripWhitespace, XmlParseError* error)
{
    ErrorCapture capture;
    const TreeBuilding building;
    ParserCtxtPtr ctxt(xmlNewParserCtxt());
    if (!ctxt)
        throw UnexpectedFailure(QStringLiteral("Out of memory while creating an XML parser"));
    if (dict) {
        xmlDictFree(ctxt->dict);
        ctxt->dict = dict;
        xmlDictReference(dict);
    }
    WhitespaceFilter filter;
    filter.document = ctxt.get();
    ctxt->_private = &filter;
    if (stripWhitespace)
        WhitespaceFilter::install(*ctxt->sax);
    ctxt->sax->getEntity = &WhitespaceFilter::getEntity;
    XmlDocPtr doc(xmlCtxtReadFile(ctxt.get(), path.constData(), nullptr, LoadOptions));
    if (filter.refusal) {
        if (error)
            *error = *filter.refusal;
        return nullptr;
    }
    if (doc && stripWhitespace && !filter.active) {
        if (xmlNode* root = xmlDocGetRootElement(doc.get()))
            tidyText(root, spaceAttribute(root).value_or(false));
    }
    if (!doc && error && filter.openError != 0) {
        error->errorCode = XML_IO_LOAD_ERROR;
        error->reason = QStringLiteral("The file cannot be opened: %1").arg(OpenErrorText(filter.openError));
    } else if (!doc && error) {
        const xmlError* last = xmlCtxtGetLastError(ctxt.get());
        const auto first = capture.firstError();
        if (first) {
            error->errorCode = first->code;
            error->reason = first->message;
            if (first->line > 0)
                error->reason += QStringLiteral(" (line %1, column %2)").arg(first->line).arg(first->column);
        } else {
            error->errorCode = last ? last->code : -1;
            error->reason = last ? trimmedMessage(last->message) : QString();
        }
        if (error->reason.isEmpty())
            error->reason = QStringLiteral("The file could not be read.");
    }
    return doc;
}

// User fields hand style sheets plain paths, which are not always valid URIs or mean something
// else as URIs ('#', '?', '%'): an argument naming an existing file as a plain path loads that
// file, and one that is no valid URI is turned into one.
void documentFunction(xmlXPathParserContextPtr ctxt, int nargs)
{
    if (nargs == 1 || nargs == 2) {
        xmlXPathObjectPtr base = nargs == 2 ? valuePop(ctxt) : nullptr;
        xmlXPathObjectPtr first = valuePop(ctxt);
        if (first && first->type == XPATH_STRING && first->stringval) {
            const xsltTransformContextPtr tctxt = xsltXPathGetTransformContext(ctxt);
            xmlChar* instructionBase =
                nargs == 1 && tctxt && tctxt->inst ? xmlNodeGetBase(tctxt->inst->doc, tctxt->inst) : nullptr;
            const QByteArray plainPath = PlainPathDocumentUri(reinterpret_cast<const char*>(first->stringval),
                                                              reinterpret_cast<const char*>(instructionBase));
            xmlFree(instructionBase);
            if (!plainPath.isEmpty()) {
                xmlFree(first->stringval);
                first->stringval = xmlStrdup(BAD_CAST plainPath.constData());
            } else if (xmlURIPtr uri = xmlParseURI(reinterpret_cast<const char*>(first->stringval))) {
                xmlFreeURI(uri);
            } else if (xmlChar* escaped = xmlPathToURI(first->stringval)) {
                xmlFree(first->stringval);
                first->stringval = escaped;
            }
        }
        valuePush(ctxt, first);
        if (base)
            valuePush(ctxt, base);
    }
    xsltDocumentFunction(ctxt, nargs);
}

xsltSecurityPrefs* securityPrefs()
{
    static const SecurityPrefsPtr prefs = [] {
        SecurityPrefsPtr p(xsltNewSecurityPrefs());
        xsltSetSecurityPrefs(p.get(), XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
        xsltSetSecurityPrefs(p.get(), XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
        xsltSetSecurityPrefs(p.get(), XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
        xsltSetSecurityPrefs(p.get(), XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);
        return p;
    }();
    return prefs.get();
}

void initialiseXmlService()
{
    static std::once_flag once;
    std::call_once(once, [] {
#ifndef TABULON_LIBC_XML_MEMORY
        TreeMemory::installForLibxml();
#endif
        xmlInitParser();
        xsltRegisterExtModuleFunction(BAD_CAST "node-set", BAD_CAST MsxslNamespace, xsltFunctionNodeSet);
        registerMsxslFunctions();
        xmlSetExternalEntityLoader(secureEntityLoader);
        xsltSetLoaderFunc(documentLoader);
        securityPrefs();
    });
}

// Splits "prefix:local" once, so that names can be compared as written without building texts.
struct QualifiedName
{
    explicit QualifiedName(const QString& name)
    {
        const QByteArray utf8 = name.toUtf8();
        const qsizetype colon = utf8.indexOf(':');
        if (colon >= 0) {
            prefix = utf8.left(colon);
            local = utf8.mid(colon + 1);
        } else {
            local = utf8;
        }
    }

    bool matches(const xmlChar* name, const xmlNs* ns) const
    {
        if (!xmlStrEqual(name, BAD_CAST local.constData()))
            return false;
        const xmlChar* nodePrefix = ns ? ns->prefix : nullptr;
        if (prefix.isEmpty())
            return nodePrefix == nullptr;
        return nodePrefix && xmlStrEqual(nodePrefix, BAD_CAST prefix.constData());
    }

    QByteArray prefix;
    QByteArray local;
};

xmlAttr* findAttribute(xmlNode* node, const QualifiedName& name)
{
    if (!node || node->type != XML_ELEMENT_NODE)
        return nullptr;
    for (xmlAttr* attr = node->properties; attr; attr = attr->next) {
        if (name.matches(attr->name, attr->ns))
            return attr;
    }
    return nullptr;
}

} // namespace

int XmlNode::nodeType() const
{
    return domNodeType(m_node);
}

QString XmlNode::nodeName() const
{
    return domNodeName(m_node);
}

std::vector<XmlNode> XmlNode::childNodes() const
{
    std::vector<XmlNode> children;
    if (m_node->type == XML_ATTRIBUTE_NODE)
        return children;
    for (xmlNode* child = m_node->children; child; child = child->next)
        children.emplace_back(child);
    return children;
}

std::optional<QString> XmlNode::getAttribute(const QString& name) const
{
    const xmlAttr* attr = findAttribute(m_node, QualifiedName(name));
    if (!attr)
        return std::nullopt;
    xmlChar* value = xmlNodeListGetString(m_node->doc, attr->children, 1);
    QString text = fromXml(value);
    xmlFree(value);
    return text;
}

void XmlNode::setAttribute(const QString& name, const QString& value)
{
    if (m_node->type != XML_ELEMENT_NODE)
        return;
    const QByteArray utf8 = value.toUtf8();
    if (xmlAttr* attr = findAttribute(m_node, QualifiedName(name)))
        xmlSetNsProp(m_node, attr->ns, attr->name, BAD_CAST utf8.constData());
    else
        xmlSetProp(m_node, BAD_CAST name.toUtf8().constData(), BAD_CAST utf8.constData());
}

XmlDocument::XmlDocument()
{
    initialiseXmlService();
}

XmlDocument::~XmlDocument() = default;
XmlDocument::XmlDocument(XmlDocument&&) noexcept = default;
XmlDocument& XmlDocument::operator=(XmlDocument&&) noexcept = default;

void XmlDocument::leaveToExit()
{
#ifndef TABULON_FREE_AT_EXIT
    (void)m_doc.release();
#endif
}

bool XmlDocument::load(const QString& path)
{
    m_parseError = {};
    m_doc = parseFile(FileUri(path), nullptr, true, &m_parseError);
    return m_doc != nullptr;
}

bool XmlDocument::loadStyleSheet(const QString& path)
{
    m_parseError = {};
    m_doc = parseFile(FileUri(path), nullptr, false, &m_parseError);
    if (const auto problem = m_doc ? scriptBlockProblem(scriptBlocksOf(m_doc.get())) : std::nullopt) {
        m_doc.reset();
        m_parseError = {-1, *problem};
    }
    return m_doc != nullptr;
}

std::optional<XmlNode> XmlDocument::documentElement() const
{
    xmlNode* root = m_doc ? xmlDocGetRootElement(m_doc.get()) : nullptr;
    if (!root)
        return std::nullopt;
    return XmlNode(root);
}

std::vector<XmlNode> XmlDocument::getElementsByTagName(const QString& qualifiedName) const
{
    std::vector<XmlNode> found;
    if (!m_doc)
        return found;
    const QualifiedName name(qualifiedName);
    // Document order without recursion: documents may nest deeply.
    xmlNode* node = xmlDocGetRootElement(m_doc.get());
    while (node) {
        if (node->type == XML_ELEMENT_NODE && name.matches(node->name, node->ns))
            found.emplace_back(node);
        if (node->type == XML_ELEMENT_NODE && node->children) {
            node = node->children;
            continue;
        }
        while (node && !node->next) {
            node = node->parent;
            if (node && node->type != XML_ELEMENT_NODE)
                node = nullptr;
        }
        if (node)
            node = node->next;
    }
    return found;
}

QString transformNodeToObject(const XmlDocument& source, const XmlDocument& styleSheet, int outputFd)
{
    initialiseXmlService();
    if (!source.isLoaded() || !styleSheet.isLoaded())
        throw UnexpectedFailure(QStringLiteral("The transformation needs a loaded source and style sheet."));

    ErrorCapture capture;
    auto failure = [&capture](const QString& what) {
        const QString details = capture.description();
        return UnexpectedFailure(details.isEmpty() ? what : what + QStringLiteral(":\n") + details);
    };

    // The compiled style sheet takes the document over and rewrites it; the caller's document
    // stays as it is, so its variables can still be read afterwards.
    if (const auto problem = styleSheetProblem(styleSheet.raw()))
        throw UnexpectedFailure(*problem);
    XmlDocPtr copy(xmlCopyDoc(styleSheet.raw(), 1));
    if (!copy)
        throw failure(QStringLiteral("The style sheet could not be copied"));
    failUnknownInstructionsWithoutFallback(copy.get());
    dropXsltAttributesOfInstructions(copy.get());
    numberAsTheOriginalService(copy.get());
    cdataSectionsAsText(copy.get());
    copyInheritedNamespaces(copy.get());
    replaceCommentInstructions(copy.get());
    if (const auto problem = RegisterExsltFor(copy.get()))
        throw UnexpectedFailure(*problem);
    StylesheetPtr style(xsltParseStylesheetDoc(copy.get()));
    if (!style)
        throw failure(QStringLiteral("The style sheet is not a valid XSLT style sheet"));
    copy.release();
    if (style->errors > 0)
        throw failure(QStringLiteral("The style sheet is not a valid XSLT style sheet"));

    // Outlives the context: node-sets the context still holds may point into script documents.
    std::unique_ptr<ScriptRunner> scripts;
    TransformContextPtr context(xsltNewTransformContext(style.get(), source.raw()));
    if (!context)
        throw failure(QStringLiteral("The transformation could not be started"));
    if (xsltSetCtxtSecurityPrefs(securityPrefs(), context.get()) != 0)
        throw failure(QStringLiteral("The transformation could not be secured"));
    xsltSetTransformErrorFunc(context.get(), &capture, &ErrorCapture::onGeneric);
    // Registering adds nothing where a function of that name exists: the built-in one goes first.
    xmlXPathRegisterFunc(context->xpathCtxt, BAD_CAST "document", nullptr);
    xmlXPathRegisterFunc(context->xpathCtxt, BAD_CAST "document", documentFunction);
    installCheckedFormatNumber(context.get());
    installTextSort(context.get());
    installSystemProperty(context.get());
    scripts = ScriptRunner::start(scriptBlocksOf(style.get()), context.get());

    // libxslt recovers from many runtime errors that stop the original service (a negative
    // xsl:number value, a malformed format pattern); a run that reported one writes nothing.
    const int errorsBefore = capture.reportedErrors();
    XmlDocPtr result(xsltApplyStylesheetUser(style.get(), source.raw(), nullptr, nullptr, nullptr, context.get()));
    if (!result || context->state == XSLT_STATE_ERROR || context->state == XSLT_STATE_STOPPED ||
        capture.reportedErrors() > errorsBefore)
        throw failure(QStringLiteral("The transformation failed"));
    int standalone = -1;
    XSLT_GET_IMPORT_INT(standalone, style.get(), standalone)
    if (const auto problem = resultProblem(result.get(), standalone == 1))
        throw UnexpectedFailure(*problem);
    if (result->type == XML_HTML_DOCUMENT_NODE) {
        const xmlChar* mediaType = nullptr;
        const xmlChar* encoding = nullptr;
        XSLT_GET_IMPORT_PTR(mediaType, style.get(), mediaType)
        XSLT_GET_IMPORT_PTR(encoding, style.get(), encoding)
        shapeHtmlResult(result.get(), mediaType, encoding);
    }
    if (xsltSaveResultToFd(outputFd, result.get(), style.get()) < 0)
        throw failure(QStringLiteral("The transformation result could not be written"));
    return capture.description();
}

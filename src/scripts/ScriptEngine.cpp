#include "scripts/ScriptDom.h"
#include "scripts/VbRuntime.h"
#include "scripts/VbTranslator.h"
#include "xml/ScriptBlocks.h"
#include "xml/XmlText.h"

#include "platform/Failure.h"

#include <QtGlobal>

#include <QFileInfo>
#include <QJSEngine>
#include <QJSValueIterator>
#include <QSet>

#include <libxml/xpathInternals.h>
#include <libxslt/extensions.h>
#include <libxslt/transform.h>
#include <libxslt/xsltutils.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace {

// The document model as scripts see it, over the numbered nodes of ScriptDom. Evaluated once per
// engine; it hands back what the C++ side needs and leaves only ActiveXObject in the global scope.
const char* const Prelude = R"js((function (bridge) {
    'use strict';
    // Methods of a native object are looked up afresh on each access; these are looked up once.
    var dom = {};
    ['nodeType', 'nodeName', 'nodeValue', 'setNodeValue', 'text', 'setText', 'xml', 'baseName', 'prefix',
     'namespaceURI', 'parentNode', 'firstChild', 'lastChild', 'nextSibling', 'previousSibling', 'ownerDocument',
     'documentElement', 'childNodes', 'attributes', 'getAttribute', 'selectNodes', 'selectSingleNode',
     'newDocument', 'loadXML', 'parseError', 'setProperty', 'createNode', 'appendChild', 'setAttribute',
     'setAttributeNode', 'isSameNode'].forEach(function (name) { dom[name] = bridge[name]; });
    // One prototype for documents and other nodes: telling them apart would cost a call per node.
    var nodeProto;
    function Node(h) { this.__node = h; }
    function wrap(h) { return h < 0 ? null : new Node(h); }
    function handleOf(node) {
        if (node === null || typeof node !== 'object' || typeof node.__node !== 'number')
            throw new TypeError('A node was expected');
        return node.__node;
    }
    // Lists are snapshots, so their length is a plain value: reading a getter costs a call.
    function NodeList(handles) { this.__nodes = handles; this.__next = 0; this.length = handles.length; }
    NodeList.prototype = {
        item: function (i) { return i >= 0 && i < this.length ? wrap(this.__nodes[i]) : null; },
        nextNode: function () { return this.__next < this.length ? wrap(this.__nodes[this.__next++]) : null; },
        reset: function () { this.__next = 0; }
    };
    function NamedNodeMap(handles) { NodeList.call(this, handles); }
    NamedNodeMap.prototype = Object.create(NodeList.prototype);
    NamedNodeMap.prototype.getNamedItem = function (name) {
        for (var i = 0; i < this.__nodes.length; ++i) {
            if (dom.nodeName(this.__nodes[i]) === String(name))
                return wrap(this.__nodes[i]);
        }
        return null;
    };
    function accessors(proto, names, setters) {
        names.forEach(function (name) {
            var get = dom[name];
            var property = { get: function () { return get(this.__node); } };
            if (setters && setters[name]) {
                var set = dom[setters[name]];
                property.set = function (value) { set(this.__node, String(value)); };
            }
            Object.defineProperty(proto, name, property);
        });
    }
    function nodeAccessors(proto, names) {
        names.forEach(function (name) {
            var get = dom[name];
            Object.defineProperty(proto, name, { get: function () { return wrap(get(this.__node)); } });
        });
    }
    nodeProto = Node.prototype = {
        getAttribute: function (name) { return dom.getAttribute(this.__node, String(name)); },
        setAttribute: function (name, value) { dom.setAttribute(this.__node, String(name), String(value)); },
        setAttributeNode: function (attr) { return wrap(dom.setAttributeNode(this.__node, handleOf(attr))); },
        appendChild: function (child) { return wrap(dom.appendChild(this.__node, handleOf(child))); },
        hasChildNodes: function () { return dom.firstChild(this.__node) >= 0; },
        // Each access wraps a node afresh, so wrappers of one node are different objects.
        isSameNode: function (other) {
            return other !== null && typeof other === 'object' && typeof other.__node === 'number' &&
                dom.isSameNode(this.__node, other.__node);
        },
        selectNodes: function (xpath) { return new NodeList(dom.selectNodes(this.__node, String(xpath))); },
        selectSingleNode: function (xpath) { return wrap(dom.selectSingleNode(this.__node, String(xpath))); }
    };
    accessors(nodeProto, ['nodeName', 'nodeValue', 'nodeType', 'text', 'xml', 'baseName', 'prefix', 'namespaceURI'],
              { nodeValue: 'setNodeValue', text: 'setText' });
    Object.defineProperty(nodeProto, 'name', { get: function () { return dom.nodeName(this.__node); } });
    Object.defineProperty(nodeProto, 'value', {
        get: function () { return dom.nodeValue(this.__node); },
        set: function (value) { dom.setNodeValue(this.__node, String(value)); }
    });
    nodeAccessors(nodeProto, ['parentNode', 'firstChild', 'lastChild', 'nextSibling', 'previousSibling',
                              'ownerDocument']);
    Object.defineProperty(nodeProto, 'childNodes', {
        get: function () { return new NodeList(dom.childNodes(this.__node)); }
    });
    Object.defineProperty(nodeProto, 'attributes', {
        get: function () {
            var handles = dom.attributes(this.__node);
            return handles === null ? null : new NamedNodeMap(handles);
        }
    });
    nodeAccessors(nodeProto, ['documentElement']);
    Object.defineProperty(nodeProto, 'parseError', { get: function () { return dom.parseError(this.__node); } });
    nodeProto.async = false;
    nodeProto.validateOnParse = false;
    nodeProto.resolveExternals = false;
    nodeProto.preserveWhiteSpace = false;
    nodeProto.loadXML = function (text) { return dom.loadXML(this.__node, String(text)); };
    nodeProto.setProperty = function (name, value) { dom.setProperty(this.__node, String(name), String(value)); };
    nodeProto.createNode = function (type, name, namespaceURI) {
        return wrap(dom.createNode(this.__node, type, String(name), namespaceURI ? String(namespaceURI) : ''));
    };
    nodeProto.createElement = function (name) { return this.createNode(1, name, ''); };
    nodeProto.createAttribute = function (name) { return this.createNode(2, name, ''); };
    nodeProto.createTextNode = function (data) { return wrap(dom.createNode(this.__node, 3, String(data), '')); };
    nodeProto.createComment = function (data) { return wrap(dom.createNode(this.__node, 8, String(data), '')); };
    nodeProto.createCDATASection = function (data) { return wrap(dom.createNode(this.__node, 4, String(data), '')); };
    Object.defineProperty(this, 'ActiveXObject', {
        value: function ActiveXObject(className) { return wrap(dom.newDocument(String(className))); },
        writable: true, configurable: true
    });
    var failed = {};
    return {
        failed: failed,
        // Node-sets arrive as arrays of node numbers: lists are cheaper to make here than natively.
        invoke: function (f) {
            var args = Array.prototype.slice.call(arguments, 1);
            for (var i = 0; i < args.length; ++i) {
                if (Array.isArray(args[i]))
                    args[i] = new NodeList(args[i]);
            }
            try {
                return f.apply(undefined, args);
            } catch (e) {
                failed.error = e;
                return failed;
            }
        }
    };
}))js";

// Interrupts a script call that runs past the time limit. Calls only stamp their start, so that
// the many short calls of a large run cost no thread wake-ups.
class Watchdog
{
public:
    explicit Watchdog(std::chrono::milliseconds limit)
        : m_limit(limit)
        , m_thread([this] { run(); })
    {}

    ~Watchdog()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Returns the call's number, which finish() takes back.
    quint64 start(QJSEngine* engine)
    {
        m_engine = engine;
        m_startedAt = Clock::now().time_since_epoch().count();
        return m_call.fetch_add(1) + 1;
    }

    // Whether the call was interrupted; the engine is ready for the next one either way.
    bool finish(quint64 call)
    {
        m_call.fetch_add(1);
        const bool interrupted = m_interrupted.load() == call;
        if (interrupted)
            m_engine.load()->setInterrupted(false);
        return interrupted;
    }

private:
    using Clock = std::chrono::steady_clock;

    void run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            const auto limit = m_limit;
            const quint64 call = m_call.load();
            if (call % 2 == 0) {
                m_wake.wait_for(lock, limit);
                continue;
            }
            const auto deadline = Clock::time_point(Clock::duration(m_startedAt.load())) + limit;
            if (Clock::now() < deadline) {
                m_wake.wait_until(lock, deadline);
                continue;
            }
            if (m_call.load() == call && m_interrupted.load() != call) {
                m_interrupted = call;
                m_engine.load()->setInterrupted(true);
            }
            m_wake.wait_for(lock, limit);
        }
    }

    const std::chrono::milliseconds m_limit;
    std::atomic<QJSEngine*> m_engine{nullptr};
    std::atomic<Clock::rep> m_startedAt{0};
    std::atomic<quint64> m_call{0}; // odd while a call runs
    std::atomic<quint64> m_interrupted{0};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

QString describe(const QJSValue& error)
{
    QString text = error.toString();
    const int line = error.property(QStringLiteral("lineNumber")).toInt();
    const QString file = error.property(QStringLiteral("fileName")).toString();
    if (line > 0)
        text += QStringLiteral(" (%1, line %2)").arg(QFileInfo(file).fileName()).arg(line);
    return text;
}

class JsScriptRunner final : public ScriptRunner
{
public:
    JsScriptRunner(const std::vector<ScriptBlock>& blocks, xsltTransformContext* context,
                   std::chrono::milliseconds callTimeLimit);
    void call(xmlXPathParserContext* ctxt, int nargs);

private:
    // The blocks of one implements-prefix namespace share an engine, so each prefix has its own
    // global scope, as in the original service.
    struct Namespace
    {
        QByteArray uri;
        bool vb = false;
        QStringList vbProcedures; // those of earlier blocks, which later ones may call
        std::unique_ptr<QJSEngine> engine;
        std::unique_ptr<ScriptDom> dom;
        QJSValue failed;
        QJSValue invoke;
        QSet<QString> builtins;
        std::vector<std::pair<QByteArray, QJSValue>> functions;
    };

    Namespace& createNamespace(const QByteArray& uri, bool vb);
    void evaluate(Namespace& ns, const QString& code, const QString& file, int line);
    QJSValue toScript(Namespace& ns, xmlXPathObject* value);
    xmlXPathObject* fromScript(const QJSValue& value);
    void fail(xmlXPathParserContext* ctxt, const QString& message);

    xsltTransformContext* m_context;
    std::chrono::milliseconds m_callTimeLimit;
    ScriptNodes m_nodes;
    std::vector<std::unique_ptr<Namespace>> m_namespaces;
    std::optional<Watchdog> m_watchdog;
    struct
    {
        const xmlChar* name = nullptr;
        const xmlChar* uri = nullptr;
        Namespace* ns = nullptr;
        const QJSValue* function = nullptr;
    } m_last;
};

void callScriptFunction(xmlXPathParserContext* ctxt, int nargs)
{
    xsltTransformContext* context = xsltXPathGetTransformContext(ctxt);
    if (!context || !context->_private) {
        xmlXPathErr(ctxt, XPATH_UNKNOWN_FUNC_ERROR);
        return;
    }
    static_cast<JsScriptRunner*>(context->_private)->call(ctxt, nargs);
}

JsScriptRunner::JsScriptRunner(const std::vector<ScriptBlock>& blocks, xsltTransformContext* context,
                               std::chrono::milliseconds callTimeLimit)
    : m_context(context)
    , m_callTimeLimit(callTimeLimit)
{
    // Consecutive blocks of one file and prefix are joined, padded so that line numbers in
    // messages are those of the file.
    struct Chunk
    {
        QByteArray uri;
        QString file;
        int line;
        QString code;
        int endLine;
        bool vb;
    };
    std::vector<Chunk> chunks;
    for (const ScriptBlock& block : blocks) {
        Chunk* last = chunks.empty() ? nullptr : &chunks.back();
        const bool vb = isVbScriptBlock(block);
        if (last && last->uri == block.namespaceUri && last->file == block.file && block.line > last->endLine &&
            last->vb == vb) {
            last->code += QString(block.line - last->endLine, u'\n') + block.code;
        } else {
            chunks.push_back({block.namespaceUri, block.file, block.line, block.code, block.line, vb});
            last = &chunks.back();
        }
        last->endLine = last->line + int(last->code.count(u'\n'));
    }

    m_watchdog.emplace(m_callTimeLimit);
    for (const Chunk& chunk : chunks) {
        auto found = std::find_if(m_namespaces.begin(), m_namespaces.end(),
                                  [&](const auto& ns) { return ns->uri == chunk.uri; });
        Namespace& ns = found != m_namespaces.end() ? **found : createNamespace(chunk.uri, chunk.vb);
        evaluate(ns, chunk.code, chunk.file, chunk.line);
    }
    // Collected after all blocks ran: a later block may redefine a function.
    for (const auto& ns : m_namespaces) {
        for (QJSValueIterator it(ns->engine->globalObject()); it.hasNext();) {
            it.next();
            // Names with a '$' are the translated VBScript's own; XPath could not call them anyway.
            if (ns->builtins.contains(it.name()) || !it.value().isCallable() || it.name().contains(u'$'))
                continue;
            const QByteArray name = it.name().toUtf8();
            ns->functions.emplace_back(name, it.value());
            xsltRegisterExtFunction(m_context, BAD_CAST name.constData(), BAD_CAST ns->uri.constData(),
                                    callScriptFunction);
        }
    }
    m_context->_private = this;
}

JsScriptRunner::Namespace& JsScriptRunner::createNamespace(const QByteArray& uri, bool vb)
{
    auto ns = std::make_unique<Namespace>();
    ns->uri = uri;
    ns->vb = vb;
    // No extensions are installed: no console, timers, file or network access.
    ns->engine = std::make_unique<QJSEngine>();
    ns->dom = std::make_unique<ScriptDom>(m_nodes, *ns->engine);
    QJSEngine::setObjectOwnership(ns->dom.get(), QJSEngine::CppOwnership);
    const QJSValue prelude = ns->engine->evaluate(QString::fromUtf8(Prelude));
    const QJSValue parts =
        prelude.callWithInstance(ns->engine->globalObject(), {ns->engine->newQObject(ns->dom.get())});
    if (parts.isError())
        throw UnexpectedFailure(QStringLiteral("The script engine could not be prepared: ") + parts.toString());
    ns->failed = parts.property(QStringLiteral("failed"));
    ns->invoke = parts.property(QStringLiteral("invoke"));
    if (vb) {
        if (const QString problem = installVbRuntime(*ns->engine); !problem.isEmpty())
            throw UnexpectedFailure(QStringLiteral("The VBScript runtime could not be prepared: ") + problem);
    }
    for (QJSValueIterator it(ns->engine->globalObject()); it.hasNext();) {
        it.next();
        ns->builtins.insert(it.name());
    }
    m_namespaces.push_back(std::move(ns));
    return *m_namespaces.back();
}

void JsScriptRunner::evaluate(Namespace& ns, const QString& code, const QString& file, int line)
{
    QString program = code;
    if (ns.vb) {
        const VbTranslation translation = translateVbScript(code, VbSource::Program, ns.vbProcedures);
        if (!translation.error.isEmpty())
            throw UnexpectedFailure(vbSyntaxError(translation, file, line));
        ns.vbProcedures << translation.procedures;
        program = translation.code;
    }
    QStringList stack;
    const quint64 call = m_watchdog->start(ns.engine.get());
    const QJSValue result = ns.engine->evaluate(program, file, line, &stack);
    if (m_watchdog->finish(call))
        throw UnexpectedFailure(QStringLiteral("The script (%1, line %2) did not finish within %3 seconds")
                                    .arg(QFileInfo(file).fileName())
                                    .arg(line)
                                    .arg(double(m_callTimeLimit.count()) / 1000.0));
    if (!stack.isEmpty() || result.isError())
        throw UnexpectedFailure(QStringLiteral("Script error: ") + describe(result));
}

QJSValue JsScriptRunner::toScript(Namespace& ns, xmlXPathObject* value)
{
    switch (value->type) {
    case XPATH_NUMBER:
        return value->floatval;
    case XPATH_BOOLEAN:
        return bool(value->boolval);
    case XPATH_NODESET:
    case XPATH_XSLT_TREE: {
        std::vector<xmlNode*> nodes;
        if (const xmlNodeSet* set = value->nodesetval) {
            for (int i = 0; i < set->nodeNr; ++i) {
                if (set->nodeTab[i]->type != XML_NAMESPACE_DECL)
                    nodes.push_back(set->nodeTab[i]);
            }
        }
        return ns.dom->handles(nodes);
    }
    default: {
        xmlChar* text = xmlXPathCastToString(value);
        QJSValue result(fromXml(text));
        xmlFree(text);
        return result;
    }
    }
}

xmlXPathObject* JsScriptRunner::fromScript(const QJSValue& value)
{
    if (value.isNumber())
        return xmlXPathNewFloat(value.toNumber());
    if (value.isBool())
        return xmlXPathNewBoolean(value.toBool());
    if (value.isUndefined() || value.isNull())
        return xmlXPathNewCString("");
    if (value.isObject()) {
        const QJSValue single = value.property(QStringLiteral("__node"));
        const QJSValue list = value.property(QStringLiteral("__nodes"));
        if (single.isNumber() || list.isArray()) {
            xmlXPathObject* result = xmlXPathNewNodeSet(nullptr);
            const auto add = [&](const QJSValue& h) {
                if (xmlNode* node = m_nodes.node(h.toInt()))
                    xmlXPathNodeSetAdd(result->nodesetval, node);
            };
            if (single.isNumber()) {
                add(single);
            } else {
                const int length = list.property(QStringLiteral("length")).toInt();
                for (int i = 0; i < length; ++i)
                    add(list.property(quint32(i)));
            }
            return result;
        }
    }
    return xmlXPathNewString(BAD_CAST value.toString().toUtf8().constData());
}

void JsScriptRunner::fail(xmlXPathParserContext* ctxt, const QString& message)
{
    xsltTransformError(m_context, nullptr, m_context->inst, "%s\n", message.toUtf8().constData());
    m_context->state = XSLT_STATE_STOPPED;
    valuePush(ctxt, xmlXPathNewCString(""));
}

void JsScriptRunner::call(xmlXPathParserContext* ctxt, int nargs)
{
    struct ObjectFree
    {
        void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
    };
    std::vector<std::unique_ptr<xmlXPathObject, ObjectFree>> args(std::size_t(std::max(nargs, 0)));
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        it->reset(valuePop(ctxt));
    if (m_context->state == XSLT_STATE_STOPPED) {
        valuePush(ctxt, xmlXPathNewCString(""));
        return;
    }

    // A few functions at most, and XPath names them by the same pointers call after call.
    if (m_last.name != ctxt->context->function || m_last.uri != ctxt->context->functionURI) {
        m_last = {};
        for (const auto& candidate : m_namespaces) {
            if (!xmlStrEqual(BAD_CAST candidate->uri.constData(), ctxt->context->functionURI))
                continue;
            for (const auto& [functionName, function] : candidate->functions) {
                if (xmlStrEqual(BAD_CAST functionName.constData(), ctxt->context->function))
                    m_last = {ctxt->context->function, ctxt->context->functionURI, candidate.get(), &function};
            }
        }
    }
    if (!m_last.function) {
        xmlXPathErr(ctxt, XPATH_UNKNOWN_FUNC_ERROR);
        return;
    }
    Namespace& ns = *m_last.ns;
    const auto name = [ctxt] { return QString::fromUtf8(reinterpret_cast<const char*>(ctxt->context->function)); };
    QJSValueList scriptArgs{*m_last.function};
    scriptArgs.reserve(qsizetype(args.size()) + 1);
    for (const auto& arg : args)
        scriptArgs.append(arg ? toScript(ns, arg.get()) : QJSValue());

    const quint64 callNumber = m_watchdog->start(ns.engine.get());
    const QJSValue result = ns.invoke.call(scriptArgs);
    const bool interrupted = m_watchdog->finish(callNumber);
    if (interrupted) {
        m_nodes.endCall();
        fail(ctxt, QStringLiteral("The script function %1 did not finish within %2 seconds and was stopped")
                       .arg(name())
                       .arg(double(m_callTimeLimit.count()) / 1000.0));
        return;
    }
    if (result.strictlyEquals(ns.failed)) {
        m_nodes.endCall();
        fail(ctxt, QStringLiteral("Script error in function %1: %2")
                       .arg(name(), describe(ns.failed.property(QStringLiteral("error")))));
        return;
    }
    valuePush(ctxt, fromScript(result));
    m_nodes.endCall();
}

} // namespace

extern "C" Q_DECL_EXPORT ScriptRunner* tabulonStartScripts(const std::vector<ScriptBlock>& blocks,
                                                           xsltTransformContext* context,
                                                           std::chrono::milliseconds callTimeLimit)
{
    static_assert(std::is_same_v<decltype(&tabulonStartScripts), StartScriptsFunction>);
    return new JsScriptRunner(blocks, context, callTimeLimit);
}

extern "C" Q_DECL_EXPORT QString tabulonCheckScript(const ScriptBlock& block)
{
    static_assert(std::is_same_v<decltype(&tabulonCheckScript), CheckScriptFunction>);
    const VbTranslation translation = translateVbScript(block.code);
    return translation.error.isEmpty() ? QString() : vbSyntaxError(translation, block.file, block.line);
}

#include "scripts/EngineAccess.h"
#include "scripts/JScriptSource.h"
#include "scripts/NativeBridge.h"
#include "scripts/NativeToFixed.h"
#include "scripts/ScriptDom.h"
#include "scripts/ScriptPrelude.h"
#include "scripts/ScriptWatchdog.h"
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
#include <optional>
#include <unordered_set>

namespace {

QString secondsText(std::chrono::milliseconds limit)
{
    return QString::number(double(limit.count()) / 1000.0);
}

QString megabytesText(qint64 bytes)
{
    return QString::number(bytes / (1024 * 1024));
}

class JsScriptRunner final : public ScriptRunner
{
public:
    JsScriptRunner(const std::vector<ScriptBlock>& blocks, xsltTransformContext* context, const ScriptLimits& limits);
    void call(xmlXPathParserContext* ctxt, int nargs);

private:
    // The blocks of one implements-prefix namespace share an engine, so each prefix has its own
    // global scope, as in the original service.
    struct Namespace
    {
        QByteArray uri;
        bool vb = false;
        QStringList vbProcedures; // those of earlier blocks, which later ones may call
        std::unique_ptr<DomEngine> engine;
        std::unique_ptr<ScriptDom> dom;
        QJSValue failed;
        QJSValue invoke;
        QJSValue invokeWith[3]; // no, one or two arguments
        QSet<QString> builtins;
        std::vector<std::pair<QByteArray, QJSValue>> functions;
    };
    struct Target
    {
        Namespace* ns = nullptr;
        const QJSValue* function = nullptr;
    };

    Namespace& createNamespace(const QByteArray& uri, bool vb);
    void evaluate(Namespace& ns, const QString& code, const QString& file, int line);
    Target targetOf(const xmlXPathParserContext* ctxt);
    QJSValue toScript(Namespace& ns, xmlXPathObject* value);
    xmlXPathObject* fromScript(const QJSValue& value);
    void fail(xmlXPathParserContext* ctxt, const QString& message);

    xsltTransformContext* m_context;
    ScriptLimits m_limits;
    ScriptNodes m_nodes;
    std::vector<std::unique_ptr<Namespace>> m_namespaces;
    std::optional<ScriptWatchdog> m_watchdog;
    struct
    {
        const xmlChar* name = nullptr;
        const xmlChar* uri = nullptr;
        Target target;
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
                               const ScriptLimits& limits)
    : m_context(context)
    , m_limits(limits)
    , m_nodes(limits.memoryBytes)
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

    // The watchdog weighs the whole process, which also holds the engine's own working memory:
    // its heap grows ahead of collections and keeps compiled code.
    constexpr qint64 EngineAllowance = qint64(64) << 20;
    m_watchdog.emplace(m_limits.callTime, m_limits.memoryBytes + EngineAllowance);
    for (const Chunk& chunk : chunks) {
        auto found = std::find_if(m_namespaces.begin(), m_namespaces.end(),
                                  [&](const auto& ns) { return ns->uri == chunk.uri; });
        Namespace& ns = found != m_namespaces.end() ? **found : createNamespace(chunk.uri, chunk.vb);
        evaluate(ns, chunk.code, chunk.file, chunk.line);
    }
    // Collected after all blocks ran: a later block may redefine a function. Both
    // `function f()` and `this['f-g'] = function` define one.
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
    ns->engine = std::make_unique<DomEngine>();
    ns->dom = std::make_unique<ScriptDom>(m_nodes, *ns->engine);
    ns->engine->dom = ns->dom.get();
    installNativeToFixed(*ns->engine);
    // Texts are UTF-16 in the engine and must stay within what libxml2 counts in an int as UTF-8.
    constexpr qint64 MaxTextLength = std::numeric_limits<int>::max() / 3;
    constexpr int MaxNodes = 1 << 24;
    QJSValue limits = ns->engine->newObject();
    limits.setProperty(QStringLiteral("maxTextLength"), double(std::min(m_limits.memoryBytes / 2, MaxTextLength)));
    limits.setProperty(QStringLiteral("maxNodes"), MaxNodes);
    limits.setProperty(QStringLiteral("listSpanUnit"), ScriptDom::ListSpanCountUnit);
    QJSValue global = ns->engine->globalObject();
    const QJSValue parts = evaluateGlobalCode(*ns->engine, QString::fromUtf8(DomPrelude))
                               .callWithInstance(global, {newNativeBridge(*ns->engine), limits});
    const QJSValue dialect = evaluateGlobalCode(*ns->engine, QString::fromUtf8(JScriptPrelude)).call({global});
    if (parts.isError() || dialect.isError())
        throw UnexpectedFailure(QStringLiteral("The script engine could not be prepared: ") + parts.toString() +
                                dialect.toString());
    ns->failed = parts.property(QStringLiteral("failed"));
    ns->invoke = parts.property(QStringLiteral("invoke"));
    for (int n = 0; n < 3; ++n)
        ns->invokeWith[n] = parts.property(QStringLiteral("invoke") + QString::number(n));
    if (vb) {
        if (const QString problem = installVbRuntime(*ns->engine); !problem.isEmpty())
            throw UnexpectedFailure(QStringLiteral("The VBScript runtime could not be prepared: ") + problem);
    }
    for (QJSValueIterator it(global); it.hasNext();) {
        it.next();
        ns->builtins.insert(it.name());
    }
    m_namespaces.push_back(std::move(ns));
    return *m_namespaces.back();
}

void JsScriptRunner::evaluate(Namespace& ns, const QString& code, const QString& file, int line)
{
    const QString fileName = QFileInfo(file).fileName();
    QString program;
    if (ns.vb) {
        const VbTranslation translation = translateVbScript(code, VbSource::Program, ns.vbProcedures);
        if (!translation.error.isEmpty())
            throw UnexpectedFailure(vbSyntaxError(translation, file, line));
        ns.vbProcedures << translation.procedures;
        program = translation.code;
    } else {
        const JScriptSource source = prepareJScript(code);
        if (!source.error.isEmpty())
            throw UnexpectedFailure(QStringLiteral("Script error: %1 (%2, line %3)")
                                        .arg(source.error, fileName)
                                        .arg(line + source.errorLine - 1));
        program = source.code;
    }
    QStringList stack;
    const quint64 call = m_watchdog->start(ns.engine.get());
    const QJSValue result = evaluateGlobalCode(*ns.engine, program, file, line, &stack);
    QString error;
    if (!stack.isEmpty() || result.isError()) {
        error = result.toString();
        const int errorLine = result.property(QStringLiteral("lineNumber")).toInt();
        if (errorLine > 0)
            error += QStringLiteral(" (%1, line %2)").arg(fileName).arg(errorLine);
    }
    switch (m_watchdog->finish(call)) {
    case ScriptWatchdog::Stop::None:
        break;
    case ScriptWatchdog::Stop::Time:
        throw UnexpectedFailure(QStringLiteral("The script (%1, line %2) did not finish within %3 seconds")
                                    .arg(fileName)
                                    .arg(line)
                                    .arg(secondsText(m_limits.callTime)));
    case ScriptWatchdog::Stop::Memory:
        throw UnexpectedFailure(QStringLiteral("The script (%1, line %2) used more than the %3 MB allowed")
                                    .arg(fileName)
                                    .arg(line)
                                    .arg(megabytesText(m_limits.memoryBytes)));
    }
    if (!error.isEmpty())
        throw UnexpectedFailure(QStringLiteral("Script error: ") + error);
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

// The prelude has checked and converted the value: a number, a boolean, a text or the node
// numbers of a node or list. Nothing for a text holding a NUL, where XPath's text would end.
xmlXPathObject* JsScriptRunner::fromScript(const QJSValue& value)
{
    if (value.isNumber())
        return xmlXPathNewFloat(value.toNumber());
    if (value.isBool())
        return xmlXPathNewBoolean(value.toBool());
    if (value.isString()) {
        const QString text = value.toString();
        return text.contains(QChar(0)) ? nullptr : xmlXPathNewString(BAD_CAST text.toUtf8().constData());
    }
    const QJSValue handles = value.property(QStringLiteral("nodes"));
    const int length = handles.property(QStringLiteral("length")).toInt();
    xmlXPathObject* result = xmlXPathNewNodeSet(nullptr);
    // In the script's order without repeats, as the original service hands lists over; added
    // without the set's own duplicate search, which is quadratic.
    std::unordered_set<const xmlNode*> seen;
    seen.reserve(std::size_t(std::max(length, 0)));
    for (int i = 0; i < length; ++i) {
        xmlNode* node = m_nodes.node(handles.property(quint32(i)).toInt());
        if (node && seen.insert(node).second) {
            m_nodes.pin(node);
            xmlXPathNodeSetAddUnique(result->nodesetval, node);
        }
    }
    return result;
}

void JsScriptRunner::fail(xmlXPathParserContext* ctxt, const QString& message)
{
    xsltTransformError(m_context, nullptr, m_context->inst, "%s\n", message.toUtf8().constData());
    m_context->state = XSLT_STATE_STOPPED;
    valuePush(ctxt, xmlXPathNewCString(""));
}

// A few functions at most, and XPath names them by the same pointers call after call.
JsScriptRunner::Target JsScriptRunner::targetOf(const xmlXPathParserContext* ctxt)
{
    if (m_last.name == ctxt->context->function && m_last.uri == ctxt->context->functionURI)
        return m_last.target;
    m_last = {ctxt->context->function, ctxt->context->functionURI, {}};
    for (const auto& candidate : m_namespaces) {
        if (!xmlStrEqual(BAD_CAST candidate->uri.constData(), ctxt->context->functionURI))
            continue;
        for (const auto& [functionName, function] : candidate->functions) {
            if (xmlStrEqual(BAD_CAST functionName.constData(), ctxt->context->function))
                m_last.target = {candidate.get(), &function};
        }
    }
    return m_last.target;
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
    const Target target = targetOf(ctxt);
    if (!target.function) {
        xmlXPathErr(ctxt, XPATH_UNKNOWN_FUNC_ERROR);
        return;
    }
    Namespace& ns = *target.ns;
    // Which arguments are node-sets: bits of a number for the usual one or two, else a text of
    // '0' and '1' per argument.
    QJSValueList scriptArgs;
    scriptArgs.reserve(qsizetype(args.size()) + 2);
    scriptArgs << *target.function << QJSValue();
    int nodeSetBits = 0;
    QString nodeSetFlags;
    for (std::size_t i = 0; i < args.size(); ++i) {
        xmlXPathObject* arg = args[i].get();
        const bool nodeSet = arg && (arg->type == XPATH_NODESET || arg->type == XPATH_XSLT_TREE);
        nodeSetBits |= nodeSet && i < 2 ? 1 << i : 0;
        nodeSetFlags += nodeSet ? u'1' : u'0';
        scriptArgs.append(arg ? toScript(ns, arg) : QJSValue());
    }
    scriptArgs[1] = args.size() < 3 ? QJSValue(nodeSetBits) : QJSValue(nodeSetFlags);

    const quint64 callNumber = m_watchdog->start(ns.engine.get());
    const QJSValue result = (args.size() < 3 ? ns.invokeWith[args.size()] : ns.invoke).call(scriptArgs);
    const ScriptWatchdog::Stop stop = m_watchdog->finish(callNumber);
    const auto name = [&] { return QString::fromUtf8(reinterpret_cast<const char*>(ctxt->context->function)); };
    if (stop == ScriptWatchdog::Stop::Time)
        fail(ctxt, QStringLiteral("The script function %1 did not finish within %2 seconds and was stopped")
                       .arg(name(), secondsText(m_limits.callTime)));
    else if (stop == ScriptWatchdog::Stop::Memory)
        fail(ctxt, QStringLiteral("The script function %1 used more than the %2 MB allowed and was stopped")
                       .arg(name(), megabytesText(m_limits.memoryBytes)));
    else if (result.strictlyEquals(ns.failed))
        fail(ctxt, QStringLiteral("Script error in function %1: %2")
                       .arg(name(), ns.failed.property(QStringLiteral("message")).toString()));
    else if (result.isError())
        fail(ctxt, QStringLiteral("Script error in function %1: %2").arg(name(), result.toString()));
    else if (xmlXPathObject* value = fromScript(result))
        valuePush(ctxt, value);
    else
        fail(ctxt, QStringLiteral("Script error in function %1: the result holds a NUL character, which XML text "
                                  "cannot carry")
                       .arg(name()));
    m_nodes.endCall();
}

} // namespace

extern "C" Q_DECL_EXPORT ScriptRunner* tabulonStartScripts(const std::vector<ScriptBlock>& blocks,
                                                           xsltTransformContext* context, const ScriptLimits& limits)
{
    static_assert(std::is_same_v<decltype(&tabulonStartScripts), StartScriptsFunction>);
    return new JsScriptRunner(blocks, context, limits);
}

extern "C" Q_DECL_EXPORT QString tabulonCheckScript(const ScriptBlock& block)
{
    static_assert(std::is_same_v<decltype(&tabulonCheckScript), CheckScriptFunction>);
    const VbTranslation translation = translateVbScript(block.code);
    return translation.error.isEmpty() ? QString() : vbSyntaxError(translation, block.file, block.line);
}

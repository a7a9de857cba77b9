#include "scripts/NativeBridge.h"

#include "scripts/ScriptDom.h"

#include <private/qjsvalue_p.h>
#include <private/qv4functionobject_p.h>
#include <private/qv4object_p.h>
#include <private/qv4scopedvalue_p.h>

#include <type_traits>
#include <utility>

namespace {

using QV4::ReturnedValue;

template <typename T>
T fromScript(const QV4::Value& value);
template <>
int fromScript<int>(const QV4::Value& value)
{
    return value.toInt32();
}
template <>
bool fromScript<bool>(const QV4::Value& value)
{
    return value.toBoolean();
}
template <>
QString fromScript<QString>(const QV4::Value& value)
{
    return value.toQString();
}
template <>
QJSValue fromScript<QJSValue>(const QV4::Value& value)
{
    return QJSValuePrivate::fromReturnedValue(value.asReturnedValue());
}

ReturnedValue toScript(QV4::ExecutionEngine*, int value)
{
    return QV4::Encode(value);
}
ReturnedValue toScript(QV4::ExecutionEngine*, bool value)
{
    return QV4::Encode(value);
}
ReturnedValue toScript(QV4::ExecutionEngine* engine, const QString& value)
{
    return engine->newString(value)->asReturnedValue();
}
ReturnedValue toScript(QV4::ExecutionEngine* engine, const QJSValue& value)
{
    return QJSValuePrivate::convertToReturnedValue(engine, value);
}

template <auto Method>
struct Native;

template <typename R, typename... A, R (ScriptDom::*Method)(A...)>
struct Native<Method>
{
    static ReturnedValue call(const QV4::FunctionObject* function, const QV4::Value*, const QV4::Value* argv, int argc)
    {
        QV4::ExecutionEngine* engine = function->engine();
        return invoke(engine, argv, argc, std::index_sequence_for<A...>());
    }

private:
    template <std::size_t... I>
    static ReturnedValue invoke(QV4::ExecutionEngine* engine, const QV4::Value* argv, int argc,
                                std::index_sequence<I...>)
    {
        const QV4::Value undefined = QV4::Value::undefinedValue();
        // Converted before the call, in order: a text's conversion may throw.
        std::tuple<std::decay_t<A>...> args{fromScript<std::decay_t<A>>(int(I) < argc ? argv[I] : undefined)...};
        if (engine->hasException)
            return QV4::Encode::undefined();
        ScriptDom& dom = *static_cast<DomEngine*>(engine->jsEngine())->dom;
        if constexpr (std::is_void_v<R>) {
            (dom.*Method)(std::get<I>(args)...);
            return QV4::Encode::undefined();
        } else {
            const R result = (dom.*Method)(std::get<I>(args)...);
            // A thrown error is the call's outcome, whatever the member returned.
            return engine->hasException ? QV4::Encode::undefined() : toScript(engine, result);
        }
    }
};

template <auto Method>
void define(QV4::Object& bridge, const char* name)
{
    bridge.defineDefaultProperty(QString::fromLatin1(name), &Native<Method>::call);
}

} // namespace

QJSValue newNativeBridge(DomEngine& engine)
{
    QV4::ExecutionEngine* v4 = engine.handle();
    QV4::Scope scope(v4);
    QV4::ScopedObject bridge(scope, v4->newObject());
    define<&ScriptDom::nodeType>(*bridge, "nodeType");
    define<&ScriptDom::nodeName>(*bridge, "nodeName");
    define<&ScriptDom::nodeValue>(*bridge, "nodeValue");
    define<&ScriptDom::setNodeValue>(*bridge, "setNodeValue");
    define<&ScriptDom::text>(*bridge, "text");
    define<&ScriptDom::setText>(*bridge, "setText");
    define<&ScriptDom::xml>(*bridge, "xml");
    define<&ScriptDom::baseName>(*bridge, "baseName");
    define<&ScriptDom::prefix>(*bridge, "prefix");
    define<&ScriptDom::namespaceURI>(*bridge, "namespaceURI");
    define<&ScriptDom::parentNode>(*bridge, "parentNode");
    define<&ScriptDom::firstChild>(*bridge, "firstChild");
    define<&ScriptDom::lastChild>(*bridge, "lastChild");
    define<&ScriptDom::nextSibling>(*bridge, "nextSibling");
    define<&ScriptDom::previousSibling>(*bridge, "previousSibling");
    define<&ScriptDom::ownerDocument>(*bridge, "ownerDocument");
    define<&ScriptDom::documentElement>(*bridge, "documentElement");
    define<&ScriptDom::childNodes>(*bridge, "childNodes");
    define<&ScriptDom::attributes>(*bridge, "attributes");
    define<&ScriptDom::getAttribute>(*bridge, "getAttribute");
    define<&ScriptDom::selectNodes>(*bridge, "selectNodes");
    define<&ScriptDom::selectSingleNode>(*bridge, "selectSingleNode");
    define<&ScriptDom::newDocument>(*bridge, "newDocument");
    define<&ScriptDom::loadXML>(*bridge, "loadXML");
    define<&ScriptDom::parseError>(*bridge, "parseError");
    define<&ScriptDom::setProperty>(*bridge, "setProperty");
    define<&ScriptDom::getProperty>(*bridge, "getProperty");
    define<&ScriptDom::getElementsByTagName>(*bridge, "getElementsByTagName");
    define<&ScriptDom::cloneNode>(*bridge, "cloneNode");
    define<&ScriptDom::removeChild>(*bridge, "removeChild");
    define<&ScriptDom::insertBefore>(*bridge, "insertBefore");
    define<&ScriptDom::replaceChild>(*bridge, "replaceChild");
    define<&ScriptDom::removeAttribute>(*bridge, "removeAttribute");
    define<&ScriptDom::setDocumentElement>(*bridge, "setDocumentElement");
    define<&ScriptDom::createNode>(*bridge, "createNode");
    define<&ScriptDom::appendChild>(*bridge, "appendChild");
    define<&ScriptDom::setAttribute>(*bridge, "setAttribute");
    define<&ScriptDom::setAttributeNode>(*bridge, "setAttributeNode");
    define<&ScriptDom::isSameNode>(*bridge, "isSameNode");
    define<&ScriptDom::checkInterrupted>(*bridge, "checkInterrupted");
    define<&ScriptDom::keeperOf>(*bridge, "keeperOf");
    return QJSValuePrivate::fromReturnedValue(bridge.asReturnedValue());
}

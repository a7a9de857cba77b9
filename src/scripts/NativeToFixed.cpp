#include "scripts/NativeToFixed.h"

#include <QJSEngine>

#include <private/qv4functionobject_p.h>
#include <private/qv4object_p.h>
#include <private/qv4runtime_p.h>
#include <private/qv4scopedvalue_p.h>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>

namespace {

using QV4::ReturnedValue;

// Whether the value lies exactly halfway between two numbers of `digits` decimals: it is then an
// odd multiple of 2^-(digits + 1).
bool isHalfway(double magnitude, int digits)
{
    int exponent = 0;
    const double fraction = std::frexp(magnitude, &exponent);
    const auto mantissa = std::uint64_t(std::ldexp(fraction, 53));
    return mantissa != 0 && exponent - 53 + std::countr_zero(mantissa) == -(digits + 1);
}

// ECMAScript's toFixed for |value| < 1e21: the nearest number of `digits` decimals, the larger one
// when two are as near. to_chars writes exact decimals but breaks such ties to even.
QString fixedText(double value, int digits)
{
    std::array<char, 160> text{};
    char* const first = text.data() + 1;
    const double magnitude = std::fabs(value);
    char* last = first;
    if (!isHalfway(magnitude, digits)) {
        last = std::to_chars(first, text.data() + text.size(), magnitude, std::chars_format::fixed, digits).ptr;
    } else {
        // Exact with one decimal more, which is the 5 to round up.
        last = std::to_chars(first, text.data() + text.size(), magnitude, std::chars_format::fixed, digits + 1).ptr - 1;
        if (digits == 0)
            --last; // the point
        char* digit = last - 1;
        for (; digit >= first && (*digit == '9' || *digit == '.'); --digit) {
            if (*digit == '9')
                *digit = '0';
        }
        if (digit >= first) {
            ++*digit;
        } else {
            text[0] = '1';
            return QString::fromLatin1(text.data(), last - text.data())
                .prepend(value < 0 ? QStringLiteral("-") : QString());
        }
    }
    QString result = QString::fromLatin1(first, last - first);
    return value < 0 ? result.prepend(u'-') : result;
}

ReturnedValue toFixed(const QV4::FunctionObject* function, const QV4::Value* thisObject, const QV4::Value* argv,
                      int argc)
{
    QV4::ExecutionEngine* engine = function->engine();
    double value = 0;
    if (thisObject->isNumber())
        value = thisObject->asDouble();
    else if (const QV4::Managed* object = thisObject->as<QV4::Managed>();
             object && object->vtable()->type == QV4::Managed::Type_NumberObject)
        value = static_cast<const QV4::Heap::NumberObject*>(object->d())->value;
    else
        return engine->throwTypeError();
    double digits = argc > 0 ? argv[0].toInteger() : 0;
    if (engine->hasException)
        return QV4::Encode::undefined();
    if (std::isnan(digits))
        digits = 0;
    if (digits < 0 || digits > 100)
        return engine->throwRangeError(*thisObject);
    if (std::isnan(value))
        return engine->newString(QStringLiteral("NaN"))->asReturnedValue();
    if (std::isinf(value))
        return engine->newString(value < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity"))
            ->asReturnedValue();
    if (std::fabs(value) >= 1e21)
        return QV4::Encode(QV4::RuntimeHelpers::stringFromNumber(engine, value));
    return engine->newString(fixedText(value, int(digits)))->asReturnedValue();
}

} // namespace

void installNativeToFixed(QJSEngine& engine)
{
    QV4::ExecutionEngine* v4 = engine.handle();
    QV4::Scope scope(v4);
    QV4::ScopedObject prototype(scope, v4->numberPrototype());
    prototype->defineDefaultProperty(QStringLiteral("toFixed"), toFixed, 1);
}

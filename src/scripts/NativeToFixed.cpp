#include "scripts/NativeToFixed.h"

#include <QJSEngine>

#include <private/qv4functionobject_p.h>
#include <private/qv4object_p.h>
#include <private/qv4runtime_p.h>
#include <private/qv4scopedvalue_p.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <utility>

namespace {

using QV4::ReturnedValue;
// GCC's and Clang's 128-bit integers: the scaled values need more than 64 bits.
__extension__ using Wide = unsigned __int128;

// Whether the value lies exactly halfway between two numbers of `digits` decimals: it is then an
// odd multiple of 2^-(digits + 1).
bool isHalfway(double magnitude, int digits)
{
    int exponent = 0;
    const double fraction = std::frexp(magnitude, &exponent);
    const auto mantissa = std::uint64_t(std::ldexp(fraction, 53));
    return mantissa != 0 && exponent - 53 + std::countr_zero(mantissa) == -(digits + 1);
}

// Writes the magnitude with `digits` decimals from `first`, leaving the character before it free
// for a carried 1; answers where the text begins and ends.
std::pair<char*, char*> writeMagnitude(char* first, char* end, double magnitude, int digits)
{
    // Most values: magnitude * 10^digits exactly in 128 bits, rounded half up, by integer arithmetic.
    constexpr int MaxExactDigits = 19;
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const int biased = int(bits >> 52);
    const std::uint64_t mantissa = (bits & ((std::uint64_t(1) << 52) - 1)) | (biased ? std::uint64_t(1) << 52 : 0);
    const int shift = 1075 - std::max(biased, 1); // magnitude = mantissa * 2^-shift
    if (digits <= MaxExactDigits && shift >= 0) {
        std::uint64_t scale = 1;
        for (int i = 0; i < digits; ++i)
            scale *= 10;
        Wide scaled = 0; // below 2^53 * 10^19 < 2^117
        if (shift < 128) {
            const Wide product = static_cast<Wide>(mantissa) * scale;
            scaled = product >> shift;
            if (shift > 0 && ((product >> (shift - 1)) & 1) != 0)
                ++scaled;
        } // else below 2^-75, which no scale reaches half of
        // Divided in 64 bits where the scaled value fits, as it does for the usual few decimals.
        const bool narrow = (scaled >> 64) == 0;
        const std::uint64_t whole = narrow ? std::uint64_t(scaled) / scale : std::uint64_t(scaled / scale);
        char* last = std::to_chars(first, end, whole).ptr;
        if (digits > 0) {
            *last++ = '.';
            std::uint64_t fraction = narrow ? std::uint64_t(scaled) % scale : std::uint64_t(scaled % scale);
            for (char* digit = last + digits - 1; digit >= last; --digit, fraction /= 10)
                *digit = char('0' + fraction % 10);
            last += digits;
        }
        return {first, last};
    }
    if (!isHalfway(magnitude, digits))
        return {first, std::to_chars(first, end, magnitude, std::chars_format::fixed, digits).ptr};
    // to_chars breaks ties to even: written exactly with one decimal more, the 5, and rounded up.
    char* last = std::to_chars(first, end, magnitude, std::chars_format::fixed, digits + 1).ptr - 1;
    if (digits == 0)
        --last; // the point
    char* digit = last - 1;
    for (; digit >= first && (*digit == '9' || *digit == '.'); --digit) {
        if (*digit == '9')
            *digit = '0';
    }
    if (digit >= first) {
        ++*digit;
        return {first, last};
    }
    *(first - 1) = '1';
    return {first - 1, last};
}

// ECMAScript's toFixed for |value| < 1e21: the nearest number of `digits` decimals, the larger one
// when two are as near.
QString fixedText(double value, int digits)
{
    std::array<char, 160> text{};
    auto [first, last] = writeMagnitude(text.data() + 2, text.data() + text.size(), std::fabs(value), digits);
    if (value < 0)
        *--first = '-';
    return QString::fromLatin1(first, last - first);
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

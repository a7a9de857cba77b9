#pragma once

#include <QString>

#include <array>
#include <optional>
#include <string_view>

struct _xsltTransformContext;
struct _xsltDecimalFormat;

// The characters of an xsl:decimal-format that shape a format-number pattern.
struct DecimalSymbols
{
    QChar digit = u'#';
    QChar zeroDigit = u'0';
    QChar decimalSeparator = u'.';
    QChar groupingSeparator = u',';
    QChar patternSeparator = u';';
};

// Why the original service refuses a format-number pattern, or nothing when it takes it. The empty
// pattern is taken.
std::optional<QString> formatPatternProblem(const QString& pattern, const DecimalSymbols& symbols = {});

// Replaces format-number in the transformation with one that stops on a pattern the original
// service refuses, where libxslt falls back to a default pattern.
void installCheckedFormatNumber(_xsltTransformContext* context);

// A format-number pattern of digits alone ("0.000", "#0.00#") under the default decimal format,
// formatted without libxslt's general path (a sixth of a large run), to the same text.
class PlainNumberPattern
{
public:
    using Buffer = std::array<char, 64>;

    // Nothing when the pattern has more than digits and a decimal point, or the format's symbols
    // are not the default ones.
    static std::optional<PlainNumberPattern> parse(std::string_view pattern, const _xsltDecimalFormat* format);

    // The text libxslt gives, written into buffer; nothing for the numbers left to libxslt
    // (not a number, infinities, magnitudes where its digits come from inexact divisions).
    std::optional<std::string_view> format(double number, Buffer& buffer) const;

private:
    int m_integerZeros = 0;
    int m_fractionZeros = 0;
    int m_fractionHashes = 0;
};

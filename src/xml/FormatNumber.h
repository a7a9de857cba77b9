#pragma once

#include <QString>

#include <optional>

struct _xsltTransformContext;

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

#pragma once

#include <QString>

#include <optional>

/**
 * Registers the XPath extension functions of the namespace urn:schemas-microsoft-com:xslt with
 * libxslt, for every transformation: string-compare, utc, namespace-uri, local-name, number,
 * format-date and format-time (node-set is libxslt's own). Call once.
 */
void registerMsxslFunctions();

// The pure parts of those functions, as XPath sees them; nothing when the arguments are invalid.
namespace Msxsl {
std::optional<int> stringCompare(const QString& x, const QString& y, const QString& language, const QString& options);
QString utc(const QString& value);
double number(const QString& value);
QString formatDate(const QString& value, const QString& format, const QString& locale);
QString formatTime(const QString& value, const QString& format, const QString& locale);
} // namespace Msxsl

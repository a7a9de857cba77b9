#pragma once

#include <QString>

#include <libxml/xmlstring.h>

// Text of a libxml2 string. QString::fromUtf8 drops a leading byte order mark, but in XML text
// U+FEFF is a character of the value and must survive.
inline QString fromXml(const xmlChar* text)
{
    if (!text)
        return {};
    const auto* bytes = reinterpret_cast<const char*>(text);
    QString value = QString::fromUtf8(bytes);
    if (xmlStrncmp(text, BAD_CAST "\xEF\xBB\xBF", 3) == 0)
        value.prepend(QChar(0xFEFF));
    return value;
}

#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <ostream>

// Readable Qt values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '[' << list.join(QStringLiteral("\", \"")).prepend(u'"').append(u'"').toStdString() << ']';
}

inline void PrintTo(const std::optional<QString>& text, std::ostream* os)
{
    if (text)
        PrintTo(*text, os);
    else
        *os << "(nothing)";
}

#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <ostream>

// Readable GoogleTest failure output for Qt texts.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '[' << list.join(QStringLiteral("\", \"")).prepend(u'"').append(u'"').toStdString() << ']';
}

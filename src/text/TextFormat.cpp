#include "text/TextFormat.h"

QString FormatText(const QString& format, const QStringList& values)
{
    QString result;
    result.reserve(format.size());
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c != u'%' || i + 1 >= format.size()) {
            result += c;
            continue;
        }
        if (format.at(i + 1) == u'%') {
            result += u'%';
            ++i;
            continue;
        }
        // Flags, width and precision, then the conversion letter.
        qsizetype j = i + 1;
        while (j < format.size() && QStringLiteral("-+ #0123456789.*l").contains(format.at(j)))
            ++j;
        if (j >= format.size() || !QStringLiteral("sdifuxXgGeEc").contains(format.at(j))) {
            result += c;
            continue;
        }
        if (next < values.size())
            result += values.at(next++);
        i = j;
    }
    return result;
}

#include "fields/SelectText.h"

QString DequoteSelect(const QString& text)
{
    if (text == QLatin1String("''"))
        return {};
    if (!text.startsWith(u'\''))
        return text;

    QString value;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\'') {
            if (i + 1 < text.size() && text.at(i + 1) == u'\'') {
                value += u'\'';
                ++i;
                continue;
            }
            break;
        }
        value += c;
    }
    return value.isEmpty() ? text : value;
}

#pragma once

#include <QString>
#include <QStringList>

// Puts the values, already formatted, in place of the C-style placeholders of a text (%s, %d,
// %f, %*.*f and the like) in order; "%%" stands for "%". Placeholders without a value are left
// out, so a translated text with too many of them cannot show garbage.
QString FormatText(const QString& format, const QStringList& values);

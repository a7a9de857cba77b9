#include "platform/Paths.h"

namespace Paths {

bool isSeparator(QChar c)
{
#ifdef Q_OS_WIN
    return c == u'\\' || c == u'/' || c == u':';
#else
    return c == u'/';
#endif
}

bool endsWithSeparator(const QString& path)
{
    return !path.isEmpty() && isSeparator(path.back());
}

qsizetype nameStart(const QString& path)
{
    for (qsizetype i = path.size(); i > 0; --i) {
        if (isSeparator(path.at(i - 1)))
            return i;
    }
    return 0;
}

static qsizetype extensionDot(const QString& path)
{
    const qsizetype start = nameStart(path);
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot >= start ? dot : -1;
}

QString extensionWithDot(const QString& path)
{
    const qsizetype dot = extensionDot(path);
    return dot < 0 ? QString() : path.mid(dot);
}

QString extension(const QString& path)
{
    const qsizetype dot = extensionDot(path);
    return dot < 0 ? QString() : path.mid(dot + 1);
}

bool hasExtension(const QString& path)
{
    return extensionDot(path) >= 0;
}

QString withoutExtension(const QString& path)
{
    const qsizetype dot = extensionDot(path);
    return dot < 0 ? path : path.left(dot);
}

QString fileName(const QString& path)
{
    return path.mid(nameStart(path));
}

QString baseName(const QString& path)
{
    return withoutExtension(fileName(path));
}

QString folderPart(const QString& path)
{
    return path.left(nameStart(path));
}

QString withTrailingSeparator(const QString& folder)
{
    if (!folder.isEmpty() && isSeparator(folder.back()))
        return folder;
#ifdef Q_OS_WIN
    return folder + u'\\';
#else
    return folder + u'/';
#endif
}

bool isUnsafeNamePart(const QString& text)
{
    for (const QChar c : text) {
        switch (c.category()) {
        case QChar::Other_Control:
        // Invisible or reordering characters (U+202E turns "txt\u202Efdp.exe" into "txtexe.pdf"), and
        // blanks that look like a plain space, would disguise the name; lone surrogates cannot be
        // written as a file name at all.
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return true;
        case QChar::Separator_Space:
            if (c != u' ')
                return true;
            break;
        default:
            if (c == u'/' || c == u'\\' || c == u':')
                return true;
        }
    }
    return false;
}

} // namespace Paths

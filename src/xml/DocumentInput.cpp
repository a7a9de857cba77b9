#include "xml/DocumentInput.h"

#include "platform/Descriptor.h"
#include "xml/InputFiles.h"

#include <QFile>
#include <QFileInfo>

#include <libxml/parserInternals.h>
#include <libxml/xmlIO.h>

#include <cctype>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct InputBufferDeleter
{
    void operator()(xmlParserInputBuffer* buffer) const { xmlFreeParserInputBuffer(buffer); }
};

// "scheme:" of two characters or more, so that a drive letter is not taken for one.
qsizetype schemeLength(const QByteArray& uri)
{
    if (uri.isEmpty() || !std::isalpha(static_cast<unsigned char>(uri.front())))
        return 0;
    for (qsizetype i = 1; i < uri.size(); ++i) {
        const auto c = static_cast<unsigned char>(uri.at(i));
        if (c == ':')
            return i >= 2 ? i : 0;
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return 0;
    }
    return 0;
}

bool exists(const QByteArray& path)
{
    struct stat info;
    return ::stat(path.constData(), &info) == 0;
}

bool isRegularFile(const QByteArray& path)
{
    struct stat info;
    return ::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

QByteArray FileUri(const QString& path)
{
    return "file://" + QFile::encodeName(QFileInfo(path).absoluteFilePath()).toPercentEncoding("/");
}

QByteArray LocalPathOf(const char* uri)
{
    const QByteArray text(uri);
    const qsizetype scheme = schemeLength(text);
    if (scheme > 0) {
        if (text.left(scheme).compare("file", Qt::CaseInsensitive) != 0)
            return {};
        QByteArray rest = text.mid(scheme + 1);
        if (rest.startsWith("//localhost/"))
            rest = rest.mid(11);
        else if (rest.startsWith("//"))
            rest = rest.mid(2);
        return QByteArray::fromPercentEncoding(rest);
    }
    if (text.contains('%') && !exists(text))
        return QByteArray::fromPercentEncoding(text);
    return text;
}

DocumentInput OpenDocumentInput(const char* uri, xmlParserCtxtPtr ctxt)
{
    const QByteArray path = LocalPathOf(uri);
    if (path.isEmpty())
        return {nullptr, EPROTONOSUPPORT};
    // Without blocking, so that opening a pipe nobody writes to returns at once.
    Descriptor file(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info;
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0)
        return {nullptr, errno};
    if (S_ISDIR(info.st_mode))
        return {nullptr, EISDIR};
    if (!S_ISREG(info.st_mode))
        return {nullptr, ENOTREGULAR};
    InputFiles::noteOpened(file.get());
    std::unique_ptr<xmlParserInputBuffer, InputBufferDeleter> buffer(
        xmlParserInputBufferCreateFd(file.get(), XML_CHAR_ENCODING_NONE));
    if (!buffer)
        return {nullptr, ENOMEM};
    // The buffer closes the descriptor when it is freed, and the input frees the buffer.
    file.release();
    xmlParserInputPtr input = xmlNewIOInputStream(ctxt, buffer.get(), XML_CHAR_ENCODING_NONE);
    if (!input)
        return {nullptr, ENOMEM};
    buffer.release();
    // The document's URL, and so the base of the URIs it holds.
    input->filename = reinterpret_cast<const char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(uri)));
    return {input, 0};
}

QString OpenErrorText(int errorNumber)
{
    if (errorNumber == ENOTREGULAR)
        return QStringLiteral("it is not a regular file (a pipe, device or socket is never read)");
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

QByteArray PlainPathDocumentUri(const char* argument, const char* base)
{
    const QByteArray text(argument);
    if (text.isEmpty() || schemeLength(text) > 0)
        return {};
    QByteArray path = text;
    if (!path.startsWith('/')) {
        const QByteArray basePath = base ? LocalPathOf(base) : QByteArray();
        const qsizetype slash = basePath.lastIndexOf('/');
        if (slash < 0)
            return {};
        path = basePath.left(slash + 1) + text;
    }
    if (!isRegularFile(path))
        return {};
    return "file://" + path.toPercentEncoding("/");
}

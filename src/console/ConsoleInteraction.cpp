#include "console/ConsoleInteraction.h"

#include "console/ConsolePrompts.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFileInfo>

ConsoleInteraction::ConsoleInteraction(QTextStream& in, QTextStream& err, bool interactive)
    : m_in(in)
    , m_err(err)
    , m_interactive(interactive)
{}

void ConsoleInteraction::print(const QString& caption, const QString& text)
{
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_err << caption << QStringLiteral(": ") << body << Qt::endl;
}

void ConsoleInteraction::showMessage(MessageKind kind, const QString& text)
{
    switch (kind) {
    case MessageKind::Error:
        print(QStringLiteral("Error"), text);
        break;
    case MessageKind::Warning:
        print(QStringLiteral("Warning"), text);
        break;
    case MessageKind::Information:
        print(QStringLiteral("Information"), text);
        break;
    case MessageKind::Plain:
    case MessageKind::Failure:
        print(QStringLiteral("Tabulon"), text);
        break;
    }
}

void ConsoleInteraction::showApplicationError(const QString& text)
{
    print(QStringLiteral("Application Error"), text);
}

std::optional<QString> ConsoleInteraction::readAnswer(const QString& prompt)
{
    m_err << prompt << Qt::flush;
    const QString line = m_in.readLine();
    if (line.isNull()) {
        reportNoAnswer(m_err);
        return std::nullopt;
    }
    return line;
}

std::optional<QString> ConsoleInteraction::askSaveFile(const SaveFileRequest& request)
{
    for (;;) {
        const auto answer = readAnswer(QStringLiteral("Save as [%1]: ").arg(request.fileName));
        if (!answer)
            return std::nullopt;
        QString name = answer->trimmed().isEmpty() ? request.fileName : *answer;
        // The save dialog adds its default extension to a name typed without one; a folder's name
        // stays as it is, to be refused, rather than becoming a hidden file in that folder.
        if (!request.defaultExtension.isEmpty() && QFileInfo(name).suffix().isEmpty() && !name.endsWith(u'.') &&
            !Paths::endsWithSeparator(name))
            name += u'.' + request.defaultExtension;
        const QFileInfo target(QDir::current(), name);
        // Bytes that are no valid text arrive as U+FFFD: writing that name would make another file.
        if (name.contains(QChar::ReplacementCharacter)) {
            print(QStringLiteral("Error"),
                  QStringLiteral("The name typed is not valid text in the system's encoding."));
        } else if (target.isDir()) {
            print(QStringLiteral("Error"), QStringLiteral("%1 is a folder.").arg(target.absoluteFilePath()));
        } else if (!target.exists()) {
            return QDir::toNativeSeparators(target.absoluteFilePath());
        } else {
            const auto replace =
                readAnswer(QStringLiteral("%1 already exists. Replace it? [y/N]: ").arg(target.absoluteFilePath()));
            if (!replace)
                return std::nullopt;
            if (replace->trimmed().compare(QLatin1String("y"), Qt::CaseInsensitive) == 0)
                return QDir::toNativeSeparators(target.absoluteFilePath());
        }
        if (!m_interactive)
            return std::nullopt;
    }
}

std::optional<QString> ConsoleInteraction::askOpenFile(const OpenFileRequest& request)
{
    for (;;) {
        const auto answer = readAnswer(QStringLiteral("%1 (%2): ").arg(request.title, request.filterPattern));
        if (!answer || answer->trimmed().isEmpty())
            return std::nullopt;
        const QFileInfo file(QDir::current(), *answer);
        if (file.isFile())
            return QDir::toNativeSeparators(file.absoluteFilePath());
        print(QStringLiteral("Error"), QStringLiteral("%1 is not a file.").arg(file.absoluteFilePath()));
        if (!m_interactive)
            return std::nullopt;
    }
}

std::optional<QString> ConsoleInteraction::askValue(const ValueQuestion& question)
{
    return askValueOnConsole(question, m_in, m_err, m_interactive);
}

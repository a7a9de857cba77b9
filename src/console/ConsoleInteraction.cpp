#include "console/ConsoleInteraction.h"

#include "console/ConsolePrompts.h"
#include "platform/Paths.h"
#include "text/StringTable.h"
#include "text/TextFormat.h"
#include "text/TextIds.h"

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
        print(LoadLocalizedString(TextId::CaptionError), text);
        break;
    case MessageKind::Warning:
        print(LoadLocalizedString(TextId::CaptionWarning), text);
        break;
    case MessageKind::Information:
        print(LoadLocalizedString(TextId::CaptionInformation), text);
        break;
    case MessageKind::Plain:
    case MessageKind::Failure:
        print(QStringLiteral("Tabulon"), text);
        break;
    }
}

void ConsoleInteraction::showApplicationError(const QString& text)
{
    print(LoadLocalizedString(TextId::CaptionApplicationError), text);
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
        const auto answer = readAnswer(FormatText(LoadLocalizedString(TextId::SaveAsPrompt), {request.fileName}));
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
            print(LoadLocalizedString(TextId::CaptionError), LoadLocalizedString(TextId::NameNotText));
        } else if (target.isDir()) {
            print(LoadLocalizedString(TextId::CaptionError),
                  FormatText(LoadLocalizedString(TextId::NameIsFolder), {target.absoluteFilePath()}));
        } else if (!target.exists()) {
            return QDir::toNativeSeparators(target.absoluteFilePath());
        } else {
            const auto replace =
                readAnswer(FormatText(LoadLocalizedString(TextId::ReplacePrompt), {target.absoluteFilePath()}));
            if (!replace)
                return std::nullopt;
            // Scripts written for English keep working whatever the language.
            const QString yes = replace->trimmed();
            if (yes.compare(QLatin1String("y"), Qt::CaseInsensitive) == 0 ||
                yes.compare(LoadLocalizedString(TextId::YesAnswer), Qt::CaseInsensitive) == 0)
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
        print(LoadLocalizedString(TextId::CaptionError),
              FormatText(LoadLocalizedString(TextId::NotAFile), {file.absoluteFilePath()}));
        if (!m_interactive)
            return std::nullopt;
    }
}

std::optional<QString> ConsoleInteraction::askValue(const ValueQuestion& question)
{
    return askValueOnConsole(question, m_in, m_err, m_interactive);
}

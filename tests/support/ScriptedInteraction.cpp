#include "ScriptedInteraction.h"

namespace {

std::optional<QString> nextAnswer(std::deque<std::optional<QString>>& answers)
{
    if (answers.empty())
        return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
}

QString kindName(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Error:
        return QStringLiteral("error");
    case MessageKind::Warning:
        return QStringLiteral("warning");
    case MessageKind::Information:
        return QStringLiteral("information");
    case MessageKind::Plain:
        return QStringLiteral("plain");
    case MessageKind::Failure:
        return QStringLiteral("failure");
    }
    return {};
}

} // namespace

void ScriptedInteraction::showMessage(MessageKind kind, const QString& text)
{
    messages.push_back({kind, text});
    events << kindName(kind) + u':' + text;
}

void ScriptedInteraction::showApplicationError(const QString& text)
{
    applicationErrors << text;
    events << QStringLiteral("application error:") + text;
}

std::optional<QString> ScriptedInteraction::askSaveFile(const SaveFileRequest& request)
{
    saveRequests.push_back(request);
    events << QStringLiteral("save:") + request.fileName;
    return nextAnswer(saveAnswers);
}

std::optional<QString> ScriptedInteraction::askOpenFile(const OpenFileRequest& request)
{
    openRequests.push_back(request);
    events << QStringLiteral("open:") + request.title;
    return nextAnswer(openAnswers);
}

std::optional<QString> ScriptedInteraction::askValue(const ValueQuestion& question)
{
    valueQuestions.push_back(question);
    events << QStringLiteral("value:") + question.prompt + u'=' + question.defaultText;
    return nextAnswer(valueAnswers);
}

void ScriptedInteraction::setBusy(bool busy)
{
    busyDepth += busy ? 1 : -1;
    if (busy)
        ++busyShown;
    events << (busy ? QStringLiteral("busy") : QStringLiteral("normal"));
}

QStringList ScriptedInteraction::messageTexts() const
{
    QStringList texts;
    for (const Message& m : messages)
        texts << m.text;
    return texts;
}

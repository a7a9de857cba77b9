#pragma once

#include "platform/UserInteraction.h"

#include "QtPrinters.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <optional>
#include <vector>

// The test double of the user: records every box, dialog and prompt, and answers from a script.
// An unscripted dialog or prompt counts as cancelled.
class ScriptedInteraction : public UserInteraction
{
public:
    struct Message
    {
        MessageKind kind;
        QString text;
    };

    // Scripted answers, used in order; std::nullopt cancels.
    std::deque<std::optional<QString>> saveAnswers;
    std::deque<std::optional<QString>> openAnswers;
    std::deque<std::optional<QString>> valueAnswers;

    // What the program showed and asked.
    std::vector<Message> messages;
    QStringList applicationErrors;
    std::vector<SaveFileRequest> saveRequests;
    std::vector<OpenFileRequest> openRequests;
    std::vector<ValueQuestion> valueQuestions;
    int busyDepth = 0;
    int busyShown = 0;
    QStringList events; // one line per call, in order, for sequence checks

    void showMessage(MessageKind kind, const QString& text) override;
    void showApplicationError(const QString& text) override;
    std::optional<QString> askSaveFile(const SaveFileRequest& request) override;
    std::optional<QString> askOpenFile(const OpenFileRequest& request) override;
    std::optional<QString> askValue(const ValueQuestion& question) override;
    void setBusy(bool busy) override;

    QStringList messageTexts() const;
};

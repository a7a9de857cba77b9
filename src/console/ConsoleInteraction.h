#pragma once

#include "platform/UserInteraction.h"

#include <QTextStream>

/**
 * The user interaction of command-line runs without a display: messages go to standard error
 * with their box's caption, and every question is answered by one line of standard input.
 * An empty line takes the default; end of input cancels; an invalid answer is asked again on a
 * terminal and cancels otherwise, so scripted runs never hang.
 */
class ConsoleInteraction : public UserInteraction
{
public:
    ConsoleInteraction(QTextStream& in, QTextStream& err, bool interactive);

    void showMessage(MessageKind kind, const QString& text) override;
    void showApplicationError(const QString& text) override;
    std::optional<QString> askSaveFile(const SaveFileRequest& request) override;
    std::optional<QString> askOpenFile(const OpenFileRequest& request) override;
    std::optional<QString> askValue(const ValueQuestion& question) override;
    void setBusy(bool) override {}

private:
    // One line of input, or nothing at end of input.
    std::optional<QString> readAnswer(const QString& prompt);
    void print(const QString& caption, const QString& text);

    QTextStream& m_in;
    QTextStream& m_err;
    bool m_interactive;
};

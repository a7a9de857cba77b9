#pragma once

#include "platform/UserInteraction.h"

#include <functional>

class TConvertForm;

// The user interaction of the desktop: real message boxes, the main window's file dialogs and
// the value prompt dialog, and the busy cursor.
class QtInteraction : public UserInteraction
{
public:
    // The value prompt, when given, is the one dialog instance that every question reuses.
    using ValuePrompt = std::function<std::optional<QString>(const ValueQuestion&)>;

    QtInteraction(TConvertForm& owner, ValuePrompt valuePrompt);

    void showMessage(MessageKind kind, const QString& text) override;
    void showApplicationError(const QString& text) override;
    std::optional<QString> askSaveFile(const SaveFileRequest& request) override;
    std::optional<QString> askOpenFile(const OpenFileRequest& request) override;
    std::optional<QString> askValue(const ValueQuestion& question) override;
    void setBusy(bool busy) override;

private:
    TConvertForm& m_owner;
    ValuePrompt m_valuePrompt;
};

#pragma once

#include "fields/ValueValidation.h"
#include "platform/UserInteraction.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

/**
 * The value prompt dialog: one prompt, an edit box or a drop-down list, OK and Cancel. The caller
 * fills it before each showing (or lets ask() do so); OK checks numbers against their limits and
 * keeps the dialog open until the entry is valid. One instance is reused for every question.
 */
class TUserValueForm : public QDialog
{
    Q_OBJECT

public:
    explicit TUserValueForm(QWidget* parent = nullptr);

    // Fills the dialog with the question, shows it modally and returns the text of EditField on
    // OK (for menus the chosen item), or nothing on Cancel, Esc or closing.
    std::optional<QString> ask(const ValueQuestion& question);

    // Fills Usermenu with the items, selecting the last one equal to the default once both are
    // trimmed and compared ignoring case; none is selected when none matches.
    void FillUserMenu(const QStringList& items, const QString& defaultText);

    bool ValidateDouble(const QString& text, QString& message) const;
    bool ValidateInteger(const QString& text, QString& message) const;

    QLabel* FieldPrompt = nullptr;
    QLineEdit* EditField = nullptr;
    QComboBox* Usermenu = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    double LowerLimit = NoLimit;
    double UpperLimit = NoLimit;
    UserFieldKind ValueKind = UserFieldKind::STRING;
    QString LowerText;
    QString UpperText;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // The error box of an invalid entry; modal, so tests may replace it.
    virtual void showValidationError(const QString& message);

private:
    void FormCreate();
    void FormShow();
    void OKBtnClick();
    void setPrompt(const QString& prompt);
};

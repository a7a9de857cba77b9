#include "ui/TUserValueForm.h"

#include "text/StringTable.h"
#include "text/TextIds.h"

#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr int ClientWidth = 285;
constexpr int ClientHeight = 102;
constexpr int ControlLeft = 15;
constexpr int FieldWidth = 250;
constexpr int ButtonGap = 37; // between OK and Cancel, which sit centred as a pair

} // namespace

TUserValueForm::TUserValueForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("UserValueForm"));
    setWindowTitle(QStringLiteral("User Value Input"));
    setFixedSize(ClientWidth, ClientHeight);

    FieldPrompt = new QLabel(QStringLiteral("Field Prompt:"), this);
    FieldPrompt->setObjectName(QStringLiteral("FieldPrompt"));
    FieldPrompt->move(ControlLeft, 11);
    FieldPrompt->adjustSize();

    EditField = new QLineEdit(this);
    EditField->setObjectName(QStringLiteral("EditField"));
    EditField->setGeometry(ControlLeft, 29, 250, 21);
    EditField->installEventFilter(this);

    Usermenu = new QComboBox(this);
    Usermenu->setObjectName(QStringLiteral("Usermenu"));
    Usermenu->setEditable(false);
    Usermenu->setGeometry(ControlLeft, 29, 250, 21);
    Usermenu->hide();

    OKBtn = new QPushButton(this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(49, 66, 75, 25);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &TUserValueForm::OKBtnClick);

    CancelBtn = new QPushButton(this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(161, 66, 75, 25);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(EditField, Usermenu);
    setTabOrder(Usermenu, OKBtn);
    setTabOrder(OKBtn, CancelBtn);

    FormCreate();
}

void TUserValueForm::FormCreate()
{
    OKBtn->setText(LoadLocalizedString(TextId::OK));
    CancelBtn->setText(LoadLocalizedString(TextId::Cancel));
}

std::optional<QString> TUserValueForm::ask(const ValueQuestion& question)
{
    setPrompt(question.prompt);
    EditField->setText(question.defaultText);
    ValueKind = question.kind;
    LowerText = question.lowerText;
    UpperText = question.upperText;
    if (ValueKind == UserFieldKind::STRINGMENU)
        FillUserMenu(question.menuItems, question.defaultText);
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return EditField->text();
}

void TUserValueForm::FillUserMenu(const QStringList& items, const QString& defaultText)
{
    Usermenu->clear();
    int selected = -1;
    const QString wanted = TrimText(defaultText);
    for (const QString& item : items) {
        Usermenu->addItem(item);
        if (SameTextIgnoringCase(TrimText(item), wanted))
            selected = Usermenu->count() - 1;
    }
    // addItem selects the first entry of an empty list by itself.
    Usermenu->setCurrentIndex(selected);
}

bool TUserValueForm::ValidateDouble(const QString& text, QString& message) const
{
    const ValidationResult result = ::ValidateDouble(text, LowerLimit, UpperLimit);
    message = result.message;
    return result.accepted;
}

bool TUserValueForm::ValidateInteger(const QString& text, QString& message) const
{
    const ValidationResult result = ::ValidateInteger(text, LowerLimit, UpperLimit);
    message = result.message;
    return result.accepted;
}

void TUserValueForm::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TUserValueForm::FormShow()
{
    setWindowTitle(LoadLocalizedString(TextId::UserValueCaption));
    if (ValueKind == UserFieldKind::STRINGMENU) {
        EditField->hide();
        Usermenu->move(EditField->pos());
        Usermenu->show();
        Usermenu->setFocus();
    } else {
        EditField->show();
        Usermenu->hide();
        EditField->setFocus();
        EditField->selectAll();
    }
    LowerLimit = ReadLimit(LowerText);
    UpperLimit = ReadLimit(UpperText);

    // Centred on its window each time, frame included, so that repeated prompts do not creep; on
    // the screen when that window is not shown (a command-line run).
    QRect frame = frameGeometry();
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (owner && owner->isVisible())
        frame.moveCenter(owner->frameGeometry().center());
    else if (const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen())
        frame.moveCenter(shown->availableGeometry().center());
    move(frame.topLeft());
}

bool TUserValueForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == EditField && event->type() == QEvent::FocusIn)
        EditField->selectAll();
    return QDialog::eventFilter(watched, event);
}

void TUserValueForm::OKBtnClick()
{
    QString message;
    bool valid = true;
    switch (ValueKind) {
    case UserFieldKind::DOUBLE:
        valid = ValidateDouble(EditField->text(), message);
        break;
    case UserFieldKind::INTEGER:
        valid = ValidateInteger(EditField->text(), message);
        break;
    case UserFieldKind::STRINGMENU:
        // Without a chosen item there is no answer to give.
        if (Usermenu->currentIndex() < 0) {
            Usermenu->setFocus();
            return;
        }
        EditField->setText(Usermenu->currentText());
        break;
    case UserFieldKind::STRING:
    case UserFieldKind::FILENAME: {
        const ValidationResult result = ValidateText(EditField->text());
        valid = result.accepted;
        message = result.message;
        break;
    }
    }
    if (!valid) {
        showValidationError(message);
        EditField->setFocus();
        EditField->selectAll();
        return;
    }
    accept();
}

void TUserValueForm::showValidationError(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, LoadLocalizedString(TextId::CaptionError), message, QMessageBox::Ok, this);
    box.exec();
}

void TUserValueForm::setPrompt(const QString& prompt)
{
    FieldPrompt->setText(prompt);
    FieldPrompt->adjustSize();
    // A prompt wider than the dialog widens it rather than being cut off, and the answer field
    // and the buttons follow the new width.
    const int width = std::max(ClientWidth, FieldPrompt->width() + 2 * ControlLeft);
    setFixedSize(width, ClientHeight);
    const int fieldWidth = FieldWidth + width - ClientWidth;
    EditField->resize(fieldWidth, EditField->height());
    Usermenu->resize(fieldWidth, Usermenu->height());
    const int buttonsLeft = (width - OKBtn->width() - ButtonGap - CancelBtn->width()) / 2;
    OKBtn->move(buttonsLeft, OKBtn->y());
    CancelBtn->move(buttonsLeft + OKBtn->width() + ButtonGap, CancelBtn->y());
}

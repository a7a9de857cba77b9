#include "ui/QtInteraction.h"

#include "ui/TConvertForm.h"

#include "text/StringTable.h"
#include "text/TextIds.h"

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

QtInteraction::QtInteraction(TConvertForm& owner, ValuePrompt valuePrompt)
    : m_owner(owner)
    , m_valuePrompt(std::move(valuePrompt))
{}

void QtInteraction::showMessage(MessageKind kind, const QString& text)
{
    const QString appTitle = QStringLiteral("Tabulon");
    QMessageBox box(&m_owner);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    switch (kind) {
    case MessageKind::Error:
        box.setIcon(QMessageBox::Critical);
        box.setWindowTitle(LoadLocalizedString(TextId::CaptionError));
        break;
    case MessageKind::Warning:
        box.setIcon(QMessageBox::Warning);
        box.setWindowTitle(LoadLocalizedString(TextId::CaptionWarning));
        break;
    case MessageKind::Information:
        box.setIcon(QMessageBox::Information);
        box.setWindowTitle(LoadLocalizedString(TextId::CaptionInformation));
        break;
    case MessageKind::Plain:
        box.setIcon(QMessageBox::NoIcon);
        box.setWindowTitle(appTitle);
        break;
    case MessageKind::Failure:
        box.setIcon(QMessageBox::Critical);
        box.setWindowTitle(appTitle);
        break;
    }
    box.exec();
}

void QtInteraction::showApplicationError(const QString& text)
{
    QMessageBox box(QMessageBox::Critical, LoadLocalizedString(TextId::CaptionApplicationError), text, QMessageBox::Ok,
                    &m_owner);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.exec();
}

std::optional<QString> QtInteraction::askSaveFile(const SaveFileRequest& request)
{
    QFileDialog& dialog = *m_owner.saveDialog();
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOptions(QFileDialog::Options());
    dialog.setDefaultSuffix(request.defaultExtension);
    // The description already ends in the pattern in parentheses, which is where Qt reads it from.
    dialog.setNameFilter(request.filterDescription);
    dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtInteraction::askOpenFile(const OpenFileRequest& request)
{
    QFileDialog& dialog = *m_owner.fileOpenDialog();
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setWindowTitle(request.title);
    dialog.setDefaultSuffix(request.defaultExtension.startsWith(u'.') ? request.defaultExtension.mid(1)
                                                                      : request.defaultExtension);
    dialog.setNameFilter(request.filterDescription + QStringLiteral(" (") + request.filterPattern + u')');
    dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtInteraction::askValue(const ValueQuestion& question)
{
    return m_valuePrompt ? m_valuePrompt(question) : std::nullopt;
}

void QtInteraction::setBusy(bool busy)
{
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QTextEdit;

/**
 * The help notes: a sizeable window that does not block the main window. The notes are put
 * together from the text table when the window is created, so they follow the loaded catalogue.
 * Each show restores the stored bounds, each close stores them and hides the window; it is not
 * destroyed until its parent is.
 */
class THelpForm : public QWidget
{
    Q_OBJECT

public:
    explicit THelpForm(QWidget* parent = nullptr);

    // Bounds stored as "top,left,height,width" of the outer rectangle in the user's settings. A
    // missing or malformed value leaves the window where it is; a failed write is skipped.
    void RestorePosition();
    void SavePosition();

    QLabel* Label1 = nullptr;
    QTextEdit* HelpText = nullptr;
    QPushButton* CloseBtn = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void FillHelpText();
    QSize frameExtent() const;
};

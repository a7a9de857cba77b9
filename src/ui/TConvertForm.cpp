#include "ui/TConvertForm.h"

#include "pipeline/Viewing.h"
#include "platform/Failure.h"
#include "platform/UserInteraction.h"
#include "text/StringTable.h"
#include "text/TextIds.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TConvertForm::TConvertForm(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ConvertForm"));
    setWindowTitle(LoadLocalizedString(TextId::MainCaption));

    auto* sourceLabel = new QLabel(LoadLocalizedString(TextId::SourceLabel), this);
    auto* formatLabel = new QLabel(LoadLocalizedString(TextId::FormatLabel), this);
    SurmexFileEditBox = new QLineEdit(this);
    SurmexFileEditBox->setObjectName(QStringLiteral("SurmexFileEditBox"));
    StyleSheetCombo = new QComboBox(this);
    StyleSheetCombo->setObjectName(QStringLiteral("StyleSheetCombo"));
    StyleSheetCombo->addItem(QString::fromUtf16(BuiltInFormatName));
    ViewFileCheckBox = new QCheckBox(LoadLocalizedString(TextId::ViewFileCheck), this);
    ViewFileCheckBox->setObjectName(QStringLiteral("ViewFileCheckBox"));
    OKBtn = new QPushButton(LoadLocalizedString(TextId::OK), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CloseBtn = new QPushButton(LoadLocalizedString(TextId::Close), this);
    CloseBtn->setObjectName(QStringLiteral("CloseBtn"));

    auto* grid = new QGridLayout;
    grid->addWidget(sourceLabel, 0, 0);
    grid->addWidget(SurmexFileEditBox, 0, 1);
    grid->addWidget(formatLabel, 1, 0);
    grid->addWidget(StyleSheetCombo, 1, 1);
    grid->addWidget(ViewFileCheckBox, 2, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CloseBtn);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    TextFileViewer = QString::fromUtf16(DefaultTextViewer);

    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::close);
}

QFileDialog* TConvertForm::fileOpenDialog()
{
    if (!FileOpenDialog) {
        FileOpenDialog = new QFileDialog(this);
        FileOpenDialog->setObjectName(QStringLiteral("FileOpenDialog"));
    }
    return FileOpenDialog;
}

QFileDialog* TConvertForm::saveDialog()
{
    if (!SaveDialog1) {
        SaveDialog1 = new QFileDialog(this);
        SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    }
    return SaveDialog1;
}

void TConvertForm::setServices(UserInteraction* interaction, Shell* shell)
{
    m_interaction = interaction;
    m_shell = shell;
}

QString TConvertForm::sourcePath() const
{
    return SurmexFileEditBox->text();
}

QString TConvertForm::selectedFormat() const
{
    return StyleSheetCombo->currentText();
}

bool TConvertForm::viewFile() const
{
    return ViewFileCheckBox->isChecked();
}

GenerateOutcome TConvertForm::OKBtnClick()
{
    Q_ASSERT(m_interaction && m_shell);
    if (m_commandLineMode)
        return RunGenerateOperation(*this, *m_interaction, *m_shell);
    try {
        return RunGenerateOperation(*this, *m_interaction, *m_shell);
    } catch (const UnexpectedFailure& failure) {
        m_interaction->showMessage(MessageKind::Failure, failure.description());
    } catch (const std::exception& failure) {
        m_interaction->showMessage(MessageKind::Failure, QString::fromLocal8Bit(failure.what()));
    }
    return GenerateOutcome::NotWritten;
}

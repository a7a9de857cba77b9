#include "widgets/TAutoSizeForm.h"

#include "widgets/TCustomSizingPanel.h"

#include <QLayout>
#include <QLocale>
#include <QShowEvent>

namespace {

// Character set codes of the code pages 932, 936, 949 and 950.
constexpr int DefaultCharset = 1;
constexpr int ShiftJisCharset = 128;
constexpr int HangulCharset = 129;
constexpr int Gb2312Charset = 134;
constexpr int Big5Charset = 136;

// Holds a window's layout while its panels widen one by one, and lays it out once afterwards.
class LayoutHold
{
public:
    explicit LayoutHold(QLayout* layout)
        : m_layout(layout)
        , m_wasEnabled(layout && layout->isEnabled())
    {
        if (m_layout)
            m_layout->setEnabled(false);
    }
    ~LayoutHold()
    {
        if (m_layout && m_wasEnabled) {
            m_layout->setEnabled(true);
            m_layout->activate();
        }
    }
    LayoutHold(const LayoutHold&) = delete;
    LayoutHold& operator=(const LayoutHold&) = delete;

private:
    QLayout* m_layout;
    bool m_wasEnabled;
};

} // namespace

TAutoSizeForm::TAutoSizeForm(QWidget* parent)
    : QDialog(parent)
{}

void TAutoSizeForm::SizeAllPanels()
{
    const LayoutHold hold(layout());
    for (QWidget* child : TCustomSizingPanel::childControls(*this))
        SizePanelsIn(*child);
}

void TAutoSizeForm::SizePanelsIn(QWidget& control)
{
    for (QWidget* child : TCustomSizingPanel::childControls(control))
        SizePanelsIn(*child);
    if (auto* panel = qobject_cast<TCustomSizingPanel*>(&control))
        panel->SizeToContents();
}

int TAutoSizeForm::SystemCharset()
{
    return charsetForLocale(QLocale::system());
}

int TAutoSizeForm::charsetForLocale(const QLocale& locale)
{
    switch (locale.language()) {
    case QLocale::Japanese:
        return ShiftJisCharset;
    case QLocale::Korean:
        return HangulCharset;
    case QLocale::Chinese:
        return locale.script() == QLocale::TraditionalChineseScript ? Big5Charset : Gb2312Charset;
    default:
        return DefaultCharset;
    }
}

// Qt fonts carry no character set: the font database falls back to a face with the script's
// glyphs by itself, which is what choosing the system's character set achieves elsewhere.
void TAutoSizeForm::showEvent(QShowEvent* event)
{
    // A window restored from the task bar is not shown anew.
    if (!event->spontaneous() && m_sizingPanelCount > 0)
        SizeAllPanels();
    QDialog::showEvent(event);
}

#pragma once

#include <QDialog>

class QLocale;

/**
 * A window that sizes every sizing panel it holds, innermost first, each time it is shown, so
 * that its show handling already sees the panels at their final widths. Subclasses that handle
 * showEvent call this class's showEvent first.
 */
class TAutoSizeForm : public QDialog
{
    Q_OBJECT
    Q_PROPERTY(int SizingPanelCount READ SizingPanelCount)

public:
    explicit TAutoSizeForm(QWidget* parent = nullptr);

    /// How many sizing panels in this window have been set up; it only grows.
    int SizingPanelCount() const { return m_sizingPanelCount; }
    /// Called by each sizing panel of the window once it is set up.
    void RegisterSizingPanel() { ++m_sizingPanelCount; }

    /// Sizes every sizing panel in the window with its layout held until all are done.
    void SizeAllPanels();
    /// Sizes the sizing panels below a widget, then the widget itself when it is one.
    static void SizePanelsIn(QWidget& control);

    /// The character set code of the system locale's code page: 128, 134, 129 or 136 for
    /// Japanese, simplified Chinese, Korean and traditional Chinese; 1 for every other locale.
    static int SystemCharset();
    static int charsetForLocale(const QLocale& locale);

protected:
    void showEvent(QShowEvent* event) override;

private:
    int m_sizingPanelCount = 0;
};

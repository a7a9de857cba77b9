#pragma once

#include "widgets/TCustomSizingPanel.h"

class QPushButton;

/**
 * A borderless row that, whenever it is resized, widens each shown push button to fit its
 * caption and places the buttons side by side in their left-to-right order, ButtonSpacing apart.
 * It keeps its own size and the buttons' tops and heights.
 */
class TButtonRow : public TCustomSizingPanel
{
    Q_OBJECT
    Q_PROPERTY(int ButtonSpacing READ ButtonSpacing WRITE setButtonSpacing)
    Q_PROPERTY(TAlignment GroupAlignment READ GroupAlignment WRITE setGroupAlignment)

public:
    enum TAlignment
    {
        taLeftJustify = 0,
        taRightJustify = 1,
        taCenter = 2
    };
    Q_ENUM(TAlignment)

    explicit TButtonRow(QWidget* parent = nullptr);

    /// The gap between neighbouring buttons, and the margin of left and right alignment.
    int ButtonSpacing() const { return m_buttonSpacing; }
    void setButtonSpacing(int spacing) { m_buttonSpacing = spacing; }
    TAlignment GroupAlignment() const { return m_groupAlignment; }
    void setGroupAlignment(TAlignment alignment) { m_groupAlignment = alignment; }

    /// Fills the list with the row's shown push buttons, ordered by their left edge.
    void CollectButtons(QList<QPushButton*>& buttons) const;

    /// Inserts before the first listed button further right; buttons with equal left edges keep
    /// the order in which they come.
    static void InsertByLeft(QPushButton* button, QList<QPushButton*>& buttons);

    /// Widens each listed button that is too narrow for its caption and returns their total width.
    int WidenButtons(const QList<QPushButton*>& buttons) const;

    void SizeToContents() override;

private:
    int m_buttonSpacing = 8;
    TAlignment m_groupAlignment = taCenter;
};

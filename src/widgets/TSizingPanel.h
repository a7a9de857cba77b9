#pragma once

#include "widgets/TCustomSizingPanel.h"

/**
 * A borderless panel that widens itself until every child's caption fits, and with CanSizeForm
 * widens its window by the same amount first, so the window's other regions keep their width.
 * It never shrinks: a width it has widened to stays its minimum width.
 */
class TSizingPanel : public TCustomSizingPanel
{
    Q_OBJECT
    Q_PROPERTY(bool CanSizeForm READ CanSizeForm WRITE setCanSizeForm)

public:
    explicit TSizingPanel(QWidget* parent = nullptr);

    bool CanSizeForm() const { return m_canSizeForm; }
    void setCanSizeForm(bool canSizeForm) { m_canSizeForm = canSizeForm; }

    /// The panel's width plus the most that any child, shown or hidden, lacks.
    int RequiredPanelWidth() const;

    /// Sets the panel's width; with CanSizeForm a widening first widens the window by as much.
    void SetPanelWidth(int newWidth);

    void SizeToContents() override;

private:
    bool m_canSizeForm = false;
};

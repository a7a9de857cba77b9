#include "widgets/TSizingPanel.h"

#include <algorithm>

namespace {

// A fixed-size dialog, or a panel at its minimum width, would otherwise ignore the new width silently.
void setWidthPastLimits(QWidget& widget, int width)
{
    if (widget.minimumWidth() == widget.maximumWidth()) {
        widget.setFixedWidth(width);
        return;
    }
    widget.setMinimumWidth(std::min(widget.minimumWidth(), width));
    widget.setMaximumWidth(std::max(widget.maximumWidth(), width));
    widget.resize(width, widget.height());
}

} // namespace

TSizingPanel::TSizingPanel(QWidget* parent)
    : TCustomSizingPanel(parent)
{
    setDesignTimeColor(QColor(0, 128, 0));
}

int TSizingPanel::RequiredPanelWidth() const
{
    int extra = 0;
    for (const QWidget* child : childControls(*this))
        extra = std::max(extra, RequiredWidth(*child) - child->width());
    return width() + extra;
}

void TSizingPanel::SetPanelWidth(int newWidth)
{
    const int growth = newWidth - width();
    // A panel that is its own window has no form to widen; it still widens so its captions fit.
    if (m_canSizeForm && growth > 0 && window() != this) {
        QWidget& form = *window();
        setWidthPastLimits(form, form.width() + growth);
    }
    setWidthPastLimits(*this, newWidth);
    // Keeps a layout that holds the panel from handing it the old width again.
    setMinimumWidth(newWidth);
}

void TSizingPanel::SizeToContents()
{
    const int required = RequiredPanelWidth();
    if (required > width())
        SetPanelWidth(required);
}

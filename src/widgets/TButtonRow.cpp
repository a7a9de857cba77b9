#include "widgets/TButtonRow.h"

#include <QPushButton>

#include <algorithm>

TButtonRow::TButtonRow(QWidget* parent)
    : TCustomSizingPanel(parent)
{
    setDesignTimeColor(QColor(128, 128, 0));
}

void TButtonRow::CollectButtons(QList<QPushButton*>& buttons) const
{
    buttons.clear();
    for (QWidget* child : childControls(*this)) {
        // Hidden, not merely unshown: the row is laid out before its window first appears.
        if (auto* button = qobject_cast<QPushButton*>(child); button && !button->isHidden())
            InsertByLeft(button, buttons);
    }
}

void TButtonRow::InsertByLeft(QPushButton* button, QList<QPushButton*>& buttons)
{
    const auto further = std::find_if(buttons.begin(), buttons.end(),
                                      [left = button->x()](const QPushButton* listed) { return listed->x() > left; });
    buttons.insert(further, button);
}

int TButtonRow::WidenButtons(const QList<QPushButton*>& buttons) const
{
    int total = 0;
    for (QPushButton* button : buttons) {
        const int required = MeasureButton(*button);
        if (button->width() < required)
            button->resize(required, button->height());
        total += button->width();
    }
    return total;
}

void TButtonRow::SizeToContents()
{
    QList<QPushButton*> buttons;
    CollectButtons(buttons);
    if (buttons.isEmpty())
        return;
    const int groupWidth = WidenButtons(buttons) + (static_cast<int>(buttons.size()) - 1) * m_buttonSpacing;
    int left = 0;
    switch (m_groupAlignment) {
    case taLeftJustify:
        left = m_buttonSpacing;
        break;
    case taCenter:
        left = (width() - groupWidth) / 2;
        break;
    case taRightJustify:
        left = width() - m_buttonSpacing - groupWidth;
        break;
    }
    for (QPushButton* button : buttons) {
        button->move(left, button->y());
        left += button->width() + m_buttonSpacing;
    }
}

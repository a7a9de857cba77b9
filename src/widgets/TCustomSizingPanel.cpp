#include "widgets/TCustomSizingPanel.h"

#include "widgets/AutoSizeLabel.h"
#include "widgets/TAutoSizeForm.h"
#include "widgets/TStaticText.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace {

// Room a control needs beside its caption text (frame, check mark, radio circle).
constexpr int ButtonMargin = 16;
constexpr int CheckBoxMargin = 19;
constexpr int RadioButtonMargin = 18;
constexpr int RadioGroupMargin = 15;
constexpr int RadioItemMargin = 33;

// One flag for all windows: while one panel widens itself and its form, the resizes it causes in
// other panels must not start adjustments of their own.
bool sizingInProgress = false;

class SizingGuard
{
public:
    SizingGuard() { sizingInProgress = true; }
    ~SizingGuard() { sizingInProgress = false; }
    SizingGuard(const SizingGuard&) = delete;
    SizingGuard& operator=(const SizingGuard&) = delete;
};

} // namespace

TCustomSizingPanel::TCustomSizingPanel(QWidget* parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
}

int TCustomSizingPanel::CaptionWidth(const QString& caption, const QFont& font)
{
    // A single "&" marks the accelerator and is not shown; a doubled one is kept as written.
    QString shown;
    shown.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] != u'&') {
            shown += caption[i];
        } else if (i + 1 < caption.size() && caption[i + 1] == u'&') {
            shown += u"&&";
            ++i;
        }
    }
    return QFontMetrics(font).horizontalAdvance(shown);
}

int TCustomSizingPanel::RequiredWidth(const QWidget& child) const
{
    const auto* staticText = qobject_cast<const TStaticText*>(&child);
    if (const auto* label = qobject_cast<const QLabel*>(&child); label && !staticText)
        return MeasureLabel(*label);
    if (staticText)
        return MeasureStaticText(*staticText);
    if (const auto* button = qobject_cast<const QPushButton*>(&child))
        return MeasureButton(*button);
    if (const auto* box = qobject_cast<const QCheckBox*>(&child))
        return MeasureCheckBox(*box);
    if (const auto* radio = qobject_cast<const QRadioButton*>(&child))
        return MeasureRadioButton(*radio);
    if (const auto* group = qobject_cast<const QGroupBox*>(&child))
        return MeasureRadioGroup(*group);
    return child.width();
}

int TCustomSizingPanel::MeasureLabel(const QLabel& label) const
{
    if (label.wordWrap())
        return label.width();
    const auto* sizing = qobject_cast<const AutoSizeLabel*>(&label);
    if (sizing && sizing->AutoSize())
        return overflowWidth(label);
    return CaptionWidth(label.text(), label.font());
}

int TCustomSizingPanel::MeasureStaticText(const TStaticText& text) const
{
    return text.AutoSize() ? overflowWidth(text) : CaptionWidth(text.text(), text.font());
}

int TCustomSizingPanel::MeasureButton(const QPushButton& button) const
{
    return std::max(button.width(), CaptionWidth(button.text(), button.font()) + ButtonMargin);
}

int TCustomSizingPanel::MeasureCheckBox(const QCheckBox& box) const
{
    return std::max(box.width(), CaptionWidth(box.text(), box.font()) + CheckBoxMargin);
}

int TCustomSizingPanel::MeasureRadioButton(const QRadioButton& button) const
{
    return std::max(button.width(), CaptionWidth(button.text(), button.font()) + RadioButtonMargin);
}

int TCustomSizingPanel::MeasureRadioGroup(const QGroupBox& group) const
{
    int required = std::max(group.width(), CaptionWidth(group.title(), group.font()) + RadioGroupMargin);
    for (const QRadioButton* item : group.findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly))
        required = std::max(required, CaptionWidth(item->text(), item->font()) + RadioItemMargin);
    return required;
}

// A control that sizes itself to its caption needs its width plus whatever sticks out on the right.
int TCustomSizingPanel::overflowWidth(const QWidget& child) const
{
    const int childWidth = child.width();
    const int overflow = child.x() + childWidth - width();
    return overflow <= 0 ? childWidth : childWidth + overflow;
}

bool TCustomSizingPanel::SizingInProgress()
{
    return sizingInProgress;
}

QList<QWidget*> TCustomSizingPanel::childControls(const QWidget& container)
{
    QList<QWidget*> controls = container.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    controls.removeIf([](const QWidget* widget) { return widget->isWindow(); });
    return controls;
}

// The first polish is the end of the panel's construction within its form, where it tells an
// auto-sizing form that there are panels to size when it is shown.
bool TCustomSizingPanel::event(QEvent* event)
{
    if (event->type() == QEvent::Polish && !m_registered) {
        for (QWidget* ancestor = parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
            if (auto* form = qobject_cast<TAutoSizeForm*>(ancestor)) {
                form->RegisterSizingPanel();
                m_registered = true;
                break;
            }
        }
    }
    return QFrame::event(event);
}

void TCustomSizingPanel::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    if (sizingInProgress)
        return;
    const SizingGuard guard;
    SizeToContents();
}

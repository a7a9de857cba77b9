#include "widgets/AutoSizeLabel.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

AutoSizeLabel::AutoSizeLabel(const QString& text, QWidget* parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setText(text);
}

void AutoSizeLabel::setAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    adjustBounds();
}

void AutoSizeLabel::setText(const QString& text)
{
    QLabel::setText(text);
    adjustBounds();
}

// QLabel measures a caption without a buddy with its ampersands; this one shows them as accelerators.
QSize AutoSizeLabel::sizeHint() const
{
    if (wordWrap())
        return QLabel::sizeHint();
    const QSize textSize = fontMetrics().size(Qt::TextShowMnemonic, text());
    const QMargins margins = contentsMargins();
    const int spacing = 2 * margin();
    return {textSize.width() + margins.left() + margins.right() + spacing,
            textSize.height() + margins.top() + margins.bottom() + spacing};
}

QSize AutoSizeLabel::minimumSizeHint() const
{
    return wordWrap() ? QLabel::minimumSizeHint() : sizeHint();
}

void AutoSizeLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        adjustBounds();
}

void AutoSizeLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    QStyleOption option;
    option.initFrom(this);
    int flags = QStyle::visualAlignment(layoutDirection(), alignment()) | Qt::TextShowMnemonic;
    if (wordWrap())
        flags |= Qt::TextWordWrap;
    if (!style()->styleHint(QStyle::SH_UnderlineShortcut, &option, this))
        flags |= Qt::TextHideMnemonic;
    const int spacing = margin();
    style()->drawItemText(&painter, contentsRect().adjusted(spacing, spacing, -spacing, -spacing), flags, palette(),
                          isEnabled(), text(), foregroundRole());
}

// A wrapping caption keeps its width and takes the height its lines need.
void AutoSizeLabel::adjustBounds()
{
    if (!m_autoSize)
        return;
    if (wordWrap())
        resize(width(), heightForWidth(width()));
    else
        resize(sizeHint());
}

#pragma once

#include <QLabel>

/**
 * A plain-text caption that shows "&" as an underlined accelerator letter even when it is bound
 * to no control, and that can fit its size to its caption (`AutoSize`, on after construction).
 * The common base of the label kinds `TLabel` and `TStaticText`.
 */
class AutoSizeLabel : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)

public:
    explicit AutoSizeLabel(const QString& text = {}, QWidget* parent = nullptr);

    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool autoSize);

    // Hides QLabel::setText, which is not virtual, so that a new caption fits at once; a caption
    // set through a QLabel pointer fits at the next font change or setAutoSize(true).
    void setText(const QString& text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void adjustBounds();

    bool m_autoSize = true;
};

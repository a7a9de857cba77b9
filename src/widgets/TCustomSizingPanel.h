#pragma once

#include <QColor>
#include <QFrame>
#include <QList>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class TStaticText;

/**
 * Common base of the panels that make room for translated captions: a borderless container that
 * takes its parent's font and knows how wide each kind of child needs to be for its caption.
 *
 * Each time it is resized it calls SizeToContents(), unless an adjustment that a resize started
 * is already running in some sizing panel of the process (SizingInProgress()).
 */
class TCustomSizingPanel : public QFrame
{
    Q_OBJECT
    Q_PROPERTY(bool DesignTimeBackground READ DesignTimeBackground WRITE setDesignTimeBackground)
    Q_PROPERTY(QColor DesignTimeColor READ DesignTimeColor WRITE setDesignTimeColor)

public:
    explicit TCustomSizingPanel(QWidget* parent = nullptr);

    // How a form designer would show the panel. No designer hosts these widgets, so they are kept
    // for window descriptions only and change nothing at run time.
    bool DesignTimeBackground() const { return m_designTimeBackground; }
    void setDesignTimeBackground(bool background) { m_designTimeBackground = background; }
    QColor DesignTimeColor() const { return m_designTimeColor; }
    void setDesignTimeColor(const QColor& color) { m_designTimeColor = color; }

    /// Pixel width of a caption in a font, without its accelerator markers ("&&" counts as two).
    static int CaptionWidth(const QString& caption, const QFont& font);

    /// Width a child needs for its caption, by the first of the kinds below that it is.
    int RequiredWidth(const QWidget& child) const;

    /// A QLabel other than TStaticText: its width when wrapping, its width plus what sticks out
    /// past the panel when it sizes itself (AutoSizeLabel), else its caption width.
    virtual int MeasureLabel(const QLabel& label) const;
    /// Like an auto-sized label when it sizes itself, else its caption width.
    virtual int MeasureStaticText(const TStaticText& text) const;
    /// The larger of its width and its caption width + 16.
    virtual int MeasureButton(const QPushButton& button) const;
    /// The larger of its width and its caption width + 19.
    virtual int MeasureCheckBox(const QCheckBox& box) const;
    /// The larger of its width and its caption width + 18.
    virtual int MeasureRadioButton(const QRadioButton& button) const;
    /// A group box, whose radio buttons are its items: the largest of its width, its title width
    /// + 15 and each item's caption width + 33.
    virtual int MeasureRadioGroup(const QGroupBox& group) const;

    /// Adjusts the panel to its children; does nothing here.
    virtual void SizeToContents() {}

    /// True while an adjustment started by a resize runs in any sizing panel of the process.
    static bool SizingInProgress();

    /// The direct child widgets of a container in child order, separate windows left out.
    static QList<QWidget*> childControls(const QWidget& container);

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int overflowWidth(const QWidget& child) const;

    bool m_designTimeBackground = true;
    QColor m_designTimeColor{128, 128, 128};
    bool m_registered = false;
};

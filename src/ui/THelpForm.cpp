#include "ui/THelpForm.h"

#include "platform/RegistryKey.h"
#include "session/SettingsKey.h"
#include "text/StringTable.h"
#include "text/TextFormat.h"
#include "text/TextIds.h"
#include "ui/WindowPosition.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextList>

#include <array>
#include <string_view>

namespace {

const QString SettingsPath = QString::fromUtf16(SettingsKey::Path);
const QString PositionValue = QString::fromUtf16(SettingsKey::HelpDialogPosition);

// The designed bounds: client area and where each anchored control keeps its distance.
constexpr QRect DesignedClient(290, 150, 688, 456);
constexpr QRect HelpTextBounds(16, 32, 657, 377);
constexpr QRect CloseBtnBounds(600, 419, 75, 25);

enum FormatChange
{
    fcNone,
    fcBold,
    fcRegular,
    fcSteps,
    fcSubSteps,
    fcNote,
    fcBulletsOn,
    fcBulletsOff,
    fcFirstIndentZero,
    fcHangingZero,
};

struct HelpParagraph
{
    std::array<FormatChange, 2> changes; // applied in this order before the paragraph
    std::u16string_view label;           // a step's "1.\t" or a sub-step's "a.\t"
    std::array<int, 4> texts;            // joined with a blank; 0 ends the list
};

// The notes in reading order; an entry without texts is an empty paragraph.
constexpr HelpParagraph HelpParagraphs[] = {
    {{fcNone, fcNone}, u"", {}},
    {{fcBold, fcNone}, u"", {10028}},
    {{fcRegular, fcNone}, u"", {10029, 10030}},
    {{fcNone, fcNone}, u"", {}},
    {{fcBold, fcNone}, u"", {10031}},
    // Our users have no CD: the last sentence points to the guide installed with the program.
    {{fcRegular, fcNone}, u"", {10032, 10033, 10034, TextId::StyleSheetGuide}},
    {{fcNone, fcNone}, u"", {}},
    {{fcNone, fcNone}, u"", {10035}},
    {{fcBulletsOn, fcNone}, u"", {10036}},
    {{fcNone, fcNone}, u"", {10037}},
    {{fcBulletsOff, fcNone}, u"", {}},
    {{fcBold, fcNone}, u"", {10038}},
    {{fcRegular, fcSteps}, u"1.\t", {10039}},
    {{fcSubSteps, fcBulletsOn}, u"", {10040}},
    {{fcNone, fcNone}, u"", {10041}},
    {{fcNone, fcNone}, u"", {10042}},
    {{fcBulletsOff, fcSteps}, u"2.\t", {10043}},
    {{fcSubSteps, fcNone}, u"a.\t", {10044}},
    {{fcNone, fcNone}, u"b.\t", {10045}},
    {{fcNone, fcNone}, u"c.\t", {10046}},
    {{fcSteps, fcNone}, u"3.\t", {10047, 10048}},
    {{fcSubSteps, fcNone}, u"a.\t", {10049}},
    {{fcNone, fcNone}, u"b.\t", {10050}},
    {{fcNone, fcNone}, u"c.\t", {10051}},
    {{fcNote, fcNone}, u"", {10052}},
    {{fcFirstIndentZero, fcNone}, u"4.\t", {10053}},
    {{fcNone, fcNone}, u"5.\t", {10054}},
    {{fcNone, fcNone}, u"6.\t", {10055}},
    {{fcHangingZero, fcNone}, u"", {}},
    {{fcNone, fcNone}, u"", {10056}},
    {{fcNone, fcNone}, u"", {}},
    {{fcNone, fcNone}, u"", {10057}},
    {{fcNone, fcNone}, u"", {}},
    {{fcBold, fcNone}, u"", {10058}},
    {{fcRegular, fcNone}, u"", {10059}},
    {{fcBulletsOn, fcNone}, u"", {10060}},
    {{fcNone, fcNone}, u"", {10061}},
    {{fcBulletsOff, fcNone}, u"", {}},
    {{fcNone, fcNone}, u"", {10062}},
    {{fcNone, fcNone}, u"", {}},
    {{fcBold, fcNone}, u"", {10063}},
    {{fcRegular, fcNone}, u"", {10064}},
};
static_assert(std::size(HelpParagraphs) == 42);

// The formatting in force while the notes are appended; indents in points.
struct NotesFormat
{
    bool bold = false;
    bool bullets = false;
    qreal firstIndent = 0; // where the first line starts
    qreal hanging = 0;     // later lines start this much further in
    qreal tabStop = 0;

    void apply(FormatChange change)
    {
        switch (change) {
        case fcNone:
            break;
        case fcBold:
            bold = true;
            break;
        case fcRegular:
            bold = false;
            break;
        case fcSteps:
            setIndents(0, 15, 15);
            break;
        case fcSubSteps:
            setIndents(20, 10, 10);
            break;
        case fcNote:
            setIndents(15, 15, 15);
            break;
        case fcBulletsOn:
            hanging = std::max<qreal>(hanging, 10);
            bullets = true;
            break;
        case fcBulletsOff:
            hanging = 0;
            bullets = false;
            break;
        case fcFirstIndentZero:
            firstIndent = 0;
            break;
        case fcHangingZero:
            hanging = 0;
            break;
        }
    }

    void setIndents(qreal first, qreal hang, qreal tab)
    {
        firstIndent = first;
        hanging = hang;
        tabStop = tab;
    }

    // Later lines, and a bullet's text, start at the hanging indent.
    QTextBlockFormat blockFormat(qreal pixelsPerPoint) const
    {
        QTextBlockFormat format;
        format.setLeftMargin((firstIndent + hanging) * pixelsPerPoint);
        // Qt draws a bullet just left of the first line, so that line starts with the text.
        format.setTextIndent(bullets ? 0 : -hanging * pixelsPerPoint);
        // Qt measures tab stops from where the line starts, so a label's tab lands on the hanging
        // indent whenever the stop equals it, as it does for every labelled paragraph.
        format.setTabPositions({QTextOption::Tab(tabStop * pixelsPerPoint, QTextOption::LeftTab)});
        return format;
    }

    QTextCharFormat charFormat() const
    {
        QTextCharFormat format;
        format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
        return format;
    }
};

QString installedGuide()
{
    return QDir::cleanPath(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(TABULON_GUIDE_FROM_PROGRAM)));
}

QString paragraphText(const HelpParagraph& paragraph)
{
    QStringList texts;
    for (const int id : paragraph.texts) {
        if (id == 0)
            break;
        texts << (id == TextId::StyleSheetGuide ? FormatText(LoadLocalizedString(id), {installedGuide()})
                                                : LoadLocalizedString(id));
    }
    return QStringView(paragraph.label.data(), qsizetype(paragraph.label.size())).toString() + texts.join(u' ');
}

} // namespace

THelpForm::THelpForm(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpForm"));
    move(DesignedClient.topLeft());
    resize(DesignedClient.size());

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(16, 8);

    HelpText = new QTextEdit(this);
    HelpText->setObjectName(QStringLiteral("HelpText"));
    HelpText->setGeometry(HelpTextBounds);
    HelpText->setReadOnly(true);
    // Read-only alone leaves no caret; the keyboard moves one through the notes.
    HelpText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    HelpText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    HelpText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    HelpText->setLineWrapMode(QTextEdit::WidgetWidth);

    CloseBtn = new QPushButton(this);
    CloseBtn->setObjectName(QStringLiteral("CloseBtn"));
    CloseBtn->setGeometry(CloseBtnBounds);
    connect(CloseBtn, &QPushButton::clicked, this, &QWidget::close);

    // The Close button is the window's cancel button.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    FormCreate();
}

void THelpForm::FormCreate()
{
    setWindowTitle(LoadLocalizedString(10026));
    Label1->setText(LoadLocalizedString(10027));
    Label1->adjustSize();
    CloseBtn->setText(LoadLocalizedString(TextId::Close));
    FillHelpText();
}

void THelpForm::FillHelpText()
{
    HelpText->clear();
    const qreal pixelsPerPoint = HelpText->logicalDpiX() / 72.0;
    QTextCursor cursor(HelpText->document());
    NotesFormat format;
    QTextList* bulletList = nullptr;
    bool first = true;
    for (const HelpParagraph& paragraph : HelpParagraphs) {
        for (const FormatChange change : paragraph.changes)
            format.apply(change);
        // The document starts with one empty paragraph, which becomes the first.
        if (first)
            cursor.setBlockFormat(format.blockFormat(pixelsPerPoint));
        else
            cursor.insertBlock(format.blockFormat(pixelsPerPoint), format.charFormat());
        cursor.setBlockCharFormat(format.charFormat());
        first = false;

        if (!format.bullets) {
            bulletList = nullptr;
        } else if (bulletList) {
            bulletList->add(cursor.block());
        } else {
            QTextListFormat listFormat;
            listFormat.setStyle(QTextListFormat::ListDisc);
            listFormat.setIndent(0);
            bulletList = cursor.createList(listFormat);
        }
        cursor.insertText(paragraphText(paragraph), format.charFormat());
    }
    cursor.movePosition(QTextCursor::Start);
    HelpText->setTextCursor(cursor);
}

void THelpForm::showEvent(QShowEvent* event)
{
    // Restoring from the taskbar is a spontaneous show and must not move the window.
    if (!event->spontaneous())
        FormShow();
    QWidget::showEvent(event);
}

void THelpForm::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

void THelpForm::resizeEvent(QResizeEvent* event)
{
    // The view follows all four edges, the button the bottom right corner.
    const QSize grown = size() - DesignedClient.size();
    HelpText->resize(HelpTextBounds.size() + grown);
    CloseBtn->move(CloseBtnBounds.topLeft() + QPoint(grown.width(), grown.height()));
    QWidget::resizeEvent(event);
}

void THelpForm::FormShow()
{
    RestorePosition();
}

void THelpForm::FormClose()
{
    SavePosition();
}

QSize THelpForm::frameExtent() const
{
    // A window learns its frame from the window manager only once it is on screen; until then
    // the main window's frame is the best guess.
    const QWidget* parentWindow = parentWidget() ? parentWidget()->window() : nullptr;
    for (const QWidget* window : {static_cast<const QWidget*>(this), parentWindow}) {
        if (window && window->isVisible()) {
            const QSize extent = window->frameGeometry().size() - window->size();
            if (!extent.isNull())
                return extent;
        }
    }
    return QSize(0, 0);
}

void THelpForm::RestorePosition()
{
    QString stored;
    {
        const auto key = RegistryKey::open(RegistryRoot::CurrentUser, SettingsPath, RegistryAccess::Write);
        if (!key)
            return;
        // A value of another type reads as none.
        stored = key->text(PositionValue).value_or(QString());
    }
    if (stored.isEmpty())
        return;
    const auto fields = ParseStoredFields(stored, 4);
    if (!fields)
        return;
    const int top = fields->at(0), left = fields->at(1), height = fields->at(2), width = fields->at(3);
    const QPoint corner = ClampToDesktop(top, left, VirtualDesktop());
    move(corner);
    // The stored size is the outer one, frame included.
    resize(QSize(width, height) - frameExtent());
}

void THelpForm::SavePosition()
{
    const QRect outer = frameGeometry();
    const auto key = RegistryKey::open(RegistryRoot::CurrentUser, SettingsPath, RegistryAccess::Write);
    if (key)
        key->setString(PositionValue, FormatStoredFields({outer.top(), outer.left(), outer.height(), outer.width()}));
}
